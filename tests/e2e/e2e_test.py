#!/usr/bin/env python3
"""Black-box test of the installed pomvex binary through a real X display.

Starts Xvfb, a local HTTP server on 127.0.0.1, installs the build into a temporary prefix,
starts pomvex with POMVEX_HOME in a temporary folder and drives it only with X input
(xdotool). Checks the downloaded files byte for byte and the log file's CP932 lines.

Usage: e2e_test.py BUILD_DIR [scenario ...]   (scenarios: later, get, check, second, sigterm, handed; default: all)
The installed launcher and icons are checked every time. Exit status 77: Xvfb or xdotool missing.
"""
import datetime
import http.server
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

CLOCK = r"\d\d月\d\d日　 \d\d:\d\d:\d\d"


class Server:
    """Serves a folder on 127.0.0.1 on a free port."""

    def __init__(self, root):
        self.root = root
        handler = lambda *a, **k: http.server.SimpleHTTPRequestHandler(*a, directory=root, **k)
        http.server.SimpleHTTPRequestHandler.log_message = lambda *a: None
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, name):
        return f"http://127.0.0.1:{self.port}/{name}"

    def close(self):
        self.httpd.shutdown()


class Display:
    """An Xvfb server on a free display number."""

    def __init__(self):
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            # -noreset: xdotool comes and goes; a server that resets when its last client goes
            # refuses whoever connects in that moment.
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=[w], stderr=subprocess.DEVNULL)
        os.close(w)
        num = b""
        while not num.endswith(b"\n"):
            chunk = os.read(r, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            num += chunk
        os.close(r)
        self.name = ":" + num.decode().strip()

    def close(self):
        self.proc.terminate()
        self.proc.wait(10)


class App:
    def __init__(self, binary, display, home, *args, **more_env):
        env = dict(os.environ, DISPLAY=display.name, POMVEX_HOME=home, QT_QPA_PLATFORM="xcb", **more_env)
        for k in ("http_proxy", "https_proxy", "ftp_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
            env.pop(k, None)
        self.env = env
        self.proc = subprocess.Popen([binary, *args], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Another scenario's window may be open on the same display: find ours by its process.
        self.wid = self.xdo("search", "--sync", "--all", "--onlyvisible", "--pid", str(self.proc.pid),
                            "--name", "^Pomvex$").split()[0]
        self.focus()
        time.sleep(1.0)

    def focus(self):
        # No window manager runs on the test display: give the window the input focus directly.
        self.xdo("windowfocus", "--sync", self.wid)

    def xdo(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, check=True, capture_output=True,
                              text=True, timeout=60).stdout

    def key(self, *keys):
        self.xdo("key", "--clearmodifiers", "--delay", "60", *keys)

    def type(self, text):
        self.xdo("type", "--clearmodifiers", "--delay", "15", text)

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()


def wait_for(path, seconds):
    end = time.time() + seconds
    while time.time() < end:
        if os.path.exists(path):
            time.sleep(0.5)  # let the writer finish
            return True
        time.sleep(0.25)
    return False


def log_lines(home):
    with open(os.path.join(home, "Pomvex.log"), "rb") as f:
        data = f.read()
    assert data.endswith(b"\r\n"), f"log does not end in CR LF: {data[-20:]!r}"
    return data.decode("cp932").split("\r\n")[:-1]


def expect_lines(got, patterns):
    assert len(got) == len(patterns), f"log has {len(got)} lines, expected {len(patterns)}:\n" + "\n".join(got)
    for g, p in zip(got, patterns):
        assert re.fullmatch(p, g), f"log line {g!r} does not match {p!r}\nwhole log:\n" + "\n".join(got)


def make_files(root):
    files = {"one.bin": os.urandom(4096), "two.dat": os.urandom(300_000), "three.txt": b"line\r\nline\n" * 500}
    for name, data in files.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)
    return files


def enter_list(app, urls):
    # The list box has the focus at start: replace the placeholder with the URLs.
    # xdotool types "\n" as a keysym the edit box ignores: press Return between the lines.
    app.key("ctrl+a", "Delete")
    for i, url in enumerate(urls):
        if i:
            app.key("Return")
        app.type(url)


def scenario_get(binary, display, server, files, home):
    app = App(binary, display, home)
    try:
        urls = [server.url(n) for n in files]
        enter_list(app, urls)
        app.key("Tab", "space")  # Tab goes to "Get"
        assert wait_for(os.path.join(home, "Pomvex.log"), 60), "no log file after Get"
        for name, data in files.items():
            with open(os.path.join(home, name), "rb") as f:
                assert f.read() == data, f"{name} differs from the served file"
        pats = []
        for u, n in zip(urls, files):
            pats += [CLOCK, re.escape(u) + "をDLします", "保存先 " + re.escape(os.path.join(home, n)),
                     CLOCK + "   DL終了しました"]
        expect_lines(log_lines(home), pats)
    finally:
        app.close()
    yield from ()


def scenario_check(binary, display, server, files, home):
    app = App(binary, display, home)
    try:
        urls = [server.url(n) for n in files]
        enter_list(app, urls)
        # ツール > リストをチェック through the keyboard: F10 opens the first menu, Right moves
        # to the next one with its first item highlighted.
        app.key("F10", "Right", "Return")
        assert wait_for(os.path.join(home, "Pomvex.log"), 60), "no log file after the list check"
        pats = []
        for n, u in zip(files, urls):
            pats += [CLOCK, re.escape(u) + "をチェックします", r"ファイルサイズ\d+バイト",
                     f"サーバーが示したサイズ{len(files[n])}バイト", " をチェック終了しました"]
        expect_lines(log_lines(home), pats)
        for name in files:
            assert not os.path.exists(os.path.join(home, name)), "a check wrote a file"
    finally:
        app.close()
    yield from ()


def scenario_later(binary, display, server, files, home):
    """Arms the schedule for the coming minute, then yields: the other scenarios run while it
    waits (the schedule check only looks every 50 seconds)."""
    app = App(binary, display, home)
    try:
        urls = [server.url(n) for n in files][:1]
        enter_list(app, urls)
        now = datetime.datetime.now()
        start = now + datetime.timedelta(minutes=1 if now.second < 45 else 2)
        # Tab order from the list: Get, あとでGet, 保存場所, リストを開く, リストを保存, NEXT,
        # month, day, hour, minute, duration, リストチェック.
        app.key(*["Tab"] * 7)
        for value in (start.month, start.day, start.hour, start.minute, 1):
            app.key("ctrl+a")
            app.type(str(value))
            app.key("Tab")
        # Back from リストチェック to あとでGet.
        app.key(*["shift+Tab"] * 10, "space")
        yield
        log = os.path.join(home, "Pomvex.log")
        wait = (start - datetime.datetime.now()).total_seconds() + 90
        assert wait_for(log, wait), "the timed start did not run"
        started = datetime.datetime.fromtimestamp(os.path.getmtime(log))
        assert started >= start.replace(second=0, microsecond=0), f"started early, at {started}"
        name = list(files)[0]
        with open(os.path.join(home, name), "rb") as f:
            assert f.read() == files[name]
        expect_lines(log_lines(home), [CLOCK, re.escape(urls[0]) + "をDLします",
                                       "保存先 " + re.escape(os.path.join(home, name)), CLOCK + "   DL終了しました"])
    finally:
        app.close()


def scenario_second(binary, display, server, files, home):
    """A second start on a running copy's folder opens no window: over the session bus it brings
    that copy to the front, without one it says so in a box. Another folder runs beside."""
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE, text=True)
    apps = []
    try:
        env = {"DBUS_SESSION_BUS_ADDRESS": bus.stdout.readline().strip()}
        apps = [App(binary, display, home, **env), App(binary, display, home + "-other", **env)]
        assert subprocess.run([binary], env=apps[0].env, timeout=30).returncode == 0
        tree = subprocess.run(["xwininfo", "-root", "-children"], env=apps[0].env, capture_output=True, text=True)
        assert next(int(l.split()[0], 16) for l in tree.stdout.splitlines() if '"Pomvex"' in l) == int(apps[0].wid)
        lone = subprocess.Popen([binary], env=dict(apps[0].env, DBUS_SESSION_BUS_ADDRESS="unix:path=/none"))
        box = apps[0].xdo("search", "--sync", "--all", "--onlyvisible", "--pid", str(lone.pid), "--name", ".").split()
        assert len(box) == 1 and apps[0].xdo("getwindowname", box[0]).strip() == "pomvex", "not one box"
        apps[0].xdo("windowfocus", "--sync", box[0])
        time.sleep(1.0)
        apps[0].key("Return")
        assert lone.wait(30) == 0 and os.listdir(home) == ["Pomvex.lock"], os.listdir(home)
    finally:
        for app in apps:
            app.close()
        bus.terminate()
    yield from ()


def scenario_handed(binary, display, server, files, home):
    """URLs and list files (CP932 and UTF-8) on the command line with --get run at once; a second
    start with a URL and --get hands it to the running copy, which runs the longer list."""
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE, text=True)
    names = list(files)
    urls = [server.url(n) for n in names]
    lists = os.path.join(home + "-lists")
    os.mkdir(lists)
    with open(os.path.join(lists, "一覧.txt"), "wb") as f:
        f.write((urls[1] + "\r\n").encode("cp932"))
    with open(os.path.join(lists, "utf8.txt"), "w", encoding="utf-8") as f:
        f.write("\ufeff" + urls[2] + "\n")
    log = os.path.join(home, "Pomvex.log")
    app = None
    try:
        env = {"DBUS_SESSION_BUS_ADDRESS": bus.stdout.readline().strip()}
        app = App(binary, display, home, "--get", urls[0], os.path.join(lists, "一覧.txt"),
                  os.path.join(lists, "utf8.txt"), **env)
        assert wait_for(log, 60), "no log file after --get"
        expect_lines(log_lines(home), sum(([CLOCK, re.escape(u) + "をDLします", "保存先 .*", CLOCK + "   DL終了しました"]
                                            for u in urls[:3]), []))
        os.remove(log)
        assert subprocess.run([binary, "--get", urls[0]], env=app.env, timeout=30).returncode == 0
        assert wait_for(log, 60), "the handed-over list did not run"
        got = log_lines(home)
        assert [l for l in got if l.endswith("をDLします")] == [u + "をDLします" for u in urls[:3] + urls[:1]], got
    finally:
        if app:
            app.close()
        bus.terminate()
    yield from ()


def scenario_sigterm(binary, display, server, files, home):
    """SIGTERM (a logout) in the middle of a download: Pomvex.log is written with the line that
    says so, the partial file keeps its mark, and the next run continues it."""
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "servers", "http_server.py")
    slow = subprocess.Popen([sys.executable, script, server.root], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    url = f"http://127.0.0.1:{slow.stdout.readline().strip()}/range/two.dat?slow=20"
    target, log = os.path.join(home, "two.dat?slow=20"), os.path.join(home, "Pomvex.log")  # the name keeps the query
    start = [CLOCK, re.escape(url) + "をDLします", "保存先 " + re.escape(target)]
    apps = []

    def get():
        apps.append(App(binary, display, home))
        enter_list(apps[-1], [url])
        apps[-1].key("Tab", "space")

    try:
        get()
        end = time.time() + 30
        while not (os.path.exists(target) and os.path.getsize(target) >= 65536) and time.time() < end:
            time.sleep(0.1)
        apps[0].proc.terminate()
        assert apps[0].proc.wait(10) == -signal.SIGTERM
        expect_lines(log_lines(home), start + ["システムの終了要求により終了しました"])
        assert os.getxattr(target, "user.pomvex.partial"), "the partial file lost its mark"
        get()
        while "DL終了しました" not in open(log, "rb").read().decode("cp932") and time.time() < end + 30:
            time.sleep(0.25)
        expect_lines(log_lines(home), start + [r"\d+バイトから続きをDLします", CLOCK + "   DL終了しました"])
        with open(target, "rb") as f:
            assert f.read() == files["two.dat"], "the continued file differs from the served one"
    finally:
        for app in apps:
            app.close()
        slow.stdin.close()
        slow.wait(10)
    yield from ()


def scenario_install(prefix):
    """What `cmake --install` put under the prefix for the desktop: launcher and icons."""
    with open(os.path.join(prefix, "share", "applications", "pomvex.desktop"), encoding="utf-8") as f:
        entry = dict(line.split("=", 1) for line in f.read().splitlines() if "=" in line)
    assert entry.get("Exec") == "pomvex %U" and entry.get("Icon") == "pomvex", entry
    assert entry.get("Categories") == "Network;FileTransfer;", entry
    icons = os.path.join(prefix, "share", "icons", "hicolor")
    for size in (16, 32, 48, 64, 128, 256):
        path = os.path.join(icons, f"{size}x{size}", "apps", "pomvex.png")
        with open(path, "rb") as f:
            head = f.read(24)
        assert head[:8] == b"\x89PNG\r\n\x1a\n", path
        assert int.from_bytes(head[16:20], "big") == size, f"{path} is not {size} pixels wide"
    assert os.path.exists(os.path.join(icons, "scalable", "apps", "pomvex.svg"))


SCENARIOS = {"later": scenario_later, "get": scenario_get, "check": scenario_check,
             "second": scenario_second, "sigterm": scenario_sigterm, "handed": scenario_handed}


def main():
    build = os.path.abspath(sys.argv[1])
    chosen = [n for n in SCENARIOS if n in sys.argv[2:]] or list(SCENARIOS)
    for tool in ("Xvfb", "xdotool"):
        if not shutil.which(tool):
            print(f"SKIP: {tool} is not installed (scripts/setup.sh installs it)")
            return 77
    work = tempfile.mkdtemp(prefix="pomvex-e2e-")
    results = {}
    try:
        prefix = os.path.join(work, "prefix")
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
        try:
            scenario_install(prefix)
            results["install"] = None
        except Exception as e:
            results["install"] = e
        binary = os.path.join(prefix, "bin", "pomvex")
        served = os.path.join(work, "served")
        os.mkdir(served)
        files = make_files(served)
        server, display = Server(served), Display()

        def step(name, gen):
            """Runs a scenario up to its next pause; False once it has ended."""
            try:
                next(gen)
                return True
            except StopIteration:
                results[name] = None
            except Exception as e:  # report every scenario, then fail
                results[name] = e
            return False

        try:
            waiting = []
            for name in chosen:
                home = os.path.join(work, "home-" + name)
                os.mkdir(home)
                gen = SCENARIOS[name](binary, display, server, files, home)
                if step(name, gen):
                    waiting.append((name, gen))
            for name, gen in waiting:
                while step(name, gen):
                    pass
        finally:
            server.close()
            display.close()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    failed = 0
    for name, error in results.items():
        print(f"PASS {name}" if error is None else f"FAIL {name}: {error}")
        failed += error is not None
    print(f"{len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
