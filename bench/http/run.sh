#!/usr/bin/env bash
# HTTP download benchmark over loopback (a benchmark, not a test; run it on a quiet machine):
#  1. a MIB MiB file from nginx fetched by veltra-fetch and by `curl -s -o`, interleaved,
#     ROUNDS times each (the order alternates between rounds);
#  2. a resume of the second half (a .part file of MIB/2 MiB already there) by both;
#  2b. a checked download: veltra-fetch --sha256 beside curl followed by sha256sum;
#  2c. the same over https (nginx with a private CA's certificate): veltra-fetch --cacert beside
#     curl --cacert;
#  3. the same download by the Windows build's veltra-fetch under Wine beside bare_read.exe
#     (plain 64 KiB receives, written to a file the same way), one wineserver kept running;
#     then over https (SChannel) beside the same veltra-fetch.exe over http and beside
#     bare_tls_read.exe (the same TLS session driven by plain blocking receives: SChannel's own
#     cost, the ceiling).
# Files are written to /dev/shm when it exists, so that the disk does not set the pace.
# Prints medians with min-max of wall time, CPU time (user + sys) and peak RSS, and the ratios.
#   bench/http/run.sh        MIB=512 ROUNDS=5 NATIVE=build/native WINDOWS=build/windows
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native=${NATIVE:-$root/build/native}
windows=${WINDOWS:-$root/build/windows}
mib=${MIB:-512}
rounds=${ROUNDS:-5}
fetch=$native/tools/veltra-fetch
for f in "$fetch" "$native/bench/http/bare_read"; do
  [[ -x "$f" ]] || { echo "build the native tree first: cmake --build --preset native" >&2; exit 1; }
done

work=$(mktemp -d)
if [[ -d /dev/shm && -w /dev/shm ]]; then out=$(mktemp -d /dev/shm/vlt-bench-http.XXXXXX); else out=$work/out; mkdir -p "$out"; fi
nginx_pid=""
wine_started=""
cleanup() {
  [[ -n "$nginx_pid" ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null || true
  [[ -n "$wine_started" ]] && wine_env_stop
  rm -rf "$work" "$out"
}
trap cleanup EXIT

mkdir -p "$work/times"
source "$root/bench/nginx.sh"
bench_nginx_start
url="http://127.0.0.1:$port/big.bin"
half=$((mib / 2))


source "$root/bench/timing.sh"

echo "== ${mib} MiB from nginx on loopback into $out, $rounds rounds"
for ((i = 0; i < rounds; i++)); do
  for tool in $( ((i % 2)) && echo "curl fetch" || echo "fetch curl"); do
    rm -f "$out"/*
    if [[ $tool == fetch ]]; then
      measure fetch "$fetch" -o "$out/f.bin" "$url"; check_size "$out/f.bin"
    else
      measure curl curl -s -o "$out/c.bin" "$url"; check_size "$out/c.bin"
    fi
  done
done
for ((i = 0; i < rounds; i++)); do
  for tool in $( ((i % 2)) && echo "curl fetch" || echo "fetch curl"); do
    rm -f "$out"/*
    if [[ $tool == fetch ]]; then
      truncate -s "${half}M" "$out/r.bin.part"
      measure fetch_resume "$fetch" -o "$out/r.bin" "$url"; check_size "$out/r.bin"
    else
      truncate -s "${half}M" "$out/c.bin"
      measure curl_resume curl -s -C - -o "$out/c.bin" "$url"; check_size "$out/c.bin"
    fi
  done
done

digest=$(sha256sum "$work/www/big.bin" | cut -c1-64)
for ((i = 0; i < rounds; i++)); do
  for tool in $( ((i % 2)) && echo "curl fetch" || echo "fetch curl"); do
    rm -f "$out"/*
    if [[ $tool == fetch ]]; then
      measure fetch_sha256 "$fetch" --sha256 "$digest" -o "$out/s.bin" "$url"; check_size "$out/s.bin"
    else
      measure curl_sha256sum sh -c 'curl -s -o "$1" "$2" && sha256sum "$1"' - "$out/c.bin" "$url"
      check_size "$out/c.bin"
    fi
  done
done

tls_url="https://127.0.0.1:$tls_port/big.bin"
for ((i = 0; i < rounds; i++)); do
  for tool in $( ((i % 2)) && echo "curl fetch" || echo "fetch curl"); do
    rm -f "$out"/*
    if [[ $tool == fetch ]]; then
      measure fetch_tls "$fetch" --cacert "$work/tls/ca.pem" -o "$out/t.bin" "$tls_url"; check_size "$out/t.bin"
    else
      measure curl_tls curl -s --cacert "$work/tls/ca.pem" -o "$out/c.bin" "$tls_url"; check_size "$out/c.bin"
    fi
  done
done

if [[ -x "$windows/tools/veltra-fetch.exe" && -x "$windows/bench/http/bare_read.exe" ]] && command -v wine >/dev/null; then
  echo "== the Windows build under Wine"
  export VLT_ROOT=$root
  # shellcheck source=/dev/null
  source "$root/scripts/wine-env"
  wine_env_start
  wine_started=1
  (cd "$out" && wine "$windows/bench/http/bare_read.exe" 127.0.0.1 "$port" /big.bin >/dev/null)  # warm-up
  for ((i = 0; i < rounds; i++)); do
    for tool in $( ((i % 2)) && echo "bare fetch" || echo "fetch bare"); do
      rm -f "$out"/*
      if [[ $tool == fetch ]]; then
        (cd "$out" && measure wine_fetch wine "$windows/tools/veltra-fetch.exe" -o w.bin "$url"); check_size "$out/w.bin"
      else
        (cd "$out" && measure wine_bare wine "$windows/bench/http/bare_read.exe" 127.0.0.1 "$port" /big.bin b.bin); check_size "$out/b.bin"
      fi
    done
  done
  (cd "$out" && measure wine_bare_noWrite wine "$windows/bench/http/bare_read.exe" 127.0.0.1 "$port" /big.bin)
  ca=$(winepath -w "$work/tls/ca.pem")
  for ((i = 0; i < rounds; i++)); do
    for tool in $( ((i % 2)) && echo "plain bare tls" || echo "tls bare plain"); do
      rm -f "$out"/*
      if [[ $tool == bare ]]; then
        (cd "$out" && measure wine_bare_tls wine "$windows/bench/http/bare_tls_read.exe" 127.0.0.1 "$tls_port" /big.bin "$ca" b.bin); check_size "$out/b.bin"
      elif [[ $tool == tls ]]; then
        (cd "$out" && measure wine_fetch_tls wine "$windows/tools/veltra-fetch.exe" --cacert "$ca" -o w.bin "$tls_url"); check_size "$out/w.bin"
      else
        (cd "$out" && measure wine_fetch_http wine "$windows/tools/veltra-fetch.exe" -o w.bin "$url"); check_size "$out/w.bin"
      fi
    done
  done
else
  echo "== (no Windows build or no Wine: the Wine part is skipped)"
fi

/usr/bin/python3 "$root/bench/times_table.py" "$work/times" "$mib" \
  fetch,curl,fetch_resume,curl_resume,fetch_sha256,curl_sha256sum,fetch_tls,curl_tls,wine_fetch,wine_bare,wine_bare_noWrite,wine_fetch_tls,wine_fetch_http,wine_bare_tls \
  fetch/curl fetch_resume/curl_resume fetch_sha256/curl_sha256sum fetch_tls/curl_tls wine_fetch/wine_bare wine_fetch_tls/wine_fetch_http wine_fetch_tls/wine_bare_tls
