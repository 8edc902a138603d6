"""Driving lv2_ui_host from a test: a host process and its log, real X input with xdotool, the
host's PNG screenshots, and what a process holds of the system and of the X server. Shared by the
host's own tests and the editor's.
"""
import ctypes
import os
import re
import struct
import subprocess
import threading
import time
import zlib

# The host program; the test sets it before starting one.
HOST = None
# The size of the UI window a test looks for unless it says another: the editor's wide layout.
WIDTH, HEIGHT = 266, 220


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class HostRun:
    """One lv2_ui_host process, its log read line by line as it comes."""

    def __init__(self, *options, module, watchdog=30, stdin=subprocess.PIPE, env=None):
        self.process = subprocess.Popen(
            [HOST, "--watchdog", str(watchdog), *options, module], stdin=stdin, env=env,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, bufsize=1)
        self.lines, self.errors = [], []
        self.changed = threading.Condition()
        self.tokens = 0
        self.readers = [
            threading.Thread(target=self._read, args=(self.process.stdout, self.lines)),
            threading.Thread(target=self._read, args=(self.process.stderr, self.errors))]
        for reader in self.readers:
            reader.start()

    def _read(self, stream, into):
        for line in stream:
            with self.changed:
                into.append(line.rstrip("\n"))
                self.changed.notify_all()

    def send(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()

    def wait_for(self, pattern, start=0, timeout=10):
        """The index and match of the first line from `start` on that matches `pattern` whole."""
        deadline = time.monotonic() + timeout
        with self.changed:
            while True:
                for index in range(start, len(self.lines)):
                    match = re.fullmatch(pattern, self.lines[index])
                    if match:
                        return index, match
                left = deadline - time.monotonic()
                if left <= 0 or self.process.poll() is not None and not self._reading():
                    raise Failure(f"no line /{pattern}/ in the log:\n" + "\n".join(self.lines))
                self.changed.wait(min(left, 0.1))

    def _reading(self):
        return any(reader.is_alive() for reader in self.readers)

    def sync(self):
        """The log's length once every command sent so far has run."""
        self.tokens += 1
        self.send(f"sync {self.tokens}")
        return self.wait_for(f"sync {self.tokens}")[0] + 1

    def matching(self, pattern, start=0, end=None):
        with self.changed:
            return [line for line in self.lines[start:end] if re.fullmatch(pattern, line)]

    def child(self, width=WIDTH, height=HEIGHT, mapped=1, timeout=5):
        """The UI's window in the parent once it has the given size and map state."""
        deadline = time.monotonic() + timeout
        while True:
            start = len(self.lines)
            self.send("info")
            end = self.sync()
            children = [line.split() for line in self.matching(r"child 0x.*", start, end)]
            for words in children:
                if (int(words[4]), int(words[5]), int(words[7])) == (width, height, mapped):
                    return {"id": words[1], "x": int(words[2]), "y": int(words[3]),
                            "root_x": int(words[9]), "root_y": int(words[11])}
            if time.monotonic() > deadline:
                raise Failure(f"no {width}x{height} child with mapped {mapped}: {children}")
            time.sleep(0.05)

    def finish(self, timeout=20):
        if self.process.stdin and not self.process.stdin.closed:
            try:
                self.send("quit")
                self.process.stdin.close()
            except BrokenPipeError:
                pass
        status = self.process.wait(timeout)
        for reader in self.readers:
            reader.join()
        return status

    def finish_cleanly(self):
        status = self.finish()
        check(status == 0, f"exit status {status}; stderr:\n" + "\n".join(self.errors[-30:]))
        problems = self.matching(r"(error|x-error) .*")
        check(not problems, f"the host logged problems: {problems}")

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
        self.finish()


def xdotool(*words):
    return subprocess.run(["xdotool", *map(str, words)], check=True, capture_output=True,
                          text=True, timeout=10).stdout


def move_pointer(x, y):
    # Without --sync (it hangs when the pointer is already there): poll until it has arrived.
    xdotool("mousemove", x, y)
    for _ in range(100):
        if re.match(rf"x:{x} y:{y} ", xdotool("getmouselocation")):
            return
        time.sleep(0.02)
    raise Failure(f"the pointer did not reach {x},{y}")


def click(x, y):
    move_pointer(x, y)
    xdotool("mousedown", 1)
    time.sleep(0.15)  # a click as long as a hand's, so a UI polling its events sees it
    xdotool("mouseup", 1)


def read_png(path):
    """Width, height and rows of RGB triples of an 8-bit RGB PNG, every chunk's CRC checked."""
    with open(path, "rb") as file:
        data = file.read()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG")
    position, compressed = 8, b""
    while position < len(data):
        (length,) = struct.unpack(">I", data[position:position + 4])
        kind, body = data[position + 4:position + 8], data[position + 8:position + 8 + length]
        (crc,) = struct.unpack(">I", data[position + 8 + length:position + 12 + length])
        check(crc == zlib.crc32(kind + body), f"{path}: bad CRC in {kind}")
        if kind == b"IHDR":
            width, height, bits, colour = struct.unpack(">IIBB", body[:10])
            check((bits, colour) == (8, 2), f"{path}: not 8-bit RGB")
        elif kind == b"IDAT":
            compressed += body
        position += 12 + length
    raw = zlib.decompress(compressed)
    stride = 1 + 3 * width
    check(len(raw) == stride * height, f"{path}: {len(raw)} bytes of pixels")
    rows = [[tuple(raw[y * stride + 1 + 3 * x:y * stride + 4 + 3 * x]) for x in range(width)]
            for y in range(height)]
    return width, height, rows


def x_resources():
    """The number of clients of the X server and the resources they hold, as xrestop sees them.
    While a hundred connections close at once (the leak fixture's host ending), xrestop now and
    then fails ("Unable to open display!"), so a failed run is repeated."""
    for attempt in range(5):
        run = subprocess.run(["xrestop", "-b", "-m", "1"], capture_output=True, text=True,
                             timeout=10)
        if run.returncode == 0:
            break
        time.sleep(0.5)
    check(run.returncode == 0, f"xrestop failed five times: {run.stderr.strip()}")
    report = run.stdout
    counts = re.findall(r"^\t(windows|GCs|fonts|pixmaps|pictures|colormaps|cursors)\s*: (\d+)",
                        report, re.M)
    return {"clients": len(re.findall(r"^\d+ - ", report, re.M)),
            "resources": sum(int(count) for _, count in counts)}


def x_not_grown(before, after):
    """Whether the display holds no more clients and resources than before: what a leak would
    add. Other clients of the display (Wine's processes after an earlier test) may leave
    meanwhile, so fewer is no fault."""
    return after["clients"] <= before["clients"] and after["resources"] <= before["resources"]


def free_retained_resources():
    """Frees what clients left on the server when they closed (XKillClient with AllTemporary)."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    display = x11.XOpenDisplay(None)
    check(display, "cannot open the display")
    x11.XKillClient(ctypes.c_void_p(display), ctypes.c_ulong(0))
    x11.XCloseDisplay(ctypes.c_void_p(display))


def input_is_free():
    """Whether no client holds the pointer or the keyboard: a grab of our own of each succeeds."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    display = ctypes.c_void_p(x11.XOpenDisplay(None))
    check(display, "cannot open the display")
    root = ctypes.c_ulong(x11.XDefaultRootWindow(display))
    grab_success, current_time, grab_mode_async = 0, 0, 1
    pointer = x11.XGrabPointer(display, root, 0, ctypes.c_uint(0), grab_mode_async,
                               grab_mode_async, ctypes.c_ulong(0), ctypes.c_ulong(0),
                               ctypes.c_ulong(current_time))
    keyboard = x11.XGrabKeyboard(display, root, 0, grab_mode_async, grab_mode_async,
                                 ctypes.c_ulong(current_time))
    x11.XUngrabPointer(display, ctypes.c_ulong(current_time))
    x11.XUngrabKeyboard(display, ctypes.c_ulong(current_time))
    x11.XCloseDisplay(display)
    return pointer == grab_success and keyboard == grab_success


def usage_of(pid):
    with open(f"/proc/{pid}/status") as status:
        rss = int(re.search(r"VmRSS:\s+(\d+) kB", status.read()).group(1))
    return {"fds": len(os.listdir(f"/proc/{pid}/fd")), "rss_kb": rss, "x": x_resources()}



def usage_over_cycles(host, count, warm_up=20):
    """What the host process holds before and after `count` open-and-close cycles of its UI,
    after `warm_up` cycles that fill what the allocators keep; the UI is open again after."""
    host.send(f"cycles {warm_up}")
    host.wait_for(rf"cycles {warm_up}", timeout=60 + 3 * warm_up)
    host.sync()
    before = usage_of(host.process.pid)
    host.send(f"cycles {count}")
    host.wait_for(rf"cycles {count}", timeout=count)
    host.child()
    return before, usage_of(host.process.pid)


def store_user_preset(folder, name, values, slot, order=1):
    """A user preset of the HN-6 (a 48-byte record: its size, then Gain, Bright and Output at 20,
    24 and 28) as the store keeps it, named in quick slot `slot`: what another instance wrote."""
    presets = os.path.join(folder, "Sonadrix", "Orvalle Vol.2")
    record = struct.pack("<I16x3I16x", 48, *values)
    body = b"SXPR" + struct.pack("<IQI", 1, order, len(record)) + record
    with open(os.path.join(presets, name + ".preset"), "wb") as f:
        f.write(body + struct.pack("<I", zlib_crc(body)))
    slots = [b"Low Hot", b"Low Bright", b"High Hot", b"High Bright"]
    slots[slot - 1] = name.encode()
    header = b"SXQS" + struct.pack("<I", 1)
    data = header + struct.pack("<I", zlib_crc(header))
    for number, slot_name in enumerate(slots, 1):
        entry = struct.pack("<BB", number, len(slot_name)) + slot_name.ljust(64, b"\0")
        data += entry + struct.pack("<I", zlib_crc(entry))
    with open(os.path.join(presets, "quick-slots"), "wb") as f:
        f.write(data)


def zlib_crc(data):
    return zlib.crc32(data) & 0xffffffff


def desktop_windows(title, *options):
    """The ids of the windows on the desktop with that title."""
    found = subprocess.run(["xdotool", "search", *options, "--name", f"^{re.escape(title)}$"],
                           capture_output=True, text=True, timeout=10).stdout
    return found.split()


def shown_window(title, timeout=5):
    """The one window with that title once it is shown: its id and geometry."""
    deadline = time.monotonic() + timeout
    while True:
        shown = desktop_windows(title, "--onlyvisible")
        if len(shown) == 1:
            shell = xdotool("getwindowgeometry", "--shell", shown[0])
            geometry = dict(line.split("=") for line in shell.split())
            return {"id": shown[0], **{key: int(geometry[key]) for key in "X Y WIDTH HEIGHT".split()}}
        check(time.monotonic() < deadline, f"not one shown window {title!r}: {shown}")
        time.sleep(0.05)


def wait_until_no_window(title, timeout=5):
    deadline = time.monotonic() + timeout
    while desktop_windows(title):
        check(time.monotonic() < deadline, f"the window {title!r} stayed")
        time.sleep(0.05)


def run_tests(tests):
    """Runs each test function, says how it went, and gives the exit status."""
    failed = 0
    for test in tests:
        started = time.monotonic()
        try:
            test()
            print(f"PASS {test.__name__} ({time.monotonic() - started:.1f} s)", flush=True)
        except (Failure, subprocess.SubprocessError, OSError) as failure:
            failed += 1
            print(f"FAIL {test.__name__}: {failure}", flush=True)
    print(f"{len(tests) - failed} passed, {failed} failed")
    return 1 if failed else 0
