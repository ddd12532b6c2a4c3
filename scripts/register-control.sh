#!/usr/bin/env bash
# Registers the stand-in PDF viewer control in the build tree's Wine prefix, if it was built.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
dll=$FOLVANE_BUILD/pdfcontrol/PdfControl.dll
[ -f "$dll" ] || exit 0
wine regsvr32 /s "$(winepath -w "$dll")" >/dev/null 2>&1
