#!/usr/bin/env bash
# A full installation by the real InstaladorVeltra.exe under Wine, driven as a person would,
# from the local demo package server (scripts/demo-server, started by the caller):
#   ERP on a server: Home -> "Instalar" (Loja) -> "Servidor" -> "Continuar" -> directory page
#   -> "Continuar" -> (Firebird, downloads, extraction, probe, update, comparison tool, copy,
#   shortcut) -> closing page -> "Fechar";
#   then the PDV terminal with the keyboard only (Tab, Enter), the focus checked on every page.
# Afterwards it checks what was left on Wine's C: drive and on the desktop, and the records
# of the stand-in programs. Screenshots go to SCREENSHOT_DIR.
#   The ERP's package carries 3,000 more small files there, and a probe asks the window for
# nothing every 50 ms through the whole installation: it must always answer within a second
# (pauses, downloads, extraction); "Download concluído" and the extraction's gauge are seen.
#   With "retry" (also part of "both"): the ERP with the update package missing on the server;
#   the failure box names it, the page comes back with the focus on "Continuar", and Enter
#   installs once the package is there again.
#   With "tampered" (also part of "both"): the ERP whose package on the server is not the one
#   its published SHA-256 names; the box names the package and the reason, nothing of it is
#   unpacked or kept, and Enter installs once the published package is there again.
#   With "firebird" (also part of "both"): no Firebird server running and a setup on the server
#   that cannot be started; one box names the step, the program and the system's reason, and
#   Enter on the page installs once the real setup is there again.
# Usage: install_walk.sh INSTALLER.exe PROBE.exe SCREENSHOT_DIR
#          [erp|pdv|retry|tampered|firebird|both]
set -euo pipefail
exe=$1 probe=$2 shots=$3 what=${4:-both}
caption="Veltra Sistemas | Instalador"
[[ -n "${DISPLAY:-}" ]] || { echo "FAIL: no X display (scripts/test provides Xvfb + openbox)"; exit 1; }
[[ -n "${WINEPREFIX:-}" ]] || { echo "FAIL: no WINEPREFIX"; exit 1; }
mkdir -p "$shots"
# shellcheck source=standin_server.sh
source "$(dirname "$0")/standin_server.sh"
c="$WINEPREFIX/drive_c"
app=""
hidden_package=""
cleanup() {
  [[ -n "$app" ]] && kill "$app" 2>/dev/null || true
  [[ -n "$hidden_package" ]] && restore_package || true
}
www="$(cd "$(dirname "$exe")/.." && pwd)/demo/www"
# Puts a package aside on the demo server (put back by restore_package or on exit). Its
# published digest stays, and comes back as it was if a stand-in package is published instead.
hide_package() {
  [[ -f "$1" ]] || fail "no $1 on the demo server"
  mv "$1" "$1.hidden"
  cp "$1.sha256" "$1.sha256.hidden"
  hidden_package=$1
}
restore_package() {
  mv -f "$hidden_package.hidden" "$hidden_package"
  mv -f "$hidden_package.sha256.hidden" "$hidden_package.sha256"
  hidden_package=""
}
# Publishes the digest of a package the walk put in the place of the demo's one.
publish_sha256() {
  (cd "$(dirname "$1")" && sha256sum "$(basename "$1")" >"$(basename "$1").sha256")
}
trap cleanup EXIT
source "$(dirname "$0")/walk_lib.sh"

check_file() {  # PATH EXPECTED-CONTENT-REGEX
  [[ -f "$1" ]] || fail "missing $1"
  grep -qaE "$2" "$1" || fail "$1 does not hold /$2/: $(tr -d '\r' <"$1" | head -5)"
}
# The desktop folder of the prefix: a folder of its own, never a link to the host's home.
desktop_file() {
  local f
  for f in "$c"/users/*/Desktop; do [[ -L "$f" ]] && fail "the prefix's desktop $f links out of the build tree"; done
  for f in "$c"/users/*/Desktop/"$1"; do [[ -f "$f" ]] && { echo "$f"; return; }; done
}
# Nothing the walk makes lands in the host user's home (shortcuts, Wine's menu entries).
started_at=$(mktemp)
outside_home() {
  find "$HOME" -maxdepth 5 -newer "$started_at" \( -name '*.lnk' -o -name '*.desktop' \) \
    -not -path "${VLT_ROOT:-/nonexistent}/*" 2>/dev/null | head -5
}

start_installer() {
  wait_no_other_installer
  wine "$exe" </dev/null >/dev/null 2>&1 &
  app=$!
  for _ in $(seq 100); do xdotool search --name "$caption" >/dev/null 2>&1 && break; sleep 0.2; done
  win=$(xdotool search --name "$caption" | head -1)
  [[ -n "$win" ]] || fail "the window did not appear"
  expect_text "Bem-vindo ao Quenda"
}

# Waits for the closing page, failing on any message box on the way; a screenshot is taken
# while a download shows its gauge, when a download is done and while a package is extracted.
run_to_final() {
  local name=$1 during_shot="" done_shot="" unzip_shot="" shown
  local deadline=$((SECONDS + 180))
  while ((SECONDS < deadline)); do
    if see | awk -F'\t' '$2 == "Instalação Concluída" {f=1} END {exit !f}'; then
      shot "$name-final"
      # The closing page says where the installation's log is.
      see | grep -qE $'\tC:\\\\.*\\\\InstaladorVeltra-[0-9]{8}-[0-9]{6}(-[0-9]+)?\\.log\t' ||
        fail "the closing page does not show the log's path"
      return 0
    fi
    for title in "Atenção" "InstaladorVeltra"; do
      if xdotool search --name "^$title\$" >/dev/null 2>&1; then
        shot "$name-box"
        fail "a box appeared: $(wine "$probe" "$title" 2>/dev/null | tr -d '\r')"
      fi
    done
    # A look can miss the window while it changes pages: the next look tells.
    shown=$(see || true)
    if [[ -z "$during_shot" ]] && grep -q " KB  -  " <<<"$shown"; then
      shot "$name-download"
      during_shot=1
    fi
    if [[ -z "$done_shot" ]] && grep -q $'\tDownload concluído\t' <<<"$shown"; then
      shot "$name-download-concluido"
      done_shot=1
    fi
    if [[ -z "$unzip_shot" ]] && grep -qE $'\tArquivo [0-9]+ de [0-9]+\t' <<<"$shown"; then
      shot "$name-extraindo"
      unzip_shot=1
    fi
    # Each look starts a Wine process: bench/install looks less often (VLT_WALK_POLL seconds),
    # so as not to slow down what it measures.
    sleep "${VLT_WALK_POLL:-0.1}"
  done
  fail "the closing page did not come within 3 minutes"
}

# Waits up to SECONDS for the installer's failure box (failing if the closing page comes
# instead: WHY), takes screenshot NAME of it and sets $box (its window) and $said (its text).
await_failure_box() {
  local name=$1 seconds=$2 why=$3 deadline=$((SECONDS + $2))
  box=""
  while ((SECONDS < deadline)); do
    box=$(xdotool search --name '^InstaladorVeltra$' 2>/dev/null | head -1) && [[ -n "$box" ]] && break
    see | awk -F'\t' '$2 == "Instalação Concluída" {f=1} END {exit !f}' && fail "$why"
    sleep 0.2
  done
  [[ -n "$box" ]] || fail "no failure box within $seconds s"
  sleep 0.5
  shot "$name"
  said=$(wine "$probe" "InstaladorVeltra" 2>/dev/null | tr -d '\r')
}

close_installer() {
  click "Fechar"
  for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$app" 2>/dev/null && fail "the program did not end on \"Fechar\""
  app=""
}

if [[ "$what" == erp || "$what" == both ]]; then
  rm -rf "$c/Progs5/Berfon" "$c/Progs5/Uteis" "$c/Atualiza"
  rm -f "$shots"/erp-*
  # The package with 3,000 small files more, so that extracting it takes a while (or the one
  # VLT_WALK_PACKAGE names: bench/install).
  sistema="$www/Drive/app/Sistemas/QuendaInstalacaoLimpa.zip"
  hide_package "$sistema"
  if [[ -n "${VLT_WALK_PACKAGE:-}" ]]; then
    cp "$VLT_WALK_PACKAGE" "$sistema"
  else
    /usr/bin/python3 - "$sistema.hidden" "$sistema" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as old, zipfile.ZipFile(sys.argv[2], 'w', zipfile.ZIP_DEFLATED) as new:
    for item in old.infolist():
        new.writestr(item, old.read(item))
    for i in range(3000):
        new.writestr('Relatorios/modelos/g%02d/modelo%04d.rtm' % (i // 100, i), ('modelo %d\n' % i) * 40)
PY
  fi
  publish_sha256 "$sistema"
  access_log="$(dirname "$www")/nginx/logs/access.log"
  logged_before=$(wc -l <"$access_log" 2>/dev/null || echo 0)
  start_installer
  shot erp-01-home
  click "Instalar" 1
  expect_text "Qual tipo dessa instalação?"
  click "Continuar"
  expect_text 'C:\Progs5\Berfon\'
  shot erp-02-diretorio
  click "Continuar"
  wine "$probe" --responsive "$caption" 600 >"$shots/erp-responsive.txt" 2>/dev/null &
  responsive=$!
  run_to_final erp
  # (Looking every two seconds, bench/install may miss the second it stays.)
  [[ -n "${VLT_WALK_POLL:-}" || -f "$shots/erp-download-concluido.png" ]] ||
    fail "\"Download concluído\" was never on screen"
  # A fast machine may extract between two looks; the probe above watched it anyway.
  [[ -f "$shots/erp-extraindo.png" ]] || echo "note: the extraction was over between two looks"
  close_installer
  wait "$responsive" || true
  restore_package
  answered=$(tr -d '\r' <"$shots/erp-responsive.txt")
  read -r _ answers _ longest _ <<<"$answered"
  [[ -n "$longest" && "$answers" -gt 100 ]] || fail "the probe did not watch the installation: $answered"
  ((longest < 1000)) || fail "the window did not answer for $longest ms: $answered"
  echo "ERP window: $answered"
  [[ -n "${VLT_WALK_PACKAGE:-}" || -f "$c/Progs5/Berfon/Relatorios/modelos/g29/modelo2999.rtm" ]] ||
    fail "the large package was not extracted"

  b="$c/Progs5/Berfon"
  check_file "$b/GLOBAL.INI" '^CAMINHO=C:\\Progs5\\Berfon\\'
  check_file "$b/GLOBAL.INI" '^TIPO=0'
  # The update's program is in place and the package's first one is the backup.
  [[ -f "$b/estoque.exe" && -f "$b/estoque.exe_antes1" ]] || fail "no estoque.exe and its backup"
  cmp -s "$b/estoque.exe" "$b/estoque.exe_antes1" && fail "estoque.exe was not updated"
  check_file "$c/Progs5/Uteis/VeltraDBCompare/CompDemo.Ini" 'MasterDB=C:\\Atualiza\\DADOS.GDB'
  check_file "$c/Progs5/Uteis/VeltraDBCompare/databasecompare.log" 'TargetDB=C:\\Progs5\\Berfon\\DADOS.GDB'
  [[ -n "$(desktop_file Quenda.lnk)" ]] || fail "no Quenda.lnk on the desktop"
  echo "ERP: $b; shortcut $(desktop_file Quenda.lnk)"
  # Every request of the installer went to the scheme the build names for its package hosts.
  scheme=$(sed -n 's|^VLT_PACKAGE_HOST:STRING=\(https\{0,1\}\)://.*|\1|p' "$(dirname "$www")/../CMakeCache.txt")
  scheme=${scheme:-http}
  requests=$(tail -n +"$((logged_before + 1))" "$access_log" | grep -c 'Veltra' || true)
  others=$(tail -n +"$((logged_before + 1))" "$access_log" | grep 'Veltra' | grep -vc " $scheme \"" || true)
  ((requests > 0 && others == 0)) ||
    fail "of $requests requests of the installer, $others did not use $scheme"
  echo "ERP: $requests requests, all over $scheme"
fi

if [[ "$what" == pdv || "$what" == both ]]; then
  rm -rf "$c/Progs5/TerminalNFC-e"
  start_installer
  expect_focus "Instalar" 1
  keys Tab
  expect_focus "Instalar" 2
  keys Return
  expect_text "Qual tipo dessa instalação?"
  expect_focus class:ComboBox
  keys Return
  expect_text 'C:\Progs5\TerminalNFC-e\'
  expect_focus 'C:\\Progs5\\TerminalNFC-e\\'
  shot pdv-01-diretorio
  keys Return
  run_to_final pdv
  expect_focus "Fechar"
  keys Return
  for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$app" 2>/dev/null && fail "the program did not end on Enter on \"Fechar\""
  app=""

  t="$c/Progs5/TerminalNFC-e"
  check_file "$t/GLOBAL.INI" '^CAMINHO=C:\\Progs5\\Berfon\\\\'
  check_file "$t/Atualizador.log" '^/auto'
  [[ -f "$t/terminal.exe" ]] || fail "no terminal.exe"
  [[ -n "$(desktop_file "Veltra PDV NFC-e.lnk")" ]] || fail "no \"Veltra PDV NFC-e.lnk\" on the desktop"
  echo "PDV: $t"
fi
if [[ "$what" == retry || "$what" == both ]]; then
  package="$www/Drive/app/Sistemas/estoque_2010.zip"
  rm -rf "$c/Progs5/Berfon" "$c/Progs5/Uteis" "$c/Atualiza"
  hide_package "$package"
  start_installer
  expect_focus "Instalar" 1
  keys Return
  expect_text "Qual tipo dessa instalação?"
  expect_focus class:ComboBox
  keys Return
  expect_text 'C:\Progs5\Berfon\'
  keys Return
  await_failure_box retry-01-box 180 "finished without the package"
  grep -q "Falha ao baixar o pacote estoque_2010.zip do servidor 127.0.0.2" <<<"$said" ||
    fail "the box does not say which package failed: $said"
  grep -q "Motivo: o servidor respondeu 404 (o arquivo não existe no servidor)" <<<"$said" ||
    fail "the box gives no reason in Portuguese: $said"
  grep -q "Detalhe: the server answered 404" <<<"$said" || fail "the box gives no detail: $said"
  grep -qE 'Registro da instalação: C:\\.*\.log' <<<"$said" || fail "the box does not say where the log is: $said"
  xdotool windowactivate --sync "$box" key Return
  expect_focus "Continuar"
  expect_text 'C:\Progs5\Berfon'
  shot retry-02-page
  [[ -f "$c/Progs5/Berfon/estoque.exe_antes1" ]] && fail "the update was copied without its package"
  restore_package
  keys Return
  run_to_final retry
  close_installer
  b="$c/Progs5/Berfon"
  [[ -f "$b/estoque.exe" && -f "$b/estoque.exe_antes1" ]] || fail "the retry did not update estoque.exe"
  [[ -e "$b/InstaladorVeltra.incompleto" ]] && fail "the unfinished-installation mark stayed"
  ls "$b" | grep -qi '\.part$' && fail "a partial download reached $b"
  echo "retry: $b"
fi

if [[ "$what" == tampered || "$what" == both ]]; then
  sistema="$www/Drive/app/Sistemas/QuendaInstalacaoLimpa.zip"
  rm -rf "$c/Progs5/Berfon" "$c/Progs5/Uteis" "$c/Atualiza"
  hide_package "$sistema"
  # A package changed on its way: its published digest still names the demo's.
  /usr/bin/python3 - "$sistema" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('estoque.exe', 'not the published program')
PY
  start_installer
  click "Instalar" 1
  expect_text "Qual tipo dessa instalação?"
  click "Continuar"
  expect_text 'C:\Progs5\Berfon\'
  click "Continuar"
  await_failure_box tampered-01-box 180 "finished with a package other than the published one"
  for want in "Falha ao baixar o pacote quenda_2010.zip do servidor 127.0.0.1" \
    "Motivo: o pacote recebido não confere com a soma de verificação SHA-256"; do
    grep -qF "$want" <<<"$said" || fail "the box does not say \"$want\": $said"
  done
  xdotool windowactivate --sync "$box" key Return
  expect_focus "Continuar"
  shot tampered-02-page
  b="$c/Progs5/Berfon"
  [[ -e "$b/estoque.exe" ]] && fail "the tampered package was unpacked"
  ls "$b" | grep -q '^quenda_2010' && fail "the tampered package was kept: $(ls "$b")"
  restore_package
  keys Return
  run_to_final tampered
  close_installer
  [[ -f "$b/estoque.exe" ]] || fail "the published package was not installed after the tampered one"
  echo "tampered: the box named the package, nothing of it was kept, the retry installed"
fi

if [[ "$what" == firebird || "$what" == both ]]; then
  stop_standin_server
  setup="$www/Drive/app/Uteis/Firebird-2.5.9x86.exe"
  rm -rf "$c/Progs5/Berfon" "$c/Progs5/Uteis" "$c/Atualiza"
  hide_package "$setup"
  printf 'this is not a program\r\n' >"$setup"
  publish_sha256 "$setup"
  start_installer
  click "Instalar" 1
  expect_text "Qual tipo dessa instalação?"
  click "Continuar"
  expect_text 'C:\Progs5\Berfon\'
  click "Continuar"
  await_failure_box firebird-01-box 90 "finished without starting the Firebird setup"
  for want in "Falha ao instalar o Firebird." \
    'Não foi possível iniciar o programa "C:\Progs5\Uteis\Firebird-2.5.9x86.exe".'; do
    grep -qF "$want" <<<"$said" || fail "the box does not say \"$want\": $said"
  done
  grep -qiE 'success|\(0\)|%1' <<<"$said" && fail "the box reports success or an unfilled text: $said"
  # One box for the failure: nothing of the shell's own, no second box after this one.
  others=$(xdotool search --onlyvisible --name '.' 2>/dev/null | while read -r w; do
    n=$(xdotool getwindowname "$w" 2>/dev/null || true)
    [[ "$n" == "$caption" || "$n" == "InstaladorVeltra" || -z "$n" ]] || echo "$n"
  done | sort -u | grep -viE '^(openbox|xvfb)' || true)
  [[ -z "$others" ]] || fail "other windows beside the failure box: $others"
  xdotool windowactivate --sync "$box" key Return
  expect_focus "Continuar"
  sleep 1
  [[ -z "$(xdotool search --name '^InstaladorVeltra$' 2>/dev/null)" ]] || fail "a second box followed"
  shot firebird-02-page
  [[ -f "$c/Progs5/Berfon/GLOBAL.INI" ]] && fail "the installation went on without Firebird"
  restore_package
  keys Return
  run_to_final firebird
  close_installer
  check_file "$c/Progs5/Uteis/firebird-setup.log" 'SILENT'
  [[ -f "$c/Progs5/Berfon/GLOBAL.INI" ]] || fail "the retry did not install"
  echo "firebird: the setup that could not start was said, and the retry installed"
fi

outside=$(outside_home)
rm -f "$started_at"
[[ -z "$outside" ]] || fail "written outside the build tree: $outside"
trap - EXIT
echo "PASS: installation walk; screenshots in $shots"
