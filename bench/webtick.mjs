// The page's module under node on the 100,000-pointer tiles of bench/process.sh, as the page
// runs it (its history on, input ended): the processor time of `tv_advance` from tick 300 to
// tick 500 of one run, divided by the ticks, so loading and the filling of the history (about
// 130 ticks of these) stay out; the best of REPEAT (default 5) runs, since other work on the
// machine only ever adds time. With a native tarvex it takes that binary's `--batch --threads 1` tick as
// bench/process.sh does (ticks 20 to 220, differenced), turn about with the module, for the
// ratio.
//   node --no-experimental-fetch bench/webtick.mjs [TARVEX]
// (after make web; TARVEX_SITE: where the module is; without the flag the module fetches itself)
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..');
const site = process.env.TARVEX_SITE || path.join(root, 'build-web');
const repeat = Number(process.env.REPEAT || 5);
const [T1, T2] = [300, 500];
const tiles = ['o%O', 'O o', 'xxx'].map((row) => row.repeat(100) + '\n').join('').repeat(500);

const tarvex = await createRequire(import.meta.url)(path.join(site, 'tarvex.js'))();
const cpu = () => {
  const used = process.cpuUsage();
  return (used.user + used.system) / 1e3;
};

function module() {
  const bytes = Buffer.from(tiles);
  const at = tarvex._malloc(bytes.length);
  tarvex.HEAPU8.set(bytes, at);
  tarvex._tv_load(at, bytes.length, 0);
  tarvex._free(at);
  tarvex._tv_endinput();
  tarvex._tv_advance(T1, 1e9);
  const from = cpu();
  tarvex._tv_advance(T2 - T1, 1e9);
  const ms = (cpu() - from) / (T2 - T1);
  if (tarvex._tv_tick() !== T2 || tarvex._tv_pointers() !== 100000) throw new Error('the run did not keep its tiles');
  return ms;
}

// The processor time of `tarvex --batch --threads 1 --ticks T` in milliseconds, on one thread
// as the page is; the run ends at its tick limit with status 3.
function nativerun(binary, file, ticks) {
  const script = 'import resource, subprocess, sys\n' +
    'subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL)\n' +
    'u = resource.getrusage(resource.RUSAGE_CHILDREN)\nprint((u.ru_utime + u.ru_stime) * 1e3)';
  const run = spawnSync('python3', ['-c', script, binary, '--batch', '--threads', '1', '--ticks', String(ticks), file]);
  if (run.status !== 0) throw new Error(run.stderr.toString());
  return Number(run.stdout.toString());
}

// Turn about, so that both meet the same load.
const pages = [], natives = [];
let file, dir;
if (process.argv[2]) {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvex-webtick-'));
  file = path.join(dir, 'tiles.txt');
  fs.writeFileSync(file, tiles);
}
for (let r = 0; r < repeat; r++) {
  pages.push(module());
  if (file) natives.push((nativerun(process.argv[2], file, 220) - nativerun(process.argv[2], file, 20)) / 200);
}
const page = Math.min(...pages);
console.log(`module, history on: ${page.toFixed(3)} ms per tick`);
if (file) {
  fs.rmSync(dir, { recursive: true });
  const tick = Math.min(...natives);
  console.log(`native --batch --threads 1: ${tick.toFixed(3)} ms per tick; module ${(page / tick).toFixed(2)} × native`);
}
