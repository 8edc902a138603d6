#!/usr/bin/env bash
# Builds what a release holds for one build preset in a build folder and installs it into a
# folder: for win32 and win64 both plug-in DLLs and the help file (and our host, which stays in
# the build folder), for lv2 the two LV2 bundles, each a folder at the top of the install folder
# (`cmake --install` puts them into lib/lv2/ of its prefix).
# Usage: scripts/build-deliverables.sh PRESET BUILD_FOLDER INSTALL_FOLDER
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
preset=$1 build=$2 prefix=$3

cmake --preset "$preset" -B "$build" >/dev/null
cmake --build "$build" --target kel_deliverables
if [ "$preset" = lv2 ]; then
    stage=$(mktemp -d)
    trap 'rm -rf "$stage"' EXIT
    cmake --install "$build" --prefix "$stage" >/dev/null
    mkdir -p "$prefix"
    for bundle in "$stage"/lib/lv2/*.lv2; do
        rm -rf "${prefix:?}/$(basename "$bundle")"
        mv "$bundle" "$prefix/"
    done
else
    cmake --install "$build" --prefix "$prefix" >/dev/null
fi
