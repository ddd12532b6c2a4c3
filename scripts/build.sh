#!/usr/bin/env bash
# Configures and builds the whole tree with the cross compiler.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ -f build/CMakeCache.txt ] || cmake --preset win32 >/dev/null
cmake --build --preset win32
