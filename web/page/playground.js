// The playground page: the editor, the controls, the animation loop that drives the module a
// bounded slice of time per frame, the console panel and the links that carry a program.
'use strict';

const WIDTH = 720;
const HEIGHT = 512;
const TICKED = 1, BUSY = 2, WAITING = 3, ENDED = 4; // what one call to the module reports
const COMPLETE = 1, FAULT = 2, OVERCAP = 3; // how a run ended
// The module's share of one animation frame: the rest is the page's, so it stays responsive
// however long a tick takes.
const FRAMEBUDGET = 10;
// At 1 ms a tick a frame that came late must not try to catch up on seconds of ticks.
const MOSTTICKS = 1000;
// A million pointers take about 100 MB, a fair share of a tab.
const POINTERCAP = 1000000;

const $ = (id) => document.getElementById(id);
const editor = $('editor'), typed = $('input'), screen = $('screen'), panel = $('console');
const encoder = new TextEncoder();

let tv = null; // the module
let image = null;
let decoder = null; // console bytes to text, across writes that split a character
let output = []; // every console byte of the run, in chunks, for tools that read the page
// The program and the input as last loaded from a link or an example. Their bytes are run as
// they are while the editor still shows the text they gave, so bytes that are not UTF-8 survive
// a link; an edit runs the edited text as UTF-8.
let given = { program: null, programtext: '', input: null, inputtext: '' };
let loadedtext = null; // the editor's text the run was loaded from
let state = 'loading'; // paused, running, waiting, ended, broken
let mode = 'paced'; // paced: one tick per pause; target: as fast as the frames allow, up to `target`
let target = 0;
let nextdue = 0; // when the next paced tick is due
let shown = -1; // the tick whose frame the canvas shows
let framepending = false;
// What the speed figures are made of: animation frames the run took, frames painted, and the
// longest time the module held the page in one of them.
const meter = { frames: 0, paints: 0, longestcall: 0, ranfrom: 0, endedat: 0 };

function delayms() {
  return Math.round(2000 ** ($('speed').value / 1000));
}

// --- bytes and links ---

function tobase64url(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i += 0x8000)
    text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  return btoa(text).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function frombase64url(text) {
  const plain = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
  return Uint8Array.from(plain, (c) => c.charCodeAt(0));
}

function bytesof(area, bytes, text) {
  return bytes && area.value === text ? bytes : encoder.encode(area.value);
}

function programbytes() {
  return bytesof(editor, given.program, given.programtext);
}

function inputbytes() {
  return bytesof(typed, given.input, given.inputtext);
}

// Puts a program (and its input) into the editor as the bytes to run.
function give(program, input) {
  editor.value = new TextDecoder().decode(program);
  typed.value = new TextDecoder().decode(input);
  // Read back: the text areas turn "\r\n" into "\n".
  given = { program, programtext: editor.value, input, inputtext: typed.value };
}

function sharelink() {
  let hash = '#src=' + tobase64url(programbytes());
  const input = inputbytes();
  if (input.length) hash += '&in=' + tobase64url(input);
  return location.href.replace(/#.*$/, '') + hash;
}

// Reads #src=…&in=…&ticks=N; false when the hash holds no program.
function openlink() {
  const fields = new URLSearchParams(location.hash.slice(1));
  if (!fields.has('src')) return false;
  try {
    give(frombase64url(fields.get('src')), frombase64url(fields.get('in') || ''));
  } catch {
    note('The link does not hold a program: its src= is not base64url.');
    return false;
  }
  reset();
  const ticks = Number(fields.get('ticks'));
  if (Number.isInteger(ticks) && ticks > 0) runto(ticks);
  return true;
}

// --- the module ---

function withbytes(bytes, call) {
  const at = tv._malloc(Math.max(bytes.length, 1));
  tv.HEAPU8.set(bytes, at);
  try {
    call(at, bytes.length);
  } finally {
    tv._free(at);
  }
}

function takebytes(length) {
  const at = tv._tv_bytes();
  return tv.HEAPU8.slice(at, at + length);
}

// Whole ticks taken: a pass still open is not one.
function wholeticks() {
  return tv._tv_tick() - (tv._tv_between() ? 0 : 1);
}

function drain() {
  const bytes = takebytes(tv._tv_output());
  if (!bytes.length) return;
  output.push(bytes);
  appendtext(decoder.decode(bytes, { stream: true }));
}

function paint() {
  const whole = wholeticks();
  if (whole === shown) return;
  const at = tv._tv_frame();
  if (!at) return;
  image.data.set(tv.HEAPU8.subarray(at, at + WIDTH * HEIGHT * 4));
  screen.getContext('2d').putImageData(image, 0, 0);
  shown = whole;
  meter.paints++;
}

// The canvas as large as the window allows above a console of CONSOLEROOM pixels: a whole
// number of times its size, where it fits once, so every pixel stays a square of equal
// pixels; smaller windows get it scaled down to fit.
const CONSOLEROOM = 220;
function fitscreen() {
  const wide = screen.parentElement.clientWidth;
  const tall = window.innerHeight - screen.getBoundingClientRect().top - CONSOLEROOM;
  let scale = Math.min(wide / WIDTH, tall / HEIGHT);
  if (scale >= 1) scale = Math.floor(scale);
  screen.style.width = `${Math.max(Math.floor(WIDTH * scale), WIDTH / 4)}px`;
}

// --- the console panel ---

// The panel keeps the last PANELKEEP characters or so: a program that prints for ever must not
// slow the page down. Every byte stays in `output`.
const PANELKEEP = 500000;
let panelsize = 0;

function appendtext(text, kind) {
  if (!text) return;
  const atbottom = panel.scrollTop + panel.clientHeight >= panel.scrollHeight - 4;
  if (kind) {
    const span = document.createElement('span');
    span.className = kind;
    span.textContent = text;
    panel.append(span);
  } else {
    panel.append(text);
  }
  panelsize += text.length;
  while (panelsize > PANELKEEP && panel.childNodes.length > 1) {
    panelsize -= panel.firstChild.textContent.length;
    panel.firstChild.remove();
  }
  if (atbottom) panel.scrollTop = panel.scrollHeight;
}

function note(text) {
  appendtext(text + '\n', 'note');
}

// --- the run ---

function setstate(next) {
  state = next;
  document.body.dataset.state = next;
  const live = tv !== null && state !== 'broken';
  $('run').disabled = !live || state === 'running' || state === 'waiting';
  $('pause').disabled = !live || (state !== 'running' && state !== 'waiting');
  $('step').disabled = !live || state === 'ended';
  $('reset').disabled = !live;
  $('share').disabled = $('savepng').disabled = tv === null;
  showstatus();
}

function showstatus() {
  if (!tv || state === 'broken') return;
  const whole = wholeticks();
  document.body.dataset.tick = String(whole);
  const words = { paused: 'paused', running: 'running', waiting: 'waiting for a line of input', ended: 'ended' };
  $('status').textContent = `Tick ${whole} · ${tv._tv_pointers()} pointers · ${words[state] || state}`;
}

function showending() {
  const ending = tv._tv_ending();
  const status = tv._tv_status();
  const message = new TextDecoder().decode(takebytes(tv._tv_message()));
  const box = $('ending');
  box.className = ['', 'complete', 'fault', 'overcap'][ending] || '';
  box.dataset.status = String(status);
  if (ending === COMPLETE) box.textContent = 'Execution complete (status 0).';
  else if (ending === FAULT)
    box.textContent = `${message}: the terminal program ends with status ${status}.`;
  else if (ending === OVERCAP)
    box.textContent = `${message}. The playground allows a million live pointers; the terminal program stopped by --max-pointers ends with status ${status}.`;
  box.hidden = false;
}

// The module stopped working (it ran out of memory, or a fault it could not report): nothing
// more can run until the page is loaded again.
function broken(error) {
  setstate('broken');
  const box = $('ending');
  box.className = 'broken';
  box.textContent = `The run stopped: ${error.message || error}. Reload the page to go on.`;
  box.hidden = false;
  $('status').textContent = 'Stopped';
}

function reset() {
  if (!tv) return;
  try {
    loadedtext = editor.value;
    withbytes(programbytes(), (at, n) => tv._tv_load(at, n, POINTERCAP));
    withbytes(inputbytes(), (at, n) => tv._tv_feed(at, n));
    panel.textContent = '';
    panelsize = 0;
    output = [];
    // A program that passes the pointer cap as it loads has no frame to show.
    const context = screen.getContext('2d');
    context.fillStyle = '#000';
    context.fillRect(0, 0, WIDTH, HEIGHT);
    decoder = new TextDecoder('utf-8');
    $('ending').hidden = true;
    shown = -1;
    drain();
    paint();
    if (tv._tv_ending()) {
      showending();
      setstate('ended');
    } else {
      setstate('paused');
    }
  } catch (error) {
    broken(error);
  }
}

function stale() {
  return state === 'ended' || loadedtext !== editor.value;
}

function go() {
  // Ticks are not owed for the time the run waited for a line or stood paused.
  if (mode === 'paced') nextdue = Math.max(nextdue, performance.now());
  setstate('running');
  schedule();
}

function run() {
  if (stale()) reset();
  if (state === 'ended' || state === 'broken') return;
  mode = 'paced';
  nextdue = meter.ranfrom = performance.now();
  go();
}

function runto(tick) {
  if (state === 'ended' || state === 'broken') return;
  mode = 'target';
  target = tick;
  go();
}

function step() {
  if (loadedtext !== editor.value) reset();
  runto(wholeticks() + 1);
}

function pause() {
  if (state === 'running' || state === 'waiting') setstate('paused');
}

function schedule() {
  if (framepending) return;
  framepending = true;
  requestAnimationFrame(frame);
}

function frame(now) {
  framepending = false;
  if (state !== 'running') return;
  try {
    let want;
    if (mode === 'paced') {
      if (now < nextdue) return schedule();
      want = Math.min(1 + Math.floor((now - nextdue) / delayms()), MOSTTICKS);
    } else {
      want = target - wholeticks();
    }
    const before = wholeticks();
    const started = performance.now();
    const progress = want > 0 ? tv._tv_advance(want, FRAMEBUDGET) : TICKED;
    meter.frames++;
    meter.longestcall = Math.max(meter.longestcall, performance.now() - started);
    const taken = wholeticks() - before;
    drain();
    paint();
    if (mode === 'paced') {
      // A run that cannot keep the pace goes as fast as it can, without owing ticks.
      nextdue = progress === BUSY ? now : Math.max(nextdue + taken * delayms(), now - delayms());
    }
    if (progress === ENDED) {
      meter.endedat = performance.now();
      drain();
      appendtext(decoder.decode()); // a character left open at the end shows as U+FFFD
      showending();
      setstate('ended');
    } else if (progress === WAITING) {
      setstate('waiting');
      $('line').focus({ preventScroll: true });
    } else if (mode === 'target' && wholeticks() >= target) {
      setstate('paused');
    } else {
      showstatus();
      schedule();
    }
  } catch (error) {
    broken(error);
  }
}

// A line typed for ":": echoed in the panel, though it is not part of the program's output.
function sendline(event) {
  event.preventDefault();
  if (!tv || state === 'broken' || state === 'ended') return;
  const text = $('line').value;
  $('line').value = '';
  appendtext(text + '\n', 'typed');
  withbytes(encoder.encode(text + '\n'), (at, n) => tv._tv_feed(at, n));
  if (state === 'waiting') go();
}

function endinput(event) {
  if (event.key !== 'd' || !event.ctrlKey || $('line').value !== '') return;
  event.preventDefault();
  if (!tv || state === 'broken' || state === 'ended') return;
  tv._tv_endinput();
  note('(end of input)');
  if (state === 'waiting') go();
}

async function share() {
  const link = sharelink();
  history.replaceState(null, '', link);
  const field = $('sharelink');
  field.value = link;
  field.hidden = false;
  field.select();
  try {
    await navigator.clipboard.writeText(link);
    field.title = 'Copied';
  } catch {
    field.title = 'Copy the selected link';
  }
}

function savepng() {
  screen.toBlob((blob) => {
    const a = document.createElement('a');
    a.href = URL.createObjectURL(blob);
    a.download = `tarvex-tick-${shown < 0 ? 0 : shown}.png`;
    a.click();
    setTimeout(() => URL.revokeObjectURL(a.href), 1000);
  }, 'image/png');
}

function fromhex(hex) {
  return Uint8Array.from(hex.match(/../g) || [], (pair) => parseInt(pair, 16));
}

function pickexample() {
  const entry = EXAMPLES.find(([name]) => name === $('examples').value);
  if (!entry) return;
  give(fromhex(entry[1]), new Uint8Array());
  history.replaceState(null, '', location.href.replace(/#.*$/, ''));
  reset();
}

function start() {
  for (const [name] of EXAMPLES) $('examples').add(new Option(name, name));
  $('speed').addEventListener('input', () => {
    $('speedshown').value = `${delayms()} ms`;
    // A shorter pause takes effect now, not after the longer one has run out.
    nextdue = Math.min(nextdue, performance.now() + delayms());
  });
  $('run').addEventListener('click', run);
  $('pause').addEventListener('click', pause);
  $('step').addEventListener('click', step);
  $('reset').addEventListener('click', reset);
  $('share').addEventListener('click', share);
  $('savepng').addEventListener('click', savepng);
  $('examples').addEventListener('change', pickexample);
  $('lineform').addEventListener('submit', sendline);
  $('line').addEventListener('keydown', endinput);
  window.addEventListener('hashchange', openlink);
  image = new ImageData(WIDTH, HEIGHT);
  window.addEventListener('resize', fitscreen);
  fitscreen();

  tarvexmodule().then(
    (module) => {
      tv = module;
      if (!openlink()) {
        // The demo the terminal program runs by default.
        $('examples').value = 'code.txt';
        pickexample();
      }
    },
    (error) => broken(error),
  );
}

// For tools that drive the page: the console's bytes as the program wrote them.
window.playground = {
  consolebytes() {
    const all = new Uint8Array(output.reduce((n, chunk) => n + chunk.length, 0));
    let at = 0;
    for (const chunk of output) all.set(chunk, (at += chunk.length) - chunk.length);
    return all;
  },
  tick: () => (tv ? wholeticks() : 0),
  meter: () => ({ ...meter }),
  state: () => state,
};

start();
