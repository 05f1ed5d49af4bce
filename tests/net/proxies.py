#!/usr/bin/python3
"""Starts or stops the proxies the socket tests talk to: a SOCKS 4/4a/5 server (dante) and an
HTTP proxy with Basic authentication (tinyproxy), each on its own free loopback port.

  proxies.py start DIR   writes DIR/ports ("socks=N", "http=N") once both accept connections
  proxies.py stop DIR    ends the processes recorded in DIR/pids
"""
import os
import signal
import socket
import subprocess
import sys
import time

HTTP_USER, HTTP_PASSWORD = "joe", "s3cret"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_ready(port, proc, name, log):
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            sys.exit(f"{name} ended at start (status {proc.returncode}); see {log}")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    sys.exit(f"{name} does not accept connections on 127.0.0.1:{port}; see {log}")


def start(d):
    os.makedirs(d, exist_ok=True)
    stop(d)
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
    pids = []
    for name, port, log, argv in procs:
        out = open(f"{d}/{name}.out", "w")
        p = subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                             start_new_session=True)
        pids.append(p.pid)
        with open(f"{d}/pids", "w") as f:
            f.write("\n".join(map(str, pids)) + "\n")
        wait_ready(port, p, name, f"{d}/{name}.out")
    with open(f"{d}/ports.tmp", "w") as f:
        f.write(f"socks={socks}\nhttp={http}\nhttp_user={HTTP_USER}\nhttp_password={HTTP_PASSWORD}\n")
    os.replace(f"{d}/ports.tmp", f"{d}/ports")
    print(f"danted on {socks}, tinyproxy on {http}")


def stop(d):
    try:
        with open(f"{d}/pids") as f:
            pids = [int(x) for x in f.read().split()]
    except FileNotFoundError:
        return
    for pid in pids:
        # Each server leads its own session: its workers go with it.
        try:
            os.killpg(pid, signal.SIGTERM)
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
    (start if sys.argv[1] == "start" else stop)(sys.argv[2])
