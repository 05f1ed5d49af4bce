# Sourced by the benchmarks: nginx on free loopback ports serving $work/www/big.bin, a sparse
# file of $mib MiB that the page cache serves, over http ($port) and https ($tls_port, with a
# certificate of a private CA, $work/tls/ca.pem). Sets $port, $tls_port and $nginx_pid; the
# caller stops it (kill "$nginx_pid") in its own cleanup.
bench_nginx_start() {
  mkdir -p "$work/www" "$work/logs" "$work/tmp"
  truncate -s "${mib}M" "$work/www/big.bin"
  port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  tls_port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  /usr/bin/python3 "$root/scripts/tls_certs.py" demo "$work/tls"
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
  server {
    listen 127.0.0.1:$port; listen 127.0.0.1:$tls_port ssl;
    ssl_certificate $work/tls/server.pem; ssl_certificate_key $work/tls/server.key;
    ssl_protocols TLSv1.2 TLSv1.3;
    root $work/www;
  }
}
CONF
  nginx -p "$work" -c "$work/nginx.conf" &
  nginx_pid=$!
  for _ in $(seq 200); do
    curl -s -o /dev/null -r 0-0 "http://127.0.0.1:$port/big.bin" && return 0
    kill -0 "$nginx_pid" 2>/dev/null || { cat "$work/logs/error.log" >&2; return 1; }
    sleep 0.05
  done
  echo "nginx did not answer on 127.0.0.1:$port" >&2
  return 1
}
