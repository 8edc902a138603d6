#!/usr/bin/env python3
"""The editor in a real LV2 host from one end to the other: jalv.gtk3 on a JACK dummy server,
started and stopped here, embeds the HN-6's editor; it looks as on Windows; a knob turned with
the mouse and a quick slot clicked change the plug-in's controls as jalv holds them; closing
jalv's window ends it cleanly.

Usage: editor_jalv_test.py BUNDLES_FOLDER WORK_FOLDER
"""
import os
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from jalv_session import HarnessError, JalvSession, install_termination_handler, read_png  # noqa

URI = "https://sonadrix.com/lv2/orvalle-vol2/hn6-clean-preamp"
STATUS_CELL = (17, 128, 223, 14)  # the wide layout's status display, the one text cell


def as_port(setting, span):
    """A stored setting as the plug-ins hold it once it is a parameter value (70 holds 69)."""
    value = struct.unpack("<f", struct.pack("<f", setting / span))[0]
    return float(int(value * span))


def main():
    bundles, work = sys.argv[1:3]
    os.makedirs(work, exist_ok=True)
    install_termination_handler()
    failures = []

    def check(condition, what):
        print(("PASS " if condition else "FAIL ") + what, flush=True)
        if not condition:
            failures.append(what)

    with JalvSession(URI, lv2_path=bundles, timeout=30) as session:
        check(session.ui_uri == URI + "#ui", "jalv.gtk3 chose our editor: %s" % session.ui_uri)
        ui = session.plugin_window()
        check((ui.width, ui.height) == (266, 220), "the editor's window is 266x220: %s" % (ui,))
        picture = os.path.join(work, "hn6-jalv.png")
        session.screenshot(ui, picture, settled=True)
        _, _, shown = read_png(picture)
        _, _, windows = read_png(os.path.join(ROOT, "docs", "screenshots", "hn6_wide.png"))
        x0, y0, w, h = STATUS_CELL
        differ = sum(1 for y in range(220) for x in range(266)
                     if not (x0 <= x < x0 + w and y0 <= y < y0 + h)
                     and shown[y][x][:3] != windows[y][x][:3])
        check(differ == 0, "embedded in jalv it looks as on Windows: %d pixels differ" % differ)

        before = session.read_controls()
        check(before.get("gain") == 50.0, "Gain starts at 50: %s" % before)
        session.drag(ui, (14, 60), (58, 60), steps=12)  # over the top of the face, clockwise
        after = session.read_controls()
        check(after.get("gain", 0) > 50.0, "the knob turned Gain up: %s" % after)
        session.click(ui, 12 + 32 * 3 + 16, 159)  # P3: built-in "High Hot" (85, 0, 71)
        recalled = session.read_controls()
        expected = {"gain": as_port(85, 100), "bright": as_port(0, 15),
                    "output": as_port(71, 100)}
        check(all(recalled.get(k) == v for k, v in expected.items()),
              "P3 recalled High Hot: %s, not %s" % (recalled, expected))
        report = session.close()
        check(report.status == 0 and not report.crashed,
              "closing jalv's window ends it cleanly: %s" % (report,))
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except HarnessError as error:
        print("FAIL %s" % error)
        sys.exit(1)
