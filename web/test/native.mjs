// What the terminal program gives for the same program and input, for the tests to compare
// with: its --batch console bytes and status, and its frames decoded from PNG.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';

export const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
export const site = process.env.TARVEX_SITE || path.join(root, 'build-web');
const bin = process.env.TARVEX_BIN || path.join(root, 'build/tarvex');

export function scratch() {
  return fs.mkdtempSync(path.join(os.tmpdir(), 'tarvex-web-'));
}

// Runs the terminal program with `args` and the program's bytes as a file.
export function native(source, input, args) {
  const dir = scratch();
  fs.writeFileSync(path.join(dir, 'prog.txt'), source);
  const run = spawnSync(bin, ['--batch', ...args(dir), path.join(dir, 'prog.txt')], {
    input, cwd: dir, timeout: 60000,
  });
  if (run.error) throw run.error;
  return { out: run.stdout, err: run.stderr.toString(), status: run.status, dir };
}

// The pixels of an 8-bit RGB or RGBA PNG (the native frames; the browser's downloads) as RGBA
// bytes, the layout of the page's ImageData.
export function decodepng(file) {
  const bytes = fs.readFileSync(file);
  let width = 0, height = 0, size = 3;
  const data = [];
  for (let at = 8; at < bytes.length;) {
    const length = bytes.readUInt32BE(at);
    const type = bytes.toString('latin1', at + 4, at + 8);
    const body = bytes.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || (body[9] !== 2 && body[9] !== 6) || body[12] !== 0)
        throw new Error(`${file}: not 8-bit RGB or RGBA`);
      size = body[9] === 6 ? 4 : 3;
    } else if (type === 'IDAT') {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const stride = width * size;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; x++) {
      const a = x >= size ? pixels[y * stride + x - size] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const c = x >= size && y > 0 ? pixels[(y - 1) * stride + x - size] : 0;
      let predicted = 0;
      if (filter === 1) predicted = a;
      else if (filter === 2) predicted = b;
      else if (filter === 3) predicted = (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      pixels[y * stride + x] = (line[x] + predicted) & 255;
    }
  }
  if (size === 4) return { width, height, rgba: pixels };
  const rgba = Buffer.alloc(width * height * 4, 255);
  for (let i = 0; i < width * height; i++) pixels.copy(rgba, i * 4, i * 3, i * 3 + 3);
  return { width, height, rgba };
}

// Where two RGBA pictures first differ, or null when they are the same.
export function firstdifference(a, b, width) {
  if (a.length !== b.length) return `sizes ${a.length} and ${b.length}`;
  for (let i = 0; i < a.length; i++)
    if (a[i] !== b[i]) return `pixel (${(i >> 2) % width}, ${Math.floor((i >> 2) / width)})`;
  return null;
}
