#!/usr/bin/python3
"""Local HTTP server that records every request line it is asked, byte for byte.

Usage: recording_server.py ROOT RECORD
Binds 127.0.0.1 on a free port and prints that port on the first line of stdout; ends when its
stdin is closed.

GET TARGET serves ROOT/<the target's path, percent-decoded as UTF-8> (404 when there is no such
file). TARGET may be an absolute URL, as a client sends it to a proxy. Each request line is
appended to RECORD, as it arrived, before the answer goes out: a client holding the answer can
read its line there.
"""
import os
import sys
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."
    record = ""
    lock = threading.Lock()

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        # The server decoded the line as Latin-1: encoding it back gives the bytes that came.
        with Handler.lock, open(self.record, "ab") as f:
            f.write(self.requestline.encode("latin-1") + b"\n")
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path, errors="surrogateescape")
        local = os.path.join(self.root, *path.strip("/").split("/"))
        body = b""
        code = 404
        if os.path.isfile(local):
            with open(local, "rb") as f:
                body = f.read()
            code = 200
        self.send_response(code)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)


def main():
    Handler.root, Handler.record = sys.argv[1], sys.argv[2]
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()
    server.shutdown()


if __name__ == "__main__":
    main()
