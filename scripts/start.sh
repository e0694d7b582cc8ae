#!/usr/bin/env bash
# Installs what is missing, builds, and starts Pomvex.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc)" --target pomvex
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "pomvex: no display found (DISPLAY is not set); to run headless use: xvfb-run -a build/pomvex" >&2
  exit 1
fi
exec build/pomvex "$@"
