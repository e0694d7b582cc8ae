#!/usr/bin/env python3
"""Download benchmark: the program's copy phase against the least a download over TCP costs.

Starts nginx (Debian nginx-light; sendfile on) on 127.0.0.1 for HTTP and HTTPS (a certificate of
its own), pyftpdlib for FTP, and Xvfb for the window, all in a temporary folder, creates the test
files of random bytes, and runs in rounds. Each round runs every command once, in an order that
rotates from round to round, with `sync` before each run and the output file removed after it:

- bare TCP client (bench/bare_client.c): recv 256 KiB into one buffer, write it; the yardstick.
  Its copy phase is its own clock from the first body byte to the last write.
- window: the program itself, `pomvex --get URL` on the Xvfb display, as a user runs it. Its copy
  phase is watched from outside: from the target's creation until it holds every byte and its
  partial mark is gone (polled every millisecond).
- driver (bench/pomvex_bench_driver): the same code path offscreen in one process, which reports
  its copy phase (progress window shown to download returned), CPU time and memory.
- curl -s -o and cp of the same file from the page cache: whole processes.

Per round it prints the copy phases and their ratios to the bare client, cp and curl; then the
medians of those per-round ratios, and of wall time, CPU time and peak memory per command. A
ratio is taken within a round, so that the machine's drift cancels as far as it can. HTTPS and
FTP follow, the driver against curl (wall and CPU), which has no window or bare client there.

Usage: bench/run.py BUILD_DIR [--sizes 1024] [--rounds 7] [--proto-mib 256] [--no-window]
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

HERE = os.path.dirname(os.path.abspath(__file__))
FTP_SERVER = os.path.join(HERE, "..", "tests", "servers", "ftp_server.py")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def remove(path):
    try:
        os.remove(path)
    except FileNotFoundError:
        pass


def timed(cmd, env, work):
    """Runs cmd; returns (wall s, CPU s, peak RSS MiB, stdout). /usr/bin/time reports the peak RSS
    (a child started from Python would inherit the interpreter's); CPU comes from wait4."""
    rss_file, out_file, err_file = (os.path.join(work, n) for n in ("rss", "stdout", "stderr"))
    os.sync()
    with open(out_file, "wb") as out, open(err_file, "wb") as err:
        t0 = time.perf_counter()
        p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss_file, *cmd], env=env,
                             stdout=out, stderr=err)
        _, status, ru = os.wait4(p.pid, 0)
        wall = time.perf_counter() - t0
    with open(out_file, errors="replace") as f:
        stdout = f.read()
    if os.waitstatus_to_exitcode(status) != 0:
        with open(err_file, errors="replace") as f:
            raise RuntimeError(f"{cmd[0]} failed: {stdout}\n{f.read()}")
    with open(rss_file) as f:
        rss_kb = int(f.read().split()[-1])
    return wall, ru.ru_utime + ru.ru_stime, rss_kb / 1024.0, stdout


def figures(stdout):
    """The key=value figures of the driver's and the bare client's last line."""
    line = [l for l in stdout.splitlines() if l.startswith("ok=")][-1:]
    return {k: float(v) for k, v in (kv.split("=", 1) for kv in (line[0].split() if line else []))}


def window_copy(binary, url, target, size, env):
    """The program's copy phase on the display: the target's creation to its last byte, unmarked."""
    os.sync()
    app = subprocess.Popen([binary, "--get", url], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    created = None
    deadline = time.monotonic() + 300
    try:
        while True:
            now = time.perf_counter()
            try:
                full = os.stat(target).st_size == size
                created = created or now
                if full and not marked(target):
                    return now - created
            except FileNotFoundError:
                pass
            if app.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError(f"the window did not download {url} (status {app.returncode})")
            time.sleep(0.001)
    finally:
        app.terminate()
        app.wait(30)


def marked(path):
    try:
        os.getxattr(path, "user.pomvex.partial")
        return True
    except OSError:  # no mark, or no user attributes on this file system
        return False


def wait_listening(port, proc, what):
    deadline = time.monotonic() + 10
    while True:
        if proc.poll() is not None:
            sys.exit(f"{what} did not start")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return
        except OSError:
            if time.monotonic() > deadline:
                proc.terminate()
                sys.exit(f"{what} did not listen within 10 s")
            time.sleep(0.05)


def start_nginx(work, www, cert, key):
    nginx = shutil.which("nginx") or "/usr/sbin/nginx"
    if not os.path.exists(nginx):
        sys.exit("nginx not found: apt-get install nginx-light")
    http, https = free_port(), free_port()
    conf = os.path.join(work, "nginx.conf")
    os.makedirs(os.path.join(work, "tmp"))
    temp = "".join(f"  {k}_temp_path {work}/tmp;\n" for k in ("client_body", "proxy", "fastcgi",
                                                              "uwsgi", "scgi"))
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
{temp}  types {{ application/octet-stream bin; }}
  server {{ listen 127.0.0.1:{http}; root {www}; }}
  server {{ listen 127.0.0.1:{https} ssl; root {www};
           ssl_certificate {cert}; ssl_certificate_key {key}; }}
}}
""")
    log = open(os.path.join(work, "nginx.out"), "w")
    server = subprocess.Popen([nginx, "-c", conf, "-p", work + "/"], stdout=log, stderr=log)
    wait_listening(http, server, "nginx")
    return server, http, https


def make_certificate(work):
    cert, key = os.path.join(work, "cert.pem"), os.path.join(work, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", key, "-out", cert], check=True, capture_output=True)
    return cert, key


def start_ftp(www):
    # It runs until its standard input closes: a pipe held open until the end.
    server = subprocess.Popen(["/usr/bin/python3", FTP_SERVER, www], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE, text=True)
    return server, int(server.stdout.readline())


def start_display():
    r, w = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=[w],
                            stderr=subprocess.DEVNULL)
    os.close(w)
    with os.fdopen(r) as f:
        return xvfb, ":" + f.readline().strip()


def write_file(path, size):
    block = os.urandom(1 << 20)  # written once; the page cache serves every later pass
    with open(path, "wb") as f:
        for left in range(size, 0, -len(block)):
            f.write(block[:min(left, len(block))])


def cpu_model():
    with open("/proc/cpuinfo") as f:
        return next((l.split(":", 1)[1].strip() for l in f if l.startswith("model name")),
                    platform.processor() or "unknown")


def med(values):
    return statistics.median(values)


def spread(values):
    return f"{min(values):.2f}–{max(values):.2f}"


class Setup:
    """The servers, the files, the commands and their environments of one benchmark run."""

    def __init__(self, build, window):
        self.work = tempfile.mkdtemp(prefix="pomvex-bench-")
        self.www, self.out = os.path.join(self.work, "www"), os.path.join(self.work, "out")
        os.makedirs(self.www)
        os.makedirs(self.out)
        for d in (self.work, self.www):
            os.chmod(d, 0o755)  # nginx and pyftpdlib may read as another user
        self.cert, key = make_certificate(self.work)
        self.nginx, self.http, self.https = start_nginx(self.work, self.www, self.cert, key)
        self.ftp, self.ftp_port = start_ftp(self.www)
        self.xvfb, display = start_display() if window else (None, None)
        bench = os.path.join(os.path.abspath(build), "bench")
        self.driver = os.path.join(bench, "pomvex_bench_driver")
        self.bare = os.path.join(bench, "pomvex_bench_bare")
        self.program = os.path.join(os.path.abspath(build), "pomvex")
        env = {k: v for k, v in os.environ.items()
               if not k.lower().endswith("_proxy") and k != "DBUS_SESSION_BUS_ADDRESS"}
        self.env = dict(env, QT_QPA_PLATFORM="offscreen", POMVEX_HOME=self.out,
                        SSL_CERT_FILE=self.cert)
        self.window_env = dict(env, QT_QPA_PLATFORM="xcb", DISPLAY=display or "",
                               POMVEX_HOME=self.out)

    def close(self):
        for server in (self.nginx, self.ftp, self.xvfb):
            if server:
                server.terminate()
                server.wait(10)
        shutil.rmtree(self.work, ignore_errors=True)


def http_round(s, name, size, order, curl, cp, compare=False):
    """One round of every command on the HTTP file; returns their figures by name. With
    `compare`, the program's files are compared with the served one byte for byte."""
    url, target = f"http://127.0.0.1:{s.http}/{name}", os.path.join(s.out, name)
    commands = {
        "bare": lambda: figures(
            timed([s.bare, str(s.http), "/" + name, target], s.env, s.work)[3])["copy_s"],
        "driver": lambda: timed([s.driver, url, s.out + "/"], s.env, s.work),
        "window": lambda: window_copy(s.program, url, target, size, s.window_env),
        "curl": lambda: timed([curl, "-s", "-o", target, url], s.env, s.work),
        "cp": lambda: timed([cp, os.path.join(s.www, name), target], s.env, s.work),
    }
    got = {}
    for tool in order:
        if tool in commands:
            got[tool] = commands[tool]()
            if os.path.getsize(target) != size:
                raise RuntimeError(f"{tool}: the file has the wrong size")
            if compare and tool in ("driver", "window") and \
                    not filecmp.cmp(os.path.join(s.www, name), target, shallow=False):
                raise RuntimeError(f"{tool}: the file differs from the served one")
            remove(target)
    return got


def copy_phases(got):
    """The copy phase of the program's two ways, from a round's figures."""
    phases = {"driver": figures(got["driver"][3])["copy_s"]}
    if "window" in got:
        phases["window"] = got["window"]
    return phases


def run_http(s, size, rounds, window, curl, cp):
    name = f"f{size}.bin"
    write_file(os.path.join(s.www, name), size)
    tools = ["bare", "driver"] + (["window"] if window else []) + ["curl", "cp"]
    http_round(s, name, size, tools, curl, cp, compare=True)  # also warms the caches
    ratios, whole = {}, {t: [] for t in ("driver", "curl", "cp")}
    print(f"\n## HTTP, {size >> 20} MiB: copy phase in s, and its ratio to bare / cp / curl -s -o")
    for i in range(rounds):
        got = http_round(s, name, size, tools[i % len(tools):] + tools[:i % len(tools)], curl, cp)
        yard = {"bare": got["bare"], "cp": got["cp"][0], "curl": got["curl"][0]}
        cells = [f"bare {yard['bare']:.3f}", f"cp {yard['cp']:.3f}", f"curl {yard['curl']:.3f}"]
        for way, phase in copy_phases(got).items():
            for y, v in yard.items():
                ratios.setdefault((way, y), []).append(phase / v)
            ratios.setdefault((way, "s"), []).append(phase)
            cells.append(f"{way} {phase:.3f} ({phase / yard['bare']:.2f} / {phase / yard['cp']:.2f}"
                         f" / {phase / yard['curl']:.2f})")
        for t in whole:
            whole[t].append(got[t])
        ratios.setdefault(("bare", "s"), []).append(yard["bare"])
        print(f"round {i + 1}: " + "; ".join(cells) + f"; load {os.getloadavg()[0]:.2f}")
        sys.stdout.flush()
    print(f"\n| copy phase, {size >> 20} MiB | median s (spread) | / bare | / cp | / curl -s -o |")
    print("|---|---|---|---|---|")
    print(f"| bare TCP client | {med(ratios['bare', 's']):.3f} ({spread(ratios['bare', 's'])}) | 1.00 | | |")
    for way in [w for w in ("window", "driver") if (w, "s") in ratios]:
        print(f"| {way} | {med(ratios[way, 's']):.3f} ({spread(ratios[way, 's'])}) | "
              + " | ".join(f"{med(ratios[way, y]):.2f} ({spread(ratios[way, y])})"
                           for y in ("bare", "cp", "curl")) + " |")
    print("\n| whole process | wall s | CPU s | peak RSS MiB |\n|---|---|---|---|")
    for t, runs in whole.items():
        print(f"| {t} | {med(r[0] for r in runs):.3f} | {med(r[1] for r in runs):.3f} | "
              f"{med(r[2] for r in runs):.1f} |")
    probe = [figures(r[3]) for r in whole["driver"]]
    print(f"\n# driver, {size >> 20} MiB: a 5 ms timer of the event loop was served "
          f"{med(f['pumps_served'] for f in probe):.0f} times, longest gap "
          f"{max(f['max_gap_ms'] for f in probe):.0f} ms; the status line changed "
          f"{med(f['status_changes'] for f in probe):.0f} times, longest still "
          f"{max(f['max_status_gap_ms'] for f in probe):.0f} ms")
    if med(ratios["driver", "s"]) > 0.3:  # else the copy is over before the click
        cancel_note(s, name, size, rounds)
    os.remove(os.path.join(s.www, name))
    return med(r[2] for r in whole["driver"])


def cancel_note(s, name, size, rounds):
    """"中止" clicked 100 ms into the copy at full speed: the time until the copy ended."""
    url = f"http://127.0.0.1:{s.http}/{name}"
    took = []
    for _ in range(rounds):
        f = figures(timed([s.driver, url, s.out + "/", "--cancel-after-ms", "100"], s.env, s.work)[3])
        remove(os.path.join(s.out, name))
        if f.get("ok") != 1 or f.get("cancel_ms", -1) < 0:
            raise RuntimeError("the cancel run did not end as cancelled")
        took.append(f["cancel_ms"])
    print(f"# driver, {size >> 20} MiB: 中止 clicked 100 ms into the copy ended it after "
          f"{med(took):.0f} ms (median), {max(took):.0f} ms at most")


def run_protocol(s, label, url, curl_cmd, size, rounds):
    """The driver against curl over one protocol: wall, CPU, and the driver's copy phase."""
    name = url.rsplit("/", 1)[1]
    target = os.path.join(s.out, name)
    commands = {"curl": curl_cmd + ["-s", "-o", target, url], "driver": [s.driver, url, s.out + "/"]}
    runs = {"curl": [], "driver": []}
    for i in range(rounds + 1):  # the first round warms up
        for tool in (["curl", "driver"] if i % 2 else ["driver", "curl"]):
            r = timed(commands[tool], s.env, s.work)
            if os.path.getsize(target) != size:
                raise RuntimeError(f"{label} {tool}: the file has the wrong size")
            remove(target)
            if i:
                runs[tool].append(r)
    wall = [d[0] / c[0] for c, d in zip(runs["curl"], runs["driver"])]
    cpu = [d[1] / max(c[1], 1e-3) for c, d in zip(runs["curl"], runs["driver"])]
    copy = [figures(d[3])["copy_s"] for d in runs["driver"]]
    print(f"| {label} | {med(r[0] for r in runs['curl']):.3f} | {med(r[0] for r in runs['driver']):.3f} | "
          f"{med(copy):.3f} | {med(wall):.2f} ({spread(wall)}) | {med(cpu):.2f} ({spread(cpu)}) |")
    sys.stdout.flush()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--sizes", default="1024", help="HTTP file sizes in MiB; empty: none")
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--proto-mib", type=int, default=256, help="HTTPS and FTP file size; 0: none")
    ap.add_argument("--no-window", action="store_true", help="without Xvfb and the program")
    args = ap.parse_args()
    for tool in ("pomvex_bench_driver", "pomvex_bench_bare"):
        if not os.access(os.path.join(args.build, "bench", tool), os.X_OK):
            sys.exit(f"no {tool}: cmake --build {args.build} --target {tool}")
    needed = ["curl", "cp", "openssl"] + ([] if args.no_window else ["Xvfb"])
    missing = [t for t in needed if not shutil.which(t)] + \
        [t for t in ("/usr/bin/time",) if not os.access(t, os.X_OK)]
    if missing:
        sys.exit(f"missing: {', '.join(missing)} (scripts/setup.sh installs them)")
    curl, cp = shutil.which("curl"), shutil.which("cp")
    s = Setup(args.build, not args.no_window)
    try:
        print(f"# Pomvex download benchmark, {datetime.datetime.now().isoformat(timespec='seconds')}")
        print(f"# machine: nproc {os.cpu_count()}, {cpu_model()}, Linux {platform.release()}, "
              f"load average {os.getloadavg()[0]:.2f} at start; {args.rounds} rounds")
        peaks = [(mib, run_http(s, int(mib) << 20, args.rounds, not args.no_window, curl, cp))
                 for mib in args.sizes.split(",") if mib]
        if len(peaks) > 1:
            print(f"\n# driver peak RSS: " + ", ".join(f"{m} MiB {p:.1f} MiB" for m, p in peaks))
        if args.proto_mib:
            size = args.proto_mib << 20
            write_file(os.path.join(s.www, "p.bin"), size)
            print(f"\n## HTTPS and FTP, {args.proto_mib} MiB: the driver against curl -s -o\n")
            print("| protocol | curl wall s | driver wall s | driver copy phase s "
                  "| wall / curl (spread) | CPU / curl (spread) |\n|---|---|---|---|---|---|")
            run_protocol(s, "HTTPS", f"https://127.0.0.1:{s.https}/p.bin", [curl, "--cacert", s.cert],
                         size, args.rounds)
            run_protocol(s, "FTP", f"ftp://127.0.0.1:{s.ftp_port}/p.bin", [curl], size, args.rounds)
        print(f"\n# load average {os.getloadavg()[0]:.2f} at the end")
    finally:
        s.close()


if __name__ == "__main__":
    main()
