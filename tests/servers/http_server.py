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
  /range/NAME?OPTIONS   the file ROOT/NAME as a server that resumes: ETag (from the bytes, so a
                        rewritten file has a new one) and Last-Modified (the file's time), one
                        "Range: bytes=A-" or "bytes=A-B" answered with 206 (416 past the end),
                        If-Range compared with the current ETag or date. OPTIONS, all optional:
                          validators=etag,weak,date  which validators to send (default
                                                     etag,date; "none" for none); a weak ETag
                                                     never matches If-Range
                          ranges=ignore              always 200 with the whole file
                          start=K                    a range is answered from byte K instead
                          last=B                     a range is answered up to byte B only
                          unasked=K                  a request without Range is answered with
                                                     206 and the bytes from K on
                          cut=N                      the first request for this exact URL gets
                                                     N bytes of the body, then the connection
                                                     closes; later ones are whole
                          slow=MS                    1024-byte pieces MS milliseconds apart
  /requests/NAME        the requests /range/NAME received so far, in order: the request line
                        and its header lines, each request ended by an empty line
"""
import email.utils
import hashlib
import io
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
    lock = threading.Lock()
    requests = {}  # NAME -> text of the requests /range/NAME received
    cut_done = set()  # URLs whose one cut response was sent

    def log_message(self, fmt, *args):
        pass

    def head(self, code, length=None, extra=(), body=b""):
        # A body given here leaves in the same write as the header block, as a server sends a
        # small reply: the client then meets the header, the bytes and the end in one read.
        self.send_response(code)
        if length is not None:
            self.send_header("Content-Length", str(length))
        for k, v in extra:
            self.send_header(k, v)
        self.send_header("Connection", "close")
        real, self.wfile = self.wfile, io.BytesIO()
        try:
            self.end_headers()
        finally:
            block, self.wfile = self.wfile.getvalue(), real
        self.wfile.write(block + body)

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
                self.head(200, n, body=pattern(n - 100))
                self.abort()
            elif parts[0] == "close-mid":
                n = int(parts[1])
                data = pattern(n // 2)
                self.head(200, None, [("Transfer-Encoding", "chunked")],
                          b"%x\r\n" % len(data) + data + b"\r\n")
                self.abort()
            elif parts[0] == "range" and len(parts) >= 2:
                self.serve_range("/".join(urllib.parse.unquote(p) for p in parts[1:]), url)
            elif parts[0] == "requests" and len(parts) >= 2:
                name = "/".join(urllib.parse.unquote(p) for p in parts[1:])
                with Handler.lock:
                    body = Handler.requests.get(name, "").encode("latin-1")
                self.head(200, len(body))
                self.wfile.write(body)
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

    def serve_range(self, name, url):
        with Handler.lock:
            record = self.requestline + "\r\n" + "".join(
                "%s: %s\r\n" % (k, v) for k, v in self.headers.items()) + "\r\n"
            Handler.requests[name] = Handler.requests.get(name, "") + record
            first_cut = url.geturl() not in Handler.cut_done
            Handler.cut_done.add(url.geturl())
        opts = {k: v[0] for k, v in urllib.parse.parse_qs(url.query).items()}
        path = os.path.join(self.root, name)
        if not os.path.isfile(path):
            self.head(404, 0)
            return
        with open(path, "rb") as f:
            data = f.read()
        kinds = opts.get("validators", "etag,date").split(",")
        tag = '"%s"' % hashlib.sha256(data).hexdigest()[:20]
        date = email.utils.formatdate(int(os.path.getmtime(path)), usegmt=True)
        extra = [("Accept-Ranges", "bytes")]
        if "etag" in kinds:
            extra.append(("ETag", tag))
        if "weak" in kinds:
            extra.append(("ETag", "W/" + tag))
        if "date" in kinds:
            extra.append(("Last-Modified", date))

        code, first = 200, 0
        wanted = self.headers.get("Range", "")
        if_range = self.headers.get("If-Range")
        still = if_range is None or (if_range == tag and "etag" in kinds) or (
            if_range == date and "date" in kinds)
        if wanted.startswith("bytes=") and opts.get("ranges") != "ignore" and still:
            a, _, b = wanted[6:].partition("-")
            if a.isdigit() and (b == "" or b.isdigit()) and "," not in wanted:
                first = int(a)
                if first >= len(data):
                    self.head(416, 0, extra + [("Content-Range", "bytes */%d" % len(data))])
                    return
                code = 206
                if "start" in opts:
                    first = int(opts["start"])
                size = len(data)
                last = min(int(b), size - 1) if b else size - 1
                if "last" in opts:
                    last = int(opts["last"])
                data = data[first:last + 1]
                extra.append(("Content-Range", "bytes %d-%d/%d" % (first, last, size)))
        if not wanted and "unasked" in opts:
            code, first = 206, int(opts["unasked"])
            extra.append(("Content-Range", "bytes %d-%d/%d" % (first, len(data) - 1, len(data))))
            data = data[first:]
        self.head(code, len(data), extra)
        if "cut" in opts and first_cut:
            self.wfile.write(data[:int(opts["cut"])])
            self.abort()
            return
        pause = int(opts.get("slow", "0")) / 1000.0
        step = 1024 if pause else 1 << 20
        for i in range(0, len(data), step):
            self.wfile.write(data[i:i + step])
            if pause:
                self.wfile.flush()
                time.sleep(pause)


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
