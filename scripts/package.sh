#!/usr/bin/env bash
# Makes the release package: a zip with both plug-ins and the help file for 32-bit and 64-bit
# Windows, and a tar.gz with both plug-ins as LV2 bundles for 64-bit Linux; each with the README,
# the pictures it shows, the licence and the SHA-256 checksums of every other file in it:
#   Orvalle-Vol2-<version>.zip:
#     Orvalle-Vol2-<version>/{win32,win64}/, docs/screenshots/, LICENSE.txt, README.md, SHA256SUMS
#   Orvalle-Vol2-<version>-linux-x86_64-lv2.tar.gz:
#     Orvalle-Vol2-<version>-lv2/sonadrix-*.lv2/ (each with its help pages in help/),
#     docs/screenshots/, LICENSE.txt, README.md, SHA256SUMS
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

usage() {
    cat <<'EOF_USAGE'
Usage: scripts/package.sh [--from WIN32_FOLDER WIN64_FOLDER LV2_FOLDER] [--output FOLDER]

Builds both plug-ins and the help file for win32 and win64 in build/win32 and build/win64 and
both LV2 bundles in build/lv2, installs them into out/win32, out/win64 and out/lv2 (as the demo
does) and packages those installs into out/package/Orvalle-Vol2-<version>.zip and
out/package/Orvalle-Vol2-<version>-linux-x86_64-lv2.tar.gz; the version is the CMake project
version.

  --from WIN32_FOLDER WIN64_FOLDER LV2_FOLDER
                                    package the plug-ins and help file in the first two folders
                                    and the LV2 bundles in the third instead, building nothing
  --output FOLDER                   put the packages into FOLDER instead of out/package

Relative folders are taken from the top of the repository.

The same files give the same package bytes: every file in them carries the time
SOURCE_DATE_EPOCH (seconds since 1970), or the time of the last commit if that is not set.
EOF_USAGE
}

from32="" from64="" fromlv2="" output=out/package
while [ $# -gt 0 ]; do
    case $1 in
    --from)
        if [ $# -lt 4 ]; then usage >&2; exit 2; fi
        from32=$2 from64=$3 fromlv2=$4
        shift 4
        ;;
    --output)
        if [ $# -lt 2 ]; then usage >&2; exit 2; fi
        output=$2
        shift 2
        ;;
    -h | --help)
        usage
        exit 0
        ;;
    *)
        echo "package.sh: unknown argument: $1" >&2
        usage >&2
        exit 2
        ;;
    esac
done

scripts/setup.sh

version=$(sed -n 's/^project([A-Za-z0-9_]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
    echo "package.sh: no project version found in CMakeLists.txt" >&2
    exit 1
fi
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || true)}
if [ -z "$epoch" ]; then
    echo "package.sh: not in a git checkout; set SOURCE_DATE_EPOCH to the package's time" >&2
    exit 1
fi

if [ -z "$from32" ]; then
    for preset in win32 win64 lv2; do
        scripts/build-deliverables.sh "$preset" "build/$preset" "out/$preset"
    done
    from32=out/win32 from64=out/win64 fromlv2=out/lv2
fi

name=Orvalle-Vol2-$version
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top=$stage/zip/$name
lv2top=$stage/tar/$name-lv2

# The machine a PE file is built for, from its COFF header: 014c for x86, 8664 for x86-64.
pe_machine() {
    local header
    header=$(od -An -tu4 --endian=little -j 60 -N 4 "$1")
    od -An -tx2 --endian=little -j $((header + 4)) -N 2 "$1" | tr -d ' '
}

declare -A machine=([win32]=014c [win64]=8664)
declare -A from=([win32]=$from32 [win64]=$from64)
for bits in win32 win64; do
    mkdir -p "$top/$bits"
    for file in "HN-6 Clean Preamp.dll" "KR-6 Crunch Preamp.dll" Orvalle1.chm; do
        source_file=${from[$bits]}/$file
        if [ ! -f "$source_file" ]; then
            echo "package.sh: $source_file is missing" >&2
            exit 1
        fi
        if [[ $file == *.dll ]] && [ "$(pe_machine "$source_file")" != "${machine[$bits]}" ]; then
            echo "package.sh: $source_file is not a $bits module" >&2
            exit 1
        fi
        cp "$source_file" "$top/$bits/"
    done
done
# The machine an ELF file is built for: 3e for x86-64.
elf_machine() {
    [ "$(head -c 4 "$1" | od -An -tx1 | tr -d ' ')" = 7f454c46 ] || return 0
    od -An -tx2 --endian=little -j 18 -N 2 "$1" | tr -d ' ' | sed 's/^0*//'
}

bundles=(sonadrix-hn6-clean-preamp.lv2:hn6-clean-preamp.so
    sonadrix-kr6-crunch-preamp.lv2:kr6-crunch-preamp.so)
mkdir -p "$lv2top"
for entry in "${bundles[@]}"; do
    bundle=${entry%%:*} module=${entry##*:}
    for file in "$module" "${module%.so}-ui.so" manifest.ttl plugin.ttl presets.ttl LICENSE.txt \
        help/using.htm help/presets.htm help/orvalle.css; do
        if [ ! -f "$fromlv2/$bundle/$file" ]; then
            echo "package.sh: $fromlv2/$bundle/$file is missing" >&2
            exit 1
        fi
    done
    for binary in "$module" "${module%.so}-ui.so"; do
        if [ "$(elf_machine "$fromlv2/$bundle/$binary")" != 3e ]; then
            echo "package.sh: $fromlv2/$bundle/$binary is not an x86-64 Linux module" >&2
            exit 1
        fi
    done
    cp -r "$fromlv2/$bundle" "$lv2top/"
done

# Both packages: the README with the pictures it links to, the licence, the checksums.
pictures=$(grep -oE '\]\((docs/[^)]+)\)' README.md | sed -E 's/^\]\((.*)\)$/\1/' | sort -u)
for folder in "$top" "$lv2top"; do
    cp README.md LICENSE.txt "$folder/"
    for picture in $pictures; do
        mkdir -p "$folder/$(dirname "$picture")"
        cp "$picture" "$folder/$picture"
    done
    (
        cd "$folder"
        sums=$(find . -type f -printf '%P\n' | LC_ALL=C sort | tr '\n' '\0' | xargs -0 sha256sum)
        echo "$sums" >SHA256SUMS
    )
done

# Nothing of the machine or the moment goes into the packages: fixed permissions (the modules
# executable) and times, entries in a fixed order; in the zip no extra attributes (-X) and no
# folder entries (-D), zip storing local times as UTC; the tar with a numeric owner 0 and gzip
# without a name or time of its own.
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -type f -name '*.so' -exec chmod 755 {} +
find "$stage" -exec touch -d "@$epoch" {} +
mkdir -p "$output"
zip_file=$(realpath "$output")/$name.zip
tar_file=$(realpath "$output")/$name-linux-x86_64-lv2.tar.gz
rm -f "$zip_file" "$tar_file"
(
    cd "$stage/zip"
    find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D -9 "$zip_file" -@
)
(
    cd "$stage/tar"
    LC_ALL=C tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$epoch" \
        --format=gnu -cf - "$name-lv2" | gzip -9 -n >"$tar_file"
)
echo "Package: $zip_file"
echo "Package: $tar_file"
