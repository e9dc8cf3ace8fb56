// The debug adapter driven by the client VS Code's own adapters are tested with, checked
// against what the command line says of the same program: --trace for every state, --batch
// for the output and the exit status.
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { after, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import testsupport from '@vscode/debugadapter-testsupport';
import Ajv from 'ajv-draft-04';
import forward from '../../editors/vscode/forward.js';

const root = resolve(import.meta.dirname, '../..');
const bin = process.env.TARVEX_BIN ?? join(root, 'build/tarvex');
const scratch = mkdtempSync(join(tmpdir(), 'tarvex-dap-'));
const example = (name) => join(root, 'examples', name);
const program = (name, text) => {
  const path = join(scratch, name);
  writeFileSync(path, text);
  return path;
};

// The states of a run as --trace writes them: tick -> pointers [id, x, y, dir, r0, r1, on,
// string mode, remove after, hold, steps].
function trace(path) {
  const file = join(scratch, 'trace.jsonl');
  spawnSync(bin, ['--batch', '--trace', file, path]);
  const lines = readFileSync(file, 'utf8').trim().split('\n').slice(1).map((l) => JSON.parse(l));
  return new Map(lines.map((l) => [l.tick, l.pointers]));
}

// Every message an adapter sends is checked against the protocol's published schema: a response
// against <Command>Response, or ErrorResponse when it failed, an event against <Event>Event.
const within = (low, high) => ({ type: 'number',
  validate: (n) => Number.isInteger(n) && n >= low && n <= high });
const ajv = new Ajv({ allErrors: true, formats: { int32: within(-(2 ** 31), 2 ** 31 - 1),
  uint32: within(0, 2 ** 32 - 1), int64: within(-(2 ** 53), 2 ** 53), uint64: within(0, 2 ** 53) } });
ajv.addVocabulary(['_enum']); // values suggested, not required
ajv.addSchema(JSON.parse(readFileSync(join(import.meta.dirname,
  'protocol/debugAdapterProtocol.json'), 'utf8')), 'dap');
const kinds = new Set(), invalid = [];
function validate(message) {
  const upper = (name) => name[0].toUpperCase() + name.slice(1);
  const kind = message.type === 'event' ? `${upper(message.event)}Event`
    : message.success ? `${upper(message.command)}Response` : 'ErrorResponse';
  // The project's own requests (tarvexEditLines) answer as any response does.
  const check = ajv.getSchema(`dap#/definitions/${kind}`) ??
    (message.command?.startsWith('tarvex') && ajv.getSchema('dap#/definitions/Response'));
  kinds.add(kind);
  if (!check?.(message)) invalid.push({ kind, message, errors: check?.errors ?? 'no schema' });
}

const clients = [];
// Killed, not disconnected: an adapter that broke down would not answer.
after(() => clients.forEach((c) => c.stopAdapter()));

// A started client with its stdout output collected; given a launch, also initialized (`caps`
// the answer), launched, given the breakpoints (`breakpoints` the answer) and configured, with
// `ending` its first stop or exit, which is at entry when the launch asks.
async function client(launch, breakpoints = []) {
  const dc = new testsupport.DebugClient(bin, '--dap', 'tarvex');
  dc.defaultTimeout = 10000;
  clients.push(dc);
  const dispatch = dc.dispatch.bind(dc);
  dc.dispatch = (body) => { validate(JSON.parse(body)); dispatch(body); };
  await dc.start();
  dc.out = '';
  dc.on('output', (e) => (dc.out += e.body.category === 'stdout' ? e.body.output : ''));
  if (!launch) return dc;
  dc.caps = (await dc.initializeRequest({ adapterID: 'tarvex', supportsInvalidatedEvent: true }))
    .body;
  dc.ending = new Promise((done) => ['stopped', 'exited'].forEach((e) => dc.once(e, done)));
  await dc.launchRequest(launch);
  dc.breakpoints = (await dc.setBreakpointsRequest({ source: { path: launch.program }, breakpoints }))
    .body.breakpoints;
  await dc.configurationDoneRequest();
  if (launch.stopOnEntry) assert.equal((await dc.ending).body.reason, 'entry');
  return dc;
}

// Sends a request and waits for the stop it causes.
const stopping = async (dc, command, args = { threadId: 1 }) =>
  (await Promise.all([dc.waitForEvent('stopped'), dc.send(command, args)]))[0].body;

const number = (value) => Number.parseInt(value, 10);
const DIRECTIONS = ['up', 'down', 'left', 'right'];

// A thread's top frame and the reference of its scope `index`: 0 the pointer, 1 its cell.
async function scopeof(dc, thread, index) {
  const frame = (await dc.stackTraceRequest({ threadId: thread })).body.stackFrames[0];
  const { scopes } = (await dc.scopesRequest({ frameId: frame.id })).body;
  return { frame, ref: scopes[index].variablesReference };
}
// Every live pointer as the client sees it, in the trace's layout (without the steps).
async function pointers(dc) {
  const seen = [];
  for (const thread of (await dc.threadsRequest()).body.threads) {
    const { frame, ref } = await scopeof(dc, thread.id, 0);
    const vars = (await dc.variablesRequest({ variablesReference: ref })).body.variables;
    const v = Object.fromEntries(vars.map((x) =>
      [x.name, x.name === 'direction' ? DIRECTIONS.indexOf(x.value) : number(x.value)]));
    assert.equal(thread.id, v.id + 1);
    seen.push([v.id, frame.column, frame.line - 1, ...['direction', 'register 0', 'register 1',
      'current', 'string mode', 'remove after', 'hold'].map((name) => v[name])]);
  }
  return seen;
}
const traced = (states, tick) => states.get(tick).map((p) => p.slice(0, 10));
const tickof = async (dc) =>
  number((await dc.evaluateRequest({ expression: 'tick', context: 'repl' })).body.result);

test('every stop shows each pointer as the trace has it: by tick, by pointer step, and back', async () => {
  for (const name of ['countdown.txt', 'code.txt']) {
    const states = trace(example(name));
    const dc = await client({ program: example(name), stopOnEntry: true });
    assert.deepEqual(await pointers(dc), traced(states, 0), name);
    // From the first threads request on, thread events keep the client's list whole.
    const known = new Set(states.get(0).map((p) => p[0] + 1));
    dc.on('thread', (e) => known[e.body.reason === 'started' ? 'add' : 'delete'](e.body.threadId));
    let tick = 0;
    for (const command of ['next', 'stepIn', 'next', 'stepBack', 'next', 'stepIn', 'stepIn']) {
      // stepIn walks the pass in list order; one pointer is left for stepOut to finish the tick.
      const order = states.get(tick).map((p) => p[0] + 1);
      for (const thread of command === 'stepIn' ? order.slice(0, Math.min(2, order.length - 1)) : [])
        assert.equal((await stopping(dc, 'stepIn')).threadId, thread, `${name} tick ${tick}`);
      assert.equal((await stopping(dc, command === 'stepIn' ? 'stepOut' : command)).reason, 'step');
      tick += command === 'stepBack' ? -1 : 1;
      assert.equal(await tickof(dc), tick, `${name} ${command}`);
      assert.deepEqual([...known].sort(), states.get(tick).map((p) => p[0] + 1).sort());
      assert.deepEqual(await pointers(dc), traced(states, tick), `${name} ${command} ${tick}`);
    }
  }
});

// countdown prints 5 to 1 from column 8 of line 1, so register 0 there falls one a visit.
// Pointer 1 heads down from the "%" and leaves the grid on line 3, which the trace never shows.
const LEAVES = { tick: 2, thread: 2 };
const BREAKS = [
  { at: { line: 1, column: 8 }, holds: () => true },
  { at: { line: 1, column: 8, condition: 'register 0 == 3' }, holds: (p) => p[4] === 3 },
  { at: { line: 1, column: 8, condition: 'register 0 <= 3' }, holds: (p) => p[4] <= 3 },
  { at: { line: 1, column: 8, condition: 'direction == left' }, holds: () => false },
  { at: { line: 1, column: 8, hitCondition: '4' }, holds: (p, n) => n === 4 },
  { at: { line: 2 }, holds: () => true, line: true },
  { at: { line: 3, column: 1 }, stop: LEAVES },
  { at: { line: 3 }, stop: LEAVES },
  { at: { line: 0 }, refused: true },
  { at: { line: 1, column: -1 }, refused: true },
];

test('a breakpoint stops after the first tick whose pointer stepped there and held', async () => {
  const path = example('countdown.txt');
  const states = trace(path);
  for (const row of BREAKS) {
    let visits = 0;
    const [tick, on] = [...(row.holds ? states : [])].map(([t, list]) => [t, list.find((p) =>
      p[2] === row.at.line - 1 && (row.line || p[1] === row.at.column))])
      .find(([t, p]) => t > 0 && p && row.holds(p, ++visits)) ?? [];
    const expected = row.stop ?? (on && { tick, thread: on[0] + 1 });
    const dc = await client({ program: path }, [row.at]);
    const what = JSON.stringify(row.at);
    assert.equal(dc.breakpoints[0].verified, !row.refused, what);
    const { event, body } = await dc.ending;
    assert.equal(event, expected ? 'stopped' : 'exited', what);
    if (expected) assert.deepEqual([body.reason, body.hitBreakpointIds, await tickof(dc), body.threadId],
      ['breakpoint', [dc.breakpoints[0].id], expected.tick, expected.thread], what);
  }
});

const OUTPUTS = [
  { path: example('hello.txt') },
  { path: example('countdown.txt') },
  { path: example('sum.txt'), input: '3\n4\n0\n' },
  { path: example('sum.txt'), typed: ['3', '4', '0'], batch: '3\n4\n0\n' },
  { path: program('divide.tvx', '%0d\n') },
  { path: join(scratch, 'missing.tvx') },
];

test('the joined output and the exit code are those of --batch', async () => {
  for (const row of OUTPUTS) {
    const batch = spawnSync(bin, ['--batch', row.path], { input: row.batch ?? row.input ?? '' });
    const dc = await client(null);
    // Before a launch, what cannot be carried out fails and the session goes on.
    await assert.rejects(dc.send('next', { threadId: 1 }), { message: /no program is launched/ });
    await assert.rejects(dc.send('launch', { program: row.path, stopOnEntry: 'yes' }),
      { message: /bad arguments for launch/ });
    const exited = dc.waitForEvent('exited');
    const launched = dc.launch({ program: row.path, ...(row.input && { input: row.input }) });
    if (batch.status === 1) {
      await assert.rejects(launched, { message: `Could not load ${row.path}` });
    } else {
      await launched;
      await dc.configurationDoneRequest();
      for (const line of row.typed ?? [])
        await dc.evaluateRequest({ expression: `input ${line}`, context: 'repl' });
    }
    assert.equal((await exited).body.exitCode, batch.status, row.path);
    assert.equal(dc.out, batch.stdout.toString(), row.path);
  }
});

const frame = (body) => `Content-Length: ${Buffer.byteLength(body)}\r\n\r\n${body}`;
const THREADS = frame('{"seq":1,"type":"request","command":"threads"}');
// What a client writes after initialize, piece by piece, each piece a moment after the last as
// on a pipe; the status, and what standard error (status 1) or standard output (0) shows.
const STREAMS = [
  [['Content-Length: ten\r\n\r\n{}'], 1, /broken header: Content-Length is not a number/],
  [['Content-Type: json\r\n\r\n{}'], 1, /broken header: no Content-Length/],
  [['Content-Length: 16777217\r\n\r\n'], 1, /over the limit of 16 MiB/],
  [[frame('{"seq":1,"type":"request",')], 1, /not JSON/],
  [[frame('{"seq":1,"type":"request"}')], 1, /no command/],
  [[THREADS.slice(0, 9), THREADS.slice(9, -1), THREADS.slice(-1)], 0, /"command":"threads"/],
];

test('a stream is read as it comes, and one that is not the protocol ends with a reason', async () => {
  for (const [pieces, expected, shows] of STREAMS) {
    const adapter = spawn(bin, ['--dap']);
    const seen = { stdout: '', stderr: '' };
    for (const stream in seen) adapter[stream].on('data', (d) => (seen[stream] += d));
    const closed = new Promise((done) => adapter.on('close', done));
    adapter.stdin.write(frame('{"seq":0,"type":"request","command":"initialize"}'));
    for (const piece of pieces) await sleep(50).then(() => adapter.stdin.write(piece));
    adapter.stdin.end();
    assert.equal(await closed, expected, JSON.stringify(pieces));
    assert.match(expected ? seen.stderr : seen.stdout, shows);
    assert.match(seen.stdout, /"command":"initialize"/);
  }
});

test('reverseContinue returns to earlier hits, restart to tick 0, pause stops a loop', async () => {
  const path = example('countdown.txt');
  const hits = [...trace(path)].filter(([t, l]) => t > 0 && l.some((p) => p[1] === 8 && p[2] === 0)).map(([t]) => t);
  const dc = await client({ program: path, stopOnEntry: true }, [{ line: 1, column: 8 }]);
  for (const [command, tick] of [['continue', hits[0]], ['continue', hits[1]], ['continue', hits[2]],
    ['reverseContinue', hits[1]], ['reverseContinue', hits[0]], ['restart', 0]]) {
    await stopping(dc, command);
    assert.equal(await tickof(dc), tick, command);
  }
  // Running, only a document's lines may be edited, in characters its decoding holds.
  const loop = await client({ program: `latin1::${program('loop.tvx', '%>v\n ^<\n')}` });
  await assert.rejects(loop.evaluateRequest({ expression: 'cell 1,0 = 0', context: 'repl' }),
    { message: /running: pause it first/ });
  await assert.rejects(loop.customRequest('tarvexEditLines', { first: 3, count: 0,
    lines: ['\u00e9\u2192'] }), { message: /cannot hold U\+2192/ });
  assert.equal((await stopping(loop, 'pause')).reason, 'pause');
});

test('past 1,000 pointers the threads are the first 1,000 and the stopped one', async () => {
  // 400 starts make 1,600 pointers; the one heading down from the last is 1,597.
  const path = program('crowd.tvx', `${'%'.repeat(400)}\n${' '.repeat(400)}\n`);
  const dc = await client({ program: path }, [{ line: 2, column: 400 }]);
  assert.equal((await dc.ending).body.threadId, 1598);
  const [note, { body }] = await Promise.all([dc.waitForEvent('output'), dc.threadsRequest()]);
  assert.deepEqual([body.threads.length, body.threads.at(-1).id], [1001, 1598]);
  assert.match(note.body.output, /^\d+ of \d+ pointers are left out/);
});

// A model of the interpreter for programs of arrows, register instructions and "x" started by
// one "%", their lines all as long as a ring of arrows keeping every pointer inside (so no step
// or edit lengthens a line): lines as arrays of characters (each with the loaded trailing
// space), the pointers in list order as in --trace ([id, x, y, dir, r0, r1, on]), and whether
// each has stepped.
const STEP = {
  '^': (p) => (p[3] = 0), v: (p) => (p[3] = 1), '<': (p) => (p[3] = 2), '>': (p) => (p[3] = 3),
  '+': (p) => (p[4 + p[6]] = (p[4 + p[6]] + 1) & 255), '-': (p) => (p[4 + p[6]] = (p[4 + p[6]] + 255) & 255),
  '~': (p) => (p[6] = 1 - p[6]), '=': (p) => (p[5 - p[6]] = p[4 + p[6]]), 0: (p) => (p[4 + p[6]] = 0),
};
function modelload(text) {
  const lines = text.split('\n').slice(0, -1).map((l) => [...l, ' ']);
  const ips = [];
  lines.forEach((l, y) => l.forEach((c, x) => c === '%' &&
    [0, 1, 2, 3].forEach((d) => ips.push([ips.length, x + 1, y, d, 0, 0, 0]))));
  return { lines, ips, stepped: new Set() };
}
function modeltick(m) {
  const gone = new Set();
  for (const p of [...m.ips]) {
    if (gone.has(p)) continue;
    m.stepped.add(p);
    p[1] += [0, 0, -1, 1][p[3]];
    p[2] += [-1, 1, 0, 0][p[3]];
    const line = m.lines[p[2]];
    if (!line || p[1] < 0 || p[1] > line.length || line[p[1] - 1] === 'x') gone.add(p);
    else STEP[line[p[1] - 1]]?.(p);
    for (const c of m.ips)
      if (c !== p && m.stepped.has(c) && c[1] === p[1] && c[2] === p[2] && c[3] === p[3]) gone.add(c);
  }
  m.ips = m.ips.filter((p) => !gone.has(p));
}
// The session's edits, as the grid and the pointers take them.
function modeledit(m, kind, ...args) {
  if (kind === 'cell') m.lines[args[1]][args[0] - 1] = args[2];
  else if (kind === 'lines') m.lines.splice(args[0], args[1], ...args[2].map((t) => [...t, ' ']));
  else {
    const p = m.ips.find((q) => q[0] === args[0]);
    if (kind === 'remove') m.ips.splice(m.ips.indexOf(p), 1);
    else if (kind === 'move') [p[1], p[2]] = args.slice(1);
    else p[{ register0: 4, register1: 5, current: 6, direction: 3 }[kind]] = args[1];
  }
}
// A seeded generator, so a failing program can be looked at again.
const random = (seed) => () => (seed = (seed * 48271) % 2147483647) / 2147483647;
const INSIDE = '     ><^v+-~=0x';
// A clockwise ring of arrows keeps pointers alive around a random inside and one "%".
function ringprogram(next, width, height) {
  const any = (n) => Array.from({ length: n }, () => INSIDE[Math.floor(next() * INSIDE.length)]).join('');
  const rows = [`${'>'.repeat(width - 1)}v`];
  for (let y = 1; y < height - 1; ++y) rows.push(`^${any(width - 2)}v`);
  rows.push(`^${'<'.repeat(width - 1)}`);
  const y = 1 + Math.floor(next() * (height - 2));
  rows[y] = `${rows[y].slice(0, 2)}%${rows[y].slice(3)}`;
  return { text: `${rows.join('\n')}\n`, inside: any };
}

const STEPS = { n: 'next', b: 'stepBack' };

test('edits at a tick and one tick back, run on and stepped back, match the model', async () => {
  for (const seed of [1, 2, 3]) {
    const next = random(seed);
    const pick = (n) => Math.floor(next() * n);
    const { text, inside } = ringprogram(next, 9, 6);
    const doc = text.split('\n');
    const path = program(`ring${seed}.tvx`, text);
    const dc = await client({ program: path, stopOnEntry: true });
    assert.ok(['SetVariable', 'GotoTargetsRequest', 'TerminateThreadsRequest', 'StepBack']
      .every((c) => dc.caps[`supports${c}`]));
    const ticks = [modelload(text)]; // the model's kept state of each tick
    let tick = 0;
    const check = async (what) => assert.deepEqual((await pointers(dc)).map((p) => p.slice(0, 7)),
      ticks[tick].ips, `seed ${seed}, tick ${tick}, ${what}`);
    const go = async (command) => {
      await stopping(dc, command);
      tick += command === 'stepBack' ? -1 : 1;
      if (!ticks[tick]) modeltick((ticks[tick] = structuredClone(ticks[tick - 1])));
      await check(command);
    };
    // Each edit of the state on show through the adapter, then of the model's copy of that tick.
    const model = (...edit) => modeledit((ticks.length = tick + 1) && ticks[tick], ...edit);
    const anyone = () => ticks[tick].ips[pick(ticks[tick].ips.length)];
    // Cell, pointer fields (setVariable), goto, lines (a document change) and remove.
    const EDITS = {
      async c() {
        const [x, y, c] = [2 + pick(7), 1 + pick(4), inside(1)];
        // The client hears that its views read differently now.
        const [, { body }] = await Promise.all([dc.waitForEvent('invalidated'),
          dc.evaluateRequest({ expression: `cell ${x},${y} = '${c}'`, context: 'repl' })]);
        assert.equal(body.result.split(',')[0], `'${c}'`);
        model('cell', x, y, c);
      },
      async p() {
        const [p, r0, r1, dir, code] = [anyone(), pick(256), 65 + pick(26), pick(4), 65 + pick(26)];
        const { ref } = await scopeof(dc, p[0] + 1, 0);
        // Each answers the new value as variables shows it: a byte with its character.
        for (const [name, value, to] of [['register 0', ` ${r0} `, r0],
          ['register 1', `'${String.fromCharCode(r1)}'`, r1], ['current', `${1 - p[6]}`, 1 - p[6]],
          ['direction', DIRECTIONS[dir], dir]]) {
          const { body } = await dc.send('setVariable', { variablesReference: ref, name, value });
          assert.match(body.value, new RegExp(`^${name === 'direction' ? value : to}( |$)`));
          model(name.replace(' ', ''), p[0], to);
        }
        await dc.send('setVariable', { variablesReference: (await scopeof(dc, p[0] + 1, 1)).ref,
          name: 'code', value: `${code}` });
        model('cell', p[1], p[2], String.fromCharCode(code));
      },
      async g() {
        const [p, x, y] = [anyone(), 2 + pick(7), 1 + pick(4)];
        const { body } = await dc.send('gotoTargets', { source: { path }, line: y + 1, column: x });
        const stop = await stopping(dc, 'goto', { threadId: p[0] + 1, targetId: body.targets[0].id });
        assert.deepEqual([stop.reason, stop.threadId], ['goto', p[0] + 1]);
        model('move', p[0], x, y);
      },
      async l() {
        // Line y of the document becomes two lines, as typing a line break and more would.
        const y = 1 + pick(4);
        const typed = [`^${inside(7)}v`, `^${inside(7)}v`];
        doc.splice(y, 1, ...typed);
        await dc.customRequest('tarvexEditLines', forward.touchedlines([{ range: { start: { line: y },
          end: { line: y } }, text: typed.join('\n') }], (n) => doc[n]));
        model('lines', y, 1, typed);
      },
      async r() {
        if (ticks[tick].ips.length < 2) return;
        const p = anyone();
        await dc.send('terminateThreads', { threadIds: [p[0] + 1] });
        model('remove', p[0]);
      },
    };
    // The first tick half stepped, every edit is refused; its end is the model's tick.
    await stopping(dc, 'stepIn');
    await assert.rejects(dc.evaluateRequest({ expression: 'cell 2,1 = 0', context: 'repl' }),
      { message: /half stepped/ });
    await go('stepOut');
    for (const command of 'nn') await go(STEPS[command]);
    const first = ticks[tick].ips[0][0] + 1;
    const { ref } = await scopeof(dc, first, 0);
    await dc.send('gotoTargets', { source: { path }, line: 2, column: 2 });
    for (const [command, args, message] of [
      ['frobnicate', {}, /unknown request 'frobnicate'/],
      ['setBreakpoints', { source: {}, breakpoints: [{ line: 'one' }] }, /bad arguments/],
      ['setVariable', { name: 'register 0', value: '256' }, /a register holds 0 to 255/],
      ['setVariable', { name: 'register 1', value: 'ten' }, /give a number or a quoted/],
      ['setVariable', { name: 'direction', value: 'sideways' }, /up, down, left or right/],
      ['setVariable', { name: 'id', value: '3' }, /'id' cannot be set/],
      ['evaluate', { expression: "cell 2,1 = '\u2192'", context: 'repl' }, /as 3 characters/],
      ['evaluate', { expression: 'cell 2,1 = 300', context: 'repl' }, /codes 0 to 255/],
      ['goto', { threadId: 99, targetId: 1 }, /no pointer 98 is alive/],
      ['terminateThreads', { threadIds: [first, 99] }, /no pointer 98 is alive/],
    ])
      await assert.rejects(dc.send(command, { variablesReference: ref, ...args }), { message },
        `${command} ${JSON.stringify(args)}`);
    await check('refused edits');
    for (const edit of 'cpglr') await EDITS[edit]();
    await check('edited');
    // Run on, back to the edited tick and one further, edit again there and run forward.
    for (const command of [...'nnnbbbb', ...'cpglrnnnn'])
      await (STEPS[command] ? go(STEPS[command]) : EDITS[command]());
  }
});

// Last, so that it weighs the messages of every test above.
test('every message the adapters sent validates against the protocol schema', () => {
  assert.deepEqual(invalid, []);
  for (const kind of ['ErrorResponse', 'StoppedEvent', 'SetBreakpointsResponse',
    'SetVariableResponse', 'GotoTargetsResponse', 'GotoResponse', 'TerminateThreadsResponse'])
    assert.ok(kinds.has(kind), kind);
});
