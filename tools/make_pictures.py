#!/usr/bin/python3
"""Draws Zirvak's pictures into res/.

    res/background.png    405 x 308 RGB   the night garden that is the window's face
    res/sprites.png       1500 x 700 RGB  the butterfly: 7 rows of 15 frames, 100 x 100 each
    res/about.png         293 x 159 RGB   the About box picture
    res/icons/zirvak-N.png  N x N RGBA    the application icon, N = 16, 32, 48, 128, 256

Everything is drawn here from fixed seeds, so every run writes the same bytes.
Only Debian's python3-pil (Pillow) is needed; run it with the system Python:

    /usr/bin/python3 tools/make_pictures.py           # draw and write all pictures
    /usr/bin/python3 tools/make_pictures.py --check   # verify the pictures in res/

The rules the player relies on, and which --check verifies:
  * background: the lights are the pixels whose packed value B*65536 + G*256 + R is below
    0x0A0A0A (in effect: blue below 10). They are fairy lights strung through the bushes;
    every other pixel keeps its blue well above that.
  * sprites: every frame's background is exact magenta (255, 0, 255), the colour the player
    reads at the frame's pixel (0, 1) as its transparent key. No drawn pixel is magenta, and
    none is pure black either: the player blackens the key pixels of a frame it has drawn, so
    from then on black is what it reads as the key.
"""

import argparse
import math
import os
import random
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RES = os.path.join(ROOT, "res")

MAGENTA = (255, 0, 255)
# Neutral dark colour that anti-aliased edges of the butterfly blend into (never the key).
EDGE_DARK = (24, 20, 38)

BG_SIZE = (405, 308)
FRAME = 100
SHEET_COLS, SHEET_ROWS = 15, 7
SHEET_SIZE = (FRAME * SHEET_COLS, FRAME * SHEET_ROWS)
ABOUT_SIZE = (293, 159)
ICON_SIZES = (16, 32, 48, 128, 256)

# Light-pixel count the background must have, and the first row lights may appear on.
LIGHTS_MIN, LIGHTS_MAX = 2000, 4500
LIGHTS_FIRST_ROW = 40

# Sprite rows 1..6: the butterfly's heading in screen degrees (0 = right, 90 = down).
# Row 1 flies mainly left, 2 mainly right, 3 down and right, 4 down and left, 5 up and left,
# 6 up and right; the steep rows sit in the middle of their 45..90 degree sectors.
ROW_HEADINGS = {1: 180.0, 2: 0.0, 3: 67.5, 4: 112.5, 5: 247.5, 6: 292.5}


def is_light(rgb):
    r, g, b = rgb[:3]
    return ((b << 16) | (g << 8) | r) < 0x0A0A0A


# ---------------------------------------------------------------------------------------------
# Small geometry and colour helpers


def lerp(a, b, t):
    return a + (b - a) * t


def lerp_pt(p, q, t):
    return (p[0] + (q[0] - p[0]) * t, p[1] + (q[1] - p[1]) * t)


def lerp_col(c1, c2, t):
    return tuple(int(round(c1[i] + (c2[i] - c1[i]) * t)) for i in range(3))


def smooth(t):
    t = max(0.0, min(1.0, t))
    return t * t * (3 - 2 * t)


def clamp8(v):
    return 0 if v < 0 else 255 if v > 255 else int(v)


def gradient(stops, u):
    """Colour at u (0..1) along a list of (position, colour) stops."""
    if u <= stops[0][0]:
        return stops[0][1]
    for (u0, c0), (u1, c1) in zip(stops, stops[1:]):
        if u <= u1:
            return lerp_col(c0, c1, (u - u0) / (u1 - u0))
    return stops[-1][1]


def lerp_stops(s1, s2, t):
    return [(lerp(a[0], b[0], t), lerp_col(a[1], b[1], t)) for a, b in zip(s1, s2)]


def catmull_rom_closed(pts, per=16):
    """Dense closed curve through pts; control point i lands at index i * per."""
    out = []
    n = len(pts)
    for i in range(n):
        p0, p1, p2, p3 = pts[i - 1], pts[i], pts[(i + 1) % n], pts[(i + 2) % n]
        for j in range(per):
            t = j / per
            t2, t3 = t * t, t * t * t
            out.append(tuple(
                0.5 * (2 * p1[k] + (-p0[k] + p2[k]) * t + (2 * p0[k] - 5 * p1[k] + 4 * p2[k] - p3[k]) * t2
                       + (-p0[k] + 3 * p1[k] - 3 * p2[k] + p3[k]) * t3)
                for k in range(2)))
    return out


def resample_open(chain, m):
    """m points spread evenly by arc length from chain[0] to chain[-1], both included."""
    acc = [0.0]
    for a, b in zip(chain, chain[1:]):
        acc.append(acc[-1] + math.hypot(b[0] - a[0], b[1] - a[1]))
    total = acc[-1]
    out = []
    j = 0
    for i in range(m):
        d = total * i / (m - 1)
        while j < len(chain) - 2 and acc[j + 1] < d:
            j += 1
        seg = acc[j + 1] - acc[j]
        t = 0.0 if seg == 0 else (d - acc[j]) / seg
        out.append(lerp_pt(chain[j], chain[j + 1], min(1.0, max(0.0, t))))
    return out


def signed_area(poly):
    return 0.5 * sum(poly[i - 1][0] * poly[i][1] - poly[i][0] * poly[i - 1][1] for i in range(len(poly)))


def clockwise(poly):
    """The same outline with the same start point, wound clockwise on screen (y down)."""
    if signed_area(poly) < 0:
        return [poly[0]] + poly[:0:-1]
    return poly


def mirror(poly):
    return clockwise([(-x, y) for x, y in poly])


def circle(cx, cy, r, n=18):
    return [(cx + r * math.cos(2 * math.pi * i / n), cy + r * math.sin(2 * math.pi * i / n)) for i in range(n)]


# ---------------------------------------------------------------------------------------------
# The butterfly and the flower it grows out of
#
# Shapes are outlines of N points in frame units (a frame is 100 x 100, origin at its centre,
# y down), drawn head up. Wing outlines start at the wing root and pass the wing tip at N / 2;
# petal outlines start at the petal base and pass the petal tip at N / 2, so a petal can be
# morphed point by point into a wing.

N = 96


def two_halves(ctrl, tip):
    dense = catmull_rom_closed(ctrl)
    ti = tip * 16
    first = dense[:ti + 1]
    second = dense[ti:] + [dense[0]]
    return clockwise(resample_open(first, N // 2 + 1)[:-1] + resample_open(second, N // 2 + 1)[:-1])


WING_SCALE = 0.84

# Right forewing: root, leading edge up to the tip, outer margin, trailing edge back.
_FORE = [(1.5, -3.5), (5, -13), (12, -24), (22, -32), (33, -36.5), (40.5, -34), (42.5, -27),
         (39, -18), (31, -10), (20, -4), (9, -1), (3, -1.5)]
_FORE_TIP = 5
# Right hindwing, with a short tail.
_HIND = [(2, 0.5), (12, 0.5), (24, 3.5), (31, 10), (32.5, 18.5), (28, 27), (21, 32.5),
         (18, 41), (14.5, 41.5), (13, 33.5), (7, 29), (3.5, 19), (1.5, 8)]
_HIND_TIP = 7


def _scaled(ctrl):
    return [(x * WING_SCALE, y * WING_SCALE) for x, y in ctrl]


FORE_R = two_halves(_scaled(_FORE), _FORE_TIP)
HIND_R = two_halves(_scaled(_HIND), _HIND_TIP)


def petal(base, angle_deg, length, width, profile="petal"):
    a = math.radians(angle_deg)
    ux, uy = math.cos(a), math.sin(a)
    vx, vy = -uy, ux
    half = N // 2
    side_a, side_b = [], []
    for i in range(half + 1):
        t = i / half
        if profile == "petal":
            w = 0.5 * math.sin(math.pi * t ** 0.75) ** 0.85
        else:  # the body: slim abdomen, broader thorax near the head end
            w = 0.5 * (0.55 * math.sin(math.pi * t ** 0.9) ** 0.6
                       + 0.45 * math.exp(-((t - 0.78) / 0.11) ** 2) * (1 if t < 0.99 else 0))
        u = length * t
        side_a.append((base[0] + ux * u + vx * width * w, base[1] + uy * u + vy * width * w))
        side_b.append((base[0] + ux * u - vx * width * w, base[1] + uy * u - vy * width * w))
    poly = side_a[:-1] + side_b[::-1][:-1]
    return clockwise(poly)


FORE_STOPS = [(0.0, (30, 34, 118)), (0.35, (38, 84, 212)), (0.72, (62, 170, 244)), (1.0, (150, 232, 252))]
HIND_STOPS = [(0.0, (34, 28, 112)), (0.4, (66, 66, 206)), (0.8, (128, 104, 236)), (1.0, (188, 160, 250))]
BODY_STOPS = [(0.0, (118, 106, 140)), (0.5, (70, 60, 92)), (0.8, (44, 38, 62)), (1.0, (36, 30, 52))]
WING_BORDER = (20, 22, 54)
BODY_BORDER = (30, 26, 44)

PETAL_STOPS = [(0.0, (44, 40, 132)), (0.35, (58, 74, 190)), (0.72, (92, 124, 236)), (1.0, (168, 184, 252))]
PETAL_BACK_STOPS = [(0.0, (34, 30, 100)), (0.5, (48, 60, 160)), (0.8, (70, 96, 206)), (1.0, (120, 140, 230))]
BUD_STOPS = [(0.0, (40, 34, 116)), (0.35, (52, 58, 170)), (0.72, (72, 98, 214)), (1.0, (120, 150, 240))]
PETAL_BORDER = (28, 30, 92)


def butterfly_parts():
    """The open butterfly, head up: four wings and the body."""
    return {
        "hind_l": dict(poly=mirror(HIND_R), root=mirror(HIND_R)[0], stops=HIND_STOPS, border=WING_BORDER,
                       inner=0.86, wing=True),
        "hind_r": dict(poly=HIND_R, root=HIND_R[0], stops=HIND_STOPS, border=WING_BORDER, inner=0.86, wing=True),
        "fore_l": dict(poly=mirror(FORE_R), root=mirror(FORE_R)[0], stops=FORE_STOPS, border=WING_BORDER,
                       inner=0.87, wing=True),
        "fore_r": dict(poly=FORE_R, root=FORE_R[0], stops=FORE_STOPS, border=WING_BORDER, inner=0.87, wing=True),
        "body": dict(poly=petal((0, 19), -90, 28.5, 6.4, "body"), root=(0, -4.5), stops=BODY_STOPS,
                     border=BODY_BORDER, inner=0.9, wing=False),
    }


def flower_parts(closed):
    """The blue flower seen from the side, open (closed = 0) or shut into a bud (closed = 1)."""
    base = (0, 7)
    c = closed
    stops = lambda s: lerp_stops(s, BUD_STOPS, c)
    return {
        "hind_l": dict(poly=petal(base, lerp(-168, -104, c), lerp(29, 24, c), lerp(17, 9.5, c)), root=base,
                       stops=stops(PETAL_STOPS), border=PETAL_BORDER, inner=0.9, wing=True),
        "hind_r": dict(poly=petal(base, lerp(-12, -76, c), lerp(29, 24, c), lerp(17, 9.5, c)), root=base,
                       stops=stops(PETAL_STOPS), border=PETAL_BORDER, inner=0.9, wing=True),
        "fore_l": dict(poly=petal(base, lerp(-128, -97, c), lerp(34, 28, c), lerp(19, 10, c)), root=base,
                       stops=stops(PETAL_STOPS), border=PETAL_BORDER, inner=0.9, wing=True),
        "fore_r": dict(poly=petal(base, lerp(-52, -83, c), lerp(34, 28, c), lerp(19, 10, c)), root=base,
                       stops=stops(PETAL_STOPS), border=PETAL_BORDER, inner=0.9, wing=True),
        "body": dict(poly=petal(base, -90, lerp(31, 31, c), lerp(17, 12, c)), root=base,
                     stops=lerp_stops(PETAL_BACK_STOPS, BUD_STOPS, c), border=PETAL_BORDER, inner=0.9, wing=False),
    }


def morph_parts(a, b, t):
    out = {}
    for k in a:
        pa, pb = a[k], b[k]
        out[k] = dict(poly=[lerp_pt(p, q, t) for p, q in zip(pa["poly"], pb["poly"])],
                      root=lerp_pt(pa["root"], pb["root"], t),
                      stops=lerp_stops(pa["stops"], pb["stops"], t),
                      border=lerp_col(pa["border"], pb["border"], t),
                      inner=lerp(pa["inner"], pb["inner"], t), wing=pb["wing"])
    return out


PART_ORDER = ("body_back", "hind_l", "hind_r", "fore_l", "fore_r", "body")


class Pose:
    """Where and how one butterfly (or flower) is drawn.

    heading: screen degrees the head points to (270 = up); flap: wing openness for the
    forewings and hindwings (1 open, near 0 folded up); size: frame units to output pixels;
    centre: output pixel the frame centre goes to; ss: supersampling factor.
    """

    def __init__(self, heading=270.0, flap=(1.0, 1.0), size=1.0, centre=(50, 50), ss=4):
        self.heading = heading
        self.flap = flap
        self.size = size
        self.centre = centre
        self.ss = ss
        phi = math.radians(heading + 90.0)
        self.c, self.s = math.cos(phi), math.sin(phi)

    def pt(self, x, y, fx=1.0):
        x *= fx
        k = self.size * self.ss
        return ((x * self.c - y * self.s) * k + self.centre[0] * self.ss,
                (x * self.s + y * self.c) * k + self.centre[1] * self.ss)

    def poly(self, pts, fx=1.0):
        return [self.pt(x, y, fx) for x, y in pts]

    def w(self, width):
        return max(1, int(round(width * self.size * self.ss)))


def draw_graded(d, pose, part, fx, shade, detail):
    """A filled outline: dark border, then a gradient from the edge inwards to the root."""
    poly, root = part["poly"], part["root"]
    shade_col = lambda col: tuple(clamp8(v * shade) for v in col)
    d.polygon(pose.poly(poly, fx), fill=shade_col(part["border"]))
    steps = 26 if detail else 12
    inner = part["inner"]
    for j in range(steps):
        u = 1.0 - j / steps
        s = inner * u + 0.04
        col = shade_col(gradient(part["stops"], u))
        d.polygon(pose.poly([(root[0] + (x - root[0]) * s, root[1] + (y - root[1]) * s) for x, y in poly], fx),
                  fill=col)


def wing_point(poly, root, index, depth):
    """A point on the way from a wing's root to its outline point `index` (depth 0..1)."""
    p = poly[index % N]
    return (root[0] + (p[0] - root[0]) * depth, root[1] + (p[1] - root[1]) * depth)


def draw_wing_details(d, pose, parts, flaps, shade, amount, detail):
    """Veins, margin spots and eyespots; amount (0..1) grows them in during the morph."""
    if amount <= 0:
        return
    sc = lambda col: tuple(clamp8(v * shade) for v in col)
    vein = sc((26, 30, 86))
    for side in ("l", "r"):
        for kind in ("fore", "hind"):
            part = parts[kind + "_" + side]
            poly, root = part["poly"], part["root"]
            fx = flaps[0] if kind == "fore" else flaps[1]
            if detail:
                # Veins: thin dark lines fanning out from the root.
                for idx in ((18, 30, 42, 54, 66, 78) if kind == "fore" else (30, 42, 54, 66)):
                    a = wing_point(poly, root, idx, 0.12)
                    b = wing_point(poly, root, idx, 0.84)
                    d.line(pose.poly([a, b], fx), fill=vein, width=max(1, pose.w(0.45 * amount)))
            if kind == "fore":
                # White spots along the dark outer margin near the tip.
                for idx, r in ((40, 1.35), (45, 1.6), (50, 1.5), (56, 1.3), (62, 1.1)):
                    x, y = wing_point(poly, root, idx, 0.915)
                    d.polygon(pose.poly(circle(x, y, r * amount, 12), fx), fill=sc((236, 240, 252)))
                if detail:
                    x, y = wing_point(poly, root, 30, 0.72)
                    d.polygon(pose.poly(circle(x, y, 1.2 * amount, 12), fx), fill=sc((210, 236, 255)))
            else:
                # An orange eyespot with a dark pupil and a glint, and small margin dots.
                x, y = wing_point(poly, root, 40, 0.66)
                d.polygon(pose.poly(circle(x, y, 4.3 * amount, 20), fx), fill=sc((36, 22, 50)))
                d.polygon(pose.poly(circle(x, y, 3.5 * amount, 20), fx), fill=sc((252, 160, 44)))
                d.polygon(pose.poly(circle(x, y, 2.2 * amount, 16), fx), fill=sc((40, 24, 56)))
                if detail:
                    d.polygon(pose.poly(circle(x - 0.6, y - 0.7, 0.7 * amount, 10), fx), fill=sc((250, 246, 230)))
                    for idx in (26, 32, 60, 66):
                        x, y = wing_point(poly, root, idx, 0.92)
                        d.polygon(pose.poly(circle(x, y, 1.0 * amount, 10), fx), fill=sc((250, 196, 120)))


def draw_head_and_antennae(d, pose, amount, detail):
    if amount <= 0:
        return
    head = (0, -13.2)
    d.polygon(pose.poly(circle(head[0], head[1], 3.1 * amount, 18)), fill=(34, 28, 48))
    d.polygon(pose.poly(circle(head[0], head[1] - 0.4, 2.3 * amount, 16)), fill=(78, 68, 100))
    if detail:
        for sx in (-1, 1):
            d.polygon(pose.poly(circle(sx * 1.5 * amount, -14.4, 0.8 * amount, 10)), fill=(20, 18, 30))
    for sx in (-1, 1):
        pts = []
        for i in range(13):
            t = i / 12
            pts.append((sx * (1.2 + 8.5 * t ** 1.4) * amount, head[1] - 2 - 15 * t * amount))
        d.line(pose.poly(pts), fill=(34, 30, 52), width=pose.w(0.95), joint="curve")
        tip = pts[-1]
        d.polygon(pose.poly(circle(tip[0], tip[1], 1.45 * amount, 12)), fill=(34, 30, 52))
        d.polygon(pose.poly(circle(tip[0], tip[1] - 0.2, 0.7 * amount, 8)), fill=(200, 210, 240))


def draw_stem(d, pose, amount):
    """Stem, leaf and sepals of the flower; amount (1 flower .. 0 gone) shrinks them away."""
    if amount <= 0.02:
        return
    stem_top = (0, 8)
    length = 38 * amount
    pts = [(0.0 + 1.6 * math.sin(t * 2.2) * amount, stem_top[1] + length * t) for t in [i / 10 for i in range(11)]]
    d.line(pose.poly(pts), fill=(22, 56, 34), width=pose.w(3.6 * amount + 0.6), joint="curve")
    d.line(pose.poly(pts), fill=(70, 150, 72), width=pose.w(2.0 * amount + 0.3), joint="curve")
    # A leaf on the stem.
    lb = pts[6]
    leaf = petal(lb, -25, 17 * amount, 8 * amount)
    d.polygon(pose.poly(leaf), fill=(22, 56, 34))
    inner = [(lb[0] + (x - lb[0]) * 0.8, lb[1] + (y - lb[1]) * 0.8) for x, y in leaf]
    d.polygon(pose.poly(inner), fill=(76, 156, 78))
    d.line(pose.poly([lb, (lb[0] + 14 * amount * math.cos(math.radians(-25)),
                           lb[1] + 14 * amount * math.sin(math.radians(-25)))]),
           fill=(44, 110, 52), width=pose.w(0.5))
    # Sepals holding the flower.
    for ang in (-150, -30, -90):
        s = petal((0, 9.5), ang, 8 * amount, 5.5 * amount)
        d.polygon(pose.poly(s), fill=(22, 56, 34))
        d.polygon(pose.poly([(x * 0.8, 9.5 + (y - 9.5) * 0.8) for x, y in s]), fill=(64, 140, 66))


def draw_stamens(d, pose, amount):
    if amount <= 0.02:
        return
    for ang, ln in ((-110, 15), (-90, 17), (-70, 15), (-100, 11), (-80, 11)):
        a = math.radians(ang)
        tip = (ln * amount * math.cos(a), 6 + ln * amount * math.sin(a))
        d.line(pose.poly([(0, 6), tip]), fill=(210, 200, 120), width=pose.w(0.6))
        d.polygon(pose.poly(circle(tip[0], tip[1], 1.5 * amount, 10)), fill=(250, 214, 64))


def draw_figure(img, pose, parts, flaps=(1.0, 1.0), detail=True, butterfly=1.0, flower=0.0, stamens=0.0):
    """Draws one butterfly / flower figure onto the supersampled RGBA canvas img."""
    d = ImageDraw.Draw(img)
    shades = (0.55 + 0.45 * flaps[0], 0.55 + 0.45 * flaps[1])
    draw_stem(d, pose, flower)
    if stamens > 0:
        # The back of the flower's cup, behind the stamens.
        draw_graded(d, pose, parts["body"], 1.0, 1.0, detail)
        draw_stamens(d, pose, stamens)
    for side in ("l", "r"):
        draw_graded(d, pose, parts["hind_" + side], flaps[1], shades[1], detail)
    for side in ("l", "r"):
        draw_graded(d, pose, parts["fore_" + side], flaps[0], shades[0], detail)
    draw_wing_details(d, pose, parts, flaps, min(shades), butterfly, detail)
    if stamens <= 0:
        draw_graded(d, pose, parts["body"], 1.0, 1.0, detail)
        if detail and butterfly > 0:
            # Fine rings across the abdomen.
            for yy in (3, 7, 11, 15):
                d.line(pose.poly([(-2.2, yy), (2.2, yy)]), fill=(36, 30, 50), width=pose.w(0.5))
    draw_head_and_antennae(d, pose, butterfly, detail)


def flap_openness(k):
    """Wing openness for beat frame k of 15: open, folding up to nearly closed, open again."""
    fore = 0.16 + 0.84 * (0.5 + 0.5 * math.cos(2 * math.pi * k / 15))
    hind = 0.16 + 0.84 * (0.5 + 0.5 * math.cos(2 * math.pi * (k - 0.6) / 15))
    return fore, hind


def row0_figure(img, pose, k):
    """Column k of the take-off row: flower (0), bud (6), butterfly with spread wings (14)."""
    if k <= 6:
        t = smooth(k / 6)
        parts = flower_parts(t)
        draw_figure(img, pose, parts, detail=True, butterfly=0.0, flower=1.0, stamens=1.0 - t)
    else:
        t = smooth((k - 6) / 8)
        parts = morph_parts(flower_parts(1.0), butterfly_parts(), t)
        grow = max(0.0, (t - 0.45) / 0.55)
        draw_figure(img, pose, parts, detail=True, butterfly=grow, flower=1.0 - t)


def canvas(size, ss):
    return Image.new("RGBA", (size[0] * ss, size[1] * ss), EDGE_DARK + (0,))


def key_frame(rgba):
    """RGBA frame -> RGB on the magenta key: partly covered edge pixels blend with a dark
    edge colour, uncovered ones become exact magenta, so no pink fringe can appear."""
    w, h = rgba.size
    src = rgba.load()
    out = Image.new("RGB", (w, h), MAGENTA)
    dst = out.load()
    for y in range(h):
        for x in range(w):
            r, g, b, a = src[x, y]
            if a < 96:
                continue
            t = a / 255.0
            px = (int(round(r * t + EDGE_DARK[0] * (1 - t))), int(round(g * t + EDGE_DARK[1] * (1 - t))),
                  int(round(b * t + EDGE_DARK[2] * (1 - t))))
            if px == MAGENTA:
                px = (254, 0, 254)
            elif px == (0, 0, 0):
                px = (1, 1, 1)
            dst[x, y] = px
    return out


def make_sprites():
    ss = 4
    sheet = Image.new("RGB", SHEET_SIZE, MAGENTA)
    for row in range(SHEET_ROWS):
        for col in range(SHEET_COLS):
            img = canvas((FRAME, FRAME), ss)
            if row == 0:
                row0_figure(img, Pose(heading=270.0, ss=ss), col)
            else:
                flaps = flap_openness(col)
                # A slight rise and fall of the body with the wing beat.
                bob = 1.2 * math.sin(2 * math.pi * col / 15)
                h = math.radians(ROW_HEADINGS[row])
                centre = (50 - bob * math.cos(h), 50 - bob * math.sin(h))
                draw_figure(img, Pose(heading=ROW_HEADINGS[row], flap=flaps, centre=centre, ss=ss),
                            butterfly_parts(), flaps=flaps)
            small = img.resize((FRAME, FRAME), Image.BOX)
            sheet.paste(key_frame(small), (col * FRAME, row * FRAME))
    return sheet


# ---------------------------------------------------------------------------------------------
# The night garden
#
# Drawn at twice the size and scaled down, then given film grain. The whole picture keeps its
# blue at 14 or more; only the fairy-light bulbs, placed last, have blue below 10.

BG_SS = 2
MIN_BLUE = 14


class Garden:
    def __init__(self, seed):
        self.rng = random.Random(seed)
        w, h = BG_SIZE
        self.img = Image.new("RGB", (w * BG_SS, h * BG_SS))
        self.d = ImageDraw.Draw(self.img)
        # Which bush or tree crown each pixel shows (0: none), so that fairy lights hang only
        # on the leaves of the bush they are wound around, never on one in front of it.
        self.owner = Image.new("L", (w * BG_SS, h * BG_SS), 0)
        self.od = ImageDraw.Draw(self.owner)
        self.current = 0
        self.bushes = {}

    def P(self, pts):
        return [(x * BG_SS, y * BG_SS) for x, y in pts]

    def ellipse(self, cx, cy, rx, ry, fill, foliage=False):
        box = [(cx - rx) * BG_SS, (cy - ry) * BG_SS, (cx + rx) * BG_SS, (cy + ry) * BG_SS]
        self.d.ellipse(box, fill=fill)
        if foliage:
            self.od.ellipse(box, fill=self.current)

    def polygon(self, pts, fill, foliage=False):
        self.d.polygon(self.P(pts), fill=fill)
        if foliage:
            self.od.polygon(self.P(pts), fill=self.current)

    def leaf(self, x, y, size, angle, fill, foliage=True):
        a = math.radians(angle)
        ux, uy = math.cos(a), math.sin(a)
        pts = []
        for i in range(10):
            t = 2 * math.pi * i / 10
            u = math.cos(t) * size
            v = math.sin(t) * size * 0.42 * (1 - 0.35 * math.cos(t))
            pts.append((x + u * ux - v * uy, y + u * uy + v * ux))
        self.polygon(pts, fill, foliage)


def jitter(rng, col, amount):
    return tuple(clamp8(c + rng.uniform(-amount, amount)) for c in col)


def shade_leaf(base, lit, t):
    """Leaf colour between its shadow colour and its moonlit colour."""
    return lerp_col(base, lit, max(0.0, min(1.0, t)))


def sky(g):
    w, h = g.img.size
    stops = [(0.0, (9, 11, 38)), (0.3, (20, 22, 66)), (0.5, (38, 34, 92)), (0.62, (64, 50, 112)),
             (0.72, (92, 66, 122))]
    moon = (268 * BG_SS, 46 * BG_SS)
    px = g.img.load()
    for y in range(h):
        base = gradient(stops, y / h)
        for x in range(w):
            # Soft moon glow, plus a faint band of haze low in the sky.
            dm = math.hypot(x - moon[0], (y - moon[1]) * 1.1) / BG_SS
            glow = 0.55 * math.exp(-(dm / 36) ** 2) + 0.35 * math.exp(-(dm / 95) ** 2)
            r = base[0] + glow * 120
            gg = base[1] + glow * 122
            b = base[2] + glow * 118
            px[x, y] = (clamp8(r), clamp8(gg), clamp8(b))


def stars(g):
    rng = g.rng
    for _ in range(85):
        x = rng.uniform(0, 405)
        y = rng.uniform(0, 150)
        if math.hypot(x - 268, y - 46) < 48:
            continue
        b = rng.random() ** 3
        col = lerp_col((120, 124, 170), (248, 246, 255), b)
        r = 0.45 + 0.7 * b
        g.ellipse(x, y, r, r, col)
        if b > 0.8:
            g.polygon([(x - 3.5, y), (x, y - 0.35), (x + 3.5, y), (x, y + 0.35)], (170, 176, 220))
            g.polygon([(x, y - 3.5), (x + 0.35, y), (x, y + 3.5), (x - 0.35, y)], (170, 176, 220))


def moon(g):
    cx, cy, r = 268, 46, 12.5
    for i in range(8, 0, -1):
        rr = r + i * 1.1
        g.ellipse(cx, cy, rr, rr, lerp_col((150, 150, 190), (110, 110, 160), i / 8))
    g.ellipse(cx, cy, r, r, (236, 234, 218))
    rng = random.Random(11)
    for _ in range(9):
        a = rng.uniform(0, 2 * math.pi)
        d = rng.uniform(0, r * 0.7)
        cr = rng.uniform(1.2, 3.4)
        g.ellipse(cx + d * math.cos(a), cy + d * math.sin(a), cr, cr * 0.85, (214, 212, 200))


def far_treeline(g):
    rng = g.rng
    pts = [(-5, 308)]
    x = -5.0
    while x < 410:
        base = 168 - 10 * math.sin(x / 70) - 6 * math.sin(x / 23 + 1.3)
        # Rounded crowns of distant trees.
        bump = rng.uniform(4, 16) if rng.random() < 0.55 else rng.uniform(0, 4)
        pts.append((x, base - bump))
        x += rng.uniform(3, 9)
    pts.append((410, 308))
    g.polygon(pts, (28, 30, 60))
    # A few distant poplars.
    for px_, top in ((118, 120), (131, 130), (196, 136), (318, 128), (305, 138)):
        pts = []
        for i in range(21):
            t = i / 20
            wdt = 5.5 * math.sin(math.pi * min(1, t * 1.2)) ** 0.7
            pts.append((px_ + wdt + rng.uniform(-0.8, 0.8), top + t * (175 - top)))
        for i in range(20, -1, -1):
            t = i / 20
            wdt = 5.5 * math.sin(math.pi * min(1, t * 1.2)) ** 0.7
            pts.append((px_ - wdt + rng.uniform(-0.8, 0.8), top + t * (175 - top)))
        g.polygon(pts, (24, 27, 54))


def lawn(g):
    rng = g.rng
    w = 405
    g.polygon([(-5, 172), (410, 172), (410, 310), (-5, 310)], (18, 34, 44))
    for y in range(172, 308, 2):
        t = (y - 172) / 136
        col = lerp_col((26, 40, 56), (14, 30, 34), t)
        g.polygon([(-5, y), (410, y), (410, y + 2.2), (-5, y + 2.2)], col)
    # Moonlight falls across the lawn from the right; darker patches under the bushes.
    for _ in range(60):
        x, y = rng.uniform(0, w), rng.uniform(180, 308)
        t = (y - 172) / 136
        g.ellipse(x, y, rng.uniform(14, 40), rng.uniform(3, 8) * (0.5 + t),
                  jitter(rng, lerp_col((30, 46, 60), (18, 36, 40), t), 4))
    for _ in range(4200):
        x, y = rng.uniform(0, w), rng.uniform(174, 308)
        t = (y - 172) / 136
        lit = 0.5 + 0.5 * x / w
        col = jitter(rng, lerp_col(lerp_col((20, 34, 48), (40, 58, 72), lit), lerp_col((12, 28, 30), (30, 52, 52), lit),
                                   t), 6)
        g.polygon([(x, y), (x + rng.uniform(-1.2, 1.2), y - 1.5 - 4 * t), (x + 0.4 + 0.4 * t, y)], col)
    for _ in range(50):
        x, y = rng.uniform(150, 270), rng.uniform(215, 300)
        g.ellipse(x, y, 0.7, 0.7, jitter(rng, (150, 150, 196), 20))


def path(g):
    rng = g.rng
    # A pale gravel path curving from the bottom towards the gate in the fence.
    left, right = [], []
    for i in range(41):
        t = i / 40
        y = 196 + t * 114
        cx = 212 + 18 * math.sin(t * 2.4 + 0.3) - 8 * t
        half = 5 + 34 * t ** 1.3
        left.append((cx - half, y))
        right.append((cx + half, y))
    g.polygon(left + right[::-1], (58, 62, 86))
    for i in range(40):
        t = i / 40
        y0 = 196 + t * 114
        col = lerp_col((70, 74, 100), (50, 54, 74), t)
        lx, rx = left[i][0], right[i][0]
        g.polygon([(lx + 2 * t, y0), (rx - 2 * t, y0), (right[i + 1][0] - 2, y0 + 3), (left[i + 1][0] + 2, y0 + 3)],
                  col)
    # Stepping stones and gravel.
    for i in range(9):
        t = (i + 0.5) / 9
        y = 196 + t ** 0.8 * 114
        cx = 212 + 18 * math.sin(t ** 0.8 * 2.4 + 0.3) - 8 * t ** 0.8
        rx = 3 + 18 * t ** 1.3
        ry = 1.2 + 5 * t ** 1.3
        g.ellipse(cx + 1, y + 1, rx, ry, (36, 40, 58))
        g.ellipse(cx, y, rx, ry, lerp_col((96, 100, 126), (82, 86, 110), t))
        g.ellipse(cx - rx * 0.25, y - ry * 0.3, rx * 0.5, ry * 0.4, lerp_col((110, 114, 140), (96, 100, 124), t))
    for _ in range(600):
        t = rng.random()
        i = int(t * 40)
        y = left[i][1] + rng.uniform(0, 2.8)
        x = rng.uniform(left[i][0], right[i][0])
        c = jitter(rng, (78, 82, 106), 16)
        g.ellipse(x, y, 0.5 + t * 0.6, 0.4 + t * 0.4, c)


def fence(g):
    rng = g.rng
    # Picket fence along the back of the garden, open where the path meets it.
    rail_col, rail_dark = (62, 64, 90), (30, 32, 52)
    for y, hgt in ((184, 2.6), (199, 2.6)):
        for x0, x1 in ((-5, 196), (228, 410)):
            g.polygon([(x0, y), (x1, y), (x1, y + hgt), (x0, y + hgt)], rail_dark)
            g.polygon([(x0, y), (x1, y), (x1, y + hgt * 0.45), (x0, y + hgt * 0.45)], rail_col)
    x = -3.0
    while x < 408:
        if 192 < x < 230:
            x += 7.5
            continue
        top = 172 + rng.uniform(-0.6, 0.6)
        bottom = 210
        wdt = 4.2
        lit = jitter(rng, (76, 78, 104), 5)
        g.polygon([(x, top + 2.4), (x + wdt / 2, top), (x + wdt, top + 2.4), (x + wdt, bottom), (x, bottom)],
                  (34, 36, 58))
        g.polygon([(x + wdt * 0.45, top + 0.5), (x + wdt, top + 2.4), (x + wdt, bottom), (x + wdt * 0.45, bottom)],
                  lit)
        x += 7.5
    # Gate posts.
    for x in (192, 228):
        g.polygon([(x - 2.5, 164), (x + 2.5, 164), (x + 2.5, 214), (x - 2.5, 214)], (32, 34, 56))
        g.polygon([(x, 164), (x + 2.5, 164), (x + 2.5, 214), (x, 214)], (84, 86, 112))
        g.ellipse(x, 163, 3.2, 2.2, (90, 92, 118))


MOON = (268, 46)


def bush(g, cx, cy, rx, ry, n, dark, lit, size=(2.0, 4.0), flowers=0, clumps=None):
    """A bush: overlapping clumps of leaves on a dark mass, each clump moonlit on the side
    that faces the moon and in shadow underneath."""
    rng = g.rng
    g.current += 1
    g.bushes[g.current] = (cx, cy, rx, ry)
    if clumps is None:
        clumps = max(3, int(rx * ry / 90))
    blobs = []
    for _ in range(clumps):
        a = rng.uniform(0, 2 * math.pi)
        r = math.sqrt(rng.random()) * 0.72
        bx, by = cx + math.cos(a) * r * rx, cy + math.sin(a) * r * ry
        br = rng.uniform(0.28, 0.48) * (rx + ry)
        blobs.append((bx, by, br * rng.uniform(0.9, 1.25), br * rng.uniform(0.65, 0.9)))
    blobs.sort(key=lambda b: b[1])
    for bx, by, bw, bh in blobs:
        g.ellipse(bx, by + bh * 0.15, bw * 0.85, bh * 0.8, lerp_col(dark, (0, 0, 0), 0.3), foliage=True)
    per = max(1, n // len(blobs))
    for bx, by, bw, bh in blobs:
        mx, my = MOON[0] - bx, MOON[1] - by
        ml = math.hypot(mx, my) or 1.0
        ldx, ldy = mx / ml, my / ml
        for _ in range(per):
            a = rng.uniform(0, 2 * math.pi)
            r = rng.random() ** 0.6
            x = bx + math.cos(a) * r * bw
            y = by + math.sin(a) * r * bh
            facing = (math.cos(a) * ldx + math.sin(a) * ldy) * r
            t = 0.35 + 0.75 * facing + rng.uniform(-0.22, 0.22)
            t -= 0.35 * max(0.0, (y - cy) / ry)
            col = jitter(rng, shade_leaf(dark, lit, t), 3)
            g.leaf(x, y, rng.uniform(*size), rng.uniform(0, 180), col)
    for _ in range(flowers):
        bx, by, bw, bh = rng.choice(blobs)
        a = rng.uniform(0, 2 * math.pi)
        r = math.sqrt(rng.random()) * 0.8
        x = bx + math.cos(a) * r * bw
        y = by + math.sin(a) * r * bh
        col = jitter(rng, (120, 128, 184), 14)
        for k in range(5):
            aa = 2 * math.pi * k / 5
            g.ellipse(x + 0.9 * math.cos(aa), y + 0.9 * math.sin(aa), 0.7, 0.7, col)
        g.ellipse(x, y, 0.45, 0.45, (170, 160, 110))


def tree(g, trunk_x, base_y, lean, canopy, dark, lit):
    """A tree: a trunk, dark with a faintly lit side, under a crown of leafy clumps.
    Returns the owner ids of the crown's clumps."""
    pts_l, pts_r = [], []
    top_y = canopy[0][1] + 10
    for i in range(21):
        t = i / 20
        y = base_y + (top_y - base_y) * t
        x = trunk_x + lean * t * t
        half = 6.5 - 3.5 * t + (2.5 * (1 - t) ** 6)
        pts_l.append((x - half, y))
        pts_r.append((x + half, y))
    g.polygon(pts_l + pts_r[::-1], (16, 16, 28))
    g.polygon([(p[0] + 2.5 - 1.5 * i / 20, p[1]) for i, p in enumerate(pts_l)] + pts_r[::-1], (26, 26, 42))
    ids = []
    for cx, cy, rx, ry, n in canopy:
        bush(g, cx, cy, rx, ry, n, dark, lit, size=(2.4, 5.2))
        ids.append(g.current)
    return ids


def foreground_fronds(g):
    rng = g.rng
    g.current = 0  # near the lens: no lights, and they hide the lights behind them
    # Big dark leaves close to the lens at the bottom corners.
    for _ in range(70):
        side = rng.choice((-1, 1))
        x = (0 if side < 0 else 405) - side * rng.uniform(-10, 70)
        y = 308 - rng.uniform(-10, 45) * (1 - abs(x - (0 if side < 0 else 405)) / 90)
        col = jitter(rng, (10, 24, 26), 3)
        g.leaf(x, y, rng.uniform(6, 13), rng.uniform(200, 340), col)
        if rng.random() < 0.5:
            g.leaf(x + 1, y - 1, rng.uniform(4, 8), rng.uniform(0, 180), (26, 46, 50))


def mist(g):
    """A thin band of moonlit mist over the lawn behind the garden."""
    w, h = g.img.size
    rng = random.Random(31)
    band = Image.new("L", (w // 8, h // 8), 0)
    bp = band.load()
    phase = [rng.uniform(0, 6.3) for _ in range(3)]
    for y in range(band.size[1]):
        for x in range(band.size[0]):
            yy = y * 8 / BG_SS
            xx = x * 8 / BG_SS
            v = math.exp(-((yy - 196) / 16) ** 2)
            v *= 0.6 + 0.25 * math.sin(xx / 37 + phase[0]) + 0.15 * math.sin(xx / 13 + phase[1])
            bp[x, y] = clamp8(v * 120)
    band = band.resize((w, h), Image.BICUBIC).filter(ImageFilter.GaussianBlur(6))
    g.img = Image.composite(Image.new("RGB", (w, h), (92, 96, 132)), g.img, band)


def catenary(p0, p1, sag, n):
    pts = []
    for i in range(n + 1):
        t = i / n
        pts.append((lerp(p0[0], p1[0], t), lerp(p0[1], p1[1], t) + sag * 4 * t * (1 - t)))
    return pts


# Warm bulbs, from bright to dim; blue stays below 10 in every one of them.
BULB_COLOURS = [(250, 214, 8), (246, 184, 6), (232, 150, 4), (196, 128, 3), (168, 96, 2), (132, 72, 2),
                (104, 54, 1), (80, 40, 1)]


def fairy_lights(img, owner, garlands, seed):
    """Strings of tiny bulbs wound through the bushes and the tree crowns: the picture's light
    pixels. garlands: (start, end, sag, owners) strings; a bulb is placed only where the
    picture shows the leaves of one of the owners."""
    rng = random.Random(seed)
    w, h = img.size
    px = img.load()
    own = owner.load()
    lit = set()

    def put_bulb(x, y, owners):
        x, y = int(round(x)), int(round(y))
        if not (0 <= x < w and LIGHTS_FIRST_ROW + 8 <= y < h) or own[x, y] not in owners:
            return
        col = BULB_COLOURS[min(len(BULB_COLOURS) - 1, int(rng.random() * len(BULB_COLOURS)))]
        k = rng.random()
        cells = [(0, 0)]
        if k > 0.4:
            cells.append(rng.choice(((1, 0), (0, 1))))
        if k > 0.82:
            cells.append(rng.choice(((1, 1), (-1, 0), (0, -1))))
        # A faint warm halo on the leaves around the bulb (the halo keeps its blue).
        for dy in range(-2, 3):
            for dx in range(-2, 3):
                xx, yy = x + dx, y + dy
                if 0 <= xx < w and 0 <= yy < h and (xx, yy) not in lit:
                    f = 0.2 * math.exp(-(dx * dx + dy * dy) / 1.6)
                    r, g_, b = px[xx, yy]
                    px[xx, yy] = (clamp8(r + f * (col[0] - r)), clamp8(g_ + f * (col[1] - g_)), b)
        for i, (dx, dy) in enumerate(cells):
            xx, yy = x + dx, y + dy
            if 0 <= xx < w and 0 <= yy < h:
                c = col if i == 0 else (clamp8(col[0] * 0.8), clamp8(col[1] * 0.8), col[2] // 2)
                px[xx, yy] = c
                lit.add((xx, yy))

    for p0, p1, sag, owners in garlands:
        length = math.hypot(p1[0] - p0[0], p1[1] - p0[1])
        pts = catenary(p0, p1, sag, max(2, int(length * 2)))
        step = rng.uniform(3.0, 3.9)
        acc = rng.uniform(0, step)
        for a, b in zip(pts, pts[1:]):
            acc += math.hypot(b[0] - a[0], b[1] - a[1])
            if acc >= step:
                acc -= step
                put_bulb(b[0] + rng.uniform(-0.7, 0.7), b[1] + rng.uniform(-0.7, 0.7), owners)
    # A few loose bulbs tucked into the leaves near the bottom.
    everyone = set(range(1, 256))
    for _ in range(420):
        yy = h - 1 - (rng.random() ** 1.5) * (h - 215)
        put_bulb(rng.uniform(0, w - 1), yy, everyone)
    return lit


def bush_garlands(g, ids, rng, spacing=7.0):
    """Strings of lights wound around each bush: sagging arcs across its front."""
    out = []
    for k in ids:
        cx, cy, rx, ry = g.bushes[k]
        m = max(1, int(round(ry * 1.6 / spacing)))
        for i in range(m):
            yrel = -0.62 + 1.3 * (i + rng.uniform(0.3, 0.7)) / m
            hw = rx * math.sqrt(max(0.05, 1 - yrel * yrel)) * 1.1
            tilt = rng.uniform(-0.3, 0.3) * ry
            y = cy + yrel * ry
            out.append(((cx - hw, y - tilt), (cx + hw, y + tilt), rng.uniform(0.12, 0.3) * ry, {k}))
    return out


def grain(img, seed):
    """Film grain and a gentle vignette; blue never drops below MIN_BLUE."""
    rng = random.Random(seed)
    w, h = img.size
    # Low-frequency mottling: a coarse random field scaled up smoothly.
    coarse = Image.frombytes("L", (w // 9 + 2, h // 9 + 2), rng.randbytes((w // 9 + 2) * (h // 9 + 2)))
    coarse = coarse.resize((w, h), Image.BICUBIC).filter(ImageFilter.GaussianBlur(3))
    cpx = coarse.load()
    noise = rng.randbytes(w * h * 2)
    px = img.load()
    for y in range(h):
        for x in range(w):
            r, g, b = px[x, y]
            n = (noise[(y * w + x) * 2] + noise[(y * w + x) * 2 + 1] - 255) / 255.0  # triangular, -1..1
            m = (cpx[x, y] - 128) / 128.0
            dx, dy = (x - w / 2) / (w / 2), (y - h * 0.45) / (h / 2)
            v = 1.0 - 0.22 * (dx * dx + dy * dy)
            lum = (r + g + b) / 3
            amp = 3.5 + lum * 0.04
            r = (r * (1 + 0.06 * m) + n * amp) * v
            g = (g * (1 + 0.06 * m) + n * amp) * v
            b = (b * (1 + 0.05 * m) + n * amp * 1.1) * v
            px[x, y] = (clamp8(r), clamp8(g), max(MIN_BLUE, clamp8(b)))


def make_background():
    g = Garden(2024)
    sky(g)
    stars(g)
    moon(g)
    far_treeline(g)
    g.img = g.img.filter(ImageFilter.GaussianBlur(1.2))
    g.d = ImageDraw.Draw(g.img)
    lawn(g)
    path(g)
    fence(g)
    rng = g.rng
    lights_rng = random.Random(5150)
    garlands = []
    # Bushes along the fence.
    fence_bushes = []
    for x in range(-10, 420, 26):
        if 170 < x < 250:
            continue
        bush(g, x + rng.uniform(-6, 6), 204 + rng.uniform(-3, 3), rng.uniform(18, 26), rng.uniform(12, 17), 260,
             (12, 30, 34), (54, 84, 92), flowers=3)
        fence_bushes.append(g.current)
    garlands += bush_garlands(g, fence_bushes, lights_rng, spacing=6.0)
    # The two trees framing the garden, each with a few strings of lights through its crown.
    left = tree(g, 38, 236, 14, [(40, 40, 62, 44, 1100), (92, 78, 40, 30, 520), (20, 110, 44, 40, 700),
                                  (60, 130, 42, 26, 480), (8, 30, 40, 40, 500)], (10, 22, 30), (44, 68, 82))
    right = tree(g, 376, 232, -8, [(380, 54, 48, 44, 1000), (352, 96, 36, 32, 520), (395, 120, 36, 34, 600),
                                    (360, 140, 30, 20, 360)], (10, 22, 30), (40, 62, 80))
    garlands += [((2, 64), (104, 82), 16, set(left)), ((6, 102), (118, 116), 14, set(left)),
                 ((0, 138), (96, 150), 10, set(left)), ((326, 70), (405, 60), 12, set(right)),
                 ((318, 108), (405, 102), 16, set(right)), ((330, 146), (405, 146), 10, set(right))]
    mist(g)
    g.img = g.img.filter(ImageFilter.GaussianBlur(0.7))
    g.d = ImageDraw.Draw(g.img)
    # Middle and front bushes, flanking the path.
    front = []
    for cx, cy, rx, ry, n in ((40, 232, 46, 24, 700), (130, 236, 40, 20, 560), (300, 232, 40, 22, 600),
                              (378, 236, 40, 22, 600), (8, 268, 46, 30, 800), (100, 272, 52, 30, 900),
                              (318, 270, 52, 30, 900), (402, 272, 40, 32, 700), (40, 300, 60, 22, 900),
                              (140, 304, 42, 18, 600), (290, 304, 44, 18, 620), (380, 304, 52, 20, 800)):
        bush(g, cx, cy, rx, ry, n, (10, 28, 30), (56, 94, 92), size=(2.2, 4.6), flowers=6)
        front.append(g.current)
    garlands += bush_garlands(g, front, lights_rng, spacing=4.6)
    foreground_fronds(g)
    img = g.img.filter(ImageFilter.GaussianBlur(0.45)).resize(BG_SIZE, Image.LANCZOS)
    owner = g.owner.resize(BG_SIZE, Image.NEAREST)
    grain(img, 77)
    fairy_lights(img, owner, garlands, 5150)
    return img


# ---------------------------------------------------------------------------------------------
# Pictures built from the pieces above


def butterfly_rgba(size_px, heading=270.0, flaps=(1.0, 1.0), scale=1.0, detail=True, ss=4):
    """A butterfly alone on a transparent square of size_px; scale 1 fills it like a frame."""
    img = canvas((size_px, size_px), ss)
    pose = Pose(heading=heading, flap=flaps, size=scale * size_px / FRAME, centre=(size_px / 2, size_px / 2), ss=ss)
    draw_figure(img, pose, butterfly_parts(), flaps=flaps, detail=detail)
    return img.resize((size_px, size_px), Image.BOX)


def font(names, size):
    for name in names:
        for folder in ("/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/truetype"):
            path = os.path.join(folder, name)
            if os.path.exists(path):
                return ImageFont.truetype(path, size)
    return ImageFont.load_default()


def night_gradient(size, top, bottom, seed):
    w, h = size
    img = Image.new("RGB", size)
    d = ImageDraw.Draw(img)
    for y in range(h):
        d.line([(0, y), (w, y)], fill=lerp_col(top, bottom, y / (h - 1)))
    rng = random.Random(seed)
    noise = rng.randbytes(w * h)
    px = img.load()
    for y in range(h):
        for x in range(w):
            n = (noise[y * w + x] - 128) / 128.0 * 2.2
            r, g, b = px[x, y]
            px[x, y] = (clamp8(r + n), clamp8(g + n), clamp8(b + n))
    return img


def glow_text(img, xy, text, fnt, fill, glow, radius, anchor="la"):
    mask = Image.new("L", img.size, 0)
    ImageDraw.Draw(mask).text(xy, text, font=fnt, fill=255, anchor=anchor)
    halo = mask.filter(ImageFilter.GaussianBlur(radius)).point(lambda v: min(255, v * 2))
    img.paste(Image.new("RGB", img.size, glow), (0, 0), halo)
    img.paste(Image.new("RGB", img.size, fill), (0, 0), mask)


def make_about():
    w, h = ABOUT_SIZE
    img = night_gradient(ABOUT_SIZE, (14, 16, 52), (46, 34, 92), 404)
    rng = random.Random(9)
    d = ImageDraw.Draw(img)
    # Stars, kept out of the calm strip at the bottom where the OK button sits.
    for _ in range(46):
        x, y = rng.uniform(2, w - 2), rng.uniform(2, h - 44)
        b = rng.random() ** 2.5
        c = lerp_col((90, 92, 150), (240, 240, 255), b)
        r = 0.4 + 0.8 * b
        d.ellipse([x - r, y - r, x + r, y + r], fill=c)
    # A soft glow behind the butterfly.
    glow = Image.new("L", ABOUT_SIZE, 0)
    ImageDraw.Draw(glow).ellipse([14, 8, 108, 102], fill=110)
    glow = glow.filter(ImageFilter.GaussianBlur(18))
    img.paste(Image.new("RGB", ABOUT_SIZE, (120, 130, 220)), (0, 0), glow)
    # The way it came, as a dotted trail looping under the text.
    pts = catmull_rom_closed([(60, 92), (70, 112), (120, 118), (190, 110), (250, 116), (276, 104), (262, 92),
                              (240, 104), (200, 116), (120, 114), (74, 100)], 20)[:-60]
    for i, (x, y) in enumerate(resample_open(pts, 90)):
        a = (i / 90) ** 0.8
        c = lerp_col((210, 216, 255), (52, 48, 110), a)
        r = 0.9 - 0.35 * a
        d.ellipse([x - r, y - r, x + r, y + r], fill=c)
    bf = butterfly_rgba(96, heading=292.0, flaps=(1.0, 1.0), scale=1.0)
    img.paste(bf, (14, 4), bf)
    title = font(("DejaVuSerif-Bold.ttf",), 40)
    glow_text(img, (112, 10), "Zirvak", title, (238, 242, 255), (80, 120, 230), 5)
    sub = font(("DejaVuSerif-Italic.ttf", "DejaVuSerif.ttf"), 13)
    d = ImageDraw.Draw(img)
    d.line([(114, 61), (278, 61)], fill=(92, 104, 190), width=1)
    d.text((114, 66), "a player with a butterfly", font=sub, fill=(196, 204, 246))
    # The version is not drawn here: the About box writes the build's own over this spot.
    return img


def icon_tile(size, ss):
    """The rounded dark-blue tile under the icon's butterfly, with a faint moonlit corner."""
    big = size * ss
    inset = big * 0.03
    radius = big * 0.22
    shape = Image.new("L", (big, big), 0)
    ImageDraw.Draw(shape).rounded_rectangle([inset, inset, big - 1 - inset, big - 1 - inset], radius=radius,
                                            fill=255)
    fill = Image.new("RGB", (big, big))
    fd = ImageDraw.Draw(fill)
    for y in range(big):
        fd.line([(0, y), (big, y)], fill=lerp_col((46, 62, 146), (12, 16, 56), y / (big - 1)))
    glow = Image.new("L", (big, big), 0)
    ImageDraw.Draw(glow).ellipse([big * 0.5, -big * 0.3, big * 1.25, big * 0.45], fill=80)
    glow = glow.filter(ImageFilter.GaussianBlur(big * 0.12))
    fill.paste(Image.new("RGB", (big, big), (150, 170, 255)), (0, 0), glow)
    # A thin lighter rim along the top edge.
    rim = Image.new("L", (big, big), 0)
    rd = ImageDraw.Draw(rim)
    rd.rounded_rectangle([inset, inset, big - 1 - inset, big - 1 - inset], radius=radius, fill=90)
    rd.rounded_rectangle([inset, inset + max(1, big * 0.02), big - 1 - inset, big - 1 - inset], radius=radius, fill=0)
    fill.paste(Image.new("RGB", (big, big), (170, 190, 255)), (0, 0), rim)
    tile = fill.convert("RGBA")
    tile.putalpha(shape)
    return tile.resize((size, size), Image.BOX)


# The 16-pixel icon is drawn pixel by pixel: a scaled-down drawing is too soft at that size.
# Left half only (columns 0..7); the right half mirrors it.
ICON16 = [
    " .......",
    "........",
    ".oo..a..",
    ".owoo.a.",
    ".occbo.k",
    ".ocbbbok",
    "..ocbbok",
    "..obbbok",
    "...ooook",
    "..ovvvok",
    ".ovppvok",
    ".ovypvok",
    "..ovvo.k",
    "...oo...",
    "........",
    " .......",
]
ICON16_COLOURS = {
    "o": (14, 16, 44), "w": (236, 244, 255), "c": (120, 214, 250), "b": (46, 118, 232), "v": (104, 86, 222),
    "p": (164, 146, 248), "y": (252, 168, 44), "k": (78, 70, 108), "a": (196, 206, 250),
}


def make_icon16():
    tile = icon_tile(16, 8)
    px = tile.load()
    for y, row in enumerate(ICON16):
        full = row + row[::-1]
        for x, ch in enumerate(full):
            if ch == " ":
                px[x, y] = (0, 0, 0, 0)
            elif ch != ".":
                px[x, y] = ICON16_COLOURS[ch] + (255,)
    return tile


def make_icon(size):
    if size == 16:
        return make_icon16()
    ss = 8 if size <= 48 else 4
    tile = icon_tile(size, ss)
    bf = butterfly_rgba(size, heading=270.0, scale=0.98, detail=size >= 48, ss=ss)
    return Image.alpha_composite(tile, bf)


def save_png(img, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img.save(path, optimize=True)
    print(f"wrote {os.path.relpath(path, ROOT)}: {img.size[0]}x{img.size[1]} {img.mode}, "
          f"{os.path.getsize(path)} bytes")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--check", action="store_true", help="verify the pictures in res/ instead of drawing")
    ap.add_argument("--only", choices=("background", "sprites", "about", "icons"), help="draw just one picture")
    args = ap.parse_args()
    if args.check:
        sys.exit(0 if check_all() else 1)
    if args.only in (None, "background"):
        bg = make_background()
        save_png(bg, os.path.join(RES, "background.png"))
        print_light_stats(bg)
    if args.only in (None, "sprites"):
        save_png(make_sprites(), os.path.join(RES, "sprites.png"))
    if args.only in (None, "about"):
        save_png(make_about(), os.path.join(RES, "about.png"))
    if args.only in (None, "icons"):
        for n in ICON_SIZES:
            save_png(make_icon(n), os.path.join(RES, "icons", f"zirvak-{n}.png"))


def light_stats(img):
    """Light-pixel count, number of horizontal runs and first and last row holding one."""
    w, h = img.size
    px = img.load()
    count = runs = 0
    rows = []
    for y in range(h):
        inside = False
        for x in range(w):
            if is_light(px[x, y]):
                count += 1
                if not inside:
                    runs += 1
                inside = True
            else:
                inside = False
        if any(is_light(px[x, y]) for x in range(w)):
            rows.append(y)
    return count, runs, (rows[0], rows[-1]) if rows else None


def print_light_stats(img):
    count, runs, span = light_stats(img)
    print(f"background lights: {count} pixels in {runs} runs, rows {span[0]} to {span[1]}")


def check_all():
    """Verifies the pictures in res/; prints every problem found and returns True if none."""
    problems = []

    def load(name, size, mode):
        path = os.path.join(RES, name)
        if not os.path.exists(path):
            problems.append(f"{name}: missing")
            return None
        img = Image.open(path)
        if img.size != size:
            problems.append(f"{name}: size {img.size[0]}x{img.size[1]}, expected {size[0]}x{size[1]}")
        if img.mode != mode:
            problems.append(f"{name}: mode {img.mode}, expected {mode}")
        return img if img.size == size and img.mode == mode else None

    bg = load("background.png", BG_SIZE, "RGB")
    if bg is not None:
        count, runs, span = light_stats(bg)
        print(f"background lights: {count} pixels in {runs} runs, rows {span[0] if span else '-'} to "
              f"{span[1] if span else '-'}")
        if not LIGHTS_MIN <= count <= LIGHTS_MAX:
            problems.append(f"background.png: {count} light pixels, expected {LIGHTS_MIN}..{LIGHTS_MAX}")
        if span and span[0] < LIGHTS_FIRST_ROW:
            problems.append(f"background.png: lights from row {span[0]}, expected none above row {LIGHTS_FIRST_ROW}")
        px = bg.load()
        near = sum(1 for y in range(BG_SIZE[1]) for x in range(BG_SIZE[0])
                   if not is_light(px[x, y]) and px[x, y][2] < 11)
        if near:
            problems.append(f"background.png: {near} pixels outside the lights with blue below 11")

    sheet = load("sprites.png", SHEET_SIZE, "RGB")
    if sheet is not None:
        px = sheet.load()
        for row in range(SHEET_ROWS):
            for col in range(SHEET_COLS):
                x0, y0 = col * FRAME, row * FRAME
                where = f"sprites.png frame row {row} column {col}"
                if px[x0, y0 + 1] != MAGENTA:
                    problems.append(f"{where}: key pixel (0, 1) is {px[x0, y0 + 1]}, not magenta")
                edge = [(x, y) for x in range(FRAME) for y in (0, 1, FRAME - 2, FRAME - 1)]
                edge += [(x, y) for y in range(FRAME) for x in (0, 1, FRAME - 2, FRAME - 1)]
                if any(px[x0 + x, y0 + y] != MAGENTA for x, y in edge):
                    problems.append(f"{where}: drawing reaches the frame's two-pixel margin")
                drawn = black = pink = 0
                for y in range(FRAME):
                    for x in range(FRAME):
                        c = px[x0 + x, y0 + y]
                        if c == MAGENTA:
                            continue
                        drawn += 1
                        if c == (0, 0, 0):
                            black += 1
                        if c[0] > 160 and c[2] > 160 and c[1] < 90:
                            pink += 1
                if drawn < 300:
                    problems.append(f"{where}: only {drawn} drawn pixels")
                if black:
                    problems.append(f"{where}: {black} pure black pixels (black becomes the key once drawn)")
                if pink:
                    problems.append(f"{where}: {pink} near-magenta pixels (a pink fringe)")

    load("about.png", ABOUT_SIZE, "RGB")
    for n in ICON_SIZES:
        icon = load(os.path.join("icons", f"zirvak-{n}.png"), (n, n), "RGBA")
        if icon is not None and icon.getpixel((n // 2, n // 2))[3] != 255:
            problems.append(f"icons/zirvak-{n}.png: centre is not opaque")

    total = sum(os.path.getsize(os.path.join(dp, f)) for dp, _, fs in os.walk(RES) for f in fs if f.endswith(".png"))
    print(f"pictures: {total} bytes together")
    if total > 1_000_000:
        problems.append(f"pictures take {total} bytes together, more than 1 MB")
    for p in problems:
        print("FAIL", p)
    print("all pictures pass" if not problems else f"{len(problems)} problems")
    return not problems


if __name__ == "__main__":
    main()
