#!/usr/bin/env bash
# Pictures of both plug-ins' editors in both layouts, taken by our host under Wine from built
# DLLs: hn6_tall.png, hn6_wide.png, kr6_tall.png and kr6_wide.png; and of the HN-6's options
# and slot menus and its name dialog open over it (scripts/menu_pictures.py): hn6_options_menu.png,
# hn6_slot_menu.png, hn6_name_dialog.png.
#
#   scripts/screenshots.sh [DLL_FOLDER [KELHOST_EXE [OUTPUT_FOLDER]]]
#
# DLL_FOLDER holds "HN-6 Clean Preamp.dll" and "KR-6 Crunch Preamp.dll" (default out/win32, or
# out/win64 on a machine that cannot run 32-bit programs); KELHOST_EXE is our host of the same
# bitness (default build/<win32|win64>/bin/kelhost.exe after the DLL folder's name, else
# build/win32/bin/kelhost.exe); OUTPUT_FOLDER defaults to docs/screenshots. Without a display it
# runs itself on a virtual one (Xvfb).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [ -z "${DISPLAY:-}" ]; then
    KEL_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" \
        "$root/scripts/screenshots.sh" "$@"
fi
source "$root/scripts/wine-env.sh"

# Relative arguments are taken from the caller's folder.
absolute() { realpath -m -- "$1"; }
default_dlls=$root/out/win32
if [ "$KEL_RUNS_32BIT" = no ]; then
    default_dlls=$root/out/win64
fi
dlls=$(absolute "${1:-$default_dlls}")
case "$(basename "$dlls")" in
win64) default_host=$root/build/win64/bin/kelhost.exe ;;
*) default_host=$root/build/win32/bin/kelhost.exe ;;
esac
host=$(absolute "${2:-$default_host}")
output=$(absolute "${3:-$root/docs/screenshots}")

fail() {
    echo "screenshots: $*" >&2
    exit 1
}
[ -f "$host" ] || fail "no host at $host (build the kelhost target of the matching preset)"
for plugin in "HN-6 Clean Preamp" "KR-6 Crunch Preamp"; do
    [ -f "$dlls/$plugin.dll" ] || fail "no \"$plugin.dll\" in $dlls"
done
mkdir -p "$output"

cd "$root"
kel_start_wine_server
trap kel_stop_wine_server EXIT

shoot() { # plug-in, layout, picture name
    local picture=$output/$3.png log
    rm -f "$picture"
    # The screenshot is taken 0.3 s after the editor is ready; the window closes after 1 s.
    if ! log=$(scripts/wine-run "$host" editor "$(kel_wine winepath -w "$dlls/$1.dll")" \
        --layout "$2" --screenshot "$(kel_wine winepath -w "$picture")" --seconds 1 2>&1); then
        echo "$log" | tr -d '\r' >&2
        if echo "$log" | grep -q "opened no editor"; then
            fail "$1 ($2 layout) opened no editor: no picture of it"
        fi
        fail "$1 ($2 layout): the host failed"
    fi
    [ -s "$picture" ] || fail "$1 ($2 layout): the host saved no picture"
    echo "  $picture"
}

echo "Editor screenshots from $dlls:"
shoot "HN-6 Clean Preamp" tall hn6_tall
shoot "HN-6 Clean Preamp" wide hn6_wide
shoot "KR-6 Crunch Preamp" tall kr6_tall
shoot "KR-6 Crunch Preamp" wide kr6_wide
# The menus are opened with the pointer and keys, so only on a display of our own.
if [ "${KEL_OWN_DISPLAY:-}" = 1 ]; then
    echo "Menus over the editor:"
    python3 scripts/menu_pictures.py windows "$host" "$dlls/HN-6 Clean Preamp.dll" "$output" ||
        fail "the menu pictures were not taken"
else
    echo "  (no menu pictures on your own display: run without DISPLAY for them)"
fi
