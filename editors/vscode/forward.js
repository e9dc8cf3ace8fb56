// What a run hears of an edit of its program's document: the lines the edit touched, as they
// read after it, which the adapter reads again into the live grid (the rest of the grid, with
// the program's own writes, stays). Plain data in and out, so node tests it without VS Code.
const path = require('node:path');

// `changes`: a change event's contentChanges, each range in the document as it stood before the
// event; `lineAt(n)`: the text of line n (from 0) after it. The arguments of the adapter's
// tarvexEditLines request, lines counted from 1 as the client counts them; null for no change.
function touchedlines(changes, lineAt) {
  if (changes.length === 0) return null;
  const first = Math.min(...changes.map((c) => c.range.start.line));
  const last = Math.max(...changes.map((c) => c.range.end.line));
  // Each change adds the line breaks of its text and takes away those of its range.
  const added = changes.reduce((sum, c) => sum + c.text.split('\n').length - 1 -
    (c.range.end.line - c.range.start.line), 0);
  const count = last - first + 1;
  const lines = Array.from({ length: count + added }, (_, i) => lineAt(first + i));
  return { first: first + 1, count, lines };
}

// Whether a launch's `program` ("utf8::name" and the other decodings included), taken from
// `folder`, names the file at `file`.
function names(program, folder, file) {
  const separator = program.indexOf('::');
  return path.resolve(folder, separator < 0 ? program : program.slice(separator + 2)) === file;
}

module.exports = { touchedlines, names };
