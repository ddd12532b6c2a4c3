#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite under Wine on a virtual X server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-packages.sh"
"$root/scripts/build.sh"
source "$root/scripts/wine-env.sh"
trap folvane_stop_all EXIT
folvane_start_x 1
folvane_prepare_prefix
folvane_set_desktop 1
# Drives of every type Wine can present, for the browsing tests.
"$root/scripts/browse-drives.sh"
folvane_start_wineserver
"$root/scripts/register-control.sh"
cd "$FOLVANE_BUILD"
# Tests that make windows share one virtual screen, so they run one at a time.
ctest --output-on-failure --timeout 600
