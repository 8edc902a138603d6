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

# The demo's build-and-install steps first, in build folders that nothing else has touched: a
# preset's own folder where it is not made yet (a fresh clone; the full build then goes on in
# it), else a folder of its own.
rm -rf build/fresh
declare -A installed=(
    [win32]="HN-6 Clean Preamp.dll:KR-6 Crunch Preamp.dll:Orvalle1.chm"
    [win64]="HN-6 Clean Preamp.dll:KR-6 Crunch Preamp.dll:Orvalle1.chm"
    [lv2]="sonadrix-hn6-clean-preamp.lv2/manifest.ttl:sonadrix-kr6-crunch-preamp.lv2/manifest.ttl:sonadrix-hn6-clean-preamp.lv2/hn6-clean-preamp-ui.so:sonadrix-kr6-crunch-preamp.lv2/kr6-crunch-preamp-ui.so"
)
for preset in win32 win64 lv2; do
    folder=build/$preset
    if [ -e "$folder/CMakeCache.txt" ]; then
        folder=build/fresh/$preset
    fi
    scripts/build-deliverables.sh "$preset" "$folder" "build/fresh/install-$preset"
    IFS=: read -ra files <<<"${installed[$preset]}"
    for file in "${files[@]}"; do
        if [ ! -f "build/fresh/install-$preset/$file" ]; then
            echo "The demo's install of $preset lacks $file" >&2
            exit 1
        fi
    done
done

# "bench" builds the benchmarks without sanitizers; it has no tests of its own. "fuzz" builds
# the libFuzzer target with clang and replays its corpus. win64 is built before win32 and lv2,
# whose modules are compared with its.
for preset in native native32 win64 lv2 win32 bench fuzz; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done

# The release packages, made from those installs.
scripts/check-package.sh build/fresh/install-win32 build/fresh/install-win64 \
    build/fresh/install-lv2 build/fresh/package

# Runs test sets on a virtual display of its own, whose number is looked for from FIRST_DISPLAY
# up, with a Wine server on the given prefix; the server starts on that display, so that Wine's
# desktop, made when the server starts, can show the tests' windows, menus and dialogs. Without a
# prefix ("-") the sets run as they are: they need neither Wine nor a display.
# Usage: run_test_sets WINE_PREFIX FIRST_DISPLAY SET...
run_test_sets() {
    local prefix=$1 first_display=$2
    shift 2
    local script='
        status=0
        for preset in "$@"; do
            echo "== Tests: $preset"
            ctest --preset "$preset" -j 2 || status=1
        done
        exit $status'
    if [ "$prefix" = - ]; then
        bash -c "$script" test-run "$@"
    else
        KEL_WINEPREFIX=$prefix xvfb-run -n "$first_display" -a -s "-screen 0 1280x1024x24" \
            bash -c "source scripts/wine-env.sh
                     kel_start_wine_server build/win64/bin/desktop_keeper.exe
                     trap kel_stop_wine_server EXIT; $script" test-run "$@"
    fi
}

# Two groups of test sets run side by side, each on a virtual display and a Wine prefix (and so a
# Wine server) of its own: the tests that show windows take their display in turns, and the
# 32-bit and the 64-bit Windows tests are the longest of them.
main_sets=(native native32 lv2 win64 fuzz)
if [ "$KEL_RUNS_32BIT" = yes ]; then
    side_sets=(win32)
    side_prefix=$PWD/build/wine-prefix-side
    notice=
else
    side_sets=(win32-static)
    side_prefix=-
    notice="NOTICE: this machine cannot run 32-bit x86 programs: the win32 tests under Wine were"
    notice+=" NOT run; the 32-bit build was checked without running it (win32-static) and the"
    notice+=" 32-bit portable tests ran under qemu-i386-static (native32)."
fi

side_log=build/side-tests.log
run_test_sets "$side_prefix" 300 "${side_sets[@]}" >"$side_log" 2>&1 &
side=$!
status=0
run_test_sets "$PWD/build/wine-prefix" 99 "${main_sets[@]}" || status=1
wait "$side" || status=1
cat "$side_log"
if [ -n "$notice" ]; then
    echo "$notice"
fi
exit "$status"
