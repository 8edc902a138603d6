#!/usr/bin/env python3
"""The editor's menus, message boxes and name dialog on Linux as a user meets them: the UI
module in our UI host on the X display in DISPLAY, driven with real X input from xdotool. Every
entry of the options menu and of the quick slots' menu, by keyboard and by mouse, where the
menus open, the name dialog's limit, paste and drop list, the preset questions, closing the
editor while any of them is open, many openings without growth, and another instance's preset
seen once a dialog closes.

Usage: editor_dialogs_test.py LV2_UI_HOST BUNDLES_FOLDER WORK_FOLDER
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import time

import ui_host_driver
from ui_host_driver import (HostRun, check, click, desktop_windows, input_is_free, move_pointer,
                            run_tests, shown_window, store_user_preset, wait_until_no_window,
                            xdotool)

HOST, BUNDLES, WORK = sys.argv[1:4]
ui_host_driver.HOST = HOST
CLEAN_UI = os.path.join(BUNDLES, "sonadrix-hn6-clean-preamp.lv2", "hn6-clean-preamp-ui.so")
# Places in the wide layout (editor/editor_layout.h): the P buttons', OPTIONS' and the
# footswitch's centres.
P_BUTTON = {slot: (12 + 32 * slot + 16, 152 + 7) for slot in range(1, 5)}
OPTIONS = (230, 160)
FOOTSWITCH = (231, 209)
# The menus' rows (ui/popup_menu_linux.cpp): a 3-pixel frame, entries 16 and separators 9 high.
FRAME, ENTRY, SEPARATOR = 3, 16, 9
EDITOR_CAPTION = "Sonadrix VST Plug-In"
PRESET_CAPTION = "Sonadrix Plug-In"
BUILT_INS = ["Default", "Low Hot", "Low Bright", "High Hot", "High Bright"]


def user_folder(name):
    folder = os.path.join(WORK, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(presets_of(folder))
    return folder


def presets_of(folder):
    return os.path.join(folder, "Sonadrix", "Orvalle Vol.2")


def preset_files(folder):
    return sorted(name for name in os.listdir(presets_of(folder)) if name.endswith(".preset"))


def preset_values(folder, file_name):
    """Gain, Bright and Output of a stored HN-6 preset."""
    with open(os.path.join(presets_of(folder), file_name), "rb") as f:
        data = f.read()
    record = data[20:-4]
    return struct.unpack("<3I", record[20:32])


def slot_names(folder):
    with open(os.path.join(presets_of(folder), "quick-slots"), "rb") as f:
        data = f.read()
    names = []
    for offset in range(12, len(data), 70):
        length = data[offset + 1]
        names.append(data[offset + 2:offset + 2 + length].decode("cp1252"))
    return names


def editor(folder, *options, env=None, **kwargs):
    environment = dict(os.environ, XDG_CONFIG_HOME=folder)
    environment.update(env or {})
    return HostRun("--touch", *options, module=CLEAN_UI, env=environment, **kwargs)


def at(child, place, dx=0, dy=0):
    return child["root_x"] + place[0] + dx, child["root_y"] + place[1] + dy


def key(*names):
    xdotool("key", "--delay", "40", *names)


def right_click(x, y):
    move_pointer(x, y)
    xdotool("mousedown", 3)
    time.sleep(0.15)
    xdotool("mouseup", 3)


def windows_of(kind):
    """Our shown windows of a kind ("menu", "field", "dialog"), their geometry, oldest first."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname",
                            f"^sonadrix-{kind}$"], capture_output=True, text=True,
                           timeout=10).stdout.split()
    shown = []
    for window in found:
        # xwininfo: xdotool counts a child window's place in its parent twice.
        info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True,
                              timeout=10).stdout
        values = {}
        for name, label in (("X", "Absolute upper-left X"), ("Y", "Absolute upper-left Y"),
                            ("WIDTH", "Width"), ("HEIGHT", "Height")):
            match = re.search(rf"^\s*{label}:\s*(-?\d+)", info, re.M)
            if not match:
                break  # gone meanwhile
            values[name] = int(match.group(1))
        if len(values) == 4:
            shown.append({"id": window, **values})
    return sorted(shown, key=lambda w: int(w["id"]))


def wait_for(kind, count=1, timeout=5):
    deadline = time.monotonic() + timeout
    while True:
        shown = windows_of(kind)
        if len(shown) == count:
            return shown
        check(time.monotonic() < deadline, f"{len(shown)} {kind} windows, not {count}: {shown}")
        time.sleep(0.05)


def nothing_open():
    for kind in ("menu", "field", "dialog"):
        wait_for(kind, 0)
    deadline = time.monotonic() + 3
    while not input_is_free():
        check(time.monotonic() < deadline, "the pointer or the keyboard is still grabbed")
        time.sleep(0.05)


def options_menu(child):
    click(*at(child, OPTIONS))
    return wait_for("menu")[0]


def slot_menu(child, slot):
    right_click(*at(child, P_BUTTON[slot]))
    return wait_for("menu")[0]


def entry(menu, row, separators_above=0):
    """The screen point in the middle of a menu's entry `row` (0 the first)."""
    return (menu["X"] + menu["WIDTH"] // 2,
            menu["Y"] + FRAME + ENTRY * (row - separators_above) + SEPARATOR * separators_above +
            ENTRY // 2)


def fake_opener(folder, status):
    """A folder whose xdg-open records the page it is given and ends with `status`."""
    tools = os.path.join(folder, "tools")
    os.makedirs(tools, exist_ok=True)
    with open(os.path.join(tools, "xdg-open"), "w") as f:
        f.write(f'#!/bin/sh\necho "$1" >> "{tools}/opened"\nexit {status}\n')
    os.chmod(os.path.join(tools, "xdg-open"), 0o755)
    return tools


def opened_pages(tools):
    try:
        with open(os.path.join(tools, "opened")) as f:
            return f.read().split()
    except FileNotFoundError:
        return []


CLIPBOARD_OWNERS = []


def set_clipboard(text):
    """Puts text on the clipboard: an xclip of ours owns it (in the foreground, so that it is
    ended here and no client of the display outlives the test)."""
    end_clipboard()
    owner = subprocess.Popen(["xclip", "-selection", "clipboard", "-i", "-quiet"],
                             stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    owner.stdin.write(text.encode("utf-8"))
    owner.stdin.close()
    CLIPBOARD_OWNERS.append(owner)
    time.sleep(0.3)  # it owns the selection once it has read its input


def end_clipboard():
    while CLIPBOARD_OWNERS:
        owner = CLIPBOARD_OWNERS.pop()
        owner.terminate()
        owner.wait(10)


def test_the_options_menu_and_its_commands():
    folder = user_folder("options")
    working, failing = fake_opener(os.path.join(WORK, "opener-ok"), 0), \
        fake_opener(os.path.join(WORK, "opener-fails"), 3)
    for tools in (working, failing):
        if os.path.exists(os.path.join(tools, "opened")):
            os.remove(os.path.join(tools, "opened"))
    for tools in (working, failing):
        host = editor(folder, env={"PATH": tools + ":" + os.environ["PATH"]})
        try:
            child = host.child()
            # It opens where it was asked for: at the pointer, as the Windows menu does.
            menu = options_menu(child)
            x, y = at(child, OPTIONS)
            check((menu["X"], menu["Y"]) == (x, y), f"the menu at {menu}, the click at {x},{y}")
            check(menu["HEIGHT"] == 2 * FRAME + 5 * ENTRY + SEPARATOR, f"{menu}")
            # Without user presets export and delete-all are grey: their letters choose nothing.
            key("e", "d")
            time.sleep(0.3)
            check(len(windows_of("menu")) == 1 and not windows_of("dialog"),
                  "a grey entry was chosen")
            key("Escape")
            nothing_open()
            # A click outside closes it without a choice; the editor then takes clicks again.
            options_menu(child)
            click(child["root_x"] + 600, child["root_y"] + 500)
            nothing_open()
            begin = host.sync()
            click(*at(child, FOOTSWITCH))
            host.wait_for(r"write 0 0", begin)
            # About, by its letter; Enter answers the box.
            options_menu(child)
            key("a")
            box = shown_window(EDITOR_CAPTION)
            check(box["WIDTH"] > 200, f"{box}")
            key("Return")
            wait_until_no_window(EDITOR_CAPTION)
            nothing_open()
            # Help, by the mouse: the bundle's page goes to the browser; where none starts, the
            # failure message says so.
            menu = options_menu(child)
            click(*entry(menu, 4, separators_above=1))
            if tools == working:
                deadline = time.monotonic() + 5
                while not opened_pages(tools):
                    check(time.monotonic() < deadline, "no page was opened")
                    time.sleep(0.05)
                page = opened_pages(tools)[0]
                check(re.fullmatch(r"file:///.*/sonadrix-hn6-clean-preamp\.lv2/help/using\.htm",
                                   page), page)
                check(os.path.exists(page[len("file://"):]), page)
                time.sleep(0.5)
                check(not desktop_windows(EDITOR_CAPTION), "a message after the help opened")
            else:
                shown_window(EDITOR_CAPTION)
                key("Escape")  # an OK box takes Escape as OK
                wait_until_no_window(EDITOR_CAPTION)
            nothing_open()
            host.finish_cleanly()
        finally:
            host.kill()


def test_the_slot_menu_and_its_commands():
    folder = user_folder("slots")
    store_user_preset(folder, "Lead", (70, 3, 40), 2)
    host = editor(folder)
    try:
        child = host.child()
        # Under P1, where the Windows menu opens (44, 167 from the editor's corner).
        menu = slot_menu(child, 1)
        check((menu["X"] - child["root_x"], menu["Y"] - child["root_y"]) == (44, 167), f"{menu}")
        check(menu["HEIGHT"] == 2 * FRAME + 6 * ENTRY + 2 * SEPARATOR, f"{menu}")
        # By keyboard: the built-in submenu, its third preset.
        begin = host.sync()
        key("Down", "Down", "Right")
        wait_for("menu", 2)
        key("Down", "Down", "Return")
        nothing_open()
        host.wait_for(r"write 3 \S+", begin)
        check(slot_names(folder)[0] == "Low Bright", f"{slot_names(folder)}")
        # By mouse: the submenu opens on the pointer; its fourth preset.
        menu = slot_menu(child, 1)
        move_pointer(*entry(menu, 2, separators_above=1))
        submenu = wait_for("menu", 2)[1]
        check(submenu["X"] == menu["X"] + menu["WIDTH"] - FRAME - 1, f"{menu} {submenu}")
        check(submenu["Y"] == entry(menu, 2, 1)[1] - ENTRY // 2 - FRAME, f"{menu} {submenu}")
        x, y = entry(submenu, 3)
        move_pointer(submenu["X"] + 10, y)
        click(x, y)
        nothing_open()
        check(slot_names(folder)[0] == "High Hot", f"{slot_names(folder)}")
        # On a built-in slot overwrite and delete are grey.
        slot_menu(child, 1)
        key("o", "l")
        time.sleep(0.3)
        check(len(windows_of("menu")) == 1, "a grey entry was chosen")
        key("Escape")
        nothing_open()
        # The user presets' submenu: P3 takes "Lead", whose 70 comes to the port as 69.
        begin = host.sync()
        menu = slot_menu(child, 3)
        move_pointer(*entry(menu, 3, separators_above=1))
        submenu = wait_for("menu", 2)[1]
        check(submenu["HEIGHT"] == 2 * FRAME + ENTRY, f"one user preset: {submenu}")
        click(*entry(submenu, 0))
        nothing_open()
        host.wait_for(r"write 3 40", begin)
        check(host.matching(r"write \d \S+", begin)[-3:] == ["write 1 69", "write 2 3",
                                                             "write 3 40"],
              f"{host.matching(r'write .*', begin)}")
        check(slot_names(folder)[2] == "Lead", f"{slot_names(folder)}")
        # Its first entry, the slot's own preset, loads it again.
        begin = host.sync()
        slot_menu(child, 3)
        key("Return")  # the first entry is selected by Down; Return alone chooses nothing
        time.sleep(0.2)
        check(len(windows_of("menu")) == 1, "Return chose an entry with none selected")
        key("Down", "Return")
        nothing_open()
        host.wait_for(r"write 3 40", begin)
        # Overwrite takes the settings the host sent.
        host.send("port 1 20")
        host.sync()
        slot_menu(child, 3)
        key("o")
        nothing_open()
        deadline = time.monotonic() + 3
        while preset_values(folder, "Lead.preset")[0] != 20:
            check(time.monotonic() < deadline, f"{preset_values(folder, 'Lead.preset')}")
            time.sleep(0.05)
        # Delete: the file goes, the slot falls back to its built-in preset.
        slot_menu(child, 3)
        key("l")
        nothing_open()
        check(preset_files(folder) == [], f"{preset_files(folder)}")
        check(slot_names(folder)[2] == "High Hot", f"{slot_names(folder)}")
        host.finish_cleanly()
    finally:
        host.kill()


def name_dialog(child, slot):
    slot_menu(child, slot)
    key("s")
    return wait_for("field")[0]


def test_the_name_dialog():
    folder = user_folder("names")
    host = editor(folder)
    try:
        child = host.child()
        # Over the status display, as on Windows.
        field = name_dialog(child, 1)
        check((field["X"] - child["root_x"], field["Y"] - child["root_y"],
               field["WIDTH"], field["HEIGHT"]) == (17, 110, 167, 21), f"{field}")
        key("Escape")
        nothing_open()
        check(preset_files(folder) == [], "Escape stored a preset")
        # Typed over the slot's name, Enter stores it and puts it into the slot.
        name_dialog(child, 1)
        xdotool("type", "--delay", "20", "My Lead")
        key("Return")
        nothing_open()
        check(preset_files(folder) == ["My Lead.preset"], f"{preset_files(folder)}")
        check(slot_names(folder)[0] == "My Lead", f"{slot_names(folder)}")
        # Editing keys: Home, Shift+End, Backspace, arrows, Delete.
        name_dialog(child, 2)
        key("Home", "shift+End", "BackSpace")
        xdotool("type", "--delay", "20", "Crunchy")
        key("Left", "Left", "BackSpace", "Delete", "End")
        xdotool("type", "--delay", "20", "!")
        key("Return")
        nothing_open()
        check("Cruny!.preset" in preset_files(folder), f"{preset_files(folder)}")
        # A 65th character cannot be typed: 70 make a name of 64.
        name_dialog(child, 3)
        key("ctrl+a")
        xdotool("type", "--delay", "10", "abcdefghij" * 7)
        key("Return")
        nothing_open()
        check(("abcdefghij" * 7)[:64] + ".preset" in preset_files(folder), f"{preset_files(folder)}")
        # A pasted name may be longer: Enter then says so and the dialog stays.
        set_clipboard("x" * 70)
        name_dialog(child, 4)
        key("ctrl+a", "ctrl+v", "Return")
        shown_window(PRESET_CAPTION)
        key("Return")
        wait_until_no_window(PRESET_CAPTION)
        check(len(windows_of("field")) == 1, "the dialog closed with the message")
        # Shortened, it stores.
        key("End", *["BackSpace"] * 6, "Return")
        nothing_open()
        check("x" * 64 + ".preset" in preset_files(folder), f"{preset_files(folder)}")
        # Characters the code page cannot hold are left out of a paste.
        set_clipboard("Solo\u4e2d\u00e9\n")
        name_dialog(child, 4)
        key("ctrl+a", "ctrl+v", "Return")
        nothing_open()
        check("Solo%E9.preset" in preset_files(folder), f"{preset_files(folder)}")
        # A built-in preset's name is refused: nothing stored.
        before = preset_files(folder)
        name_dialog(child, 1)
        key("ctrl+a")
        xdotool("type", "--delay", "20", "Low Hot")
        key("Return")
        nothing_open()
        check(preset_files(folder) == before, f"{preset_files(folder)}")
        # The drop list: the user presets in the store's order; a click takes one, and Enter
        # overwrites it with the settings.
        host.send("port 2 9")
        host.sync()
        name_dialog(child, 1)
        key("F4")
        lists = wait_for("field", 2)
        drop = lists[1]
        check((drop["X"] - child["root_x"], drop["Y"] - child["root_y"]) == (17, 131), f"{drop}")
        click(drop["X"] + 20, drop["Y"] + 1 + 7)
        wait_for("field", 1)
        key("Return")
        nothing_open()
        check(preset_values(folder, "My Lead.preset")[1] == 9,
              f"{preset_values(folder, 'My Lead.preset')}")
        host.finish_cleanly()
    finally:
        host.kill()


def test_the_questions_before_presets_go():
    folder = user_folder("questions")
    store_user_preset(folder, "Lead", (70, 3, 40), 2)
    store_user_preset(folder, "Solo", (60, 4, 50), 3, order=2)
    host = editor(folder)
    try:
        child = host.child()
        for answer in ("n", "Escape"):
            options_menu(child)
            key("d")
            shown_window(PRESET_CAPTION)
            key(answer)
            nothing_open()
            check(preset_files(folder) == ["Lead.preset", "Solo.preset"],
                  f"{answer}: {preset_files(folder)}")
        options_menu(child)
        key("d")
        shown_window(PRESET_CAPTION)
        key("y")
        nothing_open()
        check(preset_files(folder) == [], f"{preset_files(folder)}")
        check(slot_names(folder)[1:3] == ["Low Bright", "High Hot"], f"{slot_names(folder)}")
        host.finish_cleanly()
    finally:
        host.kill()


def test_closing_the_editor_while_a_menu_or_dialog_is_open():
    folder = user_folder("closing")
    store_user_preset(folder, "Lead", (70, 3, 40), 2)
    with open(os.path.join(presets_of(folder), "Lead.preset"), "rb") as f:
        stored = f.read()

    def options(child):
        options_menu(child)

    def submenu(child):
        menu = slot_menu(child, 2)
        move_pointer(*entry(menu, 2, separators_above=1))
        wait_for("menu", 2)

    def field(child):
        name_dialog(child, 2)

    def about(child):
        options_menu(child)
        key("a")
        shown_window(EDITOR_CAPTION)

    def message_over_field(child):
        set_clipboard("y" * 80)
        name_dialog(child, 2)
        key("ctrl+a", "ctrl+v", "Return")
        shown_window(PRESET_CAPTION)

    host = editor(folder)
    try:
        for opening in (options, submenu, field, about, message_over_field):
            child = host.child()
            opening(child)
            begin = host.sync()
            started = time.monotonic()
            host.send("close")
            host.wait_for(r"cleanup", begin, timeout=3)
            took = time.monotonic() - started
            check(took < 2, f"{opening.__name__}: the close took {took:.1f} s")
            nothing_open()
            with open(os.path.join(presets_of(folder), "Lead.preset"), "rb") as f:
                check(f.read() == stored, f"{opening.__name__}: the preset changed")
            host.send("open")
        # Open again, the editor takes clicks as before; quitting the host with a menu open is
        # clean as well.
        child = host.child()
        begin = host.sync()
        click(*at(child, FOOTSWITCH))
        host.wait_for(r"write 0 0", begin)
        options_menu(child)
        host.finish_cleanly()
        nothing_open()
    finally:
        host.kill()
    # A host that shows the editor as a window of its own hides it while a dialog is open.
    host = editor(folder, "--no-parent")
    try:
        host.wait_for(r"instantiate widget 0x0")
        begin = host.sync()
        host.send("show")
        host.wait_for(r"show 0", begin)
        window = shown_window("HN-6 Clean Preamp")
        click(window["X"] + OPTIONS[0], window["Y"] + OPTIONS[1])
        wait_for("menu")
        key("a")
        shown_window(EDITOR_CAPTION)
        begin = host.sync()
        host.send("hide")
        host.wait_for(r"hide 0", begin, timeout=3)
        wait_until_no_window("HN-6 Clean Preamp")
        nothing_open()
        host.send("show")
        window = shown_window("HN-6 Clean Preamp")
        begin = host.sync()
        click(window["X"] + FOOTSWITCH[0], window["Y"] + FOOTSWITCH[1])
        host.wait_for(r"write 0 0", begin)
        host.finish_cleanly()
    finally:
        host.kill()


def test_many_menus_and_dialogs_leave_nothing_behind():
    folder = user_folder("many")
    host = editor(folder, watchdog=240)
    try:
        child = host.child()

        def usage():
            host.sync()
            return ui_host_driver.usage_of(host.process.pid)

        for _ in range(3):  # what the allocators keep
            options_menu(child)
            key("Escape")
            name_dialog(child, 1)
            key("Escape")
        nothing_open()
        before = usage()
        for _ in range(25):
            options_menu(child)
            key("a")
            shown_window(EDITOR_CAPTION)
            key("Return")
            wait_until_no_window(EDITOR_CAPTION)
            name_dialog(child, 1)
            key("Escape")
            wait_for("field", 0)
        nothing_open()
        after = usage()
        print(f"  25 menus, boxes and name dialogs: before {before}, after {after}")
        check(after["fds"] == before["fds"], f"descriptors {before} -> {after}")
        check(ui_host_driver.x_not_grown(before["x"], after["x"]), f"X resources {before} -> {after}")
        check(after["rss_kb"] - before["rss_kb"] < 1024, f"memory {before} -> {after}")
        host.finish_cleanly()
    finally:
        host.kill()


def test_another_instances_preset_is_seen_once_the_dialog_closes():
    folder = user_folder("two")
    first = editor(folder)
    second = editor(folder, "--position", "300,0")
    try:
        a, b = first.child(), second.child()
        name_dialog(a, 1)
        # Meanwhile the other instance stores "Solo" into its P2.
        second.send("port 1 33")
        second.sync()
        slot_menu(b, 2)
        key("s")
        wait_for("field", 2)
        key("ctrl+a")
        xdotool("type", "--delay", "20", "Solo")
        key("Return")
        wait_for("field", 1)
        check(preset_files(folder) == ["Solo.preset"], f"{preset_files(folder)}")
        # The first still shows its dialog; once it is cancelled, its menu offers "Solo".
        move_pointer(*at(a, (17 + 60, 110 + 10)))
        xdotool("click", "1")
        key("Escape")
        nothing_open()
        begin = first.sync()
        slot_menu(a, 3)
        key("Down", "Down", "Down", "Right", "Return")
        nothing_open()
        first.wait_for(r"write 1 3[23]", begin)
        check(slot_names(folder)[2] == "Solo", f"{slot_names(folder)}")
        first.finish_cleanly()
        second.finish_cleanly()
    finally:
        first.kill()
        second.kill()


def main():
    os.makedirs(WORK, exist_ok=True)
    check(os.environ.get("DISPLAY"), "no DISPLAY: run under xvfb-run")
    try:
        return run_tests([test_the_options_menu_and_its_commands,
                          test_the_slot_menu_and_its_commands,
                          test_the_name_dialog,
                          test_the_questions_before_presets_go,
                          test_closing_the_editor_while_a_menu_or_dialog_is_open,
                          test_many_menus_and_dialogs_leave_nothing_behind,
                          test_another_instances_preset_is_seen_once_the_dialog_closes])
    finally:
        end_clipboard()


if __name__ == "__main__":
    sys.exit(main())
