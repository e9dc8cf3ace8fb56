#!/usr/bin/env bash
# Whole-process throughput of `tarvex --batch`: the wall time of a run of T1 ticks and of T2
# ticks, differenced and divided by the tick difference, so start-up and loading cancel out.
# Usage: bench/process.sh [TARVEX]   (default build/tarvex)
set -euo pipefail
tarvex=${1:-build/tarvex}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two pointers circling for ever on four fixed mirrors.
printf 'o%%O\nO o\n' > "$work/circle.txt"
# 3 by 3 tiles of the same circle with a row of x under each, 100 tiles across: two pointers a
# tile, so 50,000 tiles keep 100,000 pointers alive.
python3 - "$work/tiles.txt" <<'PY'
import sys
across, down = 100, 500
with open(sys.argv[1], "w") as f:
    for _ in range(down):
        f.write("o%O" * across + "\n" + "O o" * across + "\n" + "xxx" * across + "\n")
PY

seconds() { # wall seconds of one run of $2 ticks of program $1
  python3 -c "
import subprocess, sys, time
start = time.monotonic()
subprocess.run(['$tarvex', '--batch', '--ticks', '$2', '$1'], stdout=subprocess.DEVNULL,
               stderr=subprocess.DEVNULL)
print(time.monotonic() - start)"
}

measure() { # name program pointers t1 t2
  local a b
  a=$(seconds "$2" "$4")
  b=$(seconds "$2" "$5")
  python3 -c "
d = ($b) - ($a); ticks = $5 - $4
print(f'$1: {d / ticks * 1e3:.4f} ms per tick, {$3 * ticks / d / 1e6:.1f} million steps per second')"
}

measure "one circle, 2 pointers" "$work/circle.txt" 2 1000000 11000000
measure "tiles, 100,000 pointers" "$work/tiles.txt" 100000 20 220
