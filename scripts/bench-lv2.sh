#!/usr/bin/env bash
# Cost per stereo frame of both plug-ins, side by side in one run: natively as LV2 bundles in
# lv2bench (lilv's benchmark host: silent input, default settings) and as 64-bit VST 2.x DLLs in
# our host's bench under Wine (same settings, silence and a guitar-like signal). Both builds pick
# their kernel at run time the same way (AVX2 where the processor has it).
# Usage: scripts/bench-lv2.sh [LV2_BUNDLES_FOLDER WIN64_BUILD_FOLDER]
#   without folders it builds the lv2 and win64 presets in build/lv2 and build/win64 first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

if [ $# -eq 2 ]; then
    bundles=$1 win64=$2
elif [ $# -eq 0 ]; then
    scripts/setup.sh
    cmake --preset lv2 >/dev/null
    cmake --build build/lv2 --target kel_lv2_bundles
    cmake --preset win64 >/dev/null
    cmake --build build/win64 --target kelhost hn6_clean kr6_crunch
    bundles=build/lv2/lib/lv2 win64=build/win64
else
    sed -n '2,7p' "$0" >&2
    exit 2
fi
source scripts/wine-env.sh
kel_start_wine_server
trap kel_stop_wine_server EXIT
export LV2_PATH=$(realpath "$bundles")

frames=88200 # 2 s at 44.1 kHz per lv2bench run
rounds=20     # lv2bench times one run: the fastest of these counts, as our bench keeps its fastest round
kernel=SSE2
if grep -qw avx2 /proc/cpuinfo && grep -qw fma /proc/cpuinfo; then kernel=AVX2; fi
echo "Stereo kernel on this processor: $kernel. Nanoseconds per stereo frame, 44.1 kHz:"
printf '%-20s %6s %16s %16s %16s\n' "plug-in" block "LV2 lv2bench" "DLL, silence" "DLL, guitar"
for plugin in "HN-6 Clean Preamp:hn6-clean-preamp" "KR-6 Crunch Preamp:kr6-crunch-preamp"; do
    name=${plugin%%:*}
    uri=https://sonadrix.com/lv2/orvalle-vol2/${plugin##*:}
    dll=$(scripts/wine-run "$win64/bin/kelhost.exe" bench "$win64/bin/$name.dll")
    for block in 64 512; do
        best=
        for _ in $(seq $rounds); do
            seconds=$(lv2bench -b "$block" -n "$frames" "$uri" | awk '{ print $1 }')
            best=$(awk -v a="$seconds" -v b="${best:-$seconds}" 'BEGIN { print (a < b ? a : b) }')
        done
        native=$(awk -v s="$best" -v n="$frames" 'BEGIN { printf "%.2f", s / n * 1e9 }')
        silence=$(awk -v b="$block" '$1 == "silence" && $2 == b { print $3 }' <<<"$dll")
        guitar=$(awk -v b="$block" '$1 == "guitar" && $2 == b { print $3 }' <<<"$dll")
        printf '%-20s %6s %16s %16s %16s\n' "$name" "$block" "$native" "$silence" "$guitar"
    done
done
