#!/usr/bin/python3
"""Local gopher server over ROOT for the transfer tests.

Usage: gopher_server.py ROOT
Binds 127.0.0.1 on a free port and prints that port on the first line of stdout. A selector
names a file under ROOT (a leading '/' is ignored); its bytes are sent, then the connection
closes, as gopher does.
"""
import os
import socketserver
import sys
import threading


class Handler(socketserver.StreamRequestHandler):
    root = "."

    def handle(self):
        selector = self.rfile.readline().decode("latin-1").rstrip("\r\n").lstrip("/")
        path = os.path.join(self.root, selector)
        if os.path.isfile(path):
            with open(path, "rb") as f:
                self.wfile.write(f.read())
        else:
            self.wfile.write(b"3no such selector\t\terror.host\t1\r\n.\r\n")


def main():
    Handler.root = sys.argv[1]
    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
