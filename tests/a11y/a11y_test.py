#!/usr/bin/env python3
"""What a screen reader finds in pomvex (argv[1]) through a real AT-SPI bus, on an Xvfb server
and a session bus of its own. Exit status 77: no session bus could be started."""
import http.server, os, re, shutil, subprocess, sys, tempfile, threading, time

STATUS = r"slow\.bin を保存中   \d+バイト"
# (window, control, role, name as a regular expression); a combo box is called by the labels it
# is labelled by, as Qt 6.4 gives it its current text as its name.
TABLE = [("main", c, r, n) for c, r, n in [
    ("IDC_URL", "text", "URL"), ("IDC_LIST", "text", "URLリスト"), ("IDC_SAVE_DIR", "text", "保存場所"),
    ("IDC_CLOCK", "text", "現在時刻"), ("IDC_LOG", "text", "ログ"), ("IDC_STATE", "text", "状態"),
    ("IDC_MONTH", "combo box", "開始時刻 月"), ("IDC_DAY", "combo box", "日"), ("IDC_HOUR", "combo box", "時"),
    ("IDC_MINUTE", "combo box", "分"), ("IDC_DURATION", "combo box", "接続時間 時間")]] + [
    ("main", n, "push button", n) for n in ["Get", "あとでGet", "リストチェック", "リストを開く", "リストを保存", "NEXT", "中止"]] + [
    ("連番編集", c, r, n) for c, r, n in [("IDOK", "push button", "OK"), ("IDCANCEL", "push button", "ｷｬﾝｾﾙ"),
    ("IDC_SERIAL_PREFIX", "text", "番号の前の文字"), ("IDC_SERIAL_FROM", "text", "最初の番号"),
    ("IDC_SERIAL_TO", "text", "最後の番号"), ("IDC_SERIAL_SUFFIX", "text", "番号の後の文字")]] + [
    ("progress", c, r, n) for c, r, n in [("IDCANCEL", "push button", "中止"), ("IDC_PROGDLG_STATUS", "label", STATUS),
    ("IDC_PROGDLG_PROGRESS", "progress bar", r"転送速度 \(バイト/秒\)"), ("IDC_PROGDLG_PERCENT", "label", r"\d+ ")]]


class Slow(http.server.BaseHTTPRequestHandler):
    def do_GET(self):  # 1 MiB at about 15 KB/s
        self.send_response(200)
        self.send_header("Content-Length", str(1 << 20))
        self.end_headers()
        try:
            for _ in range(512):
                self.wfile.write(b"Z" * 2048)
                time.sleep(0.13)
        except OSError:  # the program has gone
            pass

    log_message = lambda *a: None


def check(pyatspi, window, frame, errors):
    """Every TABLE row of `window` among the controls of `frame`; no focusable one unnamed or left."""
    def heard(a):
        labels = " ".join(r.getTarget(i).name for r in a.getRelationSet()
                          if r.getRelationType() == pyatspi.RELATION_LABELLED_BY for i in range(r.getNTargets()))
        combo = a.getRole() == pyatspi.ROLE_COMBO_BOX
        return labels if combo or labels == a.name else a.name + (f" (labelled by {labels})" if labels else "")

    def text(a):
        try:
            return a.queryText().getText(0, -1)
        except NotImplementedError:
            return None

    def reads_as_named(a):  # a live label may be retold between two questions: ask until it holds still
        for _ in range(5):
            before, shown, after = a.name, text(a), a.name
            if before == after:
                return shown == before
        return False

    def focusable(a):
        return [a] * a.getState().contains(pyatspi.STATE_FOCUSABLE) + [f for c in a for f in focusable(c)]

    errors += [f"{window}: a focusable {a.getRoleName()} has no name" for a in focusable(frame) if not a.name]
    left = list(next(c for c in frame if c.getRole() == pyatspi.ROLE_FILLER))  # the client area
    for w, control, role, name in (row for row in TABLE if row[0] == window):
        hit = next((a for a in left if a.getRoleName() == role and re.fullmatch(name, heard(a))), None)
        if not hit or role == "label" and not reads_as_named(hit):
            got = [heard(a) for a in left if a.getRoleName() == role]
            errors.append(f"{window} {control}: expected {role} {name!r}, a label's also as text; got {got}")
        left = [a for a in left if a != hit]
    errors += [f"{window}: focusable {a.getRoleName()} {heard(a)!r} is in no row" for a in left if focusable(a)]


def main():
    bus = subprocess.run("dbus-daemon --session --fork --print-address=1 --print-pid=1 || true", shell=True,
                         capture_output=True, text=True).stdout.split()
    if len(bus) < 2:
        return print("SKIP: no session bus could be started") or 77
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus[0]
    r, w = os.pipe()  # Xvfb picks a display no other server holds, and names it here
    # -noreset: the AT-SPI library looks at the root window and leaves; a server that resets
    # when its last client goes refuses the program that connects in that moment.
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                            pass_fds=[w], stderr=subprocess.DEVNULL)
    os.close(w)
    os.environ["DISPLAY"] = ":" + os.fdopen(r).readline().strip()
    import pyatspi  # python3-pyatspi (scripts/setup.sh); it connects through the bus above
    from gi.repository import GLib
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Slow)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    home = tempfile.mkdtemp()
    env = {k: v for k, v in os.environ.items() if not k.lower().endswith("_proxy")}
    env.update(POMVEX_HOME=home, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    app = subprocess.Popen([sys.argv[1]], env=env)
    errors, log, told = [], [], []

    def frame(name, but=None):
        for _ in range(100):
            node = [a for a in pyatspi.Registry.getDesktop(0) if a and a.get_process_id() == app.pid]
            found = [f for f in (node[0] if node else []) if f.name == name and f != but]
            if found:
                return found[0]
            if app.poll() is not None:
                raise RuntimeError(f"pomvex ended with status {app.returncode} before its window {name} came")
            time.sleep(0.1)
        raise RuntimeError(f"no window {name} on the AT-SPI bus")

    def act(frame, name):
        return next(a for a in frame[frame.childCount - 1] if a.name == name)

    try:
        main_window = frame("Pomvex")
        time.sleep(1.5)  # the first tick fills the clock and the state line
        check(pyatspi, "main", main_window, errors)
        wid = subprocess.run(["xdotool", "search", "--sync", "--pid", str(app.pid)], capture_output=True, text=True).stdout
        subprocess.run(["xdotool", "windowfocus", "--sync", wid.split()[0], "key", "--delay", "80", "F10", "Right", "Down", "Return"])
        check(pyatspi, "連番編集", frame("連番編集"), errors)
        act(frame("連番編集"), "ｷｬﾝｾﾙ").queryAction().doAction(0)
        log_box = act(main_window, "ログ")
        pyatspi.Registry.registerEventListener(lambda e: e.source == log_box and log.append((e.detail1, e.any_data)),
                                               "object:text-changed:insert")
        act(main_window, "URLリスト").queryEditableText().setTextContents(f"http://127.0.0.1:{httpd.server_address[1]}/slow.bin")
        act(main_window, "Get").queryAction().doAction(0)
        progress = frame("Pomvex", but=main_window)
        pyatspi.Registry.registerEventListener(lambda e: told.append((time.monotonic(), e.source.name)),
                                               "object:property-change:accessible-name")
        GLib.timeout_add(4000, pyatspi.Registry.stop)
        pyatspi.Registry.start()  # 4 s of the download
        check(pyatspi, "progress", progress, errors)
        status = [(t, v) for t, v in told if re.fullmatch(STATUS, v)]
        gaps = [round(b[0] - a[0], 2) for a, b in zip(status, status[1:]) if a[1] != b[1]]
        # Counted rather than timed: a busy listener may receive two tellings at once.
        if not 2 <= len(gaps) <= 6:  # unpaced: a new text each block, 15 times a second
            errors.append(f"progress: the status line told {len(gaps) + 1} times in 4 s, {gaps} s apart")
        if not any(offset > 0 and text.startswith("保存先 ") for offset, text in log):
            errors.append(f"log: its line 保存先 did not come as an insertion at its end: {log}")
    finally:
        app.terminate()
        app.wait(10)  # it writes its log into home as it goes
        xvfb.terminate()
        httpd.shutdown()
        subprocess.run(["kill", bus[1]])
        shutil.rmtree(home)
    print("\n".join(errors) or "every control named as expected")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
