#!/usr/bin/env python3
"""Turns an artwork source (SVG) into the 24-bit BMP that goes into the plug-in modules.

Usage: svg_to_bmp.py --rsvg RSVG_CONVERT --size WxH [--key R,G,B] [--png KEEP.png] IN.svg OUT.bmp

rsvg-convert renders the SVG to an RGBA PNG at its own size, which must be WxH. Without --key the
bitmap is drawn opaque by the editor, and every pixel of the rendering must be opaque. With --key
the bitmap is drawn keyed on pure white: pixels less than half covered become pure white, the
others are composited over the matte colour R,G,B (the colour the edge sits on, so that no light
fringe is left around the shape), and no drawn pixel comes closer to the key than a smallest
channel of 229 (GDI keys on exact white, but a pixel of (240, 240, 240) beside the key reads as a
fringe). The output depends on nothing but the rendered pixels: same sources, same bytes.
"""
import argparse
import struct
import subprocess
import sys
import zlib

KEY = (255, 255, 255)
NEAR_WHITE = 230  # smallest channel from which a drawn pixel of a keyed bitmap is too light


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def decode_png(data):
    """Width, height and rows of RGBA tuples of an 8-bit RGB or RGBA, non-interlaced PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos : pos + 8])
        body = data[pos + 8 : pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError("PNG must be 8-bit RGB or RGBA, not interlaced")
    channels = 4 if colour == 6 else 3
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1 : start + 1 + stride])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                line[i] = (line[i] + paeth(a, b, c)) & 255
            elif kind != 0:
                raise ValueError("unknown PNG filter %d" % kind)
        previous = line
        if channels == 4:
            rows.append([tuple(line[x : x + 4]) for x in range(0, stride, 4)])
        else:
            rows.append([tuple(line[x : x + 3]) + (255,) for x in range(0, stride, 3)])
    return width, height, rows


def keyed(pixel, matte):
    r, g, b, a = pixel
    if a < 128:
        return KEY
    out = [(c * a + m * (255 - a) + 127) // 255 for c, m in zip((r, g, b), matte)]
    excess = min(out) - (NEAR_WHITE - 1)
    if excess > 0:
        out = [c - excess for c in out]
    return tuple(out)


def opaque(pixel, x, y):
    if pixel[3] != 255:
        raise ValueError("pixel (%d, %d) of an opaque bitmap is not opaque" % (x, y))
    return pixel[:3]


def bmp_bytes(width, height, rows):
    """A 24-bit bottom-up BMP with a BITMAPINFOHEADER; rows are top-down RGB tuples."""
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b in row:
            pixels += bytes((b, g, r))
        pixels += bytes(stride - width * 3)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + bytes(pixels)


def convert(png, size, matte):
    width, height, rows = decode_png(png)
    if (width, height) != size:
        raise ValueError("rendered %dx%d, the bitmap is %dx%d" % ((width, height) + size))
    if matte is None:
        rgb = [[opaque(p, x, y) for x, p in enumerate(row)] for y, row in enumerate(rows)]
    else:
        rgb = [[keyed(p, matte) for p in row] for row in rows]
    return bmp_bytes(width, height, rgb)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rsvg", required=True, help="the rsvg-convert program")
    parser.add_argument("--size", required=True, help="WxH in pixels")
    parser.add_argument("--key", help="matte colour R,G,B: the bitmap is keyed on pure white")
    parser.add_argument("--png", help="also keep the rendering here")
    parser.add_argument("svg")
    parser.add_argument("bmp")
    args = parser.parse_args()
    size = tuple(int(v) for v in args.size.split("x"))
    matte = tuple(int(v) for v in args.key.split(",")) if args.key else None
    png = subprocess.run([args.rsvg, "--format=png", args.svg], check=True, stdout=subprocess.PIPE).stdout
    try:
        bmp = convert(png, size, matte)
    except ValueError as error:
        sys.exit("%s: %s" % (args.svg, error))
    if args.png:
        with open(args.png, "wb") as f:
            f.write(png)
    with open(args.bmp, "wb") as f:
        f.write(bmp)


if __name__ == "__main__":
    main()
