#!/usr/bin/env bash
# Takes the screenshots under docs/ : starts the program on a private X server (xvfb-run) with
# a throw-away program folder, drives it with xdotool and grabs its windows with ImageMagick's
# `import`. The progress window is shot during a real download from a slow local server on
# 127.0.0.1 (about 15 KB/s, so the rate bar stands inside its 0..20K scale).
# Usage: scripts/screenshots.sh [build-dir]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -x "$build/pomvex" ]; then
  cmake -S . -B "$build" > /dev/null
  cmake --build "$build" -j2 --target pomvex
fi

if [ -z "${POMVEX_IN_XVFB:-}" ]; then
  exec env POMVEX_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build"
fi

mkdir -p docs
work=$(mktemp -d)
server_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2> /dev/null
  [ -n "$server_pid" ] && kill "$server_pid" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The slow server: /slow.bin is 1 MiB sent in 2 KiB pieces every 0.13 s.
python3 - "$work/port" << 'PY' &
import http.server, sys, time
class Slow(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        size = 1 << 20
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        try:
            for _ in range(size // 2048):
                self.wfile.write(b"\x5a" * 2048)
                self.wfile.flush()
                time.sleep(0.13)
        except OSError:
            pass
    def log_message(self, *args):
        pass
httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Slow)
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(str(httpd.server_address[1]))
import os; os.rename(sys.argv[1] + ".tmp", sys.argv[1])
httpd.serve_forever()
PY
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")

main=""
start_app() {
  POMVEX_HOME="$work" "$build/pomvex" &
  app_pid=$!
  main=$(xdotool search --sync --onlyvisible --pid "$app_pid" --name '^Pomvex$' | head -n1)
  xdotool windowfocus --sync "$main"
  sleep 1.5 # the first tick fills the clock and the state line
}
stop_app() {
  kill "$app_pid"
  wait "$app_pid" 2> /dev/null || true
  app_pid=""
}
# The first visible window of the program other than the main window.
other_window() {
  for _ in $(seq 50); do
    for w in $(xdotool search --onlyvisible --pid "$app_pid" 2> /dev/null); do
      if [ "$w" != "$main" ]; then
        echo "$w"
        return 0
      fi
    done
    sleep 0.1
  done
  echo "no second window appeared" >&2
  return 1
}
shoot() { # window-id file
  import -window "$1" "$2"
  echo "wrote $2"
}

start_app
shoot "$main" docs/main-window.png

# ツール > 連番編集 through the keyboard (F10 opens the first menu).
xdotool key --delay 80 F10 Right Down Return
dialog=$(other_window)
sleep 0.5
shoot "$dialog" docs/serial-dialog.png
xdotool key Escape
sleep 0.5
xdotool windowfocus --sync "$main" # no window manager hands the focus back

# ヘルプ > Pomvexについて
xdotool key --delay 80 F10 Right Right Return
dialog=$(other_window)
sleep 0.5
shoot "$dialog" docs/about-box.png
xdotool key Escape
sleep 0.5
xdotool windowfocus --sync "$main" # no window manager hands the focus back
stop_app

# A download: the progress window stands over the main window's top left corner, so the shot
# is the screen area of the main window.
start_app
xdotool key ctrl+a Delete
xdotool type --delay 10 "http://127.0.0.1:$port/slow.bin"
xdotool key Tab space
other_window > /dev/null
sleep 5 # a rate sample every 3 s
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage docs/progress-window.png
echo "wrote docs/progress-window.png"
stop_app
