# Shared by the black-box walks: what a person sees of the wizard and how they act on it.
# Needs $probe (the window probe), $caption and $shots set by the walk.

# A walk never ends in silence: any command that stops it under `set -e` is named with its line.
set -E
# (Only under errexit: where a walk turned it off, a failing command is one it reads itself.)
trap 'walk_status=$?; [[ $- != *e* ]] || echo "FAIL: ${BASH_SOURCE[0]##*/} line $LINENO: \"$BASH_COMMAND\" ended with status $walk_status" >&2' ERR

# Waits until no installer window of an earlier test is left (TRIES x 0.2 s, default 150), so that
# the window a walk finds by its caption is its own installer's.
wait_no_other_installer() {
  for _ in $(seq "${1:-150}"); do
    xdotool search --name "^$caption\$" >/dev/null 2>&1 || return 0
    sleep 0.2
  done
  echo "FAIL: an installer window of an earlier test is still open: $(xdotool search --name "^$caption\$" 2>/dev/null | tr '\n' ' ')"
  exit 1
}

fail() { echo "FAIL: $*"; echo "--- window shows:"; see || true; exit 1; }
see() { wine "$probe" "$caption" 2>/dev/null | tr -d '\r'; }
# Waits until the window shows a control with exactly this text (TRIES x 0.2 s, default 50).
expect_text() {
  for _ in $(seq "${2:-50}"); do
    see | awk -F'\t' -v t="$1" '$2 == t {found=1} END {exit !found}' && return 0
    sleep 0.2
  done
  fail "\"$1\" is not on screen"
}
expect_no_text() {
  see | awk -F'\t' -v t="$1" '$2 == t {found=1} END {exit found}' || fail "\"$1\" is still on screen"
}
# Clicks the n-th visible control (default first) whose text is exactly $1.
click() {
  local pos
  pos=$(see | awk -F'\t' -v t="$1" -v n="${2:-1}" '$2 == t && ++k == n {print $3, $4}')
  [[ -n "$pos" ]] || fail "no control \"$1\" to click"
  xdotool mousemove --sync $pos click 1
}
click_class() {
  local pos
  pos=$(see | awk -F'\t' -v c="$1" 'tolower($1) == tolower(c) {print $3, $4; exit}')
  [[ -n "$pos" ]] || fail "no $1 to click"
  xdotool mousemove --sync $pos click 1
}
# Waits for a box captioned exactly $1 (TRIES x 0.2 s, default 50) and prints its window;
# fails with $2 when none comes.
wait_box() {
  local found=""
  for _ in $(seq "${3:-50}"); do
    found=$(xdotool search --name "^$1\$" 2>/dev/null | head -1 || true)
    [[ -n "$found" ]] && { echo "$found"; return 0; }
    sleep 0.2
  done
  fail "$2" >&2  # shown, not taken as the window by the caller's $(...)
}
shot() { /usr/bin/import -window root "$shots/$1.png"; }
# Waits until the keyboard focus is on the n-th visible control (default first) whose text is
# exactly $1; with $1 = "class:NAME", on the first control of that window class.
expect_focus() {
  local want got
  for _ in $(seq 25); do
    if [[ "$1" == class:* ]]; then
      want=$(see | awk -F'\t' -v c="${1#class:}" 'tolower($1) == tolower(c) {print $3, $4; exit}')
    else
      want=$(see | awk -F'\t' -v t="$1" -v n="${2:-1}" '$2 == t && ++k == n {print $3, $4}')
    fi
    got=$(wine "$probe" --focus "$caption" 2>/dev/null | tr -d '\r' | awk -F'\t' '{print $3, $4}')
    [[ -n "$want" && "$want" == "$got" ]] && return 0
    sleep 0.2
  done
  fail "the focus is not on \"$1\" ${2:-}: $(wine "$probe" --focus "$caption" 2>/dev/null | tr -d '\r')"
}
# Keys to the wizard window, as typed.
keys() { xdotool windowactivate --sync "$win" key --delay 150 "$@"; }
