#!/usr/bin/env python3
"""Draw the two icons of uninstall.exe and write them as .ico files.

    vmz.ico  product icon: a blue archive chest with a gold clasp and a gold "V"
    del.ico  uninstaller icon: the same chest, smaller, with a red "remove" badge

Each file holds 48x48, 32x32 and 16x16 images, 32-bit BGRA bitmaps with an
AND mask (the classic bitmap-in-icon layout that every Windows version reads).
Standard library only. Usage:

    python3 tools/make_icons.py [output-folder]

The output folder defaults to src/res beside this script's folder.
"""

import os
import struct
import sys

SIZES = (48, 32, 16)
SUBSAMPLES = 8  # per axis, for anti-aliased edges


# ---------------------------------------------------------------- shapes
# A shape is a function (x, y) -> bool in unit coordinates: (0, 0) is the
# top-left corner of the icon, (1, 1) the bottom-right one.

def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    def inside(x, y):
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def _segment_distance2(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2


def stroke(ax, ay, bx, by, width):
    half2 = (width / 2) ** 2
    def inside(x, y):
        return _segment_distance2(x, y, ax, ay, bx, by) <= half2
    return inside


def polygon(points, grow=0.0):
    """Filled polygon, optionally grown outwards by `grow` (for outlines)."""
    edges = list(zip(points, points[1:] + points[:1]))
    grow2 = grow * grow
    def inside(x, y):
        hit = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y):
                if x < ax + (y - ay) * (bx - ax) / (by - ay):
                    hit = not hit
        if hit:
            return True
        if grow > 0:
            return any(_segment_distance2(x, y, ax, ay, bx, by) <= grow2
                       for (ax, ay), (bx, by) in edges)
        return False
    return inside


def pixel_set(cells, n):
    """Exactly the given (column, row) pixels of an n x n icon."""
    def inside(x, y):
        return (int(x * n), int(y * n)) in cells
    return inside


def transformed(shape, scale, ox, oy):
    """The shape scaled by `scale` and then moved by (ox, oy)."""
    def inside(x, y):
        return shape((x - ox) / scale, (y - oy) / scale)
    return inside


# ---------------------------------------------------------------- colours

def rgb(hex_text):
    v = int(hex_text.lstrip('#'), 16)
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)


def flat(hex_text):
    c = rgb(hex_text)
    return lambda x, y: c


def vertical(top_hex, bottom_hex, y0, y1):
    top, bottom = rgb(top_hex), rgb(bottom_hex)
    def colour(x, y):
        t = min(max((y - y0) / (y1 - y0), 0.0), 1.0)
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))
    return colour


# ---------------------------------------------------------------- artwork

OUTLINE = '#13305c'
GOLD_EDGE = '#7a4f00'


def chest_layers(n, scale=1.0, ox=0.0, oy=0.0):
    """The archive chest with its clasp and "V", as (shape, colour) layers."""
    px = 1.0 / n
    line = px * (1.5 if n >= 40 else 1.0)   # outline width
    s = scale
    layers = []

    def add(shape, colour):
        # Shape and gradient both follow the chest's scale and position.
        layers.append((transformed(shape, s, ox, oy),
                       lambda x, y: colour((x - ox) / s, (y - oy) / s)))

    def t(v):  # a length in icon pixels, expressed in the chest's own units
        return v / s

    # Body.
    bx0, by0, bx1, by1 = 0.06, 0.30, 0.94, 0.95
    add(rounded_rect(bx0, by0, bx1, by1, 0.10), flat(OUTLINE))
    add(rounded_rect(bx0 + t(line), by0 + t(line), bx1 - t(line),
                     by1 - t(line), 0.10 - t(line) / 2),
        vertical('#58a0ec', '#1d54a8', by0, by1))
    # Lid, slightly wider than the body.
    lx0, ly0, lx1, ly1 = 0.02, 0.08, 0.98, 0.37
    add(rounded_rect(lx0, ly0, lx1, ly1, 0.08), flat(OUTLINE))
    add(rounded_rect(lx0 + t(line), ly0 + t(line), lx1 - t(line),
                     ly1 - t(line), 0.08 - t(line) / 2),
        vertical('#8cc0f7', '#3b7bd0', ly0, ly1))
    if n > 16:
        # Clasp across the lid's edge; too small to read at 16 pixels.
        cx0, cy0, cx1, cy1 = 0.41, 0.24, 0.59, 0.44
        add(rounded_rect(cx0, cy0, cx1, cy1, 0.03), flat(GOLD_EDGE))
        add(rounded_rect(cx0 + t(line), cy0 + t(line), cx1 - t(line),
                         cy1 - t(line), 0.02),
            vertical('#ffe08a', '#e39b1b', cy0, cy1))
        v = [(0.20, 0.50), (0.37, 0.50), (0.50, 0.76), (0.63, 0.50),
             (0.80, 0.50), (0.58, 0.90), (0.42, 0.90)]
        add(polygon(v, grow=t(line)), flat(GOLD_EDGE))
    else:
        # A bolder "V" without an edge line, so that it stays a "V".
        v = [(0.16, 0.44), (0.38, 0.44), (0.50, 0.70), (0.62, 0.44),
             (0.84, 0.44), (0.60, 0.90), (0.40, 0.90)]
    add(polygon(v), vertical('#ffe487', '#e8a020', v[0][1], 0.90))
    return layers


def product_icon(n):
    return chest_layers(n)


def uninstall_icon(n):
    px = 1.0 / n
    layers = chest_layers(n, scale=0.84)
    # Red round badge with a white cross at the bottom right. At 16 pixels
    # the badge is centred on a pixel so that the cross has sharp arms.
    if n > 16:
        cx = cy = 0.73
        r = 0.26
    else:
        cx = cy = 11.5 * px
        r = 4.4 * px
    ring = px * (1.5 if n >= 40 else 1.0)
    layers.append((circle(cx, cy, r + ring), flat('#ffffff')))
    layers.append((circle(cx, cy, r), vertical('#f0574b', '#b3231a',
                                               cy - r, cy + r)))
    if n > 16:
        arm = r * 0.48
        width = r * 0.36
        layers.append((stroke(cx - arm, cy - arm, cx + arm, cy + arm, width),
                       flat('#ffffff')))
        layers.append((stroke(cx - arm, cy + arm, cx + arm, cy - arm, width),
                       flat('#ffffff')))
    else:
        # Drawn pixel by pixel: two one-pixel diagonals through (11, 11).
        cross = {(11 + d, 11 + d) for d in range(-2, 3)}
        cross |= {(11 + d, 11 - d) for d in range(-2, 3)}
        layers.append((pixel_set(cross, n), flat('#ffffff')))
    return layers


# ---------------------------------------------------------------- raster

def render(layers, n):
    """Composite the layers into n x n straight-alpha RGBA pixels, top row first."""
    pixels = []
    offsets = [(i + 0.5) / SUBSAMPLES for i in range(SUBSAMPLES)]
    total = SUBSAMPLES * SUBSAMPLES
    for py in range(n):
        row = []
        for px in range(n):
            # Premultiplied accumulation, layer over layer.
            r = g = b = a = 0.0
            cxp, cyp = (px + 0.5) / n, (py + 0.5) / n
            samples = [((px + ox) / n, (py + oy) / n)
                       for oy in offsets for ox in offsets]
            for shape, colour in layers:
                hits = sum(1 for x, y in samples if shape(x, y))
                if not hits:
                    continue
                cover = hits / total
                cr, cg, cb = colour(cxp, cyp)
                r = cr * cover + r * (1 - cover)
                g = cg * cover + g * (1 - cover)
                b = cb * cover + b * (1 - cover)
                a = cover + a * (1 - cover)
            if a > 0:
                row.append((round(r / a), round(g / a), round(b / a),
                            round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def icon_image(pixels):
    """One icon image: BITMAPINFOHEADER, BGRA rows and AND mask, bottom-up."""
    n = len(pixels)
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((n + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:          # fully transparent: let the screen through
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def write_ico(path, images):
    """images: list of (size, image bytes)."""
    count = len(images)
    out = bytearray(struct.pack('<HHH', 0, 1, count))
    offset = 6 + 16 * count
    for n, data in images:
        out += struct.pack('<BBBBHHII', n % 256, n % 256, 0, 0, 1, 32,
                           len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, '..', 'src', 'res')
    for name, artwork in (('vmz.ico', product_icon),
                          ('del.ico', uninstall_icon)):
        images = [(n, icon_image(render(artwork(n), n))) for n in SIZES]
        path = os.path.join(out_dir, name)
        write_ico(path, images)
        print('wrote', os.path.normpath(path))


if __name__ == '__main__':
    main()
