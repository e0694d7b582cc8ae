#!/usr/bin/env python3
"""Quick guard of the download fast path (not a timing test; the benchmark is bench/run.py).

Runs the benchmark driver (the real Qt host offscreen, CPomvexDlg, the real curl reader and the
progress window) on a 64 MiB file served by tests/servers/http_server.py on 127.0.0.1, and
checks what must hold whatever the machine's speed:
  - the download completes (ok=1) and the saved file is byte-identical to the source;
  - peak memory stays under 64 MiB (nothing is held per byte of the file);
  - the event loop was served between blocks all along: the driver's 5 ms probe timer fired at
    least once per 50 ms of copying on average and never waited half a second;
  - the status line on screen changed while the copy ran and never stood still for 0.5 s.
Then a second download is cancelled through the progress window's button while data is
flowing: the item must end as cancelled, promptly, leaving a prefix of the source on disk.

Usage: download_guard.py DRIVER HTTP_SERVER_PY
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

SIZE = 64 << 20
LIMIT_KB = 64 * 1024


def fail(msg):
    print("FAIL:", msg)
    sys.exit(1)


def figures(line):
    return {k: int(v) if v.lstrip("-").isdigit() else float(v)
            for k, v in (kv.split("=", 1) for kv in line.split())}


def run(driver, url, save, env, *extra):
    r = subprocess.run([driver, url, save + "/", *extra], env=env, capture_output=True, text=True,
                       timeout=120)
    lines = [l for l in r.stdout.splitlines() if l.startswith("ok=")]
    if not lines:
        fail(f"driver printed no figures (exit {r.returncode}):\n{r.stdout}\n{r.stderr}")
    print(lines[-1])
    f = figures(lines[-1])
    if r.returncode != 0 or f["ok"] != 1:
        fail(f"the download did not end as expected (exit {r.returncode}):\n{r.stderr}")
    return f


def sha(path, limit=None):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        left = limit
        while left is None or left > 0:
            chunk = f.read(1 << 20 if left is None else min(1 << 20, left))
            if not chunk:
                break
            h.update(chunk)
            if left is not None:
                left -= len(chunk)
    return h.hexdigest()


def main():
    driver, server_py = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="pomvex-perf-")
    root, save = os.path.join(work, "root"), os.path.join(work, "save")
    os.makedirs(root)
    os.makedirs(save)
    # Written in pieces and hashed on the way, so this process stays small: the driver's peak
    # RSS must not inherit ours.
    source = os.path.join(root, "big.bin")
    h = hashlib.sha256()
    with open(source, "wb") as f:
        piece = os.urandom(1 << 20)
        for i in range(SIZE >> 20):
            block = bytes([i & 0xFF]) + piece[1:]
            f.write(block)
            h.update(block)
    want = h.hexdigest()

    server = subprocess.Popen([sys.executable, server_py, root], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE, text=True)
    try:
        port = int(server.stdout.readline())
        url = f"http://127.0.0.1:{port}/files/big.bin"
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", POMVEX_HOME=work)
        for k in ("http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"):
            env.pop(k, None)

        f = run(driver, url, save, env)
        target = os.path.join(save, "big.bin")
        if f["bytes"] != SIZE or os.path.getsize(target) != SIZE:
            fail(f"{f['bytes']} bytes saved, {SIZE} expected")
        if sha(target) != want:
            fail("the saved file differs from the source")
        if f["maxrss_kb"] >= LIMIT_KB:
            fail(f"peak memory {f['maxrss_kb']} KiB, limit {LIMIT_KB} KiB")
        copy_ms = f["wall_s"] * 1000
        if f["pumps_served"] < max(1, copy_ms / 50):
            fail(f"event loop served {f['pumps_served']} times in {copy_ms:.0f} ms")
        if f["max_gap_ms"] >= 500:
            fail(f"the event loop went {f['max_gap_ms']} ms without service")
        if copy_ms >= 200 and f["status_changes"] < 2:
            fail(f"the status line changed {f['status_changes']} times in {copy_ms:.0f} ms")
        if f["max_status_gap_ms"] >= 500:
            fail(f"the status line stood still for {f['max_status_gap_ms']} ms")
        os.remove(target)

        # Cancel while the data flows. The click comes once the progress window shows; the
        # copy must notice it between two blocks.
        f = run(driver, url, save, env, "--cancel-after-ms", "0")
        kept = os.path.getsize(target)
        if not 0 < kept < SIZE:
            fail(f"cancel kept {kept} bytes of {SIZE}")
        if sha(target) != sha(source, kept):
            fail("the partial file is not a prefix of the source")
        if not 0 <= f["cancel_ms"] < 500:
            fail(f"cancel took {f['cancel_ms']} ms to end the copy")
        if f["maxrss_kb"] >= LIMIT_KB:
            fail(f"peak memory {f['maxrss_kb']} KiB while cancelling")
    finally:
        server.stdin.close()
        server.wait(10)
        shutil.rmtree(work, ignore_errors=True)
    print("ok")


if __name__ == "__main__":
    main()
