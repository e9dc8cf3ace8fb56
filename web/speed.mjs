// The playground's speed in headless chromium, for the README: the demo at 1 ms a tick, and a
// 100,000-pointer program (two pointers circling in each of 50,000 tiles) at 1 ms a tick.
//   node web/speed.mjs            (after make web; serves build-web/ on 127.0.0.1 itself)
import { createRequire } from 'node:module';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const require = createRequire(import.meta.url);
const { chromium } = require('playwright-core');
const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..');
const site = process.env.TARVEX_SITE || path.join(root, 'build-web');

const server = http.createServer((request, response) => {
  const name = path.join(site, new URL(request.url, 'http://x').pathname.replace(/^\/$/, '/index.html'));
  if (!name.startsWith(site) || !fs.existsSync(name)) return response.writeHead(404).end();
  const wasm = name.endsWith('.wasm');
  response.writeHead(200, wasm ? { 'content-type': 'application/wasm' } : {});
  response.end(fs.readFileSync(name));
});
await new Promise((done) => server.listen(0, '127.0.0.1', done));
const base = `http://127.0.0.1:${server.address().port}/`;
const browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });

// Runs `source` at 1 ms a tick until it ends or `seconds` pass; reports ticks a second,
// animation frames, frames painted, and the longest the module held the page in one frame.
async function measure(name, source, seconds, repeats = 1) {
  const page = await browser.newPage();
  await page.goto(`${base}#src=${Buffer.from(source).toString('base64url')}`);
  await page.waitForFunction(() => document.body.dataset.state === 'paused', null, { timeout: 120000 });
  await page.fill('#speed', '0'); // 1 ms a tick
  // Heartbeats every 10 ms tell how late the page answers while the run goes on.
  await page.evaluate(() => {
    window.lateness = 0;
    let last = performance.now();
    window.beat = setInterval(() => {
      const now = performance.now();
      window.lateness = Math.max(window.lateness, now - last - 10);
      last = now;
    }, 10);
  });
  for (let i = 0; i < repeats; i++) {
    const start = Date.now();
    const before = await page.evaluate(() => window.playground.meter());
    await page.click('#run');
    await page.waitForFunction(() => document.body.dataset.state === 'ended', null, { timeout: seconds * 1000 }).catch(() => {});
    const figures = await page.evaluate(() => ({ ticks: window.playground.tick(), ...window.playground.meter(), lateness: window.lateness }));
    // From Run to the ending, as the page measured it; a run still going counts to now.
    const elapsed = figures.endedat > figures.ranfrom ? (figures.endedat - figures.ranfrom) / 1000 : (Date.now() - start) / 1000;
    console.log(`${name}: ${figures.ticks} ticks in ${elapsed.toFixed(3)} s = ${(figures.ticks / elapsed).toFixed(0)} ticks/s; ` +
      `${figures.frames - before.frames} animation frames, ${figures.paints - before.paints} painted; ` +
      `longest module call ${figures.longestcall.toFixed(1)} ms; heartbeat at most ${figures.lateness.toFixed(1)} ms late`);
  }
  await page.close();
}

await measure('demo (examples/code.txt)', fs.readFileSync(path.join(root, 'examples/code.txt')), 30, 5);
const tiles = ['o%O', 'O o', 'xxx'].map((row) => row.repeat(100) + '\n').join('').repeat(500);
await measure('100,000 pointers for 10 s', tiles, 10);
await browser.close();
server.close();
