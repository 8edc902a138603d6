#!/usr/bin/env bash
# Packages two installs (32-bit, 64-bit) twice with scripts/package.sh and checks the zip: the
# same bytes both times, its file list, every entry dated to SOURCE_DATE_EPOCH, its checksums
# (they hold and name every other file), and the installed files and sources carried unchanged;
# and that it refuses the installs swapped.
# Usage: scripts/check-package.sh WIN32_FOLDER WIN64_FOLDER WORK_FOLDER (emptied first)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
from32=$1 from64=$2 work=$3
fail() {
    echo "check-package.sh: $*" >&2
    exit 1
}

# 2026-01-01 00:00:00 UTC
export SOURCE_DATE_EPOCH=1767225600
rm -rf "$work"
scripts/package.sh --from "$from32" "$from64" --output "$work/first" >/dev/null
sleep 2 # a time stamp of the moment would now differ by a step of the zip's 2 s clock
scripts/package.sh --from "$from32" "$from64" --output "$work/again" >/dev/null
zips=("$work"/first/Orvalle-Vol2-*.zip)
zip=${zips[0]}
name=$(basename "$zip" .zip)
[ ${#zips[@]} -eq 1 ] && [ -f "$zip" ] || fail "expected one zip in $work/first"
cmp "$zip" "$work/again/$name.zip" || fail "packaging the same files twice gave different bytes"

plugins=("HN-6 Clean Preamp.dll" "KR-6 Crunch Preamp.dll" Orvalle1.chm)
files=(LICENSE.txt README.md SHA256SUMS "${plugins[@]/#/win32/}" "${plugins[@]/#/win64/}")
diff <(printf "$name/%s\n" "${files[@]}") <(unzip -Z1 "$zip") || fail "unexpected file list"
dates=$(unzip -Z -T "$zip" | awk '/^-/ { print $1, $7 }' | sort -u)
[ "$dates" = "-rw-r--r-- 20260101.000000" ] || fail "entries not 644 and dated 2026-01-01: $dates"

unzip -q "$zip" -d "$work/unpacked"
top=$work/unpacked/$name
(cd "$top" && sha256sum --quiet --strict -c SHA256SUMS) || fail "SHA256SUMS does not hold"
diff <(printf '%s\n' "${files[@]}" | grep -vx SHA256SUMS) <(cut -c67- "$top/SHA256SUMS") ||
    fail "SHA256SUMS does not name every other file"
for file in "${plugins[@]}"; do
    cmp "$from32/$file" "$top/win32/$file" && cmp "$from64/$file" "$top/win64/$file" ||
        fail "$file differs from the install"
done
cmp README.md "$top/README.md" && cmp LICENSE.txt "$top/LICENSE.txt" || fail "texts differ"

if scripts/package.sh --from "$from64" "$from32" --output "$work/swapped" >/dev/null 2>&1; then
    fail "packaged the 64-bit modules as win32 and the 32-bit ones as win64"
fi
echo "Package checked: $name.zip"
