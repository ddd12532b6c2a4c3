#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and makes sure
# 32-bit Linux programs (Wine's loader) can run. Idempotent and quiet when all is there.
set -euo pipefail

packages=(
  cmake ninja-build make g++ pkg-config xz-utils ca-certificates
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32 fonts-wine xvfb xauth x11-utils imagemagick dpkg-dev poppler-utils
  googletest
  fonts-urw-base35 fonts-liberation2
)
src_list=/etc/apt/sources.list.d/folvane-src.sources
bpo_list=/etc/apt/sources.list.d/folvane-backports.list

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

SUDO=()
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else "${SUDO[@]}" "$@"; fi
}
need_root() {
  [ "$(id -u)" -eq 0 ] && return 0
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then SUDO=(sudo); return 0; fi
  echo "Folvane needs system set-up that only root can do, and neither root nor sudo is available." >&2
  echo "As root, run:" >&2
  printf '  %s\n' "$@" >&2
  exit 1
}

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1
# Poppler and FreeType are built from Debian's source packages.
need_src=0
[ -f "$src_list" ] || grep -rqsE '^Types:.*deb-src|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/ || need_src=1

if [ ${#missing[@]} -gt 0 ] || [ $need_i386 -eq 1 ] || [ $need_src -eq 1 ]; then
  need_root "dpkg --add-architecture i386" \
    "printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' > $src_list" \
    "apt-get update && apt-get install -y --no-install-recommends ${missing[*]:-}"
  echo "Installing system packages: ${missing[*]:-(none)}"
  [ $need_i386 -eq 1 ] && as_root dpkg --add-architecture i386
  if [ $need_src -eq 1 ]; then
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      | as_root tee "$src_list" >/dev/null
  fi
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq >/dev/null
  [ ${#missing[@]} -gt 0 ] && as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Some virtual machines cannot run 32-bit code at all. There Wine's 32-bit loader runs under
# QEMU's user-mode emulator; only QEMU 8 or later honours the fixed mappings Wine asks for.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then exit 0; fi

qemu=/usr/bin/qemu-i386-static
qemu_ok=0
if [ -x "$qemu" ]; then
  major=$("$qemu" --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p' | head -n 1)
  [ "${major:-0}" -ge 8 ] && qemu_ok=1
fi
if [ $qemu_ok -eq 0 ]; then
  need_root "echo 'deb http://deb.debian.org/debian bookworm-backports main' > $bpo_list" \
    "apt-get update && apt-get install -y -t bookworm-backports qemu-user-static"
  echo "This machine cannot run 32-bit code natively: installing QEMU's user-mode emulator for Wine"
  echo 'deb http://deb.debian.org/debian bookworm-backports main' | as_root tee "$bpo_list" >/dev/null
  as_root apt-get update -qq >/dev/null
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends \
    -t bookworm-backports qemu-user-static >/dev/null
fi

binfmt=/proc/sys/fs/binfmt_misc
need_root "mount -t binfmt_misc binfmt_misc $binfmt" "register $qemu for i386 ELF programs in $binfmt/register"
[ -e "$binfmt/register" ] || as_root mount -t binfmt_misc binfmt_misc "$binfmt"
# The F flag keeps the interpreter file open, so a registration made before an upgrade still
# points at the old emulator: register anew.
[ -e "$binfmt/qemu-i386" ] && echo -1 | as_root tee "$binfmt/qemu-i386" >/dev/null
printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:FOC' \
  | as_root tee "$binfmt/register" >/dev/null
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "Wine's 32-bit loader still cannot run on this machine." >&2
  exit 1
fi
