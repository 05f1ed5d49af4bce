#!/usr/bin/env bash
# Wall time of a full ERP server installation by the real InstaladorVeltra.exe under Wine from
# the local demo package server, split into its steps by the status line the operator sees.
# Each step runs from one status text to the next; the routines' fixed 2000 ms pause after a
# status is reported apart. A fresh Wine session (no fbserver running) includes the Firebird
# download, setup and service start.
# With BIG_MIB=N the demo server has no rate limit and the ERP package carries N MiB more (one
# stored file of random bytes): the table then shows the installer's own download of it, and
# bare_read.exe (bench/http: plain 64 KiB receives into a file) fetches the same package under
# Wine three times for the ratio of the two.
#   bench/install/run.sh        (builds what it needs; Xvfb when there is no display)
#   BIG_MIB=512 bench/install/run.sh
set -euo pipefail
export VLT_ROOT=$(cd "$(dirname "$0")/../.." && pwd)
cd "$VLT_ROOT"
cmake --preset windows >/dev/null
cmake --build --preset windows --target InstaladorVeltra demo_site vlt_window_probe \
  vlt_status_watch bare_read >/dev/null
big=${BIG_MIB:-0}
site=build/windows/demo/www
source scripts/wine-env
VLT_FORCE_XVFB=1 wine_env_start
if ((big > 0)); then export VLT_DEMO_RATE=0; fi
scripts/demo-server start
trap 'scripts/demo-server stop; wine_env_stop; rm -f "$site/bench-big.zip"' EXIT
if ((big > 0)); then
  /usr/bin/python3 - "$site/Drive/app/Sistemas/QuendaInstalacaoLimpa.zip" "$site/bench-big.zip" \
    "$big" <<'PY'
import os, sys, zipfile
src, dst, mib = sys.argv[1], sys.argv[2], int(sys.argv[3])
with zipfile.ZipFile(src) as old, zipfile.ZipFile(dst, 'w', zipfile.ZIP_STORED) as new:
    for item in old.infolist():
        new.writestr(item, old.read(item))
    with new.open(zipfile.ZipInfo('dados/grande.bin'), 'w', force_zip64=True) as f:
        for _ in range(mib):
            f.write(os.urandom(1 << 20))
PY
  export VLT_WALK_PACKAGE=$PWD/$site/bench-big.zip VLT_WALK_POLL=2
fi

exe=build/windows/app/InstaladorVeltra.exe probe=build/windows/tests/vlt_window_probe.exe
caption="Veltra Sistemas | Instalador"
trace=$(mktemp)
rm -rf "$WINEPREFIX/drive_c/Progs5/Berfon" "$WINEPREFIX/drive_c/Progs5/Uteis" \
  "$WINEPREFIX/drive_c/Atualiza"

# The walk drives the window; a watcher inside Wine notes every change of its labels.
wine build/windows/tests/vlt_status_watch.exe "$caption" >"$trace.raw" 2>/dev/null &
watch=$!
bash tests/blackbox/install_walk.sh "$exe" "$probe" build/windows/screenshots/bench erp \
  >"$trace.walk" 2>&1 &
walk=$!
wait "$walk" || { cat "$trace.walk"; exit 1; }
wait "$watch" || true
# The status line's texts, in the order they appeared, with the time they appeared.
statuses='^(Verificando Firebird|Firebird não está ativo|Baixando Firebird|Inicia instalação do Firebird|Inicia serviço do Firebird|Firebird está ativo|Baixando Sistema|Extraindo Sistema|Baixando Utilitários|Extraindo Utilitários|Baixando Atualização|Extraindo Atualização|Atualizando Banco de Dados|Download concluído|Instalação Concluída)$'
tr -d '\r' <"$trace.raw" | awk -F'\t' -v st="$statuses" '
  { s = ""; for (i = 2; i <= NF; i++) if ($i ~ st) { s = $i; break }
    if (s != "" && s != last) { printf "%.3f %s\n", $1 / 1000, s; last = s } }' >"$trace"

# Steps that begin with a status pause 2000 ms before their work.
paused='^(Verificando Firebird|Firebird não está ativo|Inicia instalação do Firebird|Inicia serviço do Firebird|Firebird está ativo|Baixando Sistema|Extraindo Sistema|Baixando Utilitários|Extraindo Utilitários|Baixando Atualização|Extraindo Atualização|Atualizando Banco de Dados)$'
if ((big > 0)); then
  echo "== full ERP server installation under Wine (demo server without a rate limit, ERP package of $((big)) MiB more)"
else
  echo "== full ERP server installation under Wine (demo server limited to 2 MiB/s)"
fi
printf '%-32s %9s %9s %9s\n' "step (status shown)" "wall s" "pause s" "work s"
awk -v paused="$paused" '
  { t[NR] = $1; $1 = ""; sub(/^ /, ""); s[NR] = $0 }
  END {
    total = 0; pauses = 0
    for (i = 1; i < NR; i++) {
      d = t[i + 1] - t[i]; p = (s[i] ~ paused) ? 2.0 : 0.0; if (p > d) p = d
      printf "%-32s %9.2f %9.2f %9.2f\n", s[i], d, p, d - p
      total += d; pauses += p
    }
    printf "%-32s %9.2f %9.2f %9.2f\n", "total (to the closing page)", total, pauses, total - pauses
  }' "$trace"
if ((big > 0)); then
  # The installer's download: from its status to "Download concluído", less the status pause.
  installer=$(awk '$2 == "Baixando" && $3 == "Sistema" {b = $1} $2 == "Download" && b != "" && d == "" {d = $1}
    END {if (b != "" && d != "") printf "%.3f", d - b - 2.0}' "$trace")
  port=$(sed -n 's/^VLT_DEMO_PORT:STRING=//p' build/windows/CMakeCache.txt)
  out=$(mktemp -d)
  bare=()
  for _ in 1 2 3; do
    rm -f "$out"/*
    start=$(date +%s.%N)
    (cd "$out" && wine "$VLT_ROOT/build/windows/bench/http/bare_read.exe" 127.0.0.1 "$port" \
      /bench-big.zip b.bin >/dev/null 2>&1)
    bare+=("$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.3f", b - a}')")
  done
  rm -rf "$out"
  median=$(printf '%s\n' "${bare[@]}" | sort -n | sed -n 2p)
  echo "== the installer's own download of the $(du -m "$site/bench-big.zip" | cut -f1) MiB package under Wine"
  printf 'installer %.2f s   bare_read.exe %.2f s (median of %s)   ratio %.2f\n' "$installer" "$median" \
    "${bare[*]}" "$(awk -v a="$installer" -v b="$median" 'BEGIN {print a / b}')"
fi
rm -f "$trace" "$trace.walk" "$trace.raw"
