#!/usr/bin/env python3
"""The Linux drawing back end against GDI: the comparison scenes drawn by the widget set's GDI
back end in the win64 build under Wine (gdi_scene_renderer.exe) and by the framebuffer back end
natively (drawing_comparison_tests), pixel for pixel outside the text cells; and the editor's
BMP files of both builds, byte for byte (the 64-bit DLLs carry the win64 ones as resources, the
native program has the native ones built in).

Usage: gdi_comparison_test.py WIN64_BUILD_FOLDER NATIVE_BUILD_FOLDER COMPARISON_PROGRAM WORK_FOLDER
"""
import glob
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def same_artwork(win64, native):
    """Number of BMP files compared; raises when the folders differ in any."""
    mine = sorted(os.path.relpath(p, native) for p in glob.glob(os.path.join(native, "artwork", "*", "*.bmp")))
    theirs = sorted(os.path.relpath(p, win64) for p in glob.glob(os.path.join(win64, "artwork", "*", "*.bmp")))
    if not mine:
        raise RuntimeError("no artwork in %s (build the comparison program first)" % native)
    missing = sorted(set(mine) - set(theirs))
    if missing:
        raise RuntimeError("not in the win64 build: %s" % ", ".join(missing))
    for name in mine:
        with open(os.path.join(native, name), "rb") as a, open(os.path.join(win64, name), "rb") as b:
            if a.read() != b.read():
                raise RuntimeError("%s differs between the builds" % name)
    return len(mine)


def main():
    win64, native, program, work = sys.argv[1:5]
    renderer = os.path.join(win64, "bin", "gdi_scene_renderer.exe")
    if not os.path.isfile(renderer):
        print("missing: %s (build the win64 preset first)" % renderer)
        return 1
    os.makedirs(work, exist_ok=True)
    for old in glob.glob(os.path.join(work, "*.ppm")):
        os.remove(old)
    try:
        files = same_artwork(win64, native)
    except RuntimeError as error:
        print("DIFFERS: %s" % error)
        return 1
    print("%d artwork BMP files, the same bytes in both builds" % files)
    # Wine reads a Unix path through its Z: drive.
    result = subprocess.run([os.path.join(ROOT, "scripts", "wine-run"), renderer,
                             "Z:" + os.path.abspath(work)],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    print(result.stdout.decode(errors="replace").replace("\r", "").strip())
    if result.returncode != 0:
        print("the GDI renderer failed (%d)" % result.returncode)
        return 1
    env = dict(os.environ, KEL_GDI_SCENES=os.path.abspath(work))
    return subprocess.run([program, "--gtest_brief=1"], env=env).returncode


if __name__ == "__main__":
    sys.exit(main())
