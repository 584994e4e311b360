"""A real FTP server for the tests: pyftpdlib on 127.0.0.1, a free port, the given root.

Prints "PORT <n>" on standard output once it listens, then serves until killed. The --fault
option makes one part of the protocol fail the way a real server or network would:
  refuse-rename   RNTO is answered 550
  drop-download   the data connection breaks off half-way through a RETR (426 reply)
  short-download  a RETR ends half-way with a normal 226 reply, as a cut-off file would
  endless-download  a RETR sends the file, then more bytes without end (SIZE tells the real size)
  drop-upload     the data connection breaks off after the first 1024 bytes of a STOR (426)
  silent          connections are accepted and never answered
  bad-passive     passive replies name a port where nothing listens: no data connection opens
The --log option appends every command line the server receives to a file, one per line.
"""
import argparse
import os
import socket
import threading
import time

parser = argparse.ArgumentParser()
parser.add_argument("--root", required=True)
parser.add_argument("--user", default="")
parser.add_argument("--password", default="")
parser.add_argument("--fault", default="none")
parser.add_argument("--log", default="")
args = parser.parse_args()


def end_with_parent():
    """A test killed before it could stop the server (a time-out) leaves no server behind."""
    parent = os.getppid()
    while os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)


threading.Thread(target=end_with_parent, daemon=True).start()

if args.fault == "silent":
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    held = []
    while True:
        conn, _ = listener.accept()
        held.append(conn)  # kept open, never answered

import logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

logging.basicConfig(level=logging.CRITICAL)


class BreakingReader:
    """Gives the first half of the file, then fails (or ends, when short)."""

    def __init__(self, f, short):
        self._f = f
        self._short = short
        self._limit = max(1, len(f.read()) // 2)
        f.seek(0)
        self._given = 0
        self.name = f.name
        self.closed = False

    def read(self, size=-1):
        if self._given >= self._limit:
            if self._short:
                return b""
            raise OSError(5, "Input/output error")
        want = self._limit - self._given if size < 0 else min(size, self._limit - self._given)
        data = self._f.read(want)
        self._given += len(data)
        return data

    def close(self):
        self.closed = True
        self._f.close()


class EndlessReader:
    """Gives the file, then bytes for ever: a server that sends more than it announced."""

    def __init__(self, f):
        self._f = f
        self.name = f.name
        self.closed = False

    def read(self, size=-1):
        data = self._f.read(size if size > 0 else 65536)
        return data if data else b"x" * (size if size > 0 else 65536)

    def close(self):
        self.closed = True
        self._f.close()


class BreakingWriter:
    """Takes the first 1024 bytes, then fails."""

    def __init__(self, f):
        self._f = f
        self._taken = 0
        self.name = f.name
        self.closed = False

    def write(self, data):
        room = 1024 - self._taken
        if len(data) > room:
            self._f.write(data[:max(0, room)])
            self._taken = 1024
            raise OSError(28, "No space left on device")
        self._taken += len(data)
        return self._f.write(data)

    def close(self):
        self.closed = True
        self._f.close()


class FaultFS(AbstractedFS):
    def open(self, filename, mode):
        f = super().open(filename, mode)
        if "r" in mode and args.fault in ("drop-download", "short-download"):
            return BreakingReader(f, args.fault == "short-download")
        if "r" in mode and args.fault == "endless-download":
            return EndlessReader(f)
        if ("w" in mode or "a" in mode) and args.fault == "drop-upload":
            return BreakingWriter(f)
        return f


class Handler(FTPHandler):
    abstracted_fs = FaultFS
    use_sendfile = False
    passive_ports = None

    def pre_process_command(self, line, cmd, arg):
        if args.log:
            with open(args.log, "a", encoding="utf-8", errors="replace") as log:
                log.write(line + "\n")
        return super().pre_process_command(line, cmd, arg)

    def ftp_EPSV(self, line):
        if args.fault == "bad-passive":
            self.respond("229 Entering extended passive mode (|||1|).")
            return
        return super().ftp_EPSV(line)

    def ftp_PASV(self, line):
        if args.fault == "bad-passive":
            self.respond("227 Entering passive mode (127,0,0,1,0,1).")
            return
        return super().ftp_PASV(line)

    def ftp_RNTO(self, path):
        if args.fault == "refuse-rename":
            self.respond("550 Rename refused by the test server.")
            return
        return super().ftp_RNTO(path)


authorizer = DummyAuthorizer()
if args.user:
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
else:
    authorizer.add_anonymous(args.root, perm="elradfmwMT")
Handler.authorizer = authorizer
Handler.banner = "Tresorin test server ready."
server = FTPServer(("127.0.0.1", 0), Handler)
print("PORT %d" % server.socket.getsockname()[1], flush=True)
server.serve_forever(timeout=0.5, handle_exit=True)
