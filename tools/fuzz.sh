#!/usr/bin/env bash
# Runs every libFuzzer harness of a fuzz build for a set time each, on a corpus kept in the
# build folder and seeded from the examples and the golden programs. Fails on any finding;
# the input that found it is left in the harness's folder as crash-*, leak-* or timeout-*.
# Usage: tools/fuzz.sh BUILD SECONDS
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds/source" "$seeds/oracle" "$seeds/streams" "$seeds/font" "$seeds/dap"
i=0
for file in "$root"/examples/*.txt "$root"/tests/golden/*.golden; do
  i=$((i + 1))
  # A golden case's program is what follows its "----" line.
  case $file in
  *.golden) sed '1,/^----$/d' "$file" > "$seeds/program" ;;
  *) cp "$file" "$seeds/program" ;;
  esac
  # The source harness reads its first byte as the share of the rest that is the program.
  { printf '\377'; cat "$seeds/program"; } > "$seeds/source/$i"
  cp "$seeds/program" "$seeds/oracle/$i"
  cp "$seeds/program" "$seeds/streams/$i"
done
rm "$seeds/program"
cp "$root/display/curses.bit" "$seeds/font/shipped"
# The debug adapter's seed: a session that launches, breaks, steps both ways and inspects.
frame() { printf 'Content-Length: %d\r\n\r\n%s' "${#1}" "$1"; }
n=0
for request in '"initialize","arguments":{"linesStartAt1":true}' \
  '"launch","arguments":{"program":"p.tvx","stopOnEntry":true}' \
  '"setBreakpoints","arguments":{"source":{"path":"p.tvx"},"breakpoints":[{"line":1,"column":8,"condition":"register 0 == 3","hitCondition":">= 1"},{"line":2}]}' \
  '"configurationDone"' '"threads"' '"stepIn","arguments":{"threadId":1}' \
  '"stepOut","arguments":{"threadId":1}' '"next","arguments":{"threadId":1}' \
  '"stackTrace","arguments":{"threadId":4}' '"scopes","arguments":{"frameId":4}' \
  '"variables","arguments":{"variablesReference":1}' \
  '"evaluate","arguments":{"expression":"cell 1,0","context":"hover"}' \
  '"stepBack","arguments":{"threadId":1}' '"continue","arguments":{"threadId":1}' \
  '"reverseContinue","arguments":{"threadId":1}' '"restart"' '"disconnect"'; do
  n=$((n + 1))
  frame "{\"seq\":$n,\"type\":\"request\",\"command\":$request}"
done > "$seeds/dap/session"

passed=0
failed=0
for harness in "$build"/fuzz/*_fuzz; do
  name=$(basename "$harness" _fuzz)
  corpus=$build/corpus/$name
  mkdir -p "$corpus"
  echo "fuzz: $name for ${seconds} s"
  status=0
  (cd "$build/fuzz" && "$harness" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
    -rss_limit_mb=4096 "$corpus" "$seeds/$name") > "$build/fuzz/$name.log" 2>&1 || status=$?
  grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec|ERROR|SUMMARY' \
    "$build/fuzz/$name.log" || true
  if [ "$status" -ne 0 ]; then
    failed=$((failed + 1))
    echo "fuzz: $name found a fault (status $status); see $build/fuzz/$name.log"
    tail -n 40 "$build/fuzz/$name.log"
  else
    passed=$((passed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
