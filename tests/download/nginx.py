#!/usr/bin/python3
"""Starts or stops the nginx the download tests fetch from: one process on a free loopback
port, its own prefix in DIR, serving DIR/www with files made here (the same bytes as Pattern()
in tests/download/download_helpers.cpp) and logging each request's status and Range header.

  nginx.py start DIR   writes DIR/ports ("http=N", "log=PATH") once nginx answers
  nginx.py stop DIR    ends the process recorded in DIR/pids
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from fixture_servers import free_port, main, start_server, write_nginx_conf, write_ports  # noqa: E402

FILES = {"a.zip": 300000}


def pattern(size, offset=0):
    return bytes((offset + i) * 131 % 251 for i in range(size))


def start(d):
    os.makedirs(f"{d}/www", exist_ok=True)
    os.makedirs(f"{d}/logs", exist_ok=True)
    os.makedirs(f"{d}/tmp", exist_ok=True)
    for name, size in FILES.items():
        with open(f"{d}/www/{name}", "wb") as f:
            f.write(pattern(size))
    port = free_port()
    access = f"{d}/logs/access.log"
    if os.path.exists(access):
        os.remove(access)
    write_nginx_conf(d, f"""  log_format ranges '$request_uri $status "$http_range"';
  access_log {access} ranges;
  server {{ listen 127.0.0.1:{port}; root {d}/www; }}""")
    start_server(d, "nginx", port, ["/usr/sbin/nginx", "-p", d, "-c", f"{d}/nginx.conf"])
    write_ports(d, {"http": port, "log": access})
    print(f"nginx on {port}")


if __name__ == "__main__":
    main(__doc__, start)
