// The WebAssembly module under node: every golden program run to its end must give the
// terminal program's console bytes and exit status.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import path from 'node:path';

const require = createRequire(import.meta.url);
const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
const site = process.env.TARVEX_SITE || path.join(root, 'build-web');
const tarvex = await require(path.join(site, 'tarvex.js'))();

const TICKED = 1, WAITING = 3, ENDED = 4;

function bytesat(length) {
  const at = tarvex._tv_bytes();
  return Buffer.from(tarvex.HEAPU8.subarray(at, at + length));
}

function withbytes(bytes, call) {
  const at = tarvex._malloc(Math.max(bytes.length, 1));
  tarvex.HEAPU8.set(bytes, at);
  try {
    return call(at, bytes.length);
  } finally {
    tarvex._free(at);
  }
}

// Runs `source` with `input` (all of it typed, then the end of input) to its end.
function runall(source, input, budgetticks = 100000) {
  withbytes(source, (at, n) => tarvex._tv_load(at, n));
  withbytes(input, (at, n) => tarvex._tv_feed(at, n));
  tarvex._tv_endinput();
  let out = bytesat(tarvex._tv_output());
  let progress = 0;
  while (budgetticks-- > 0 && (progress = tarvex._tv_advance(1, 1000)) === TICKED)
    out = Buffer.concat([out, bytesat(tarvex._tv_output())]);
  out = Buffer.concat([out, bytesat(tarvex._tv_output())]);
  return { out, progress, status: tarvex._tv_status(), message: bytesat(tarvex._tv_message()).toString() };
}

const golden = path.join(root, 'tests/golden');
for (const name of fs.readdirSync(golden).sort()) {
  const dir = path.join(golden, name);
  const read = (file) => fs.readFileSync(path.join(dir, file));
  // Without a source file there is nothing the page could load.
  if (!fs.existsSync(path.join(dir, 'prog.txt'))) continue;
  test(name, () => {
    const args = fs.existsSync(path.join(dir, 'args')) ? read('args').toString() : '';
    let expected = read('stdout');
    // The page never asks for the terminal's closing ">" line, as --batch or --no-prompt.
    if (!/--batch|--no-prompt/.test(args) && expected.subarray(-1).toString() === '>')
      expected = expected.subarray(0, -1);
    const run = runall(read('prog.txt'), fs.existsSync(path.join(dir, 'stdin')) ? read('stdin') : Buffer.alloc(0));
    assert.equal(run.progress, ENDED);
    assert.equal(run.out.toString('latin1'), expected.toString('latin1'));
    assert.equal(run.status, Number(read('status').toString().trim()));
    if (run.status !== 0 && fs.existsSync(path.join(dir, 'stderr')))
      assert.equal(run.message + '\n', read('stderr').toString());
  });
}
