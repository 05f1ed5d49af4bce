"""What the ctest fixtures that start real servers share: a free loopback port, starting a
server in its own session and waiting until it accepts connections, the "key=value" ports file
the tests read, and stopping the servers recorded in DIR/pids by their PIDs."""
import os
import signal
import socket
import subprocess
import sys
import time


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


def start_server(d, name, port, argv):
    """Starts argv as the leader of its own session (its workers go with it at the stop),
    records its PID in DIR/pids and waits for its port."""
    out = open(f"{d}/{name}.out", "w")
    p = subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                         start_new_session=True)
    with open(f"{d}/pids", "a") as f:
        f.write(f"{p.pid}\n")
    wait_ready(port, p, name, f"{d}/{name}.out")


def write_nginx_conf(d, http):
    """DIR/nginx.conf for one foreground nginx process whose files all stay in DIR; `http` is
    the inside of its http block (logs, servers)."""
    with open(f"{d}/nginx.conf", "w") as f:
        f.write(f"""daemon off;
master_process off;
pid {d}/nginx.pid;
error_log {d}/logs/error.log;
events {{ worker_connections 64; }}
http {{
  client_body_temp_path {d}/tmp;
  proxy_temp_path {d}/tmp;
  fastcgi_temp_path {d}/tmp;
  uwsgi_temp_path {d}/tmp;
  scgi_temp_path {d}/tmp;
  default_type application/octet-stream;
{http}
}}
""")


def write_ports(d, settings):
    with open(f"{d}/ports.tmp", "w") as f:
        f.write("".join(f"{k}={v}\n" for k, v in settings.items()))
    os.replace(f"{d}/ports.tmp", f"{d}/ports")


def stop(d):
    try:
        with open(f"{d}/pids") as f:
            pids = [int(x) for x in f.read().split()]
    except FileNotFoundError:
        return
    for pid in pids:
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


def main(doc, start):
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop"):
        sys.exit(doc)
    d = os.path.abspath(sys.argv[2])
    if sys.argv[1] == "start":
        os.makedirs(d, exist_ok=True)
        stop(d)
        start(d)
    else:
        stop(d)
