#!/usr/bin/env bash
# Socket benchmark over loopback: the same bulk transfer read through
# TTCPBlockSocket::RecvPacket and through a plain recv loop (one process, CPU time of the
# reading thread); 200,000 lines of 60 bytes read through RecvString and through a plain
# receive-and-split loop; and, for scale, `curl -s -o /dev/null` fetching as many bytes from nginx.
#   bench/socket/run.sh [socket_bench binary]     MIB=1024 by default
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bench=${1:-$root/build/native/bench/socket/socket_bench}
mib=${MIB:-1024}
[[ -x "$bench" ]] || { echo "build it first: cmake --build build/native --target socket_bench" >&2; exit 1; }

work=$(mktemp -d)
nginx_pid=""
cleanup() {
  [[ -n "$nginx_pid" ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$root/bench/nginx.sh"
bench_nginx_start

echo "== ${mib} MiB over loopback"
"$bench" "$mib"
TIMEFORMAT="curl from nginx         %R s wall  %U s user  %S s sys"
time curl -s -o /dev/null "http://127.0.0.1:$port/big.bin"
