#!/usr/bin/python3
"""Local HTTP(S) server with fault routes for the transfer tests.

Usage: http_server.py ROOT [--cert CERT --key KEY]
Binds 127.0.0.1 on a free port and prints that port on the first line of stdout.

Routes:
  /files/NAME           the file ROOT/NAME (200, Content-Length)
  /status/CODE/N        status CODE with an N-byte body
  /redirect?to=URL      302 to URL
  /short/N              Content-Length N, sends N-100 bytes, then closes
  /close-mid/N          chunked, sends N/2 bytes, then closes without the last chunk
  /slow/N/MS            N bytes in 1024-byte pieces, MS milliseconds apart
"""
import os
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def pattern(n):
    return bytes((i * 7 + (i >> 10)) & 0xFF for i in range(n))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."

    def log_message(self, fmt, *args):
        pass

    def head(self, code, length=None, extra=()):
        self.send_response(code)
        if length is not None:
            self.send_header("Content-Length", str(length))
        for k, v in extra:
            self.send_header(k, v)
        self.send_header("Connection", "close")
        self.end_headers()

    def abort(self):
        self.wfile.flush()
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.close_connection = True

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        parts = url.path.strip("/").split("/")
        try:
            if parts[0] == "files" and len(parts) >= 2:
                path = os.path.join(self.root, *[urllib.parse.unquote(p) for p in parts[1:]])
                if not os.path.isfile(path):
                    body = b"not found" * 300
                    self.head(404, len(body))
                    self.wfile.write(body)
                    return
                size = os.path.getsize(path)
                self.head(200, size)
                with open(path, "rb") as f:
                    while True:
                        chunk = f.read(1 << 20)
                        if not chunk:
                            break
                        self.wfile.write(chunk)
            elif parts[0] == "status":
                code, n = int(parts[1]), int(parts[2])
                body = pattern(n)
                self.head(code, n)
                self.wfile.write(body)
            elif parts[0] == "redirect":
                target = urllib.parse.parse_qs(url.query)["to"][0]
                self.head(302, 0, [("Location", target)])
            elif parts[0] == "short":
                n = int(parts[1])
                self.head(200, n)
                self.wfile.write(pattern(n - 100))
                self.abort()
            elif parts[0] == "close-mid":
                n = int(parts[1])
                self.head(200, None, [("Transfer-Encoding", "chunked")])
                data = pattern(n // 2)
                self.wfile.write(b"%x\r\n" % len(data) + data + b"\r\n")
                self.abort()
            elif parts[0] == "slow":
                n, ms = int(parts[1]), int(parts[2])
                data = pattern(n)
                self.head(200, n)
                for i in range(0, n, 1024):
                    self.wfile.write(data[i:i + 1024])
                    self.wfile.flush()
                    time.sleep(ms / 1000.0)
            else:
                self.head(404, 2000)
                self.wfile.write(b"x" * 2000)
        except (BrokenPipeError, ConnectionResetError):
            pass


def main():
    args = sys.argv[1:]
    Handler.root = args[0]
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if "--cert" in args:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(args[args.index("--cert") + 1], args[args.index("--key") + 1])
        server.socket = ctx.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    # The test ends the server by closing our stdin (or killing us).
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
