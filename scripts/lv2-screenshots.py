#!/usr/bin/env python3
"""Pictures of both plug-ins' editors in both layouts as an LV2 host shows them: each bundle's
editor embedded in jalv.gtk3 on a JACK dummy server, on the X display in DISPLAY (the demo runs
this under Xvfb). Writes lv2_hn6_tall.png, lv2_hn6_wide.png, lv2_kr6_tall.png and
lv2_kr6_wide.png, the editor's window alone; and the HN-6's menus and name dialog open over it
(scripts/menu_pictures.py): lv2_hn6_options_menu.png, lv2_hn6_slot_menu.png,
lv2_hn6_name_dialog.png.

Usage: scripts/lv2-screenshots.py BUNDLES_FOLDER OUTPUT_FOLDER
"""
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from jalv_session import HarnessError, JalvSession, install_termination_handler  # noqa: E402

sys.path.insert(0, os.path.join(ROOT, "scripts"))
import menu_pictures  # noqa: E402

URI = "https://sonadrix.com/lv2/orvalle-vol2/"
PLUGINS = [("hn6", URI + "hn6-clean-preamp"), ("kr6", URI + "kr6-crunch-preamp")]
LAYOUTS = [("tall", (185, 320)), ("wide", (266, 220))]


def main():
    bundles, output = map(os.path.abspath, sys.argv[1:3])
    os.makedirs(output, exist_ok=True)
    install_termination_handler()
    for tag, uri in PLUGINS:
        for layout, size in LAYOUTS:
            settings = {"Sonadrix/Orvalle Vol.2/settings": "Layout=%s\n" % layout}
            with JalvSession(uri, lv2_path=bundles, config_files=settings, timeout=30) as jalv:
                window = jalv.plugin_window()
                if (window.width, window.height) != size:
                    raise HarnessError("%s %s: the editor is %dx%d, not %dx%d" % (
                        tag, layout, window.width, window.height, size[0], size[1]))
                picture = os.path.join(output, "lv2_%s_%s.png" % (tag, layout))
                jalv.screenshot(window, picture, settled=True)
                report = jalv.close()
                if report.status != 0 or report.crashed:
                    raise HarnessError("jalv.gtk3 ended badly: %s" % (report,))
            print("  " + picture)
    # The menus are opened with the pointer and keys, so only on a display of our own.
    if os.environ.get("KEL_OWN_DISPLAY") == "1":
        menu_pictures.lv2(bundles, output)
    else:
        print("  (no menu pictures on your own display: run without DISPLAY for them)")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except HarnessError as error:
        print("lv2-screenshots: %s" % error, file=sys.stderr)
        sys.exit(1)
