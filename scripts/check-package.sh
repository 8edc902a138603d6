#!/usr/bin/env bash
# Packages three installs (32-bit, 64-bit, LV2) twice with scripts/package.sh and checks both
# packages: the same bytes both times, their file lists, every entry dated to SOURCE_DATE_EPOCH
# with fixed permissions, their checksums (they hold and name every other file), the installed
# files, the README's pictures and the sources carried unchanged, the help pages of the LV2
# bundles among them (with every link between them held); and that it refuses the installs
# swapped.
# Usage: scripts/check-package.sh WIN32_FOLDER WIN64_FOLDER LV2_FOLDER WORK_FOLDER (emptied first)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
from32=$1 from64=$2 fromlv2=$3 work=$4
fail() {
    echo "check-package.sh: $*" >&2
    exit 1
}

# 2026-01-01 00:00:00 UTC
export SOURCE_DATE_EPOCH=1767225600
rm -rf "$work"
scripts/package.sh --from "$from32" "$from64" "$fromlv2" --output "$work/first" >/dev/null
sleep 2 # a time stamp of the moment would now differ by a step of the zip's 2 s clock
scripts/package.sh --from "$from32" "$from64" "$fromlv2" --output "$work/again" >/dev/null
zips=("$work"/first/Orvalle-Vol2-*.zip)
zip=${zips[0]}
name=$(basename "$zip" .zip)
tar=$work/first/$name-linux-x86_64-lv2.tar.gz
[ ${#zips[@]} -eq 1 ] && [ -f "$zip" ] || fail "expected one zip in $work/first"
[ -f "$tar" ] || fail "expected $(basename "$tar") in $work/first"
[ "$(ls "$work/first" | wc -l)" -eq 2 ] || fail "expected two packages: $(ls "$work/first")"
cmp "$zip" "$work/again/$name.zip" || fail "packaging the same files twice gave different zips"
cmp "$tar" "$work/again/$(basename "$tar")" ||
    fail "packaging the same files twice gave different tar.gz files"

pictures=()
for editor in "" lv2_; do
    for picture in hn6_tall hn6_wide kr6_tall kr6_wide hn6_options_menu hn6_slot_menu \
        hn6_name_dialog; do
        pictures+=("docs/screenshots/$editor$picture.png")
    done
done
common=(LICENSE.txt README.md SHA256SUMS "${pictures[@]}")

# The zip.
plugins=("HN-6 Clean Preamp.dll" "KR-6 Crunch Preamp.dll" Orvalle1.chm)
files=("${common[@]}" "${plugins[@]/#/win32/}" "${plugins[@]/#/win64/}")
diff <(printf "$name/%s\n" "${files[@]}" | LC_ALL=C sort) <(unzip -Z1 "$zip") ||
    fail "unexpected file list in the zip"
dates=$(unzip -Z -T "$zip" | awk '/^-/ { print $1, $7 }' | sort -u)
[ "$dates" = "-rw-r--r-- 20260101.000000" ] || fail "zip entries not 644 and dated 2026-01-01: $dates"
unzip -q "$zip" -d "$work/unpacked"
top=$work/unpacked/$name
(cd "$top" && sha256sum --quiet --strict -c SHA256SUMS) || fail "the zip's SHA256SUMS does not hold"
diff <(printf '%s\n' "${files[@]}" | grep -vx SHA256SUMS | LC_ALL=C sort) \
    <(cut -c67- "$top/SHA256SUMS") || fail "the zip's SHA256SUMS does not name every other file"
for file in "${plugins[@]}"; do
    cmp "$from32/$file" "$top/win32/$file" && cmp "$from64/$file" "$top/win64/$file" ||
        fail "$file differs from the install"
done

# The tar.gz of the LV2 bundles.
lv2name=$name-lv2
helppages=(using.htm presets.htm orvalle.css)
bundles=(sonadrix-hn6-clean-preamp.lv2/hn6-clean-preamp.so
    sonadrix-hn6-clean-preamp.lv2/hn6-clean-preamp-ui.so sonadrix-hn6-clean-preamp.lv2/manifest.ttl
    sonadrix-hn6-clean-preamp.lv2/plugin.ttl sonadrix-hn6-clean-preamp.lv2/presets.ttl
    sonadrix-hn6-clean-preamp.lv2/LICENSE.txt
    "${helppages[@]/#/sonadrix-hn6-clean-preamp.lv2/help/}"
    sonadrix-kr6-crunch-preamp.lv2/kr6-crunch-preamp.so
    sonadrix-kr6-crunch-preamp.lv2/kr6-crunch-preamp-ui.so sonadrix-kr6-crunch-preamp.lv2/manifest.ttl
    sonadrix-kr6-crunch-preamp.lv2/plugin.ttl sonadrix-kr6-crunch-preamp.lv2/presets.ttl
    sonadrix-kr6-crunch-preamp.lv2/LICENSE.txt
    "${helppages[@]/#/sonadrix-kr6-crunch-preamp.lv2/help/}")
lv2files=("${common[@]}" "${bundles[@]}")
diff <(printf "$lv2name/%s\n" "${lv2files[@]}" | LC_ALL=C sort) \
    <(tar -tzf "$tar" | grep -v '/$' | LC_ALL=C sort) || fail "unexpected file list in the tar.gz"
owners=$(tar -tvzf "$tar" --numeric-owner --full-time --utc | awk '{ print $2, $4, $5 }' | sort -u)
[ "$owners" = "0/0 2026-01-01 00:00:00" ] || fail "tar entries not owned by 0/0 and dated 2026-01-01: $owners"
modes=$(tar -tvzf "$tar" | awk '{ print $1, ($6 ~ /\.so$/ ? "module" : "") }' | sort -u)
[ "$modes" = "$(printf '%s\n' "-rw-r--r-- " "-rwxr-xr-x module" "drwxr-xr-x " | sort)" ] ||
    fail "tar modes not 644, and 755 for modules and folders: $modes"
mkdir -p "$work/untarred"
tar -xzf "$tar" -C "$work/untarred"
lv2top=$work/untarred/$lv2name
(cd "$lv2top" && sha256sum --quiet --strict -c SHA256SUMS) ||
    fail "the tar.gz's SHA256SUMS does not hold"
diff <(printf '%s\n' "${lv2files[@]}" | grep -vx SHA256SUMS | LC_ALL=C sort) \
    <(cut -c67- "$lv2top/SHA256SUMS") || fail "the tar.gz's SHA256SUMS does not name every other file"
for file in "${bundles[@]}"; do
    cmp "$fromlv2/$file" "$lv2top/$file" || fail "$file differs from the install"
done
# The help pages are the help file's sources as they are, and link only to each other.
for bundle in sonadrix-hn6-clean-preamp.lv2 sonadrix-kr6-crunch-preamp.lv2; do
    for page in "${helppages[@]}"; do
        cmp "help/$page" "$lv2top/$bundle/help/$page" ||
            fail "$bundle/help/$page differs from help/$page"
    done
    links=$(cat "$lv2top/$bundle"/help/*.htm | grep -oiE 'href="[^"]*"' | sed -E 's/^href="(.*)"$/\1/I')
    [ -n "$links" ] || fail "$bundle/help/ has no links"
    for link in $links; do
        [ -f "$lv2top/$bundle/help/$link" ] ||
            fail "$bundle/help/ links to $link, which it does not hold"
    done
done

# The texts, and every picture the README shows, in both.
for folder in "$top" "$lv2top"; do
    cmp README.md "$folder/README.md" && cmp LICENSE.txt "$folder/LICENSE.txt" || fail "texts differ"
    for picture in $(grep -oE '\]\([^)]+\.png\)' README.md | sed -E 's/^\]\((.*)\)$/\1/'); do
        cmp "$picture" "$folder/$picture" || fail "$folder lacks the README's picture $picture"
    done
done

if scripts/package.sh --from "$from64" "$from32" "$fromlv2" --output "$work/swapped" >/dev/null 2>&1; then
    fail "packaged the 64-bit modules as win32 and the 32-bit ones as win64"
fi
if scripts/package.sh --from "$from32" "$from64" "$from64" --output "$work/no-lv2" >/dev/null 2>&1; then
    fail "packaged a folder without LV2 bundles as the LV2 bundles"
fi
echo "Packages checked: $name.zip, $(basename "$tar")"
