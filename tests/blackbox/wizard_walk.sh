#!/usr/bin/env bash
# Drives the real InstaladorVeltra.exe under Wine as a person would (xdotool clicks and types
# on an X display with a window manager) and checks what the window shows at each step:
#   Home -> "Instalar" under "Loja" -> type page -> "Estação" with no name -> "Continuar"
#   -> warning -> dismiss -> type a name -> "Continuar" -> ERP directory page
#   -> "Voltar" twice -> Home;
# then the same pages with the keyboard only (Tab, Shift+Tab, Enter, Space, Esc), checking
# where the focus is after every page change.
# Usage: wizard_walk.sh INSTALLER.exe PROBE.exe SCREENSHOT_DIR
set -euo pipefail
exe=$1 probe=$2 shots=$3
caption="Veltra Sistemas | Instalador"
[[ -n "${DISPLAY:-}" ]] || { echo "FAIL: no X display (scripts/test provides Xvfb + openbox)"; exit 1; }
mkdir -p "$shots"
rm -f "$shots"/*.png

source "$(dirname "$0")/walk_lib.sh"
wait_no_other_installer

wine "$exe" </dev/null >/dev/null 2>&1 &
app=$!
cleanup() { kill "$app" 2>/dev/null || true; }
trap cleanup EXIT

for _ in $(seq 100); do xdotool search --name "$caption" >/dev/null 2>&1 && break; sleep 0.2; done
win=$(xdotool search --name "$caption" | head -1)
[[ -n "$win" ]] || fail "the window did not appear"

expect_text "Bem-vindo ao Quenda"
expect_text "O que você deseja instalar?"
shot 01-home
# From the very start only the home page's controls exist for the operator: no other page's
# button is on screen, and Tab goes round the two "Instalar" and "Proxy…" alone.
for other in "Voltar" "Continuar" "Fechar"; do expect_no_text "$other"; done
expect_focus "Instalar" 1
for _ in 1 2 3; do
  keys Tab
  expect_focus "Instalar" 2
  keys Tab
  expect_focus "Proxy…"
  keys Tab
  expect_focus "Instalar" 1
done
# "Proxy…" shows what was found, refuses an address it cannot read with the reason, and a
# cancel changes nothing.
click "Proxy…"
wait_box "Proxy" "no proxy dialog" >/dev/null
shot 01-proxy
xdotool key --delay 50 ctrl+a p r o x y period l o j a Return
box=$(wait_box "Atenção" "no warning for an address without its port")
seen=$(wine "$probe" "Atenção" 2>/dev/null | tr -d '\r')
[[ "$seen" == *'O endereço de proxy "proxy.loja" não serve: falta a porta'* ]] ||
  fail "warning box shows: $seen"
shot 01-proxy-aviso
xdotool windowactivate --sync "$box" key Return
wait_box "Proxy" "the proxy dialog did not come back" >/dev/null
xdotool key Escape
for _ in $(seq 25); do xdotool search --name "^Proxy\$" >/dev/null 2>&1 || break; sleep 0.2; done
expect_text "Bem-vindo ao Quenda"
click "Instalar" 1

expect_text "Qual tipo dessa instalação?"
expect_no_text "Bem-vindo ao Quenda"
expect_no_text "Qual o \"IP/Nome\" do Servidor?"
shot 02-tipo-servidor

# Choose "Estação": open the list and take the second item with the keyboard.
click_class "ComboBox"
xdotool key --delay 100 Down Return
expect_text "Qual o \"IP/Nome\" do Servidor?"
shot 03-tipo-estacao
click "Continuar"

box=$(wait_box "Atenção" "no warning box")
seen=$(wine "$probe" "Atenção" 2>/dev/null | tr -d '\r')
[[ "$seen" == $'box\tAtenção\tO campo "IP/Nome Servidor" não pode ficar vazio.' ]] ||
  fail "warning box shows: $seen"
shot 04-aviso
xdotool windowactivate --sync "$box" key Return
for _ in $(seq 50); do xdotool search --name "^Atenção$" >/dev/null 2>&1 || break; sleep 0.2; done
expect_text "Qual tipo dessa instalação?"

# The focus went back to the server-name edit: type without clicking it.
xdotool windowactivate --sync "$win"
xdotool type --delay 50 "servidor01"
expect_text "servidor01"
shot 05-tipo-nome
click "Continuar"

expect_text "Diretorio de instalação"
expect_text 'C:\Progs5\Berfon\'
expect_no_text "Qual tipo dessa instalação?"
shot 06-diretorio-loja

# A folder on a drive that does not exist is refused before anything happens, in Portuguese,
# and the page stays usable.
click_class "Edit"
xdotool key --delay 100 End shift+Home
xdotool type --delay 30 'Q:\x'
expect_text 'Q:\x'
click "Continuar"
box=$(wait_box "Atenção" "no warning for a folder on a missing drive")
seen=$(wine "$probe" "Atenção" 2>/dev/null | tr -d '\r')
[[ "$seen" == $'box\tAtenção\tNão é possível instalar na pasta "Q:\\x".'* ]] ||
  fail "warning box shows: $seen"
shot 06b-pasta-invalida
xdotool windowactivate --sync "$box" key Return
for _ in $(seq 50); do xdotool search --name "^Atenção$" >/dev/null 2>&1 || break; sleep 0.2; done
expect_text "Diretorio de instalação"
expect_text "Continuar"
click_class "Edit"
xdotool key --delay 100 End shift+Home
xdotool type --delay 30 'C:\Progs5\Berfon\'
expect_text 'C:\Progs5\Berfon\'

click "Voltar"
expect_text "Qual tipo dessa instalação?"
expect_text "servidor01"
click "Voltar"
expect_text "Bem-vindo ao Quenda"
shot 07-home-de-novo

# The keyboard alone: each page starts on its first control; Tab and Shift+Tab walk it; Enter
# presses the focused button, or "Continuar" from a field; Esc does nothing.
expect_focus "Instalar" 1
keys Tab
expect_focus "Instalar" 2
keys shift+Tab
expect_focus "Instalar" 1
keys Return
expect_text "Qual tipo dessa instalação?"
expect_focus class:ComboBox
keys Escape
expect_text "Qual tipo dessa instalação?"
keys Tab
expect_focus "servidor01"
keys ctrl+a
xdotool type --delay 50 "srv-teclado"
keys Return
expect_text "Diretorio de instalação"
expect_focus 'C:\Progs5\Berfon\'
shot 08-teclado-diretorio
# The folder picture takes the focus and opens the picker with Space; Esc closes the picker.
keys Tab
expect_focus class:VeltraFolderIcon
keys space
picker=""
for _ in $(seq 50); do
  picker=$(xdotool search --name "^Selecione o diretorio para instalação do sistema$" 2>/dev/null | head -1 || true)
  [[ -n "$picker" ]] && break
  sleep 0.2
done
[[ -n "$picker" ]] || fail "Space on the folder picture opened no picker"
shot 09-teclado-pasta
xdotool windowactivate --sync "$picker" key Escape
for _ in $(seq 50); do xdotool search --name "^Selecione o diretorio" >/dev/null 2>&1 || break; sleep 0.2; done
expect_focus class:VeltraFolderIcon
keys Tab
expect_focus "Voltar"
keys Return
expect_text "Qual tipo dessa instalação?"
expect_text "srv-teclado"
expect_focus class:ComboBox
keys shift+Tab
expect_focus "Continuar"
keys Tab Tab Tab
expect_focus "Voltar"
keys Return
expect_text "Bem-vindo ao Quenda"
expect_focus "Instalar" 1

# The window's close control ends the program.
xdotool windowactivate --sync "$win" key alt+F4 2>/dev/null || xdotool windowclose "$win"
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.2; done
kill -0 "$app" 2>/dev/null && fail "the program did not end when its window was closed"
trap - EXIT
echo "PASS: wizard walk; screenshots in $shots"
