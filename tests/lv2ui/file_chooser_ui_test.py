#!/usr/bin/env python3
"""Exporting and importing user presets through the archive file chooser on Linux, as a user
does it: the HN-6 UI module in our UI host on the X display in DISPLAY (no window manager needed),
driven with real X input from xdotool. Our own chooser (typed names, the default extension, the
replace question, the list worked by mouse and keys, Escape and the window manager's close, the
folder kept for the next time) and the desktop's chooser through a stand-in `zenity` put first on
PATH (an answer, a cancel, a failure that falls back to ours, FileDialog=builtin, the editor
closing while it runs); and hostile archives through the import dialog.

Usage: file_chooser_ui_test.py LV2_UI_HOST BUNDLES_FOLDER WORK_FOLDER
"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import ui_host_driver  # noqa: E402
from jalv_session import png_bytes, xwd_to_rgb  # noqa: E402
from ui_host_driver import HostRun, check, click, move_pointer, run_tests, xdotool  # noqa: E402

HOST, BUNDLES, WORK = sys.argv[1:4]
ui_host_driver.HOST = HOST
CLEAN_UI = os.path.join(BUNDLES, "sonadrix-hn6-clean-preamp.lv2", "hn6-clean-preamp-ui.so")
P1 = (60, 160)
OPTIONS = (230, 160)
SAVE_TITLE = "Save User Presets As..."
OPEN_TITLE = "Load Presets From..."
PRESET_CAPTION = "Sonadrix Plug-In"
CHOOSER_SIZE = (480, 360)
# The chooser's list (ui/file_chooser_linux.cpp): rows of 16 pixels from y 40, text from x 30.
LIST_TOP, ROW = 40, 16
RECORD_SIZE = 112  # one HN-6 preset in an archive, after its 20-byte header


def user(name, settings=""):
    """A home folder and a configuration folder of the test's own, with the settings file."""
    folder = os.path.join(WORK, name)
    shutil.rmtree(folder, ignore_errors=True)
    home, config = os.path.join(folder, "home"), os.path.join(folder, "config")
    os.makedirs(home)
    os.makedirs(os.path.join(config, "Sonadrix", "Orvalle Vol.2"))
    with open(os.path.join(config, "Sonadrix", "Orvalle Vol.2", "settings"), "w") as f:
        f.write(settings)
    return home, config


def editor(home, config, path=None):
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=config)
    if path:
        env["PATH"] = path + ":" + env["PATH"]
    return HostRun("--touch", module=CLEAN_UI, env=env, watchdog=120)


def at(child, place):
    return child["root_x"] + place[0], child["root_y"] + place[1]


def key(*names):
    xdotool("key", "--delay", "40", *names)


def type_text(text):
    xdotool("type", "--delay", "40", text)


def windows_titled(title):
    """Shown windows with that title: id, place and size, as xwininfo tells them."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                            f"^{re.escape(title)}$"], capture_output=True, text=True,
                           timeout=10).stdout.split()
    shown = []
    for window in found:
        info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True,
                              timeout=10).stdout
        numbers = [re.search(rf"^\s*{label}:\s*(-?\d+)", info, re.M)
                   for label in ("Absolute upper-left X", "Absolute upper-left Y", "Width",
                                 "Height")]
        if all(numbers):
            x, y, w, h = (int(n.group(1)) for n in numbers)
            shown.append({"id": window, "x": x, "y": y, "size": (w, h)})
    return shown


def wait_for_window(title, size=None, count=1, timeout=6):
    deadline = time.monotonic() + timeout
    while True:
        shown = [w for w in windows_titled(title) if size is None or w["size"] == size]
        if len(shown) == count:
            return shown[0] if count else None
        check(time.monotonic() < deadline, f"{len(shown)} windows '{title}' {size}, not {count}")
        time.sleep(0.05)


def wait_for_file(path, timeout=6):
    deadline = time.monotonic() + timeout
    while not os.path.exists(path):
        check(time.monotonic() < deadline, f"no file {path}")
        time.sleep(0.05)


def screenshot(name):
    """The whole screen as a PNG in the work folder, for a person to look at; its pixels."""
    dump = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, check=True,
                          timeout=20).stdout
    width, height, rgb = xwd_to_rgb(dump)
    with open(os.path.join(WORK, name), "wb") as f:
        f.write(png_bytes(width, height, rgb))
    return width, rgb


def pixel(shot, x, y):
    width, rgb = shot
    offset = 3 * (y * width + x)
    return tuple(rgb[offset:offset + 3])


def store_preset(child, name):
    """P1's menu, "Save as new preset", a name, Return: one user preset more."""
    move_pointer(*at(child, P1))
    xdotool("mousedown", 3)
    time.sleep(0.15)
    xdotool("mouseup", 3)
    time.sleep(0.4)
    key("s")
    time.sleep(0.4)
    type_text(name)
    key("Return")


def options(child, letter):
    click(*at(child, OPTIONS))
    time.sleep(0.4)
    key(letter)


def presets_in(config):
    folder = os.path.join(config, "Sonadrix", "Orvalle Vol.2")
    return sorted(n for n in os.listdir(folder) if n.endswith(".preset"))


def kept_folder(config):
    with open(os.path.join(config, "Sonadrix", "Orvalle Vol.2", "archive-folder")) as f:
        return f.read()


def test_export_and_import_through_our_chooser():
    home, config = user("ours", "FileDialog=builtin\n")
    host = editor(home, config)
    try:
        child = host.child()
        store_preset(child, "Clean One")
        deadline = time.monotonic() + 5
        while len(presets_in(config)) < 1:
            check(time.monotonic() < deadline, "the preset was not stored")
            time.sleep(0.05)
        # Export: our chooser, 480 by 360, centred on the editor as far as the screen lets it,
        # proposing the effect's name in the home folder.
        options(child, "e")
        chooser = wait_for_window(SAVE_TITLE, CHOOSER_SIZE)
        centre = (child["root_x"] + 133, child["root_y"] + 110)
        check(max(0, centre[0] - 240) == chooser["x"] and max(0, centre[1] - 180) == chooser["y"],
              f"not centred on the editor: {chooser}, editor at {child}")
        time.sleep(0.3)
        shot = screenshot("save_chooser.png")
        x, y = chooser["x"], chooser["y"]
        # The dialog's face, the list's and the field's white, the default button's dark ring.
        check(pixel(shot, x + 4, y + 4) == (245, 245, 245), "no dialog face")
        check(pixel(shot, x + 200, y + 200) == (255, 255, 255), "no white list")
        check(pixel(shot, x + 300, y + 290) == (255, 255, 255), "no white field")
        type_text("bank")
        key("Return")
        archive = os.path.join(home, "bank.kpa")
        wait_for_file(archive)
        wait_for_window(SAVE_TITLE, CHOOSER_SIZE, count=0)
        time.sleep(0.3)
        check(os.path.getsize(archive) == 20 + RECORD_SIZE * 1,
              f"{os.path.getsize(archive)} bytes in the archive")
        check(kept_folder(config) == home + "\n", f"kept {kept_folder(config)!r}")
        # The same name again: our replace question, titled as the chooser; No keeps the file
        # and the chooser; Escape then cancels.
        before = os.stat(archive).st_mtime_ns
        options(child, "e")
        wait_for_window(SAVE_TITLE, CHOOSER_SIZE)
        type_text("bank")
        key("Return")
        wait_for_window(SAVE_TITLE, count=2, timeout=6)
        question = [w for w in windows_titled(SAVE_TITLE) if w["size"] != CHOOSER_SIZE][0]
        time.sleep(0.5)
        screenshot("replace_question.png")
        check(question["size"][0] < 480, f"{question}")
        key("n")
        time.sleep(0.3)
        wait_for_window(SAVE_TITLE, CHOOSER_SIZE)
        check(len(windows_titled(SAVE_TITLE)) == 1, "the question is still shown")
        key("Escape")
        wait_for_window(SAVE_TITLE, count=0)
        check(os.stat(archive).st_mtime_ns == before, "the archive was written after No")
        # Import: the chooser lists the archive; typed without its extension, it is found; the
        # bank then asks about the preset of the same name.
        options(child, "i")
        wait_for_window(OPEN_TITLE, CHOOSER_SIZE)
        time.sleep(0.3)
        screenshot("open_chooser.png")
        key("ctrl+a")
        type_text("bank")
        key("Return")
        wait_for_window(OPEN_TITLE, CHOOSER_SIZE, count=0)
        wait_for_window(PRESET_CAPTION)
        time.sleep(0.3)
        screenshot("import_question.png")
        key("y")
        wait_for_window(PRESET_CAPTION, count=0)
        check(presets_in(config) == ["Clean%20One.preset"] or len(presets_in(config)) == 1,
              f"{presets_in(config)}")
        host.finish_cleanly()
    finally:
        host.kill()


def test_the_list_by_mouse_and_keys():
    home, config = user("list", "FileDialog=builtin\n")
    os.makedirs(os.path.join(home, "Sub", "Deeper"))
    os.makedirs(os.path.join(home, ".hidden"))
    for name in ("Sub/inner.kpa", "notes.txt", "b.kpa"):
        with open(os.path.join(home, name), "wb") as f:
            f.write(b"x")
    # A name that is no UTF-8: listed all the same.
    with open(os.path.join(home.encode(), b"a\xe9.kpa"), "wb"):
        pass
    host = editor(home, config)
    try:
        child = host.child()
        store_preset(child, "L")  # Export wants a user preset to write
        time.sleep(0.5)
        # Save into Sub by double-clicking it: the list is "..", Sub, a?.kpa, b.kpa.
        options(child, "e")
        chooser = wait_for_window(SAVE_TITLE, CHOOSER_SIZE)
        row = lambda index: (chooser["x"] + 60, chooser["y"] + LIST_TOP + ROW * index + ROW // 2)
        click(*row(1))
        time.sleep(0.05)
        click(*row(1))
        time.sleep(0.4)
        screenshot("in_sub.png")
        # Into Deeper with the keyboard (the click left the focus in the list): Down to "..",
        # Down to Deeper, Return; then Backspace goes up again, and the name typed is saved in
        # Sub. Tab goes round the list, the field and the buttons.
        key("Tab", "Tab", "Tab", "Tab")
        key("Down", "Down", "Return")
        time.sleep(0.3)
        key("BackSpace")
        time.sleep(0.3)
        key("shift+Tab")  # from the list back to Cancel, then to the field
        key("shift+Tab", "shift+Tab")
        key("ctrl+a")
        type_text("from-keys")
        key("Return")
        wait_for_file(os.path.join(home, "Sub", "from-keys.kpa"))
        check(kept_folder(config) == os.path.join(home, "Sub") + "\n", kept_folder(config))
        # The next chooser starts in Sub. The wheel scrolls nothing in a short list; a click on
        # inner.kpa puts its name into the field, and Enter then asks to replace it.
        options(child, "e")
        chooser = wait_for_window(SAVE_TITLE, CHOOSER_SIZE)
        time.sleep(0.3)
        screenshot("started_in_sub.png")
        # Rows: "..", Deeper, from-keys.kpa, inner.kpa.
        click(*row(3))
        key("Return")
        wait_for_window(SAVE_TITLE, count=2)
        key("y")
        wait_for_window(SAVE_TITLE, count=0)
        wait_for_file(os.path.join(home, "Sub", "inner.kpa"))
        check(os.path.getsize(os.path.join(home, "Sub", "inner.kpa")) == 20 + RECORD_SIZE,
              "inner.kpa was not replaced by the export")
        # The window manager's close cancels, as Escape does.
        options(child, "e")
        chooser = wait_for_window(SAVE_TITLE, CHOOSER_SIZE)
        host.send(f"wm-close {hex(int(chooser['id']))}")
        wait_for_window(SAVE_TITLE, count=0)
        # And the editor closing under it: the chooser goes with it.
        options(child, "i")
        wait_for_window(OPEN_TITLE, CHOOSER_SIZE)
        host.send("close")
        host.wait_for("cleanup")
        wait_for_window(OPEN_TITLE, count=0)
        host.finish_cleanly()
    finally:
        host.kill()


def fake_zenity(folder, script):
    """A folder whose `zenity` records its arguments and descriptors, then runs `script`."""
    tools = os.path.join(folder, "tools")
    os.makedirs(tools, exist_ok=True)
    with open(os.path.join(tools, "zenity"), "w") as f:
        f.write("#!/bin/sh\n"
                f'for a in "$@"; do printf "%s\\n" "$a"; done > "{tools}/arguments"\n'
                f'ls -l /proc/$$/fd > "{tools}/descriptors"\n'
                f'echo $$ > "{tools}/pid"\n' + script)
    os.chmod(os.path.join(tools, "zenity"), 0o755)
    return tools


def read(path):
    with open(path) as f:
        return f.read()


def test_the_desktops_chooser_through_zenity():
    home, config = user("zenity")
    answer = os.path.join(home, "picked")
    tools = fake_zenity(os.path.join(WORK, "zenity"), f'echo "{answer}"\nexit 0\n')
    host = editor(home, config, tools)
    try:
        child = host.child()
        store_preset(child, "Z")
        time.sleep(0.5)
        # An answer: the archive written there, with the extension added; ours never shown.
        options(child, "e")
        wait_for_file(answer + ".kpa")
        check(not windows_titled(SAVE_TITLE), "our chooser was shown as well")
        arguments = read(os.path.join(tools, "arguments")).splitlines()
        check(arguments == ["--file-selection", "--save", "--confirm-overwrite",
                            "--title=Save User Presets As...",
                            f"--filename={home}/HN-6 Clean Preamp.kpa",
                            "--file-filter=Sonadrix presets archive (*.kpa) | *.kpa",
                            "--file-filter=All files | *"], f"{arguments}")
        # 0 and 2 /dev/null; standard output the pipe, which the shell keeps aside (on 10 or
        # above) while ls writes to the file; beyond that only the shell's script.
        descriptors = dict(re.findall(r" (\d+) -> (.*)$", read(os.path.join(tools, "descriptors")),
                                      re.M))
        listing = os.path.join(tools, "descriptors")
        check(descriptors.get("0") == "/dev/null" and descriptors.get("2") == "/dev/null" and
              descriptors.get("1") == listing, f"descriptors {descriptors}")
        others = [t for d, t in descriptors.items() if int(d) > 2]
        check(len(others) == 2 and os.path.join(tools, "zenity") in others and
              any(t.startswith("pipe:") for t in others), f"descriptors inherited: {descriptors}")
        time.sleep(0.3)
        check(os.path.getsize(answer + ".kpa") == 20 + RECORD_SIZE, "archive size")
        # The folder of the answer is kept for our chooser and zenity's next --filename.
        check(kept_folder(config) == home + "\n", kept_folder(config))
        # A cancel: nothing written, ours not shown.
        script = read(os.path.join(tools, "zenity")).replace(f'echo "{answer}"\nexit 0\n',
                                                               "exit 1\n")
        with open(os.path.join(tools, "zenity"), "w") as f:
            f.write(script)
        os.remove(os.path.join(tools, "arguments"))
        options(child, "i")
        wait_for_file(os.path.join(tools, "arguments"))
        time.sleep(0.5)
        check(not windows_titled(OPEN_TITLE), "our chooser after zenity's cancel")
        arguments = read(os.path.join(tools, "arguments")).splitlines()
        check(arguments[:3] == ["--file-selection", "--title=Load Presets From...",
                                f"--filename={home}/*.kpa"], f"{arguments}")
        # A failure (no display, say): our chooser instead.
        with open(os.path.join(tools, "zenity"), "w") as f:
            f.write(script.replace("exit 1\n", "exit 5\n"))
        options(child, "i")
        wait_for_window(OPEN_TITLE, CHOOSER_SIZE)
        key("Escape")
        wait_for_window(OPEN_TITLE, count=0)
        # The editor closing while zenity runs: zenity is ended and reaped.
        with open(os.path.join(tools, "zenity"), "w") as f:
            f.write(script.replace("exit 1\n", "exec sleep 60\n"))
        os.remove(os.path.join(tools, "pid"))
        options(child, "e")
        wait_for_file(os.path.join(tools, "pid"))
        pid = int(read(os.path.join(tools, "pid")))
        check(os.path.exists(f"/proc/{pid}"), "zenity is not running")
        host.send("close")
        host.wait_for("cleanup", timeout=10)
        deadline = time.monotonic() + 5
        while os.path.exists(f"/proc/{pid}"):
            check(time.monotonic() < deadline, "zenity still runs (or is unreaped) after close")
            time.sleep(0.05)
        host.finish_cleanly()
    finally:
        host.kill()


def test_filedialog_builtin_keeps_zenity_away():
    home, config = user("builtin", "FileDialog = BuiltIn\n")
    tools = fake_zenity(os.path.join(WORK, "builtin"), "exit 0\n")
    host = editor(home, config, tools)
    try:
        child = host.child()
        options(child, "i")
        wait_for_window(OPEN_TITLE, CHOOSER_SIZE)
        check(not os.path.exists(os.path.join(tools, "arguments")), "zenity ran")
        key("Escape")
        wait_for_window(OPEN_TITLE, count=0)
        host.finish_cleanly()
    finally:
        host.kill()

def archive(record_length=RECORD_SIZE, records=(), magic=b"Sonadrix\0", tag=7):
    """An archive's bytes: the header, then each record of (name bytes, stored bytes)."""
    data = magic + b"\0\0\0" + struct.pack("<ii", tag, record_length)
    for name, stored in records:
        data += name[:64].ljust(64, b"\0") + stored
    return data


def stored(gain, tone, output):
    """An HN-6 preset as the store holds it: its size, then Gain, Bright and Output at 20."""
    return struct.pack("<I16x3I16x", 48, gain, tone, output)


def preset_bytes(config):
    folder = os.path.join(config, "Sonadrix", "Orvalle Vol.2")
    return {name: hashlib.sha256(open(os.path.join(folder, name), "rb").read()).hexdigest()
            for name in presets_in(config)}


def test_hostile_archives_through_the_import_dialog():
    # Each file goes through the real chooser; what is refused says so in a box and changes no
    # preset, what is cut short keeps the records before the cut, odd names come in as a
    # reader takes them. The user's own preset keeps its bytes throughout.
    home, config = user("hostile", "FileDialog=builtin\n")
    last_name = b"N" * 64
    cases = [
        # file, bytes, a box expected, the presets that arrive
        ("short.kpa", b"Sonadrix\0\0", True, []),
        ("magic.kpa", archive(magic=b"Sonadrex\0"), True, []),
        ("empty.kpa", b"", True, []),
        ("kr6.kpa", archive(96, [(b"Crunch", b"\0" * 32)]), True, []),
        ("tag.kpa", archive(tag=8, records=[(b"Tag", stored(1, 2, 3))]), True, []),
        ("length.kpa", archive(0x7FFFFFFF, [(b"Huge", stored(1, 2, 3))]), True, []),
        ("negative.kpa", archive(-112, [(b"Minus", stored(1, 2, 3))]), True, []),
        ("cut.kpa", archive(records=[(b"Alpha", stored(10, 1, 20))]) + b"Beta\0" + b"\x01" * 40,
         True, ["Alpha.preset"]),
        ("names.kpa", archive(records=[(last_name, stored(99, 14, 1)),
                                      (b"Bob\0tail after the zero", stored(5, 5, 5))]),
         False, [last_name.decode() + ".preset", "Bob.preset"]),
        ("foreign.kpa", archive(records=[(b"Noise", bytes(range(48)))]), False, ["Noise.preset"]),
        ("many.kpa", archive(records=[(b"Many %03d" % k, stored(k % 101, k % 16, 50))
                                      for k in range(300)]), False,
         ["Many %03d.preset" % k for k in range(300)]),
    ]
    host = editor(home, config)
    try:
        child = host.child()
        store_preset(child, "Keep")
        wait_for_file(os.path.join(config, "Sonadrix", "Orvalle Vol.2", "Keep.preset"))
        kept = preset_bytes(config)
        arrived = set(kept)
        for name, data, box, expected in cases:
            path = os.path.join(home, name)
            with open(path, "wb") as f:
                f.write(data)
            options(child, "i")
            wait_for_window(OPEN_TITLE, CHOOSER_SIZE)
            key("ctrl+a")
            type_text(path)
            key("Return")
            wait_for_window(OPEN_TITLE, CHOOSER_SIZE, count=0)
            if box:
                wait_for_window(PRESET_CAPTION, timeout=10)
                key("Return")
                wait_for_window(PRESET_CAPTION, count=0)
            else:
                time.sleep(0.5)
                check(not windows_titled(PRESET_CAPTION), f"{name}: a message box")
            deadline = time.monotonic() + 20
            while not arrived.union(expected) <= set(presets_in(config)):
                check(time.monotonic() < deadline,
                      f"{name}: presets {sorted(set(presets_in(config)) - arrived)}, "
                      f"not {expected}")
                time.sleep(0.1)
            arrived.update(expected)
            check(set(presets_in(config)) == arrived,
                  f"{name}: unexpected presets {sorted(set(presets_in(config)) - arrived)}")
            check(preset_bytes(config)["Keep.preset"] == kept["Keep.preset"],
                  f"{name}: the user's own preset changed")
        host.finish_cleanly()
    finally:
        host.kill()


def main():
    os.makedirs(WORK, exist_ok=True)
    check(os.environ.get("DISPLAY"), "no DISPLAY: run under xvfb-run")
    return run_tests([test_export_and_import_through_our_chooser,
                      test_the_list_by_mouse_and_keys,
                      test_the_desktops_chooser_through_zenity,
                      test_filedialog_builtin_keeps_zenity_away,
                      test_hostile_archives_through_the_import_dialog])


if __name__ == "__main__":
    sys.exit(main())
