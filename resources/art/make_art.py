#!/usr/bin/env python3
"""Draws the main program's icons, cursors, toolbar strips and pictures.

Only the Python standard library is used. The generated files are committed next to this
script, so the build never runs it; run it again (python3 make_art.py) after changing a
drawing and commit the results together with the script.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 4  # sub-samples per pixel side for edge smoothing


def rgb(h):
    return ((h >> 16) & 255, (h >> 8) & 255, h & 255)


class Canvas:
    """RGBA picture with premultiplied-free straight alpha, painted with smoothed shapes."""

    def __init__(self, w, h, bg=None):
        self.w, self.h = w, h
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]
        if bg is not None:
            self.rect(0, 0, w, h, bg)

    def blend(self, x, y, color, a):
        if a <= 0 or x < 0 or y < 0 or x >= self.w or y >= self.h:
            return
        p = self.px[y * self.w + x]
        r, g, b = color[:3]
        a *= (color[3] / 255.0) if len(color) > 3 else 1.0
        da = p[3]
        oa = a + da * (1 - a)
        if oa <= 0:
            return
        for i, c in enumerate((r, g, b)):
            p[i] = (c * a + p[i] * da * (1 - a)) / oa
        p[3] = oa

    def fill(self, inside, bbox, color):
        x0, y0, x1, y1 = bbox
        x0 = max(0, int(math.floor(x0)) - 1)
        y0 = max(0, int(math.floor(y0)) - 1)
        x1 = min(self.w, int(math.ceil(x1)) + 1)
        y1 = min(self.h, int(math.ceil(y1)) + 1)
        step = 1.0 / SS
        offs = [(i + 0.5) * step for i in range(SS)]
        n = SS * SS
        for y in range(y0, y1):
            for x in range(x0, x1):
                c = 0
                for oy in offs:
                    for ox in offs:
                        if inside(x + ox, y + oy):
                            c += 1
                if c:
                    self.blend(x, y, color, c / n)

    # --- shapes (coordinates in pixels, continuous: pixel (0,0) covers 0..1) ---
    def rect(self, x, y, w, h, color):
        self.fill(lambda px, py: x <= px < x + w and y <= py < y + h, (x, y, x + w, y + h), color)

    def rrect(self, x, y, w, h, r, color):
        def inside(px, py):
            if not (x <= px < x + w and y <= py < y + h):
                return False
            cx = min(max(px, x + r), x + w - r)
            cy = min(max(py, y + r), y + h - r)
            return (px - cx) ** 2 + (py - cy) ** 2 <= r * r
        self.fill(inside, (x, y, x + w, y + h), color)

    def ellipse(self, cx, cy, rx, ry, color, angle=0.0):
        ca, sa = math.cos(angle), math.sin(angle)

        def inside(px, py):
            dx, dy = px - cx, py - cy
            u = dx * ca + dy * sa
            v = -dx * sa + dy * ca
            return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0
        r = max(rx, ry)
        self.fill(inside, (cx - r, cy - r, cx + r, cy + r), color)

    def ring(self, cx, cy, r, width, color):
        ro, ri = r + width / 2.0, r - width / 2.0
        self.fill(lambda px, py: ri * ri <= (px - cx) ** 2 + (py - cy) ** 2 <= ro * ro,
                  (cx - ro, cy - ro, cx + ro, cy + ro), color)

    def poly(self, pts, color):
        def inside(px, py):
            c = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
                    c = not c
                j = i
            return c
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        self.fill(inside, (min(xs), min(ys), max(xs), max(ys)), color)

    def line(self, x0, y0, x1, y1, width, color):
        r = width / 2.0
        dx, dy = x1 - x0, y1 - y0
        ll = dx * dx + dy * dy

        def inside(px, py):
            t = 0.0 if ll == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / ll))
            qx, qy = x0 + t * dx - px, y0 + t * dy - py
            return qx * qx + qy * qy <= r * r
        self.fill(inside, (min(x0, x1) - r, min(y0, y1) - r, max(x0, x1) + r, max(y0, y1) + r), color)

    def polyline(self, pts, width, color):
        for a, b in zip(pts, pts[1:]):
            self.line(a[0], a[1], b[0], b[1], width, color)

    def arc(self, cx, cy, r, a0, a1, width, color, steps=24):
        pts = [(cx + r * math.cos(a0 + (a1 - a0) * i / steps),
                cy + r * math.sin(a0 + (a1 - a0) * i / steps)) for i in range(steps + 1)]
        self.polyline(pts, width, color)

    def paste(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                p = other.px[y * other.w + x]
                if p[3] > 0:
                    self.blend(ox + x, oy + y, (p[0], p[1], p[2]), p[3])

    def vgradient(self, top, bottom):
        for y in range(self.h):
            t = y / max(1, self.h - 1)
            c = tuple(top[i] + (bottom[i] - top[i]) * t for i in range(3))
            for x in range(self.w):
                self.px[y * self.w + x] = [c[0], c[1], c[2], 1.0]

    def rgba_rows(self, bg=None):
        """Rows of (r,g,b,a) bytes, top row first; with bg the picture is flattened onto it."""
        rows = []
        for y in range(self.h):
            row = []
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if bg is not None:
                    r = r * a + bg[0] * (1 - a)
                    g = g * a + bg[1] * (1 - a)
                    b = b * a + bg[2] * (1 - a)
                    a = 1.0
                row.append((int(round(r)), int(round(g)), int(round(b)), int(round(a * 255))))
            rows.append(row)
        return rows


# ---------------------------------------------------------------- file writers
def dib_32(rows, w, h):
    """BITMAPINFOHEADER + 32-bit BGRA pixels + AND mask, as icons and cursors store them."""
    hdr = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pix = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            if a == 0:
                r = g = b = 0
            pix += bytes((b, g, r, a))
    stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return hdr + bytes(pix) + bytes(mask)


def write_ico(name, canvases):
    images = [dib_32(c.rgba_rows(), c.w, c.h) for c in canvases]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for c, data in zip(canvases, images):
        out += struct.pack('<BBBBHHII', c.w % 256, c.h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(out)


def write_cur(name, rows, hotspot):
    """Monochrome 32 x 32 cursor: 'X' black, '.' white, ' ' transparent."""
    w = h = 32
    hdr = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 1, 0, 0, 0, 0, 2, 2)
    pal = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    xor = bytearray()
    andm = bytearray()
    grid = [r.ljust(w)[:w] for r in rows] + [' ' * w] * (h - len(rows))
    for r in reversed(grid):
        xl = bytearray(4)
        al = bytearray(4)
        for x, ch in enumerate(r):
            if ch == ' ':
                al[x // 8] |= 0x80 >> (x % 8)
            elif ch == '.':
                xl[x // 8] |= 0x80 >> (x % 8)
        xor += xl
        andm += al
    data = hdr + pal + bytes(xor) + bytes(andm)
    out = struct.pack('<HHH', 0, 2, 1)
    out += struct.pack('<BBBBHHII', w, h, 2, 0, hotspot[0], hotspot[1], len(data), 22)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(out + data)


def write_bmp(name, rows):
    h = len(rows)
    w = len(rows[0])
    stride = (w * 3 + 3) & ~3
    pix = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pix += line
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pix), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(pix), 0, 0, 14 + 40)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(head + info + bytes(pix))


def write_png(name, rows):
    h = len(rows)
    w = len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b, _ in row:
            raw += bytes((r, g, b))

    def chunk(tag, data):
        c = struct.pack('>I', len(data)) + tag + data
        return c + struct.pack('>I', zlib.crc32(tag + data) & 0xffffffff)
    png = b'\x89PNG\r\n\x1a\n'
    png += chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(bytes(raw), 9))
    png += chunk(b'IEND', b'')
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(png)


# ---------------------------------------------------------------- palette
INK = rgb(0x26323c) + (255,)
WHITE = (255, 255, 255, 255)
PAPER = rgb(0xfbfbf6) + (255,)
PAPER_EDGE = rgb(0x7d8790) + (255,)
GOLD = rgb(0xc9a227) + (255,)
GOLD_DARK = rgb(0x7a6a12) + (255,)
BEETLE_GREEN = rgb(0x2f8f4e) + (255,)
BEETLE_SHINE = rgb(0x9fe0a0) + (255,)
BLUE = rgb(0x2f6fc0) + (255,)
BLUE_LIGHT = rgb(0x8fc0f0) + (255,)
GREEN = rgb(0x2e9e3e) + (255,)
RED = rgb(0xd03a2a) + (255,)
WOOD = rgb(0xa0673a) + (255,)
GREY = rgb(0x9aa3ab) + (255,)
GREY_LIGHT = rgb(0xdfe3e6) + (255,)


# ---------------------------------------------------------------- drawings (unit box 0..1)
def beetle(c, s, ox=0.0, oy=0.0, body=BEETLE_GREEN, shine=BEETLE_SHINE, outline=INK, legs=True):
    """A golden-green ground beetle seen from above, head up, in an s x s box."""
    def P(x, y):
        return (ox + x * s, oy + y * s)
    lw = max(1.0, s * 0.045)
    if legs:
        for side in (-1, 1):
            for (ax, ay, bx, by, cx2, cy2) in ((0.12, 0.44, 0.26, 0.36, 0.30, 0.26),
                                               (0.14, 0.56, 0.28, 0.56, 0.34, 0.62),
                                               (0.16, 0.66, 0.26, 0.78, 0.30, 0.92)):
                x0, y0 = P(0.5 + side * (0.5 - cx2), cy2)
                x1, y1 = P(0.5 + side * (0.5 - bx), by)
                x2, y2 = P(0.5 + side * (0.5 - ax), ay)
                c.polyline([(x0, y0), (x1, y1), (x2, y2)], lw, outline)
        # antennae
        for side in (-1, 1):
            pts = [P(0.5 + side * 0.05, 0.16), P(0.5 + side * 0.14, 0.07), P(0.5 + side * 0.22, 0.03)]
            c.polyline(pts, lw * 0.9, outline)
    # head and pronotum
    hx, hy = P(0.5, 0.19)
    c.ellipse(hx, hy, s * 0.10, s * 0.08, outline)
    c.ellipse(hx, hy, s * 0.10 - lw, s * 0.08 - lw, body)
    px, py = P(0.5, 0.33)
    c.ellipse(px, py, s * 0.17, s * 0.10, outline)
    c.ellipse(px, py, s * 0.17 - lw, s * 0.10 - lw, body)
    # elytra
    ex, ey = P(0.5, 0.64)
    c.ellipse(ex, ey, s * 0.22, s * 0.28, outline)
    c.ellipse(ex, ey, s * 0.22 - lw, s * 0.28 - lw, body)
    x0, y0 = P(0.5, 0.38)
    x1, y1 = P(0.5, 0.91)
    c.line(x0, y0, x1, y1, lw * 0.9, outline)
    if s >= 24:
        # shine on each wing case
        for side in (-1, 1):
            sx, sy = P(0.5 + side * 0.10, 0.56)
            c.ellipse(sx, sy, s * 0.035, s * 0.12, shine, angle=side * 0.25)
    if s >= 40:
        # rows of grooves along the wing cases
        for side in (-1, 1):
            for k in (0.06, 0.14):
                gx0, gy0 = P(0.5 + side * k, 0.45)
                gx1, gy1 = P(0.5 + side * k, 0.82)
                c.line(gx0, gy0, gx1, gy1, lw * 0.35, rgb(0x1f6a39) + (160,))


def page(c, s, x=0.16, y=0.06, w=0.58, h=0.78):
    fold = 0.18 * s
    x0, y0, x1, y1 = x * s, y * s, (x + w) * s, (y + h) * s
    lw = max(1.0, s / 16.0)
    pts = [(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)]
    c.poly(pts, PAPER_EDGE)
    inner = [(x0 + lw, y0 + lw), (x1 - fold - lw * 0.4, y0 + lw), (x1 - lw, y0 + fold + lw * 0.4),
             (x1 - lw, y1 - lw), (x0 + lw, y1 - lw)]
    c.poly(inner, PAPER)
    c.poly([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], GREY_LIGHT)
    c.polyline([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], lw * 0.8, PAPER_EDGE)
    if s >= 24:
        for k in range(4):
            ly = y0 + fold + lw * 2 + k * s * 0.1
            if ly < y1 - lw * 3:
                c.line(x0 + lw * 3, ly, x1 - lw * 3, ly, lw * 0.7, GREY)


def plus(c, cx, cy, r, color, width):
    c.line(cx - r, cy, cx + r, cy, width, color)
    c.line(cx, cy - r, cx, cy + r, width, color)


def badge_plus(c, s, cx, cy):
    r = s * 0.2
    c.ellipse(cx, cy, r, r, rgb(0x1f6f2a) + (255,))
    c.ellipse(cx, cy, r - max(1, s / 32), r - max(1, s / 32), GREEN)
    plus(c, cx, cy, r * 0.55, WHITE, max(1.5, s * 0.08))


def magnifier(c, s, sign=None, ox=0.0, oy=0.0):
    lw = max(1.6, s * 0.12)
    cx, cy, r = ox + s * 0.40, oy + s * 0.40, s * 0.27
    c.ellipse(cx, cy, r, r, BLUE_LIGHT + ())
    c.ellipse(cx - r * 0.3, cy - r * 0.3, r * 0.35, r * 0.25, (255, 255, 255, 150), angle=-0.7)
    c.ring(cx, cy, r, lw * 0.8, INK)
    c.line(cx + r * 0.75, cy + r * 0.75, ox + s * 0.90, oy + s * 0.90, lw * 1.3, WOOD)
    c.line(cx + r * 0.75, cy + r * 0.75, cx + r * 1.05, cy + r * 1.05, lw, INK)
    if sign:
        w = max(1.5, s * 0.11)
        c.line(cx - r * 0.55, cy, cx + r * 0.55, cy, w, INK)
        if sign == '+':
            c.line(cx, cy - r * 0.55, cx, cy + r * 0.55, w, INK)


def folder(c, s, ox=0.0, oy=0.0):
    lw = max(1.0, s / 20)
    c.poly([(ox + s * 0.06, oy + s * 0.24), (ox + s * 0.38, oy + s * 0.24), (ox + s * 0.46, oy + s * 0.32),
            (ox + s * 0.94, oy + s * 0.32), (ox + s * 0.94, oy + s * 0.84), (ox + s * 0.06, oy + s * 0.84)],
           GOLD_DARK)
    c.poly([(ox + s * 0.06 + lw, oy + s * 0.24 + lw), (ox + s * 0.38, oy + s * 0.24 + lw),
            (ox + s * 0.46, oy + s * 0.32 + lw), (ox + s * 0.94 - lw, oy + s * 0.32 + lw),
            (ox + s * 0.94 - lw, oy + s * 0.84 - lw), (ox + s * 0.06 + lw, oy + s * 0.84 - lw)],
           rgb(0xe8c35a) + (255,))
    c.poly([(ox + s * 0.16, oy + s * 0.46), (ox + s * 0.98, oy + s * 0.46), (ox + s * 0.88, oy + s * 0.84),
            (ox + s * 0.06, oy + s * 0.84)], GOLD_DARK)
    c.poly([(ox + s * 0.16 + lw, oy + s * 0.46 + lw), (ox + s * 0.98 - lw * 1.5, oy + s * 0.46 + lw),
            (ox + s * 0.88 - lw, oy + s * 0.84 - lw), (ox + s * 0.06 + lw * 1.5, oy + s * 0.84 - lw)],
           rgb(0xf6d97a) + (255,))


def floppy(c, s, ox=0.0, oy=0.0):
    lw = max(1.0, s / 20)
    c.rrect(ox + s * 0.1, oy + s * 0.1, s * 0.8, s * 0.8, s * 0.06, INK)
    c.rrect(ox + s * 0.1 + lw, oy + s * 0.1 + lw, s * 0.8 - 2 * lw, s * 0.8 - 2 * lw, s * 0.04, BLUE)
    c.rect(ox + s * 0.26, oy + s * 0.1 + lw, s * 0.48, s * 0.28, GREY_LIGHT)
    c.rect(ox + s * 0.58, oy + s * 0.15, s * 0.09, s * 0.18, INK)
    c.rect(ox + s * 0.22, oy + s * 0.52, s * 0.56, s * 0.38 - lw, PAPER)
    for k in range(2):
        c.line(ox + s * 0.3, oy + s * (0.64 + 0.1 * k), ox + s * 0.7, oy + s * (0.64 + 0.1 * k), lw * 0.8, GREY)


def printer(c, s, ox=0.0, oy=0.0):
    lw = max(1.0, s / 20)
    c.rect(ox + s * 0.26, oy + s * 0.08, s * 0.48, s * 0.34, PAPER_EDGE)
    c.rect(ox + s * 0.26 + lw, oy + s * 0.08 + lw, s * 0.48 - 2 * lw, s * 0.34, PAPER)
    c.rrect(ox + s * 0.06, oy + s * 0.36, s * 0.88, s * 0.38, s * 0.08, INK)
    c.rrect(ox + s * 0.06 + lw, oy + s * 0.36 + lw, s * 0.88 - 2 * lw, s * 0.38 - 2 * lw, s * 0.06, GREY)
    c.ellipse(ox + s * 0.8, oy + s * 0.47, s * 0.04, s * 0.04, GREEN)
    c.rect(ox + s * 0.24, oy + s * 0.62, s * 0.52, s * 0.3, PAPER_EDGE)
    c.rect(ox + s * 0.24 + lw, oy + s * 0.62, s * 0.52 - 2 * lw, s * 0.3 - lw, PAPER)
    if s >= 24:
        for k in range(2):
            c.line(ox + s * 0.32, oy + s * (0.74 + 0.08 * k), ox + s * 0.68, oy + s * (0.74 + 0.08 * k),
                   lw * 0.7, GREY)


def arrow_right(c, s, x0, y, x1, color, width):
    head = width * 1.6
    c.line(x0, y, x1 - head, y, width, color)
    c.poly([(x1 - head * 1.4, y - head), (x1, y), (x1 - head * 1.4, y + head)], color)


def help_badge(c, s):
    r = s * 0.44
    c.ellipse(s / 2, s / 2, r, r, rgb(0x1d4f90) + (255,))
    c.ellipse(s / 2, s / 2, r - s / 24, r - s / 24, BLUE)
    c.ellipse(s / 2 - r * 0.25, s / 2 - r * 0.35, r * 0.5, r * 0.3, (255, 255, 255, 70), angle=-0.5)
    w = s * 0.11
    c.arc(s / 2, s * 0.40, s * 0.14, math.pi * 1.05, math.pi * 2.35, w, WHITE)
    c.line(s / 2, s * 0.54, s / 2, s * 0.62, w, WHITE)
    c.ellipse(s / 2, s * 0.75, w * 0.65, w * 0.65, WHITE)


def trash(c, s):
    lw = max(1.0, s / 20)
    c.poly([(s * 0.2, s * 0.26), (s * 0.8, s * 0.26), (s * 0.72, s * 0.94), (s * 0.28, s * 0.94)], INK)
    c.poly([(s * 0.2 + lw * 1.5, s * 0.26 + lw), (s * 0.8 - lw * 1.5, s * 0.26 + lw),
            (s * 0.72 - lw, s * 0.94 - lw), (s * 0.28 + lw, s * 0.94 - lw)], GREY_LIGHT)
    for k in (-1, 0, 1):
        c.line(s * (0.5 + 0.12 * k), s * 0.36, s * (0.5 + 0.1 * k), s * 0.84, lw * 1.2, GREY)
    c.rrect(s * 0.12, s * 0.14, s * 0.76, s * 0.1, s * 0.03, RED)
    c.rrect(s * 0.4, s * 0.06, s * 0.2, s * 0.1, s * 0.03, RED)


def pencil(c, s, ox=0.0, oy=0.0):
    w = s * 0.13
    ang = math.radians(45)
    x0, y0 = ox + s * 0.88, oy + s * 0.22
    x1, y1 = ox + s * 0.42, oy + s * 0.68
    nx, ny = math.cos(ang) * w / 2, math.sin(ang) * w / 2
    c.poly([(x0 - nx, y0 - ny), (x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny)], INK)
    c.poly([(x0 - nx * 0.6, y0 - ny * 0.6), (x0 + nx * 0.6, y0 + ny * 0.6),
            (x1 + nx * 0.6, y1 + ny * 0.6), (x1 - nx * 0.6, y1 - ny * 0.6)], GOLD)
    tx, ty = x1 - (x0 - x1) * 0.22, y1 - (y0 - y1) * 0.22
    c.poly([(x1 - nx, y1 - ny), (x1 + nx, y1 + ny), (tx, ty)], rgb(0xe9c9a0) + (255,))
    c.ellipse(tx + (x1 - tx) * 0.25, ty + (y1 - ty) * 0.25, w * 0.18, w * 0.18, INK)
    c.poly([(x0 - nx, y0 - ny), (x0 + nx, y0 + ny), (x0 + nx + (x0 - x1) * 0.12, y0 + ny + (y0 - y1) * 0.12),
            (x0 - nx + (x0 - x1) * 0.12, y0 - ny + (y0 - y1) * 0.12)], RED)


def globe(c, s, ox=0.0, oy=0.0):
    r = s * 0.42
    cx, cy = ox + s / 2, oy + s / 2
    c.ellipse(cx, cy, r, r, rgb(0x1d4f90) + (255,))
    c.ellipse(cx, cy, r - max(1, s / 16), r - max(1, s / 16), BLUE_LIGHT)
    c.poly([(cx - r * 0.7, cy - r * 0.3), (cx - r * 0.1, cy - r * 0.6), (cx + r * 0.1, cy - r * 0.2),
            (cx - r * 0.2, cy + r * 0.1), (cx - r * 0.1, cy + r * 0.6), (cx - r * 0.5, cy + r * 0.4)], GREEN)
    c.poly([(cx + r * 0.3, cy - r * 0.1), (cx + r * 0.75, cy - r * 0.2), (cx + r * 0.7, cy + r * 0.4),
            (cx + r * 0.35, cy + r * 0.55)], GREEN)


def move_arrows(c, s, ox=0.0, oy=0.0, color=INK):
    cx, cy = ox + s / 2, oy + s / 2
    w = max(1.5, s * 0.1)
    a = s * 0.42
    h = s * 0.16
    c.line(cx - a + h, cy, cx + a - h, cy, w, color)
    c.line(cx, cy - a + h, cx, cy + a - h, w, color)
    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
        tx, ty = cx + dx * a, cy + dy * a
        bx, by = cx + dx * (a - h * 1.3), cy + dy * (a - h * 1.3)
        px, py = -dy * h, dx * h
        c.poly([(tx, ty), (bx + px, by + py), (bx - px, by - py)], color)


def funnel(c, s, ox=0.0, oy=0.0):
    lw = max(1.0, s / 16)
    pts = [(ox + s * 0.06, oy + s * 0.1), (ox + s * 0.8, oy + s * 0.1), (ox + s * 0.5, oy + s * 0.5),
           (ox + s * 0.5, oy + s * 0.9), (ox + s * 0.36, oy + s * 0.8), (ox + s * 0.36, oy + s * 0.5)]
    c.poly(pts, INK)
    inner = [(ox + s * 0.06 + lw * 1.8, oy + s * 0.1 + lw), (ox + s * 0.8 - lw * 1.8, oy + s * 0.1 + lw),
             (ox + s * 0.5 - lw * 0.6, oy + s * 0.5), (ox + s * 0.5 - lw * 0.6, oy + s * 0.9 - lw * 1.6),
             (ox + s * 0.36 + lw * 0.6, oy + s * 0.8 - lw * 0.6), (ox + s * 0.36 + lw * 0.6, oy + s * 0.5)]
    c.poly(inner, BLUE_LIGHT)


def exit_door(c, s):
    lw = max(1.0, s / 16)
    # an open door with the way out
    c.rect(0, s * 0.02, s * 0.62, s * 0.94, INK)
    c.rect(lw, s * 0.02 + lw, s * 0.62 - 2 * lw, s * 0.94 - 2 * lw, rgb(0xfff4d6) + (255,))
    c.poly([(0, s * 0.02), (s * 0.36, s * 0.14), (s * 0.36, s * 1.0), (0, s * 0.96)], INK)
    c.poly([(lw, s * 0.02 + lw * 1.5), (s * 0.36 - lw, s * 0.14 + lw), (s * 0.36 - lw, s * 1.0 - lw * 1.5),
            (lw, s * 0.96 - lw)], WOOD)
    c.rect(s * 0.24, s * 0.5, lw, lw * 1.5, GOLD)
    arrow_right(c, s, s * 0.42, s * 0.52, s * 1.0, RED, max(1.8, s * 0.14))


def export_glyph(c, s):
    page(c, s, x=0.06, y=0.06, w=0.56, h=0.84)
    arrow_right(c, s, s * 0.34, s * 0.62, s * 0.98, GREEN, max(1.6, s * 0.12))


# ---------------------------------------------------------------- stroke lettering
LETTERS = {
    'Z': [[(0, 0), (4, 0), (0, 6), (4, 6)]],
    'R': [[(0, 6), (0, 0), (2.6, 0), (3.6, 0.6), (3.9, 1.5), (3.6, 2.4), (2.6, 3), (0, 3)], [(2.2, 3), (4, 6)]],
    'N': [[(0, 6), (0, 0), (4, 6), (4, 0)]],
    'A': [[(0, 6), (2, 0), (4, 6)], [(0.8, 3.8), (3.2, 3.8)]],
    '2': [[(0.2, 1.2), (0.9, 0.2), (2, 0), (3.2, 0.3), (3.8, 1.3), (3.4, 2.5), (0, 6), (4, 6)]],
    '1': [[(0.8, 1.2), (2.4, 0), (2.4, 6)], [(1, 6), (3.8, 6)]],
}


def text(c, s, x, y, size, color, width):
    """Draws capital letters and digits of the title with strokes; size = letter height."""
    k = size / 6.0
    for ch in s:
        if ch == ' ':
            x += 2.5 * k
            continue
        if ch in 'O0':
            rx = 2.4 * k if ch == 'O' else 1.7 * k
            cx = x + (2.4 if ch == 'O' else 1.9) * k
            steps = 40
            pts = [(cx + rx * math.cos(2 * math.pi * i / steps), y + 3 * k + 3 * k * math.sin(2 * math.pi * i / steps))
                   for i in range(steps + 1)]
            c.polyline(pts, width, color)
            x += (4.8 if ch == 'O' else 3.8) * k + 1.6 * k
            continue
        for stroke in LETTERS[ch]:
            c.polyline([(x + px * k, y + py * k) for px, py in stroke], width, color)
        x += 4.0 * k + 1.6 * k


# ---------------------------------------------------------------- products
def icon(size, draw):
    c = Canvas(size, size)
    draw(c, size)
    return c


def make_icons():
    write_ico('mainicon.ico', [icon(n, lambda c, s: beetle(c, s)) for n in (16, 32, 48)])
    # Icon 1 goes into the main toolbar's 16 x 16 images at its own size.
    write_ico('exit.ico', [icon(16, exit_door)])

    def new_record(c, s):
        page(c, s)
        badge_plus(c, s, s * 0.72, s * 0.74)

    def edit_record(c, s):
        page(c, s)
        pencil(c, s)

    def delete_record(c, s):
        trash(c, s)

    write_ico('record_new.ico', [icon(32, new_record)])
    write_ico('record_edit.ico', [icon(32, edit_record)])
    write_ico('record_delete.ico', [icon(32, delete_record)])
    write_ico('record_export.ico', [icon(32, export_glyph)])
    write_ico('record_print.ico', [icon(32, printer)])
    write_ico('record_help.ico', [icon(32, help_badge)])
    write_ico('map_zoomin.ico', [icon(16, lambda c, s: magnifier(c, s, '+'))])
    write_ico('map_zoomout.ico', [icon(16, lambda c, s: magnifier(c, s, '-'))])
    write_ico('map_showall.ico', [icon(16, globe)])
    write_ico('map_pan.ico', [icon(16, move_arrows)])

    def add_query(c, s):
        funnel(c, s)
        c.ellipse(s * 0.76, s * 0.74, s * 0.24, s * 0.24, rgb(0x1f6f2a) + (255,))
        plus(c, s * 0.76, s * 0.74, s * 0.14, WHITE, 1.6)

    write_ico('map_query.ico', [icon(16, add_query)])


def strip(name, drawers, size=26):
    """A toolbar strip of size x size images on magenta, smoothed against the button face."""
    face = rgb(0xf0f0f0)
    c = Canvas(size * len(drawers), size)
    for i, d in enumerate(drawers):
        one = Canvas(size, size)
        d(one, size)
        c.paste(one, i * size, 0)
    rows = []
    for row in c.rgba_rows():
        out = []
        for r, g, b, a in row:
            if a < 96:
                out.append((255, 0, 255, 255))
            else:
                t = a / 255.0
                out.append((int(r * t + face[0] * (1 - t)), int(g * t + face[1] * (1 - t)),
                            int(b * t + face[2] * (1 - t)), 255))
        rows.append(out)
    write_bmp(name, rows)


def make_strips():
    def new_page(c, s):
        page(c, s, x=0.14, y=0.06, w=0.66, h=0.86)

    strip('toolbar1.bmp', [lambda c, s: folder(c, s), floppy, new_page, printer])
    strip('toolbar2.bmp', [lambda c, s: magnifier(c, s), export_glyph,
                           lambda c, s: magnifier(c, s, '+'), lambda c, s: magnifier(c, s, '-'),
                           move_arrows])


def make_cursors():
    zoom = [
        "     XXXXX",
        "   XX.....XX",
        "  X.........X",
        " X...........X",
        " X...........X",
        "X.............X",
        "X.............X",
        "X.............X",
        "X.............X",
        "X.............X",
        " X...........X",
        " X...........X",
        "  X.........XXX",
        "   XX.....XXX.XX",
        "     XXXXX  X...X",
        "             X...X",
        "              X...X",
        "               X...X",
        "                X..X",
        "                 XX",
    ]

    def with_sign(sign):
        g = [list(r.ljust(32)) for r in zoom]
        for x in range(4, 11):
            g[7][x] = 'X'
            g[8][x] = 'X'
        if sign == '+':
            for y in range(4, 12):
                g[y][7] = 'X'
                g[y][8] = 'X'
        return [''.join(r) for r in g]

    write_cur('zoomin.cur', with_sign('+'), (7, 7))
    write_cur('zoomout.cur', with_sign('-'), (7, 7))
    pan = [
        "           X",
        "          X.X",
        "         X...X",
        "        X.....X",
        "       XXXX.XXXX",
        "          X.X",
        "     X    X.X    X",
        "    XX    X.X    XX",
        "   X.X    X.X    X.X",
        "  X..XXXXXX.XXXXXX..X",
        " X.....................X"[:22],
        "  X..XXXXXX.XXXXXX..X",
        "   X.X    X.X    X.X",
        "    XX    X.X    XX",
        "     X    X.X    X",
        "          X.X",
        "       XXXX.XXXX",
        "        X.....X",
        "         X...X",
        "          X.X",
        "           X",
    ]
    pan[10] = " X...................X"
    write_cur('pan.cur', pan, (11, 10))
    drag = [
        "X",
        "XX",
        "X.X",
        "X..X",
        "X...X",
        "X....X",
        "X.....X",
        "X......X",
        "X.......X",
        "X........X",
        "X.....XXXXX",
        "X..X..X",
        "X.X X..X",
        "XX  X..X",
        "X    X..X",
        "     X..X",
        "      XX XXXXXXXXXX",
        "         X........X",
        "         X.XXXXXX.X",
        "         X........X",
        "         X.XXXXXX.X",
        "         X........X",
        "         XXXXXXXXXX",
    ]
    write_cur('drag.cur', drag, (0, 0))


def make_about():
    w, h = 150, 220
    c = Canvas(w, h)
    c.vgradient(rgb(0xd8ecf7), rgb(0xeef5da))
    # a grass stalk and a leaf the beetle climbs
    c.line(88, 220, 70, 20, 5, rgb(0x5c8f3a) + (255,))
    c.poly([(74, 120), (20, 80), (8, 40), (40, 60), (76, 100)], rgb(0x6fae48) + (255,))
    c.line(74, 118, 14, 48, 1.5, rgb(0x4e7f30) + (255,))
    c.poly([(80, 170), (135, 140), (146, 105), (112, 122), (82, 150)], rgb(0x7fbf55) + (255,))
    c.line(82, 166, 142, 112, 1.5, rgb(0x4e7f30) + (255,))
    # a butterfly in the sky
    bx, by = 112, 40
    for side in (-1, 1):
        c.ellipse(bx + side * 11, by - 5, 11, 8, rgb(0xe07b2a) + (255,), angle=side * -0.5)
        c.ellipse(bx + side * 9, by + 7, 7, 6, rgb(0xc85a1c) + (255,), angle=side * 0.5)
        c.ellipse(bx + side * 13, by - 7, 3, 3, WHITE)
    c.ellipse(bx, by + 1, 2, 10, INK)
    c.line(bx, by - 8, bx - 5, by - 16, 1, INK)
    c.line(bx, by - 8, bx + 5, by - 16, 1, INK)
    beetle(c, 86, ox=34, oy=96)
    c.rect(0, 0, w, 1, PAPER_EDGE)
    c.rect(0, h - 1, w, 1, PAPER_EDGE)
    c.rect(0, 0, 1, h, PAPER_EDGE)
    c.rect(w - 1, 0, 1, h, PAPER_EDGE)
    write_bmp('about.bmp', c.rgba_rows(bg=(255, 255, 255)))


def make_splash():
    w, h = 450, 250
    c = Canvas(w, h)
    c.vgradient(rgb(0x1f5a3c), rgb(0x0f2f2a))
    # the mapping grid that the records are plotted on
    for x in range(0, w, 30):
        c.line(x, 0, x, h, 1, (255, 255, 255, 28))
    for y in range(0, h, 30):
        c.line(0, y, w, y, 1, (255, 255, 255, 28))
    for (gx, gy) in ((9, 6), (10, 6), (10, 7), (11, 7), (12, 6), (13, 7), (14, 6)):
        c.rect(gx * 30 + 1, gy * 30 + 1, 29, 29, (201, 162, 39, 60))
    c.ellipse(110, 125, 92, 92, (255, 255, 255, 22))
    beetle(c, 170, ox=25, oy=40, body=rgb(0x3c9a58) + (255,), shine=rgb(0xb8f0b0) + (255,))
    text(c, 'ZORNA', 225, 78, 46, rgb(0xf2d76b) + (255,), 6)
    text(c, '2011', 262, 146, 30, (255, 255, 255, 235), 4)
    write_png('splash.png', c.rgba_rows(bg=(0, 0, 0)))


if __name__ == '__main__':
    make_icons()
    make_strips()
    make_cursors()
    make_about()
    make_splash()
