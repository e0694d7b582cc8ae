#!/usr/bin/python3
"""Sends the desktop's liveness ping (_NET_WM_PING) to an X window and prints the milliseconds
until the window's answer reaches the root window, or -1 when none came within the limit.
Usage: ping_window.py WINDOW_ID [LIMIT_SECONDS]"""
import sys
import time

from Xlib import X, display, protocol

d = display.Display()
root = d.screen().root
# The answer is sent to the root window for clients that select structure notification there
# (or substructure redirection, which only a window manager may take).
root.change_attributes(event_mask=X.StructureNotifyMask)
window = d.create_resource_object('window', int(sys.argv[1], 0))
limit = float(sys.argv[2]) if len(sys.argv) > 2 else 1.0
protocols = d.intern_atom('WM_PROTOCOLS')
ping = d.intern_atom('_NET_WM_PING')
stamp = 4242
window.send_event(protocol.event.ClientMessage(window=window, client_type=protocols,
                                               data=(32, [ping, stamp, window.id, 0, 0])))
d.flush()
start = time.monotonic()
while time.monotonic() - start < limit:
    while d.pending_events():
        e = d.next_event()
        if (e.type == X.ClientMessage and e.client_type == protocols
                and e.data[1][0] == ping and e.data[1][1] == stamp):
            print(int((time.monotonic() - start) * 1000))
            sys.exit(0)
    time.sleep(0.005)
print(-1)
sys.exit(1)
