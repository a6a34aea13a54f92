#!/usr/bin/env python3
"""Draws the uninstaller's artwork into resources/.

Writes the window logo (logo.png, 193x246 design pixels stored at LOGO_SCALE
times that size, so that the program only ever makes it smaller on a scaled
screen), the application icon (Uninstaller.ico) and the path field's two
folder icons (xfolder.ico, xfolder_open.ico).
Standard library only, so any checkout can regenerate the files; the output
is byte-for-byte the same on every run, which keeps the resources stable in
version control.

Usage: python3 tools/make-art.py [output-folder]
"""

import math
import os
import struct
import sys
import zlib

# Shapes are sampled on a grid this many times finer than the output and
# box-filtered down, which gives 4x4 = 16 coverage levels on every edge.
SUPERSAMPLE = 4

# The logo's stored pixels per design pixel: 2 serves screens up to 200 % (192 DPI). The program
# reads the resource as made for 96 * LOGO_SCALE DPI (kLogoDpi in uninstaller/UninstallerForm.cpp).
LOGO_SCALE = 2


# --------------------------------------------------------------------------
# Colours and small maths helpers

def rgb(hex_text, alpha=1.0):
    v = int(hex_text.lstrip('#'), 16)
    return ((v >> 16 & 255) / 255.0, (v >> 8 & 255) / 255.0, (v & 255) / 255.0, alpha)


def mix(c0, c1, t):
    t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def clamp01(t):
    return 0.0 if t < 0.0 else 1.0 if t > 1.0 else t


def smoothstep(e0, e1, x):
    t = clamp01((x - e0) / (e1 - e0))
    return t * t * (3.0 - 2.0 * t)


def sd_round_rect(px, py, hw, hh, r):
    """Signed distance from a point to a rounded rectangle centred at 0."""
    qx = abs(px) - hw + r
    qy = abs(py) - hh + r
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return min(max(qx, qy), 0.0) + outside - r


def in_triangle(px, py, a, b, c):
    d1 = (px - b[0]) * (a[1] - b[1]) - (a[0] - b[0]) * (py - b[1])
    d2 = (px - c[0]) * (b[1] - c[1]) - (b[0] - c[0]) * (py - c[1])
    d3 = (px - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (py - a[1])
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


# --------------------------------------------------------------------------
# Supersampled RGBA canvas

class Canvas:
    """Premultiplied float RGBA at SUPERSAMPLE times the output size.

    Drawing is painter's order: paint() calls a shader for every sample in a
    box and composites whatever colour it returns over what is there.
    """

    def __init__(self, width, height, ss=SUPERSAMPLE, scale=1.0):
        # Shapes are given in the picture's design units; scale is output pixels per unit, so
        # one drawing serves every size it is stored at.
        self.scale = scale
        self.width, self.height = int(round(width * scale)), int(round(height * scale))
        self.ss = ss
        self.sw, self.sh = self.width * ss, self.height * ss
        n = self.sw * self.sh
        self.r, self.g, self.b, self.a = [0.0] * n, [0.0] * n, [0.0] * n, [0.0] * n

    def paint(self, shader, box=None):
        ss, scale = self.ss, self.scale
        x0, y0, x1, y1 = box if box else (0, 0, self.width / scale, self.height / scale)
        sx0 = max(0, int(math.floor(x0 * scale * ss)))
        sy0 = max(0, int(math.floor(y0 * scale * ss)))
        sx1 = min(self.sw, int(math.ceil(x1 * scale * ss)))
        sy1 = min(self.sh, int(math.ceil(y1 * scale * ss)))
        R, G, B, A = self.r, self.g, self.b, self.a
        inv = 1.0 / (ss * scale)
        for sy in range(sy0, sy1):
            y = (sy + 0.5) * inv
            row = sy * self.sw
            for sx in range(sx0, sx1):
                c = shader((sx + 0.5) * inv, y)
                if c is None:
                    continue
                ca = c[3]
                if ca <= 0.0:
                    continue
                i = row + sx
                keep = 1.0 - ca
                R[i] = c[0] * ca + R[i] * keep
                G[i] = c[1] * ca + G[i] * keep
                B[i] = c[2] * ca + B[i] * keep
                A[i] = ca + A[i] * keep

    def pixels(self):
        """Box-filters down to rows of straight-alpha 8-bit (r, g, b, a)."""
        ss, sw = self.ss, self.sw
        weight = 1.0 / (ss * ss)
        rows = []
        for y in range(self.height):
            row = []
            for x in range(self.width):
                tr = tg = tb = ta = 0.0
                for j in range(ss):
                    base = (y * ss + j) * sw + x * ss
                    for i in range(base, base + ss):
                        tr += self.r[i]
                        tg += self.g[i]
                        tb += self.b[i]
                        ta += self.a[i]
                ta *= weight
                a8 = int(round(ta * 255.0))
                if a8 == 0:
                    row.append((0, 0, 0, 0))
                    continue
                # Un-premultiply; the division cancels the box weight.
                k = 255.0 / (ta / weight)
                row.append((min(255, int(round(tr * k))),
                            min(255, int(round(tg * k))),
                            min(255, int(round(tb * k))),
                            a8))
            rows.append(row)
        return rows


# --------------------------------------------------------------------------
# File encoders

def png_bytes(rows):
    """Encodes rows of (r, g, b, a) as an 8-bit RGBA PNG (colour type 6).

    Each row gets the filter that leaves the smallest residuals (the usual
    minimum-sum-of-absolute-differences choice): the shipped program's size
    counts, and the logo is most of its resources.
    """
    height, width = len(rows), len(rows[0])

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)

    def paeth(a, b, c):
        p = a + b - c
        pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
        return a if pa <= pb and pa <= pc else b if pb <= pc else c

    raw = bytearray()
    prior = bytes(width * 4)
    for row in rows:
        line = bytes(v for px in row for v in px)
        candidates = []
        for kind in range(5):
            out = bytearray(len(line))
            for i, x in enumerate(line):
                a = line[i - 4] if i >= 4 else 0
                b = prior[i]
                c = prior[i - 4] if i >= 4 else 0
                predictor = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
                out[i] = (x - predictor) & 255
            cost = sum(v if v < 128 else 256 - v for v in out)
            candidates.append((cost, kind, out))
        cost, kind, out = min(candidates, key=lambda c: (c[0], c[1]))
        raw.append(kind)
        raw.extend(out)
        prior = line
    ihdr = struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr)
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def ico_bytes(images):
    """ICO container, smallest image first. Every image is stored
    PNG-compressed: every system the program runs on (Vista and later)
    reads such images at any size, and they keep the program small."""
    count = len(images)
    out = struct.pack('<HHH', 0, 1, count)
    offset = 6 + 16 * count
    blobs = []
    for rows in images:
        size = len(rows)
        blob = png_bytes(rows)
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b''.join(blobs)


# --------------------------------------------------------------------------
# The photo motif shared by the logo and the application icon

DAY = {
    'sky_top': rgb('#2B78D0'), 'sky_bottom': rgb('#BFE4FB'),
    'sun': rgb('#FFD447'), 'glow': rgb('#FFF3B0'),
    'far': rgb('#8CCB72'), 'far_dark': rgb('#6DB35A'),
    'near': rgb('#3F9E4C'), 'near_dark': rgb('#2C7C3A'),
}

DUSK = {
    'sky_top': rgb('#6B4BA8'), 'sky_bottom': rgb('#FFB27A'),
    'sun': rgb('#FFE08A'), 'glow': rgb('#FFD2A0'),
    'far': rgb('#B0688E'), 'far_dark': rgb('#955477'),
    'near': rgb('#5A3F78'), 'near_dark': rgb('#46305F'),
}


def landscape(x, y, w, h, pal, sun=(0.70, 0.30, 0.12)):
    """Colour of a simple landscape at (x, y) inside a w by h picture."""
    far_line = h * (0.64 - 0.10 * math.exp(-((x / w - 0.28) / 0.26) ** 2)
                    - 0.05 * math.exp(-((x / w - 0.85) / 0.20) ** 2))
    near_line = h * (0.80 - 0.13 * math.exp(-((x / w - 0.78) / 0.30) ** 2)
                     + 0.03 * math.sin(x / w * 5.0))
    if y >= near_line:
        return mix(pal['near'], pal['near_dark'], (y - near_line) / (h * 0.25))
    if y >= far_line:
        return mix(pal['far'], pal['far_dark'], (y - far_line) / (h * 0.22))
    sky = mix(pal['sky_top'], pal['sky_bottom'], y / far_line)
    sx, sy, sr = sun[0] * w, sun[1] * h, sun[2] * min(w, h)
    d = math.hypot(x - sx, y - sy)
    if d <= sr:
        return pal['sun']
    glow = 0.55 * (1.0 - smoothstep(sr, sr * 2.4, d))
    return mix(sky, pal['glow'], glow)


class Card:
    """A rounded photo card, rotated about its centre."""

    def __init__(self, cx, cy, hw, hh, degrees, radius, border, bottom, palette):
        self.cx, self.cy, self.hw, self.hh = cx, cy, hw, hh
        a = math.radians(degrees)
        self.cos, self.sin = math.cos(a), math.sin(a)
        self.radius, self.border, self.bottom = radius, border, bottom
        self.palette = palette
        # The picture window inside the white frame, in card coordinates.
        self.px0, self.py0 = -hw + border, -hh + border
        self.pw, self.ph = 2 * (hw - border), 2 * hh - border - bottom
        self.paper_top, self.paper_bottom = rgb('#FFFFFF'), rgb('#F2F2F0')
        self.edge = rgb('#B9B9B9')

    def local(self, x, y):
        dx, dy = x - self.cx, y - self.cy
        return dx * self.cos + dy * self.sin, -dx * self.sin + dy * self.cos

    def box(self, grow=0.0):
        ex = abs(self.hw * self.cos) + abs(self.hh * self.sin) + grow
        ey = abs(self.hw * self.sin) + abs(self.hh * self.cos) + grow
        return (self.cx - ex, self.cy - ey, self.cx + ex, self.cy + ey)

    def distance(self, x, y):
        lx, ly = self.local(x, y)
        return sd_round_rect(lx, ly, self.hw, self.hh, self.radius)

    def shadow(self, dx, dy, blur, strength):
        def shade(x, y):
            d = self.distance(x - dx, y - dy)
            a = strength * (1.0 - smoothstep(-blur * 0.5, blur, d))
            return (0.0, 0.0, 0.0, a) if a > 0.002 else None
        return shade

    def shader(self, edge_width):
        def shade(x, y):
            lx, ly = self.local(x, y)
            d = sd_round_rect(lx, ly, self.hw, self.hh, self.radius)
            if d > 0.0:
                return None
            if d > -edge_width:
                return self.edge
            u, v = lx - self.px0, ly - self.py0
            if 0.0 <= u < self.pw and 0.0 <= v < self.ph:
                c = landscape(u, v, self.pw, self.ph, self.palette)
                # A hairline of shade where the print meets the paper.
                rim = min(u, v, self.pw - u, self.ph - v)
                if rim < edge_width:
                    c = mix(c, (0.0, 0.0, 0.0, 1.0), 0.18)
                return c
            return mix(self.paper_top, self.paper_bottom, (ly + self.hh) / (2 * self.hh))
        return shade


def draw_card(canvas, card, shadow_offset, blur, strength, edge_width):
    dx, dy = shadow_offset
    x0, y0, x1, y1 = card.box(blur + 2)
    canvas.paint(card.shadow(dx, dy, blur, strength), (x0 + dx, y0 + dy, x1 + dx, y1 + dy))
    canvas.paint(card.shader(edge_width), card.box(1))


# --------------------------------------------------------------------------
# Badges

def disc(cx, cy, r, top, bottom):
    def shade(x, y):
        if (x - cx) ** 2 + (y - cy) ** 2 > r * r:
            return None
        return mix(top, bottom, (y - cy + r) / (2 * r))
    return shade, (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1)


def soft_disc_shadow(cx, cy, r, blur, strength):
    def shade(x, y):
        d = math.hypot(x - cx, y - cy) - r
        a = strength * (1.0 - smoothstep(-blur * 0.5, blur, d))
        return (0.0, 0.0, 0.0, a) if a > 0.002 else None
    g = r + blur + 1
    return shade, (cx - g, cy - g, cx + g, cy + g)


def refresh_arrows(cx, cy, r_in, r_out, head, colour):
    """Two clockwise half-circle arrows, the usual sign for 'change'."""
    rm = (r_in + r_out) / 2.0
    ends = [(math.radians(a), math.radians(b)) for a, b in ((-165.0, -30.0), (15.0, 150.0))]
    heads = []
    for _, end in ends:
        ex, ey = cx + rm * math.cos(end), cy + rm * math.sin(end)
        rx, ry = math.cos(end), math.sin(end)
        tx, ty = -ry, rx
        half = head * 0.95
        a = (ex + rx * half, ey + ry * half)
        b = (ex - rx * half, ey - ry * half)
        tip = (ex + tx * head * 1.15, ey + ty * head * 1.15)
        heads.append((a, b, tip))

    def shade(x, y):
        dx, dy = x - cx, y - cy
        d = math.hypot(dx, dy)
        if r_in <= d <= r_out:
            t = math.atan2(dy, dx)
            for start, end in ends:
                if start <= t <= end:
                    return colour
        for a, b, tip in heads:
            if in_triangle(x, y, a, b, tip):
                return colour
        return None
    g = r_out + head * 2
    return shade, (cx - g, cy - g, cx + g, cy + g)


def cross(cx, cy, half, thickness, colour):
    """A diagonal cross with square-cut ends."""
    h = thickness / 2.0
    k = math.sqrt(0.5)

    def shade(x, y):
        u, v = (x - cx) * k + (y - cy) * k, (x - cx) * k - (y - cy) * k
        if (abs(u) <= h and abs(v) <= half) or (abs(v) <= h and abs(u) <= half):
            return colour
        return None
    g = half + thickness
    return shade, (cx - g, cy - g, cx + g, cy + g)


# --------------------------------------------------------------------------
# The pictures

def draw_logo(scale=1.0):
    w, h = 193, 246
    c = Canvas(w, h, scale=scale)
    back = Card(87.5, 108, 64, 84, -9.0, 7.0, 8.0, 26.0, DUSK)
    front = Card(107.5, 120, 64, 84, 5.0, 7.0, 8.0, 26.0, DAY)
    draw_card(c, back, (1.5, 3.0), 6.0, 0.22, 0.9)
    draw_card(c, front, (2.0, 4.0), 7.0, 0.30, 0.9)

    bx, by, br = 151.5, 199.0, 28.0
    for shader, box in (soft_disc_shadow(bx + 1, by + 3, br, 5.0, 0.30),
                        disc(bx, by, br, rgb('#FFFFFF'), rgb('#E9EDF2')),
                        disc(bx, by, br - 3.5, rgb('#4A9BF0'), rgb('#1A5DB5')),
                        refresh_arrows(bx, by, 10.0, 15.5, 6.6, rgb('#FFFFFF'))):
        c.paint(shader, box)
    # Six bits per colour channel: no eye tells the steps apart at this size, and the file gets
    # a quarter smaller, which counts in a program meant to stay small.
    return [[(quantise(r), quantise(g), quantise(b), a) if a else (r, g, b, a)
             for r, g, b, a in row] for row in c.pixels()]


def quantise(channel):
    return min(255, (channel + 2) // 4 * 4)


def draw_app_icon(size):
    if size <= 16:
        return pixel_art(overlay_badge(APP_ICON_16, APP_BADGE_16, 8, 8, 'w'), APP_ICON_PALETTE)
    s = size / 16.0
    c = Canvas(size, size)
    if size >= 48:
        back = Card(22.5, 21.0, 18.0, 15.0, -10.0, 2.5, 2.6, 2.6, DUSK)
        draw_card(c, back, (0.4, 0.8), 1.2, 0.22, 0.8)
        front = Card(25.0, 24.0, 19.0, 15.5, 4.0, 2.5, 2.8, 2.8, DAY)
        draw_card(c, front, (0.5, 1.0), 1.5, 0.28, 0.8)
    else:
        # Upright, so that the frame lands on whole pixels.
        front = Card(16.0, 15.0, 15.0, 12.0, 0.0, 2.0, 2.0, 2.0, DAY)
        front.edge = rgb('#8C8C8C')
        draw_card(c, front, (0.0, 0.0), 0.01, 0.0, 1.0)
    br = 3.5 * s
    bx = by = size - br - 0.5
    for shader, box in (disc(bx, by, br + 0.5, rgb('#FFFFFF'), rgb('#FFFFFF')),
                        disc(bx, by, br - 0.5, rgb('#A8241B'), rgb('#A8241B')),
                        disc(bx, by, br - 1.5, rgb('#F2614F'), rgb('#C8322A')),
                        cross(bx, by, 1.55 * s, 0.75 * s, rgb('#FFFFFF'))):
        c.paint(shader, box)
    return c.pixels()


# At 16 pixels a scaled drawing turns to mush, so this size is drawn by hand.
APP_ICON_PALETTE = {
    '.': (0, 0, 0, 0),
    'k': (0x80, 0x80, 0x80, 255),   # card outline
    'w': (0xFF, 0xFF, 0xFF, 255),   # card paper
    'b': (0x34, 0x7E, 0xD4, 255),   # sky, top
    'c': (0x7F, 0xB9, 0xEC, 255),   # sky, middle
    'd': (0xB6, 0xDC, 0xF8, 255),   # sky, horizon
    's': (0xFF, 0xD2, 0x3C, 255),   # sun
    'S': (0xCF, 0xD8, 0x9A, 255),   # sun's soft edge on the sky
    'g': (0x84, 0xC8, 0x6E, 255),   # far hill
    'G': (0x3A, 0x96, 0x47, 255),   # near hill
    'R': (0xA8, 0x24, 0x1B, 255),   # badge rim
    'r': (0xE0, 0x40, 0x33, 255),   # badge face
    'x': (0xFF, 0xFF, 0xFF, 255),   # the cross
}

APP_ICON_16 = [
    '................',
    'kkkkkkkkkkkkkk..',
    'kwwwwwwwwwwwwk..',
    'kwbbbbbbbbbbwk..',
    'kwbbbbbbssbbwk..',
    'kwccccccssccwk..',
    'kwccccccccccwk..',
    'kwgggdddddggwk..',
    'kwggggggggggwk..',
    'kwGGGgggggggwk..',
    'kwGGGGGGGgggwk..',
    'kwwwwwwwwwwwwk..',
    'kkkkkkkkkkkkkk..',
    '................',
    '................',
    '................',
]

# The red cross badge, laid over the card's lower right corner.
APP_BADGE_16 = [
    '..RRRR..',
    '.RrrrrR.',
    'RrxrrxrR',
    'RrrxxrrR',
    'RrrxxrrR',
    'RrxrrxrR',
    '.RrrrrR.',
    '..RRRR..',
]


def overlay_badge(base, badge, left, top, halo):
    """Lays a badge over pixel art with a one-pixel halo where it meets the art."""
    out = [list(line) for line in base]
    inside = set()
    for j, line in enumerate(badge):
        for i, ch in enumerate(line):
            if ch != '.':
                inside.add((left + i, top + j))
    for y in range(len(out)):
        for x in range(len(out[y])):
            if (x, y) in inside or out[y][x] == '.':
                continue
            if any((x + dx, y + dy) in inside for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                out[y][x] = halo
    for x, y in inside:
        out[y][x] = badge[y - top][x - left]
    return [''.join(line) for line in out]


# Folder pixel art, one character per pixel.
FOLDER_PALETTE = {
    '.': (0, 0, 0, 0),
    'o': (0x8A, 0x66, 0x10, 255),   # outline
    't': (0xE4, 0xAE, 0x2E, 255),   # tab and back panel
    'T': (0xF2, 0xC4, 0x4A, 255),   # lit edge of the back panel
    'h': (0xFF, 0xF1, 0xB8, 255),   # highlight on the front
    'y': (0xFC, 0xD8, 0x5C, 255),   # front face
    'm': (0xF0, 0xC0, 0x40, 255),   # front face, shaded bottom
    'p': (0xFF, 0xFF, 0xFF, 255),   # paper sticking out of the open folder
    'q': (0xC8, 0xC8, 0xC8, 255),   # paper edge
}

FOLDER_CLOSED = [
    '................',
    '................',
    '.oooo...........',
    'oTTTTo..........',
    'otttttoooooooo..',
    'otttttttttttttoo',
    'oooooooooooooooo',
    'ohhhhhhhhhhhhhho',
    'ohyyyyyyyyyyyyyo',
    'ohyyyyyyyyyyyyyo',
    'ohyyyyyyyyyyyyyo',
    'ohyyyyyyyyyyyyyo',
    'ohmmmmmmmmmmmmmo',
    'ommmmmmmmmmmmmmo',
    'oooooooooooooooo',
    '................',
]

FOLDER_OPEN = [
    '................',
    '................',
    '.oooo...........',
    'oTTTTo..........',
    'otttttoooooooo..',
    'ottqqqqqqqqqto..',
    'ottqpppppppqto..',
    'ottqpooooooooooo',
    'ottqohhhhhhhhhho',
    'otqohyyyyyyyyyo.',
    'otqohyyyyyyyyyo.',
    'otohyyyyyyyyyo..',
    'oohyyyyyyyyyyo..',
    'oohmmmmmmmmmo...',
    'ooooooooooooo...',
    '................',
]


def draw_folder(size, opened):
    """The path field's folder at a size other than 16: the 16-pixel picture's shapes, laid on
    whole pixels at this size (outlines one pixel wide up to 24 pixels, two at 32), so that it
    stays sharp where the screen is scaled."""
    if size == 16:
        return pixel_art(FOLDER_OPEN if opened else FOLDER_CLOSED, FOLDER_PALETTE)
    pal = {k: tuple(v / 255.0 for v in rgba) for k, rgba in FOLDER_PALETTE.items()}
    u = size / 16.0
    t = 1 if size < 32 else 2

    def px(v):
        return float(int(round(v * u)))

    c = Canvas(size, size)

    def rect(x0, y0, x1, y1, colour):
        c.paint(lambda x, y: colour, (x0, y0, x1, y1))

    def quad(points, colour):
        a, b, cc, d = points

        def shade(x, y):
            return colour if in_triangle(x, y, a, b, cc) or in_triangle(x, y, a, cc, d) else None
        xs, ys = [p[0] for p in points], [p[1] for p in points]
        c.paint(shade, (min(xs), min(ys), max(xs), max(ys)))

    left, right, bottom = 0.0, float(size), px(15)
    # The tab and the back panel.
    rect(px(1), px(2), px(5), px(4), pal['o'])
    rect(left, px(3), px(6), px(5), pal['o'])
    rect(px(1), px(3) + t, px(5), px(5), pal['T'])
    rect(left, px(4), right - px(1) if not opened else px(14), bottom, pal['o'])
    rect(left + t, px(4) + t, (right - px(1) if not opened else px(14)) - t, bottom - t, pal['t'])
    if not opened:
        rect(left, px(6), right, bottom, pal['o'])
        rect(left + t, px(6) + t, right - t, bottom - t, pal['y'])
        rect(left + t, px(6) + t, right - t, px(6) + 2 * t, pal['h'])
        rect(left + t, px(12), right - t, bottom - t, pal['m'])
    else:
        # Paper sticking out, then the front leaning open.
        rect(px(3), px(5), px(13), px(10), pal['q'])
        rect(px(3) + t, px(5) + t, px(13) - t, px(10), pal['p'])
        quad(((px(5), px(7)), (right, px(7)), (px(13), bottom), (left, bottom)), pal['o'])
        quad(((px(5) + t, px(7) + t), (right - 1.6 * t, px(7) + t), (px(13) - t, bottom - t),
              (left + 1.6 * t, bottom - t)), pal['y'])
        quad(((px(5) + t, px(7) + t), (right - 1.6 * t, px(7) + t),
              (right - 1.6 * t - 0.3 * t, px(7) + 2 * t), (px(5) + t - 0.3 * t, px(7) + 2 * t)),
             pal['h'])
    return c.pixels()


def pixel_art(lines, palette):
    assert len(lines) == 16 and all(len(line) == 16 for line in lines), 'pixel art must be 16x16'
    return [[palette[ch] for ch in line] for line in lines]


# --------------------------------------------------------------------------

def write(path, data):
    with open(path, 'wb') as f:
        f.write(data)
    print('%-40s %7d bytes' % (path, len(data)))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'resources')
    out = os.path.normpath(out)
    os.makedirs(out, exist_ok=True)
    write(os.path.join(out, 'logo.png'), png_bytes(draw_logo(LOGO_SCALE)))
    write(os.path.join(out, 'Uninstaller.ico'),
          ico_bytes([draw_app_icon(n) for n in (16, 32, 48)]))
    # One size for each common scale: 100 %, 125 %, 150 % and 200 %.
    for name, opened in (('xfolder.ico', False), ('xfolder_open.ico', True)):
        write(os.path.join(out, name),
              ico_bytes([draw_folder(n, opened) for n in (16, 20, 24, 32)]))


if __name__ == '__main__':
    main()
