#!/usr/bin/env bash
# Cost per stereo frame of both plug-ins, side by side in one run: natively as LV2 bundles and as
# 64-bit VST 2.x DLLs in our host's bench under Wine. The LV2 bundles are timed twice: by our
# lv2_bench, which loads them through lilv and times them exactly as kelhost bench times the DLLs
# (same signals, separate channel buffers, the fastest of its rounds), and by lilv's lv2bench
# (silent input, both channels in one buffer, one timed pass per process: the fastest of several
# runs). Both builds pick their kernel at run time the same way (AVX2 where the processor has it).
# Usage: scripts/bench-lv2.sh [LV2_BUILD_FOLDER WIN64_BUILD_FOLDER]
#   without folders it builds the lv2 and win64 presets in build/lv2 and build/win64 first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

if [ $# -eq 2 ]; then
    lv2=$1 win64=$2
elif [ $# -eq 0 ]; then
    scripts/setup.sh
    cmake --preset lv2 >/dev/null
    cmake --build build/lv2 --target kel_lv2_bundles lv2_bench
    cmake --preset win64 >/dev/null
    cmake --build build/win64 --target kelhost hn6_clean kr6_crunch
    lv2=build/lv2 win64=build/win64
else
    sed -n '2,9p' "$0" >&2
    exit 2
fi
source scripts/wine-env.sh
kel_start_wine_server
trap kel_stop_wine_server EXIT
export LV2_PATH=$(realpath "$lv2/lib/lv2")

frames=88200 # 2 s at 44.1 kHz per lv2bench run
rounds=20    # lv2bench runs; the fastest counts
kernel=SSE2
if grep -qw avx2 /proc/cpuinfo && grep -qw fma /proc/cpuinfo; then kernel=AVX2; fi
echo "Stereo kernel on this processor: $kernel. Nanoseconds per stereo frame, 44.1 kHz:"
printf '%-19s %5s %13s %13s %13s %13s %13s\n' "" "" "LV2, guitar" "DLL, guitar" \
    "LV2, silence" "DLL, silence" "lv2bench"
for plugin in "HN-6 Clean Preamp:hn6-clean-preamp" "KR-6 Crunch Preamp:kr6-crunch-preamp"; do
    name=${plugin%%:*}
    uri=https://sonadrix.com/lv2/orvalle-vol2/${plugin##*:}
    # Three runs of each bench, the fastest figure counting: a run now and then lands on a slow
    # layout of its buffers, in both formats alike.
    native= dll=
    for _ in 1 2 3; do
        native+=$("$lv2/bin/lv2_bench" "$uri")$'\n'
        dll+=$(scripts/wine-run "$win64/bin/kelhost.exe" bench "$win64/bin/$name.dll")$'\n'
    done
    for block in 64 512; do
        best=
        for _ in $(seq $rounds); do
            seconds=$(lv2bench -b "$block" -n "$frames" "$uri" | awk '{ print $1 }')
            best=$(awk -v a="$seconds" -v b="${best:-$seconds}" 'BEGIN { print (a < b ? a : b) }')
        done
        figure() { # bench output, signal
            awk -v s="$2" -v b="$block" '$1 == s && $2 == b && (!m || $3 < m) { m = $3 }
                END { print m }' <<<"$1"
        }
        printf '%-19s %5s %13s %13s %13s %13s %13s\n' "$name" "$block" \
            "$(figure "$native" guitar)" "$(figure "$dll" guitar)" \
            "$(figure "$native" silence)" "$(figure "$dll" silence)" \
            "$(awk -v s="$best" -v n="$frames" 'BEGIN { printf "%.2f", s / n * 1e9 }')"
    done
done
