#!/usr/bin/env python3
"""lv2_ui_host with the fixture UI (tests/lv2ui/fixture_ui.cpp), on the X display in DISPLAY:
the UI's window in the parent, real clicks and keys by xdotool, port events, echo, show and
hide, closing in the middle of a drag, instantiation cycles without growth, parents of other
visuals, the watchdog, and refused command lines.

Usage: ui_host_test.py HOST FIXTURE_MODULE WORK_FOLDER
"""
import os
import re
import shutil
import subprocess
import sys
import time

import ui_host_driver
from ui_host_driver import (HostRun as DriverRun, check, click, free_retained_resources,
                            move_pointer, read_png, run_tests, usage_over_cycles, x_resources,
                            xdotool)

HOST, FIXTURE, WORK = sys.argv[1:4]
ui_host_driver.HOST = HOST


def HostRun(*options, module=FIXTURE, **kwargs):
    """A host with the fixture UI unless another module is named."""
    return DriverRun(*options, module=module, **kwargs)


MAIN_URI = "https://sonadrix.com/lv2/test/fixture-ui#main"
SMALL_URI = "https://sonadrix.com/lv2/test/fixture-ui#small"
CARELESS_URI = "https://sonadrix.com/lv2/test/fixture-ui#careless"
BACKGROUND = (0x20, 0x30, 0x40)
BAR_COLOURS = [(0xE0, 0x30, 0x30), (0x30, 0xD0, 0x30), (0x30, 0x60, 0xF0), (0xF0, 0xE0, 0x20)]
WIDTH, HEIGHT = 266, 220
COLUMN = WIDTH // 4


def screenshot(host, name, which=""):
    path = os.path.join(WORK, name)
    host.send(f"screenshot {path} {which}".strip())
    host.wait_for(rf"screenshot {re.escape(path)} \d+ \d+")
    return read_png(path)


def bar_top(rows, port, width=WIDTH):
    """The first row of a port's column that has the port's bar colour, or None."""
    x = port * (width // 4) + width // 8
    for y, row in enumerate(rows):
        if row[x] == BAR_COLOURS[port]:
            return y
    return None


def test_window_has_the_size_the_ui_asks():
    cases = [  # options, the UI's size, the parent's size after it
        ((), (266, 220), (266, 220)),
        (("--ui", SMALL_URI), (160, 120), (160, 120)),
        (("--no-resize",), (266, 220), (400, 300)),
    ]
    for options, (width, height), parent_size in cases:
        host = HostRun("--size", "400x300", "--position", "20,30", *options)
        try:
            _, widget = host.wait_for(r"instantiate widget (0x[0-9a-f]+)")
            child = host.child(width, height)
            check(child["id"] == widget.group(1), f"{options}: child {child} is not the widget")
            check((child["x"], child["y"]) == (0, 0), f"{options}: child at {child}")
            check((child["root_x"], child["root_y"]) == (20, 30), f"{options}: {child}")
            resizes = host.matching(r"resize \d+ \d+")
            if "--no-resize" in options:
                check(not resizes, f"resize called without the feature: {resizes}")
            else:
                check(resizes == [f"resize {width} {height}"], f"{options}: {resizes}")
            host.send("info")
            end = host.sync()
            parent = host.matching(r"parent .*", 0, end)[-1].split()
            check((int(parent[4]), int(parent[5])) == parent_size, f"{options}: {parent}")
            host.finish_cleanly()
        finally:
            host.kill()


def test_clicks_write_and_touch():
    for offer_touch in (True, False):
        host = HostRun(*(["--touch"] if offer_touch else []))
        try:
            child = host.child()
            start = host.sync()
            click(child["root_x"] + COLUMN + COLUMN // 2, child["root_y"] + 44)  # 80 %
            host.wait_for(r"write 1 80", start)
            # A drag in column 2 from 80 % down to 50 %.
            move_pointer(child["root_x"] + 2 * COLUMN + 10, child["root_y"] + 44)
            xdotool("mousedown", 1)
            time.sleep(0.15)
            move_pointer(child["root_x"] + 2 * COLUMN + 10, child["root_y"] + 110)
            time.sleep(0.15)
            xdotool("mouseup", 1)
            host.wait_for(r"write 2 50", start)
            if offer_touch:
                host.wait_for(r"touch 2 0", start)
            else:
                host.send("sleep 200")  # time for a touch that must not come
            end = host.sync()
            events = host.matching(r"(write|touch) .*", start, end)
            writes_2 = [line for line in events if line.startswith("write 2 ")]
            check(writes_2[0] == "write 2 80" and writes_2[-1] == "write 2 50", f"{events}")
            if offer_touch:
                check(events[:3] == ["touch 1 1", "write 1 80", "touch 1 0"], f"{events}")
                check(events[3] == "touch 2 1" and events[-1] == "touch 2 0", f"{events}")
            else:
                check(events[0] == "write 1 80", f"{events}")
                check(not [line for line in events if line.startswith("touch")], f"{events}")
            host.finish_cleanly()
        finally:
            host.kill()


def test_keys_reach_the_window_given_the_focus():
    host = HostRun("--control", "2=50")
    try:
        child = host.child()
        click(child["root_x"] + 2 * COLUMN + 10, child["root_y"] + 110)  # port 2, 50 %
        host.wait_for(r"write 2 50")
        # Away from the window, keys go to where the focus is (the pointer's window at first).
        move_pointer(child["root_x"] + WIDTH + 200, child["root_y"] + HEIGHT + 200)
        cases = [(False, "Up", None), (True, "Up", "write 2 51"), (True, "Down", "write 2 50")]
        for focus, key, write in cases:
            if focus:
                host.send("focus")
                host.wait_for(rf"focus {child['id']}")
            start = host.sync()
            xdotool("key", key)
            host.send("sleep 200")
            end = host.sync()
            writes = host.matching(r"write .*", start, end)
            check(writes == ([write] if write else []), f"focus {focus}, {key}: {writes}")
        host.finish_cleanly()
    finally:
        host.kill()


def test_port_events_reach_the_ui():
    host = HostRun("--control", "0=25")
    try:
        host.child()
        host.wait_for(r"port-event 0 25")
        for command in ("port 1 80", "port 3 50.5"):
            host.send(command)
        host.wait_for(r"port-event 3 50\.5")
        host.send("sleep 200")  # two idles at least: the fixture draws in idle
        width, height, rows = screenshot(host, "port_events.png")
        check((width, height) == (WIDTH, HEIGHT), f"screenshot of {width}x{height}")
        tops = [bar_top(rows, port) for port in range(4)]
        check(tops == [165, 44, None, 109], f"bars start at rows {tops}")
        check(rows[5][5] == BACKGROUND, f"background {rows[5][5]}")
        _, _, parent_rows = screenshot(host, "parent.png", "parent")
        check(parent_rows[44][COLUMN + COLUMN // 2] == BAR_COLOURS[1], "the parent's picture")
        host.finish_cleanly()
    finally:
        host.kill()


def test_writes_echoed_or_not():
    cases = [((), None, False), (("--echo",), None, True), ((), "echo on", True)]
    for options, command, echoed in cases:
        host = HostRun(*options)
        try:
            child = host.child()
            if command:
                host.send(command)
            start = host.sync()
            click(child["root_x"] + COLUMN // 2, child["root_y"] + 110)  # 50 %
            host.wait_for(r"write 0 50", start)
            host.send("sleep 100")
            end = host.sync()
            echoes = host.matching(r"port-event 0 50 echo", start, end)
            check(len(echoes) == (1 if echoed else 0), f"{options} {command}: {echoes}")
            host.finish_cleanly()
        finally:
            host.kill()


def test_hide_show_and_close_in_a_drag():
    host = HostRun("--touch")
    try:
        child = host.child()
        host.send("hide")
        host.wait_for(r"hide 0")
        host.child(mapped=0)
        host.send("show")
        host.wait_for(r"show 0")
        child = host.child()
        move_pointer(child["root_x"] + 10, child["root_y"] + 100)
        xdotool("mousedown", 1)
        host.wait_for(r"touch 0 1")
        start = host.sync()
        host.send("close")
        host.wait_for(r"cleanup", start)
        host.wait_for(rf"child-destroy {child['id']}", start)
        move_pointer(child["root_x"] + 20, child["root_y"] + 50)
        xdotool("mouseup", 1)
        host.send("sleep 100")
        end = host.sync()
        check(not host.matching(r"(write|touch) .*", start, end), "calls after cleanup")
        host.send("open")
        host.wait_for(r"instantiate widget 0x[0-9a-f]+", end)
        host.child()
        host.finish_cleanly()
    finally:
        host.kill()


def test_cycles_leave_nothing_behind():
    # Port 11 makes the fixture leak a descriptor and a pixmap in each cleanup.
    cases = [((), False), (("--control", "11=1"), True)]
    start = x_resources()
    for options, leaks in cases:
        # AddressSanitizer (the native build) keeps freed blocks out of use for a while, which
        # looks like growth: without that quarantine, what stays is what is still held.
        env = dict(os.environ, ASAN_OPTIONS="quarantine_size_mb=0")
        host = HostRun(*options, watchdog=120, env=env)
        try:
            host.child()
            before, after = usage_over_cycles(host, 100)
            print(f"  cycles {options}: before {before}, after {after}")
            if leaks:
                check(after["fds"] - before["fds"] >= 100, f"the fd leak went unseen: {after}")
                check(after["x"]["resources"] - before["x"]["resources"] >= 100,
                      f"the pixmap leak went unseen: {after}")
            else:
                check(after["fds"] == before["fds"], f"descriptors {before} -> {after}")
                check(ui_host_driver.x_not_grown(before["x"], after["x"]), f"X resources {before} -> {after}")
                check(after["rss_kb"] - before["rss_kb"] < 2048, f"memory {before} -> {after}")
            check(not host.matching(r"(error|x-error) .*"), "problems in the cycles")
            host.finish_cleanly()
        finally:
            host.kill()
            if leaks:
                free_retained_resources()
    # Nothing of ours stays; other clients of the display (Wine's, after an earlier test) may
    # have gone meanwhile.
    end = x_resources()
    check(ui_host_driver.x_not_grown(start, end),
          f"X resources before the cycles {start}, after {end}")


def test_parent_of_another_visual():
    listed = subprocess.run([HOST, "--list-visuals"], capture_output=True, text=True,
                            check=True, timeout=10).stdout
    default = re.search(r"visual (0x[0-9a-f]+) depth (\d+) class (\w+) default", listed)
    check(default, f"no default visual in {listed[:200]}")
    others = {}
    argb = re.search(r"visual (0x[0-9a-f]+) depth 32 class TrueColor", listed)
    if argb:
        others["argb"] = ("32", None)
    other_class = re.search(rf"visual (0x[0-9a-f]+) depth {default.group(2)} class "
                            rf"(?!{default.group(3)})\w+", listed)
    if other_class:
        others["id:" + other_class.group(1)] = (default.group(2), other_class.group(1))
    check(others, "the display offers no visual but its default one")
    for which, (depth, visual) in others.items():
        host = HostRun("--visual", which)
        try:
            _, parent = host.wait_for(r"parent 0x[0-9a-f]+ 0 0 400 300 depth (\d+) visual "
                                      r"(0x[0-9a-f]+)")
            check(parent.group(1) == depth and parent.group(2) != default.group(1),
                  f"{which}: parent {parent.group(0)}")
            check(visual is None or parent.group(2) == visual, f"{which}: {parent.group(0)}")
            child = host.child()
            host.send("sleep 100")
            _, _, rows = screenshot(host, "visual.png")
            check(rows[5][5] == BACKGROUND, f"{which}: the UI drew {rows[5][5]}")
            start = host.sync()
            click(child["root_x"] + 3 * COLUMN + 10, child["root_y"] + 44)
            host.wait_for(r"write 3 80", start)
            host.finish_cleanly()
        finally:
            host.kill()

    # A UI that gives its window the screen's visual without a colormap of it: the server refuses
    # the window under a parent of another visual, and the host says so and carries on.
    for which in ["default", *others]:
        host = HostRun("--ui", CARELESS_URI, "--visual", which)
        try:
            # The UI's connection reads its errors in the UI's idle.
            host.wait_for(r"instantiate widget 0x[0-9a-f]+")
            if which == "default":
                host.child()
                host.send("sleep 200")
                end = host.sync()
                errors = host.matching(r"x-error .*", 0, end)
                check(not errors, f"the careless UI under the screen's visual: {errors}")
            else:
                host.wait_for(r"x-error ui .*BadMatch.* request 1\.0 .*")
            check(host.finish() == 0, f"{which}: the host did not carry on")
        finally:
            host.kill()


def test_watchdog_and_idle_stop():
    cases = [  # commands, watchdog seconds: a host left alone, and a UI that hangs in idle
        ([], 1),
        (["port 10 1"], 2),
    ]
    for commands, seconds in cases:
        host = HostRun(watchdog=seconds)
        try:
            started = time.monotonic()
            for command in commands:
                host.send(command)
            status = host.process.wait(seconds + 10)
            took = time.monotonic() - started
            host.finish()
            check(status == 3, f"{commands}: exit status {status}")
            check(seconds * 0.9 <= took < seconds + 5, f"{commands}: ended after {took:.1f} s")
            host.wait_for(rf"watchdog fired after {seconds} s")
        finally:
            host.kill()

    host = HostRun()
    try:
        host.child()
        host.send("port 9 1")  # the fixture's idle then answers non-zero
        index, _ = host.wait_for(r"idle-stop")
        host.wait_for(r"cleanup", index)
        host.wait_for(r"child-destroy 0x[0-9a-f]+", index)
        host.finish_cleanly()
    finally:
        host.kill()


def test_commands_at_times_and_resizes():
    path = os.path.join(WORK, "scheduled.png")
    host = HostRun("--at", "0.2", "port 2 40", "--at", "0.4", "port 8 300",
                   "--at", "0.6", f"screenshot {path}", "--at", "0.8", "size 320 240",
                   "--at", "1.0", "quit", stdin=subprocess.DEVNULL)
    try:
        started = time.monotonic()
        status = host.finish()
        took = time.monotonic() - started
        check(status == 0 and 0.8 <= took < 10, f"status {status} after {took:.1f} s")
        order = [r"port-event 2 40", r"resize 300 220", rf"screenshot {re.escape(path)} 300 220",
                 r"size 320 240 ui 0", r"child-configure 0x[0-9a-f]+ 0 0 320 240", r"quit"]
        index = 0
        for pattern in order:
            index, _ = host.wait_for(pattern, index, timeout=0)
        host.wait_for(r"parent-configure 300 220", timeout=0)
        _, _, rows = read_png(path)
        top = bar_top(rows, 2, width=300)
        check(top == 220 - 88, f"port 2 at 40 % in the 300 wide UI starts at row {top}")
    finally:
        host.kill()

    host = HostRun("--duration", "0.5", stdin=subprocess.DEVNULL)
    try:
        started = time.monotonic()
        status = host.finish()
        took = time.monotonic() - started
        check(status == 0 and took >= 0.5, f"--duration 0.5: status {status} after {took:.2f} s")
        host.wait_for(r"cleanup", timeout=0)
    finally:
        host.kill()


def test_refusals():
    cases = [  # arguments, exit status, what stderr says
        (["--ui", "urn:none", FIXTURE], 2, r"has no UI urn:none"),
        ([os.path.join(WORK, "missing.so")], 2, r"cannot load"),
        (["--size", "0x10", FIXTURE], 1, r"--size takes WxH"),
        (["--visual", "depth:7", FIXTURE], 1, r"no visual \"depth:7\""),
        (["--frobnicate", FIXTURE], 1, r"unknown option --frobnicate"),
    ]
    for arguments, expected, message in cases:
        result = subprocess.run([HOST, "--watchdog", "20", *arguments], capture_output=True,
                                text=True, timeout=30)
        check(result.returncode == expected, f"{arguments}: status {result.returncode}")
        check(re.search(message, result.stderr), f"{arguments}: stderr {result.stderr!r}")

    host = HostRun()
    try:
        for command in ("port one 2", "echo maybe", "teleport"):
            host.send(command)
            host.wait_for(rf"error cannot run \"{command}\"")
        check(host.finish() == 0, "the host ends after wrong commands")
    finally:
        host.kill()


def main():
    os.makedirs(WORK, exist_ok=True)
    check(os.environ.get("DISPLAY"), "no DISPLAY: run under xvfb-run")
    check(shutil.which("xdotool") and shutil.which("xrestop"), "xdotool and xrestop needed")
    tests = [test_window_has_the_size_the_ui_asks, test_clicks_write_and_touch,
             test_keys_reach_the_window_given_the_focus, test_port_events_reach_the_ui,
             test_writes_echoed_or_not, test_hide_show_and_close_in_a_drag,
             test_cycles_leave_nothing_behind, test_parent_of_another_visual,
             test_watchdog_and_idle_stop, test_commands_at_times_and_resizes, test_refusals]
    return run_tests(tests)


if __name__ == "__main__":
    sys.exit(main())
