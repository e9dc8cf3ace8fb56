// The page in headless chromium, served from 127.0.0.1: a link opens a program and runs it to
// tick N, whose frame on the `screen` canvas must be the native frame of tick N; Step takes
// one tick; a ":" program waits for lines typed into the page; the Share link opens the same
// program and input again; the program box and the canvas edit the run on show.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { execFileSync } from 'node:child_process';

import { readgolden } from './golden.mjs';
import { decodepng, firstdifference, native, root, site } from './native.mjs';

const require = createRequire(import.meta.url);
const { chromium } = require('playwright-core');

const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
let server, base, browser;

before(async () => {
  server = http.createServer((request, response) => {
    const name = path.join(site, path.normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname)).replace(/^\/$/, '/index.html'));
    if (!name.startsWith(site) || !fs.existsSync(name)) return response.writeHead(404).end();
    response.writeHead(200, { 'content-type': TYPES[path.extname(name)] || 'application/octet-stream' });
    response.end(fs.readFileSync(name));
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  base = `http://127.0.0.1:${server.address().port}/`;
  browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
});

after(async () => {
  await browser?.close();
  server?.close();
});

const base64url = (bytes) => Buffer.from(bytes).toString('base64url');
const example = (name) => fs.readFileSync(path.join(root, 'examples', name));

async function open(hash, options) {
  const page = await browser.newPage(options);
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(base + hash);
  await page.waitForFunction(() => ['paused', 'ended', 'waiting'].includes(document.body.dataset.state));
  page.errors = errors;
  return page;
}

const settled = (page, tick) =>
  page.waitForFunction((t) => document.body.dataset.tick === String(t) && document.body.dataset.state !== 'running', tick, { timeout: 30000 });

// As base64: an array of 1.5 million numbers takes seconds to cross from the page.
const screenpixels = async (page) => Buffer.from(await page.evaluate(() => {
  const data = document.getElementById('screen').getContext('2d').getImageData(0, 0, 720, 512).data;
  let text = '';
  for (let at = 0; at < data.length; at += 0x8000) text += String.fromCharCode(...data.subarray(at, at + 0x8000));
  return btoa(text);
}), 'base64');

// The native console and frame of tick `tick`: the frame `tarvex --frames` keeps for it. (A
// --batch run's --screenshot shows the state after the tick's writes, as no frame was drawn
// before them.)
function nativeframe(source, input, tick) {
  const run = native(source, input, (dir) => ['--ticks', String(tick), '--every', String(tick), '--frames', dir]);
  const rgba = decodepng(path.join(run.dir, `frame-${String(tick).padStart(6, '0')}.png`));
  fs.rmSync(run.dir, { recursive: true });
  return { out: run.out.toString('latin1'), rgba };
}
const consolebytes = async (page) =>
  Buffer.from(await page.evaluate(() => Array.from(window.playground.consolebytes()))).toString('latin1');

// Input that runs out replays the native run: the end of input, not a wait. On the demo, Step
// takes one tick and shows its frame, which Save PNG downloads.
const frames = [
  { name: 'the demo', source: example('code.txt'), input: '', tick: 30, step: true },
  { name: 'numbers given in the link', source: example('sum.txt'), input: '3\n4\n0\n', tick: 12 },
  { name: 'input that runs out', source: example('sum.txt'), input: '3\n4\n', tick: 12 },
  { name: 'a golden program', source: readgolden(path.join(root, 'tests/golden/exchange_write_lands_next_tick.golden')).program, input: '', tick: 2 },
];
for (const c of frames) {
  test(`a link runs to tick N with the native output and frame: ${c.name}`, async () => {
    const page = await open(`#src=${base64url(c.source)}&in=${base64url(c.input)}&ticks=${c.tick}`);
    await settled(page, c.tick);
    const want = nativeframe(c.source, c.input, c.tick);
    assert.equal(await consolebytes(page), want.out);
    const difference = firstdifference(await screenpixels(page), want.rgba, 720);
    assert.equal(difference, null, `the screen differs from the native frame at ${difference}`);
    if (c.step) {
      await page.click('#step');
      await settled(page, c.tick + 1);
      const next = nativeframe(c.source, c.input, c.tick + 1).rgba;
      assert.equal(firstdifference(await screenpixels(page), next, 720), null);
      const [download] = await Promise.all([page.waitForEvent('download'), page.click('#savepng')]);
      assert.equal(download.suggestedFilename(), `tarvex-tick-${c.tick + 1}.png`);
      assert.equal(firstdifference(decodepng(await download.path()), next, 720), null);
    }
    assert.deepEqual(page.errors, []);
    await page.close();
  });
}

test('100,000 pointers at 1 ms a tick: frames keep coming and Pause answers', async () => {
  const tiles = ['o%O', 'O o', 'xxx'].map((row) => row.repeat(100) + '\n').join('').repeat(500);
  const page = await open(`#src=${base64url(tiles)}`);
  await page.fill('#speed', '0');
  await page.click('#run');
  await page.waitForTimeout(1500);
  const before = Date.now();
  await page.click('#pause');
  await page.waitForFunction(() => document.body.dataset.state === 'paused');
  const meter = await page.evaluate(() => window.playground.meter());
  // Generous bounds for a busy 2-core machine; a frame that ran ticks until its time was spent
  // left a pass open and painted almost nothing.
  assert.ok(meter.paints >= 30, `${meter.paints} frames painted in 1.5 s`);
  assert.ok(meter.longestcall < 100, `a call into the module took ${meter.longestcall} ms`);
  assert.ok(Date.now() - before < 1000, 'Pause took a second');
  await page.close();
});

// A ":" program waits for lines typed into the page, whose panel shows them among the output;
// a fault shows its name. Each ends with the native output and status.
const ENDINGS = [
  [example('sum.txt'), ['3', '4', '0'], /^Execution complete \(status 0\)/,
    /^Executing program\.\.\r\n\r\n3\n4\n0\n7\r\n\r\n\r\nExecution complete\.\r\n$/],
  [Buffer.from('%0d\n'), [], /EXCEPTION_INT_DIVIDE_BY_ZERO/, /^Executing program/],
];
for (const [source, lines, ending, panel] of ENDINGS) {
  test(`a run ends with the native output and status: ${ending.source}`, async () => {
    const page = await open(`#src=${base64url(source)}`);
    await page.fill('#speed', '0');
    assert.equal(await page.textContent('#speedshown'), '1 ms');
    await page.click('#run');
    for (const line of lines) {
      await page.waitForFunction(() => document.body.dataset.state === 'waiting');
      await page.fill('#line', line);
      await page.press('#line', 'Enter');
    }
    await page.waitForFunction(() => document.body.dataset.state === 'ended');
    const want = native(source, lines.map((line) => `${line}\n`).join(''), () => []);
    assert.equal(await consolebytes(page), want.out.toString('latin1'));
    assert.match(await page.textContent('#console'), panel);
    assert.match(await page.textContent('#ending'), ending);
    assert.equal(await page.getAttribute('#ending', 'data-status'), String(want.status));
    await page.close();
  });
}

test('the Share link carries the program and its input', async () => {
  const page = await open('');
  // Bytes that are not UTF-8 must come back unchanged while the editor is not touched.
  const program = Buffer.from('%"caf\xe9 \xff";@\n', 'latin1');
  await page.evaluate((hash) => (location.hash = hash), `#src=${base64url(program)}&in=${base64url('5\n')}`);
  await page.waitForFunction(() => document.getElementById('input').value === '5\n');
  await page.click('#share');
  const fields = new URLSearchParams(new URL(await page.inputValue('#sharelink')).hash.slice(1));
  assert.deepEqual(Buffer.from(fields.get('src'), 'base64url'), program);
  assert.equal(Buffer.from(fields.get('in'), 'base64url').toString(), '5\n');
  // An edited program travels as the UTF-8 of the text.
  await page.fill('#editor', '%"é";@');
  await page.click('#share');
  const again = await open(new URL(await page.inputValue('#sharelink')).hash);
  assert.equal(await again.inputValue('#editor'), '%"é";@');
  assert.equal(await again.inputValue('#input'), '5\n');
  await again.click('#run');
  await again.waitForFunction(() => document.body.dataset.state === 'ended');
  assert.equal(await consolebytes(again), native(Buffer.from('%"é";@'), '', () => []).out.toString('latin1'));
  await again.close();
  await page.close();
});

// The page's frame must be the one the native session's studio draws to a PNG after the same
// events.
async function sameframe(page, source, events) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'studio-'));
  fs.writeFileSync(path.join(dir, 'prog.txt'), source);
  execFileSync(path.join(path.dirname(process.env.TARVEX_BIN), 'tools/studioshot'), [path.join(dir, 'prog.txt'), path.join(dir, 'want.png'), ...events]);
  const difference = firstdifference(await screenpixels(page), decodepng(path.join(dir, 'want.png')), 720);
  fs.rmSync(dir, { recursive: true });
  assert.equal(difference, null, `the page's frame differs from the session's at ${difference} after ${events.join(' ')}`);
}

// Canvas pixel (x, y) as a point on the page, whatever size the canvas is shown at.
async function canvaspoint(page) {
  const box = await page.locator('#screen').boundingBox();
  return (x, y) => [box.x + ((x + 0.5) * box.width) / 720, box.y + ((y + 0.5) * box.height) / 512];
}

// Types `text` into the program box at line `y`, character `x`.
async function typeinbox(page, y, x, text) {
  const at = (await page.inputValue('#editor')).split('\n').slice(0, y).join('\n').length + (y ? 1 : 0) + x;
  await page.$eval('#editor', (editor, at) => { editor.focus(); editor.setSelectionRange(at, at); }, at);
  await page.keyboard.type(text);
}

// The box reads its changed lines into the run, paused or running; refused mid-tick, they go in
// once the tick is whole. The canvas shows what the session shows after the same edits.
test('typing into the program box edits the run on show', async () => {
  const source = '%>v  %>v\n ^<   ^<\n\n          box\n          end\n';
  const page = await open(`#src=${base64url(source)}&ticks=3`);
  await settled(page, 3);
  await typeinbox(page, 3, 10, 'xy');
  await sameframe(page, source, ['ticks:3', 'line:3,          xybox', 'typeat:13,3']);
  await page.click('#run');
  await typeinbox(page, 3, 15, '!');
  assert.equal(await page.evaluate(() => document.body.dataset.state), 'running');
  await page.waitForTimeout(300);
  await page.click('#pause');
  await page.click('#steppointer');
  await typeinbox(page, 3, 0, '-');
  assert.match(await page.textContent('#status'), /a pointer step has left the tick half done/);
  const tick = Number(await page.evaluate(() => document.body.dataset.tick));
  await page.click('#step');
  await settled(page, tick + 1);
  assert.equal(await page.inputValue('#editor'), '%>v  %>v\n ^<   ^<\n\n-          xybox!\n          end\n');
  // Delete on the canvas removes the pointer selected there: the one on the second loop.
  const [x, y] = [[7, 0], [8, 0], [8, 1], [7, 1]][tick % 4].map((n, i) => n * [8, 12][i] + 4);
  await page.mouse.click(...(await canvaspoint(page))(x, y), { button: 'right' });
  await page.keyboard.press('Delete');
  await sameframe(page, source, [`ticks:${tick}`, 'line:3,          xybox!', 'key:32', 'char:.', 'ticks:1',
    'line:3,-          xybox!', `move:${x},${y}`, `right:${x},${y}`, 'key:46']);
  assert.deepEqual(page.errors, []);
  await page.close();
});

// The studio through the page's canvas and through the native session, driven by the same
// keys and mouse over a grid of 300 by 200 cells: the pixels agree, and the cells typed on the
// canvas show in the program box.
test('the studio in the page shows the native session frame', async () => {
  let source = '';
  for (let line = 0; line < 200; ++line) source += (line % 7 ? '' : '%') + (line % 2 ? '-' : '+').repeat(299) + '\n';
  const page = await open(`#src=${base64url(source)}&ticks=2`, { viewport: { width: 1600, height: 1400 } });
  await settled(page, 2);
  const at = await canvaspoint(page);
  await page.focus('#screen');
  for (const [keys, tick] of [[['ArrowRight'], 3], [['.', '.', 'ArrowRight'], 4]]) {
    for (const key of keys) await page.keyboard.press(key);
    await settled(page, tick);
  }
  await page.keyboard.press('ArrowLeft');
  assert.match(await page.textContent('#status'), /^paused - tick 3 \(history\) - 128 ms/);
  await page.mouse.move(...at(30, 30));
  await page.mouse.click(...at(50, 40));
  // The click put the box's caret on its cell's character: column 6, line 3.
  const caret = await page.evaluate(() => document.getElementById('editor').selectionStart);
  assert.equal(caret, source.split('\n').slice(0, 3).join('\n').length + 1 + 5);
  await page.mouse.move(...at(400, 300));
  await page.mouse.down();
  await page.mouse.move(...at(240, 180));
  await page.mouse.up();
  await page.mouse.move(...at(360, 256));
  for (let turn = 0; turn < 2; ++turn) await page.mouse.wheel(0, -100);
  await page.waitForTimeout(200);
  for (const key of ['Enter', 'h', 'i', 'Backspace', 'o', 'ArrowDown', 'k', 'Escape', 'Escape']) await page.keyboard.press(key);
  await page.mouse.click(...at(100, 100));
  // A click outlines the caret's cell, as Enter over it does; a key on the canvas takes the
  // outline away before it means what it means in the window.
  await sameframe(page, source, ['ticks:2', 'key:32', 'key:39', 'char:.', 'char:.', 'key:39', 'key:37',
    'move:30,30', 'move:50,40', 'click:50,40', 'key:13', 'move:400,300', 'drag:400,300,240,180', 'move:360,256',
    'wheel:360,256,1', 'wheel:360,256,1', 'key:27', 'key:13', 'char:h', 'char:i', 'key:8', 'char:o', 'key:40', 'char:k', 'key:27',
    'move:100,100', 'click:100,100', 'key:13']);
  const was = source.split('\n'), lines = (await page.inputValue('#editor')).split('\n');
  const y = lines.findIndex((line, n) => line !== was[n]);
  const x = [...lines[y]].findIndex((c, n) => c !== was[y][n]);
  const put = (line, n, text) => line.slice(0, n) + text + line.slice(n + text.length);
  assert.deepEqual(lines, [...was.slice(0, y), put(was[y], x, 'ho'), put(was[y + 1], x + 2, 'k'), ...was.slice(y + 2)]);
  assert.equal(await page.evaluate(() => document.body.dataset.state), 'paused', 'Escape ended nothing');
  await page.close();
});
