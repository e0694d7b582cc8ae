#!/usr/bin/env python3
"""Throughput benchmark: the program's download path against `curl -s -o` and `cp`, side by side.

Starts nginx (Debian nginx-light; sendfile on) on 127.0.0.1 with its own config in a temporary
folder, creates the test files, and times, in turn, `curl -s -o FILE`, the driver that runs the
real program code (Qt host offscreen, CPomvexDlg, LoadJobTable, the tick that runs the download
with its progress window) and `cp` of the same file from the page cache. Prints, per size, the
medians of wall time, CPU time and peak memory of each, and the median of the per-round ratios
of the driver to curl; a 2 KiB row shows the fixed start-up cost of each process (for the
driver: QApplication, fonts, the main window).

Whole processes are not what a user watches: a second table sets the copy phase alone (the
driver's copy_s, from the progress window's appearance to the end of the download) against the
`cp`, the curl and the bare TCP client (bench/bare_client.c: recv into one buffer, write it;
its own clock from the first body byte to the last write) of the same round, as medians of the
per-round ratios. The bare client is the yardstick: the least any download over TCP costs.

Wall time is taken around the child process, CPU time (user + system) from its rusage (wait4),
peak RSS from /usr/bin/time. Before every timed run the page cache is synced, so that writeback of the
previous run's file does not land in the next one. The order of the three rotates every round.

Usage: bench/run.py BUILD_DIR [--sizes 256,1024] [--pairs 5]   (--pairs: rounds per size)
"""
import argparse
import datetime
import filecmp
import os
import platform
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

STARTUP_BYTES = 2048


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def timed(cmd, env, work):
    """Runs cmd; returns (wall s, cpu s, peak RSS MiB, stdout).

    The command runs under /usr/bin/time, which only reports the peak RSS: a child started
    straight from Python (vfork + exec) would inherit this interpreter's high-water mark in its
    own ru_maxrss. CPU time (user + system) comes from wait4 on the time process, which
    includes its waited-for child; time itself costs about a millisecond.
    """
    rss_file, out_file, err_file = (os.path.join(work, n) for n in ("rss", "stdout", "stderr"))
    os.sync()
    with open(out_file, "wb") as out, open(err_file, "wb") as err:
        t0 = time.perf_counter()
        p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss_file, *cmd], env=env,
                             stdout=out, stderr=err)
        _, status, ru = os.wait4(p.pid, 0)
        wall = time.perf_counter() - t0
    p.returncode = os.waitstatus_to_exitcode(status)
    with open(out_file, errors="replace") as f:
        stdout = f.read()
    if p.returncode != 0:
        with open(err_file, errors="replace") as f:
            raise RuntimeError(f"{cmd[0]} failed ({p.returncode}): {stdout}\n{f.read()}")
    with open(rss_file) as f:
        rss_kb = int(f.read().split()[-1])
    return wall, ru.ru_utime + ru.ru_stime, rss_kb / 1024.0, stdout


def figures(stdout):
    """The driver's key=value figures."""
    line = [l for l in stdout.splitlines() if l.startswith("ok=")][-1:]
    return {k: float(v) if "." in v else int(v)
            for k, v in (kv.split("=", 1) for kv in (line[0].split() if line else []))}


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def start_nginx(work, www):
    nginx = shutil.which("nginx") or "/usr/sbin/nginx"
    if not os.path.exists(nginx):
        sys.exit("nginx not found: apt-get install nginx-light")
    port = free_port()
    conf = os.path.join(work, "nginx.conf")
    os.makedirs(os.path.join(work, "tmp"))
    with open(conf, "w") as f:
        f.write(f"""worker_processes 1;
daemon off;
pid {work}/nginx.pid;
error_log {work}/error.log;
events {{ worker_connections 64; }}
http {{
  access_log off;
  sendfile on;
  tcp_nopush on;
  client_body_temp_path {work}/tmp;
  proxy_temp_path {work}/tmp;
  fastcgi_temp_path {work}/tmp;
  uwsgi_temp_path {work}/tmp;
  scgi_temp_path {work}/tmp;
  types {{ application/octet-stream bin; }}
  server {{ listen 127.0.0.1:{port}; root {www}; }}
}}
""")
    log = open(os.path.join(work, "nginx.out"), "w")
    server = subprocess.Popen([nginx, "-c", conf, "-p", work + "/"], stdout=log, stderr=log)
    deadline = time.monotonic() + 10
    while True:
        if server.poll() is not None:
            with open(os.path.join(work, "nginx.out")) as f1, open(os.path.join(work, "error.log")) as f2:
                sys.exit(f"nginx did not start:\n{f1.read()}{f2.read()}")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return server, port
        except OSError:
            if time.monotonic() > deadline:
                server.terminate()
                sys.exit("nginx did not listen within 10 s")
            time.sleep(0.05)


def write_file(path, size):
    # Random bytes written once; the page cache serves every later pass.
    block = os.urandom(1 << 20)
    with open(path, "wb") as f:
        left = size
        while left > 0:
            f.write(block[:min(left, len(block))])
            left -= len(block)


def fmt_row(label, tool, runs, ratios=("", "")):
    med = [statistics.median(r[i] for r in runs) for i in range(3)]
    return (f"| {label} | {tool} | {med[0]:.3f} | {med[1]:.3f} | {med[2]:.1f} | "
            f"{ratios[0]} | {ratios[1]} |")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--sizes", default="256,1024", help="file sizes in MiB")
    ap.add_argument("--pairs", type=int, default=5)
    args = ap.parse_args()
    driver = os.path.join(os.path.abspath(args.build), "bench", "pomvex_bench_driver")
    if not os.access(driver, os.X_OK):
        sys.exit(f"no driver at {driver}: cmake --build {args.build} --target pomvex_bench_driver")
    bare = os.path.join(os.path.abspath(args.build), "bench", "pomvex_bench_bare")
    if not os.access(bare, os.X_OK):
        sys.exit(f"no bare client at {bare}: cmake --build {args.build} --target pomvex_bench_bare")
    curl = shutil.which("curl") or sys.exit("curl not found")
    cp = shutil.which("cp") or sys.exit("cp not found")
    if not os.access("/usr/bin/time", os.X_OK):
        sys.exit("/usr/bin/time not found: apt-get install time")

    work = tempfile.mkdtemp(prefix="pomvex-bench-")
    www, out = os.path.join(work, "www"), os.path.join(work, "out")
    os.makedirs(www)
    os.makedirs(out)
    os.chmod(work, 0o755)  # nginx workers may run as an unprivileged user
    os.chmod(www, 0o755)
    server, port = start_nginx(work, www)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", POMVEX_HOME=work)
    for k in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
        env.pop(k, None)
    try:
        cases = [("start-up (2 KiB)", STARTUP_BYTES)]
        cases += [(f"{int(s)} MiB", int(s) << 20) for s in args.sizes.split(",")]
        nproc = subprocess.run(["nproc"], capture_output=True, text=True).stdout.strip()
        print(f"# Pomvex download benchmark, {datetime.datetime.now().isoformat(timespec='seconds')}")
        print(f"# machine: nproc {nproc}, {cpu_model()}, Linux {platform.release()}, "
              f"load average {os.getloadavg()[0]:.2f} at start")
        print(f"# server: nginx on 127.0.0.1, sendfile on; {args.pairs} rounds per size, "
              "the order rotating")
        print()
        print("| size | tool | wall s (median) | CPU s (median) | peak RSS MiB (median) "
              "| wall ratio to curl (median of rounds) | CPU ratio to curl (median of rounds) |")
        print("|---|---|---|---|---|---|---|")
        sys.stdout.flush()
        peaks, notes, copy_rows = {}, [], []
        for label, size in cases:
            name = f"f{size}.bin"
            source = os.path.join(www, name)
            write_file(source, size)
            url = f"http://127.0.0.1:{port}/{name}"
            target = os.path.join(out, name)
            curl_cmd = [curl, "-s", "-o", target, url]
            prog_cmd = [driver, url, out + "/"]
            cp_cmd = [cp, source, target]
            bare_cmd = [bare, str(port), "/" + name, target]
            # One untimed run of each warms the page cache and the binaries.
            for cmd in (curl_cmd, prog_cmd, cp_cmd, bare_cmd):
                timed(cmd, env, work)
                os.remove(target)
            curl_runs, prog_runs, cp_runs, bare_runs, figs, bare_copies = [], [], [], [], [], []
            for i in range(args.pairs):
                order = ((curl_runs, curl_cmd), (prog_runs, prog_cmd), (cp_runs, cp_cmd),
                         (bare_runs, bare_cmd))
                for runs, cmd in order[i % 4:] + order[:i % 4]:
                    r = timed(cmd, env, work)
                    runs.append(r)
                    if cmd is prog_cmd:
                        f = figures(r[3])
                        if f.get("ok") != 1:
                            raise RuntimeError(f"the driver did not complete: {r[3]}")
                        figs.append(f)
                        if i == 0 and not filecmp.cmp(source, target, shallow=False):
                            raise RuntimeError("the driver's file differs from the source")
                    if cmd is bare_cmd:
                        bare_copies.append(figures(r[3])["copy_s"])
                    if os.path.getsize(target) != size:
                        raise RuntimeError(f"{cmd[0]}: the file has the wrong size")
                    os.remove(target)
            wall_ratio = statistics.median(p[0] / c[0] for c, p in zip(curl_runs, prog_runs))
            cpu_ratio = statistics.median(p[1] / max(c[1], 1e-3) for c, p in zip(curl_runs, prog_runs))
            print(fmt_row(label, "curl -s -o", curl_runs))
            print(fmt_row(label, "pomvex driver", prog_runs, (f"{wall_ratio:.2f}", f"{cpu_ratio:.2f}")))
            print(fmt_row(label, "cp (page cache)", cp_runs))
            print(fmt_row(label, "bare TCP client", bare_runs))
            sys.stdout.flush()
            copies = [f["copy_s"] for f in figs]
            copy_rows.append(
                f"| {label} | {statistics.median(r[0] for r in cp_runs):.3f} | "
                f"{statistics.median(copies):.3f} | "
                f"{statistics.median(c / p[0] for c, p in zip(copies, cp_runs)):.2f} | "
                f"{statistics.median(c / k[0] for c, k in zip(copies, curl_runs)):.2f} | "
                f"{statistics.median(bare_copies):.3f} | "
                f"{statistics.median(c / max(b, 1e-3) for c, b in zip(copies, bare_copies)):.2f} |")
            peaks[label] = statistics.median(r[2] for r in prog_runs)
            notes.append(
                f"{label}: download alone (driver's clock, without start-up) "
                f"{statistics.median(f['wall_s'] for f in figs):.3f} s median; 5 ms probe timer "
                f"served {statistics.median(f['pumps_served'] for f in figs):.0f} times, longest "
                f"gap {max(f['max_gap_ms'] for f in figs)} ms; status line changed "
                f"{statistics.median(f['status_changes'] for f in figs):.0f} times, longest "
                f"still {max(f['max_status_gap_ms'] for f in figs)} ms")
            if size == cases[-1][1] and statistics.median(f["wall_s"] for f in figs) > 0.3:
                # "中止" clicked 100 ms into the copy, at full speed: time until the copy ended.
                took = []
                for _ in range(args.pairs):
                    r = timed(prog_cmd + ["--cancel-after-ms", "100"], env, work)
                    f = figures(r[3])
                    if f.get("ok") != 1 or f.get("cancel_ms", -1) < 0:
                        raise RuntimeError(f"the cancel run did not end as cancelled: {r[3]}")
                    took.append(f["cancel_ms"])
                    os.remove(target)
                notes.append(f"{label}: cancel clicked 100 ms into the copy ended it after "
                             f"{statistics.median(took)} ms (median), {max(took)} ms at most")
            os.remove(source)
        print()
        print("| size | cp wall s (median) | copy phase s (median) | copy phase / cp "
              "(median of rounds) | copy phase / curl -s -o (median of rounds) "
              "| bare client's copy s (median) | copy phase / bare client (median of rounds) |")
        print("|---|---|---|---|---|---|---|")
        for row in copy_rows[1:]:  # a 2 KiB download has no copy phase worth the name
            print(row)
        print()
        for n in notes:
            print(f"# {n}")
        sized = [l for l, _ in cases[1:]]
        if len(sized) >= 2:
            lo, hi = peaks[sized[0]], peaks[sized[-1]]
            print(f"# driver peak RSS {sized[0]} -> {sized[-1]}: {lo:.1f} -> {hi:.1f} MiB "
                  f"({(hi / lo - 1) * 100:+.1f}%)")
        print(f"# load average {os.getloadavg()[0]:.2f} at the end")
    finally:
        server.terminate()
        server.wait(10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
