#!/usr/bin/env bash
# Fetches one of Debian's source packages (freetype, poppler) and unpacks it with Debian's
# own patches applied, for the viewer control's static cross-build. The download is kept in
# the cache folder, so a rebuild neither fetches nor unpacks again.
# Usage: thirdparty-fetch.sh PACKAGE CACHE_DIR SOURCE_DIR
set -euo pipefail
package=$1 cache=$2 dest=$3

if [ -f "$dest/.folvane-unpacked" ]; then exit 0; fi
mkdir -p "$cache"
cd "$cache"
if ! ls "${package}"_*.dsc >/dev/null 2>&1; then
  if ! apt-get source --download-only "$package" >download.log 2>&1; then
    cat download.log >&2
    echo "Cannot fetch Debian's source package '$package': scripts/setup-packages.sh enables deb-src." >&2
    exit 1
  fi
fi
dsc=$(ls "${package}"_*.dsc | sort -V | tail -n 1)
rm -rf "$dest"
mkdir -p "$(dirname "$dest")"
# dpkg-source applies debian/patches (Debian's security fixes among them).
dpkg-source --no-check --no-copy -x "$dsc" "$dest" >unpack.log 2>&1 || { cat unpack.log >&2; exit 1; }
touch "$dest/.folvane-unpacked"
