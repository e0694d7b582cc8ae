#!/usr/bin/python3
"""Local anonymous FTP server over ROOT (pyftpdlib) for the transfer tests.

Usage: ftp_server.py ROOT [--command-log FILE]
Binds 127.0.0.1 on a free port and prints that port on the first line of stdout.
With --command-log, every command received (SIZE, MDTM, REST, RETR, ...) is appended to FILE,
one line each, as the client sent it.
"""
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    logging.basicConfig(level=logging.CRITICAL)
    logging.getLogger("pyftpdlib").setLevel(logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(sys.argv[1])
    handler = FTPHandler
    if "--command-log" in sys.argv:
        log_path = sys.argv[sys.argv.index("--command-log") + 1]

        class Logging(FTPHandler):
            def pre_process_command(self, line, cmd, arg):
                with open(log_path, "a") as f:
                    f.write(line + "\n")
                return FTPHandler.pre_process_command(self, line, cmd, arg)

        handler = Logging
    handler.authorizer = authorizer
    handler.passive_ports = None
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.socket.getsockname()[1], flush=True)
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
