#!/usr/bin/env bash
# Makes the release package, a zip with both plug-ins and the help file for 32-bit and 64-bit
# Windows, the README, the licence and the SHA-256 checksums of every other file in it:
#   Orvalle-Vol2-<version>/{win32,win64}/, LICENSE.txt, README.md, SHA256SUMS
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

usage() {
    cat <<'EOF'
Usage: scripts/package.sh [--from WIN32_FOLDER WIN64_FOLDER] [--output FOLDER]

Builds both plug-ins and the help file for win32 and win64 in build/win32 and build/win64,
installs them into out/win32 and out/win64 (as the demo does) and packages those installs into
out/package/Orvalle-Vol2-<version>.zip; the version is the CMake project version.

  --from WIN32_FOLDER WIN64_FOLDER  package the plug-ins and help file in these two folders
                                    instead, building nothing
  --output FOLDER                   put the zip into FOLDER instead of out/package

Relative folders are taken from the top of the repository.

The same files give the same zip bytes: every file in the zip carries the time
SOURCE_DATE_EPOCH (seconds since 1970), or the time of the last commit if that is not set.
EOF
}

from32="" from64="" output=out/package
while [ $# -gt 0 ]; do
    case $1 in
    --from)
        if [ $# -lt 3 ]; then usage >&2; exit 2; fi
        from32=$2 from64=$3
        shift 3
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
    for preset in win32 win64; do
        scripts/build-deliverables.sh "$preset" "build/$preset" "out/$preset"
    done
    from32=out/win32 from64=out/win64
fi

name=Orvalle-Vol2-$version
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top=$stage/$name

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
cp README.md LICENSE.txt "$top/"

(
    cd "$top"
    sums=$(find . -type f -printf '%P\n' | LC_ALL=C sort | tr '\n' '\0' | xargs -0 sha256sum)
    echo "$sums" >SHA256SUMS
)

# Nothing of the machine or the moment goes into the zip: fixed permissions and times, entries in
# a fixed order, no extra attributes (-X) and no folder entries (-D). Zip stores local times: UTC.
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -exec touch -d "@$epoch" {} +
mkdir -p "$output"
zip_file=$(realpath "$output")/$name.zip
rm -f "$zip_file"
(
    cd "$stage"
    find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D -9 "$zip_file" -@
)
echo "Package: $zip_file"
