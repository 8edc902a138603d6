#!/usr/bin/env python3
"""The Linux editor against the Windows editor, pixel for pixel: each plug-in in each layout,
its LV2 UI module's window in our UI host against the 64-bit DLL's editor in our host under Wine,
both with their default settings. Every pixel outside the text cells must be the same; the status
line's text may differ only by font rendering.

Usage: editor_pixels_test.py BUNDLES_FOLDER LV2_UI_HOST WIN64_BUILD_FOLDER WORK_FOLDER
"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from svg_to_bmp import decode_png  # noqa: E402

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
    """(width, height, rows of (r, g, b) tuples) of an 8-bit RGB or RGBA PNG, decoded as the
    artwork converter decodes."""
    with open(path, "rb") as f:
        width, height, rows = decode_png(f.read())
    return width, height, [[pixel[:3] for pixel in row] for row in rows]


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
