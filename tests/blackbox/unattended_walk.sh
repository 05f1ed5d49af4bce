#!/usr/bin/env bash
# The real InstaladorVeltra.exe under Wine started from the command line, as a deployment tool
# starts it, from the local demo package server (scripts/demo-server, started by the caller):
#   pdv, erp      unattended PDV workstation and ERP workstation installations: exit 0, the
#                 files, the log and the result file;
#   failures      each failed step ends the run with its own exit code, in its result file and
#                 its log, without a box: a package missing on the server (4), a package that is
#                 not the published one (5), no Firebird and its setup missing on the server (4,
#                 etapa=firebird), bad parameters (2, on stderr; in a box when there is no stderr
#                 and no /silencioso); over https, a server whose certificate the prefix does not
#                 trust (4);
#   pastas        every folder the installation writes into is refused before any download (10):
#                 ..\Uteis or C:\Atualiza that cannot be made, a /dir that is not a full path;
#                 a /resultado= that cannot be written (2);
#   concorrentes  two unattended installations into one folder, started together and 5 s apart:
#                 one installs, the other ends with 1618 and touches nothing;
#   killed        a run killed in the middle leaves its log whole up to its last line;
#   closed        closing an unattended run's window stops it at once, with no question (9);
#   wizard        with parameters but without /silencioso the wizard opens on the page they lead
#                 to, with the fields filled (screenshots);
#   proxy         an ERP installation through a Basic-login proxy (tinyproxy) found only in the
#                 prefix's Internet settings, over a link that drops three times in the middle
#                 of a package: exit 0, every drop tried again from the .part, both logs shown;
#                 then a PDV installation through the proxy an auto-config script names, which
#                 the system runs.
# Usage: unattended_walk.sh INSTALLER.exe PROBE.exe SCREENSHOT_DIR
#          [pdv|erp|failures|pastas|concorrentes|killed|closed|wizard|proxy|all]
set -euo pipefail
exe=$1 probe=$2 shots=$3 what=${4:-all}
caption="Veltra Sistemas | Instalador"
[[ -n "${DISPLAY:-}" ]] || { echo "FAIL: no X display (scripts/test provides Xvfb + openbox)"; exit 1; }
[[ -n "${WINEPREFIX:-}" ]] || { echo "FAIL: no WINEPREFIX"; exit 1; }
mkdir -p "$shots"
c="$WINEPREFIX/drive_c"
logs="$c/frota"  # C:\frota: the logs and result files of this walk
www="$(cd "$(dirname "$exe")/.." && pwd)/demo/www"
app=""
hidden=()
relay=""
proxies_dir=""
inet_saved=()
cleanup() {
  [[ -n "$app" ]] && kill "$app" 2>/dev/null || true
  restore_inet
  [[ -n "$relay" ]] && kill "$relay" 2>/dev/null || true
  relay=""
  [[ -n "$proxies_dir" ]] && python3 "$src/tests/net/proxies.py" stop "$proxies_dir" || true
  proxies_dir=""
  [[ -n "${ca_untrusted:-}" ]] && trust_demo_ca || true
  local f
  for f in "${hidden[@]}"; do
    mv -f "$f.hidden" "$f"
    mv -f "$f.sha256.hidden" "$f.sha256"
  done
  hidden=()
}
src="$(cd "$(dirname "$0")/../.." && pwd)"
inet='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
# Sets a value of the prefix's Internet settings (TYPE DATA), keeping what was there for
# restore_inet: the prefix is shared with other test runs.
set_inet() {
  local name=$1 type=$2 data=$3 old
  old=$(wine reg query "$inet" /v "$name" </dev/null 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$name *\(REG_[A-Z_]*\) *\(.*\)\$/\1 \2/p" || true)
  inet_saved+=("$name|${old:-absent}")
  wine reg add "$inet" /v "$name" /t "$type" /d "$data" /f </dev/null >/dev/null 2>&1 ||
    fail "cannot set $name in the prefix's Internet settings"
}
restore_inet() {
  local entry name old i
  for ((i = ${#inet_saved[@]} - 1; i >= 0; i--)); do
    entry=${inet_saved[i]}
    name=${entry%%|*} old=${entry#*|}
    if [[ "$old" == absent ]]; then
      wine reg delete "$inet" /v "$name" /f </dev/null >/dev/null 2>&1 || true
    else
      wine reg add "$inet" /v "$name" /t "${old%% *}" /d "${old#* }" /f </dev/null >/dev/null 2>&1 || true
    fi
  done
  inet_saved=()
}
trap cleanup EXIT
source "$(dirname "$0")/walk_lib.sh"

# Puts a package aside on the demo server (back at the end of the case, or on exit).
hide_package() {
  [[ -f "$1" ]] || fail "no $1 on the demo server"
  mv "$1" "$1.hidden"
  cp "$1.sha256" "$1.sha256.hidden"
  hidden+=("$1")
}
check_file() {  # PATH EXPECTED-CONTENT-REGEX
  [[ -f "$1" ]] || fail "missing $1"
  grep -qaE "$2" "$1" || fail "$1 does not hold /$2/: $(tr -d '\r' <"$1" | tail -8)"
}
no_file() { [[ ! -e "$1" ]] || fail "$1 should not be there"; }

# Runs the installer unattended as NAME with the arguments given (plus /silencioso, /log= and
# /resultado= in C:\frota); sets $code. A run that outlives the limit waits for someone:
# that is a failure of its own.
run_silent() {
  local name=$1
  shift
  rm -f "$logs/$name.log" "$logs/$name.txt"
  wait_no_other_installer
  set +e
  timeout 240 wine "$exe" "$@" /silencioso "/log=C:\\frota\\$name.log" "/resultado=C:\\frota\\$name.txt" \
    </dev/null >"$shots/$name.stdout" 2>"$shots/$name.stderr"
  code=$?
  set -e
  ((code != 124)) || fail "$name: still running after 240 s (waiting on a box?)"
  cp -f "$logs/$name.log" "$shots/$name.log" 2>/dev/null || true
}
# The result file of run NAME holds CODE, its key for it, the log's path and the directory.
check_result() {
  local name=$1 want=$2 key=$3 dir=$4 r="$logs/$1.txt"
  ((code == want)) || fail "$name: exit code $code, not $want; log: $(tr -d '\r' <"$logs/$name.log" | tail -5)"
  check_file "$r" "^codigo=$want"$'\r'"\$"
  check_file "$r" "^situacao=$key"$'\r'"\$"
  check_file "$r" '^registro=C:\\frota\\'"$name"'\.log'
  check_file "$r" "^diretorio=$(sed 's/\\/\\\\/g' <<<"$dir")"
  check_file "$r" '^duracao=[0-9]+'
  check_file "$logs/$name.log" "Fim: código $want \\($key\\)"
  # Every line of the log is whole: a time, two blanks, the event, CR LF.
  local bad
  bad=$(grep -cvaE $'^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}  .+\r$' "$logs/$name.log" || true)
  ((bad == 0)) || fail "$name: $bad lines of the log are not one event each"
}
# shellcheck source=standin_server.sh
source "$(dirname "$0")/standin_server.sh"
# The demo's CA in this prefix's trusted roots (scripts/wine-env puts it there): taken out for a
# case, and always put back.
demo_ca="$(dirname "$www")/tls/ca.pem"
trust_tool="$(dirname "$www")/tools/vlt_trust_ca.exe"
ca_untrusted=""
untrust_demo_ca() {
  ca_untrusted=1
  wine "$trust_tool" --remove "$(winepath -w "$demo_ca")" </dev/null || fail "cannot untrust $demo_ca"
}
trust_demo_ca() {
  [[ -n "$ca_untrusted" ]] || return 0
  wine "$trust_tool" "$(winepath -w "$demo_ca")" </dev/null || fail "cannot trust $demo_ca again"
  ca_untrusted=""
}
fresh() { rm -rf "$c/Progs5" "$c/Atualiza" "$c/Lojas"; }

if [[ "$what" == pdv || "$what" == all ]]; then
  fresh
  run_silent pdv /produto=pdv /tipo=estacao /servidor=caixa01 '/dirquenda=C:\Lojas\Berfon'
  check_result pdv 0 instalado 'C:\Progs5\TerminalNFC-e'
  t="$c/Progs5/TerminalNFC-e"
  check_file "$t/GLOBAL.INI" '^CAMINHO=C:\\Lojas\\Berfon\\'$'\r'
  check_file "$t/GLOBAL.INI" '^TIPO=1'
  check_file "$t/GLOBAL.INI" '^IP=caixa01'
  check_file "$t/Atualizador.log" '^/auto'
  [[ -f "$t/terminal.exe" ]] || fail "no terminal.exe"
  ls "$c"/users/*/Desktop/"Veltra PDV NFC-e.lnk" >/dev/null 2>&1 || fail "no PDV shortcut"
  for want in 'Modo: silencioso' 'Etapa: Baixando Sistema' \
    'Download: https?://127\.0\.0\.1:[0-9]+/Drive/app/Sistemas/TerminalNFC-eInstalacaoLimpa\.zip, HTTP 200, [0-9]+ bytes em [0-9.]+ s(, TLSv1\.[23] [^,]+, certificado de [^ ]+ \(SHA-256 [0-9a-f]{64}\))? -> C:\\Progs5\\TerminalNFC-e\\terminalnfce\.zip' \
    'Conferido: terminalnfce\.zip, SHA-256 [0-9a-f]{64}' \
    'Gravado: C:\\Progs5\\TerminalNFC-e\\GLOBAL\.INI \[DADOS\] IP=caixa01' \
    'Executando: "C:\\Progs5\\TerminalNFC-e\\Atualizador\.exe" /auto' \
    'Atalho: .*Veltra PDV NFC-e\.lnk -> C:\\Progs5\\TerminalNFC-e\\terminal\.exe'; do
    check_file "$logs/pdv.log" "$want"
  done
  echo "pdv: exit 0; $(tr -d '\r' <"$logs/pdv.txt" | tr '\n' ' ')"
fi

if [[ "$what" == erp || "$what" == all ]]; then
  fresh
  run_silent erp /produto=loja /tipo=estacao /servidor=servidor01 '/dir=C:\Lojas\Berfon'
  check_result erp 0 instalado 'C:\Lojas\Berfon'
  b="$c/Lojas/Berfon"
  check_file "$b/GLOBAL.INI" '^CAMINHO=C:\\Lojas\\Berfon\\'$'\r'
  check_file "$b/GLOBAL.INI" '^TIPO=1'
  check_file "$b/GLOBAL.INI" '^IP=servidor01'
  [[ -f "$b/estoque.exe" && -f "$b/estoque.exe_antes1" ]] || fail "no estoque.exe and its backup"
  no_file "$c/Lojas/Uteis/VeltraDBCompare/CompDemo.Ini"  # a workstation leaves the database alone
  for want in 'Download: https?://127\.0\.0\.2:[0-9]+/Drive/app/Sistemas/estoque_2010\.zip, HTTP 200' \
    'Versão do servidor de banco de dados: .*Firebird 2\.5' \
    'Cópia de segurança: C:\\Lojas\\Berfon\\estoque\.exe -> estoque\.exe_antes1' \
    'Copiado: C:\\Lojas\\Berfon\\estoque\.exe' \
    'Atalho: .*Quenda\.lnk -> C:\\Lojas\\Berfon\\estoque\.exe'; do
    check_file "$logs/erp.log" "$want"
  done
  grep -qa 'databasecompare' "$logs/erp.log" && fail "a workstation ran the comparison tool"
  echo "erp: exit 0; $(tr -d '\r' <"$logs/erp.txt" | tr '\n' ' ')"
fi

if [[ "$what" == failures || "$what" == all ]]; then
  # A package missing on the server: 4, named with its server and the reply.
  fresh
  hide_package "$www/Drive/app/Uteis/Uteis.zip"
  run_silent sem-pacote /produto=loja /tipo=servidor
  cleanup
  check_result sem-pacote 4 download 'C:\Progs5\Berfon'
  check_file "$logs/sem-pacote.txt" '^mensagem=Falha ao baixar o pacote Uteis\.zip do servidor 127\.0\.0\.1:[0-9]+\. \| Motivo: o servidor respondeu 404 \(o arquivo não existe no servidor\)\. \| Detalhe: the server answered 404'
  check_file "$logs/sem-pacote.log" 'Download falhou: https?://127\.0\.0\.1:[0-9]+/Drive/app/Uteis/Uteis\.zip, HTTP 404, 0 bytes em [0-9.]+ s(, TLSv1\.[23] [^,]+, certificado de [^ ]+ \(SHA-256 [0-9a-f]{64}\))?: the server answered 404'
  check_file "$logs/sem-pacote.log" 'Erro: Falha ao baixar o pacote Uteis\.zip'
  no_file "$c/Progs5/Uteis/VeltraDBCompare"

  # Over https, a server this machine does not trust is refused before anything is fetched:
  # the demo's CA is taken out of the prefix's roots for the run (Firebird is running now, so
  # the product's package is the first download).
  if [[ "$(sed -n 's|^VLT_PACKAGE_HOST:STRING=\(https\{0,1\}\)://.*|\1|p' "$(dirname "$www")/../CMakeCache.txt")" == https ]]; then
    fresh
    untrust_demo_ca
    run_silent impostor /produto=pdv /tipo=servidor
    trust_demo_ca
    check_result impostor 4 download 'C:\Progs5\TerminalNFC-e'
    check_file "$logs/impostor.txt" '^mensagem=Falha ao baixar o pacote .* \| Motivo: .*a conexão segura foi recusada: .* \| Detalhe: the certificate of 127\.0\.0\.1 is not trusted: its issuer is unknown'
    check_file "$logs/impostor.log" 'Download falhou: https://127\.0\.0\.1:[0-9]+/.*: the certificate of 127\.0\.0\.1 is not trusted'
    ls "$c/Progs5/TerminalNFC-e" 2>/dev/null | grep -qE '^terminalnfce\.zip(\.sha256)?$' &&
      fail "a file of the untrusted server was kept: $(ls "$c/Progs5/TerminalNFC-e")"
    echo "impostor: refused with code 4 and the certificate's reason"
  fi

  # A package that is not the one its published SHA-256 names: 5, and nothing of it is kept.
  fresh
  sistema="$www/Drive/app/Sistemas/TerminalNFC-eInstalacaoLimpa.zip"
  hide_package "$sistema"
  printf 'PK not the published package' >"$sistema"
  run_silent adulterado /produto=pdv /tipo=servidor
  cleanup
  check_result adulterado 5 verificacao 'C:\Progs5\TerminalNFC-e'
  check_file "$logs/adulterado.txt" '^mensagem=Falha ao baixar o pacote terminalnfce\.zip .*não confere com a soma de verificação SHA-256'
  check_file "$logs/adulterado.log" 'Download falhou: .*TerminalNFC-eInstalacaoLimpa\.zip, HTTP 200, .*SHA-256'
  ls "$c/Progs5/TerminalNFC-e" | grep -q '^terminalnfce' && fail "the tampered package was kept"

  # No Firebird running and its setup missing on the server: what failed is a download (4),
  # and the result file says it was Firebird's.
  fresh
  stop_standin_server
  hide_package "$www/Drive/app/Uteis/Firebird-2.5.9x86.exe"
  run_silent sem-firebird /produto=pdv /tipo=servidor
  cleanup
  check_result sem-firebird 4 download 'C:\Progs5\TerminalNFC-e'
  check_file "$logs/sem-firebird.txt" '^etapa=firebird'$'\r'
  check_file "$logs/sem-firebird.log" 'Etapa: Firebird não está ativo'
  check_file "$logs/sem-firebird.log" 'Erro: Falha ao baixar o pacote Firebird-2\.5\.9x86\.exe .*404'
  no_file "$c/Progs5/TerminalNFC-e/GLOBAL.INI"

  # Bad parameters: 2, the reason and the usage on stderr, nothing started, nothing installed.
  fresh
  run_silent parametros /produto=erp /tipo=servidor
  ((code == 2)) || fail "bad parameters: exit code $code, not 2"
  grep -q 'Produto inválido: "erp"' "$shots/parametros.stderr" || fail "stderr: $(cat "$shots/parametros.stderr")"
  grep -q '/produto=loja|pdv' "$shots/parametros.stderr" || fail "no usage on stderr"
  check_file "$logs/parametros.txt" '^codigo=2'$'\r'
  check_file "$logs/parametros.log" 'Erro: Produto inválido'
  no_file "$c/Progs5"
  # Without a stderr (started from the desktop) and without /silencioso: a box says it.
  rm -f "$shots/parametros-caixa.png"
  wine start /wait /unix "$exe" /tipo=cliente </dev/null >/dev/null 2>&1 &
  app=$!
  box=$(wait_box InstaladorVeltra "no box for bad parameters without a stderr")
  sleep 0.5
  shot parametros-caixa
  said=$(wine "$probe" InstaladorVeltra 2>/dev/null | tr -d '\r')
  for want in 'Tipo inválido: "cliente"' '/produto=loja|pdv' '/resultado=ARQUIVO'; do
    grep -qF "$want" <<<"$said" || fail "the box does not say \"$want\": $said"
  done
  xdotool search --name "^$caption\$" >/dev/null 2>&1 && fail "the wizard started with bad parameters"
  xdotool windowactivate --sync "$box" key Return
  wait "$app" || true
  app=""
  echo "failures: 4 download, 5 verificacao, 4 firebird's setup, 2 parametros (stderr and box)"
fi

if [[ "$what" == pastas || "$what" == all ]]; then
  # A folder the installation writes into that cannot be made (a file stands in its place, which
  # stops root as well as anyone) is refused by name before anything is downloaded: 10.
  for caso in uteis atualiza; do
    fresh
    rm -rf "$c/Atualiza"
    mkdir -p "$c/Progs5"
    case $caso in
      uteis) echo "não é uma pasta" >"$c/Progs5/Uteis"; pasta='C:\\Progs5\\Uteis' ;;
      atualiza) echo "não é uma pasta" >"$c/Atualiza"; pasta='C:\\Atualiza' ;;
    esac
    run_silent "pasta-$caso" /produto=loja /tipo=servidor
    rm -rf "$c/Progs5/Uteis" "$c/Atualiza"
    check_result "pasta-$caso" 10 pasta 'C:\Progs5\Berfon'
    check_file "$logs/pasta-$caso.txt" "^mensagem=Não é possível usar a pasta .*\"$pasta\\\\?\""
    check_file "$logs/pasta-$caso.txt" '^etapa=pasta'$'\r'
    grep -qa 'Download' "$logs/pasta-$caso.log" && fail "pasta-$caso: something was downloaded"
    grep -qa 'Etapa:' "$logs/pasta-$caso.log" && fail "pasta-$caso: a step began"
  done
  # A folder that is not a full path would land wherever the program started.
  fresh
  run_silent pasta-relativa /produto=pdv /tipo=servidor /dir=Progs5
  check_result pasta-relativa 10 pasta 'Progs5'
  check_file "$logs/pasta-relativa.txt" '^mensagem=A pasta "Progs5" não serve: .*caminho completo, como C:\\Progs5\\Berfon'
  grep -qa 'Download' "$logs/pasta-relativa.log" && fail "pasta-relativa: something was downloaded"
  # A result file that cannot be written is a bad parameter, said before anything starts.
  fresh
  mkdir -p "$logs"
  echo "não é uma pasta" >"$logs/arquivo"
  wait_no_other_installer
  set +e
  timeout 120 wine "$exe" /produto=pdv /tipo=servidor /silencioso '/log=C:\frota\resultado.log' \
    '/resultado=C:\frota\arquivo\r.txt' </dev/null >"$shots/resultado.stdout" 2>"$shots/resultado.stderr"
  code=$?
  set -e
  rm -f "$logs/arquivo"
  ((code == 2)) || fail "an unwritable /resultado=: exit code $code, not 2"
  grep -q 'Não é possível gravar o resultado em "C:\\frota\\arquivo\\r.txt"' "$shots/resultado.stderr" ||
    fail "stderr: $(cat "$shots/resultado.stderr")"
  check_file "$logs/resultado.log" 'Fim: código 2 \(parametros\)'
  no_file "$c/Progs5"
  echo "pastas: ..\\Uteis and C:\\Atualiza refused with 10 before any download, a relative /dir 10, /resultado= 2"
fi

if [[ "$what" == concorrentes || "$what" == all ]]; then
  # Two installations into one folder: the second, whether it starts with the first or while
  # the first runs, ends with 1618 and touches nothing (a Unix parent sees 1618 mod 256 = 82:
  # the result files tell).
  concorrente() {  # NAME: an unattended ERP server installation in the background
    rm -f "$logs/$1.log" "$logs/$1.txt"
    wine "$exe" /produto=loja /tipo=servidor /silencioso "/log=C:\\frota\\$1.log" \
      "/resultado=C:\\frota\\$1.txt" </dev/null >/dev/null 2>&1 &
  }
  result_code() { sed -n 's/^codigo=\([0-9]*\)\r$/\1/p' "$logs/$1.txt" 2>/dev/null; }
  for intervalo in 0 5; do
    fresh
    wait_no_other_installer
    concorrente "primeira-$intervalo"
    a=$!
    sleep "$intervalo"
    concorrente "segunda-$intervalo"
    b=$!
    set +e
    wait "$a"
    wait "$b"
    set -e
    codes="$(result_code "primeira-$intervalo") $(result_code "segunda-$intervalo")"
    case "$codes" in
      "0 1618") perdedora="segunda-$intervalo" ;;
      "1618 0") perdedora="primeira-$intervalo" ;;
      *) fail "two installations $intervalo s apart ended with codes \"$codes\" (one 0, one 1618 expected)" ;;
    esac
    ((intervalo == 0)) || [[ "$perdedora" == "segunda-$intervalo" ]] || fail "the first installation was refused"
    check_file "$logs/$perdedora.txt" '^situacao=em_andamento'$'\r'
    check_file "$logs/$perdedora.txt" '^produto=loja'$'\r'
    check_file "$logs/$perdedora.txt" '^mensagem=Já existe uma instalação em andamento\.'$'\r'
    grep -qa 'Etapa:' "$logs/$perdedora.log" && fail "$perdedora: the refused run began a step"
    b="$c/Progs5/Berfon"
    check_file "$b/estoque.exe_antes1" '.'
    no_file "$b/estoque.exe_antes2"  # one update, one backup generation
    [[ "$(grep -ac 'Executando: .*databasecompare' "$logs/primeira-$intervalo.log" "$logs/segunda-$intervalo.log" | awk -F: '{s+=$2} END {print s}')" == 1 ]] ||
      fail "the database tool ran more than once"
  done
  echo "concorrentes: together and 5 s apart, one installs and the other ends with 1618"
fi

if [[ "$what" == killed || "$what" == all ]]; then
  fresh
  rm -f "$logs/morto.log"
  wait_no_other_installer
  wine "$exe" /produto=loja /tipo=servidor /silencioso '/log=C:\frota\morto.log' '/resultado=C:\frota\morto.txt' \
    </dev/null >/dev/null 2>&1 &
  app=$!
  for _ in $(seq 300); do grep -qa 'Etapa: Extraindo Sistema' "$logs/morto.log" 2>/dev/null && break; sleep 0.1; done
  grep -qa 'Etapa: Extraindo Sistema' "$logs/morto.log" || fail "the run did not get to the extraction"
  kill -9 "$app"
  wait "$app" 2>/dev/null || true
  app=""
  cp -f "$logs/morto.log" "$shots/morto.log"
  check_file "$logs/morto.log" 'Download: https?://.*/QuendaInstalacaoLimpa\.zip, HTTP 200'
  check_file "$logs/morto.log" 'Etapa: Extraindo Sistema'
  [[ "$(tail -c 2 "$logs/morto.log" | od -An -c | tr -d ' ')" == '\r\n' ]] || fail "the log's last line was cut"
  grep -qa 'Fim:' "$logs/morto.log" && fail "the killed run logged an end"
  no_file "$logs/morto.txt"
  echo "killed: the log holds $(wc -l <"$logs/morto.log") whole lines, up to \"$(tail -1 "$logs/morto.log" | tr -d '\r' | cut -c26-)\""
fi

if [[ "$what" == closed || "$what" == all ]]; then
  # Closing an unattended run's window (a deployment tool giving up, a shutdown) stops it
  # without a question: 9, and the log says why.
  fresh
  rm -f "$logs/fechado.log" "$logs/fechado.txt"
  wait_no_other_installer
  wine "$exe" /produto=pdv /tipo=servidor /silencioso '/log=C:\frota\fechado.log' '/resultado=C:\frota\fechado.txt' \
    </dev/null >/dev/null 2>&1 &
  app=$!
  for _ in $(seq 300); do grep -qa 'Etapa: Baixando Sistema' "$logs/fechado.log" 2>/dev/null && break; sleep 0.1; done
  win=$(xdotool search --name "^$caption\$" | head -1)
  [[ -n "$win" ]] || fail "the unattended run shows no window"
  xdotool windowactivate --sync "$win" key alt+F4
  set +e
  for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.2; done
  wait "$app"
  code=$?
  set -e
  app=""
  cp -f "$logs/fechado.log" "$shots/fechado.log"
  check_result fechado 9 cancelada 'C:\Progs5\TerminalNFC-e'
  check_file "$logs/fechado.log" 'Pedido de fechamento da janela durante a instalação'
  check_file "$logs/fechado.log" 'Interrompida: A instalação foi interrompida antes do fim'
  echo "closed: exit 9 without a question"
fi

if [[ "$what" == wizard || "$what" == all ]]; then
  start_with() {
    wait_no_other_installer
    wine "$exe" "$@" </dev/null >/dev/null 2>&1 &
    app=$!
    for _ in $(seq 100); do xdotool search --name "$caption" >/dev/null 2>&1 && break; sleep 0.2; done
    win=$(xdotool search --name "$caption" | head -1)
    [[ -n "$win" ]] || fail "the window did not appear"
  }
  stop_app() {
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    app=""
    sleep 0.5
  }
  # Everything chosen: the PDV page, both folders as given; Enter would install.
  start_with /produto=pdv /tipo=estacao /servidor=caixa07 '/dir=C:\Lojas\PDV' '/dirquenda=C:\Lojas\Berfon'
  expect_text 'Diretorio de instalação do PDV'
  expect_text 'C:\Lojas\PDV'
  expect_text 'C:\Lojas\Berfon'
  expect_focus 'C:\\Lojas\\PDV'
  sleep 0.5
  shot wizard-01-pdv
  stop_app
  # A workstation without its server: the type page, "Estação" chosen, the name field waiting.
  start_with /produto=loja /tipo=estacao '/dir=C:\Lojas\Berfon'
  expect_text 'Qual o "IP/Nome" do Servidor?'
  expect_text 'Estação'
  expect_focus class:Edit
  sleep 0.5
  shot wizard-02-tipo
  keys s r v 0 1 Return
  expect_text 'C:\Lojas\Berfon'
  shot wizard-03-loja
  stop_app
  echo "wizard: the PDV page and the type page came filled in"
fi

if [[ "$what" == proxy || "$what" == all ]]; then
  fresh
  stop_standin_server  # the Firebird setup is the first package, and the one the link cuts
  # Only the registry names the proxy: the host's variables would come first.
  unset http_proxy https_proxy all_proxy no_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY NO_PROXY
  proxies_dir="$shots/proxies"
  rm -rf "$proxies_dir"
  mkdir -p "$proxies_dir"
  python3 "$src/tests/net/proxies.py" start "$proxies_dir" >/dev/null || fail "the proxies did not start"
  tiny=$(sed -n 's/^http=//p' "$proxies_dir/ports")
  user=$(sed -n 's/^http_user=//p' "$proxies_dir/ports")
  password=$(sed -n 's/^http_password=//p' "$proxies_dir/ports")
  # The link to the proxy drops three times, each 256 KiB into a transfer.
  python3 "$(dirname "$0")/flaky_relay.py" "$tiny" 3 262144 "$proxies_dir" &
  relay=$!
  for _ in $(seq 50); do [[ -f "$proxies_dir/relay.port" ]] && break; sleep 0.1; done
  [[ -f "$proxies_dir/relay.port" ]] || fail "the relay did not start"
  set_inet ProxyEnable REG_DWORD 1
  set_inet ProxyServer REG_SZ "127.0.0.1:$(cat "$proxies_dir/relay.port")"
  set_inet ProxyOverride REG_SZ '<-loopback>'
  run_silent proxy /produto=loja /tipo=estacao /servidor=servidor01 '/dir=C:\Lojas\Proxy' \
    "/proxyusuario=$user" "/proxysenha=$password"
  restore_inet
  check_result proxy 0 instalado 'C:\Lojas\Proxy'
  [[ -f "$c/Lojas/Proxy/estoque.exe" ]] || fail "no estoque.exe"
  check_file "$logs/proxy.log" 'Proxy: configurações de Internet do usuário \(ProxyEnable=1, ProxyServer=127\.0\.0\.1:[0-9]+, ProxyOverride=<-loopback>\): https?://127\.0\.0\.1:[0-9]+ -> 127\.0\.0\.1:[0-9]+; https?://127\.0\.0\.2:[0-9]+ -> 127\.0\.0\.1:[0-9]+'
  check_file "$logs/proxy.log" '/proxysenha=\*\*\*'
  grep -qaF "$password" "$logs/proxy.log" "$logs/proxy.txt" && fail "the proxy's password was written"
  tries=$(grep -caE 'Tentativa [1-5] de 6 falhou .*continuando do que já chegou' "$logs/proxy.log" || true)
  ((tries == 3)) || fail "proxy: $tries attempts tried again, not 3: $(grep -a Tentativa "$logs/proxy.log")"
  check_file "$logs/proxy.log" 'Download: https?://127\.0\.0\.1:[0-9]+/Drive/app/Uteis/Firebird-2\.5\.9x86\.exe, HTTP 206, [0-9]+ bytes \(retomado de [0-9]+\)'
  check_file "$proxies_dir/relay.log" 'queda 3 de 3'
  # Every package came through the proxy, which logged each tunnel it opened.
  check_file "$proxies_dir/tinyproxy.log" 'CONNECT 127\.0\.0\.1:[0-9]+|Request \(file descriptor [0-9]+\): CONNECT 127\.0\.0\.1'
  check_file "$proxies_dir/tinyproxy.log" '127\.0\.0\.2'
  cp -f "$proxies_dir/tinyproxy.log" "$proxies_dir/relay.log" "$shots/"
  echo "proxy: exit 0 through the proxy of the Internet settings, three drops tried again."
  echo "  the installer's log:"
  grep -aE 'Proxy:|Tentativa|Download(: | falhou).*(Firebird|Quenda|estoque)|Fim:' "$logs/proxy.log" |
    tr -d '\r' | cut -c25- | sed 's/^/    /'
  echo "  the proxy's log:"
  grep -aE 'CONNECT|Request' "$proxies_dir/tinyproxy.log" | tail -12 | sed 's/^/    /'
  echo "  the link's log:"
  sed 's/^/    /' "$proxies_dir/relay.log"
  kill "$relay" 2>/dev/null || true
  relay=""

  # The auto-config script, served beside the packages for the run, names the proxy; Windows
  # (here Wine's WinHTTP) runs it.
  fresh
  pac="$www/proxy-teste.pac"
  printf 'function FindProxyForURL(url, host) { return "PROXY 127.0.0.1:%s"; }\n' "$tiny" >"$pac"
  http_port=$(sed -n 's/^VLT_DEMO_PORT:STRING=//p' "$(dirname "$www")/../CMakeCache.txt")
  set_inet AutoConfigURL REG_SZ "http://127.0.0.1:$http_port/proxy-teste.pac"
  run_silent pac /produto=pdv /tipo=servidor "/proxyusuario=$user" "/proxysenha=$password"
  restore_inet
  rm -f "$pac"
  check_result pac 0 instalado 'C:\Progs5\TerminalNFC-e'
  check_file "$logs/pac.log" 'Proxy: script de configuração automática http://127\.0\.0\.1:[0-9]+/proxy-teste\.pac: https?://127\.0\.0\.1:[0-9]+ -> 127\.0\.0\.1:'"$tiny"
  check_file "$proxies_dir/tinyproxy.log" 'CONNECT .*TerminalNFC|Request \(file descriptor [0-9]+\): (CONNECT|GET) .*127\.0\.0\.1'
  echo "pac: exit 0 through the proxy the auto-config script names"
  python3 "$src/tests/net/proxies.py" stop "$proxies_dir"
  proxies_dir=""
fi

trap - EXIT
cleanup
echo "PASS: unattended walk; logs and screenshots in $shots"
