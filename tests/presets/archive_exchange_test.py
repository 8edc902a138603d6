#!/usr/bin/env python3
"""User presets moved between the platforms as a user moves them: exported to a .kpa archive by the
Linux build's bank from the user's files and imported by the Windows build's bank into the
registry (the 64-bit build under Wine, in a scratch key standing in for HKEY_CURRENT_USER), and the
other way round, for both plug-ins, through archive_exchange_tool built from one source for both.

Checked: the archive's bytes against the format as written here; what each side lists after an
import (names and stored bytes); archives exported again on the other side; an archive of the
other plug-in refused; replace questions answered No keeping the preset there, Yes replacing it.

Usage: archive_exchange_test.py LINUX_TOOL WIN64_BUILD_FOLDER WORK_FOLDER
Exits 77 (skipped) when the win64 build has no tool or Wine is missing.
"""
import os
import shutil
import struct
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SKIPPED = 77

# Per plug-in: tool name, the name its host lists, the stored preset's size, the tone's span.
PLUGINS = [("hn6", "HN-6 Clean Preamp", 48), ("kr6", "KR-6 Crunch Preamp", 32)]
SPANS = (100, 15, 100)
NAME_LIMIT = 64
HEADER_SIZE = 20
NAME_FIELD = 64

REPLACE_QUESTION = b"'%s' preset already exists.\nDo you want to replace it?"
OTHER_PLUGIN = b"This is not a %s archive!"


def padded(start, fill):
    """A name of exactly the length limit: start, then fill repeated."""
    name = start
    while len(name) < NAME_LIMIT:
        name += fill
    return name[:NAME_LIMIT]


# Names in Windows-1252, stored in this order, which is not the order of their letters. The first
# two reach the limit with characters beyond ASCII (the euro sign, umlauts, y with diaeresis).
LINUX_PRESETS = [
    (padded(b"Solo \xe9 ", b"\x80\xe4\xf6\xfc\xdf\xff"), (100, 15, 100)),
    (padded(b"Zahm ", b"x"), (0, 0, 0)),
    (b"Solo \xe9", (0, 15, 100)),
    (b"Br\xfccke \xabmid\xbb", (100, 0, 0)),
    (b"Alpha", (70, 7, 33)),
]
WINDOWS_PRESETS = [
    (b"Zw\xf6lf", (33, 3, 66)),
    (padded(b"Crunch \xc0 ", b"\xe9\xe8"), (100, 15, 0)),
    (b"Rhythm 1", (0, 0, 100)),
    (padded(b"", b"L"), (1, 14, 99)),
]
TOO_LONG = padded(b"Solo \xe9 ", b"\xe4") + b"!"


def through_parameter(setting, span):
    """The setting a host's parameter value gives back: the value rounded to single precision,
    times the span in double precision, truncated (70 comes back as 69)."""
    value = struct.unpack("<f", struct.pack("<f", setting / span))[0]
    return int(span * value)


def stored_bytes(size, settings):
    """A stored preset as the store keeps it: the size, zeros, the three values at 20, zeros."""
    values = [through_parameter(s, span) for s, span in zip(settings, SPANS)]
    record = struct.pack("<i", size) + bytes(16) + struct.pack("<3i", *values)
    return record + bytes(size - len(record))


def archive_bytes(size, presets):
    """An archive of (name, stored bytes) pairs in that order."""
    data = b"Sonadrix\0" + bytes(3) + struct.pack("<ii", 7, NAME_FIELD + size)
    assert len(data) == HEADER_SIZE
    for name, stored in presets:
        data += name + bytes(NAME_FIELD - len(name)) + stored
    return data


def archive_records(data, size):
    """(name, stored bytes) of every record of an archive, in file order."""
    records = []
    length = NAME_FIELD + size
    if (len(data) - HEADER_SIZE) % length:
        raise ValueError("archive of %d bytes is no whole number of records" % len(data))
    for pos in range(HEADER_SIZE, len(data), length):
        field = data[pos:pos + NAME_FIELD]
        records.append((field.split(b"\0")[0], data[pos + NAME_FIELD:pos + length]))
    return records


def show(name):
    return name.decode("cp1252")


class Side:
    """One platform's tool on one store: a folder on Linux, a scratch registry key on Windows."""

    def __init__(self, label, command, store, windows):
        self.label, self.command, self.store, self.windows = label, command, store, windows

    def path(self, path):
        # Wine's drive Z: is the Linux root.
        return "Z:" + path.replace("/", "\\") if self.windows else path

    def run(self, *args):
        result = subprocess.run(self.command + [self.store] + list(args), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=120)
        if result.returncode == 2:
            raise RuntimeError("%s: usage refused: %s\n%s" % (self.label, args,
                                                              result.stderr.decode()))
        return result.returncode, result.stdout.decode("ascii").splitlines()

    def store_preset(self, plugin, name, settings):
        return self.run("store", plugin, name.hex(), *[str(s) for s in settings])[0]

    def list(self, plugin):
        status, lines = self.run("list", plugin)
        if status:
            raise RuntimeError("%s: list %s failed (%d)" % (self.label, plugin, status))
        return [tuple(bytes.fromhex(field) for field in line.split(" ")) for line in lines]

    def dialogs_and_messages(self, lines):
        """(dialog lines as (kind, proposed name), messages as (kind, text))."""
        dialogs, messages = [], []
        for line in lines:
            kind, what, text = line.split(" ")
            (dialogs if kind == "dialog" else messages).append((what, bytes.fromhex(text)))
        return dialogs, messages

    def export(self, plugin, file):
        status, lines = self.run("export", plugin, self.path(file))
        return (status,) + self.dialogs_and_messages(lines)

    def import_(self, plugin, file, answer=None):
        extra = ["--answer", answer] if answer else []
        status, lines = self.run("import", plugin, self.path(file), *extra)
        return (status,) + self.dialogs_and_messages(lines)

    def clear(self, plugin):
        return self.run("clear", plugin)[0]

    def discard(self):
        return self.run("discard")[0]


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def equal(self, what, got, expected):
        if got == expected:
            self.passed += 1
        else:
            self.failed += 1
            print("FAILED: %s\n  got:      %r\n  expected: %r" % (what, got, expected))

    def true(self, what, condition):
        self.equal(what, bool(condition), True)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return "byte %d: %02x and %02x" % (i, x, y)
    return "lengths %d and %d" % (len(a), len(b))


def exchange(check, plugin, effect, size, other, linux, windows, fresh_linux, work):
    """Both ways for one plug-in."""
    tag = plugin
    expected = [(name, stored_bytes(size, settings)) for name, settings in LINUX_PRESETS]

    # Linux first: store, list, export.
    for name, settings in LINUX_PRESETS:
        check.equal("%s: Linux stores '%s'" % (tag, show(name)),
                    linux.store_preset(plugin, name, settings), 0)
    check.equal("%s: Linux refuses a name of 65 characters" % tag,
                linux.store_preset(plugin, TOO_LONG, (1, 1, 1)), 1)
    check.equal("%s: Linux lists what it stored, in that order" % tag, linux.list(plugin), expected)
    from_linux = os.path.join(work, tag + "-from-linux.kpa")
    status, dialogs, messages = linux.export(plugin, from_linux)
    check.equal("%s: Linux export" % tag, (status, messages), (0, []))
    check.equal("%s: Linux proposes the file name" % tag, dialogs,
                [("save", effect.encode() + b".kpa")])
    linux_archive = read(from_linux)
    check.equal("%s: Linux archive bytes" % tag, linux_archive, archive_bytes(size, expected))

    # Windows imports it, lists it and exports it again.
    status, dialogs, messages = windows.import_(plugin, from_linux)
    check.equal("%s: Windows imports the Linux archive" % tag, (status, dialogs, messages),
                (0, [("open", b"*.kpa")], []))
    check.equal("%s: Windows refuses a name of 65 characters" % tag,
                windows.store_preset(plugin, TOO_LONG, (1, 1, 1)), 1)
    windows_list = windows.list(plugin)
    check.equal("%s: Windows holds the same names and stored bytes" % tag, sorted(windows_list),
                sorted(expected))
    from_windows = os.path.join(work, tag + "-from-windows.kpa")
    status, dialogs, messages = windows.export(plugin, from_windows)
    check.equal("%s: Windows export" % tag, (status, dialogs, messages),
                (0, [("save", effect.encode() + b".kpa")], []))
    windows_archive = read(from_windows)
    check.equal("%s: Windows archive header" % tag, windows_archive[:HEADER_SIZE],
                linux_archive[:HEADER_SIZE])
    check.equal("%s: Windows archive holds its list in list order" % tag,
                archive_records(windows_archive, size), windows_list)
    check.equal("%s: Windows archive holds the Linux archive's records" % tag,
                sorted(archive_records(windows_archive, size)),
                sorted(archive_records(linux_archive, size)))
    if windows_archive == linux_archive:
        print("%s: the archive exported again on Windows is the Linux one byte for byte" % tag)
    else:
        print("%s: the archive exported again on Windows has the same records in the registry's "
              "order (%s):\n  Linux:   %s\n  Windows: %s"
              % (tag, first_difference(windows_archive, linux_archive),
                 [show(n) for n, _ in expected], [show(n) for n, _ in windows_list]))

    # That archive back on Linux, into new files: the same list and the same bytes again.
    status, _, messages = fresh_linux.import_(plugin, from_windows)
    check.equal("%s: Linux imports the Windows archive" % tag, (status, messages), (0, []))
    check.equal("%s: Linux lists the Windows archive in its order" % tag,
                fresh_linux.list(plugin), windows_list)
    again = os.path.join(work, tag + "-again-from-linux.kpa")
    check.equal("%s: Linux exports it again" % tag, fresh_linux.export(plugin, again)[0], 0)
    if read(again) != windows_archive:
        print("%s: %s" % (tag, first_difference(read(again), windows_archive)))
    check.true("%s: Linux export of the Windows archive is byte for byte the same" % tag,
               read(again) == windows_archive)
    check.equal("%s: clear on Linux" % tag, fresh_linux.clear(plugin), 0)
    check.equal("%s: clear on Windows" % tag, windows.clear(plugin), 0)
    check.equal("%s: Windows holds none after clear" % tag, windows.list(plugin), [])

    # Windows first: store, list, export; Linux imports; both list the same.
    expected = [(name, stored_bytes(size, settings)) for name, settings in WINDOWS_PRESETS]
    for name, settings in WINDOWS_PRESETS:
        check.equal("%s: Windows stores '%s'" % (tag, show(name)),
                    windows.store_preset(plugin, name, settings), 0)
    windows_list = windows.list(plugin)
    check.equal("%s: Windows lists what it stored" % tag, sorted(windows_list), sorted(expected))
    from_windows = os.path.join(work, tag + "-first-on-windows.kpa")
    check.equal("%s: Windows export" % tag, windows.export(plugin, from_windows)[0], 0)
    windows_archive = read(from_windows)
    check.equal("%s: Windows archive bytes" % tag, windows_archive,
                archive_bytes(size, windows_list))
    linux_before = linux.list(plugin)
    status, _, messages = fresh_linux.import_(plugin, from_windows)
    check.equal("%s: Linux imports it" % tag, (status, messages), (0, []))
    check.equal("%s: Linux and Windows list the same names and bytes" % tag,
                fresh_linux.list(plugin), windows_list)
    back = os.path.join(work, tag + "-first-on-windows-from-linux.kpa")
    check.equal("%s: Linux exports it" % tag, fresh_linux.export(plugin, back)[0], 0)
    check.true("%s: Linux export of it is byte for byte the same" % tag,
               read(back) == windows_archive)

    # The other plug-in's archive is refused on the other platform, and changes nothing there.
    other_effect = [p[1] for p in PLUGINS if p[0] == other][0]
    refused = OTHER_PLUGIN % other_effect.encode()
    windows_other = windows.list(other)
    status, _, messages = windows.import_(other, from_linux)
    check.equal("%s: Windows %s refuses the Linux %s archive" % (tag, other, plugin),
                (status, messages), (1, [("error", refused)]))
    check.equal("%s: Windows %s holds what it held" % (tag, other), windows.list(other),
                windows_other)
    check.equal("%s: Windows %s holds what it held" % (tag, plugin), windows.list(plugin),
                windows_list)
    linux_other = linux.list(other)
    status, _, messages = linux.import_(other, from_windows)
    check.equal("%s: Linux %s refuses the Windows %s archive" % (tag, other, plugin),
                (status, messages), (1, [("error", refused)]))
    check.equal("%s: Linux %s holds what it held" % (tag, other), linux.list(other), linux_other)
    check.equal("%s: Linux %s holds what it held" % (tag, plugin), linux.list(plugin),
                linux_before)

    # Replace questions. Linux holds its presets; Windows gets two of their names with other
    # settings, then imports the Linux archive answering No: those two keep their bytes, the
    # others arrive. Answering Yes on Linux to the Windows archive replaces them there.
    kept = [LINUX_PRESETS[0][0], LINUX_PRESETS[2][0]]
    kept_settings = (50, 5, 50)
    for name in kept:
        check.equal("%s: Windows stores '%s' to be kept" % (tag, show(name)),
                    windows.store_preset(plugin, name, kept_settings), 0)
    before = dict(windows.list(plugin))
    status, _, messages = windows.import_(plugin, from_linux, "no")
    check.equal("%s: Windows asks before each replacement, answered No" % tag, (status, messages),
                (0, [("question", REPLACE_QUESTION % name) for name in kept]))
    after = dict(windows.list(plugin))
    for name in kept:
        check.equal("%s: Windows keeps '%s' as it was" % (tag, show(name)), after.get(name),
                    stored_bytes(size, kept_settings))
    arrived = {n: stored_bytes(size, s) for n, s in LINUX_PRESETS if n not in kept}
    check.equal("%s: Windows imports the others" % tag, after, {**before, **arrived})
    linux_held = linux.list(plugin)
    status, _, messages = linux.import_(plugin, from_windows, "no")
    check.equal("%s: Linux asks nothing for names it does not hold" % tag, (status, messages),
                (0, []))
    status, _, messages = linux.import_(plugin, from_windows, "no")
    check.equal("%s: Linux asks for each name it holds, answered No" % tag, (status, messages),
                (0, [("question", REPLACE_QUESTION % name) for name, _ in windows_list]))
    check.equal("%s: Linux keeps its own and adds the Windows ones once" % tag, linux.list(plugin),
                linux_held + windows_list)
    from_windows_kept = os.path.join(work, tag + "-kept-on-windows.kpa")
    check.equal("%s: Windows export with the kept presets" % tag,
                windows.export(plugin, from_windows_kept)[0], 0)
    status, _, messages = linux.import_(plugin, from_windows_kept, "yes")
    asked = [name for name, _ in archive_records(read(from_windows_kept), size)]
    check.equal("%s: Linux asks for each name it holds, answered Yes" % tag, (status, messages),
                (0, [("question", REPLACE_QUESTION % name) for name in asked]))
    replaced = dict(linux.list(plugin))
    for name in kept:
        check.equal("%s: Linux takes the Windows bytes of '%s'" % (tag, show(name)),
                    replaced.get(name), stored_bytes(size, kept_settings))

    for side in (linux, fresh_linux, windows):
        check.equal("%s: clear on %s" % (tag, side.label), side.clear(plugin), 0)


def case_of_names(check, linux, windows, work):
    """Linux tells names apart by case, the registry does not: an archive holding "Lead" and
    "LEAD" brings one preset to Windows, named as the first, after asking about the second."""
    size = 48
    names = [b"Lead", b"LEAD"]
    for index, name in enumerate(names):
        check.equal("case: Linux stores '%s'" % show(name),
                    linux.store_preset("hn6", name, (index, index, index)), 0)
    check.equal("case: Linux holds both", [n for n, _ in linux.list("hn6")], names)
    archive = os.path.join(work, "case.kpa")
    check.equal("case: Linux export", linux.export("hn6", archive)[0], 0)
    status, _, messages = windows.import_("hn6", archive, "yes")
    check.equal("case: Windows asks about the second", (status, messages),
                (0, [("question", REPLACE_QUESTION % names[1])]))
    check.equal("case: Windows holds one, named as the first, with the second's bytes",
                windows.list("hn6"), [(names[0], stored_bytes(size, (1, 1, 1)))])
    check.equal("case: clear on Linux", linux.clear("hn6"), 0)
    check.equal("case: clear on Windows", windows.clear("hn6"), 0)


def main():
    linux_tool, win64, work = sys.argv[1:4]
    windows_tool = os.path.join(win64, "bin", "archive_exchange_tool.exe")
    if not os.path.isfile(windows_tool):
        print("SKIPPED: no %s (build the win64 preset first)" % windows_tool)
        return SKIPPED
    if not shutil.which("wine") and not os.path.exists("/usr/lib/wine/wine64"):
        print("SKIPPED: Wine is not installed")
        return SKIPPED
    if os.path.exists(work):
        shutil.rmtree(work)
    os.makedirs(work)
    work = os.path.abspath(work)
    wine = [os.path.join(ROOT, "scripts", "wine-run"), windows_tool]
    key = "archive-exchange-%d" % os.getpid()
    linux = Side("Linux", [linux_tool], os.path.join(work, "linux-store"), False)
    fresh_linux = Side("Linux (second store)", [linux_tool], os.path.join(work, "linux-store-2"),
                       False)
    windows = Side("Windows", wine, key, True)
    check = Checks()
    try:
        for plugin, effect, size in PLUGINS:
            other = [p[0] for p in PLUGINS if p[0] != plugin][0]
            exchange(check, plugin, effect, size, other, linux, windows, fresh_linux, work)
        case_of_names(check, linux, windows, work)
    finally:
        check.equal("the Windows scratch key is discarded", windows.discard(), 0)
        query = subprocess.run(
            [os.path.join(ROOT, "scripts", "wine-run"), "reg", "query",
             "HKCU\\Software\\SonadrixTests\\" + key], stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT)
        check.true("no registry key is left behind", query.returncode != 0)
    print("%d passed, %d failed" % (check.passed, check.failed))
    return 1 if check.failed else 0


if __name__ == "__main__":
    sys.exit(main())
