# Sourced by the walks. stop_standin_server: ends the demo's stand-in Firebird server left
# running by an earlier installation in this prefix, by PID (and only this prefix's: other build
# trees have servers of their own).
stop_standin_server() {
  local p pid
  for p in /proc/[0-9]*; do
    pid=${p#/proc/}
    tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    tr '\0' ' ' 2>/dev/null <"$p/cmdline" | grep -qi 'fbserver\.exe' || continue
    kill "$pid" 2>/dev/null || true
  done
}
