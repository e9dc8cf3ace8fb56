// The playground page: the program box (the live grid of the run on show), the controls, the
// animation loop that drives the module a bounded slice of time per frame, the console panel
// and the links that carry a program.
'use strict';

const WIDTH = 720;
const HEIGHT = 512;
const TICKED = 1, BUSY = 2, WAITING = 3, ENDED = 4, PAUSED = 5; // what one call to the module reports
// What a key or mouse event on the canvas asks of the page.
const REDRAW = 1, STEPTICK = 2, RELOAD = 3, POINTERTICKED = 4, CLICKED = 5;
// The window's event kinds and key codes, which the studio's map reads.
const KEYDOWN = 0, KEYREPEAT = 2, MOUSEMOVE = 6, MOUSEDOWN = 7, MOUSEUP = 8, WHEEL = 9;
const KEYCODES = {
  Backspace: 8, Enter: 13, Escape: 27, ' ': 32, Home: 36, ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39,
  ArrowDown: 40, Delete: 46, F1: 112,
};
const COMPLETE = 1, FAULT = 2, OVERCAP = 3, OVERMEMORY = 4; // how a run ended
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
// The box's text as the run holds it: loaded, or read in since. The box may be ahead of it
// while an edit is refused (a tick left half done by pointer steps).
let shadow = null;
let canvastyping = false; // Enter on the canvas started typing; else the cursor marks the caret
let state = 'loading'; // paused, running, waiting, ended, broken
let mode = 'paced'; // paced: one tick per pause; target: as fast as the frames allow, up to `target`
let target = 0;
let nextdue = 0; // when the next paced tick is due
let shown = -1; // the tick whose frame the canvas shows
let linkbreaks = []; // breakpoints a link sets, for each load of its program
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
  // A link with its input replays the run exactly; one without it asks for lines as it runs.
  if (input.length || !$('live').checked) hash += '&in=' + tobase64url(input);
  if (tv) {
    for (const [x, y] of breakpoints()) hash += `&break=${x},${y}`;
    const tick = tv._tv_shown();
    if (tick > 0) hash += '&ticks=' + tick;
  }
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
  // The given input is all of it, as `tarvex < file` reads it; without any, lines are typed.
  $('live').checked = !fields.has('in');
  linkbreaks = fields.getAll('break').map((cell) => cell.split(',').map(Number)).filter(
    (cell) => cell.length === 2 && cell.every(Number.isInteger));
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
    return call(at, bytes.length);
  } finally {
    tv._free(at);
  }
}

function takebytes(length) {
  const at = tv._tv_bytes();
  return tv.HEAPU8.slice(at, at + length);
}

function breakpoints() {
  const cells = new TextDecoder().decode(takebytes(tv._tv_describe(1)));
  return cells.split(' ').filter((c) => c).map((cell) => cell.split(',').map(Number));
}

// Whole ticks taken: a pass still open is not one.
function wholeticks() {
  return tv._tv_tick() - (tv._tv_passopen() || !tv._tv_between() ? 1 : 0);
}

function drain() {
  const bytes = takebytes(tv._tv_output());
  if (!bytes.length) return;
  output.push(bytes);
  appendtext(decoder.decode(bytes, { stream: true }));
}

function paint(again = false) {
  const whole = wholeticks();
  if (whole === shown && !again) return;
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
  // The session's pause follows the page's, so the status line and the keys agree with it.
  if (tv && next === 'paused') tv._tv_pause();
  if (tv && next === 'running') tv._tv_resume();
  document.body.dataset.state = next;
  const live = tv !== null && state !== 'broken';
  $('run').disabled = !live || state === 'running' || state === 'waiting';
  $('pause').disabled = !live || (state !== 'running' && state !== 'waiting');
  $('step').disabled = !live || state === 'ended';
  $('steppointer').disabled = !live || state !== 'paused';
  $('back').disabled = !live || state !== 'paused';
  $('reset').disabled = !live;
  $('share').disabled = $('savepng').disabled = tv === null;
  showstatus();
}

function showstatus() {
  if (!tv || state === 'broken') return;
  const whole = wholeticks();
  document.body.dataset.tick = String(whole);
  // What the window's caption tells: paused or running, the tick, (history), the delay.
  const told = new TextDecoder().decode(takebytes(tv._tv_describe(0)));
  const words = { waiting: ' · waiting for a line of input', ended: ' · ended' };
  $('status').textContent = `${told} · ${tv._tv_pointers()} pointers${words[state] || ''}`;
}

function showending() {
  const ending = tv._tv_ending();
  const status = tv._tv_status();
  const message = new TextDecoder().decode(takebytes(tv._tv_message()));
  const box = $('ending');
  box.className = ['', 'complete', 'fault', 'overcap', 'overcap'][ending] || '';
  box.dataset.status = String(status);
  if (ending === COMPLETE) box.textContent = 'Execution complete (status 0).';
  else if (ending === FAULT)
    box.textContent = `${message}: the terminal program ends with status ${status}.`;
  else if (ending === OVERMEMORY)
    box.textContent = `${message.replace(' (see --max-memory)', '')}: a run in the playground may hold 1 GiB; the terminal program stopped by --max-memory ends with status ${status}.`;
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

// Loads the box's text as a new run; `again`: in place of a run that has not begun, keeping its
// breakpoints.
function reset(again = false) {
  if (!tv) return;
  try {
    shadow = editor.value;
    canvastyping = false;
    for (const [x, y] of again ? breakpoints() : linkbreaks) tv._tv_breakat(x, y);
    withbytes(programbytes(), (at, n) => tv._tv_load(at, n, POINTERCAP));
    tv._tv_setdelay(delayms());
    withbytes(inputbytes(), (at, n) => tv._tv_feed(at, n));
    if (!$('live').checked) tv._tv_endinput();
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
      if (document.activeElement === editor) showcaret();
    }
  } catch (error) {
    broken(error);
  }
}

// --- the program box as the live grid ---

// A run is on show that edits can reach.
function live() {
  return tv !== null && (state === 'paused' || state === 'running' || state === 'waiting');
}

// A text's lines as loading reads them: a line feed at the very end adds no line.
function linesof(text) {
  const lines = text.split('\n');
  if (lines.length > 1 && lines[lines.length - 1] === '') lines.pop();
  return lines;
}

// `text` with `texts` in place of its lines from `first`, grown with empty lines to reach it.
function putlines(text, first, texts) {
  const lines = linesof(text);
  while (lines.length < first) lines.push('');
  lines.splice(first, texts.length, ...texts);
  return lines.join('\n') + (text.length && text.endsWith('\n') ? '\n' : '');
}

// The box's changed lines into the run: those between the lines its text and the run's share
// at the start and at the end. A run that has not begun loads the text again instead, so that
// its "%" cells start their pointers as they would at Run.
function syncbox() {
  if (!live() || editor.value === shadow) return;
  if (tv._tv_pristine()) return reset(true);
  const before = linesof(shadow), after = linesof(editor.value);
  let head = 0, tail = 0;
  while (head < before.length && head < after.length && before[head] === after[head]) head++;
  while (tail < before.length - head && tail < after.length - head &&
    before[before.length - 1 - tail] === after[after.length - 1 - tail]) tail++;
  const texts = after.slice(head, after.length - tail).map((line) => line + '\n');
  const count = before.length - head - tail;
  try {
    // Refused, the box stays ahead and the status line tells why; the next tick tries again.
    if (withbytes(encoder.encode(texts.join('')), (at, n) => tv._tv_lines(head, count, at, n)))
      shadow = editor.value;
    paint(true);
    showstatus();
  } catch (error) {
    broken(error);
  }
}

// Lines that typing on the canvas changed, read back into the box: the box shows the grid's
// lines, so Share and a new run carry them.
function readback() {
  const length = tv._tv_takeedited();
  if (length < 0) return;
  const first = tv._tv_editedfrom();
  const texts = new TextDecoder().decode(takebytes(length)).split('\n').slice(0, -1);
  shadow = putlines(shadow, first, texts);
  const text = putlines(editor.value, first, texts);
  if (text === editor.value) return;
  const { selectionStart, selectionEnd, scrollTop } = editor;
  editor.value = text;
  editor.setSelectionRange(selectionStart, selectionEnd);
  editor.scrollTop = scrollTop;
}

const utf8length = (text) => encoder.encode(text).length;

// The cell of the box's caret: the page reads a program a byte a cell, so its column counts
// the UTF-8 bytes before the caret on its line.
function caretcell() {
  const at = editor.selectionDirection === 'backward' ? editor.selectionStart : editor.selectionEnd;
  const lines = editor.value.slice(0, at).split('\n');
  return [utf8length(lines[lines.length - 1]) + 1, lines.length - 1];
}

// The box's caret onto the character of cell (x, y), or the end of its line.
function putcaret(x, y) {
  const text = editor.value;
  let at = 0;
  for (let line = 0; line < y && at <= text.length; line++) {
    const next = text.indexOf('\n', at);
    at = next < 0 ? text.length + 1 : next + 1;
  }
  at = Math.min(at, text.length);
  const end = text.indexOf('\n', at) < 0 ? text.length : text.indexOf('\n', at);
  for (let bytes = 0; at < end && bytes < x - 1;) {
    const character = String.fromCodePoint(text.codePointAt(at));
    bytes += utf8length(character);
    at += character.length;
  }
  editor.setSelectionRange(at, at);
}

// The cursor outlines the cell of the box's caret.
function showcaret() {
  if (!live()) return;
  const [x, y] = caretcell();
  canvastyping = false;
  // Focus, input, keys and the selection all report a caret that may not have moved.
  if (tv._tv_typing() && tv._tv_cursor(0) === x && tv._tv_cursor(1) === y) return;
  tv._tv_typeat(x, y);
  paint(true);
}

function hidecaret() {
  if (!tv || canvastyping || !tv._tv_typing()) return;
  tv._tv_stoptyping();
  paint(true);
}

function go() {
  // Ticks are not owed for the time the run waited for a line or stood paused.
  if (mode === 'paced') nextdue = Math.max(nextdue, performance.now());
  setstate('running');
  schedule();
}

function run() {
  if (state === 'ended') reset();
  else syncbox();
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
  syncbox();
  runto(wholeticks() + 1);
}

function pause() {
  if (state !== 'running' && state !== 'waiting') return;
  setstate('paused');
}

// One pointer step of the tick, as the Down key.
function steppointer() {
  canvasevent(KEYDOWN, KEYCODES.ArrowDown, 0, 0, 0);
}

// One tick back through the history, as the Left key.
function back() {
  canvasevent(KEYDOWN, KEYCODES.ArrowLeft, 0, 0, 0);
}

// A key or mouse event through the studio's map, which the window uses too.
function canvasevent(kind, key, text, x, y) {
  if (!tv || state === 'broken') return false;
  const iskey = kind === KEYDOWN || kind === KEYREPEAT;
  // The cursor on the box's caret is not typing: the canvas's keys mean what the window's do
  // until Enter starts typing there.
  if (iskey && !canvastyping) hidecaret();
  const before = tv._tv_paused();
  const action = tv._tv_input(kind, key, text, x, y);
  if (iskey) canvastyping = tv._tv_typing() === 1;
  readback();
  if (iskey && canvastyping) putcaret(tv._tv_cursor(0), tv._tv_cursor(1));
  if (action === CLICKED) {
    // A click on a cell puts the box's caret there, outlined.
    const cell = [tv._tv_cellat(x, y, 0), tv._tv_cellat(x, y, 1)];
    putcaret(...cell);
    tv._tv_typeat(...cell);
  }
  if (!action) return false;
  try {
    if (action === STEPTICK) return step(), true;
    if (action === RELOAD) return reset(), true;
    if (action === POINTERTICKED) {
      syncbox();
      drain();
      if (tv._tv_ending()) {
        drain();
        appendtext(decoder.decode());
        showending();
        setstate('ended');
      }
    }
    paint(true);
    // Space pauses and resumes the page's run as it does the window's.
    const paused = tv._tv_paused();
    if (paused !== before && state !== 'ended') {
      if (paused) setstate('paused');
      else run();
    }
    $('speed').value = String(Math.round((1000 * Math.log(tv._tv_delay())) / Math.log(2000)));
    $('speedshown').value = `${delayms()} ms`;
    showstatus();
  } catch (error) {
    broken(error);
  }
  return true;
}

// Canvas pixels under a mouse event, whatever size the canvas is shown at.
function canvasxy(event) {
  const box = screen.getBoundingClientRect();
  return [Math.floor(((event.clientX - box.left) * WIDTH) / box.width),
    Math.floor(((event.clientY - box.top) * HEIGHT) / box.height)];
}

function listencanvas() {
  screen.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    const key = KEYCODES[event.key] || 0;
    const text = event.key.length === 1 ? event.key.codePointAt(0) : 0;
    if (canvasevent(event.repeat ? KEYREPEAT : KEYDOWN, key, text, 0, 0)) event.preventDefault();
  });
  screen.addEventListener('mousemove', (event) => canvasevent(MOUSEMOVE, 0, 0, ...canvasxy(event)));
  screen.addEventListener('mousedown', (event) => {
    screen.focus({ preventScroll: true });
    if (event.button === 0 || event.button === 2) canvasevent(MOUSEDOWN, event.button + 1, 0, ...canvasxy(event));
  });
  screen.addEventListener('mouseup', (event) => {
    if (event.button === 0) canvasevent(MOUSEUP, 1, 0, ...canvasxy(event));
  });
  screen.addEventListener('contextmenu', (event) => event.preventDefault());
  screen.addEventListener('wheel', (event) => {
    if (!event.deltaY) return;
    event.preventDefault();
    canvasevent(WHEEL, event.deltaY < 0 ? 1 : -1, 0, ...canvasxy(event));
  }, { passive: false });
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
    if (taken) {
      // Edits queued while the tick was open have landed; a box refused mid-tick goes in now.
      readback();
      syncbox();
    }
    drain();
    paint();
    if (mode === 'paced') {
      // A run that cannot keep the pace goes as fast as it can, without owing ticks.
      nextdue = progress === BUSY ? now : Math.max(nextdue + taken * delayms(), now - delayms());
    }
    if (progress === PAUSED) {
      // A breakpoint paused the run after the tick, as the window pauses.
      setstate('paused');
    } else if (progress === ENDED) {
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
  linkbreaks = [];
  history.replaceState(null, '', location.href.replace(/#.*$/, ''));
  reset();
}

function start() {
  for (const [name] of EXAMPLES) $('examples').add(new Option(name, name));
  $('speed').addEventListener('input', () => {
    $('speedshown').value = `${delayms()} ms`;
    if (tv) tv._tv_setdelay(delayms());
    // A shorter pause takes effect now, not after the longer one has run out.
    nextdue = Math.min(nextdue, performance.now() + delayms());
  });
  $('run').addEventListener('click', run);
  $('pause').addEventListener('click', pause);
  $('step').addEventListener('click', step);
  $('steppointer').addEventListener('click', steppointer);
  $('back').addEventListener('click', back);
  listencanvas();
  $('reset').addEventListener('click', reset);
  $('share').addEventListener('click', share);
  $('savepng').addEventListener('click', savepng);
  $('examples').addEventListener('change', pickexample);
  editor.addEventListener('input', syncbox);
  // The caret's cell is outlined while the box has the focus.
  for (const name of ['focus', 'input', 'keyup', 'mouseup']) editor.addEventListener(name, showcaret);
  document.addEventListener('selectionchange', () => document.activeElement === editor && showcaret());
  editor.addEventListener('blur', hidecaret);
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
