#!/usr/bin/env bash
# Fails when a C++ file of the project is not written in the house style (.clang-format).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# A check that cannot fail is no check: a line known to be out of style must be refused first
# (clang-format missing, or the style file not found, would otherwise pass everything).
if printf 'int  f( ){return 1;}\n' | clang-format --assume-filename="$root/format-probe.cpp" --dry-run --Werror 2>/dev/null; then
  echo "format check: clang-format accepted a badly formatted line; is .clang-format there?" >&2
  exit 1
fi
git ls-files -z -- '*.cpp' '*.h' '*.c' | xargs -0 clang-format --dry-run --Werror
echo "format check: every C++ file is in the house style"
