#!/usr/bin/env bash
# Packs a built tree into the release: build/dist/Folvane-setup.exe (made by makensis from
# Folvane.nsi) and build/dist/Folvane-portable.zip (one folder that runs where it is unpacked).
# Run by the build's "release" target, which passes the version.
# Usage: make-release.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
src=$1 build=$2 version=$3
here=$src/packaging
dist=$build/dist
stage=$dist/stage/Folvane
tp=$build/thirdparty/src

rm -rf "$dist/stage"
mkdir -p "$stage/fonts" "$stage/licences"
cp "$build/app/Folvane.exe" "$build/pdfcontrol/PdfControl.dll" "$build/pdfcontrol/PdfRender.exe" "$stage/"
i686-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll
cp "$build"/pdfcontrol/fonts/* "$stage/fonts/"

# The licence texts of what the release ships, as the source packages give them.
licence() { cp "$1" "$stage/licences/$2"; }
licence "$tp/poppler/debian/copyright" poppler-copyright.txt
licence "$tp/poppler/COPYING" poppler-COPYING.txt
licence "$tp/poppler/COPYING3" poppler-COPYING3.txt
licence "$tp/freetype/debian/copyright" freetype-copyright.txt
licence "$tp/freetype/docs/FTL.TXT" freetype-FTL.txt
licence "$tp/freetype/docs/GPLv2.TXT" freetype-GPLv2.txt
licence /usr/share/doc/fonts-liberation2/copyright fonts-liberation2-copyright.txt
licence /usr/share/doc/fonts-urw-base35/copyright fonts-urw-base35-copyright.txt
licence /usr/share/doc/mingw-w64-i686-dev/copyright mingw-w64-runtime-copyright.txt
sed "s/@VERSION@/$version/g" "$here/README.txt" >"$stage/README.txt"
# The manifest declares the control beside the program, so the program finds it with nothing
# registered (the portable folder) and wherever the registry does not lead to it.
sed "s/@VERSION@/$version/g" "$here/Folvane.exe.manifest.in" >"$stage/Folvane.exe.manifest"
# Windows users read these with Notepad.
for f in "$stage/README.txt" "$stage"/licences/*; do sed -i 's/\r*$/\r/' "$f"; done

# The setup program installs exactly the staged files, and its uninstaller removes exactly
# those: both lists are made from the one staged folder.
nsh=$dist/stage/files.nsh
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
  echo '!macro FolvaneRemoveFiles'
  (cd "$stage" && find . -type f | sort) | while read -r f; do
    p=${f#./}; echo "  Delete \"\$INSTDIR\\${p//\//\\}\""
  done
  (cd "$stage" && find . -mindepth 1 -type d | sort -r) | while read -r d; do
    p=${d#./}; echo "  RMDir \"\$INSTDIR\\${p//\//\\}\""
  done
  echo '!macroend'
} >"$nsh"

rm -f "$dist/Folvane-setup.exe" "$dist/Folvane-portable.zip"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DFILES="$nsh" -DICON="$build/app/generated/mainicon.ico" \
  -DOUTFILE="$dist/Folvane-setup.exe" "$here/Folvane.nsi"

(cd "$dist/stage" && zip -qrX9 "$dist/Folvane-portable.zip" Folvane)
ls -l "$dist/Folvane-setup.exe" "$dist/Folvane-portable.zip" | awk '{ print $5, $NF }'
