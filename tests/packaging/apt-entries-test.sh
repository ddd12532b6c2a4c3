#!/usr/bin/env bash
# scripts/apt-entries.sh on sample apt set-ups, one case a row: the set-up's files, then what
# each mode prints. Addresses are local file URIs: no server is named.
# Usage: apt-entries-test.sh SOURCE_DIR
set -uo pipefail
entries=$1/scripts/apt-entries.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# case NAME: reads "=== FILE" sections, then "--- MODE" sections with the expected output.
run_case() {
  local name=$1 dir=$work/$1 section="" mode="" line
  declare -A expected=()
  mkdir -p "$dir/sources.list.d"
  while IFS= read -r line; do
    case $line in
      "=== "*) section=$dir/${line#=== }; mode=""; : >"$section" ;;
      "--- "*) mode=${line#--- }; section=""; expected[$mode]="" ;;
      *) if [ -n "$mode" ]; then expected[$mode]+="$line"$'\n'; else printf '%s\n' "$line" >>"$section"; fi ;;
    esac
  done
  for mode in "${!expected[@]}"; do
    local got
    got=$("$entries" "$mode" bookworm debian "$dir"; echo x)
    got=${got%x}
    # The script ends each stanza with an empty line; the table leaves it out.
    got=$(sed '/^$/d' <<<"$got")
    local want
    want=$(sed '/^$/d' <<<"${expected[$mode]}")
    if [ "$got" = "$want" ]; then echo "ok: $name $mode"; else
      echo "FAILED: $name $mode"; diff <(echo "$want") <(echo "$got") | sed 's/^/  /'; failures=$((failures + 1))
    fi
  done
}

# Debian 12's own layout with comments inside stanzas, a disabled third-party file and a
# third-party entry in the one-line format.
run_case debian12 <<'EOF'
=== sources.list.d/debian.sources
Types: deb
# where it came from
URIs: file:/srv/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: file:/srv/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
=== sources.list.d/vendor.list
deb [signed-by=/usr/share/keyrings/vendor.gpg] file:/srv/vendor cloud-bookworm main
=== sources.list.d/other.sources.disabled
Types: deb
URIs: file:/srv/other
Suites: bookworm
Components: main
--- src
Types: deb-src
URIs: file:/srv/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
Types: deb-src
URIs: file:/srv/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
--- bpo
Types: deb
URIs: file:/srv/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
--- has-src
EOF

# A third party that names its suite after the release, with its own key; a disabled stanza;
# a backup file; fields over several lines; suites by alias; the one-line format.
run_case mixed <<'EOF'
=== sources.list
deb file:/srv/debian stable main contrib
deb [arch=amd64 signed-by=/usr/share/keyrings/vendor.gpg] file:/srv/vendor bookworm stable
deb-src file:/srv/debian stable main
=== sources.list.d/off.sources
Types: deb
URIs: file:/srv/off
Suites: bookworm
Components: main
Enabled: no
=== sources.list.d/debian.sources.save
Types: deb
URIs: file:/srv/saved
Suites: bookworm
Components: main
=== sources.list.d/more.sources
Types: deb
URIs: file:/srv/more
Suites: stable-updates
 stable-security
Components: main
 non-free-firmware
--- src
Types: deb-src
URIs: file:/srv/debian
Suites: stable
Components: main contrib
Types: deb-src
URIs: file:/srv/more
Suites: stable-updates
 stable-security
Components: main
 non-free-firmware
--- bpo
Types: deb
URIs: file:/srv/debian
Suites: bookworm-backports
Components: main contrib
--- has-src
yes
EOF

exit $(( failures > 0 ))
