#!/usr/bin/env bash
# CTest's emulator for the cross-compiled tests: runs a Windows program under Wine with the
# prefix of the build tree. The test script has already started the X server and wineserver.
build=$1; shift
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all} TZ=UTC LANG=${LANG:-C.UTF-8}
exec wine "$@"
