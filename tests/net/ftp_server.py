#!/usr/bin/python3
"""Starts or stops the FTP servers the FTP client and download tests talk to (Debian's
python3-pyftpdlib, run by /usr/bin/python3): one on 127.0.0.1 and, when the machine has it, one
on ::1, each on a free port, both serving DIR/root. DIR/root holds a.zip (the same bytes as
Pattern() in tests/download/download_helpers.cpp) and an empty directory "up" for uploads.
User "veltra" with password "segredo" may do everything; "anonymous" may only read.
Every command is logged ("<- COMMAND") to DIR/ftp.log and DIR/ftp6.log.

  ftp_server.py start DIR   writes DIR/ports ("ftp=N", "ftp6=N" or none, "root=PATH",
                            "log=PATH") once the servers answer
  ftp_server.py stop DIR    ends the processes recorded in DIR/pids
  ftp_server.py serve ADDRESS PORT ROOT LOG   (what start runs)
"""
import os
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from fixture_servers import free_port, main, start_server, write_ports  # noqa: E402

FILES = {"a.zip": 300000}


def pattern(size, offset=0):
    return bytes((offset + i) * 131 % 251 for i in range(size))


def serve(address, port, root, log):
    import logging
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import ThreadedFTPServer

    logging.basicConfig(filename=log, level=logging.DEBUG, format="%(message)s")
    authorizer = DummyAuthorizer()
    authorizer.add_user("veltra", "segredo", root, perm="elradfmwMT")
    authorizer.add_anonymous(root)
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "Veltra test server ready."
    handler.auth_failed_timeout = 0  # a refused login answers at once
    # A thread per session: with one loop for all, a session was seen starving the others (a
    # new client's USER left unread for minutes while the tests ran one after another).
    ThreadedFTPServer((address, port), handler).serve_forever()


def free_port6():
    with socket.socket(socket.AF_INET6) as s:
        s.bind(("::1", 0))
        return s.getsockname()[1]


def wait_ready6(port):
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("::1", port), timeout=1).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def start(d):
    root = f"{d}/root"
    os.makedirs(f"{root}/up", exist_ok=True)
    for name, size in FILES.items():
        with open(f"{root}/{name}", "wb") as f:
            f.write(pattern(size))
    me = os.path.abspath(__file__)
    settings = {"root": root, "log": f"{d}/ftp.log"}
    port = free_port()
    start_server(d, "ftp", port, ["/usr/bin/python3", me, "serve", "127.0.0.1", str(port), root,
                                  f"{d}/ftp.log"])
    settings["ftp"] = port
    try:
        port6 = free_port6()
    except OSError:
        port6 = None
    if port6 is not None:
        # Started like the first; its readiness is checked over ::1.
        out = open(f"{d}/ftp6.out", "w")
        p = subprocess.Popen(["/usr/bin/python3", me, "serve", "::1", str(port6), root,
                              f"{d}/ftp6.log"], stdout=out, stderr=subprocess.STDOUT,
                             stdin=subprocess.DEVNULL, start_new_session=True)
        with open(f"{d}/pids", "a") as f:
            f.write(f"{p.pid}\n")
        if wait_ready6(port6):
            settings["ftp6"] = port6
    write_ports(d, settings)
    print(f"ftp on {port}" + (f", ::1 on {settings['ftp6']}" if "ftp6" in settings else ""))


if __name__ == "__main__":
    if len(sys.argv) == 6 and sys.argv[1] == "serve":
        serve(sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5])
    else:
        main(__doc__, start)
