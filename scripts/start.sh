#!/usr/bin/env bash
# Installs what is missing, builds, and starts Pomvex. The build folder is build/, the README's
# install build (Release, no tests, warnings not errors); scripts/test.sh builds in folders of its
# own, so neither rebuilds the other's. Every option is given, so that nothing an earlier
# configure left in build/'s cache (warnings as errors, say) stays.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPOMVEX_BUILD_TESTS=OFF -DPOMVEX_WERROR=OFF \
  -DPOMVEX_SANITIZE=OFF -DPOMVEX_FUZZ=OFF > /dev/null
cmake --build build -j"$(nproc)" --target pomvex
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "pomvex: no display found (DISPLAY is not set); to run headless use: xvfb-run -a build/pomvex" >&2
  exit 1
fi
exec build/pomvex "$@"
