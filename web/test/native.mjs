// What the terminal program gives for the same program and input, for the tests to compare
// with: its --batch console bytes and status, and its frames decoded from PNG.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';

export const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
export const site = process.env.TARVEX_SITE || path.join(root, 'build-web');
const { PNG } = createRequire(import.meta.url)('pngjs');
const bin = process.env.TARVEX_BIN || path.join(root, 'build/tarvex');

// Runs the terminal program with `args` and the program's bytes as a file.
export function native(source, input, args) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvex-web-'));
  fs.writeFileSync(path.join(dir, 'prog.txt'), source);
  const run = spawnSync(bin, ['--batch', ...args(dir), path.join(dir, 'prog.txt')], {
    input, cwd: dir, timeout: 60000,
  });
  if (run.error) throw run.error;
  return { out: run.stdout, err: run.stderr.toString(), status: run.status, dir };
}

// The pixels of a PNG (the native frames; the browser's downloads) as RGBA bytes, the layout of
// the page's ImageData.
export const decodepng = (file) => PNG.sync.read(fs.readFileSync(file)).data;

// Where two RGBA pictures first differ, or null when they are the same.
export function firstdifference(a, b, width) {
  if (a.length !== b.length) return `sizes ${a.length} and ${b.length}`;
  for (let i = 0; i < a.length; i++)
    if (a[i] !== b[i]) return `pixel (${(i >> 2) % width}, ${Math.floor((i >> 2) / width)})`;
  return null;
}
