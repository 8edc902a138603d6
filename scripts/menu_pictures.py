#!/usr/bin/env python3
"""Pictures of the HN-6 editor's menus and name dialog, open over the wide editor as a user
opens them with real X input (xdotool): the options menu, the quick slot P1's menu with its
built-in presets, and the name dialog. The same place and size of the screen for
both platforms, so that the pictures stand side by side.

    scripts/menu_pictures.py windows KELHOST_EXE DLL OUTPUT_FOLDER
        our host under Wine (the caller has started the Wine server, as scripts/screenshots.sh
        does): hn6_options_menu.png, hn6_slot_menu.png, hn6_name_dialog.png
    scripts/menu_pictures.py lv2 BUNDLES_FOLDER OUTPUT_FOLDER
        the LV2 editor in jalv.gtk3 on a JACK dummy server: lv2_hn6_options_menu.png,
        lv2_hn6_slot_menu.png, lv2_hn6_name_dialog.png

Both need a display (DISPLAY).
"""
import os
import re
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from jalv_session import HarnessError, JalvSession, save_screen_area  # noqa: E402

URI = "https://sonadrix.com/lv2/orvalle-vol2/hn6-clean-preamp"
# In the wide layout (editor/editor_layout.h): OPTIONS and P1.
OPTIONS = (230, 160)
P1 = (60, 159)
# The part of the screen pictured, from the editor's top-left corner: the editor and room for the
# options menu at OPTIONS and for the slot menu with its submenu.
AREA = (0, 0, 400, 296)
SETTLE = 0.8  # s for a menu or dialog to show and paint


def xdotool(*words):
    subprocess.run(["xdotool", *map(str, words)], check=True, timeout=10)


def click(x, y, button=1):
    xdotool("mousemove", x, y)
    time.sleep(0.3)
    xdotool("mousedown", button)
    time.sleep(0.15)
    xdotool("mouseup", button)


def picture(folder, name, origin):
    path = os.path.join(folder, name)
    time.sleep(SETTLE)
    save_screen_area(path, origin[0] + AREA[0], origin[1] + AREA[1], AREA[2], AREA[3])
    print("  " + path)


def shoot(origin, folder, prefix):
    """Opens each piece over the editor whose top-left corner is at origin on the screen."""
    x, y = origin
    click(x + OPTIONS[0], y + OPTIONS[1])
    picture(folder, prefix + "hn6_options_menu.png", origin)
    xdotool("key", "Escape")
    time.sleep(0.5)
    click(x + P1[0], y + P1[1], button=3)
    time.sleep(0.5)
    xdotool("key", "--delay", "100", "Down", "Down", "Right", "Down")
    picture(folder, prefix + "hn6_slot_menu.png", origin)
    xdotool("key", "--delay", "100", "Escape", "Escape")
    time.sleep(0.5)
    click(x + P1[0], y + P1[1], button=3)
    time.sleep(0.5)
    xdotool("key", "s")
    time.sleep(0.3)
    xdotool("key", "ctrl+a")
    xdotool("type", "--delay", "30", "My Lead Tone")
    picture(folder, prefix + "hn6_name_dialog.png", origin)
    xdotool("key", "Escape")  # nothing is stored
    time.sleep(0.5)


def windows(host, dll, folder):
    wine_run = os.path.join(ROOT, "scripts", "wine-run")
    winepath = subprocess.run([wine_run, "winepath", "-w", dll], capture_output=True, text=True,
                              check=True, timeout=60).stdout.strip()
    process = subprocess.Popen([wine_run, host, "editor", winepath, "--layout", "wide",
                                "--seconds", "30"], stdout=subprocess.PIPE, text=True)
    try:
        origin = None
        for line in process.stdout:
            found = re.match(r"window (-?\d+) (-?\d+) \d+ \d+", line.strip())
            if found:
                origin = (int(found.group(1)), int(found.group(2)))
            if line.strip() == "ready":
                break
        if not origin:
            raise HarnessError("the host opened no editor")
        time.sleep(1)
        shoot(origin, folder, "")
    finally:
        process.terminate()
        process.wait(30)


def lv2(bundles, folder):
    with tempfile.TemporaryDirectory() as config:
        # A user of their own, so that no preset of the machine's user shows.
        settings = {"Sonadrix/Orvalle Vol.2/settings": "Layout=wide\n"}
        with JalvSession(URI, lv2_path=bundles, config_files=settings, timeout=30) as jalv:
            window = jalv.plugin_window()
            jalv.screenshot(window, os.path.join(config, "settled.png"), settled=True)
            window = jalv.refresh(window)
            shoot((window.x, window.y), folder, "lv2_")
            report = jalv.close()
            if report.status != 0 or report.crashed:
                raise HarnessError("jalv.gtk3 ended badly: %s" % (report,))


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "windows":
        os.makedirs(sys.argv[4], exist_ok=True)
        windows(sys.argv[2], os.path.abspath(sys.argv[3]), os.path.abspath(sys.argv[4]))
    elif len(sys.argv) == 4 and sys.argv[1] == "lv2":
        os.makedirs(sys.argv[3], exist_ok=True)
        lv2(os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3]))
    else:
        print(__doc__, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except HarnessError as error:
        print("menu_pictures: %s" % error, file=sys.stderr)
        sys.exit(1)
