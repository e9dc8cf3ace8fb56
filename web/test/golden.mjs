// The golden cases of tests/golden, one file each, read as tests/program/golden_test.cpp reads
// them: a header of "key: value" lines (args or shell, stdin (one line feed unless given), stdout,
// stderr, status; values with the escapes \r, \n, \\ and \xHH), a line "----", then the
// program's exact bytes.
import fs from 'node:fs';
import path from 'node:path';

const unescape = (value) =>
  Buffer.from(value.replace(/\\(x[0-9a-fA-F]{2}|.)/g, (_, c) =>
    c[0] === 'x' ? String.fromCharCode(parseInt(c.slice(1), 16)) : c === 'r' ? '\r' : c === 'n' ? '\n' : c), 'latin1');

export function readgolden(file) {
  const text = fs.readFileSync(file).toString('latin1');
  const split = text.indexOf('\n----\n');
  const header = {};
  for (const line of text.slice(0, split).split('\n')) {
    const colon = line.indexOf(':');
    if (colon >= 0) header[line.slice(0, colon)] = line.slice(colon + (line[colon + 1] === ' ' ? 2 : 1));
  }
  return {
    name: path.basename(file, '.golden'),
    args: header.args ?? '--delay=0 @file',
    shell: header.shell, // a command line of its own, which the page has no part in
    stdin: unescape(header.stdin ?? '\\n'),
    stdout: unescape(header.stdout ?? ''),
    stderr: header.stderr === undefined ? undefined : unescape(header.stderr),
    status: Number(header.status),
    program: Buffer.from(text.slice(split + 6), 'latin1'),
  };
}

export function goldencases(root) {
  const dir = path.join(root, 'tests/golden');
  return fs.readdirSync(dir).filter((f) => f.endsWith('.golden')).sort()
    .map((f) => readgolden(path.join(dir, f)));
}
