#!/usr/bin/env bash
# Sets everything up and builds like the run and test commands, then packs the release:
# build/dist/Folvane-setup.exe and build/dist/Folvane-portable.zip.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-packages.sh"
"$root/scripts/build.sh"
cd "$root"
cmake --build --preset win32 --target release
