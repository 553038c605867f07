#!/usr/bin/env python3
"""Draw the Zeltra artwork and write it as Windows resources.

Makes two files (paths relative to the repository root):

  src/resources/app.ico   icon with 16, 24, 32, 48, 64, 128 and 256 px
                          images, 32 bpp with alpha: BGRA DIB entries up to
                          128 px, the 256 px one PNG-compressed (read by
                          Windows since Vista)
  src/resources/logo.bmp  34 x 34 px, 24 bpp logo on the light grey page

The picture is a rounded blue tile carrying a white sheet of continuous
paper: sprocket holes along both margins, dashed tear-off lines beside
them, a dashed page perforation across the middle and a second, tinted
part peeking out behind (multi-part paper). Edges are anti-aliased by
supersampling. Only the standard library is used and the output is the
same byte for byte on every run.

Run from the repository root:

    python3 tools/make_artwork.py
"""

import os
import struct
import zlib

ACCENT = (0, 103, 192)
WHITE = (255, 255, 255)
BACK_PART = (160, 200, 236)   # the copy sheet behind the top one
PERF = (96, 150, 210)         # dashed perforation lines
TEXT = (196, 218, 240)        # hint of printed lines
PAGE_GREY = (243, 243, 243)   # window background behind the logo

ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
PNG_FROM = 256                # this size and larger are stored as PNG
LOGO_SIZE = 34

HERE = os.path.dirname(os.path.abspath(__file__))
OUT_DIR = os.path.join(HERE, os.pardir, "src", "resources")


# ---------------------------------------------------------------- shapes

def in_rrect(u, v, x0, y0, x1, y1, r):
    """Point (u, v) inside the rectangle x0..x1, y0..y1 with corner radius r."""
    if u < x0 or u > x1 or v < y0 or v > y1:
        return False
    dx = max(x0 + r - u, 0.0, u - (x1 - r))
    dy = max(y0 + r - v, 0.0, v - (y1 - r))
    return dx * dx + dy * dy <= r * r


def on_dash(t, start, end, period):
    """Point at position t along a dashed segment start..end (dash ~55 %)."""
    if t < start or t > end:
        return False
    n = max(1, round((end - start) / period))
    period = (end - start) / n
    return ((t - start) % period) < period * 0.55


def layout_large(size):
    """Geometry in unit coordinates (0..1, y down) for the large sizes."""
    x0, y0, x1, y1 = 0.19, 0.13, 0.75, 0.83
    margin = (x1 - x0) * 0.17
    mid = (y0 + y1) / 2
    holes = [(cx, mid + 0.1 * (k - 2.5), 0.028)
             for cx in (x0 + margin / 2, x1 - margin / 2) for k in range(6)]
    w = max(0.0055, 0.5 / size)          # at least one pixel wide
    dash = 0.06 if size >= 128 else 0.09
    perfs = [("h", mid, w, x0, x1, dash)]
    perfs += [("v", lx, w, y0, y1, dash * 0.8)
              for lx in (x0 + margin, x1 - margin)]
    tx = x0 + margin + 0.06
    texts = [(tx, top + 0.074 + k * 0.075, tx + length,
              top + 0.106 + k * 0.075, TEXT)
             for top in (y0, mid)
             for k, length in enumerate((0.26, 0.20, 0.24))]
    return {"tile": (0.03, 0.03, 0.97, 0.97, 0.19), "corner": 0.02,
            "sheet": (x0, y0, x1, y1), "back": (0.25, 0.17, 0.81, 0.87),
            "holes": holes, "rects": texts, "perfs": perfs}


# pixel-aligned sizes: inset of the tile, shift of the part behind,
# hole side, hole pitch, dash period (all in pixels)
SMALL = {16: (0, 1, 1, 2, 2), 24: (0, 2, 2, 3, 3), 32: (1, 2, 2, 4, 3),
         34: (1, 2, 2, 4, 3), 48: (1, 3, 3, 6, 4)}


def layout_small(size):
    """Pixel-aligned geometry for the small sizes: square holes, crisp lines."""
    s = size
    inset, off, h, pitch, period = SMALL[s]
    x0, y0 = round(0.17 * s), round(0.1 * s)
    x1, y1 = s - x0 - off, s - y0 - off  # exclusive pixel edges
    pr = y0 + (y1 - y0) // 2             # perforation row
    gap = 1
    tops = []
    top = pr - gap - h                   # holes above the perforation
    while top >= y0 + 1:
        tops.append(top)
        top -= pitch
    top = pr + 1 + gap                   # and below it
    while top <= y1 - 1 - h:
        tops.append(top)
        top += pitch
    rects = [(hx, t, hx + h, t + h, ACCENT)
             for hx in (x0 + 1, x1 - 1 - h) for t in tops]
    perfs = [("px", pr, x0, x1, period)]
    if s >= 32:                          # printed lines on each page
        tx0, tx1 = x0 + h + 3, x1 - h - 3
        step, th = (s - 2 * y0) // 8, h - 1
        for page in (y0, pr + 1):
            for k, frac in enumerate((1.0, 0.65, 0.85)):
                ty = page + step * (k + 1) - th // 2
                rects.append((tx0, ty, tx0 + round((tx1 - tx0) * frac),
                              ty + th, TEXT))
    unit = [(a / s, b / s, c / s, d / s, col) for a, b, c, d, col in rects]
    return {"tile": (inset / s, inset / s, 1 - inset / s, 1 - inset / s,
                     0.19), "corner": 0.0,
            "sheet": (x0 / s, y0 / s, x1 / s, y1 / s),
            "back": ((x0 + off) / s, (y0 + off) / s,
                     (x1 + off) / s, (y1 + off) / s),
            "holes": [], "rects": unit, "perfs": perfs, "size": s}


def layout(size):
    return layout_small(size) if size in SMALL else layout_large(size)


def colour_at(u, v, g):
    """Colour (r, g, b) of the scene at (u, v), or None for transparent."""
    if not in_rrect(u, v, *g["tile"]):
        return None
    x0, y0, x1, y1 = g["sheet"]
    if not in_rrect(u, v, x0, y0, x1, y1, g["corner"]):
        if in_rrect(u, v, *g["back"], g["corner"]):
            return BACK_PART
        return ACCENT
    # sprocket holes show the tile through the paper
    for cx, cy, r in g["holes"]:
        if (u - cx) ** 2 + (v - cy) ** 2 <= r * r:
            return ACCENT
    for rx0, ry0, rx1, ry1, col in g["rects"]:   # holes, printed lines
        if rx0 <= u < rx1 and ry0 <= v < ry1:
            return col
    for perf in g["perfs"]:
        if perf[0] == "px":              # one pixel row, pixel dashes
            _, row, a, b, period = perf
            px, py = int(u * g["size"]), int(v * g["size"])
            if py == row and a <= px < b and (px - a) % period < period - 1:
                return PERF
            continue
        axis, pos, w, a, b, period = perf
        along, across = (u, v) if axis == "h" else (v, u)
        if abs(across - pos) <= w and on_dash(along, a, b, period):
            return PERF
    return WHITE


def render(size, samples=4):
    """RGBA rows (top-down) of the artwork at size x size, supersampled."""
    g = layout(size)
    n = samples * samples
    offsets = [(k + 0.5) / samples for k in range(samples)]
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = gr = b = a = 0
            for oy in offsets:
                v = (py + oy) / size
                for ox in offsets:
                    c = colour_at((px + ox) / size, v, g)
                    if c is not None:
                        r += c[0]
                        gr += c[1]
                        b += c[2]
                        a += 1
            if a * 32 < n:   # empty, or a sliver under 1/32: clear
                row.append((0, 0, 0, 0))
            else:   # un-premultiply: average colour of the covered samples
                row.append((round(r / a), round(gr / a), round(b / a),
                            round(255 * a / n)))
        rows.append(row)
    return rows


# --------------------------------------------------------------- writers

def dib_32(rows):
    """BITMAPINFOHEADER + bottom-up BGRA pixels + 1-bpp AND mask."""
    size = len(rows)
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def png_filtered(row, prev, kind):
    """One scanline with PNG filter kind (0 none, 1 sub, 2 up, 3 average,
    4 Paeth) applied; 4 bytes per pixel."""
    out = bytearray(len(row))
    for i, x in enumerate(row):
        a = row[i - 4] if i >= 4 else 0
        b = prev[i]
        c = prev[i - 4] if i >= 4 else 0
        if kind == 0:
            pred = 0
        elif kind == 1:
            pred = a
        elif kind == 2:
            pred = b
        elif kind == 3:
            pred = (a + b) // 2
        else:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
        out[i] = (x - pred) & 0xFF
    return out


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(
        ">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_rgba(rows):
    """8-bit RGBA PNG. Each row takes the filter with the smallest sum of
    magnitudes (the usual guess); the shorter of two zlib strategies wins."""
    size = len(rows)
    raw = bytearray()
    prev = bytes(size * 4)
    for row in rows:
        line = bytes(c for px in row for c in px)
        kind, best = min(
            ((k, png_filtered(line, prev, k)) for k in range(5)),
            key=lambda kf: sum(v if v < 128 else 256 - v for v in kf[1]))
        raw.append(kind)
        raw += best
        prev = line
    streams = []
    for strategy in (zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED):
        c = zlib.compressobj(9, zlib.DEFLATED, 15, 9, strategy)
        streams.append(c.compress(bytes(raw)) + c.flush())
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) +
            png_chunk(b"IDAT", min(streams, key=len)) +
            png_chunk(b"IEND", b""))


def icon_image(size):
    rows = render(size, 8 if size <= 32 else 4)
    return png_rgba(rows) if size >= PNG_FROM else dib_32(rows)


def write_ico(path, sizes):
    images = [icon_image(s) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        dim = 0 if s >= 256 else s
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32,
                           len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def write_logo_bmp(path, size):
    rows = render(size, 8)
    stride = (size * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, a in row:   # composite over the page grey
            mix = [(c * a + p * (255 - a) + 127) // 255
                   for c, p in zip((r, g, b), PAGE_GREY)]
            line += bytes((mix[2], mix[1], mix[0]))
        pixels += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0,
                       len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels),
                       0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(head + info + bytes(pixels))


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    ico = os.path.normpath(os.path.join(OUT_DIR, "app.ico"))
    bmp = os.path.normpath(os.path.join(OUT_DIR, "logo.bmp"))
    write_ico(ico, ICON_SIZES)
    write_logo_bmp(bmp, LOGO_SIZE)
    print("wrote", ico)
    print("wrote", bmp)


if __name__ == "__main__":
    main()
