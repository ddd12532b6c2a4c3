#!/usr/bin/env bash
# Prints deb822 stanzas derived from the distribution's own package entries in an apt set-up:
#   src      each of them with the type deb-src (for the source packages the build fetches);
#   bpo      the distribution's archive once more, with the suite CODENAME-backports;
#   has-src  "yes" when one of them already carries deb-src.
# The distribution's own entries are the enabled ones whose suites all belong to the release
# (its codename or an alias such as stable, bare or with a suffix such as -updates) and that
# trust no key but the distribution's own keyrings: third-party archives have no sources or
# backports to add. Only the files apt reads count (*.list, *.sources), not backups.
# Usage: apt-entries.sh src|bpo|has-src CODENAME DISTRIBUTION_ID [APT_DIR] [SKIPPED_FILE...]
set -euo pipefail
want=$1 codename=$2 id=$3 dir=${4:-/etc/apt}
skipped=" ${*:5} "
files=()
for f in "$dir/sources.list" "$dir"/sources.list.d/*.list "$dir"/sources.list.d/*.sources; do
  [ -f "$f" ] && [ "${skipped#* "$f" }" = "$skipped" ] && files+=("$f")
done
[ ${#files[@]} -gt 0 ] || exit 0

awk -v want="$want" -v rel="$codename" -v id="$id" '
function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); return s }
function own_suites(list,   n, s, i, base) {
  n = split(list, s, /[ \t]+/)
  for (i = 1; i <= n; i++) {
    base = s[i]; sub(/-.*/, "", base)
    if (base != rel && base != "stable" && base != "oldstable" && base != "oldoldstable") return 0
  }
  return n > 0
}
# Whether one of the suites is the release itself, without a suffix.
function has_release(list,   n, s, i) {
  n = split(list, s, /[ \t]+/)
  for (i = 1; i <= n; i++) if (s[i] !~ /-/) return 1
  return 0
}
function own_key(key) { return key == "" || key ~ ("^/usr/share/keyrings/" id "-archive-[^ ]*$") }
function has_type(types, type) { return (" " types " ") ~ (" " type " ") }

# One entry, read from either format: types, uris, suites, key; for deb822 also its fields
# as written (name[], text[] with continuation lines), n of them.
function entry(types, uris, suites, key,   i, out) {
  if (!has_type(types, "deb") && !has_type(types, "deb-src")) return
  if (!own_suites(suites) || !own_key(key)) return
  if (want == "has-src") { if (has_type(types, "deb-src")) found = 1; return }
  if (!has_type(types, "deb")) return
  if (want == "src") {
    if (has_type(types, "deb-src")) return
    out = "Types: deb-src"
    if (n) { for (i = 1; i <= n; i++) if (name[i] != "types") out = out "\n" text[i] }
    else out = out "\nURIs: " uris "\nSuites: " suites "\nComponents: " comps (key == "" ? "" : "\nSigned-By: " key)
  } else {
    if (!has_release(suites) || (uris in done)) return
    done[uris] = 1
    out = "Types: deb\nURIs: " uris "\nSuites: " rel "-backports"
    if (n) { for (i = 1; i <= n; i++) if (name[i] !~ /^(types|uris|suites|enabled)$/) out = out "\n" text[i] }
    else out = out "\nComponents: " comps (key == "" ? "" : "\nSigned-By: " key)
  }
  print out "\n"
}

function stanza_end(   i, f) {
  if (n) {
    split("", f)
    for (i = 1; i <= n; i++) f[name[i]] = value[i]
    if (tolower(f["enabled"]) != "no") { comps = f["components"]; entry(f["types"], f["uris"], f["suites"], f["signed-by"]) }
  }
  n = 0
}

FNR == 1 { stanza_end(); deb822 = FILENAME ~ /\.sources$/ }
deb822 && /^#/ { next }
deb822 && /^[ \t]*$/ { stanza_end(); next }
deb822 && /^[ \t]/ { if (n) { text[n] = text[n] "\n" $0; value[n] = value[n] " " trim($0) } next }
deb822 {
  n++
  name[n] = tolower(trim(substr($0, 1, index($0, ":") - 1)))
  text[n] = $0
  value[n] = trim(substr($0, index($0, ":") + 1))
  next
}
# One-line format: TYPE [OPTIONS] URI SUITE COMPONENT...
{
  sub(/#.*/, "")
  if (NF < 3) next
  type = $1; line = trim(substr($0, length($1) + 1)); key = ""
  if (line ~ /^\[/) {
    options = substr(line, 2, index(line, "]") - 2); line = trim(substr(line, index(line, "]") + 1))
    count = split(options, option, /[ \t]+/)
    for (i = 1; i <= count; i++) if (option[i] ~ /^signed-by=/) key = substr(option[i], 11)
  }
  count = split(line, word, /[ \t]+/)
  if (count < 3) next
  comps = word[3]; for (i = 4; i <= count; i++) comps = comps " " word[i]
  n = 0
  entry(type, word[1], word[2], key)
}
END { stanza_end(); if (want == "has-src" && found) print "yes" }
' "${files[@]}"
