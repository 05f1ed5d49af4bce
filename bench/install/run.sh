#!/usr/bin/env bash
# Wall time of a full ERP server installation by the real InstaladorVeltra.exe under Wine from
# the local demo package server, split into its steps by the status line the operator sees.
# Each step runs from one status text to the next; the routines' fixed 2000 ms pause after a
# status is reported apart. A fresh Wine session (no fbserver running) includes the Firebird
# download, setup and service start.
#   bench/install/run.sh        (builds what it needs; Xvfb when there is no display)
set -euo pipefail
export VLT_ROOT=$(cd "$(dirname "$0")/../.." && pwd)
cd "$VLT_ROOT"
cmake --preset windows >/dev/null
cmake --build --preset windows --target InstaladorVeltra demo_site vlt_window_probe \
  vlt_status_watch >/dev/null
source scripts/wine-env
VLT_FORCE_XVFB=1 wine_env_start
scripts/demo-server start
trap 'scripts/demo-server stop; wine_env_stop' EXIT

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
echo "== full ERP server installation under Wine (demo server limited to 2 MiB/s)"
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
rm -f "$trace" "$trace.walk" "$trace.raw"
