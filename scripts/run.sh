#!/usr/bin/env bash
# Sets everything up, builds, and starts Folvane in the samples folder (or in the folder given).
# Without a display it runs on a virtual X server and writes a screenshot once the windows are up.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:-$root/samples}
"$root/scripts/setup-packages.sh"
"$root/scripts/build.sh"
source "$root/scripts/wine-env.sh"
virtual=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then virtual=1; fi
trap folvane_stop_all EXIT
folvane_start_x "$virtual"
folvane_prepare_prefix
folvane_set_desktop "$virtual"
folvane_start_wineserver
"$root/scripts/register-control.sh"
mkdir -p "$folder"
cd "$folder"
if [ "$virtual" = 0 ]; then
  wine "$FOLVANE_BUILD/app/Folvane.exe"
  exit 0
fi
echo "No display: running on a virtual X server ($DISPLAY)."
wine "$FOLVANE_BUILD/app/Folvane.exe" &
program=$!
shot=$FOLVANE_BUILD/folvane-screenshot.png
for _ in $(seq 1 120); do
  if xwininfo -root -tree 2>/dev/null | grep -q 'File explorer' &&
     xwininfo -root -tree 2>/dev/null | grep -q 'Quillmere'; then break; fi
  sleep 1
done
sleep 3
import -window root "$shot"
echo "Screenshot: $shot"
echo "The program runs until its viewer window is closed (Ctrl+C stops it)."
wait "$program" || true
