#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and makes sure
# 32-bit Linux programs (Wine's loader) can run. Idempotent and quiet when all is there.
set -euo pipefail

packages=(
  cmake ninja-build make g++ pkg-config xz-utils ca-certificates
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32 fonts-wine xvfb xauth x11-utils imagemagick dpkg-dev patch poppler-utils
  googletest
  fonts-urw-base35 fonts-liberation2
  libtasn1-doc shared-mime-info bzip2-doc fontconfig
  nsis zip unzip git osslsigncode openssl clang-format
)
src_list=/etc/apt/sources.list.d/folvane-src.sources
bpo_list=/etc/apt/sources.list.d/folvane-backports.sources
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
distribution=$(. /etc/os-release && echo "${ID:-}")

# Stanzas derived from this machine's own entries of its distribution (apt-entries.sh), so
# that they use whatever archive this machine is set up with; our own files are not read.
entries() {
  "$(dirname "$0")/apt-entries.sh" "$1" "$codename" "$distribution" /etc/apt "$src_list" "$bpo_list"
}

# A mirror caught mid-sync serves some index files of the wrong size for a while. Try again;
# if it persists, go on with the indexes that did arrive, and install from the release's own
# suite: with one architecture's security index missing, apt's candidates for the 64- and
# 32-bit copies of a library differ and cannot be installed side by side.
install_from=()
apt_update() {
  local i
  for i in 1 2 3; do
    as_root apt-get update -qq >/dev/null && return 0
    [ "$i" = 3 ] || { echo "apt-get update failed; trying again in $((i * 15)) s" >&2; sleep $((i * 15)); }
  done
  echo "apt-get update still fails for some indexes; installing from the release's own suite" >&2
  install_from=(-t "$codename")
}

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
[ -f "$src_list" ] || [ -n "$(entries has-src)" ] || need_src=1

if [ ${#missing[@]} -gt 0 ] || [ $need_i386 -eq 1 ] || [ $need_src -eq 1 ]; then
  if [ $need_src -eq 1 ]; then
    src_entries=$(entries src)
    if [ -z "$src_entries" ]; then
      echo "No package source for Debian '${codename:-?}' is configured in /etc/apt: Poppler and FreeType are built from its source packages." >&2
      exit 1
    fi
  fi
  need_root "dpkg --add-architecture i386" \
    "write $src_list: this machine's own entries of Debian '$codename' with the type deb-src" \
    "apt-get update && apt-get install -y --no-install-recommends ${missing[*]:-}"
  echo "Installing system packages: ${missing[*]:-(none)}"
  [ $need_i386 -eq 1 ] && as_root dpkg --add-architecture i386
  [ $need_src -eq 1 ] && printf '%s\n' "$src_entries" | as_root tee "$src_list" >/dev/null
  export DEBIAN_FRONTEND=noninteractive
  apt_update
  [ ${#missing[@]} -gt 0 ] && as_root apt-get install -y -qq --no-install-recommends "${install_from[@]}" "${missing[@]}" >/dev/null
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
  bpo_entries=$(entries bpo)
  if [ -z "$bpo_entries" ]; then
    echo "No package source for Debian '${codename:-?}' is configured in /etc/apt, so its backports cannot be added." >&2
    exit 1
  fi
  need_root "write $bpo_list: this machine's release entry with the suite $codename-backports" \
    "apt-get update && apt-get install -y -t $codename-backports qemu-user-static"
  echo "This machine cannot run 32-bit code natively: installing QEMU's user-mode emulator for Wine"
  printf '%s\n' "$bpo_entries" | as_root tee "$bpo_list" >/dev/null
  apt_update
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends \
    -t "$codename-backports" qemu-user-static >/dev/null
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
