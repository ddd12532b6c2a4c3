#!/usr/bin/env bash
# Applies the project's few changes to an unpacked third-party source tree, each once: a
# change already in the tree is left as it is, so the step can run again on the same tree.
# Usage: thirdparty-patch.sh SOURCE_DIR PATCH...
set -euo pipefail
dest=$1
shift
for change in "$@"; do
  if patch -d "$dest" -p1 -R --dry-run -s -f <"$change" >/dev/null 2>&1; then continue; fi
  patch -d "$dest" -p1 -N -s <"$change"
done
