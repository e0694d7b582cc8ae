#!/usr/bin/python3
"""A desktop's two buses with nothing on them but a fake logind and a fake notification server.

Starts two private dbus-daemons (a "system" and a "session" bus, each with a configuration of
its own: no service activation, so nothing installed on the machine can answer), then claims
org.freedesktop.login1 on the first and org.freedesktop.Notifications on the second.

Protocol on stdout, one JSON object a line:
  {"system": ADDRESS, "session": ADDRESS}         first, once both names are owned
  {"inhibit": [what, who, why, mode], "lock": N, "pipe": INODE}
                                                  each Inhibit call; the caller got the write end
                                                  of pipe INODE as lock N
  {"closed": N}                                   every copy of lock N's descriptor was closed
  {"notify": {...}}                               each Notify call, its arguments
Ends, daemons and all, when stdin is closed.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>{kind}</type>
  <listen>unix:dir={folder}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


def emit(record):
    try:
        sys.stdout.write(json.dumps(record, ensure_ascii=False) + "\n")
        sys.stdout.flush()
    except BrokenPipeError:
        pass  # the test has stopped listening; the buses end with stdin


def start_daemon(folder, kind):
    config = os.path.join(folder, kind + ".conf")
    with open(config, "w") as f:
        f.write(CONFIG.format(kind=kind, folder=folder))
    daemon = subprocess.Popen(
        ["dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"],
        stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
    address = daemon.stdout.readline().strip()
    if not address:
        raise SystemExit("dbus-daemon did not start")
    return daemon, address


class Logind(dbus.service.Object):
    def __init__(self, conn):
        super().__init__(conn, "/org/freedesktop/login1")
        self.count = 0

    @dbus.service.method("org.freedesktop.login1.Manager", in_signature="ssss",
                         out_signature="h")
    def Inhibit(self, what, who, why, mode):
        self.count += 1
        lock = self.count
        read_end, write_end = os.pipe()
        emit({"inhibit": [str(what), str(who), str(why), str(mode)], "lock": lock,
              "pipe": os.fstat(read_end).st_ino})

        def on_ready(fd, _condition):
            if os.read(fd, 64):
                return True
            os.close(fd)
            emit({"closed": lock})
            return False

        GLib.io_add_watch(read_end, GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR, on_ready)
        # UnixFd keeps a duplicate; ours goes, so only the caller's copies keep the pipe open.
        reply = dbus.types.UnixFd(write_end)
        os.close(write_end)
        return reply


    @dbus.service.method("org.freedesktop.login1.Manager", in_signature="b")
    def Suspend(self, interactive):
        emit({"power": "Suspend", "interactive": bool(interactive)})

    @dbus.service.method("org.freedesktop.login1.Manager", in_signature="b")
    def PowerOff(self, interactive):
        emit({"power": "PowerOff", "interactive": bool(interactive)})


class Notifications(dbus.service.Object):
    def __init__(self, conn):
        super().__init__(conn, "/org/freedesktop/Notifications")
        self.count = 0

    @dbus.service.method("org.freedesktop.Notifications", in_signature="susssasa{sv}i",
                         out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        self.count += 1
        image = hints.get("image-data")
        emit({"notify": {
            "app": str(app), "replaces": int(replaces), "icon": str(icon),
            "summary": str(summary), "body": str(body), "actions": [str(a) for a in actions],
            "hints": sorted(str(k) for k in hints.keys()),
            "desktop-entry": str(hints.get("desktop-entry", "")),
            # width, height, stride, alpha, bits, channels, bytes of data
            "image": [int(image[0]), int(image[1]), int(image[2]), bool(image[3]),
                      int(image[4]), int(image[5]), len(image[6])] if image is not None else None,
            "timeout": int(timeout)}})
        return dbus.UInt32(self.count)


def main():
    DBusGMainLoop(set_as_default=True)
    folder = tempfile.mkdtemp(prefix="pomvex-bus-")
    daemons = []
    try:
        system, system_address = start_daemon(folder, "system")
        daemons.append(system)
        session, session_address = start_daemon(folder, "session")
        daemons.append(session)
        system_bus = dbus.bus.BusConnection(system_address)
        session_bus = dbus.bus.BusConnection(session_address)
        names = [dbus.service.BusName("org.freedesktop.login1", system_bus),
                 dbus.service.BusName("org.freedesktop.Notifications", session_bus)]
        services = [Logind(system_bus), Notifications(session_bus)]
        emit({"system": system_address, "session": session_address})

        loop = GLib.MainLoop()

        def on_stdin(fd, _condition):
            if os.read(fd, 64):
                return True
            loop.quit()
            return False

        GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, on_stdin)
        loop.run()
        del names, services
    finally:
        for daemon in daemons:
            daemon.terminate()
            daemon.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
