#!/usr/bin/env python3
"""The jalv.gtk3 harness (tests/support/jalv_session.py): first what it makes of X window dumps,
PNG files, jalv's printed values, its saved states and its ends, from tables; then real sessions
under the display in DISPLAY: our HN-6 in jalv's generic controls, asked for in place of its
editor (window, screenshot, a preset and a control value given at start seen back, closing,
nothing left running), x42's Digital
Peak Limiter, a Debian plug-in with an X11 UI that suil embeds (the UI's window, a click, the
wheel and a drag changing controls that the harness reads back), a crash, a plug-in jalv cannot
find and a wait that cannot succeed; and the command line, on an Xvfb display of its own.

Usage: jalv_session_test.py BUNDLES_FOLDER
"""
import json
import os
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
sys.path.insert(0, os.path.join(ROOT, "scripts"))

from jalv_session import (HarnessError, JackServer, JalvSession, check_png,  # noqa: E402
                          crash_reason, group_alive, install_termination_handler,
                          parse_printed_controls, parse_state_ports, png_bytes, read_png,
                          xwd_to_rgb)
from svg_to_bmp import decode_png  # noqa: E402

HN6 = "https://sonadrix.com/lv2/orvalle-vol2/hn6-clean-preamp"
DPL = "http://gareus.org/oss/lv2/dpl#mono"
DPL_UI = "http://gareus.org/oss/lv2/dpl#ui_gl"
# Places in the x42 limiter's UI (its own layout, seen in its screenshots): the threshold
# mode button (dBFS or dBTP, the "truepeak" control), the Input Gain and Release knobs.
DPL_MODE_BUTTON = (81, 68)
DPL_GAIN_KNOB = (22, 22)
DPL_RELEASE_KNOB = (183, 22)

failures = []
checks = 0


def expect(condition, what):
    global checks
    checks += 1
    if not condition:
        failures.append(what)
        print("FAILED: " + what)


def raises(call, *words):
    """Whether call() raises HarnessError naming every word."""
    try:
        call()
    except HarnessError as error:
        return all(word in str(error) for word in words) or str(error)
    return False


# ---------------------------------------------------------------------------------------------
# Tables.

def xwd(width, height, bits_per_pixel, byte_order, masks, visual_class, pixels, pad=4,
        colours=2, version=7):
    """An X window dump as xwd writes it: a header in big-endian order with the window's name,
    colour map entries, and rows of pixels padded with 0xEE bytes."""
    name = b"window\0"
    pixel_bytes = bits_per_pixel // 8
    bytes_per_line = width * pixel_bytes + pad
    header = struct.pack(">25I", 100 + len(name), version, 2, 24, width, height, 0, byte_order,
                         32, 0, 32, bits_per_pixel, bytes_per_line, visual_class, *masks, 8,
                         256, colours, width, height, 0, 0, 0)
    endian = "little" if byte_order == 0 else "big"
    rows = b"".join(b"".join(p.to_bytes(pixel_bytes, endian) for p in pixels[y * width:
                                                                             (y + 1) * width])
                    + b"\xee" * pad for y in range(height))
    return header + name + b"\0" * 12 * colours + rows


RGB_MASKS = (0xFF0000, 0xFF00, 0xFF)
RGB_PIXELS = [0xFF0000, 0x00FF00, 0x0000FF, 0x123456]
RGB_WANTED = bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 0x12, 0x34, 0x56])
XWD_CASES = [
    ("32 bits, LSB first, TrueColor", 32, 0, RGB_MASKS, 4, RGB_PIXELS, RGB_WANTED),
    ("24 bits packed, DirectColor", 24, 0, RGB_MASKS, 5, RGB_PIXELS, RGB_WANTED),
    ("32 bits, MSB first", 32, 1, RGB_MASKS, 4, RGB_PIXELS, RGB_WANTED),
    ("16 bits, 5-6-5", 16, 0, (0xF800, 0x07E0, 0x001F), 4, [0xF800, 0x07E0, 0x001F, 0x1234],
     bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 16, 68, 164])),
]
XWD_REFUSED = [
    ("cut short", xwd(2, 2, 32, 0, RGB_MASKS, 4, RGB_PIXELS)[:-20], "cut short"),
    ("too short for a header", b"\0" * 40, "too short"),
    ("another version", xwd(2, 2, 32, 0, RGB_MASKS, 4, RGB_PIXELS, version=6), "version 7"),
    ("a colour map window", xwd(2, 2, 32, 0, RGB_MASKS, 3, RGB_PIXELS), "true colour"),
]


def test_window_dumps():
    for what, bits, order, masks, visual, pixels, wanted in XWD_CASES:
        width, height, rgb = xwd_to_rgb(xwd(2, 2, bits, order, masks, visual, pixels))
        expect((width, height, rgb) == (2, 2, wanted),
               "dump of %s: %s, not %s" % (what, (width, height, rgb.hex()), wanted.hex()))
    for what, data, word in XWD_REFUSED:
        expect(raises(lambda: xwd_to_rgb(data), word) is True,
               "a dump %s is refused naming %r" % (what, word))


def damaged(png, offset):
    return png[:offset] + bytes([png[offset] ^ 1]) + png[offset + 1:]


def test_png_files(folder):
    rgb = bytes(range(60)) + bytes(range(200, 236))  # 8 x 4 pixels
    png = png_bytes(8, 4, rgb)
    expect(check_png(png) == (8, 4), "our PNG checks as 8 x 4")
    width, height, rows = decode_png(png)
    expect((width, height) == (8, 4) and
           bytes(c for row in rows for pixel in row for c in pixel[:3]) == rgb,
           "the artwork converter's decoder reads our PNG's pixels back")
    without_end = png[:-12]
    idat = png.index(b"IDAT") - 4
    length, = struct.unpack(">I", png[idat:idat + 4])
    short_pixels = zlib.compress(b"\0" * 10)
    short = (png[:idat] + struct.pack(">I", len(short_pixels)) + b"IDAT" + short_pixels +
             struct.pack(">I", zlib.crc32(b"IDAT" + short_pixels)) + png[idat + 12 + length:])
    for what, data, word in (("with a damaged header", damaged(png, 20), "CRC"),
                             ("with damaged pixels", damaged(png, idat + 10), "CRC"),
                             ("without its end", without_end, "end last"),
                             ("with too few pixels", short, "bytes of pixels"),
                             ("that is a BMP", b"BM" + png[2:], "not a PNG")):
        expect(raises(lambda: check_png(data), word) is True,
               "a PNG %s is refused naming %r" % (what, word))

    # A PNG from another encoder (librsvg's, with its row filters): colours known from the SVG.
    svg = os.path.join(folder, "squares.svg")
    with open(svg, "w") as f:
        f.write('<svg xmlns="http://www.w3.org/2000/svg" width="40" height="20">'
                '<rect width="20" height="20" fill="#ff0000"/>'
                '<rect x="20" width="20" height="20" fill="#20c040"/></svg>')
    rendered = os.path.join(folder, "squares.png")
    subprocess.run(["rsvg-convert", svg, "-o", rendered], check=True)
    width, height, rows = read_png(rendered)
    expect((width, height) == (40, 20) and rows[10][5][:3] == (255, 0, 0) and
           rows[19][39][:3] == (32, 192, 64), "read_png reads librsvg's PNG: %s %s" % (
               (width, height), (rows[10][5], rows[19][39])))


JALV_STATE = """<>
\ta pset:Preset ;
\tlv2:appliesTo <https://sonadrix.com/lv2/orvalle-vol2/hn6-clean-preamp> ;
\tlv2:port [
\t\tlv2:symbol "bright" ;
\t\tpset:value 5.0
\t] , [
\t\tlv2:symbol "enabled" ;
\t\tpset:value 1.0
\t] , [
\t\tlv2:symbol "gain" ;
\t\tpset:value 51.0
\t] .
"""
STATE_CASES = [
    ("jalv's state of the HN-6", JALV_STATE, {"bright": 5.0, "enabled": 1.0, "gain": 51.0}),
    ("exponents and signs", '[ lv2:symbol "release" ; pset:value 1.0e-05 ] , '
     '[ lv2:symbol "threshold" ; pset:value -1.5 ]', {"release": 1e-05, "threshold": -1.5}),
    ("a typed literal", '[ lv2:symbol "mix" ; pset:value "0.25"^^xsd:float ]', {"mix": 0.25}),
    ("a state without ports", "<> a pset:Preset .", {}),
]
PRINTED = """Plugin:       https://sonadrix.com/lv2/orvalle-vol2/hn6-clean-preamp
Sample rate:  48000 Hz
gain = 33.000000
enabled = 1.000000
gain = 33.000000
level = -10.000000
"""
X_ERROR = ("(jalv.gtk3:27596): Gdk-WARNING **: 05:10:00.669: The program 'jalv.gtk3' "
           "received an X Window System error.\n"
           "The error was 'BadWindow (invalid Window parameter)'.\n"
           "  (Details: serial 190 error_code 3 request_code 3 (core protocol) minor_code 0)\n")
CRASH_CASES = [
    ("a closed window", 0, False, "Exiting...\n", None),
    ("a segmentation fault", -11, False, "", "SIGSEGV"),
    ("the harness's own SIGTERM", -15, True, "", None),
    ("an X error", 1, False, X_ERROR, "BadWindow"),
    ("a fatal GLib error", 1, False, "(jalv.gtk3:1): GLib-ERROR **: 12:00: out of memory\n",
     "GLib"),
]


def test_what_jalv_writes():
    for what, text, wanted in STATE_CASES:
        expect(parse_state_ports(text) == wanted, "state with %s gives %s: %s" % (
            what, wanted, parse_state_ports(text)))
    printed = parse_printed_controls(PRINTED)
    expect(printed == [("gain", 33.0), ("enabled", 1.0), ("gain", 33.0), ("level", -10.0)],
           "jalv's printed values in order: %s" % printed)
    for what, code, ours, stderr, word in CRASH_CASES:
        reason = crash_reason(code, ours, stderr)
        expect(bool(reason) == bool(word) and (word is None or word in reason),
               "%s is %s: %r" % (what, "a crash naming " + word if word else "no crash",
                                 reason))


# ---------------------------------------------------------------------------------------------
# Sessions.

def nothing_left(pids, jack_name):
    running = [what for what, pid in pids.items() if pid and group_alive(pid)]
    answers = JackServer(name=jack_name).answers()
    return not running and not answers, (running, answers)


def test_hn6_generic_controls(bundles, folder):
    started = time.monotonic()
    with JalvSession(HN6, lv2_path=bundles, preset=HN6 + "/presets/1",
                     controls={"output": 12}, generic_ui=True) as session:
        main = session.main_window()
        expect(session.ui_uri is None, "asked for them, jalv shows its generic controls")
        expect(main.name == "HN-6 Clean Preamp - Low Hot" and main.width > 200 and
               main.height > 100, "jalv's window is the HN-6's with its preset: %s" % main)
        # The preset's values from the bundle's Turtle, the Output given at start over its own.
        with open(os.path.join(bundles, "sonadrix-hn6-clean-preamp.lv2", "presets.ttl")) as f:
            preset = parse_state_ports(f.read().split("/presets/1>")[1].split("/presets/2>")[0])
        wanted = dict(preset, enabled=1.0, output=12.0)
        printed = dict(session.printed_controls())
        expect(preset["gain"] == 44.0 and printed == wanted,
               "jalv printed Low Hot's values with the Output given: %s, not %s" % (
                   printed, wanted))

        picture = os.path.join(folder, "hn6.png")
        size = session.screenshot(main, picture)
        with open(picture, "rb") as f:
            expect(check_png(f.read()) == (main.width, main.height) == size,
                   "the screenshot is a valid PNG of the window's size: %s" % (size,))
        width, height, rows = read_png(picture)
        colours = {pixel for row in rows for pixel in row}
        expect(len(colours) > 10, "the screenshot shows the controls: %d colours" % len(colours))
        screen = session.x.window(session.x.root)
        whole = os.path.join(folder, "screen.png")
        session.screenshot(screen, whole)
        _, _, screen_rows = read_png(whole)
        crop = [row[main.x:main.x + main.width] for row in screen_rows[main.y:main.y + height]]
        expect(crop == rows, "the window's screenshot is what the screen shows at its place")

        controls = session.read_controls()
        expect(controls == printed, "the host holds what it printed at start: %s, %s" % (
            controls, printed))
        expect(raises(lambda: session.plugin_window(timeout=1), "no plug-in UI window") is True,
               "looking for a plug-in UI in the generic controls fails after its timeout")

        report = session.close()
        expect(report.status == 0 and not report.crashed and not report.killed_by_harness and
               "Exiting..." in report.stderr, "closing the window ends jalv with status 0: %s"
               % report)
        pids, jack_name, home = session.pids(), session.jack_server.name, session.home
    left, what = nothing_left(pids, jack_name)
    expect(left, "no jalv and no jackd left after the session: %s" % (what,))
    expect(not os.path.exists(home), "the session's home folder is removed")
    print("HN-6 session: %.1f s" % (time.monotonic() - started))


def started_peer_session(jack, attempts=3):
    """A started jalv session of the limiter. Its GL UI, not ours, now and then dies while it
    opens on a busy display (a BadWindow X error, once a SIGSEGV, with other tests' clients coming
    and going); a start that crashed is tried again, and said. Any other failure stands."""
    for attempt in range(1, attempts + 1):
        session = JalvSession(DPL, jack=jack)
        try:
            return session.start()
        except HarnessError as error:
            if attempt == attempts or ", ended by " not in str(error):
                raise
            print("the limiter's UI died as it opened (try %d of %d): %s" %
                  (attempt, attempts, str(error).splitlines()[0]))


def test_x42_limiter_ui(jack, folder):
    started = time.monotonic()
    session = started_peer_session(jack)
    try:
        expect(session.ui_uri == DPL_UI, "jalv shows the limiter's own UI: %s" % session.ui_uri)
        main, ui = session.main_window(), session.plugin_window()
        x, y = session.offset_in(ui, main)
        expect(ui.id != main.id and x >= 0 and y > 0 and x + ui.width <= main.width and
               y + ui.height <= main.height, "the UI's window %s lies in jalv's %s below its "
               "menu" % (ui, main))
        before = os.path.join(folder, "dpl-before.png")
        size = session.screenshot(ui, before)
        expect(size == (ui.width, ui.height), "the UI's screenshot has its size: %s" % (size,))

        start = session.read_controls()
        expect(start.get("truepeak") == 0.0 and "gain" in start and "release" in start,
               "the limiter starts with its threshold in dBFS: %s" % start)
        session.click(ui, *DPL_MODE_BUTTON)
        clicked = session.read_controls()
        expect(clicked == dict(start, truepeak=1.0),
               "a click on the mode button switches truepeak alone: %s" % clicked)
        after = os.path.join(folder, "dpl-after.png")
        session.screenshot(ui, after)
        bx, by = DPL_MODE_BUTTON
        button = [row[bx - 30:bx + 30] for row in read_png(after)[2][by - 8:by + 8]]
        old_button = [row[bx - 30:bx + 30] for row in read_png(before)[2][by - 8:by + 8]]
        expect(button != old_button, "the button shows the new mode")

        session.wheel(ui, *DPL_GAIN_KNOB, direction="up", clicks=3)
        turned = session.read_controls()
        expect(turned["gain"] > clicked["gain"] and
               dict(turned, gain=0) == dict(clicked, gain=0),
               "the wheel up over Input Gain raises it alone: %s" % turned)
        session.drag(ui, DPL_RELEASE_KNOB, (DPL_RELEASE_KNOB[0], DPL_RELEASE_KNOB[1] - 20))
        dragged = session.read_controls()
        expect(dragged["release"] > turned["release"] and
               dict(dragged, release=0) == dict(turned, release=0),
               "a drag up on Release raises it alone: %s" % dragged)

        report = session.close()
        expect(report.status == 0 and not report.crashed,
               "closing the limiter's window ends jalv with status 0: %s" % report)
        jalv = session.pids()["jalv"]
    finally:
        session.stop()
    expect(not group_alive(jalv) and jack.answers(),
           "the session ended jalv and left the JACK server it was given running")
    print("x42 session: %.1f s" % (time.monotonic() - started))


def test_ends_that_go_wrong(bundles, jack):
    with JalvSession(HN6, lv2_path=bundles, jack=jack) as session:
        jalv = session.pids()["jalv"]
        os.kill(jalv, signal.SIGSEGV)
        report = session.close()
        expect(report.crashed and report.signal == signal.SIGSEGV and report.status is None and
               "SIGSEGV" in report.reason, "a segmentation fault is reported: %s" % report)
    expect(not group_alive(jalv), "nothing is left of the crashed jalv")

    started = time.monotonic()
    session = JalvSession("urn:sonadrix:no-such-plugin", lv2_path=bundles, jack=jack)
    outcome = raises(session.start, "jalv.gtk3 ended", "Failed to find plugin")
    expect(outcome is True and time.monotonic() - started < session.timeout,
           "a plug-in jalv cannot find ends the session at once with jalv's words: %s" % outcome)
    expect(not group_alive(session.pids()["jalv"]), "nothing is left of that jalv")


def test_command_line(bundles, folder):
    """The command line the demo calls, on an Xvfb display of its own."""
    picture = os.path.join(folder, "cli.png")
    started = time.monotonic()
    result = subprocess.run(
        [sys.executable, os.path.join(ROOT, "tests", "support", "jalv_session.py"), "--xvfb",
         "--lv2-path", bundles, "-c", "gain=21", "--generic-ui", "--screenshot", picture,
         "--read-controls", HN6], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    try:
        report = json.loads(result.stdout)
    except ValueError:
        report = {}
    steps = report.get("steps", [])
    main_window = report.get("main_window", {})
    expect(result.returncode == 0 and report.get("exit", {}).get("status") == 0 and
           "error" not in report, "the command line ran and closed jalv: %d %s %s" % (
               result.returncode, result.stdout[-500:], result.stderr[-500:]))
    expect(len(steps) == 2 and steps[0].get("size") == [main_window.get("width"),
                                                         main_window.get("height")],
           "its screenshot has the window's size: %s %s" % (steps[:1], main_window))
    with open(picture, "rb") as f:
        expect(check_png(f.read()) == tuple(steps[0].get("size", ())),
               "its screenshot is a valid PNG")
    expect(steps[1:] and steps[1].get("controls", {}).get("gain") == 21.0,
           "it reads back the Gain given: %s" % steps[1:])
    pids = report.get("pids", {})
    expect(pids and not any(group_alive(pid) for pid in pids.values()),
           "nothing is left of its jalv and jackd: %s" % pids)
    print("command line: %.1f s" % (time.monotonic() - started))


def main():
    bundles = os.path.abspath(sys.argv[1])
    install_termination_handler()
    test_window_dumps()
    test_what_jalv_writes()
    with tempfile.TemporaryDirectory(prefix="jalv-session-test-") as folder:
        test_png_files(folder)
        if not os.environ.get("DISPLAY"):
            expect(False, "the sessions need an X display in DISPLAY (run under xvfb-run)")
        else:
            test_hn6_generic_controls(bundles, folder)
            test_command_line(bundles, folder)
            with JackServer() as jack:
                test_x42_limiter_ui(jack, folder)
                test_ends_that_go_wrong(bundles, jack)
                jack_name, jackd = jack.name, jack.child.pid
            left, what = nothing_left({"jackd": jackd}, jack_name)
            expect(left, "the JACK server the tests started is stopped: %s" % (what,))
    print("%d passed, %d failed" % (checks - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
