#!/usr/bin/env python3
"""Throughput benchmark: the program's download path against `curl -s -o`, side by side.

Starts nginx (sendfile on) on 127.0.0.1 with its own config in a temporary folder, creates the
test files, and times, alternately, `curl -s -o FILE` and the driver that runs the real program
code (Qt host offscreen, CPomvexDlg, LoadJobTable, the tick that runs the download with its
progress window). Prints medians of wall time, CPU time and peak memory for both, and the median
of the per-pair ratios.

Usage: bench/run.py BUILD_DIR [--sizes 256,1024] [--pairs 5]
"""
import argparse
import datetime
import os
import platform
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def timed(cmd, env=None):
    """Runs cmd under /usr/bin/time; returns (wall s, cpu s, peak RSS MiB)."""
    fmt = "%e %U %S %M"
    r = subprocess.run(["/usr/bin/time", "-f", fmt, *cmd], env=env, capture_output=True, text=True,
                       encoding="utf-8", errors="replace")
    if r.returncode != 0:
        raise RuntimeError(f"{cmd[0]} failed ({r.returncode}): {r.stdout}\n{r.stderr}")
    wall, user, sys_, rss = r.stderr.strip().splitlines()[-1].split()
    return float(wall), float(user) + float(sys_), int(rss) / 1024.0


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--sizes", default="256,1024", help="file sizes in MiB")
    ap.add_argument("--pairs", type=int, default=5)
    args = ap.parse_args()
    driver = os.path.join(os.path.abspath(args.build), "bench", "pomvex_bench_driver")
    nginx = shutil.which("nginx") or "/usr/sbin/nginx"

    work = tempfile.mkdtemp(prefix="pomvex-bench-")
    www, out = os.path.join(work, "www"), os.path.join(work, "out")
    os.makedirs(www)
    os.makedirs(out)
    os.chmod(work, 0o755)  # nginx workers run as an unprivileged user
    port = free_port()
    conf = os.path.join(work, "nginx.conf")
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
  server {{ listen 127.0.0.1:{port}; root {www}; }}
}}
""")
    server = subprocess.Popen([nginx, "-c", conf, "-p", work], stderr=subprocess.DEVNULL)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", POMVEX_HOME=work)
    for k in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
        env.pop(k, None)
    try:
        time.sleep(0.5)
        sizes = [int(s) for s in args.sizes.split(",")]
        print(f"# Pomvex download benchmark, {datetime.date.today()}")
        print(f"# machine: {os.cpu_count()} cores (nproc {subprocess.run(['nproc'], capture_output=True, text=True).stdout.strip()}), {cpu_model()}")
        print(f"# server: nginx on 127.0.0.1, sendfile on; {args.pairs} alternating pairs per size")
        print("| size | tool | wall s (median) | CPU s (median) | peak RSS MiB (median) | wall ratio (median of pairs) | CPU ratio |")
        print("|---|---|---|---|---|---|---|")
        for mib in sizes:
            name = f"f{mib}.bin"
            with open(os.path.join(www, name), "wb") as f:
                # Random-looking data written once; the page cache serves every later pass.
                block = os.urandom(1 << 20)
                for _ in range(mib):
                    f.write(block)
            url = f"http://127.0.0.1:{port}/{name}"
            target = os.path.join(out, name)
            curl_runs, prog_runs = [], []
            for _ in range(args.pairs):
                curl_runs.append(timed(["curl", "-s", "-o", target, url], env))
                os.remove(target)
                prog_runs.append(timed([driver, url, out + "/"], env))
                if os.path.getsize(target) != mib << 20:
                    raise RuntimeError("the driver's file has the wrong size")
                os.remove(target)
            wall_ratio = statistics.median(p[0] / max(c[0], 1e-3) for c, p in zip(curl_runs, prog_runs))
            cpu_ratio = statistics.median(p[1] / max(c[1], 1e-3) for c, p in zip(curl_runs, prog_runs))
            for tool, runs, ratios in (("curl -s -o", curl_runs, ("", "")),
                                       ("pomvex", prog_runs, (f"{wall_ratio:.2f}", f"{cpu_ratio:.2f}"))):
                print(f"| {mib} MiB | {tool} | {statistics.median(r[0] for r in runs):.3f} | "
                      f"{statistics.median(r[1] for r in runs):.3f} | {statistics.median(r[2] for r in runs):.1f} | "
                      f"{ratios[0]} | {ratios[1]} |")
            os.remove(os.path.join(www, name))
            sys.stdout.flush()
    finally:
        server.terminate()
        server.wait(10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
