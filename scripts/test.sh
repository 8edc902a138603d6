#!/usr/bin/env bash
# Builds every CMake preset and runs every test: native (sanitizers) and both Windows builds
# (under Wine, with a virtual display for the tests that open windows).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh

# "bench" builds the benchmarks without sanitizers; it has no tests of its own. "fuzz" builds
# the libFuzzer target with clang and replays its corpus.
for preset in native win32 win64 bench fuzz; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done
presets=(native win32 win64 fuzz)

# The demo's build-and-install steps, in build folders that nothing else has touched.
rm -rf build/fresh
for preset in win32 win64; do
    scripts/build-deliverables.sh "$preset" "build/fresh/$preset" "build/fresh/install-$preset"
    for file in "HN-6 Clean Preamp.dll" "KR-6 Crunch Preamp.dll" Orvalle1.chm; do
        if [ ! -f "build/fresh/install-$preset/$file" ]; then
            echo "The demo's install of $preset lacks $file" >&2
            exit 1
        fi
    done
done
# The release package, made from those installs.
scripts/check-package.sh build/fresh/install-win32 build/fresh/install-win64 build/fresh/package

# One virtual display for the whole run: the Wine server starts on it, so Wine's desktop, made
# when the server starts, can show the windows, menus and dialogs of the tests.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    source scripts/wine-env.sh
    kel_start_wine_server
    trap kel_stop_wine_server EXIT
    status=0
    for preset in "$@"; do
        echo "== Tests: $preset"
        ctest --preset "$preset" -j 2 || status=1
    done
    exit $status' test-run "${presets[@]}"
