// The lines a document change touched, as the run hears of them, for changes VS Code makes:
// typing, a pasted block, lines joined, several cursors at once.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import forward from '../forward.js';

const change = (start, end, text) => ({ range: { start: { line: start }, end: { line: end } }, text });
const AFTER = ['a', 'b', 'c', 'd', 'e'];
const TOUCHED = [
  [[change(2, 2, 'x')], { first: 3, count: 1, lines: ['c'] }],
  [[change(1, 1, 'x\ny')], { first: 2, count: 1, lines: ['b', 'c'] }],
  [[change(1, 3, '')], { first: 2, count: 3, lines: ['b'] }],
  [[change(4, 4, 'x'), change(0, 1, 'y')], { first: 1, count: 5, lines: ['a', 'b', 'c', 'd'] }],
  [[], null],
];

test('a change gives the lines it touched as they read after it, counted from 1', () => {
  for (const [changes, expected] of TOUCHED)
    assert.deepEqual(forward.touchedlines(changes, (n) => AFTER[n]), expected, JSON.stringify(changes));
});
