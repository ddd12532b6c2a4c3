#!/bin/bash
# Drives for the browsing tests, in the Wine prefix named by $WINEPREFIX: a removable drive,
# fixed drives with and without a label, a CD-ROM, a RAM disk and a mapped network share.
# Run after the prefix is prepared and before the persistent wineserver starts (the server
# reads drive types and labels when it starts). Safe to run again.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
media="$WINEPREFIX/folvane-drives"
dosdevices="$WINEPREFIX/dosdevices"
mkdir -p "$media"/{floppy,system,blank,cdrom,ram} "$dosdevices/unc/server/share/docs"
printf 'SYSTEM\n' > "$media/system/.windows-label"
printf 'FOLVANECD\n' > "$media/cdrom/.windows-label"
printf 'RAMDISK\n' > "$media/ram/.windows-label"
mkdir -p "$media/system/Tools/Data/Old" "$media/system/Tools/Data/new" "$media/system/Tools/Data/Sub"
ln -sfn "$media/floppy" "$dosdevices/a:"
ln -sfn "$media/system" "$dosdevices/e:"
ln -sfn "$media/blank" "$dosdevices/g:"
ln -sfn "$media/cdrom" "$dosdevices/k:"
ln -sfn "$media/ram" "$dosdevices/r:"
ln -sfn unc/server/share "$dosdevices/f:"
reg=$(mktemp --suffix=.reg)
cat > "$reg" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"a:"="floppy"
"e:"="hd"
"g:"="hd"
"k:"="cdrom"
"r:"="ramdisk"
"f:"="network"
REG
wine regedit /S "$(winepath -w "$reg" 2>/dev/null || echo "$reg")" >/dev/null 2>&1 || wine regedit /S "$reg" >/dev/null 2>&1
rm -f "$reg"
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
