// The WebAssembly module under node: every golden program run to its end gives the terminal
// program's console bytes and exit status, and programs driven as the page drives them (input
// typed only when asked for, ticks cut short by their time) give its frames after every tick;
// cells typed on the canvas come back as the program box shows them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import path from 'node:path';

import { goldencases } from './golden.mjs';
import { decodepng, firstdifference, native, root, site } from './native.mjs';

const require = createRequire(import.meta.url);
const tarvex = await require(path.join(site, 'tarvex.js'))();

const TICKED = 1, WAITING = 3, ENDED = 4;
const FRAMEBYTES = 720 * 512 * 4;

const bytesat = (length) => Buffer.from(tarvex.HEAPU8.subarray(tarvex._tv_bytes()).subarray(0, length));

function withbytes(bytes, call) {
  const at = tarvex._malloc(Math.max(bytes.length, 1));
  tarvex.HEAPU8.set(bytes, at);
  const result = call(at, bytes.length);
  tarvex._free(at);
  return result;
}

// Drives a run as the page does. `typing`: input is typed a line at a time when a step waits
// for one (then the end of input once every line is in), not all of it up front. `budget`: the
// milliseconds each call may take; 0 stops every pass at its first look at the clock.
// `frames`: keeps the frame after each whole tick. Stops after `ticks` ticks.
function drive(source, input, { cap = 0, typing = false, budget = 1000, frames: keeping = false, ticks = 1e5 } = {}) {
  withbytes(source, (at, n) => tarvex._tv_load(at, n, cap));
  const lines = input.toString('latin1').split(/(?<=\n)/).filter((l) => l).map((l) => Buffer.from(l, 'latin1'));
  if (!typing) {
    withbytes(input, (at, n) => tarvex._tv_feed(at, n));
    tarvex._tv_endinput();
  }
  const out = [bytesat(tarvex._tv_output())], frames = new Map();
  const keep = () => {
    const at = tarvex._tv_frame();
    if (at) frames.set(tarvex._tv_tick(), Buffer.from(tarvex.HEAPU8.subarray(at, at + FRAMEBYTES)));
  };
  if (keeping) keep();
  let progress = 0, waits = 0;
  for (let tick = 0; tick < ticks && progress !== ENDED;) {
    progress = tarvex._tv_advance(1, budget);
    out.push(bytesat(tarvex._tv_output()));
    if (progress === WAITING) {
      waits++;
      if (lines.length) withbytes(lines.shift(), (at, n) => tarvex._tv_feed(at, n));
      else tarvex._tv_endinput();
    }
    if (tarvex._tv_between() && tarvex._tv_tick() > tick) {
      tick = tarvex._tv_tick();
      if (keeping) keep();
    }
  }
  const message = bytesat(tarvex._tv_message()).toString();
  return { out: Buffer.concat(out), frames, waits, progress, status: tarvex._tv_status(), message };
}

const golden = Object.fromEntries(goldencases(root).map((c) => [c.name, c]));
// The page has no options: only the cases run with the program and options that change no
// byte of its output are the page's.
const plain = ['@file', '--batch', '--headless', '--no-prompt', '--delay=0', '--delay', '0'];
for (const c of Object.values(golden)) {
  if (c.shell || !c.args.split(' ').every((word) => plain.includes(word))) continue;
  test(`golden ${c.name}`, () => {
    // The page never asks for the terminal's closing ">" line, as --batch or --no-prompt.
    const expected = c.stdout.toString('latin1').replace(/--batch|--no-prompt/.test(c.args) ? /^$/ : />$/, '');
    const run = drive(c.program, c.stdin);
    assert.deepEqual([run.progress, run.out.toString('latin1'), run.status], [ENDED, expected, c.status]);
    if (run.status !== 0 && c.stderr !== undefined)
      assert.equal(run.message + '\n', c.stderr.toString());
  });
}

const example = (name) => fs.readFileSync(path.join(root, 'examples', name));
// 1,600 pointers circling two to a tile, so a pass outlasts the first look at the clock.
const tiles = Buffer.from(['o%O', 'O o', 'xxx'].map((row) => row.repeat(40) + '\n').join('').repeat(20));
// A ring of splitters: its first tick makes pointers without end.
const splitters = Buffer.from('###\n#%#\n###\n');
const cases = [
  { name: 'the demo', source: example('code.txt') },
  { name: 'hello', source: example('hello.txt') },
  { name: 'countdown', source: example('countdown.txt') },
  { name: 'numbers typed only when asked for', source: example('sum.txt'), input: '3\n4\n0\n', typing: true, waits: 3 },
  { name: 'the input ends while a step waits', source: example('sum.txt'), input: '7\n', typing: true, waits: 2 },
  { name: 'writes wait for the frame', source: golden.exchange_write_lands_next_tick.program },
  { name: 'mirrors flip after the frame', source: golden.mirror_flips_at_end_of_tick.program },
  { name: 'bytes above 127 in the grid', source: Buffer.from('%"\xb0\xb1\xb2\xdb\xc9\xcd\xe9";@\n\xa0\xff\x80\n', 'latin1') },
  { name: 'a fault keeps the frame of the tick before', source: Buffer.from('%0d\n') },
  { name: 'passes cut short by their time', source: tiles, budget: 0, ticks: 6 },
  { name: 'the pointer cap in the middle of a tick', source: splitters, cap: 3000, budget: 0 },
  { name: 'the pointer cap at load', source: Buffer.from('%%%\n%%%\n'), cap: 20 },
];
for (const c of cases) {
  test(c.name, () => {
    const input = Buffer.from(c.input || '', 'latin1');
    const run = drive(c.source, input, { ...c, frames: true });
    const limits = (c.cap ? ['--max-pointers', String(c.cap)] : []).concat(c.ticks ? ['--ticks', String(c.ticks)] : []);
    const want = native(c.source, input, (dir) => ['--frames', dir, ...limits]);
    assert.equal(run.out.toString('latin1'), want.out.toString('latin1'));
    if (c.waits !== undefined) assert.equal(run.waits, c.waits);
    if (!c.ticks) {
      assert.equal(run.status, want.status);
      if (want.status !== 0) assert.equal(run.message + '\n', want.err);
    }
    const pictures = fs.readdirSync(want.dir).filter((f) => f.endsWith('.png')).sort();
    assert.deepEqual([...run.frames.keys()], pictures.map((f) => Number(f.match(/\d+/)[0])));
    for (const file of pictures) {
      const tick = Number(file.match(/\d+/)[0]);
      const difference = firstdifference(run.frames.get(tick), decodepng(path.join(want.dir, file)), 720);
      assert.equal(difference, null, `the frame of tick ${tick} differs at ${difference}`);
    }
    fs.rmSync(want.dir, { recursive: true });
  });
}

// Cells typed on the canvas come back as the program box shows them: the grid grows with spaces
// past a line's end and below the last line, a code above 255 comes back as its UTF-8, and the
// space loading gives each line is not the box's. A run so edited is no longer as loaded.
test('typed cells come back as the program box shows them', () => {
  withbytes(Buffer.from('%ab\n'), (at, n) => tarvex._tv_load(at, n, 0));
  assert.equal(tarvex._tv_pristine(), 1);
  tarvex._tv_typeat(4, 2);
  for (const c of 'x☺') tarvex._tv_input(0, 0, c.codePointAt(0), 0, 0);
  const length = tarvex._tv_takeedited();
  assert.deepEqual([tarvex._tv_editedfrom(), bytesat(length).toString()], [2, '   x☺\n']);
  assert.equal(tarvex._tv_takeedited(), -1);
  assert.equal(tarvex._tv_pristine(), 0);
});
