#!/usr/bin/env bash
# Builds every CMake preset and runs every test: native (sanitizers), the portable tests as a
# 32-bit program, the LV2 bundles (with real LV2 hosts, and against the 64-bit DLLs under Wine),
# and both Windows builds (under Wine, with a virtual display for the tests that open windows).
# On a machine that cannot run 32-bit x86 programs the 32-bit Windows build is checked without
# running it, and the 32-bit portable tests run under qemu's emulator.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh
source scripts/wine-env.sh

# "bench" builds the benchmarks without sanitizers; it has no tests of its own. "fuzz" builds
# the libFuzzer target with clang and replays its corpus. win64 is built before win32 and lv2,
# whose modules are compared with its.
for preset in native native32 win64 lv2 win32 bench fuzz; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done
if [ "$KEL_RUNS_32BIT" = yes ]; then
    presets=(native native32 lv2 win32 win64 fuzz)
    notice=
else
    presets=(native native32 lv2 win32-static win64 fuzz)
    notice="NOTICE: this machine cannot run 32-bit x86 programs: the win32 tests under Wine were"
    notice+=" NOT run; the 32-bit build was checked without running it (win32-static) and the"
    notice+=" 32-bit portable tests ran under qemu-i386-static (native32)."
fi

# The demo's build-and-install steps, in build folders that nothing else has touched.
rm -rf build/fresh
declare -A installed=(
    [win32]="HN-6 Clean Preamp.dll:KR-6 Crunch Preamp.dll:Orvalle1.chm"
    [win64]="HN-6 Clean Preamp.dll:KR-6 Crunch Preamp.dll:Orvalle1.chm"
    [lv2]="sonadrix-hn6-clean-preamp.lv2/manifest.ttl:sonadrix-kr6-crunch-preamp.lv2/manifest.ttl"
)
for preset in win32 win64 lv2; do
    scripts/build-deliverables.sh "$preset" "build/fresh/$preset" "build/fresh/install-$preset"
    IFS=: read -ra files <<<"${installed[$preset]}"
    for file in "${files[@]}"; do
        if [ ! -f "build/fresh/install-$preset/$file" ]; then
            echo "The demo's install of $preset lacks $file" >&2
            exit 1
        fi
    done
done
# The release packages, made from those installs.
scripts/check-package.sh build/fresh/install-win32 build/fresh/install-win64 \
    build/fresh/install-lv2 build/fresh/package

# One virtual display for the whole run: the Wine server starts on it, so Wine's desktop, made
# when the server starts, can show the windows, menus and dialogs of the tests.
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    source scripts/wine-env.sh
    kel_start_wine_server
    trap kel_stop_wine_server EXIT
    status=0
    for preset in "$@"; do
        echo "== Tests: $preset"
        ctest --preset "$preset" -j 2 || status=1
    done
    exit $status' test-run "${presets[@]}" || status=$?
if [ -n "$notice" ]; then
    echo "$notice"
fi
exit "$status"
