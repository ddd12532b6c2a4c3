#!/usr/bin/env bash
# Packs a built tree into the release: Folvane-setup.exe (made by makensis from Folvane.nsi),
# Folvane-portable.zip (one folder that runs where it is unpacked) and
# Folvane-VERSION-source.zip (the project's source at the built commit, with the Debian source
# packages of Poppler, FreeType and the fonts that the build used). Run by the build's
# "release" target, which passes the version.
# With FOLVANE_SIGN_PFX (and FOLVANE_SIGN_PASSWORD, FOLVANE_SIGN_TIMESTAMP) set, the binaries,
# the uninstaller and the setup program are signed (sign.sh).
# Usage: make-release.sh SOURCE_DIR BUILD_DIR VERSION [DIST_DIR]
set -euo pipefail
src=$1 build=$2 version=$3
dist=${4:-$build/dist}
here=$src/packaging
stage=$dist/stage/Folvane
tp=$build/thirdparty
cache=$tp/download

# The Debian source packages whose code the release ships: Poppler and FreeType as unpacked
# for the build, the fonts as installed when the build copied them.
built_version() {
  case $1 in
    poppler | freetype) dpkg-parsechangelog -l "$tp/src/$1/debian/changelog" -S Version ;;
    *) dpkg-query -W -f='${source:Version}' "$2" ;;
  esac
}
declare -A versions
for pair in poppler:poppler freetype:freetype fonts-urw-base35:fonts-urw-base35 fonts-liberation2:fonts-liberation2; do
  package=${pair%%:*}
  versions[$package]=$(built_version "$package" "${pair#*:}")
  [ -n "${versions[$package]}" ] || { echo "No built or installed version of $package" >&2; exit 1; }
done
# A source package as fetched: its .dsc at the built version and the files that the .dsc
# names (orig and debian archives), fetched into the download cache when any is missing (the
# fonts' sources are not needed to build, only to ship). Fails when the archive cannot serve
# them or the .dsc states another version.
named_files() { awk '/^Files:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF == 3 { print $3 }' "$1"; }
missing_files() {
  [ -f "$1" ] || { echo "$1"; return; }
  named_files "$1" | while read -r f; do [ -f "$cache/$f" ] || echo "$f"; done
}
package_files() {
  local dsc=$cache/${1}_${versions[$1]#*:}.dsc stated
  if [ -n "$(missing_files "$dsc")" ]; then
    (cd "$cache" && apt-get source --download-only "$1=${versions[$1]}" >"$cache/$1-download.log" 2>&1) || true
    if [ -n "$(missing_files "$dsc")" ]; then
      grep '^E:' "$cache/$1-download.log" >&2
      echo "Cannot fetch Debian's source package $1 ${versions[$1]}." >&2
      return 1
    fi
  fi
  stated=$(sed -n 's/^Version: //p' "$dsc")
  [ "$stated" = "${versions[$1]}" ] || { echo "$dsc states version $stated, not the built ${versions[$1]}" >&2; return 1; }
  echo "$dsc"
  named_files "$dsc" | sed "s|^|$cache/|"
}
mkdir -p "$cache"

rm -rf "$dist/stage"
mkdir -p "$stage/fonts" "$stage/licences"
cp "$build/app/Folvane.exe" "$build/pdfcontrol/PdfControl.dll" "$build/pdfcontrol/PdfRender.exe" "$stage/"
i686-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll
cp "$build"/pdfcontrol/fonts/* "$stage/fonts/"

# The licence texts of what the release ships, as the source packages give them.
licence() { cp "$1" "$stage/licences/$2"; }
licence "$src/LICENSE" Folvane-LICENSE.txt
licence "$tp/src/poppler/debian/copyright" poppler-copyright.txt
licence "$tp/src/poppler/COPYING" poppler-COPYING.txt
licence "$tp/src/poppler/COPYING3" poppler-COPYING3.txt
licence "$tp/src/freetype/debian/copyright" freetype-copyright.txt
licence "$tp/src/freetype/docs/FTL.TXT" freetype-FTL.txt
licence "$tp/src/freetype/docs/GPLv2.TXT" freetype-GPLv2.txt
licence /usr/share/doc/fonts-liberation2/copyright fonts-liberation2-copyright.txt
licence /usr/share/doc/fonts-urw-base35/copyright fonts-urw-base35-copyright.txt
# The fonts' copyright file points to the AGPL text in their source.
urw_orig=$(package_files fonts-urw-base35 | grep '\.orig\.tar\.') || exit 1
tar -xOf "$urw_orig" --wildcards '*/COPYING' >"$stage/licences/fonts-urw-base35-COPYING.txt"
licence /usr/share/doc/mingw-w64-i686-dev/copyright mingw-w64-runtime-copyright.txt
licence /usr/share/doc/gcc-mingw-w64-base/copyright gcc-runtime-copyright.txt

# The readme names the exact versions and carries the credit line that FreeType's licence
# asks for, in the licence's own words with the year of the version shipped.
ft_year=$(sed -n 's/.*Copyright (C) [0-9]*-\([0-9]\{4\}\) by.*/\1/p' "$tp/src/freetype/include/freetype/freetype.h" | head -n 1)
ft_credit=$(awk '/"""/ { if (block ~ /Portions of this software/) { print block; exit } on = !on; block = ""; next }
                 on { $1 = $1; block = block (block == "" ? "" : " ") $0 }' "$tp/src/freetype/docs/FTL.TXT")
ft_credit=${ft_credit//<year>/$ft_year}
[ -n "$ft_year" ] && [ -n "$ft_credit" ] || { echo "FreeType's credit line was not found in its licence" >&2; exit 1; }
mingw_version=$(dpkg-query -W -f='${Version}' mingw-w64-i686-dev)
gcc_version=$(dpkg-query -W -f='${Version}' gcc-mingw-w64-i686-posix)
sed -e "s/@VERSION@/$version/g" -e "s/@POPPLER_VERSION@/${versions[poppler]}/g" \
    -e "s/@FREETYPE_VERSION@/${versions[freetype]}/g" -e "s/@URW_VERSION@/${versions[fonts-urw-base35]}/g" \
    -e "s/@LIBERATION_VERSION@/${versions[fonts-liberation2]}/g" -e "s/@MINGW_VERSION@/$mingw_version/g" \
    -e "s/@GCC_VERSION@/$gcc_version/g" -e "s|@FREETYPE_CREDIT@|$ft_credit|g" \
    "$here/README.txt" >"$stage/README.txt"
# Windows users read these with Notepad, which needs the byte-order mark to take the readme
# as UTF-8.
for f in "$stage/README.txt" "$stage"/licences/*; do sed -i 's/\r*$/\r/' "$f"; done
sed -i '1s/^/\xef\xbb\xbf/' "$stage/README.txt"

signing=0
if [ -n "${FOLVANE_SIGN_PFX:-}" ]; then
  signing=1
  for f in "$stage"/*.exe "$stage"/*.dll; do "$here/sign.sh" "$f"; done
else
  echo "FOLVANE_SIGN_PFX is not set: the release is not signed."
fi

# What setup installs, as an NSIS macro, and the same files as the list that the install
# folder keeps: files, the uninstaller, then folders deepest first with a closing backslash.
nsh=$dist/stage/files.nsh
list=$dist/stage/installed-files.txt
{
  echo '!macro FolvaneInstallFiles'
  (cd "$stage" && find . -type d | sort) | while read -r d; do
    rel=${d#./}; [ "$d" = . ] && rel=
    echo "  SetOutPath \"\$INSTDIR${rel:+\\${rel//\//\\}}\""
    (cd "$stage/$d" && find . -maxdepth 1 -type f | sort) | while read -r f; do
      echo "  File \"$stage/${rel:+$rel/}${f#./}\""
    done
  done
  echo '!macroend'
} >"$nsh"
{
  (cd "$stage" && find . -type f | sort) | sed 's|^\./||'
  echo Uninstall.exe
  (cd "$stage" && find . -mindepth 1 -type d | sort -r) | sed 's|^\./||; s|$|/|'
} | tr / '\\' | sed 's/$/\r/' >"$list"
size_kb=$(find "$stage" -type f -printf '%s\n' | awk '{ s += $1 } END { print int((s + 1023) / 1024) }')

sign_define=()
[ $signing -eq 1 ] && sign_define=(-DSIGN="$here/sign.sh")
rm -f "$dist/Folvane-setup.exe" "$dist/Folvane-portable.zip" "$dist/Folvane-$version-source.zip"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DFILES="$nsh" -DLIST="$list" \
  -DLEGACY_LIST="$here/files-1.0.0.txt" -DSIZE_KB="$size_kb" -DICON="$build/app/generated/mainicon.ico" \
  -DOUTFILE="$dist/Folvane-setup.exe" "${sign_define[@]}" "$here/Folvane.nsi"
[ $signing -eq 1 ] && "$here/sign.sh" "$dist/Folvane-setup.exe"

(cd "$dist/stage" && zip -qrX9 "$dist/Folvane-portable.zip" Folvane)

# The source zip: the project at the commit built, and the Debian source packages as fetched.
commit=$(git -C "$src" rev-parse HEAD)
[ -z "$(git -C "$src" status --porcelain)" ] ||
  echo "The source tree has uncommitted changes: the source zip holds commit $commit without them." >&2
name=Folvane-$version-source
rm -rf "$dist/source"
mkdir -p "$dist/source/$name/debian-sources"
git -C "$src" archive --format=tar --prefix="$name/" "$commit" | tar -x -C "$dist/source"
for package in poppler freetype fonts-urw-base35 fonts-liberation2; do
  if files=$(package_files "$package"); then
    while read -r f; do cp "$f" "$dist/source/$name/debian-sources/"; done <<<"$files"
  elif [ "$package" = fonts-liberation2 ]; then
    # The only one whose licence (SIL OFL) asks for no source: an archive that no longer
    # serves it does not stop the release, and the zip says what is missing.
    note=$dist/source/$name/debian-sources/$package-not-included.txt
    echo "Debian's source package $package ${versions[$package]} could not be fetched when this zip was made." >"$note"
    echo "Warning: the source zip lacks $package ${versions[$package]} (see $(basename "$note"))." >&2
  else
    exit 1
  fi
done
(cd "$dist/source" && zip -qrX9 "$dist/$name.zip" "$name")
rm -rf "$dist/source"

ls -l "$dist/Folvane-setup.exe" "$dist/Folvane-portable.zip" "$dist/$name.zip" | awk '{ print $5, $NF }'
