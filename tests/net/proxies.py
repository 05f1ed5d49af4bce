#!/usr/bin/python3
"""Starts or stops the proxies the socket and installation tests talk to: a SOCKS 4/4a/5 server
(dante) and two HTTP proxies with Basic authentication (tinyproxy, and squid checking the
password with basic_ncsa_auth), each on its own free loopback port.

  proxies.py start DIR   writes DIR/ports ("socks=N", "http=N", "squid=N") once all accept
                         connections
  proxies.py stop DIR    ends the processes recorded in DIR/pids
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from fixture_servers import free_port, main, start_server, write_ports  # noqa: E402

HTTP_USER, HTTP_PASSWORD = "joe", "s3cret"


def squid_conf(d, port):
    # A refused login is answered 407 here (tinyproxy answers it 401).
    digest = subprocess.run(["openssl", "passwd", "-apr1", HTTP_PASSWORD], check=True,
                            capture_output=True, text=True).stdout.strip()
    with open(f"{d}/squid.passwd", "w") as f:
        f.write(f"{HTTP_USER}:{digest}\n")
    with open(f"{d}/squid.conf", "w") as f:
        f.write(f"""http_port 127.0.0.1:{port}
pid_filename {d}/squid.pid
access_log {d}/squid-access.log
cache_log {d}/squid-cache.log
cache_store_log none
coredump_dir {d}
cache deny all
shutdown_lifetime 0 seconds
auth_param basic program /usr/lib/squid/basic_ncsa_auth {d}/squid.passwd
auth_param basic realm Veltra
acl login proxy_auth REQUIRED
http_access allow login
http_access deny all
""")


def start(d):
    socks, http, squid = free_port(), free_port(), free_port()
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
    squid_conf(d, squid)
    os.chmod(d, 0o777)  # tinyproxy and squid write their logs as unprivileged users
    procs = [
        ("danted", socks, f"{d}/danted.log",
         ["/usr/sbin/danted", "-f", f"{d}/danted.conf", "-p", f"{d}/danted.pid"]),
        ("tinyproxy", http, f"{d}/tinyproxy.log",
         ["/usr/bin/tinyproxy", "-d", "-c", f"{d}/tinyproxy.conf"]),
        ("squid", squid, f"{d}/squid-cache.log",
         ["/usr/sbin/squid", "-N", "-f", f"{d}/squid.conf"]),
    ]
    for name, port, log, argv in procs:
        start_server(d, name, port, argv)
    write_ports(d, {"socks": socks, "http": http, "squid": squid, "http_user": HTTP_USER,
                    "http_password": HTTP_PASSWORD})
    print(f"danted on {socks}, tinyproxy on {http}, squid on {squid}")


if __name__ == "__main__":
    main(__doc__, start)
