#!/usr/bin/env bash
# The main job: builds both plug-ins for 32-bit and 64-bit Windows and as LV2 bundles for Linux,
# installs them under out/, shows what a host sees of each, renders a plucked-guitar phrase
# through each plug-in with some of its built-in presets (through our command-line host under
# Wine, and through an LV2 host natively) and takes a picture of each plug-in's editor in both
# layouts, on Windows (our host under Wine) and on Linux (jalv.gtk3).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh

for preset in win32 win64 lv2; do
    scripts/build-deliverables.sh "$preset" "build/$preset" "out/$preset"
done

source scripts/wine-env.sh
kel_start_wine_server
trap kel_stop_wine_server EXIT

# Where this machine cannot run 32-bit programs, the 64-bit host and plug-ins show everything.
shown=win32
if [ "$KEL_RUNS_32BIT" = no ]; then
    shown=win64
fi
for preset in win32 win64; do
    for plugin in "HN-6 Clean Preamp" "KR-6 Crunch Preamp"; do
        echo
        echo "== $preset: out/$preset/$plugin.dll"
        if [ "$preset" = win32 ] && [ "$KEL_RUNS_32BIT" = no ]; then
            echo "Built and installed; not loaded here: this machine cannot run 32-bit x86 programs."
            continue
        fi
        scripts/wine-run "build/$preset/bin/kelhost.exe" info "out/$preset/$plugin.dll"
    done
done

# A short phrase on a plucked string: a run over the open strings and a ringing chord.
demo=out/demo
work=$(mktemp -d)
trap 'rm -rf "$work"; kel_stop_wine_server' EXIT
mkdir -p "$demo"
notes=()
for note in E2 G2 A2 B2 D3 E3 G3 A3; do
    sox -n -r 44100 -b 24 -c 1 "$work/$note.wav" synth 0.35 pluck "$note" gain -4
    notes+=("$work/$note.wav")
done
chord=()
for note in E2 B2 E3 G3 B3 E4; do
    sox -n -r 44100 -b 24 -c 1 "$work/chord_$note.wav" synth 2.5 pluck "$note" gain -16 fade 0 2.5 1.5
    chord+=(-v 1 "$work/chord_$note.wav")
done
sox -m "${chord[@]}" "$work/chord.wav"
sox "${notes[@]}" "$work/chord.wav" "$demo/phrase.wav"

render() { # plug-in, program number, output name
    scripts/wine-run "build/$shown/bin/kelhost.exe" render "out/$shown/$1.dll" "$demo/phrase.wav" \
        "$demo/$3.wav" --program "$2" --format f32
    echo "  $demo/$3.wav"
}
echo
echo "== Demo renders through out/$shown (44.1 kHz, 32-bit float stereo), from $demo/phrase.wav:"
render "HN-6 Clean Preamp" 0 "hn6_default"
render "HN-6 Clean Preamp" 2 "hn6_low_bright"
render "HN-6 Clean Preamp" 3 "hn6_high_hot"
render "KR-6 Crunch Preamp" 1 "kr6_clean"
render "KR-6 Crunch Preamp" 3 "kr6_mid_drive"
render "KR-6 Crunch Preamp" 4 "kr6_high_drive"

# The same phrase through the LV2 bundles, natively, with lv2file applying each preset by its
# name; the phrase as 32-bit float stereo, as our host feeds its mono file to both inputs.
export LV2_PATH=$PWD/out/lv2
echo
echo "== LV2 hosts find in out/lv2:"
lv2ls
sox "$demo/phrase.wav" -e floating-point -b 32 "$work/phrase_stereo.wav" remix 1 1
samples() {
    sox "$1" -t f32 - 2>/dev/null | sha256sum
}
render_lv2() { # plug-in URI, preset name, output name of the same render through the DLL
    lv2file -i "$work/phrase_stereo.wav" -o "$demo/lv2_$3.wav" --ignore-clipping -P "$2" \
        "https://sonadrix.com/lv2/orvalle-vol2/$1" >/dev/null 2>&1
    same=differ
    if [ "$(samples "$demo/lv2_$3.wav")" = "$(samples "$demo/$3.wav")" ]; then
        same="the same samples as $demo/$3.wav"
    fi
    echo "  $demo/lv2_$3.wav: $same"
}
echo
echo "== Demo renders through the LV2 bundles in out/lv2 (lv2file, native), from $demo/phrase.wav:"
render_lv2 hn6-clean-preamp "Default" "hn6_default"
render_lv2 hn6-clean-preamp "Low Bright" "hn6_low_bright"
render_lv2 hn6-clean-preamp "High Hot" "hn6_high_hot"
render_lv2 kr6-crunch-preamp "Clean" "kr6_clean"
render_lv2 kr6-crunch-preamp "Mid Drive" "kr6_mid_drive"
render_lv2 kr6-crunch-preamp "High Drive" "kr6_high_drive"
echo
scripts/screenshots.sh "out/$shown" "build/$shown/bin/kelhost.exe" out/screenshots
echo
# The same editors on Linux, embedded in a real LV2 host: jalv.gtk3 on a JACK dummy server.
echo "LV2 editors in jalv.gtk3, from out/lv2:"
if [ -n "${DISPLAY:-}" ]; then
    python3 scripts/lv2-screenshots.py out/lv2 out/screenshots
else
    KEL_OWN_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x1024x24" python3 scripts/lv2-screenshots.py \
        out/lv2 out/screenshots
fi
echo
echo "Plug-ins installed in: out/win32 (32-bit) and out/win64 (64-bit), and as LV2 bundles in"
echo "out/lv2 (sonadrix-hn6-clean-preamp.lv2, sonadrix-kr6-crunch-preamp.lv2: copy both into"
echo "~/.lv2 for LV2 hosts to find them)"
