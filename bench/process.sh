#!/usr/bin/env bash
# Whole-process throughput of `tarvex`: the processor time (user and system) of a run of T1
# ticks and of T2 ticks, differenced and divided by the tick difference, so start-up and
# loading cancel out. Processor time for the runs on one thread, since waiting for a core
# shared with other work would count otherwise; wall time for the runs on several, whose
# point is to take less of it. Each figure differences the best of REPEAT (default 3) runs of
# each length, since other work on the machine only ever adds time.
# Usage: bench/process.sh [TARVEX]   (default build/tarvex); ONLY=TEXT runs the rows whose name
# holds TEXT; OLDER=BINARY runs the circling row with an older tarvex too, turn about with this
# one, so both meet the same load.
set -euo pipefail
tarvex=${1:-build/tarvex}
repeat=${REPEAT:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two pointers circling for ever on four fixed mirrors.
printf 'o%%O\nO o\n' > "$work/circle.txt"
# 3 by 3 tiles of the same circle with a row of x under each, 100 tiles across: two pointers a
# tile, so 50,000 tiles keep 100,000 pointers alive (and 5,000 keep 10,000).
python3 - "$work" <<'PY'
import random, sys
def tiles(name, across, down, tail=""):
    with open(f"{sys.argv[1]}/{name}", "w") as f:
        for _ in range(down):
            f.write("o%O" * across + "\n" + "O o" * across + "\n" + "xxx" * across + "\n")
        f.write(tail)
tiles("tiles.txt", 100, 500)
tiles("tiles10k.txt", 100, 50)
tiles("tiles1m.txt", 1000, 500)
# The 100,000-pointer tiles with one far character widening the bounding box: to 4,000 columns
# (6 million cells), and to a 10,000 by 10,000 box whose content stays sparse.
tiles("wide.txt", 100, 500, " " * 3999 + "x\n")
tiles("huge.txt", 100, 500, "\n" * (10000 - 1501) + " " * 9999 + "x\n")
# The random box: "Z" walls above and below, "I" walls left and right, inside mirrors (fixed
# and flipping), arithmetic and blanks at random, and a "%" in 25,000 random cells: 100,000
# pointers at the start, in an order unrelated to where they soon stand.
rng = random.Random(2024)
width, height = 632, 316
inside = "oO/\\\\/+-~*'t=     "
cells = [[rng.choice(inside) for _ in range(width)] for _ in range(height)]
for at in rng.sample(range(width * height), 25000):
    cells[at // width][at % width] = "%"
with open(f"{sys.argv[1]}/box.txt", "w") as f:
    wall = "I" + "Z" * width + "I\n"
    f.write(wall + "".join("I" + "".join(row) + "I\n" for row in cells) + wall)
PY

run() { # "seconds steps" of one run of program $1 for $2 ticks, with options $3, by binary $4
  python3 -c "
import json, resource, subprocess, time
start = time.perf_counter()
done = subprocess.run(['$4', *'$3'.split(), '--stats=json', '--ticks', '$2', '$1'],
                      stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
wall = time.perf_counter() - start
used = resource.getrusage(resource.RUSAGE_CHILDREN)
print(wall if '--threads 1' not in '$3' and '--threads' in '$3' else used.ru_utime + used.ru_stime,
      json.loads(done.stderr.strip().splitlines()[-1])['steps'])"
}

measure() { # name program t1 t2 [options] [binary]
  local options=${5:---batch} binary=${6:-$tarvex} runs=""
  [[ $1 == *"${ONLY:-}"* ]] || return 0
  for _ in $(seq "$repeat"); do
    runs+="$(run "$2" "$3" "$options" "$binary") $(run "$2" "$4" "$options" "$binary");"
  done
  # The best of the short runs and the best of the long ones, differenced: the best of the
  # differences would take a short run that other work slowed, and once gave a negative tick.
  python3 -c "
runs = [r.split() for r in '$runs'.strip(';').split(';')]
a, b = min(float(r[0]) for r in runs), min(float(r[2]) for r in runs)
d, steps, ticks = b - a, int(runs[0][3]) - int(runs[0][1]), $4 - $3
print(f'$1: {d / ticks * 1e3:.4f} ms per tick at {steps / ticks:,.0f} pointers, '
      f'{steps / d / 1e6:.1f} million steps per second')"
}

measure "one circle" "$work/circle.txt" 1000000 11000000
if [[ -n ${OLDER:-} ]]; then
  measure "one circle, $OLDER" "$work/circle.txt" 1000000 11000000 --batch "$OLDER"
  measure "one circle" "$work/circle.txt" 1000000 11000000
  measure "one circle, $OLDER" "$work/circle.txt" 1000000 11000000 --batch "$OLDER"
fi
measure "tiles, 10,000 pointers" "$work/tiles10k.txt" 200 2200
measure "tiles, 100,000 pointers" "$work/tiles.txt" 20 220
measure "tiles, 100,000 pointers, 1 thread" "$work/tiles.txt" 20 220 "--batch --threads 1"
measure "tiles, 100,000 pointers, 2 threads, wall time" "$work/tiles.txt" 20 220 "--batch --threads 2"
measure "tiles, 100,000 pointers, headless with frames" "$work/tiles.txt" 20 220 \
  "--headless --delay 0 --no-prompt"
measure "tiles, 100,000 pointers, box of 6 million cells" "$work/wide.txt" 20 220
measure "tiles, 100,000 pointers, box of 10^8 cells" "$work/huge.txt" 20 220
measure "tiles, 1,000,000 pointers, 1 thread" "$work/tiles1m.txt" 5 45 "--batch --threads 1"
measure "tiles, 1,000,000 pointers, 2 threads, wall time" "$work/tiles1m.txt" 5 45 "--batch --threads 2"
measure "random box, 100,000 pointers at the start" "$work/box.txt" 20 120
