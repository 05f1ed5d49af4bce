#!/usr/bin/python3
"""Starts or stops the proxies the socket tests talk to: a SOCKS 4/4a/5 server (dante) and an
HTTP proxy with Basic authentication (tinyproxy), each on its own free loopback port.

  proxies.py start DIR   writes DIR/ports ("socks=N", "http=N") once both accept connections
  proxies.py stop DIR    ends the processes recorded in DIR/pids
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from fixture_servers import free_port, main, start_server, write_ports  # noqa: E402

HTTP_USER, HTTP_PASSWORD = "joe", "s3cret"


def start(d):
    socks, http = free_port(), free_port()
    with open(f"{d}/danted.conf", "w") as f:
        f.write(f"""logoutput: {d}/danted.log
internal: 127.0.0.1 port = {socks}
external: 127.0.0.1
clientmethod: none
socksmethod: none
user.privileged: root
user.unprivileged: nobody
client pass {{
  from: 127.0.0.0/8 to: 0.0.0.0/0
  log: error
}}
socks pass {{
  from: 127.0.0.0/8 to: 127.0.0.0/8
  command: connect bind bindreply
  log: error connect
}}
socks block {{
  from: 0.0.0.0/0 to: 0.0.0.0/0
  log: error connect
}}
""")
    with open(f"{d}/tinyproxy.conf", "w") as f:
        f.write(f"""Port {http}
Listen 127.0.0.1
Timeout 60
MaxClients 16
Allow 127.0.0.1
BasicAuth {HTTP_USER} {HTTP_PASSWORD}
LogFile "{d}/tinyproxy.log"
LogLevel Info
""")
    os.chmod(d, 0o777)  # tinyproxy writes its log as an unprivileged user
    procs = [
        ("danted", socks, f"{d}/danted.log",
         ["/usr/sbin/danted", "-f", f"{d}/danted.conf", "-p", f"{d}/danted.pid"]),
        ("tinyproxy", http, f"{d}/tinyproxy.log",
         ["/usr/bin/tinyproxy", "-d", "-c", f"{d}/tinyproxy.conf"]),
    ]
    for name, port, log, argv in procs:
        start_server(d, name, port, argv)
    write_ports(d, {"socks": socks, "http": http, "http_user": HTTP_USER,
                    "http_password": HTTP_PASSWORD})
    print(f"danted on {socks}, tinyproxy on {http}")


if __name__ == "__main__":
    main(__doc__, start)
