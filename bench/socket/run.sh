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

mkdir -p "$work/www" "$work/logs"
truncate -s "${mib}M" "$work/www/big.bin"  # sparse: the page cache serves it
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 16; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/tmp;
  proxy_temp_path $work/tmp;
  fastcgi_temp_path $work/tmp;
  uwsgi_temp_path $work/tmp;
  scgi_temp_path $work/tmp;
  server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" &
nginx_pid=$!
for _ in $(seq 200); do
  curl -s -o /dev/null -r 0-0 "http://127.0.0.1:$port/big.bin" && break
  kill -0 "$nginx_pid" 2>/dev/null || { cat "$work/logs/error.log" >&2; exit 1; }
  sleep 0.05
done

echo "== ${mib} MiB over loopback"
"$bench" "$mib"
TIMEFORMAT="curl from nginx         %R s wall  %U s user  %S s sys"
time curl -s -o /dev/null "http://127.0.0.1:$port/big.bin"
