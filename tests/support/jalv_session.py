#!/usr/bin/env python3
"""Sessions of a real LV2 host, jalv.gtk3, driven as a user drives it: under an X display (Xvfb),
on a JACK dummy server of the session's own, with a private home folder.

A session starts `jackd --no-realtime -d dummy` under a server name of its own and waits until
it answers, starts jalv.gtk3 on the plug-in (with LV2_PATH, a preset and control values as
given), finds jalv's window and the plug-in UI's window that suil embeds in it, takes
screenshots as PNG, moves, clicks, drags, turns the wheel and presses keys through the X server
(xdotool) like a user, reads back the control values as jalv holds them, and closes jalv's
window as a user does, reporting how jalv ended. Everything it starts runs in a process group
of its own and is stopped when the session ends, also when a test fails or is interrupted, and
every wait ends with HarnessError after its timeout.

Python API (tests/support on sys.path):

    from jalv_session import (JalvSession, HarnessError, install_termination_handler,
                              read_png)

    install_termination_handler()      # SIGTERM and SIGHUP stop the sessions as Ctrl+C does
    with JalvSession("https://sonadrix.com/lv2/orvalle-vol2/hn6-clean-preamp",
                     lv2_path="build/lv2/lib/lv2", preset=None, controls={"gain": 30},
                     generic_ui=False, timeout=15,
                     config_files={"Sonadrix/Orvalle Vol.2/settings": "Layout=tall\n"}) as session:
        session.ui_uri                 # the UI jalv chose, None for its generic controls
        main = session.main_window()   # Window(id, x, y, width, height, name); x, y on screen
        ui = session.plugin_window()   # the plug-in UI's X11 window embedded by suil
        session.offset_in(ui, main)    # (x, y) of ui inside main
        session.screenshot(ui, "ui.png")            # a PNG of the window; (width, height)
        session.click(ui, 20, 30)                   # button 1, held 0.15 s
        session.click(ui, 20, 30, modifiers=("ctrl",))
        session.click(ui, 20, 30, button=3)
        session.drag(ui, (20, 30), (20, 80), steps=10)
        session.wheel(ui, 20, 30, "up", clicks=2)   # buttons 4 (up) and 5 (down)
        session.key(ui, "shift+Up", "Return")       # gives ui the keyboard focus first
        session.read_controls()        # {"gain": 30.0, ...}: every control as jalv holds it
        session.printed_controls()     # [(symbol, value), ...] as jalv printed them
        report = session.close()       # ExitReport(status, signal, crashed, reason, stderr)
    # jalv and jackd have ended here; session.pids() named their process groups.
    width, height, rows = read_png("ui.png")   # rows of (R, G, B, A), for comparing pictures

`JackServer` and `XvfbServer` are context managers of their own, for tests that run several
sessions on one server or need a display (`JalvSession(..., jack=server)`,
`JalvSession(..., display=xvfb.display)`). Coordinates given to the input methods are relative
to the window's top left corner. The session's folder (jalv's home, logs, saved states) is
removed at the end unless `keep_dir` names a folder to keep it in.

How jalv.gtk3 1.6.6 tells its control values: `--print-controls` prints every control port
once at start ("symbol = value", after one line per `-c` value), and after that only the output
ports, at each UI update (30 times a second, changed or not); a value changed in the plug-in's
UI or in the generic controls is not printed, `-d` dumps only atom messages between the
plug-in and its UI, and jalv.gtk3 reads no commands on its standard input (the console `jalv`
does: `controls`, `set`, `presets`, `preset`). So `read_controls` does what a user does to see
them: File > Save (Ctrl+S) into a folder of the session, and reads the `lv2:port` values of the
state jalv writes there, which are the values jalv holds for every control port (about 1.5 s
each). It moves the pointer to a corner of the screen first, since keys go to the window under
the pointer inside the focused one, and leaves the keyboard focus on jalv's window.

Seen of jalv.gtk3 1.6.6 here: without a window manager its windows open at the screen's top
left; a preset's name is added to the window's title ("HN-6 Clean Preamp - Low Hot"); a value
given with -c wins over the preset's; a URI it cannot find ends it with "Failed to find plugin"
and a segmentation fault; x42's Stereo Balance UI ends it with an X error (BadWindow), while
x42's limiter and compressor UIs embed.

Command line (under a display, or with --xvfb; prints a JSON report on standard output):

    jalv_session.py [--lv2-path PATH] [--preset URI] [-c SYMBOL=VALUE]... [--generic-ui]
                    [--xvfb] [--timeout SECONDS] [--keep-dir DIR] [STEP]... PLUGIN_URI

    steps, run in order on the plug-in UI's window (jalv's window when there is none, or
    after --on-main; --on-ui goes back):
      --screenshot FILE          a PNG of the window
      --click X,Y[,BUTTON]       a click held 0.15 s (button 1 by default)
      --drag X1,Y1,X2,Y2         a drag with button 1 in 10 steps
      --wheel X,Y,up|down[,N]    N wheel clicks (1 by default)
      --key KEYS                 a key press, xdotool's names: Up, shift+Up, ctrl+z
      --read-controls            the control values as jalv holds them
      --wait SECONDS             a pause

    e.g. jalv_session.py --lv2-path build/lv2/lib/lv2 --screenshot hn6.png \
             https://sonadrix.com/lv2/orvalle-vol2/hn6-clean-preamp

Its exit status is 0 when every step ran and jalv ended with status 0 without crashing.
"""

import argparse
import atexit
import ctypes
import ctypes.util
import itertools
import json
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib
from dataclasses import dataclass

_SCRIPTS = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__)))), "scripts")
DEFAULT_TIMEOUT = 15.0
CLICK_HOLD = 0.15
SAVE_STATE_DIALOG = "Save State"


class HarnessError(Exception):
    """A step of a session that did not happen in time, or a tool that failed."""


# ---------------------------------------------------------------------------------------------
# Processes: each in a group of its own, all of them stopped at exit whatever happened.

_live_groups = set()


def _kill_live_groups():
    for group in list(_live_groups):
        try:
            os.killpg(group, signal.SIGKILL)
        except ProcessLookupError:
            pass
        _live_groups.discard(group)


atexit.register(_kill_live_groups)


class Terminated(BaseException):
    """Raised in the main thread on SIGTERM or SIGHUP, so that context managers clean up."""


def install_termination_handler():
    """Makes SIGTERM and SIGHUP (a test runner's timeout, a closed terminal) unwind the stack
    as Ctrl+C does, so that every session's `with` block stops what it started."""

    def unwind(number, _frame):
        raise Terminated("stopped by signal %d" % number)

    signal.signal(signal.SIGTERM, unwind)
    signal.signal(signal.SIGHUP, unwind)


def group_alive(group):
    """Whether any process is left in the process group."""
    try:
        os.killpg(group, 0)
        return True
    except ProcessLookupError:
        return False
    except PermissionError:
        return True


class Child:
    """A program started in a new session (so a process group of its own), its output going to
    files, stopped with SIGTERM and then SIGKILL."""

    def __init__(self, command, env, stdout_path, stderr_path, what, pass_fds=()):
        self.what = what
        self.stdout_path = stdout_path
        self.stderr_path = stderr_path
        self.killed_by_harness = False
        with open(stdout_path, "wb") as out, open(stderr_path, "wb") as err:
            try:
                self.process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                                stdout=out, stderr=err, pass_fds=pass_fds,
                                                start_new_session=True)
            except OSError as error:
                raise HarnessError("cannot start %s (%s): %s" % (what, command[0], error))
        self.pid = self.process.pid
        _live_groups.add(self.pid)

    def running(self):
        return self.process.poll() is None

    def stdout(self):
        return _read_text(self.stdout_path)

    def stderr(self):
        return _read_text(self.stderr_path)

    def wait(self, timeout):
        """The exit status, or None if the program is still running after timeout seconds."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self, grace=5.0):
        if self.running():
            self.killed_by_harness = True
            self._signal_group(signal.SIGTERM)
            if self.wait(grace) is None:
                self._signal_group(signal.SIGKILL)
                self.wait(grace)
        # Whatever the program left behind in its group goes too.
        if group_alive(self.pid):
            self._signal_group(signal.SIGKILL)
            deadline = time.monotonic() + grace
            while group_alive(self.pid) and time.monotonic() < deadline:
                time.sleep(0.02)
        _live_groups.discard(self.pid)

    def _signal_group(self, number):
        try:
            os.killpg(self.pid, number)
        except ProcessLookupError:
            pass


def _read_text(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode(errors="replace")
    except FileNotFoundError:
        return ""


def _tail(text, lines=15):
    return "\n".join(text.rstrip("\n").splitlines()[-lines:])


def wait_until(condition, timeout, failure, interval=0.05):
    """Polls condition() until it gives something true, which it returns; after timeout
    seconds raises HarnessError with failure (a text, or a function giving one)."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() >= deadline:
            raise HarnessError(failure() if callable(failure) else failure)
        time.sleep(interval)


def _run_tool(command, timeout=10.0, env=None):
    try:
        result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                stdin=subprocess.DEVNULL, timeout=timeout, env=env)
    except subprocess.TimeoutExpired:
        raise HarnessError("%s did not end within %g s" % (" ".join(command), timeout))
    except OSError as error:
        raise HarnessError("cannot run %s: %s" % (command[0], error))
    if result.returncode != 0:
        raise HarnessError("%s ended with status %d: %s" % (
            " ".join(command), result.returncode, result.stderr.decode(errors="replace")))
    return result.stdout.decode(errors="replace")


_names = itertools.count(1)


def _new_folder(prefix):
    return tempfile.mkdtemp(prefix=prefix)


# ---------------------------------------------------------------------------------------------
# Servers.

class JackServer:
    """A JACK server on the dummy driver under a name of its own, answering when start()
    returns."""

    def __init__(self, name=None, rate=48000, period=256, timeout=DEFAULT_TIMEOUT,
                 log_folder=None):
        self.name = name or "jalv-session-%d-%d" % (os.getpid(), next(_names))
        self.rate = rate
        self.period = period
        self.timeout = timeout
        self._log_folder = log_folder
        self.folder = None
        self.child = None

    @property
    def env(self):
        return {"JACK_DEFAULT_SERVER": self.name, "JACK_NO_START_SERVER": "1"}

    def answers(self):
        try:
            return subprocess.run(["jack_lsp"], env=dict(os.environ, **self.env),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  stdin=subprocess.DEVNULL, timeout=5).returncode == 0
        except subprocess.TimeoutExpired:
            return False

    def start(self):
        command = ["jackd", "--no-realtime", "-d", "dummy", "-r", str(self.rate),
                   "-p", str(self.period)]
        self.folder = self._log_folder or _new_folder("jackd-")
        log = os.path.join(self.folder, "jackd.log")
        self.child = Child(command, dict(os.environ, **self.env), log, log, "jackd")

        def ready():
            if not self.child.running():
                raise HarnessError("jackd ended with status %s before it answered:\n%s" % (
                    self.child.process.returncode, _tail(self.child.stdout())))
            return self.answers()

        try:
            wait_until(ready, self.timeout, lambda: "jackd (server %s) did not answer jack_lsp "
                       "within %g s:\n%s" % (self.name, self.timeout, _tail(self.child.stdout())),
                       interval=0.1)
        except BaseException:
            self.stop()
            raise
        return self

    def stop(self):
        if self.child:
            self.child.stop()
        if self.folder and not self._log_folder:
            shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *_):
        self.stop()


class XvfbServer:
    """A virtual X display of its own (the first free number, told by Xvfb itself)."""

    def __init__(self, screen="1280x1024x24", timeout=DEFAULT_TIMEOUT):
        self.screen = screen
        self.timeout = timeout
        self.display = None
        self.child = None
        self.folder = None

    def start(self):
        self.folder = _new_folder("xvfb-")
        read_end, write_end = os.pipe()
        log = os.path.join(self.folder, "xvfb.log")
        try:
            self.child = Child(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                self.screen, "-nolisten", "tcp"], None, log, log, "Xvfb",
                               pass_fds=(write_end,))
        except HarnessError:
            os.close(read_end)
            self.stop()
            raise
        finally:
            os.close(write_end)
        try:
            number = b""
            deadline = time.monotonic() + self.timeout
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([read_end], [], [], left)[0]:
                    raise HarnessError("Xvfb told no display number within %g s:\n%s" % (
                        self.timeout, _tail(_read_text(log))))
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise HarnessError("Xvfb ended before telling its display number:\n%s"
                                       % _tail(_read_text(log)))
                number += chunk
            self.display = ":" + number.decode().strip()
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(read_end)
        return self

    def stop(self):
        if self.child:
            self.child.stop()
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *_):
        self.stop()


# ---------------------------------------------------------------------------------------------
# X: a few Xlib calls through ctypes, on a connection of the harness's own.

class _XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("window_class", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


class _XErrorEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("display", ctypes.c_void_p),
                ("resourceid", ctypes.c_ulong), ("serial", ctypes.c_ulong),
                ("error_code", ctypes.c_ubyte), ("request_code", ctypes.c_ubyte),
                ("minor_code", ctypes.c_ubyte)]


_ErrorHandler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.POINTER(_XErrorEvent))
_IS_VIEWABLE = 2
_CLIENT_MESSAGE = 33


@dataclass
class Window:
    id: int
    x: int
    y: int
    width: int
    height: int
    name: str

    def as_dict(self):
        return {"id": "0x%x" % self.id, "x": self.x, "y": self.y, "width": self.width,
                "height": self.height, "name": self.name}


class XConnection:
    """Queries of window trees, properties and the pointer, focus and WM_DELETE_WINDOW. A
    window that vanishes between two calls gives None rather than ending the program: the
    error handler only counts errors."""

    _library = None
    _handler = None
    _errors = []

    def __init__(self, display_name):
        x = self._load()
        self._x = x
        self.display_name = display_name
        self._display = x.XOpenDisplay(display_name.encode())
        if not self._display:
            raise HarnessError("cannot open the X display %r" % display_name)
        self.root = x.XDefaultRootWindow(self._display)
        self._atoms = {}

    @classmethod
    def _load(cls):
        if cls._library:
            return cls._library
        x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        d, w, ul = ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong
        signatures = {
            "XOpenDisplay": (d, [ctypes.c_char_p]),
            "XCloseDisplay": (ctypes.c_int, [d]),
            "XDefaultRootWindow": (w, [d]),
            "XSync": (ctypes.c_int, [d, ctypes.c_int]),
            "XFree": (ctypes.c_int, [ctypes.c_void_p]),
            "XInternAtom": (ul, [d, ctypes.c_char_p, ctypes.c_int]),
            "XQueryTree": (ctypes.c_int, [d, w, ctypes.POINTER(w), ctypes.POINTER(w),
                                          ctypes.POINTER(ctypes.POINTER(w)),
                                          ctypes.POINTER(ctypes.c_uint)]),
            "XGetWindowAttributes": (ctypes.c_int, [d, w,
                                                    ctypes.POINTER(_XWindowAttributes)]),
            "XTranslateCoordinates": (ctypes.c_int, [d, w, w, ctypes.c_int, ctypes.c_int,
                                                     ctypes.POINTER(ctypes.c_int),
                                                     ctypes.POINTER(ctypes.c_int),
                                                     ctypes.POINTER(w)]),
            "XGetWindowProperty": (ctypes.c_int, [
                d, w, ul, ctypes.c_long, ctypes.c_long, ctypes.c_int, ul,
                ctypes.POINTER(ul), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ul),
                ctypes.POINTER(ul), ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte))]),
            "XQueryPointer": (ctypes.c_int, [
                d, w, ctypes.POINTER(w), ctypes.POINTER(w), ctypes.POINTER(ctypes.c_int),
                ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_uint)]),
            "XSendEvent": (ctypes.c_int, [d, w, ctypes.c_int, ctypes.c_long,
                                          ctypes.POINTER(_XEvent)]),
            "XSetInputFocus": (ctypes.c_int, [d, w, ctypes.c_int, ul]),
            "XSetErrorHandler": (ctypes.c_void_p, [_ErrorHandler]),
        }
        for name, (result, arguments) in signatures.items():
            function = getattr(x, name)
            function.restype = result
            function.argtypes = arguments

        def count_error(_display, event):
            cls._errors.append(event.contents.error_code)
            return 0

        cls._handler = _ErrorHandler(count_error)
        x.XSetErrorHandler(cls._handler)
        cls._library = x
        return x

    def close(self):
        if self._display:
            self._x.XCloseDisplay(self._display)
            self._display = None

    def _live(self):
        if not self._display:
            raise HarnessError("the X connection to %s is closed" % self.display_name)
        return self._display

    def _checked(self, call):
        """call()'s result, or None when it failed or the X server reported an error."""
        self._live()
        del self._errors[:]
        result = call()
        self._x.XSync(self._display, 0)
        if self._errors:
            return None
        return result

    def atom(self, name):
        if name not in self._atoms:
            self._atoms[name] = self._x.XInternAtom(self._live(), name.encode(), 0)
        return self._atoms[name]

    def children(self, window):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()

        def query():
            return self._x.XQueryTree(self._display, window, ctypes.byref(root),
                                      ctypes.byref(parent), ctypes.byref(children),
                                      ctypes.byref(count))

        if not self._checked(query):
            return []
        found = [children[i] for i in range(count.value)]
        if children:
            self._x.XFree(children)
        return found

    def parent(self, window):
        """The window's parent, None for the root or once the window is gone."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self._checked(lambda: self._x.XQueryTree(
                self._display, window, ctypes.byref(root), ctypes.byref(parent),
                ctypes.byref(children), ctypes.byref(count))):
            return None
        if children:
            self._x.XFree(children)
        return parent.value or None

    def uncut(self, window):
        """Whether the window (a Window) lies wholly inside each of its ancestors, so that the
        screen shows all of it: a host may grow its windows round an embedded one only after
        mapping it."""
        ancestor = self.parent(window.id)
        while ancestor and ancestor != self.root:
            outer = self.window(ancestor)
            if outer is None or not (
                    outer.x <= window.x and outer.y <= window.y
                    and window.x + window.width <= outer.x + outer.width
                    and window.y + window.height <= outer.y + outer.height):
                return False
            ancestor = self.parent(ancestor)
        return True

    def attributes(self, window):
        attributes = _XWindowAttributes()
        if not self._checked(lambda: self._x.XGetWindowAttributes(
                self._display, window, ctypes.byref(attributes))):
            return None
        return attributes

    def viewable(self, window):
        attributes = self.attributes(window)
        return attributes is not None and attributes.map_state == _IS_VIEWABLE

    def window(self, window):
        """The window's geometry with its position on the screen, or None once it is gone."""
        attributes = self.attributes(window)
        if attributes is None:
            return None
        x, y, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        if not self._checked(lambda: self._x.XTranslateCoordinates(
                self._display, window, self.root, 0, 0, ctypes.byref(x), ctypes.byref(y),
                ctypes.byref(child))):
            return None
        return Window(window, x.value, y.value, attributes.width, attributes.height,
                      self.name(window))

    def property(self, window, name):
        """The property's items (ints for formats 16 and 32, bytes for 8), or None."""
        kind, format_, count = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong()
        after, data = ctypes.c_ulong(), ctypes.POINTER(ctypes.c_ubyte)()
        status = self._checked(lambda: self._x.XGetWindowProperty(
            self._display, window, self.atom(name), 0, 1 << 16, 0, 0, ctypes.byref(kind),
            ctypes.byref(format_), ctypes.byref(count), ctypes.byref(after),
            ctypes.byref(data)))
        if status is None or status != 0 or not kind.value:
            if data:
                self._x.XFree(data)
            return None
        n = count.value
        if format_.value == 8:
            value = bytes(data[i] for i in range(n))
        else:
            item = ctypes.c_ulong if format_.value == 32 else ctypes.c_ushort
            array = ctypes.cast(data, ctypes.POINTER(item))
            value = [array[i] for i in range(n)]
        self._x.XFree(data)
        return value

    def name(self, window):
        for name in ("_NET_WM_NAME", "WM_NAME"):
            value = self.property(window, name)
            if isinstance(value, bytes):
                return value.decode(errors="replace")
        return ""

    def pid(self, window):
        value = self.property(window, "_NET_WM_PID")
        return value[0] if value else None

    def pointer(self):
        root, child = ctypes.c_ulong(), ctypes.c_ulong()
        x, y, wx, wy, mask = (ctypes.c_int(), ctypes.c_int(), ctypes.c_int(), ctypes.c_int(),
                              ctypes.c_uint())
        self._x.XQueryPointer(self._live(), self.root, ctypes.byref(root), ctypes.byref(child),
                              ctypes.byref(x), ctypes.byref(y), ctypes.byref(wx),
                              ctypes.byref(wy), ctypes.byref(mask))
        return x.value, y.value

    def focus(self, window):
        revert_to_parent, current_time = 2, 0
        return self._checked(lambda: self._x.XSetInputFocus(
            self._display, window, revert_to_parent, current_time) or True) is not None

    def send_delete_window(self, window):
        """What a window manager sends when the user closes the window."""
        event = _XEvent()
        event.xclient.type = _CLIENT_MESSAGE
        event.xclient.window = window
        event.xclient.message_type = self.atom("WM_PROTOCOLS")
        event.xclient.format = 32
        event.xclient.data[0] = self.atom("WM_DELETE_WINDOW")
        event.xclient.data[1] = 0
        no_event_mask = 0
        return self._checked(lambda: self._x.XSendEvent(
            self._display, window, 0, no_event_mask, ctypes.byref(event))) not in (None, 0)

    def descendants(self, window):
        """Every window below window, parents before their children."""
        found, waiting = [], self.children(window)
        while waiting:
            child = waiting.pop(0)
            found.append(child)
            waiting.extend(self.children(child))
        return found


# ---------------------------------------------------------------------------------------------
# Pictures: xwd's window dumps to PNG.

def xwd_to_rgb(data):
    """(width, height, RGB bytes, three per pixel, rows top to bottom) from an X window dump
    of a TrueColor or DirectColor window (what `xwd` writes)."""
    if len(data) < 100:
        raise HarnessError("an X window dump of %d bytes is too short" % len(data))
    header_size, version = struct.unpack(">II", data[:8])
    order = ">" if version == 7 else "<"
    fields = struct.unpack(order + "25I", data[:100])
    (header_size, version, pixmap_format, _depth, width, height, _xoffset, byte_order,
     _unit, _bit_order, _pad, bits_per_pixel, bytes_per_line, visual_class, red_mask,
     green_mask, blue_mask, _bits_per_rgb, _colormap_entries, colours) = fields[:20]
    if version != 7:
        raise HarnessError("not an X window dump of version 7")
    if pixmap_format != 2 or visual_class not in (4, 5) or bits_per_pixel not in (16, 24, 32):
        raise HarnessError("an X window dump of format %d, visual class %d, %d bits per pixel "
                           "is not one of a true colour window" % (
                               pixmap_format, visual_class, bits_per_pixel))
    pixel_bytes = bits_per_pixel // 8
    start = header_size + colours * 12
    if len(data) < start + bytes_per_line * height or bytes_per_line < width * pixel_bytes:
        raise HarnessError("an X window dump of %dx%d pixels is cut short" % (width, height))
    endian = "little" if byte_order == 0 else "big"

    def channel(mask):
        shift = (mask & -mask).bit_length() - 1
        top = mask >> shift
        return mask, shift, top

    channels = [channel(mask) for mask in (red_mask, green_mask, blue_mask)]
    if any(top == 0 for _, _, top in channels):
        raise HarnessError("an X window dump without colour masks")
    rgb = bytearray(width * height * 3)
    out = 0
    for row in range(height):
        line = data[start + row * bytes_per_line:start + row * bytes_per_line +
                    width * pixel_bytes]
        for column in range(0, width * pixel_bytes, pixel_bytes):
            pixel = int.from_bytes(line[column:column + pixel_bytes], endian)
            for mask, shift, top in channels:
                rgb[out] = ((pixel & mask) >> shift) * 255 // top
                out += 1
    return width, height, bytes(rgb)


def save_screen_area(path, left, top, width, height, display=None):
    """A PNG of a part of the screen as it shows now (menus and dialogs over a window included),
    the part outside the screen black. Read with XGetImage on the root window: `xwd -root` puts
    together windows of other colormaps on its own and shows some of them black."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XGetImage.restype = ctypes.c_void_p
    x11.XGetPixel.restype = ctypes.c_ulong
    x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
    display_name = (display or os.environ.get("DISPLAY", "")).encode()
    connection = ctypes.c_void_p(x11.XOpenDisplay(display_name))
    if not connection:
        raise HarnessError("cannot open the display %r" % display_name)
    try:
        root = x11.XDefaultRootWindow(connection)
        screen_width = x11.XDisplayWidth(connection, 0)
        screen_height = x11.XDisplayHeight(connection, 0)
        first_x, last_x = max(left, 0), min(left + width, screen_width)
        first_y, last_y = max(top, 0), min(top + height, screen_height)
        rows = [bytearray(3 * width) for _ in range(height)]
        if first_x < last_x and first_y < last_y:
            z_pixmap, all_planes = 2, ctypes.c_ulong(0xffffffff)
            image = ctypes.c_void_p(x11.XGetImage(connection, ctypes.c_ulong(root), first_x,
                                                  first_y, last_x - first_x, last_y - first_y,
                                                  all_planes, z_pixmap))
            if not image:
                raise HarnessError("cannot read the screen")
            for y in range(first_y, last_y):
                row = rows[y - top]
                for x in range(first_x, last_x):
                    pixel = x11.XGetPixel(image, x - first_x, y - first_y)
                    at = 3 * (x - left)
                    row[at:at + 3] = bytes(((pixel >> 16) & 255, (pixel >> 8) & 255, pixel & 255))
    finally:
        x11.XCloseDisplay(connection)
    with open(path, "wb") as f:
        f.write(png_bytes(width, height, b"".join(bytes(row) for row in rows)))


def _png_chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def png_bytes(width, height, rgb):
    """An 8-bit RGB PNG of the pixels."""
    stride = width * 3
    raw = b"".join(b"\0" + rgb[row * stride:(row + 1) * stride] for row in range(height))
    return (b"\x89PNG\r\n\x1a\n" +
            _png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            _png_chunk(b"IDAT", zlib.compress(raw, 6)) + _png_chunk(b"IEND", b""))


def check_png(data):
    """(width, height) of PNG bytes whose chunks all have their right CRC, from the header
    first to the end last, with as many pixel bytes as the header promises; else
    HarnessError."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise HarnessError("not a PNG file")
    position, kinds, compressed = 8, [], b""
    while position < len(data):
        if position + 12 > len(data):
            raise HarnessError("a PNG file cut short after %r" % kinds[-1:])
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        crc = data[position + 8 + length:position + 12 + length]
        if len(crc) != 4 or struct.unpack(">I", crc)[0] != zlib.crc32(kind + body):
            raise HarnessError("the PNG chunk %r has a wrong CRC" % kind)
        kinds.append(kind)
        if kind == b"IDAT":
            compressed += body
        position += 12 + length
    if not kinds or kinds[0] != b"IHDR" or kinds[-1] != b"IEND":
        raise HarnessError("a PNG file without its header first and its end last: %r" % kinds)
    header = data[16:16 + 13]
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", header)
    channels = {0: 1, 2: 3, 4: 2, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace:
        raise HarnessError("a PNG of depth %d, colour type %d, interlace %d is not checked "
                           "here" % (depth, colour, interlace))
    try:
        pixels = zlib.decompress(compressed)
    except zlib.error as error:
        raise HarnessError("the PNG's pixels do not decompress: %s" % error)
    if len(pixels) != height * (1 + width * channels):
        raise HarnessError("the PNG holds %d bytes of pixels, not %d for %dx%d" % (
            len(pixels), height * (1 + width * channels), width, height))
    return width, height


def read_png(path):
    """(width, height, rows of (R, G, B, A) tuples) of a checked 8-bit RGB or RGBA PNG: for
    comparing screenshots. The decoding is the artwork converter's."""
    with open(path, "rb") as f:
        data = f.read()
    check_png(data)
    sys.path.insert(0, _SCRIPTS)
    try:
        from svg_to_bmp import decode_png
    finally:
        sys.path.remove(_SCRIPTS)
    return decode_png(data)


# ---------------------------------------------------------------------------------------------
# What jalv writes: its printed control values and its saved states.

_PRINTED = re.compile(r"^([A-Za-z_][A-Za-z0-9_]*) = (\S+)$", re.M)
_STATE_PORT = re.compile(
    r'lv2:symbol\s+"([^"]+)"\s*;\s*pset:value\s+("?)([-+0-9.eE]+|nan|inf|-inf)\2'
    r'(?:\^\^\S+)?')


def parse_printed_controls(stdout):
    """The "symbol = value" lines jalv prints, in order, as (symbol, float)."""
    return [(symbol, float(value)) for symbol, value in _PRINTED.findall(stdout)]


def parse_state_ports(turtle):
    """{symbol: value} of the lv2:port entries of a state or preset jalv saved."""
    return {symbol: float(value) for symbol, _, value in _STATE_PORT.findall(turtle)}


# ---------------------------------------------------------------------------------------------
# The session.

@dataclass
class ExitReport:
    status: object        # the exit status, None when a signal ended jalv
    signal: object        # the signal that ended it, or None
    crashed: bool
    reason: str           # why it counts as crashed, or ""
    stderr: str
    killed_by_harness: bool

    def as_dict(self):
        return {"status": self.status, "signal": self.signal, "crashed": self.crashed,
                "reason": self.reason, "killed_by_harness": self.killed_by_harness,
                "stderr": self.stderr}


def crash_reason(returncode, killed_by_harness, stderr):
    """Why jalv's end counts as a crash, or "" when it does not."""
    if returncode is not None and returncode < 0 and not killed_by_harness:
        return "ended by signal %d (%s)" % (-returncode, signal.Signals(-returncode).name)
    if "received an X Window System error" in stderr:
        return "ended by an X error: " + " ".join(
            line.strip() for line in stderr.splitlines()
            if "The error was" in line or "(Details:" in line)
    if re.search(r"-ERROR \*\*:|^ERROR:", stderr, re.M):
        return "ended by a fatal GLib error"
    return ""


class JalvSession:
    """jalv.gtk3 running one plug-in; see the module's description."""

    def __init__(self, plugin_uri, lv2_path=None, preset=None, controls=None,
                 generic_ui=False, display=None, jack=None, timeout=DEFAULT_TIMEOUT,
                 keep_dir=None, extra_args=(), config_files=None):
        self.plugin_uri = plugin_uri
        # Files of the private configuration folder, by path below it, written before jalv starts
        # (a plug-in's settings, say).
        self.config_files = dict(config_files or {})
        self.lv2_path = lv2_path
        self.preset = preset
        self.controls = dict(controls or {})
        self.generic_ui = generic_ui
        self.display = display or os.environ.get("DISPLAY")
        if not self.display:
            raise HarnessError("no X display: set DISPLAY or pass display (xvfb-run, --xvfb)")
        self.timeout = timeout
        self.keep_dir = keep_dir
        self.extra_args = list(extra_args)
        self.folder = None  # made by start()
        self.home = None
        self._jack = jack
        self._own_jack = None
        self.jalv = None
        self.x = None
        self._states = itertools.count(1)
        self._report = None

    # Starting and stopping.

    def environment(self):
        env = {name: value for name, value in os.environ.items()
               if name not in ("DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER", "LV2_PATH",
                               "XDG_CONFIG_DIRS", "XDG_DATA_DIRS")}
        runtime = os.path.join(self.folder, "runtime")
        for folder in (self.home, os.path.join(self.home, ".config"),
                       os.path.join(self.home, ".cache"), os.path.join(self.home, ".local"),
                       runtime):
            os.makedirs(folder, exist_ok=True)
        os.chmod(runtime, 0o700)
        env.update(HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                   XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                   XDG_STATE_HOME=os.path.join(self.home, ".local", "state"),
                   XDG_RUNTIME_DIR=runtime, DISPLAY=self.display, GDK_BACKEND="x11",
                   GSETTINGS_BACKEND="memory", NO_AT_BRIDGE="1")
        env.update(self._jack.env)
        if self.lv2_path:
            env["LV2_PATH"] = ":".join(os.path.abspath(part)
                                       for part in self.lv2_path.split(":") if part)
        return env

    def command(self):
        # stdbuf: jalv's printed lines reach the file at once rather than in 4 KiB blocks.
        command = ["stdbuf", "-oL", "jalv.gtk3", "--print-controls"]
        if self.preset:
            command += ["--preset", self.preset]
        for symbol, value in self.controls.items():
            command += ["--control", "%s=%s" % (symbol, value)]
        if self.generic_ui:
            command.append("--generic-ui")
        return command + self.extra_args + [self.plugin_uri]

    def start(self):
        self.folder = _new_folder("jalv-session-")
        self.home = os.path.join(self.folder, "home")
        try:
            if self._jack is None:
                self._own_jack = JackServer(log_folder=self.folder, timeout=self.timeout)
                self._jack = self._own_jack.start()
            self.x = XConnection(self.display)
            environment = self.environment()
            for relative, text in self.config_files.items():
                path = os.path.join(environment["XDG_CONFIG_HOME"], relative)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "w") as f:
                    f.write(text)
            self.jalv = Child(self.command(), environment,
                              os.path.join(self.folder, "jalv.stdout"),
                              os.path.join(self.folder, "jalv.stderr"), "jalv.gtk3")
            self.main_window()
        except BaseException:
            self.stop()
            raise
        return self

    def stop(self):
        """Ends whatever still runs (jalv, then the session's JACK server) and removes the
        session's folder; safe to call more than once."""
        if self.jalv:
            self.jalv.stop()
            if self._report is None:
                self._report = self._exit_report()
        if self._own_jack:
            self._own_jack.stop()
        if self.x:
            self.x.close()
        if self.folder is None:
            return
        if self.keep_dir and os.path.isdir(self.folder):
            shutil.rmtree(self.keep_dir, ignore_errors=True)
            try:
                shutil.copytree(self.folder, self.keep_dir, symlinks=True)
            except shutil.Error:
                pass  # sockets and pipes in the runtime folder; the files are copied
        shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *_):
        self.stop()

    def pids(self):
        """The process groups the session started: {"jalv": pid, "jackd": pid or None}."""
        jack = self._own_jack.child.pid if self._own_jack and self._own_jack.child else None
        return {"jalv": self.jalv.pid if self.jalv else None, "jackd": jack}

    @property
    def jack_server(self):
        return self._jack

    # What jalv says.

    def stdout(self):
        return self.jalv.stdout()

    def stderr(self):
        return self.jalv.stderr()

    @property
    def ui_uri(self):
        """The URI of the plug-in UI jalv shows, or None for its generic controls."""
        line = wait_until(lambda: self._ended_check() or re.search(
            r"^UI:\s+(\S+)$", self.stderr(), re.M), self.timeout,
            lambda: "jalv.gtk3 did not say which UI it shows within %g s" % self.timeout)
        return None if line.group(1) == "None" else line.group(1)

    def printed_controls(self):
        """[(symbol, value)] in the order jalv printed them: each `-c` value, then every
        control port at start, then the output ports at each UI update."""
        return parse_printed_controls(self.stdout())

    def _ended_check(self):
        if not self.jalv.running():
            self._report = self._exit_report()
            raise HarnessError("jalv.gtk3 ended (status %s%s):\n%s" % (
                self._report.status, ", " + self._report.reason if self._report.crashed
                else "", _tail(self._report.stderr)))
        return None

    # Windows.

    def _windows_of_jalv(self):
        """jalv's viewable top-level windows, not counting menus and tooltips."""
        found = []
        for window in self.x.children(self.x.root):
            attributes = self.x.attributes(window)
            if (attributes and attributes.map_state == _IS_VIEWABLE and
                    not attributes.override_redirect and self.x.pid(window) == self.jalv.pid):
                found.append(window)
        return found

    def main_window(self, timeout=None):
        """jalv's window, waiting until it is shown."""
        timeout = self.timeout if timeout is None else timeout

        def shown():
            self._ended_check()
            for window in self._windows_of_jalv():
                if self.x.property(window, "WM_TRANSIENT_FOR") is None:
                    return self.x.window(window)
            return None

        return wait_until(shown, timeout, "jalv.gtk3's window did not appear within %g s" %
                          timeout)

    def dialog(self, title=None):
        """A window jalv shows over its main window (a file dialog), or None."""
        for window in self._windows_of_jalv():
            if self.x.property(window, "WM_TRANSIENT_FOR") is not None:
                if title is None or self.x.name(window) == title:
                    return self.x.window(window)
        return None

    def plugin_window(self, timeout=None):
        """The plug-in UI's window: suil puts an XEmbed client window (with _XEMBED_INFO) into
        jalv's window and the UI's own X11 window into that; of its viewable children the
        largest. Waits until it is shown whole; fails for jalv's generic controls."""
        timeout = self.timeout if timeout is None else timeout
        main = self.main_window(timeout)

        def embedded():
            self._ended_check()
            for window in self.x.descendants(main.id):
                if self.x.property(window, "_XEMBED_INFO") is not None:
                    shown = [self.x.window(child) for child in self.x.children(window)
                             if self.x.viewable(child)]
                    shown = [child for child in shown if child]
                    if shown:
                        largest = max(shown, key=lambda child: child.width * child.height)
                        return largest if self.x.uncut(largest) else None
            return None

        return wait_until(embedded, timeout, lambda: "no plug-in UI window was embedded in "
                          "jalv.gtk3's window within %g s (jalv shows UI %s)" % (
                              timeout, self.ui_uri))

    def refresh(self, window):
        """The window's geometry now; fails once it is gone."""
        now = self.x.window(window.id)
        if now is None:
            raise HarnessError("window 0x%x (%s) is gone" % (window.id, window.name))
        return now

    @staticmethod
    def offset_in(window, outer):
        return window.x - outer.x, window.y - outer.y

    def screenshot(self, window, path, settled=False):
        """Saves a PNG of the window as the screen shows it; gives (width, height). Settled: as
        it shows once two dumps 0.1 s apart are the same (a window just shown may still be
        painting), failing when it does not settle within the session's timeout."""
        window = self.refresh(window)
        dump = os.path.join(self.folder, "screenshot.xwd")

        def picture():
            _run_tool(["xwd", "-silent", "-id", str(window.id), "-out", dump],
                      timeout=self.timeout, env=dict(os.environ, DISPLAY=self.display))
            with open(dump, "rb") as f:
                shown = xwd_to_rgb(f.read())
            os.remove(dump)
            return shown

        width, height, rgb = picture()
        if settled:
            last = [rgb]

            def same_again():
                time.sleep(0.1)
                now = picture()[2]
                same, last[0] = now == last[0], now
                return same

            wait_until(same_again, self.timeout,
                       "window 0x%x did not settle within %g s" % (window.id, self.timeout))
            rgb = last[0]
        folder = os.path.dirname(os.path.abspath(path))
        os.makedirs(folder, exist_ok=True)
        with open(path, "wb") as f:
            f.write(png_bytes(width, height, rgb))
        return width, height

    # Input, through the X server as a user's.

    def _xdotool(self, *arguments):
        _run_tool(["xdotool"] + [str(a) for a in arguments], timeout=self.timeout,
                  env=dict(os.environ, DISPLAY=self.display))

    def move(self, window, x, y):
        """Moves the pointer to (x, y) of the window and waits until it is there (xdotool's
        --sync waits for ever when the pointer is there already)."""
        window = self.refresh(window)
        target = (window.x + int(round(x)), window.y + int(round(y)))
        self._xdotool("mousemove", *target)
        wait_until(lambda: self.x.pointer() == target, self.timeout,
                   lambda: "the pointer did not reach %s within %g s (it is at %s)" % (
                       target, self.timeout, self.x.pointer()), interval=0.01)

    def park_pointer(self, *away_from):
        """Moves the pointer to a corner of the screen outside the given windows."""
        screen = self.x.attributes(self.x.root)
        windows = [self.refresh(window) for window in away_from]
        for x, y in ((screen.width - 1, screen.height - 1), (screen.width - 1, 0),
                     (0, screen.height - 1), (0, 0)):
            if not any(w.x <= x < w.x + w.width and w.y <= y < w.y + w.height
                       for w in windows):
                self._xdotool("mousemove", x, y)
                wait_until(lambda: self.x.pointer() == (x, y), self.timeout,
                           "the pointer did not reach %s within %g s" % ((x, y), self.timeout),
                           interval=0.01)
                return x, y
        raise HarnessError("the windows cover every corner of the screen")

    def _with_modifiers(self, modifiers, action):
        for modifier in modifiers:
            self._xdotool("keydown", modifier)
        try:
            action()
        finally:
            for modifier in reversed(modifiers):
                self._xdotool("keyup", modifier)

    def click(self, window, x, y, button=1, hold=CLICK_HOLD, modifiers=()):
        """Presses and releases a button at (x, y) of the window, held for hold seconds."""
        self.move(window, x, y)

        def press():
            self._xdotool("mousedown", button)
            time.sleep(hold)
            self._xdotool("mouseup", button)

        self._with_modifiers(modifiers, press)

    def drag(self, window, start, end, button=1, steps=10, step_pause=0.03, hold=CLICK_HOLD,
             modifiers=()):
        """Presses at start, moves to end in steps and releases there."""
        self.move(window, *start)

        def press_move_release():
            self._xdotool("mousedown", button)
            try:
                time.sleep(hold)
                for step in range(1, steps + 1):
                    self.move(window, start[0] + (end[0] - start[0]) * step / steps,
                              start[1] + (end[1] - start[1]) * step / steps)
                    time.sleep(step_pause)
                time.sleep(hold)
            finally:
                self._xdotool("mouseup", button)

        self._with_modifiers(modifiers, press_move_release)

    def wheel(self, window, x, y, direction="up", clicks=1, pause=0.05, modifiers=()):
        """Turns the wheel over (x, y) of the window: X buttons 4 (up) and 5 (down)."""
        if direction not in ("up", "down"):
            raise ValueError("the wheel turns up or down, not %r" % direction)
        self.move(window, x, y)

        def turn():
            for _ in range(clicks):
                self._xdotool("click", 4 if direction == "up" else 5)
                time.sleep(pause)

        self._with_modifiers(modifiers, turn)

    def key(self, window, *keys, focus=True, pause=0.05):
        """Presses keys (xdotool's names: "Up", "shift+Up", "ctrl+s") with the keyboard focus
        given to the window first."""
        if focus and not self.x.focus(self.refresh(window).id):
            raise HarnessError("window 0x%x cannot take the keyboard focus" % window.id)
        for key in keys:
            self._xdotool("key", key)
            time.sleep(pause)

    def type_text(self, window, text, focus=True):
        if focus and not self.x.focus(self.refresh(window).id):
            raise HarnessError("window 0x%x cannot take the keyboard focus" % window.id)
        self._xdotool("type", "--delay", 10, text)

    # The host's values.

    def read_controls(self, timeout=None):
        """{symbol: value} of every control port as jalv holds it, by saving jalv's state
        (File > Save, Ctrl+S) into the session's folder as a user would."""
        timeout = self.timeout if timeout is None else timeout
        main = self.main_window(timeout)
        target = os.path.join(self.folder, "state-%d" % next(self._states))
        state = os.path.join(target, "state.ttl")
        # Keys go to the focused window's descendant under the pointer, which may be the
        # plug-in UI's window: the pointer leaves jalv's window first.
        self.park_pointer(main)
        self.key(main, "ctrl+s")
        dialog = wait_until(lambda: self._ended_check() or self.dialog(SAVE_STATE_DIALOG),
                            timeout, "jalv.gtk3's %r dialog did not open within %g s after "
                            "Ctrl+S" % (SAVE_STATE_DIALOG, timeout))
        # The name field has the focus; a path typed there names the folder to save into.
        self.key(dialog, "ctrl+a")
        self.type_text(dialog, target)
        deadline = time.monotonic() + timeout
        saved = None
        while saved is None:
            # Return can go to the name field's completion rather than to the dialog; pressed
            # again only while the dialog is still there and nothing was saved.
            if self.dialog(SAVE_STATE_DIALOG) and not os.path.exists(target):
                self.key(dialog, "Return")
            ended = time.monotonic() + min(0.4, max(0.0, deadline - time.monotonic()))
            while time.monotonic() < ended and saved is None:
                self._ended_check()
                text = _read_text(state)
                values = parse_state_ports(text)
                if values and text.rstrip().endswith(".") and not self.dialog():
                    saved = values
                time.sleep(0.05)
            if saved is None and time.monotonic() >= deadline:
                raise HarnessError("jalv.gtk3 saved no state into %s within %g s" % (
                    target, timeout))
        return saved

    # Closing.

    def close(self, timeout=None):
        """Closes jalv's window as a user does (WM_DELETE_WINDOW, which a window manager sends)
        and waits for jalv to end; gives the ExitReport. Kills jalv and fails if it does not end
        in time."""
        timeout = self.timeout if timeout is None else timeout
        main = None
        if self.jalv.running():
            try:
                main = self.main_window(timeout)
            except HarnessError:
                if self.jalv.wait(0.5) is None:
                    raise
        if main is not None:
            if not self.x.send_delete_window(main.id):
                raise HarnessError("cannot send WM_DELETE_WINDOW to jalv's window")
            if self.jalv.wait(timeout) is None:
                self.jalv.stop()
                self._report = self._exit_report()
                raise HarnessError("jalv.gtk3 did not end within %g s after its window was "
                                   "closed; it was killed:\n%s" % (timeout,
                                                                   _tail(self.stderr())))
        self._report = self._exit_report()
        return self._report

    def _exit_report(self):
        code = self.jalv.process.poll()
        stderr = self.stderr()
        reason = crash_reason(code, self.jalv.killed_by_harness, stderr)
        return ExitReport(status=code if code is None or code >= 0 else None,
                          signal=-code if code is not None and code < 0 else None,
                          crashed=bool(reason), reason=reason, stderr=stderr,
                          killed_by_harness=self.jalv.killed_by_harness)


# ---------------------------------------------------------------------------------------------
# Command line.

def _numbers(text, count, what):
    parts = text.split(",")
    if len(parts) < count:
        raise HarnessError("%s needs %d values separated by commas, not %r" % (
            what, count, text))
    return parts


class _Step(argparse.Action):
    def __call__(self, parser, namespace, values, option_string=None):
        namespace.steps = getattr(namespace, "steps", None) or []
        namespace.steps.append((self.dest, values if self.nargs != 0 else None))


def _parser():
    parser = argparse.ArgumentParser(
        description="Runs an LV2 plug-in in jalv.gtk3 on a JACK dummy server of its own and "
                    "drives it as a user; prints a JSON report.")
    parser.add_argument("plugin_uri")
    parser.add_argument("--lv2-path", help="LV2_PATH for jalv (else jalv's default path)")
    parser.add_argument("--preset", help="a preset's URI to load at start")
    parser.add_argument("-c", "--control", action="append", default=[],
                        metavar="SYMBOL=VALUE", help="a control's value at start")
    parser.add_argument("--generic-ui", action="store_true",
                        help="jalv's generic controls rather than the plug-in's UI")
    parser.add_argument("--xvfb", action="store_true", help="run on an Xvfb display of its own")
    parser.add_argument("--timeout", type=float, default=DEFAULT_TIMEOUT,
                        help="seconds for each wait (default %g)" % DEFAULT_TIMEOUT)
    parser.add_argument("--keep-dir", help="keep the session's folder (logs, home, states) "
                        "there")
    for name, metavar, help_text in (
            ("screenshot", "FILE", "a PNG of the window"),
            ("click", "X,Y[,BUTTON]", "a click held %g s" % CLICK_HOLD),
            ("drag", "X1,Y1,X2,Y2", "a drag with button 1 in 10 steps"),
            ("wheel", "X,Y,up|down[,N]", "N wheel clicks"),
            ("key", "KEYS", "a key press (xdotool's names)"),
            ("wait", "SECONDS", "a pause")):
        parser.add_argument("--" + name, dest=name, action=_Step, metavar=metavar,
                            help=help_text)
    for name, help_text in (("read-controls", "the control values as jalv holds them"),
                            ("on-main", "later steps on jalv's window"),
                            ("on-ui", "later steps on the plug-in UI's window")):
        parser.add_argument("--" + name, dest=name.replace("-", "_"), action=_Step, nargs=0,
                            help=help_text)
    return parser


def _run_steps(session, steps, report):
    main = session.main_window()
    ui = session.plugin_window() if session.ui_uri else None
    report["main_window"] = main.as_dict()
    report["plugin_window"] = ui.as_dict() if ui else None
    target = ui or main
    for kind, value in steps:
        done = {"step": kind, "value": value}
        if kind == "on_main":
            target = main
        elif kind == "on_ui":
            if ui is None:
                raise HarnessError("--on-ui: jalv shows its generic controls, no plug-in UI")
            target = ui
        elif kind == "screenshot":
            done["size"] = session.screenshot(target, value)
        elif kind == "click":
            parts = _numbers(value, 2, "--click")
            session.click(target, float(parts[0]), float(parts[1]),
                          button=int(parts[2]) if len(parts) > 2 else 1)
        elif kind == "drag":
            x1, y1, x2, y2 = (float(p) for p in _numbers(value, 4, "--drag")[:4])
            session.drag(target, (x1, y1), (x2, y2))
        elif kind == "wheel":
            parts = _numbers(value, 3, "--wheel")
            session.wheel(target, float(parts[0]), float(parts[1]), parts[2],
                          clicks=int(parts[3]) if len(parts) > 3 else 1)
        elif kind == "key":
            session.key(target, value)
        elif kind == "wait":
            time.sleep(float(value))
        elif kind == "read_controls":
            done["controls"] = session.read_controls()
        report["steps"].append(done)


def main(argv=None):
    arguments = _parser().parse_args(argv)
    steps = getattr(arguments, "steps", None) or []
    controls = {}
    for setting in arguments.control:
        symbol, equals, value = setting.partition("=")
        if not equals:
            _parser().error("-c takes SYMBOL=VALUE, not %r" % setting)
        controls[symbol] = value
    install_termination_handler()
    report = {"plugin_uri": arguments.plugin_uri, "steps": []}
    status = 1
    xvfb = None
    try:
        if arguments.xvfb:
            xvfb = XvfbServer(timeout=arguments.timeout).start()
        with JalvSession(arguments.plugin_uri, lv2_path=arguments.lv2_path,
                         preset=arguments.preset, controls=controls,
                         generic_ui=arguments.generic_ui,
                         display=xvfb.display if xvfb else None, timeout=arguments.timeout,
                         keep_dir=arguments.keep_dir) as session:
            report["ui_uri"] = session.ui_uri
            report["printed_controls"] = session.printed_controls()
            try:
                _run_steps(session, steps, report)
            finally:
                exit_report = session.close()
                report["exit"] = exit_report.as_dict()
                report["pids"] = session.pids()
            status = 0 if exit_report.status == 0 and not exit_report.crashed else 1
    except HarnessError as error:
        report["error"] = str(error)
    finally:
        if xvfb:
            xvfb.stop()
    json.dump(report, sys.stdout, indent=2)
    sys.stdout.write("\n")
    return status


if __name__ == "__main__":
    sys.exit(main())
