#!/usr/bin/env bash
# Signs one Windows binary in place with the release's certificate: FOLVANE_SIGN_PFX (a PKCS#12
# file), FOLVANE_SIGN_PASSWORD (its password, may be empty) and, when set,
# FOLVANE_SIGN_TIMESTAMP (the address of an RFC 3161 timestamp service).
# Usage: sign.sh FILE
set -euo pipefail
file=$1
ts=()
[ -n "${FOLVANE_SIGN_TIMESTAMP:-}" ] && ts=(-ts "$FOLVANE_SIGN_TIMESTAMP")
rm -f "$file.signed"
# The password goes through a pipe, not the command line, where other users could read it.
osslsigncode sign -pkcs12 "$FOLVANE_SIGN_PFX" -readpass <(printf '%s' "${FOLVANE_SIGN_PASSWORD:-}") \
  -n Folvane -h sha256 "${ts[@]}" -in "$file" -out "$file.signed" >/dev/null
mv "$file.signed" "$file"
