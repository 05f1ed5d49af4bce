#!/usr/bin/env bash
# FTP download benchmark over loopback (a benchmark, not a test; run it on a quiet machine):
# a MIB MiB file from pyftpdlib (Debian's python3-pyftpdlib, sendfile on) fetched by
# veltra-fetch and by `curl -s -o` (passive mode), interleaved, ROUNDS times each (the order
# alternates between rounds). The served file is sparse, so the page cache serves it; the
# downloads are written to /dev/shm when it exists, so that the disk does not set the pace.
# Prints medians with min-max of wall time, CPU time (user + sys) and peak RSS, and the ratios.
#   bench/ftp/run.sh        MIB=512 ROUNDS=3 NATIVE=build/native
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native=${NATIVE:-$root/build/native}
mib=${MIB:-512}
rounds=${ROUNDS:-3}
fetch=$native/tools/veltra-fetch
[[ -x "$fetch" ]] || { echo "build the native tree first: cmake --build --preset native" >&2; exit 1; }
/usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null ||
  { echo "python3-pyftpdlib is missing (scripts/setup installs it)" >&2; exit 1; }

work=$(mktemp -d)
if [[ -d /dev/shm && -w /dev/shm ]]; then out=$(mktemp -d /dev/shm/vlt-bench-ftp.XXXXXX); else out=$work/out; mkdir -p "$out"; fi
ftp_pid=""
cleanup() {
  [[ -n "$ftp_pid" ]] && kill "$ftp_pid" 2>/dev/null && wait "$ftp_pid" 2>/dev/null || true
  rm -rf "$work" "$out"
}
trap cleanup EXIT

mkdir -p "$work/times" "$work/root"
truncate -s "${mib}M" "$work/root/big.bin"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
/usr/bin/python3 - "$port" "$work/root" > "$work/ftp.out" 2>&1 <<'PY' &
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.basicConfig(level=logging.WARNING)
auth = DummyAuthorizer()
auth.add_anonymous(sys.argv[2])
FTPHandler.authorizer = auth
FTPServer(("127.0.0.1", int(sys.argv[1])), FTPHandler).serve_forever()
PY
ftp_pid=$!
url="ftp://127.0.0.1:$port/big.bin"
for _ in $(seq 200); do
  curl -s -o /dev/null --max-filesize 1 "ftp://127.0.0.1:$port/" && break
  kill -0 "$ftp_pid" 2>/dev/null || { cat "$work/ftp.out" >&2; exit 1; }
  sleep 0.05
done

# measure NAME CMD...: one run, "wall user sys maxrss_kb" appended to times/NAME.
source "$root/bench/timing.sh"

# A first transfer that nobody times: it fills the page cache and warms the server up.
curl -s -o /dev/null "$url"
echo "== ${mib} MiB from pyftpdlib on loopback into $out, $rounds rounds"
for ((i = 0; i < rounds; i++)); do
  for tool in $( ((i % 2)) && echo "curl fetch" || echo "fetch curl"); do
    rm -rf "$out"/*
    if [[ $tool == fetch ]]; then
      mkdir -p "$out/f"
      measure fetch "$fetch" -o "$out/f/big.bin" "$url"; check_size "$out/f/big.bin"
    else
      measure curl curl -s -o "$out/c.bin" "$url"; check_size "$out/c.bin"
    fi
  done
done

/usr/bin/python3 "$root/bench/times_table.py" "$work/times" "$mib" \
  fetch,curl fetch/curl
