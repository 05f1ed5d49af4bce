#!/usr/bin/python3
"""Starts or stops the nginx the download tests fetch from: one process on a free loopback
port, its own prefix in DIR, serving DIR/www with files made here (the same bytes as Pattern()
in tests/download/download_helpers.cpp) and logging each request's status and Range header.

  nginx.py start DIR   writes DIR/ports ("http=N", "log=PATH") once nginx answers
  nginx.py stop DIR    ends the process recorded in DIR/pids
"""
import os
import signal
import socket
import subprocess
import sys
import time

FILES = {"a.zip": 300000}


def pattern(size, offset=0):
    return bytes((offset + i) * 131 % 251 for i in range(size))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_ready(port, proc, log):
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            sys.exit(f"nginx ended at start (status {proc.returncode}); see {log}")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    sys.exit(f"nginx does not accept connections on 127.0.0.1:{port}; see {log}")


def start(d):
    os.makedirs(f"{d}/www", exist_ok=True)
    os.makedirs(f"{d}/logs", exist_ok=True)
    os.makedirs(f"{d}/tmp", exist_ok=True)
    stop(d)
    for name, size in FILES.items():
        with open(f"{d}/www/{name}", "wb") as f:
            f.write(pattern(size))
    port = free_port()
    access = f"{d}/logs/access.log"
    if os.path.exists(access):
        os.remove(access)
    with open(f"{d}/nginx.conf", "w") as f:
        f.write(f"""daemon off;
master_process off;
pid {d}/nginx.pid;
error_log {d}/logs/error.log;
events {{ worker_connections 64; }}
http {{
  log_format ranges '$request_uri $status "$http_range"';
  access_log {access} ranges;
  client_body_temp_path {d}/tmp;
  proxy_temp_path {d}/tmp;
  fastcgi_temp_path {d}/tmp;
  uwsgi_temp_path {d}/tmp;
  scgi_temp_path {d}/tmp;
  default_type application/octet-stream;
  server {{ listen 127.0.0.1:{port}; root {d}/www; }}
}}
""")
    out = open(f"{d}/nginx.out", "w")
    p = subprocess.Popen(["/usr/sbin/nginx", "-p", d, "-c", f"{d}/nginx.conf"], stdout=out,
                         stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                         start_new_session=True)
    with open(f"{d}/pids", "w") as f:
        f.write(f"{p.pid}\n")
    wait_ready(port, p, f"{d}/nginx.out")
    with open(f"{d}/ports.tmp", "w") as f:
        f.write(f"http={port}\nlog={access}\n")
    os.replace(f"{d}/ports.tmp", f"{d}/ports")
    print(f"nginx on {port}")


def stop(d):
    try:
        with open(f"{d}/pids") as f:
            pids = [int(x) for x in f.read().split()]
    except FileNotFoundError:
        return
    for pid in pids:
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
    for pid in pids:
        for _ in range(100):
            try:
                os.waitpid(pid, os.WNOHANG)
                os.kill(pid, 0)
            except (ProcessLookupError, ChildProcessError):
                break
            time.sleep(0.05)
    for name in ("pids", "ports"):
        try:
            os.remove(f"{d}/{name}")
        except FileNotFoundError:
            pass


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop"):
        sys.exit(__doc__)
    (start if sys.argv[1] == "start" else stop)(os.path.abspath(sys.argv[2]))
