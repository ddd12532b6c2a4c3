#!/usr/bin/env bash
# The release as a Windows user meets it, each mode in a fresh Wine prefix of its own on the
# display of the test run:
#   install   the setup program for the user: install, paint, upgrades (while the program
#             runs, dropping a file, from a 1.0.0 copy, into another folder), uninstall
#             without the folder's file list;
#   allusers  a release signed in the test with a self-signed certificate, its signatures,
#             and the setup program for all users. Wine's user counts as an administrator,
#             so the refusal without rights is not reached here;
#   portable  the zip, run from where it is unpacked;
#   source    the source zip against the versions built (no Wine).
# Nothing is ever registered under the viewer control's class ID.
# Usage: release-test.sh MODE BUILD_DIR SAMPLES_DIR PROBE_EXE VERSION SOURCE_DIR
set -uo pipefail
mode=$1 build=$2 samples=$3 probe=$4 version=$5 src=$6
dist=$build/dist
work=$build/release-tests/$mode
clsid='{CA8A9780-280D-11CF-A24D-444553540000}'
entry_path='Software\Microsoft\Windows\CurrentVersion\Uninstall\Folvane'

rm -rf "$work"
mkdir -p "$work/documents"
failures=0
check() {
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
equals() { [ "$1" = "$2" ] || { echo "  '$1' is not '$2'"; return 1; }; }
finish() {
  [ $failures -eq 0 ] && rm -rf "$work"
  exit $(( failures > 0 ))
}

if [ "$mode" = source ]; then
  zip=$dist/Folvane-$version-source.zip
  listing=$(unzip -Z1 "$zip")
  prefix=Folvane-$version-source
  for f in LICENSE CMakeLists.txt packaging/Folvane.nsi; do
    check "the source zip holds $f" grep -qx "$prefix/$f" <<<"$listing"
  done
  built() {
    case $1 in
      poppler | freetype) dpkg-parsechangelog -l "$build/thirdparty/src/$1/debian/changelog" -S Version ;;
      *) dpkg-query -W -f='${source:Version}' "$1" ;;
    esac
  }
  for package in poppler freetype fonts-urw-base35 fonts-liberation2; do
    version_built=$(built "$package")
    dscs=$(grep "^$prefix/debian-sources/${package}_.*\.dsc$" <<<"$listing")
    # The one source whose licence does not ask for it may be missing, with a note saying so.
    if [ "$package" = fonts-liberation2 ] && [ -z "$dscs" ] &&
       grep -qx "$prefix/debian-sources/$package-not-included.txt" <<<"$listing"; then
      echo "note: $package $version_built is not in the source zip: the archive did not serve it"
      continue
    fi
    check "one $package .dsc in the source zip ($dscs)" equals "$(wc -l <<<"$dscs")" 1
    dsc_text=$(unzip -p "$zip" "$dscs")
    check "$package in the source zip is the version built, $version_built" \
      equals "$(sed -n 's/^Version: //p' <<<"$dsc_text")" "$version_built"
    # The archives that the .dsc names, each with the size it states.
    while read -r _ size name; do
      check "$package's $name is in the source zip" \
        equals "$(unzip -Zl "$zip" "$prefix/debian-sources/$name" 2>/dev/null | awk 'NR == 1 { print $4 }')" "$size"
    done < <(awk '/^Files:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF == 3' <<<"$dsc_text")
  done
  finish
fi

cp "$samples/drawing.pdf" "$work/documents/"
FOLVANE_BUILD=$work
source "$(dirname "$0")/../../scripts/wine-env.sh"
trap folvane_stop_all EXIT
folvane_prepare_prefix
folvane_set_desktop 1
folvane_start_wineserver

# A registry value's data (the key's default value without a name), empty when missing.
reg_data() {
  local args=(/ve)
  [ $# -gt 1 ] && args=(/v "$2")
  wine reg query "$1" "${args[@]}" >"$work/reg.out" 2>/dev/null || return 0
  sed -n 's/^ *[^ ].*  *REG_[A-Z_]*  *//p' "$work/reg.out" | tr -d '\r' | head -n 1
}
key_exists() { wine reg query "$1" >/dev/null 2>&1; }
no_key() { ! key_exists "$1"; }
# Runs a Windows program of the prefix; its exit code.
run() { wine "$@" >>"$work/wine.log" 2>&1; }
# The released program opens the sample and paints its page, read back by the probe; the
# commands of FOLVANE_PROBE_WHILE_SHOWN run meanwhile.
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
# The silent uninstaller goes on in a copy of itself and returns at once: runs the entry's
# QuietUninstallString and waits for the copy's last step, the entry's removal.
uninstall_quietly() {
  local root=$1 quiet exe
  quiet=$(reg_data "$root\\$entry_path" QuietUninstallString)
  exe=${quiet#\"}; exe=${exe%%\"*}
  check "the entry's QuietUninstallString runs the uninstaller silently ($quiet)" equals "$quiet" "\"$exe\" /S"
  run "$exe" /S
  for _ in $(seq 1 120); do key_exists "$root\\$entry_path" || break; sleep 0.5; done
  check "uninstall entry removed" no_key "$root\\$entry_path"
}
# The files of an installed folder with their checksums, to see that nothing changed.
fingerprint() { (cd "$1" && find . -type f -exec md5sum {} + | sort); }
# EstimatedSize against the size of the files that the folder's list names, in KiB.
size_counts_our_files() {
  local folder=$1 estimated listed
  estimated=$(( $(reg_data "$2" EstimatedSize) ))
  listed=$(tr -d '\r' <"$folder/installed-files.txt" | grep -v '\\$' | tr '\\' / |
    (cd "$folder" && xargs -d '\n' stat -c %s) | awk '{ s += $1 } END { print int((s + 1023) / 1024) }')
  [ $((estimated - listed)) -ge -2 ] && [ $((estimated - listed)) -le 2 ] ||
    { echo "  EstimatedSize $estimated KiB, our files $listed KiB"; return 1; }
}

if [ "$mode" = install ]; then
  setup=$(winepath -w "$dist/Folvane-setup.exe")
  entry="HKCU\\$entry_path"
  user_class="HKCU\\Software\\Classes\\CLSID\\$clsid"
  run "$setup" /S; code=$?
  check "silent setup succeeds (exit $code)" equals "$code" 0
  location=$(reg_data "$entry" InstallLocation)
  programs='\AppData\Local\Programs\Folvane'
  check "installed into the user's local programs folder ($location)" equals "${location%"$programs"}$programs" "$location"
  folder=$(winepath -u "$location" 2>/dev/null)
  profile=${location%"$programs"}
  shortcut=$(winepath -u "$profile\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Folvane.lnk")
  for f in Folvane.exe PdfControl.dll PdfRender.exe Uninstall.exe README.txt installed-files.txt \
           fonts/D050000L.t1 licences/Folvane-LICENSE.txt licences/fonts-urw-base35-COPYING.txt; do
    check "installed $f" test -f "$folder/$f"
  done
  check "no manifest beside the program" test ! -e "$folder/Folvane.exe.manifest"
  check "Start-menu shortcut" test -f "$shortcut"
  check "uninstall entry names the version" equals "$(reg_data "$entry" DisplayVersion)" "$version"
  check "uninstall entry runs the uninstaller" equals "$(reg_data "$entry" UninstallString)" "\"$location\\Uninstall.exe\""
  check "nothing under the class ID after installing" class_id_unwritten
  check "the installed program paints the sample's page" page_painted "$location\\Folvane.exe"
  check "nothing under the class ID after the program ran" class_id_unwritten

  # While the program shows a page, setup and the uninstaller's second stage (as the first
  # stage starts it, from a copy) end with exit code 5 and change nothing.
  before=$(fingerprint "$folder")
  mkdir -p "$WINEPREFIX/drive_c/copy"
  cp "$folder/Uninstall.exe" "$WINEPREFIX/drive_c/copy/Au_.exe"
  export FOLVANE_PROBE_WHILE_SHOWN="\"$setup\" /S;\"C:\\copy\\Au_.exe\" /S _?=$location"
  check "the program paints again" page_painted "$location\\Folvane.exe"
  unset FOLVANE_PROBE_WHILE_SHOWN
  check "setup refuses while the program runs" grep -qF "while shown: exit 5: \"$setup\"" "$work/probe.log"
  check "the uninstaller refuses while the program runs" grep -qF 'while shown: exit 5: "C:\copy' "$work/probe.log"
  check "nothing changed in the folder while the program ran" equals "$(fingerprint "$folder")" "$before"
  check "the entry stays while the program ran" equals "$(reg_data "$entry" InstallLocation)" "$location"

  # An upgrade removes a file that the new version no longer ships (one the list names),
  # keeps the user's files, and counts only its own files in EstimatedSize.
  echo '[Folvane]' >"$folder/mine.ini"
  head -c 3000000 /dev/zero >"$folder/big-user-file.bin"
  echo dropped >"$folder/licences/dropped.txt"
  printf 'licences\\dropped.txt\r\n' >>"$folder/installed-files.txt"
  run "$setup" /S; code=$?
  check "upgrade succeeds (exit $code)" equals "$code" 0
  check "upgrade removes the file no longer shipped" test ! -e "$folder/licences/dropped.txt"
  check "upgrade keeps the user's files" test -f "$folder/mine.ini" -a -f "$folder/big-user-file.bin"
  check "upgrade keeps the folder" equals "$(reg_data "$entry" InstallLocation)" "$location"
  check "EstimatedSize counts our files only" size_counts_our_files "$folder" "$entry"

  # A 1.0.0 copy: no list, a manifest file, the control registered for the user. That
  # registration goes; another control's stays.
  rm "$folder/installed-files.txt"
  echo '<assembly/>' >"$folder/Folvane.exe.manifest"
  wine reg add "$user_class\\InprocServer32" /ve /d "$location\\PdfControl.dll" /f >/dev/null 2>&1
  wine reg add "$user_class" /v FolvaneStandIn /d 1 /f >/dev/null 2>&1
  run "$setup" /S; code=$?
  check "upgrade from 1.0.0 succeeds (exit $code)" equals "$code" 0
  check "upgrade from 1.0.0 removes its registration" no_key "$user_class"
  check "upgrade from 1.0.0 removes its manifest file" test ! -e "$folder/Folvane.exe.manifest"
  check "upgrade from 1.0.0 writes the list" test -f "$folder/installed-files.txt"
  other='C:\Other\viewer.ocx'
  wine reg add "$user_class\\InprocServer32" /ve /d "$other" /f >/dev/null 2>&1
  run "$setup" /S; code=$?
  check "setup beside another control succeeds (exit $code)" equals "$code" 0
  check "another control keeps its registration" equals "$(reg_data "$user_class\\InprocServer32")" "$other"
  wine reg delete "$user_class" /f >/dev/null 2>&1

  # /D= moves the installed copy: the old folder keeps only the user's files.
  run "$setup" /S '/D=C:\Elsewhere\Folvane'; code=$?
  check "setup with /D= succeeds (exit $code)" equals "$code" 0
  check "/D= is honoured" equals "$(reg_data "$entry" InstallLocation)" 'C:\Elsewhere\Folvane'
  check "the old folder keeps only the user's files ($(ls "$folder" | tr '\n' ' '))" \
    equals "$(ls -A "$folder" | tr '\n' ' ')" "big-user-file.bin mine.ini "
  folder=$WINEPREFIX/drive_c/Elsewhere/Folvane
  echo '[Folvane]' >"$folder/mine.ini"
  # A lost list: the uninstaller falls back on the files it was made with.
  rm "$folder/installed-files.txt"

  uninstall_quietly HKCU
  check "only the user's file is left in the folder ($(ls "$folder" | tr '\n' ' '))" equals "$(ls -A "$folder")" mine.ini
  check "Start-menu shortcut removed" test ! -e "$shortcut"
  check "nothing under the class ID after uninstalling" class_id_unwritten
elif [ "$mode" = allusers ]; then
  # A release signed with a certificate made here, packed beside the unsigned one.
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=Folvane test signer" -addext extendedKeyUsage=codeSigning >/dev/null 2>&1
  openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.pfx" -passout pass:test-only
  FOLVANE_SIGN_PFX=$work/signer.pfx FOLVANE_SIGN_PASSWORD=test-only \
    "$src/packaging/make-release.sh" "$src" "$build" "$version" "$work/dist" >"$work/pack.log" 2>&1 ||
    { cat "$work/pack.log"; echo "FAILED: packing a signed release"; exit 1; }
  signed() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; return 1; }; }
  unsigned() { ! osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >/dev/null 2>&1; }
  check "the setup program is signed" signed "$work/dist/Folvane-setup.exe"
  check "the unsigned release is not (the check can fail)" unsigned "$dist/Folvane-setup.exe"

  setup=$(winepath -w "$work/dist/Folvane-setup.exe")
  entry="HKLM\\$entry_path"
  run "$setup" /S /ALLUSERS; code=$?
  check "silent all-users setup succeeds (exit $code)" equals "$code" 0
  location=$(reg_data "$entry" InstallLocation)
  check "installed into Program Files" equals "$location" 'C:\Program Files\Folvane'
  check "no uninstall entry for the user alone" no_key "HKCU\\$entry_path"
  folder=$(winepath -u "$location" 2>/dev/null)
  for f in Folvane.exe PdfControl.dll PdfRender.exe Uninstall.exe; do
    check "installed $f is signed" signed "$folder/$f"
  done
  shortcut=$(winepath -u 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Folvane.lnk')
  check "Start-menu shortcut for all users" test -f "$shortcut"
  check "EstimatedSize counts our files only" size_counts_our_files "$folder" "$entry"
  check "nothing under the class ID after installing" class_id_unwritten
  check "the installed program paints the sample's page" page_painted "$location\\Folvane.exe"
  uninstall_quietly HKLM
  check "the folder is gone" test ! -e "$folder"
  check "Start-menu shortcut removed" test ! -e "$shortcut"
  check "nothing under the class ID after uninstalling" class_id_unwritten
else
  mkdir -p "$WINEPREFIX/drive_c/Portable"
  unzip -q "$dist/Folvane-portable.zip" -d "$WINEPREFIX/drive_c/Portable"
  portable=$WINEPREFIX/drive_c/Portable/Folvane
  check "no manifest file beside the program" test ! -e "$portable/Folvane.exe.manifest"
  check "the program carries its manifest" grep -q 'requestedExecutionLevel level="asInvoker"' "$portable/Folvane.exe"
  check "the portable copy paints the sample's page" page_painted 'C:\Portable\Folvane\Folvane.exe'
  check "nothing under the class ID in the registry" class_id_unwritten
fi

# The server is found through the prefix, so it goes before the prefix does.
folvane_stop_all
trap - EXIT
finish
