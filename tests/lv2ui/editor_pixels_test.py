#!/usr/bin/env python3
"""The Linux editor against the Windows editor, pixel for pixel: each plug-in in each layout,
its LV2 UI module's window in our UI host against the 64-bit DLL's editor in our host under Wine,
both with their default settings. Every pixel outside the text cells must be the same; the status
line's text may differ only by font rendering.

Usage: editor_pixels_test.py BUNDLES_FOLDER LV2_UI_HOST WIN64_BUILD_FOLDER WORK_FOLDER
"""
import os
import struct
import subprocess
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Per plug-in: DLL name, bundle folder and UI module.
PLUGINS = [
    ("HN-6 Clean Preamp", "sonadrix-hn6-clean-preamp.lv2", "hn6-clean-preamp-ui.so"),
    ("KR-6 Crunch Preamp", "sonadrix-kr6-crunch-preamp.lv2", "kr6-crunch-preamp-ui.so"),
]
# Per layout: the window's size and the status display, the one text cell (x, y, width, height;
# editor/editor_layout.h).
LAYOUTS = {
    "wide": ((266, 220), (17, 128, 223, 14)),
    "tall": ((185, 320), (17, 128, 153, 14)),
}


def read_png(path):
    """(width, height, rows of (r, g, b) tuples) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + " is not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour = header[0], header[1], header[2], header[3]
    if depth != 8 or colour not in (2, 6) or header[6] != 0:
        raise ValueError("%s: not 8-bit RGB or RGBA without interlace" % path)
    step = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * step
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - step] if i >= step else 0
            up = previous[i]
            corner = previous[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xff
            elif kind == 2:
                line[i] = (line[i] + up) & 0xff
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xff
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + predictor) & 0xff
        rows.append([tuple(line[x * step:x * step + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def run(command, **kwargs):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            timeout=120, **kwargs)
    if result.returncode != 0:
        raise RuntimeError("%s failed (%d):\n%s" % (command[0], result.returncode,
                                                     result.stdout.decode(errors="replace")))
    return result.stdout.decode(errors="replace")


def windows_picture(win64, dll, layout, picture):
    wine_run = os.path.join(ROOT, "scripts", "wine-run")
    kelhost = os.path.join(win64, "bin", "kelhost.exe")
    winepath = run([wine_run, "winepath", "-w", picture]).strip().splitlines()[-1]
    run([wine_run, kelhost, "editor", os.path.join(win64, "bin", dll + ".dll"), "--layout",
         layout, "--screenshot", winepath, "--seconds", "1"])


def linux_picture(host, module, layout, size, config, picture):
    folder = os.path.join(config, "Sonadrix", "Orvalle Vol.2")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "settings"), "w") as f:
        f.write("Layout=%s\n" % layout)
    env = dict(os.environ, XDG_CONFIG_HOME=config)
    commands = "sleep 500\nscreenshot %s\nquit\n" % picture
    log = subprocess.run([host, "--size", "%dx%d" % size, "--watchdog", "30", module],
                         input=commands.encode(), stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, env=env, timeout=60)
    text = log.stdout.decode(errors="replace")
    if log.returncode != 0 or " error" in text or "x-error" in text:
        raise RuntimeError("lv2_ui_host failed (%d):\n%s" % (log.returncode, text))


def main():
    bundles, host, win64, work = sys.argv[1:5]
    os.makedirs(work, exist_ok=True)
    failures = cases = 0
    for dll, bundle, module in PLUGINS:
        for layout, (size, text_cell) in LAYOUTS.items():
            cases += 1
            tag = "%s-%s" % (dll.split()[0], layout)
            windows_png = os.path.join(work, tag + "-windows.png")
            linux_png = os.path.join(work, tag + "-linux.png")
            windows_picture(win64, dll, layout, windows_png)
            linux_picture(host, os.path.join(bundles, bundle, module), layout, size,
                          os.path.join(work, tag + "-config"), linux_png)
            w_width, w_height, windows = read_png(windows_png)
            l_width, l_height, linux = read_png(linux_png)
            if (w_width, w_height) != size or (l_width, l_height) != size:
                failures += 1
                print("DIFFERS: %s %s: sizes %dx%d (Windows) and %dx%d (Linux), not %dx%d"
                      % (dll, layout, w_width, w_height, l_width, l_height, size[0], size[1]))
                continue
            tx, ty, tw, th = text_cell
            outside = inside = differ_outside = differ_inside = 0
            first = None
            for y in range(size[1]):
                for x in range(size[0]):
                    in_text = tx <= x < tx + tw and ty <= y < ty + th
                    same = windows[y][x] == linux[y][x]
                    if in_text:
                        inside += 1
                        differ_inside += not same
                    else:
                        outside += 1
                        if not same:
                            differ_outside += 1
                            first = first or (x, y, windows[y][x], linux[y][x])
            print("%s, %s layout: %d pixels outside the text cell, %d differ; %d inside, %d "
                  "differ" % (dll, layout, outside, differ_outside, inside, differ_inside))
            if differ_outside:
                failures += 1
                print("DIFFERS: %s %s: first at (%d, %d): Windows %s, Linux %s"
                      % ((dll, layout) + first))
    print("%d passed, %d failed" % (cases - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
