#!/usr/bin/python3
"""nginx (Debian nginx-light) over ROOT on 127.0.0.1 for the transfer tests.

Usage: nginx_server.py ROOT ACCESS_LOG
Prints the port on the first line of stdout and stops nginx when stdin is closed. Every request
is logged to ACCESS_LOG as "<uri> <status> <body bytes>". /novalidator.bin sends 1500 bytes
with neither ETag nor Last-Modified.
"""
import os, socket, subprocess, sys, tempfile

root, log = sys.argv[1], sys.argv[2]
os.chmod(root, 0o755)  # run as root, nginx reads files as an unprivileged worker
work = tempfile.mkdtemp(prefix="pomvex-nginx-")
with socket.socket() as s:
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
temps = "".join(f"{k}_temp_path {work};" for k in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
with open(os.path.join(work, "nginx.conf"), "w") as f:
    f.write(f"""worker_processes 1; daemon off; pid {work}/nginx.pid; error_log {work}/error.log;
events {{ worker_connections 64; }}
http {{ {temps} log_format t '$uri $status $body_bytes_sent'; access_log {log} t;
  server {{ listen 127.0.0.1:{port}; root {root};
    location = /novalidator.bin {{ return 200 "{'x' * 1500}"; }} }} }}
""")
nginx = subprocess.Popen(["/usr/sbin/nginx", "-c", work + "/nginx.conf", "-p", work + "/"])
while nginx.poll() is None:
    try:
        socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
        break
    except OSError:
        pass
print(port, flush=True)
sys.stdin.read()
nginx.terminate()
nginx.wait()
