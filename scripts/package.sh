#!/usr/bin/env bash
# Sets everything up and builds like the run and test commands, then packs the release:
# build/dist/Folvane-setup.exe, Folvane-portable.zip and Folvane-VERSION-source.zip, signed
# when FOLVANE_SIGN_PFX is set (see packaging/make-release.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-packages.sh"
"$root/scripts/build.sh"
cd "$root"
cmake --build --preset win32 --target release
