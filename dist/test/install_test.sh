#!/usr/bin/env bash
# The installation as `make install` and `make deb` make it, from this very build: the files it
# lays out, the package's contents, dependencies and lint, the installed program run from a
# directory of its own, the man page and the shell completion.
# Usage: install_test.sh BUILD_DIR CMAKE CPACK [sanitized]
set -uo pipefail
build=$1 cmake=$2 cpack=$3 sanitized=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# expect WHAT GOT WANTED
expect() { [[ $2 == "$3" ]] || fail "$1"$'\n'"  got:    ${2@Q}"$'\n'"  wanted: ${3@Q}"; }

layout='usr/bin/tarvex
usr/share/bash-completion/completions/tarvex
usr/share/doc/tarvex/README.md
usr/share/doc/tarvex/changelog.gz
usr/share/doc/tarvex/copyright
usr/share/man/man1/tarvex.1.gz
usr/share/tarvex/code.txt
usr/share/tarvex/countdown.txt
usr/share/tarvex/curses.bit
usr/share/tarvex/hello.txt
usr/share/tarvex/sum.txt'

installed=$work/installed
DESTDIR=$installed "$cmake" --install "$build" --prefix /usr >/dev/null || { fail "cmake --install"; exit 1; }
expect "the installed files" "$(cd "$installed" && find . -type f | sed 's|^\./||' | sort)" "$layout"
# The copyright file's MIT paragraph (the one that stands alone) is the text of LICENSE.
mit=$(awk 'on { sub(/^ \.?/, ""); print } !last && /^License: MIT$/ { on = 1 } { last = length }' \
  "$installed/usr/share/doc/tarvex/copyright")
expect "the MIT text in copyright" "$mit" "$(tail -n +5 "$(dirname "$0")/../../LICENSE")"
roots=("$installed")

if [[ $sanitized ]]; then
  echo "The package is made and linted only in the plain build."
else
  "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null || { fail cpack; exit 1; }
  version=$("$installed/usr/bin/tarvex" --version) version=${version#tarvex }
  deb=$work/deb/tarvex_${version}_$(dpkg --print-architecture).deb
  expect "the package's files" "$(dpkg-deb --contents "$deb" | sed -n 's|^-.* \./||p' | sort)" "$layout"
  # The dependencies come from the libraries the binary links (dpkg-shlibdeps).
  depends=$(dpkg-deb --field "$deb" Depends)
  for library in libc6 libsdl2-2.0-0 libpng16-16 libgif7; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
  done
  dpkg -x "$deb" "$work/unpacked" && roots+=("$work/unpacked")
  if command -v lintian >/dev/null; then
    report=$(lintian --fail-on error "$deb") || fail "lintian: $report"
    echo "lintian: ${report:-nothing to report}"
  else
    echo "lintian is not installed; the package is not linted."
  fi
fi

# From a directory of its own: the demo, a data file by its path, a named program held where we
# stand, beside the program and in share/ (found in that order as each copy goes), a default
# program put beside the program (found before share/), and no font.
elsewhere=$work/elsewhere
mkdir "$elsewhere"
ran() { printf 'Executing program..\r\n\r\n%s\r\n\r\nExecution complete.\r\n' "$1"; }
for root in "${roots[@]}"; do
  tarvex=$root/usr/bin/tarvex share=$root/usr/share/tarvex
  cd "$elsewhere"
  expect "$root: the demo" "$("$tarvex" --batch 2>&1)" "$(ran $'Many pointers at once:\r\n21534625')"
  expect "$root: hello" "$("$tarvex" --batch "$share/hello.txt" 2>&1)" "$(ran $'Hello, world!\r\n')"
  places=("$elsewhere" "$root/usr/bin" "$share")
  for i in 0 1 2; do printf '%%%s.@' "$(printf '+%.0s' $(seq 0 $i))" >"${places[i]}/mine"; done
  for i in 0 1 2; do
    expect "$root: mine from ${places[i]}" "$("$tarvex" --batch mine 2>&1)" "$(ran $((i + 1)))"
    rm "${places[i]}/mine"
  done
  printf '%%++.@' >"$root/usr/bin/code.txt"
  expect "$root: beside" "$("$tarvex" --batch 2>&1)" "$(ran 2)"
  rm "$root/usr/bin/code.txt"
  mv "$share/curses.bit" "$work/font"
  out=$("$tarvex" --batch 2>"$work/err")
  expect "$root: no font, status" "$?" 1
  expect "$root: no font, output" "$out" ""
  expect "$root: no font" "$(<"$work/err")" "tarvex: cannot open the font file curses.bit"
  mv "$work/font" "$share/curses.bit"
done

# The man page renders cleanly and names every option --help lists; completion offers each.
options=$("$installed/usr/bin/tarvex" --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p' | grep -vx -- --)
(($(wc -l <<<"$options") > 15)) || fail "too few options in --help: $options"
man=$(LC_ALL=C MANWIDTH=80 man --warnings -l "$installed/usr/share/man/man1/tarvex.1.gz" 2>"$work/err")
expect "man's status" "$?" 0
expect "man's warnings" "$(<"$work/err")" ""

mkdir "$work/listing" "$work/listing/d1" && touch "$work/listing/d2.txt"
cd "$work/listing"
offered() {
  bash -c 'source "$1"; shift; COMP_WORDS=(tarvex "$@"); COMP_CWORD=$#; _tarvex
           printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "' \
    bash "$installed/usr/share/bash-completion/completions/tarvex" "$@"
}
# The words of the line being completed, the last one under the cursor, and what is offered.
while IFS="|" read -r words wanted; do
  eval "set -- $words"
  expect "completing $words" "$(offered "$@")" "$wanted"
done <<'EOF'
--he|--headless --help
--scale ''|1 2 3 4
--scale = ''|1 2 3 4
--stats = ''|json
--frames ''|d1
--gif ''|d1 d2.txt
--delay ''|
d|d1 d2.txt
-- --he|
EOF
for option in $options; do
  [[ $man == *"$option"* ]] || fail "the man page lacks $option"
  [[ " $(offered "$option") " == *" $option "* ]] || fail "completion lacks $option"
done

((failures == 0)) && echo "install: all passed"
exit $((failures > 0))
