#!/usr/bin/env bash
# Started where it cannot show a window, the program says why in one line and exits non-zero,
# before Qt's platform plugin aborts. Usage: no_display_test.sh PATH-TO-POMVEX
set -u
pomvex=$1
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
failures=0
# name | environment beside POMVEX_HOME
while IFS='|' read -r name env; do
    err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM POMVEX_HOME="$home" $env \
        timeout 20 "$pomvex" 2>&1 >/dev/null)
    rc=$?
    lines=$(printf '%s\n' "$err" | grep -c .)
    if [ $rc -eq 0 ] || [ $rc -ge 124 ] || [ "$lines" -ne 1 ] || [[ $err != *"xvfb-run"* ]] ||
        [[ $err != *"画面に接続できない"* ]]; then
        echo "FAIL: $name: exit $rc, stderr: $err"
        echo "  expected: a non-zero exit below 124 and one line naming the reason and xvfb-run"
        failures=$((failures + 1))
    fi
done <<'ROWS'
no display at all|
an X display nobody serves|DISPLAY=:987
a Wayland socket that is not there|WAYLAND_DISPLAY=wayland-987 XDG_RUNTIME_DIR=/tmp
xcb asked for explicitly|QT_QPA_PLATFORM=xcb
ROWS
[ -z "$(ls -A "$home")" ] || { echo "FAIL: files written to the program folder"; failures=$((failures + 1)); }
echo "no_display: $failures failed"
[ $failures -eq 0 ]
