#!/usr/bin/env python3
"""The same input through both formats, compared bit for bit: the LV2 bundles rendered by real LV2
hosts (lv2file applying each built-in preset by its name through lilv, lv2apply setting the
control ports) and the 64-bit VST 2.x DLLs rendered by our host under Wine, at 44.1 and 96 kHz,
in blocks that do not divide the file's length.

Usage: cross_format_test.py BUNDLES_FOLDER WIN64_BUILD_FOLDER WORK_FOLDER
"""
import os
import struct
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
URI = "https://sonadrix.com/lv2/orvalle-vol2/"

# Per plug-in: DLL name, LV2 URI, the tone control's parameter name and port symbol, and the
# built-in presets' names in program order.
PLUGINS = [
    ("HN-6 Clean Preamp", URI + "hn6-clean-preamp", "Bright", "bright",
     ["Default", "Low Hot", "Low Bright", "High Hot", "High Bright"]),
    ("KR-6 Crunch Preamp", URI + "kr6-crunch-preamp", "Mid Boost", "mid_boost",
     ["Default", "Clean", "Low Drive", "Mid Drive", "High Drive"]),
]
RATES = [44100, 96000]
# Frames of the input: a prime, so no block size divides it.
FRAMES = {44100: 48611, 96000: 105601}
LV2_BLOCKS = [256, 1000, 4096]
VST_BLOCK = 512
# Settings the editor shows (Gain, tone, Output), the same values sent to the LV2 ports, and the
# values a host may send instead that map to them.
SETTINGS = [
    ((80, 3, 33), None),
    ((0, 0, 0), None),
    ((100, 15, 100), None),
    ((45, 7, 70), None),
    ((80, 3, 33), (80.7, 3.999, 33.5)),
    ((100, 15, 0), (1e9, 16.0, -5.0)),
]


def read_wav(path):
    """(channels, rate, format tag, bits, data bytes) of a WAV file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(path + " is not a WAV file")
    fmt = None
    pos = 12
    while pos + 8 <= len(data):
        chunk, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if chunk == b"fmt ":
            tag, channels, rate = struct.unpack("<HHI", body[:8])
            bits = struct.unpack("<H", body[14:16])[0]
            if tag == 0xFFFE:  # extensible: the sub-format's first two bytes
                tag = struct.unpack("<H", body[24:26])[0]
            fmt = (channels, rate, tag, bits)
        elif chunk == b"data" and fmt:
            return fmt + (body,)
        pos += 8 + size + (size & 1)
    raise ValueError(path + " has no format or data")


def compare(lv2_path, vst_path):
    """None when both hold the same float samples, else what differs."""
    a, b = read_wav(lv2_path), read_wav(vst_path)
    if a[:4] != b[:4] or a[2:4] != (3, 32):
        return "formats differ: %s and %s" % (a[:4], b[:4])
    if a[4] == b[4]:
        return None
    if len(a[4]) != len(b[4]):
        return "lengths differ: %d and %d bytes" % (len(a[4]), len(b[4]))
    for i in range(0, len(a[4]), 4):
        if a[4][i:i + 4] != b[4][i:i + 4]:
            x, y = struct.unpack("<f", a[4][i:i + 4])[0], struct.unpack("<f", b[4][i:i + 4])[0]
            frame, channel = divmod(i // 4, a[0])
            return "frame %d, channel %d: LV2 %r, VST %r" % (frame, channel, x, y)
    return None


def run(command, **kwargs):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kwargs)
    if result.returncode != 0:
        raise RuntimeError("%s failed (%d):\n%s" % (command[0], result.returncode,
                                                     result.stdout.decode(errors="replace")))


def make_input(path, rate):
    """A stereo 32-bit float file: a plucked string, louder on the left, and a sweep on the right
    (made at 44.1 kHz, where sox plucks strings, and resampled)."""
    frames = FRAMES[rate]
    run(["sox", "-r", "44100", "-c", "2", "-n", "-r", str(rate), "-e", "floating-point", "-b",
         "32", path, "synth", "3", "pluck", "E2", "sine", "80-3000", "remix", "1v0.9",
         "1v0.3,2v0.6", "rate", "-v", str(rate), "trim", "0", "%ds" % frames])
    channels, file_rate, _, _, data = read_wav(path)
    assert (channels, file_rate, len(data)) == (2, rate, frames * 8), path
    assert all(frames % block for block in LV2_BLOCKS + [VST_BLOCK])


def main():
    bundles, win64, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    env = dict(os.environ, LV2_PATH=os.path.abspath(bundles))
    kelhost = os.path.join(win64, "bin", "kelhost.exe")
    wine_run = os.path.join(ROOT, "scripts", "wine-run")
    for path in [kelhost] + [os.path.join(win64, "bin", p[0] + ".dll") for p in PLUGINS]:
        if not os.path.isfile(path):
            print("missing: %s (build the win64 preset first)" % path)
            return 1

    def vst(dll, source, target, options):
        run([wine_run, kelhost, "render", os.path.join(win64, "bin", dll + ".dll"), source,
             target, "--block", str(VST_BLOCK)] + options)

    cases = failures = 0

    def check(what, lv2_file, vst_file):
        nonlocal cases, failures
        cases += 1
        difference = compare(lv2_file, vst_file)
        if difference:
            failures += 1
            print("DIFFERS: %s: %s" % (what, difference))

    for rate in RATES:
        source = os.path.join(work, "input-%d.wav" % rate)
        make_input(source, rate)
        for dll, uri, tone_name, tone_symbol, presets in PLUGINS:
            tag = dll.split()[0]
            for number, name in enumerate(presets):
                block = LV2_BLOCKS[(number + rate // 1000) % len(LV2_BLOCKS)]
                lv2_file = os.path.join(work, "%s-%d-preset%d-lv2.wav" % (tag, rate, number))
                vst_file = os.path.join(work, "%s-%d-preset%d-vst.wav" % (tag, rate, number))
                run(["lv2file", "-i", source, "-o", lv2_file, "-b", str(block),
                     "--ignore-clipping", "-P", name, uri], env=env)
                vst(dll, source, vst_file, ["--program", str(number)])
                check("%s, preset \"%s\", %d Hz, LV2 blocks of %d" % (dll, name, rate, block),
                      lv2_file, vst_file)
            # Every setting case at the first rate, two at the others.
            for index, (shown, sent) in enumerate(SETTINGS if rate == RATES[0] else SETTINGS[:2]):
                ports = sent or shown
                lv2_file = os.path.join(work, "%s-%d-settings%d-lv2.wav" % (tag, rate, index))
                vst_file = os.path.join(work, "%s-%d-settings%d-vst.wav" % (tag, rate, index))
                controls = []
                for symbol, value in zip(("gain", tone_symbol, "output"), ports):
                    controls += ["-c", symbol, repr(float(value))]
                run(["lv2apply", "-i", source, "-o", lv2_file] + controls + [uri], env=env)
                params = []
                for param, value in zip(("Gain", tone_name, "Output"), shown):
                    params += ["--param", "%s=%d" % (param, value)]
                vst(dll, source, vst_file, params)
                check("%s, ports %s as settings %s, %d Hz" % (dll, ports, shown, rate),
                      lv2_file, vst_file)
            # Switched off: the input unchanged in both.
            lv2_file = os.path.join(work, "%s-%d-off-lv2.wav" % (tag, rate))
            vst_file = os.path.join(work, "%s-%d-off-vst.wav" % (tag, rate))
            run(["lv2apply", "-i", source, "-o", lv2_file, "-c", "enabled", "0", uri], env=env)
            vst(dll, source, vst_file, ["--param", "Effect=1.0"])
            check("%s switched off, %d Hz" % (dll, rate), lv2_file, vst_file)
            check("%s switched off passes the input, %d Hz" % (dll, rate), lv2_file, source)
    print("%d passed, %d failed" % (cases - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
