# Sourced by the run and test scripts: one Wine prefix inside the build tree, one persistent
# wineserver, and an X server (the user's, or a virtual one) for everything of a run.
# Every command of a run uses the same locale and time zone: a Wine process started with
# another locale resets the prefix's regional overrides.

FOLVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
FOLVANE_BUILD=${FOLVANE_BUILD:-$FOLVANE_ROOT/build}
export WINEPREFIX=$FOLVANE_BUILD/wineprefix
export WINEARCH=win32
export WINEDEBUG=-all
export TZ=UTC
export LANG=C.UTF-8
unset LC_ALL
FOLVANE_XVFB_PID=
FOLVANE_STARTED_SERVER=0

# Starts a virtual X server unless asked to use the user's display and one is there.
folvane_start_x() {
  local want_virtual=$1
  if [ "$want_virtual" = 0 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  FOLVANE_XVFB_PID=$!
  local num
  read -r num <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$num"
}

# Creates the prefix once; the stamp names the settings so that a changed recipe rebuilds it.
folvane_prepare_prefix() {
  local stamp=$WINEPREFIX/.folvane-prefix-v2
  [ -f "$stamp" ] && return 0
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  echo "Preparing the Wine prefix in $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  # Wine's own fonts (MS Sans Serif, Tahoma, ...) are not found in its data folder when its
  # loader runs under the emulator; in the prefix's Fonts folder they are.
  cp /usr/share/wine/fonts/*.fon /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  # The classic look of status bars and bevels.
  wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' /v ThemeActive /d 0 /f >/dev/null 2>&1
  wineserver -w
  touch "$stamp"
}

# A virtual desktop draws window frames on an X server without a window manager, and gives
# fixed geometry; on the user's own display the window manager draws them.
folvane_set_desktop() {
  if [ "$1" = 1 ]; then
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x800 /f >/dev/null 2>&1
  else
    wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || true
  fi
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
}

folvane_start_wineserver() {
  # A server left from set-up steps would make -p fail; wait for it to go first.
  wineserver -w >/dev/null 2>&1 || true
  wineserver -p >/dev/null 2>&1 || true
  FOLVANE_STARTED_SERVER=1
}

# Stops what this run started, so nothing is left holding the caller's output open.
folvane_stop_all() {
  if [ "$FOLVANE_STARTED_SERVER" = 1 ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "$FOLVANE_XVFB_PID" ]; then
    kill "$FOLVANE_XVFB_PID" 2>/dev/null || true
    wait "$FOLVANE_XVFB_PID" 2>/dev/null || true
  fi
}

# A virtual X server, the prefix with its desktop, and one persistent wineserver: what every
# benchmark run needs before its first Windows program.
folvane_start_virtual_session() {
  folvane_start_x 1
  folvane_prepare_prefix
  folvane_set_desktop 1
  folvane_start_wineserver
}
