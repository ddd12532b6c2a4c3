#!/usr/bin/env bash
# The release as a Windows user meets it, in a fresh Wine prefix of its own on the display of
# the test run: "install" runs the setup program silently (also against another control's
# registration, and again over the installed copy), the installed program and the
# uninstaller; "portable" unpacks the zip and runs the program from there.
# Usage: release-test.sh install|portable BUILD_DIR SAMPLES_DIR PROBE_EXE VERSION
set -uo pipefail
mode=$1 build=$2 samples=$3 probe=$4 version=$5
dist=$build/dist
work=$build/release-tests/$mode
clsid='{CA8A9780-280D-11CF-A24D-444553540000}'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Folvane'
user_class="HKCU\\Software\\Classes\\CLSID\\$clsid"
machine_class="HKLM\\Software\\Classes\\CLSID\\$clsid"

rm -rf "$work"
mkdir -p "$work/documents"
cp "$samples/drawing.pdf" "$work/documents/"
FOLVANE_BUILD=$work
source "$(dirname "$0")/../../scripts/wine-env.sh"
trap folvane_stop_all EXIT
folvane_prepare_prefix
folvane_set_desktop 1
folvane_start_wineserver

failures=0
check() {
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
# A registry value's data (the key's default value without a name), empty when missing.
reg_data() {
  local args=(/ve)
  [ $# -gt 1 ] && args=(/v "$2")
  wine reg query "$1" "${args[@]}" >"$work/reg.out" 2>/dev/null || return 0
  sed -n 's/^ *[^ ].*  *REG_[A-Z_]*  *//p' "$work/reg.out" | tr -d '\r' | head -n 1
}
key_exists() { wine reg query "$1" >/dev/null 2>&1; }
no_key() { ! key_exists "$1"; }
equals() { [ "$1" = "$2" ] || { echo "  '$1' is not '$2'"; return 1; }; }
ends_with() { [ "${1%"$2"}" != "$1" ] || { echo "  '$1' does not end with '$2'"; return 1; }; }
# Runs a Windows program of the prefix; its exit code.
run() { wine "$@" >>"$work/wine.log" 2>&1; }
# The released program opens the sample and paints its page, read back by the probe.
page_painted() {
  FOLVANE_PROBE_PROGRAM=$1 FOLVANE_PROBE_FOLDER=$(winepath -w "$work/documents") FOLVANE_PROBE_SAMPLE=drawing.pdf \
    wine "$probe" --gtest_color=no >"$work/probe.log" 2>&1 || { cat "$work/probe.log"; return 1; }
}
# Nothing under the class ID anywhere in the prefix's registry, as the server saved it.
class_id_unwritten() {
  wineserver -k >/dev/null 2>&1; wineserver -w
  ! grep -il "${clsid:1:8}" "$WINEPREFIX"/*.reg
  local clean=$?
  folvane_start_wineserver
  return $clean
}

if [ "$mode" = install ]; then
  setup=$(winepath -w "$dist/Folvane-setup.exe")
  # Another control under the class ID: setup stops, takes nothing over and installs nothing.
  other='C:\Other\viewer.ocx'
  wine reg add "$user_class\\InprocServer32" /ve /d "$other" /f >/dev/null 2>&1
  run "$setup" /S; code=$?
  check "setup refuses another control's class ID (exit $code)" equals "$code" 3
  check "the other control keeps its registration" equals "$(reg_data "$user_class\\InprocServer32")" "$other"
  check "nothing installed beside another control" no_key "$uninstall_key"
  wine reg delete "$user_class" /f >/dev/null 2>&1

  run "$setup" /S; code=$?
  check "silent setup succeeds (exit $code)" equals "$code" 0
  location=$(reg_data "$uninstall_key" InstallLocation)
  programs='\AppData\Local\Programs\Folvane'
  check "installed into the user's local programs folder ($location)" ends_with "$location" "$programs"
  folder=$(winepath -u "$location" 2>/dev/null)
  profile=${location%"$programs"}
  shortcut=$(winepath -u "$profile\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Folvane.lnk")
  for f in Folvane.exe PdfControl.dll PdfRender.exe Uninstall.exe README.txt fonts/LiberationSans-Regular.ttf \
           fonts/D050000L.t1 Folvane.exe.manifest licences/poppler-copyright.txt licences/freetype-FTL.txt; do
    check "installed $f" test -f "$folder/$f"
  done
  check "Start-menu shortcut" test -f "$shortcut"
  check "uninstall entry names the version" equals "$(reg_data "$uninstall_key" DisplayVersion)" "$version"
  check "uninstall entry has the icon" equals "$(reg_data "$uninstall_key" DisplayIcon)" "$location\\Folvane.exe,0"
  check "uninstall entry runs the uninstaller" equals "$(reg_data "$uninstall_key" UninstallString)" "\"$location\\Uninstall.exe\""
  check "control registered in the user's classes" \
    equals "$(reg_data "$user_class\\InprocServer32")" "$location\\PdfControl.dll"
  check "control not registered machine-wide" no_key "$machine_class"
  check "the installed program paints the sample's page" page_painted "$location\\Folvane.exe"

  # Installing again upgrades the copy in place; the user's own files there stay, also after
  # the uninstaller has run.
  echo '[Folvane]' >"$folder/mine.ini"
  run "$setup" /S; code=$?
  check "setup over the installed copy succeeds (exit $code)" equals "$code" 0
  check "upgrade keeps the folder" equals "$(reg_data "$uninstall_key" InstallLocation)" "$location"
  check "upgrade keeps the registration" equals "$(reg_data "$user_class\\InprocServer32")" "$location\\PdfControl.dll"

  run "$folder/Uninstall.exe" /S
  # The silent uninstaller goes on in a copy of itself: wait for its last step.
  for _ in $(seq 1 120); do key_exists "$uninstall_key" || break; sleep 0.5; done
  check "uninstall entry removed" no_key "$uninstall_key"
  check "only the user's file is left in the folder ($(ls "$folder" | tr '\n' ' '))" \
    equals "$(ls -A "$folder")" mine.ini
  check "Start-menu shortcut removed" test ! -e "$shortcut"
  check "control unregistered for the user" no_key "$user_class"
  check "nothing under the class ID in the registry" class_id_unwritten
else
  mkdir -p "$WINEPREFIX/drive_c/Portable"
  unzip -q "$dist/Folvane-portable.zip" -d "$WINEPREFIX/drive_c/Portable"
  check "the portable copy paints the sample's page" page_painted 'C:\Portable\Folvane\Folvane.exe'
  check "nothing under the class ID in the registry" class_id_unwritten
fi

# The server is found through the prefix, so it goes before the prefix does.
folvane_stop_all
trap - EXIT
[ $failures -eq 0 ] && rm -rf "$work"
exit $(( failures > 0 ))
