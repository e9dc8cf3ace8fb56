#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# As root it uses apt-get; otherwise it prints the exact command and fails.
set -euo pipefail
# xvfb, xdotool and x11-apps (xwd) run the real-window tests; xfonts-base gives Xvfb the core
# fonts the fault box draws its text with. libpng-dev and libgif-dev write frames as PNG files
# and as an animated GIF; nlohmann-json3-dev reads the trace back in its test. clang-14 and
# libclang-rt-14-dev (libFuzzer) build the fuzzers.
# clang-format keeps the sources in one layout; the test command checks it.
# help2man makes the man page from --help at build time; man-db renders it in the install test.
# dpkg-dev gives `make deb` dpkg-shlibdeps (the package's dependencies) and dpkg-buildflags;
# file is how CPack finds the binaries to hand to dpkg-shlibdeps.
# lintian checks the package in the install test (which skips it with a message when missing).
#
# nlohmann-json3-dev parses and writes the debug adapter's JSON.
#
# `deps.sh web` asks only for what the browser build needs (emscripten, whose em++ runs on
# node), `deps.sh web-test` adds chromium for the browser test and npm for playwright-core and pngjs;
# `deps.sh dap` gives node and npm for the adapter's tests and the editor extension.
case "${1:-}" in
web) packages=(cmake make emscripten) ;;
web-test)
  packages=(cmake make emscripten chromium)
  # Node from elsewhere may bring its own npm, which Debian's npm package would clash with.
  command -v npm >/dev/null || packages+=(npm)
  ;;
dap)
  packages=(nodejs)
  command -v npm >/dev/null || packages+=(npm)
  ;;
*)
  packages=(g++ cmake make pkg-config clang-format libgtest-dev libbenchmark-dev libsdl2-dev xvfb xdotool
    x11-apps xfonts-base libpng-dev libgif-dev nlohmann-json3-dev clang-14 libclang-rt-14-dev help2man
    man-db dpkg-dev file lintian)
  ;;
esac
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "tarvex needs these Debian packages; install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
