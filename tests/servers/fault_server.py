#!/usr/bin/python3
"""Fault-injecting servers for the fault matrix: HTTP(S) and FTP that misbehave on purpose.

Usage:
  fault_server.py http ROOT [--cert CERT --key KEY]
  fault_server.py ftp ROOT MODE        MODE: deny | refuse-retr | no-data | slow:BYTES_PER_SEC
Binds 127.0.0.1 on a free port and prints that port on the first line of stdout. Ends when
its stdin is closed.

HTTP routes (N, MS are decimal numbers; every body byte is pattern(i) unless said otherwise):
  /files/NAME            ROOT/NAME with Content-Length, sent with sendfile (sparse files fly)
  /hang/NAME             reads the request and never answers
  /nobody/N              headers with Content-Length N, then silence
  /drip/FIRST/N/MS       Content-Length FIRST+N: FIRST bytes at once, then one byte every MS
  /pieces/N/FIRST/MS     Content-Length N: FIRST bytes, MS pause, the rest after another MS
  /trickle/N/K/MS        Content-Length N: K bytes one every MS, then the rest at once
  /endless/NAME          chunked, 64 KiB chunks until the client goes away
  /close-mid/N           chunked, N/2 bytes, then the connection closes without the last chunk
  /short/N               Content-Length N, N-100 bytes sent, then close
  /long/N                Content-Length N, N+5000 bytes sent
  /loop/K                302 to /loop/K+1, for ever
  /noloc/N               302 without Location, with an N-byte body
  /status/CODE/N         status CODE with an N-byte body
  /phrase/CODE/HEX       status CODE, no body, with the bytes HEX as its reason phrase
  /once/KIND/N/NAME      misbehaves at the first request for this path, then serves N bytes that
                         can be resumed (strong ETag, "Range: bytes=A-" with If-Range -> 206).
                         KIND: reset (N/2 bytes of the N announced, then a TCP reset), or
                         busy-S (503 with "Retry-After: S" and a 2000-byte body)
                         or crawl (N/2 bytes of N, then one byte every 100 ms for as long
                         as the client stays)
"""
import os
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def pattern(n, start=0):
    return bytes(((i * 7 + (i >> 10)) & 0xFF) for i in range(start, start + n))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."
    seen = set()  # paths of /once/ already asked for
    seen_lock = threading.Lock()

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
        self.wfile.flush()

    def close_now(self):
        self.wfile.flush()
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.close_connection = True

    def silence(self):
        # Holds the connection open without a byte until the client gives up.
        while True:
            try:
                if not self.connection.recv(1):
                    return
            except OSError:
                return

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        p = url.path.strip("/").split("/")
        try:
            route = p[0]
            if route == "files":
                path = os.path.join(self.root, *[urllib.parse.unquote(x) for x in p[1:]])
                if not os.path.isfile(path):
                    body = b"not found" * 300
                    self.head(404, len(body))
                    self.wfile.write(body)
                    return
                size = os.path.getsize(path)
                self.head(200, size)
                with open(path, "rb") as f:
                    self.connection.sendfile(f)
            elif route == "hang":
                self.silence()
            elif route == "nobody":
                self.head(200, int(p[1]))
                self.silence()
            elif route == "drip":
                first, n, ms = int(p[1]), int(p[2]), int(p[3])
                self.head(200, first + n)
                self.wfile.write(pattern(first))
                self.wfile.flush()
                for i in range(n):
                    time.sleep(ms / 1000.0)
                    self.wfile.write(pattern(1, first + i))
                    self.wfile.flush()
            elif route == "pieces":
                n, first, ms = int(p[1]), int(p[2]), int(p[3])
                data = pattern(n)
                self.head(200, n)
                time.sleep(ms / 1000.0)
                self.wfile.write(data[:first])
                self.wfile.flush()
                time.sleep(ms / 1000.0)
                self.wfile.write(data[first:])
            elif route == "trickle":
                n, k, ms = int(p[1]), int(p[2]), int(p[3])
                data = pattern(n)
                self.head(200, n)
                for i in range(k):
                    self.wfile.write(data[i:i + 1])
                    self.wfile.flush()
                    time.sleep(ms / 1000.0)
                self.wfile.write(data[k:])
            elif route == "endless":
                self.head(200, None, [("Transfer-Encoding", "chunked")])
                chunk = pattern(65536)
                piece = b"%x\r\n" % len(chunk) + chunk + b"\r\n"
                while True:
                    self.wfile.write(piece)
            elif route == "close-mid":
                n = int(p[1])
                self.head(200, None, [("Transfer-Encoding", "chunked")])
                data = pattern(n // 2)
                self.wfile.write(b"%x\r\n" % len(data) + data + b"\r\n")
                self.close_now()
            elif route == "short":
                n = int(p[1])
                self.head(200, n)
                self.wfile.write(pattern(n - 100))
                self.close_now()
            elif route == "long":
                n = int(p[1])
                self.head(200, n)
                self.wfile.write(pattern(n + 5000))
                self.close_now()
            elif route == "loop":
                k = int(p[1])
                self.head(302, 0, [("Location", "/loop/%d" % (k + 1))])
            elif route == "noloc":
                n = int(p[1])
                self.head(302, n)
                self.wfile.write(pattern(n))
            elif route == "once":
                self.once(p[1], int(p[2]))
            elif route == "phrase":
                self.wfile.write(b"HTTP/1.1 %s %s\r\nContent-Length: 0\r\n\r\n" % (p[1].encode(), bytes.fromhex(p[2])))
                self.close_now()
            elif route == "status":
                code, n = int(p[1]), int(p[2])
                self.head(code, n)
                self.wfile.write(pattern(n))
            else:
                self.head(404, 2000)
                self.wfile.write(b"x" * 2000)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
            pass


    def once(self, kind, n):
        with Handler.seen_lock:
            first = self.path not in Handler.seen
            Handler.seen.add(self.path)
        etag = '"once-%d"' % n
        if first and kind == "reset":
            self.head(200, n, [("ETag", etag), ("Accept-Ranges", "bytes")])
            self.wfile.write(pattern(n // 2))
            self.wfile.flush()
            # The client has read what came before the reset, so the partial file is exact.
            time.sleep(0.5)
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            self.close_connection = True
            return
        if first and kind == "crawl":
            self.head(200, n, [("ETag", etag), ("Accept-Ranges", "bytes")])
            self.wfile.write(pattern(n // 2))
            for i in range(n // 2, n - 1):
                self.wfile.flush()
                time.sleep(0.1)
                self.wfile.write(pattern(1, i))
            return
        if first and kind.startswith("busy-"):
            self.head(503, 2000, [("Retry-After", kind[5:])])
            self.wfile.write(b"b" * 2000)
            return
        asked = self.headers.get("Range", "")
        start = 0
        if asked.startswith("bytes=") and asked.endswith("-") and self.headers.get("If-Range") == etag:
            start = int(asked[6:-1])
        if 0 < start < n:
            extra = [("ETag", etag), ("Content-Range", "bytes %d-%d/%d" % (start, n - 1, n))]
            self.head(206, n - start, extra)
        else:
            start = 0
            self.head(200, n, [("ETag", etag), ("Accept-Ranges", "bytes")])
        self.wfile.write(pattern(n - start, start))


def serve_http(args):
    Handler.root = args[0]
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if "--cert" in args:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(args[args.index("--cert") + 1], args[args.index("--key") + 1])
        server.socket = ctx.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


def serve_ftp(args):
    import logging

    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
    from pyftpdlib.servers import FTPServer

    logging.basicConfig(level=logging.CRITICAL)
    logging.getLogger("pyftpdlib").setLevel(logging.CRITICAL)
    root, mode = args[0], args[1]
    authorizer = DummyAuthorizer()
    if mode == "deny":
        # Only a named user exists: the anonymous login is refused with 530.
        authorizer.add_user("someone", "secret", root)
    else:
        authorizer.add_anonymous(root)

    class Faulty(FTPHandler):
        def ftp_RETR(self, file):
            if mode == "refuse-retr":
                self.respond("550 Permission denied.")
                return
            return FTPHandler.ftp_RETR(self, file)

        def ftp_EPSV(self, line):
            if mode == "no-data":
                self.respond("229 Entering extended passive mode (|||%d|)." % dead_port)
                return
            return FTPHandler.ftp_EPSV(self, line)

        def ftp_PASV(self, line):
            if mode == "no-data":
                self.respond("227 Entering passive mode (127,0,0,1,%d,%d)." % divmod(dead_port, 256))
                return
            return FTPHandler.ftp_PASV(self, line)

    # A port where nothing listens: bound, then released.
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    dead_port = s.getsockname()[1]
    s.close()

    Faulty.authorizer = authorizer
    Faulty.passive_ports = None
    if mode.startswith("slow:"):
        dtp = ThrottledDTPHandler
        dtp.write_limit = int(mode.split(":")[1])
        # Small sends, so the limit holds from the first bytes on.
        dtp.ac_out_buffer_size = 4096
        Faulty.dtp_handler = dtp
    server = FTPServer(("127.0.0.1", 0), Faulty)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever()


def main():
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    kind, args = sys.argv[1], sys.argv[2:]
    if kind == "http":
        serve_http(args)
    elif kind == "ftp":
        serve_ftp(args)
    else:
        sys.exit("unknown server kind " + kind)


if __name__ == "__main__":
    main()
