#!/usr/bin/env bash
# Takes the screenshots under docs/ : starts the program on a private X server (xvfb-run) with
# a throw-away program folder and grabs its window with ImageMagick's `import`.
# Usage: scripts/screenshots.sh [build-dir]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -x "$build/pomvex" ]; then
  cmake -S . -B "$build" > /dev/null
  cmake --build "$build" -j2 --target pomvex
fi
mkdir -p docs
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

# One shot of the window whose title is $1 after the program has run $2 seconds.
# Runs inside the X server started by xvfb-run (see below).
shoot() {
  local title=$1 wait=$2 out=$3
  POMVEX_HOME="$home" "$build/pomvex" &
  local pid=$!
  sleep "$wait"
  local id
  id=$(xdotool search --sync --name "^${title}\$" | head -n1)
  import -window "$id" "$out"
  kill "$pid"
  wait "$pid" 2> /dev/null || true
  echo "wrote $out"
}

if [ -z "${POMVEX_IN_XVFB:-}" ]; then
  exec env POMVEX_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build"
fi
shoot "Pomvex" 2 docs/main-window.png
