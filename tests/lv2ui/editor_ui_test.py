#!/usr/bin/env python3
"""The plug-ins' editor as a user meets it in an LV2 host: the UI modules in our UI host on the
X display in DISPLAY, driven with real X input from xdotool. The window in both layouts; knobs
dragged round their faces and straight, with Shift for fine steps, the wheel, the arrow keys and
Ctrl+click; the footswitch; the host's automation; quick slots recalled and stored by two
instances in two processes sharing the user's files; closing in the middle of a drag; many
opens and closes without growth; a parent window of another visual; a window of its own where
the host gives no parent.

Usage: editor_ui_test.py LV2_UI_HOST BUNDLES_FOLDER WORK_FOLDER
"""
import os
import re
import shutil
import subprocess
import sys
import time

import ui_host_driver
from ui_host_driver import (HostRun, check, click, desktop_windows, move_pointer, read_png,
                            run_tests, shown_window, store_user_preset, usage_over_cycles,
                            wait_until_no_window, xdotool)

HOST, BUNDLES, WORK = sys.argv[1:4]
ui_host_driver.HOST = HOST
CLEAN_UI = os.path.join(BUNDLES, "sonadrix-hn6-clean-preamp.lv2", "hn6-clean-preamp-ui.so")
CRUNCH_UI = os.path.join(BUNDLES, "sonadrix-kr6-crunch-preamp.lv2", "kr6-crunch-preamp-ui.so")
# Places in both layouts (editor/editor_layout.h): the knobs' centres, the P buttons' centres.
GAIN = (36, 71)
TONE = (92, 80)
P_BUTTON = {slot: (12 + 32 * slot + 16, 152 + 7) for slot in range(1, 5)}
WIDE_FOOTSWITCH = (231, 209)


def config(name, settings=""):
    """A user's configuration folder of its own, with the editor's settings file."""
    folder = os.path.join(WORK, name)
    shutil.rmtree(folder, ignore_errors=True)
    presets = os.path.join(folder, "Sonadrix", "Orvalle Vol.2")
    os.makedirs(presets)
    with open(os.path.join(presets, "settings"), "w") as f:
        f.write(settings)
    return folder


def editor(*options, module=CLEAN_UI, folder=None, **kwargs):
    env = dict(os.environ, XDG_CONFIG_HOME=folder or config("default"))
    env.update(kwargs.pop("env", {}))
    return HostRun("--touch", *options, module=module, env=env, **kwargs)


def writes(host, port, start, end=None):
    return [float(line.split()[2]) for line in host.matching(rf"write {port} \S+", start, end)]


def drag(child, start, moves, modifier=None, hold=0.12):
    """A press at `start`, then the pointer through `moves`, then the release, all inside the
    editor's window."""
    move_pointer(child["root_x"] + start[0], child["root_y"] + start[1])
    if modifier:
        xdotool("keydown", modifier)
    xdotool("mousedown", 1)
    time.sleep(hold)
    for x, y in moves:
        move_pointer(child["root_x"] + x, child["root_y"] + y)
        time.sleep(0.03)
    time.sleep(hold)
    xdotool("mouseup", 1)
    if modifier:
        xdotool("keyup", modifier)


def at(child, place):
    return child["root_x"] + place[0], child["root_y"] + place[1]


def test_the_window_in_each_layout():
    for settings, size in (("", (266, 220)), ("Layout=tall\n", (185, 320))):
        for module in (CLEAN_UI, CRUNCH_UI):
            host = editor("--size", "400x400", module=module, folder=config("layout", settings))
            try:
                child = host.child(*size)
                check((child["x"], child["y"]) == (0, 0), f"{settings!r}: {child}")
                check(host.matching(r"resize \d+ \d+") == ["resize %d %d" % size],
                      f"{settings!r}: {host.matching(r'resize .*')}")
                host.finish_cleanly()
            finally:
                host.kill()


def test_knobs_follow_drags_wheel_keys_and_ctrl_click():
    # What the gain port does for each way of turning the knob, from Gain 50.
    cases = [  # settings, start, moves, modifier, what the last write must be
        ("", (14, 80), [(20, 52), (36, 46), (52, 52), (60, 70)], None, "up"),  # round, clockwise
        ("", (58, 72), [(52, 52), (36, 46), (20, 52), (14, 80)], None, "down"),
        ("Knobs=linear\n", GAIN, [(GAIN[0], GAIN[1] - 8 * i) for i in range(1, 6)], None, "up"),
        ("Knobs=linear\n", GAIN, [(GAIN[0], GAIN[1] + 8 * i) for i in range(1, 6)], None, "down"),
    ]
    steps = {}
    for settings, start, moves, modifier, direction in cases:
        host = editor(folder=config("knobs", settings))
        try:
            child = host.child()
            begin = host.sync()
            drag(child, start, moves, modifier)
            host.wait_for(r"touch 1 0", begin)
            gains = writes(host, 1, begin, host.sync())
            check(gains, f"{settings!r} {direction}: no write")
            check(gains[-1] > 50 if direction == "up" else gains[-1] < 50,
                  f"{settings!r} {direction}: {gains}")
            events = host.matching(r"(touch|write) 1 .*", begin)
            check(events[0] == "touch 1 1" and events[-1] == "touch 1 0", f"{events}")
            steps[(settings, direction)] = abs(gains[-1] - 50)
            host.finish_cleanly()
        finally:
            host.kill()

    host = editor(folder=config("knobs", "Knobs=linear\n"))
    try:
        child = host.child()
        # Shift: the same drag goes half as far again for the whole range, so fewer steps.
        begin = host.sync()
        drag(child, GAIN, [(GAIN[0], GAIN[1] - 8 * i) for i in range(1, 6)], "shift")
        host.wait_for(r"touch 1 0", begin)
        fine = abs(writes(host, 1, begin, host.sync())[-1] - 50)
        coarse = steps[("Knobs=linear\n", "up")]
        check(abs(fine - coarse / 1.5) <= 1.5, f"fine {fine}, coarse {coarse}")
        # The wheel over the tone knob, up and down.
        begin = host.sync()
        move_pointer(*at(child, TONE))
        xdotool("click", 4)
        host.wait_for(r"write 2 \S+", begin)
        after_up = writes(host, 2, begin, host.sync())[-1]
        xdotool("click", 5)
        host.wait_for(r"write 2 \S+", begin + 1)
        tones = writes(host, 2, begin, host.sync())
        check(tones[0] > 5 and tones[-1] <= after_up, f"wheel: {tones}")
        # Arrow keys turn the knob last clicked.
        click(*at(child, GAIN))
        begin = host.sync()
        xdotool("key", "Up", "Up")
        host.wait_for(r"write 1 \S+", begin)
        time.sleep(0.2)
        keyed = writes(host, 1, begin, host.sync())
        xdotool("key", "Down")
        host.wait_for(r"write 1 \S+", begin + len(keyed) + 1)
        keyed_down = writes(host, 1, begin, host.sync())
        check(keyed_down[-1] < keyed[-1], f"keys: up {keyed}, then down {keyed_down}")
        # Ctrl+click: back to the default, Gain 50.
        begin = host.sync()
        xdotool("keydown", "ctrl")
        click(*at(child, GAIN))
        xdotool("keyup", "ctrl")
        host.wait_for(r"write 1 50", begin)
        host.finish_cleanly()
    finally:
        host.kill()


def test_footswitch_and_the_hosts_automation():
    host = editor()
    try:
        child = host.child()
        host.send("sleep 300")  # the first paint
        host.sync()
        before = read_png(screenshot(host, "switch-before.png"))[2]
        begin = host.sync()
        click(*at(child, WIDE_FOOTSWITCH))
        host.wait_for(r"write 0 0", begin)
        click(*at(child, WIDE_FOOTSWITCH))
        host.wait_for(r"write 0 1", begin)
        # The host's automation moves the knob; back where it was, so are the pixels.
        host.send("port 1 100")
        host.send("sleep 200")
        host.sync()
        moved = read_png(screenshot(host, "switch-moved.png"))[2]
        host.send("port 1 50")
        host.send("sleep 200")
        host.sync()
        back = read_png(screenshot(host, "switch-back.png"))[2]
        knob = [(x, y) for y in range(46, 96) for x in range(11, 61)]
        check(any(moved[y][x] != before[y][x] for x, y in knob), "the knob did not move")
        check(all(back[y][x] == before[y][x] for x, y in knob), "the knob did not come back")
        check(not host.matching(r"write 1 .*", begin), "the host's own change was written back")
        host.finish_cleanly()
    finally:
        host.kill()


def test_the_window_opens_on_the_hosts_values():
    # Hosts send every control port once after instantiation: the knobs take those values and
    # the status line says only its welcome, as on the defaults. A later change is said.
    status = [(x, y) for y in range(128, 142) for x in range(17, 17 + 223)]
    knob = [(x, y) for y in range(46, 96) for x in range(11, 61)]
    pictures = {}
    for name, options in (("defaults", ()), ("hosts", ("--control", "1=85", "--control", "3=61"))):
        host = editor(*options)
        try:
            host.child()
            host.send("sleep 300")
            host.sync()
            pictures[name] = read_png(screenshot(host, f"opening-{name}.png"))[2]
            host.send("port 1 30")
            host.send("sleep 200")
            host.sync()
            pictures[name + " changed"] = read_png(screenshot(host, f"opening-{name}-2.png"))[2]
            host.finish_cleanly()
        finally:
            host.kill()
    opened, changed = pictures["hosts"], pictures["hosts changed"]
    check(all(opened[y][x] == pictures["defaults"][y][x] for x, y in status),
          "the status line said a value of the opening")
    check(any(opened[y][x] != pictures["defaults"][y][x] for x, y in knob),
          "the knob did not take the host's value")
    check(any(changed[y][x] != opened[y][x] for x, y in status), "a later change was not said")
    check(all(changed[y][x] == pictures["defaults changed"][y][x] for x, y in status + knob),
          "the same change looks different after other opening values")


def screenshot(host, name):
    path = os.path.join(WORK, name)
    host.send(f"screenshot {path}")
    host.wait_for(rf"screenshot {re.escape(path)} \d+ \d+")
    return path


def test_slots_shared_live_between_two_processes():
    folder = config("shared")
    store_user_preset(folder, "Lead", (70, 3, 40), 2)
    first = editor(folder=folder)
    second = editor("--position", "300,0", folder=folder)
    try:
        a, b = first.child(), second.child()
        # Stored 70 reaches the port as 69, as the Windows plug-ins hold it.
        begin = first.sync()
        click(*at(a, P_BUTTON[2]))
        first.wait_for(r"write 3 40", begin)
        check(first.matching(r"write \d \S+", begin) == ["write 1 69", "write 2 3", "write 3 40"],
              f"{first.matching(r'write .*', begin)}")
        # A built-in slot.
        begin = first.sync()
        click(*at(a, P_BUTTON[1]))
        first.wait_for(r"write 3 \S+", begin)
        # Back to P2, the gain turned, Shift+click stores it for every instance.
        click(*at(a, P_BUTTON[2]))
        drag(a, (14, 80), [(20, 52), (36, 46), (52, 52)])
        begin = first.sync()
        xdotool("keydown", "shift")
        click(*at(a, P_BUTTON[2]))
        xdotool("keyup", "shift")
        first.send("sleep 300")
        first.sync()
        stored = writes(first, 1, 0)[-1]
        begin = second.sync()
        click(*at(b, P_BUTTON[2]))
        second.wait_for(r"write 3 40", begin)
        check(writes(second, 1, begin)[-1] in (stored, stored - 1),
              f"the second instance recalled {writes(second, 1, begin)}, stored {stored}")
        first.finish_cleanly()
        second.finish_cleanly()
    finally:
        first.kill()
        second.kill()


def test_closing_in_a_drag_and_many_opens_leave_nothing_behind():
    env = {"ASAN_OPTIONS": "quarantine_size_mb=0"}
    host = editor(watchdog=240, env=env)
    try:
        child = host.child()
        begin = host.sync()
        move_pointer(*at(child, GAIN))
        xdotool("mousedown", 1)
        host.wait_for(r"touch 1 1", begin)
        move_pointer(child["root_x"] + GAIN[0] + 20, child["root_y"] + GAIN[1] - 20)
        time.sleep(0.2)
        host.send("close")
        host.wait_for(r"cleanup", begin)
        xdotool("mouseup", 1)
        # The gesture was ended for the host before the editor went.
        check(host.matching(r"touch 1 0", begin), f"{host.matching(r'(touch|write) .*', begin)}")
        host.send("open")
        host.child()
        before, after = usage_over_cycles(host, 200)
        print(f"  200 opens and closes: before {before}, after {after}")
        check(after["fds"] == before["fds"], f"descriptors {before} -> {after}")
        check(ui_host_driver.x_not_grown(before["x"], after["x"]), f"X resources {before} -> {after}")
        check(after["rss_kb"] - before["rss_kb"] < 2048, f"memory {before} -> {after}")
        host.finish_cleanly()
    finally:
        host.kill()


def test_a_parent_of_another_visual():
    listed = subprocess.run([HOST, "--list-visuals"], capture_output=True, text=True,
                            check=True, timeout=10).stdout
    pictures = {}
    for visual in ("default", "argb"):
        if visual == "argb" and "argb" not in listed.lower() and "depth 32" not in listed:
            continue
        host = editor("--visual", visual)
        try:
            child = host.child()
            host.send("sleep 300")
            host.sync()
            pictures[visual] = read_png(screenshot(host, f"visual-{visual}.png"))[2]
            begin = host.sync()
            click(*at(child, WIDE_FOOTSWITCH))
            host.wait_for(r"write 0 0", begin)
            host.finish_cleanly()
        finally:
            host.kill()
    check("argb" in pictures, f"no 32-bit visual to try here: {listed[:300]}")
    check(pictures["argb"] == pictures["default"], "the editor looks different there")


def test_a_window_of_its_own_where_the_host_gives_no_parent():
    # Shown and hidden by the host, titled with the plug-in's name, taking clicks; the window
    # manager's close ends it as the host's hide would, and the host hears it from idle.
    for module, title in ((CLEAN_UI, "HN-6 Clean Preamp"), (CRUNCH_UI, "KR-6 Crunch Preamp")):
        host = editor("--no-parent", module=module)
        try:
            host.wait_for(r"instantiate widget 0x0")
            begin = host.sync()
            check(not desktop_windows(title), "a window before the host asked for one")
            host.send("show")
            host.wait_for(r"show 0", begin)
            window = shown_window(title)
            check((window["WIDTH"], window["HEIGHT"]) == (266, 220), f"{window}")
            click(window["X"] + WIDE_FOOTSWITCH[0], window["Y"] + WIDE_FOOTSWITCH[1])
            host.wait_for(r"write 0 0", begin)
            host.send("hide")
            host.wait_for(r"hide 0", begin)
            wait_until_no_window(title)
            host.send("show")
            host.wait_for(r"show 0", host.wait_for(r"hide 0", begin)[0])
            window = shown_window(title)
            # The footswitch kept the editor's own value: a click turns it on again.
            click(window["X"] + WIDE_FOOTSWITCH[0], window["Y"] + WIDE_FOOTSWITCH[1])
            host.wait_for(r"write 0 1", begin)
            host.send(f"wm-close {window['id']}")
            host.wait_for(r"idle-stop", begin)
            host.wait_for(r"cleanup", begin)
            wait_until_no_window(title)
            check(len(host.matching(r"write 0 .*", begin)) == 2,
                  f"{host.matching(r'write .*', begin)}")
            host.finish_cleanly()
        finally:
            host.kill()


def main():
    os.makedirs(WORK, exist_ok=True)
    check(os.environ.get("DISPLAY"), "no DISPLAY: run under xvfb-run")
    return run_tests([test_the_window_in_each_layout,
                      test_knobs_follow_drags_wheel_keys_and_ctrl_click,
                      test_footswitch_and_the_hosts_automation,
                      test_the_window_opens_on_the_hosts_values,
                      test_slots_shared_live_between_two_processes,
                      test_closing_in_a_drag_and_many_opens_leave_nothing_behind,
                      test_a_parent_of_another_visual,
                      test_a_window_of_its_own_where_the_host_gives_no_parent])


if __name__ == "__main__":
    sys.exit(main())
