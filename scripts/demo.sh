#!/usr/bin/env bash
# The main job: builds both plug-ins for 32-bit and 64-bit Windows, installs them under out/ and
# shows what a host sees of each through our command-line host.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh

for preset in win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target hn6_clean kr6_crunch kelhost
    cmake --install "build/$preset" --prefix "out/$preset" >/dev/null
done

source scripts/wine-env.sh
kel_start_wine_server
trap kel_stop_wine_server EXIT

for preset in win32 win64; do
    for plugin in "HN-6 Clean Preamp" "KR-6 Crunch Preamp"; do
        echo
        echo "== $preset: out/$preset/$plugin.dll"
        scripts/wine-run "build/$preset/bin/kelhost.exe" info "out/$preset/$plugin.dll"
    done
done
echo
echo "Plug-ins installed in: out/win32 (32-bit) and out/win64 (64-bit)"
