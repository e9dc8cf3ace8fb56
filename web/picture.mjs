// The playground's picture for the docs, made by the page itself in headless chromium: the demo
// run to tick 40 by its link, paused, with the studio's inspect panel over a cell.
//   node web/picture.mjs OUT.png    (after make web and make test-web's install)
import { createRequire } from 'node:module';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const require = createRequire(import.meta.url);
const { chromium } = require('playwright-core');
const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..');
const site = process.env.TARVEX_SITE || path.join(root, 'build-web');
const out = process.argv[2] || path.join(root, 'docs/playground.png');

const server = http.createServer((request, response) => {
  const name = path.join(site, new URL(request.url, 'http://x').pathname.replace(/^\/$/, '/index.html'));
  if (!name.startsWith(site) || !fs.existsSync(name)) return response.writeHead(404).end();
  const types = { '.wasm': 'application/wasm', '.js': 'text/javascript', '.css': 'text/css', '.html': 'text/html' };
  response.writeHead(200, { 'content-type': types[path.extname(name)] || 'application/octet-stream' });
  response.end(fs.readFileSync(name));
});
await new Promise((done) => server.listen(0, '127.0.0.1', done));
const browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
try {
  const page = await browser.newPage({ viewport: { width: 1440, height: 900 } });
  const demo = fs.readFileSync(path.join(root, 'examples/code.txt'));
  await page.goto(`http://127.0.0.1:${server.address().port}/#src=${demo.toString('base64url')}&ticks=40`);
  await page.waitForFunction(() => document.body.dataset.tick === '40' && document.body.dataset.state === 'paused');
  // The mouse over a cell the pointers pass, so the inspect panel shows.
  const box = await page.locator('#screen').boundingBox();
  await page.mouse.move(box.x + (27 * 8 + 4) * (box.width / 720), box.y + (5 * 12 + 6) * (box.height / 512));
  await page.waitForTimeout(200);
  await page.screenshot({ path: out });
} finally {
  await browser.close();
  server.close();
}
