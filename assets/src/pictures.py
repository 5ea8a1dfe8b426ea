"""Draws every picture of the game with cairo and writes the palette BMPs, the window icon and
the title picture. Run through tools/assets/generate.sh."""
import math
import os
import random
import sys

import cairo
import numpy as np
from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "assets"))
import imgio  # noqa: E402

GOTHIC = "IPAGothic"
MINCHO = "IPAMincho"

# Colours the sprites sit on; their soft edges are mixed into these.
WALL = (236, 222, 190)
TABLE_WOOD = (150, 84, 44)
TATAMI = (205, 190, 125)
FACE_BG = (245, 215, 185)


def rgb(c, a=1.0):
    return (c[0] / 255.0, c[1] / 255.0, c[2] / 255.0, a)


def canvas(w, h):
    s = cairo.ImageSurface(cairo.FORMAT_ARGB32, w, h)
    c = cairo.Context(s)
    return s, c


def to_array(s):
    s.flush()
    h, w = s.get_height(), s.get_width()
    buf = np.frombuffer(s.get_data(), np.uint8).reshape(h, s.get_stride() // 4, 4)[:, :w, :]
    # Cairo stores premultiplied BGRA in native (little-endian) order.
    arr = np.stack([buf[..., 2], buf[..., 1], buf[..., 0], buf[..., 3]], axis=2).astype(np.float64)
    return arr / 255.0


def fill(c, col, a=1.0):
    c.set_source_rgba(*rgb(col, a))
    c.fill()


def fill_keep(c, col, a=1.0):
    c.set_source_rgba(*rgb(col, a))
    c.fill_preserve()


def stroke(c, col, width, a=1.0):
    c.set_source_rgba(*rgb(col, a))
    c.set_line_width(width)
    c.stroke()


def ellipse(c, cx, cy, rx, ry):
    c.save()
    c.translate(cx, cy)
    c.scale(rx, ry)
    c.arc(0, 0, 1, 0, 2 * math.pi)
    c.restore()


def vgrad(y0, y1, stops):
    g = cairo.LinearGradient(0, y0, 0, y1)
    for pos, col in stops:
        g.add_color_stop_rgba(pos, *rgb(col))
    return g


def hgrad(x0, x1, stops):
    g = cairo.LinearGradient(x0, 0, x1, 0)
    for pos, col in stops:
        g.add_color_stop_rgba(pos, *rgb(col))
    return g


def rounded_rect(c, x, y, w, h, r):
    c.new_sub_path()
    c.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    c.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    c.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    c.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
    c.close_path()


def save_sprite(out, name, s, backdrop, colors=256, bpp=8, threshold=0.5):
    arr = to_array(s)
    rgb_, mask = imgio.flatten(arr, backdrop, threshold)
    idx, pal = imgio.quantize(rgb_, mask, colors)
    imgio.write_palette_bmp(os.path.join(out, name), idx, pal, bpp)


def save_opaque(out, name, s, colors=256):
    arr = to_array(s)
    rgb_, _ = imgio.flatten(arr, (0, 0, 0))
    mask = np.ones(rgb_.shape[:2], bool)
    idx, pal = imgio.quantize(rgb_, mask, colors)
    imgio.write_palette_bmp(os.path.join(out, name), idx, pal, 8)


# ---------------------------------------------------------------- tiles

def titleback():
    """Ranking screen tile: warm ichimatsu checks with a small rice grain in each light square."""
    s, c = canvas(64, 64)
    dark, light = (214, 190, 150), (230, 212, 178)
    c.rectangle(0, 0, 64, 64)
    fill(c, dark)
    for (x, y) in ((0, 0), (32, 32)):
        c.rectangle(x, y, 32, 32)
        fill(c, light)
    for (x, y, ang) in ((16, 16, 0.5), (48, 48, -0.5)):
        c.save()
        c.translate(x, y)
        c.rotate(ang)
        ellipse(c, 0, 0, 6.5, 3.6)
        fill_keep(c, (252, 250, 244))
        stroke(c, (160, 130, 96), 1.2)
        ellipse(c, -1.5, -1.0, 2.5, 1.0)
        fill(c, (255, 255, 255))
        c.restore()
    # small dots in the dark squares
    for (x, y) in ((48, 16), (16, 48)):
        ellipse(c, x, y, 2.2, 2.2)
        fill(c, (196, 168, 126))
    return s


def titleback2():
    """Result screen tile: pale seigaiha waves, seamless in both directions."""
    s, c = canvas(64, 64)
    c.rectangle(0, 0, 64, 64)
    fill(c, (250, 242, 222))
    line = (230, 210, 176)
    # Scales of radius 16, rows 8 apart, every other row shifted by 16; each row overlaps the one
    # above it. Period 32 across and 16 down, so the 64 x 64 tile wraps.
    for row in range(-4, 10):
        y = row * 8
        off = 0 if row % 2 == 0 else 16
        for col in range(-2, 4):
            x = col * 32 + off
            c.new_path()
            c.arc(x, y, 16, 0, 2 * math.pi)
            fill(c, (250, 242, 222))
            for r, w in ((15.2, 1.6), (11, 1.4), (6.8, 1.4), (2.8, 1.4)):
                c.new_path()
                c.arc(x, y, r, 0, 2 * math.pi)
                stroke(c, line, w)
    return s


# ---------------------------------------------------------------- room

def back():
    rnd = random.Random(7)
    s, c = canvas(400, 300)
    # plaster wall
    c.rectangle(0, 0, 400, 206)
    c.set_source(vgrad(34, 206, [(0, (242, 230, 200)), (1, (226, 208, 172))]))
    c.fill()
    for _ in range(900):
        x, y = rnd.uniform(0, 400), rnd.uniform(40, 200)
        ellipse(c, x, y, rnd.uniform(0.6, 1.6), rnd.uniform(0.4, 1.0))
        fill(c, (200, 180, 140), 0.18)
    # ranma: dark wooden lattice band above the beam (the countdown reads white on it)
    c.rectangle(0, 0, 400, 34)
    fill(c, (70, 42, 26))
    for x in range(-8, 400, 16):
        c.move_to(x, 4)
        c.line_to(x + 16, 30)
        c.move_to(x + 16, 4)
        c.line_to(x, 30)
    stroke(c, (98, 62, 38), 1.5)
    c.rectangle(0, 3, 400, 2)
    fill(c, (50, 30, 18))
    c.rectangle(0, 30, 400, 4)
    fill(c, (50, 30, 18))
    # nageshi beam
    c.rectangle(0, 34, 400, 10)
    c.set_source(vgrad(34, 44, [(0, (168, 116, 70)), (1, (126, 82, 46))]))
    c.fill()
    c.rectangle(0, 44, 400, 2)
    fill(c, (92, 58, 32))
    # pillars
    for x in (0, 386):
        c.rectangle(x, 34, 14, 172)
        c.set_source(hgrad(x, x + 14, [(0, (150, 100, 58)), (0.5, (176, 124, 78)), (1, (124, 80, 44))]))
        c.fill()
    # shoji window, left
    wx, wy, ww, wh = 26, 62, 84, 112
    c.rectangle(wx - 5, wy - 5, ww + 10, wh + 10)
    fill(c, (120, 78, 44))
    c.rectangle(wx, wy, ww, wh)
    c.set_source(vgrad(wy, wy + wh, [(0, (255, 252, 238)), (1, (244, 236, 212))]))
    c.fill()
    for i in range(1, 4):
        c.move_to(wx + ww * i / 4, wy)
        c.line_to(wx + ww * i / 4, wy + wh)
    for i in range(1, 6):
        c.move_to(wx, wy + wh * i / 6)
        c.line_to(wx + ww, wy + wh * i / 6)
    stroke(c, (150, 104, 62), 2.2)
    # a hint of a branch shadow on the paper
    c.move_to(wx + 6, wy + 30)
    c.curve_to(wx + 30, wy + 24, wx + 46, wy + 36, wx + 70, wy + 22)
    stroke(c, (214, 200, 176), 2.0)
    for (bx, by) in ((wx + 20, wy + 24), (wx + 38, wy + 30), (wx + 56, wy + 26), (wx + 66, wy + 18)):
        ellipse(c, bx, by, 4, 2.2)
        fill(c, (218, 204, 180))
    # hanging scroll, right, with 米 brushed in ink
    sx, sy, sw, sh = 312, 54, 50, 122
    c.rectangle(sx - 3, sy - 4, sw + 6, 6)
    fill(c, (90, 54, 30))
    c.rectangle(sx, sy, sw, sh)
    fill(c, (150, 118, 80))
    c.rectangle(sx + 6, sy + 12, sw - 12, sh - 26)
    fill(c, (246, 240, 222))
    c.rectangle(sx - 4, sy + sh - 2, sw + 8, 6)
    fill(c, (90, 54, 30))
    c.move_to(sx + sw / 2 - 10, sy - 4)
    c.line_to(sx + sw / 2, sy - 16)
    c.line_to(sx + sw / 2 + 10, sy - 4)
    stroke(c, (90, 54, 30), 1.2)
    c.select_font_face(MINCHO)
    c.set_font_size(34)
    ext = c.text_extents("米")
    c.move_to(sx + sw / 2 - ext.x_advance / 2, sy + 58)
    c.set_source_rgba(*rgb((30, 24, 20)))
    c.show_text("米")
    ellipse(c, sx + sw / 2 + 8, sy + 86, 5, 5)
    fill(c, (200, 40, 30))
    # baseboard
    c.rectangle(0, 200, 400, 7)
    fill(c, (104, 66, 36))
    # tatami floor with perspective
    c.rectangle(0, 207, 400, 93)
    c.set_source(vgrad(207, 300, [(0, (200, 186, 120)), (1, (218, 204, 138))]))
    c.fill()
    for i in range(60):
        y = 207 + (i / 60.0) ** 1.6 * 93
        c.move_to(0, y)
        c.line_to(400, y)
        stroke(c, (178, 164, 100), 0.7, 0.7)
    # tatami borders (heri), converging lines
    vx, vy = 200, 60
    for x in (-260, 40, 360, 660):
        t0 = (207 - vy) / (300 - vy)
        x0 = vx + (x - vx) * t0
        c.move_to(x0, 207)
        c.line_to(x, 300)
    stroke(c, (60, 48, 40), 4.0)
    c.move_to(0, 250)
    c.line_to(400, 250)
    stroke(c, (60, 48, 40), 3.0)
    return s


def table():
    rnd = random.Random(11)
    s, c = canvas(400, 150)
    top_far, top_near = 124, 0  # unused names kept simple below

    def top_path():
        c.move_to(16, 0)
        c.line_to(384, 0)
        c.line_to(400, 124)
        c.line_to(0, 124)
        c.close_path()
    top_path()
    c.set_source(vgrad(0, 124, [(0, (132, 70, 36)), (0.5, (158, 88, 46)), (1, (170, 98, 52))]))
    c.fill()
    # wood grain, clipped to the top
    c.save()
    top_path()
    c.clip()
    for i in range(46):
        y = rnd.uniform(-4, 128)
        amp = rnd.uniform(1, 4)
        ph = rnd.uniform(0, 6.28)
        c.move_to(0, y)
        for x in range(0, 404, 8):
            c.line_to(x, y + amp * math.sin(x / rnd.uniform(40, 70) + ph) + (y / 124.0) * 2)
        stroke(c, (112, 58, 28), rnd.uniform(0.6, 1.5), 0.55)
    for i in range(3):
        cx, cy = rnd.uniform(40, 360), rnd.uniform(20, 110)
        for k in range(4):
            ellipse(c, cx, cy, 18 - 4 * k, 5 - 1.1 * k)
            stroke(c, (110, 58, 28), 0.9, 0.6)
    # glossy lacquer highlight
    c.move_to(60, 10)
    c.line_to(140, 10)
    c.line_to(110, 60)
    c.line_to(20, 60)
    c.close_path()
    c.set_source_rgba(1, 0.95, 0.85, 0.10)
    c.fill()
    c.restore()
    # far edge line
    c.move_to(16, 0.5)
    c.line_to(384, 0.5)
    stroke(c, (96, 50, 24), 1.2)
    # front board
    c.rectangle(0, 124, 400, 26)
    c.set_source(vgrad(124, 150, [(0, (112, 58, 28)), (0.25, (98, 50, 24)), (1, (70, 36, 18))]))
    c.fill()
    c.move_to(0, 124.5)
    c.line_to(400, 124.5)
    stroke(c, (196, 130, 80), 1.2)
    return s


# ---------------------------------------------------------------- bowls and rice

def bowl_body(c, cx, rim_y, rx, ry, foot_y, foot_rx):
    c.move_to(cx - rx, rim_y)
    c.curve_to(cx - rx, rim_y + (foot_y - rim_y) * 0.62, cx - foot_rx - 10, foot_y - 6, cx - foot_rx, foot_y)
    c.line_to(cx + foot_rx, foot_y)
    c.curve_to(cx + foot_rx + 10, foot_y - 6, cx + rx, rim_y + (foot_y - rim_y) * 0.62, cx + rx, rim_y)
    c.close_path()


def owan():
    s, c = canvas(100, 100)
    cx, rim_y, rx, ry = 50, 8, 47, 6.5
    # foot ring
    c.move_to(30, 82)
    c.line_to(70, 82)
    c.line_to(68, 95)
    c.curve_to(60, 97, 40, 97, 32, 95)
    c.close_path()
    fill_keep(c, (214, 196, 164))
    stroke(c, (150, 130, 100), 1.0)
    # body
    bowl_body(c, cx, rim_y, rx, ry, 86, 22)
    c.set_source(hgrad(3, 97, [(0, (226, 230, 238)), (0.3, (252, 252, 250)), (0.75, (232, 234, 240)),
                               (1, (188, 194, 210))]))
    c.fill_preserve()
    stroke(c, (120, 128, 150), 1.2)
    # indigo decoration, clipped to the body
    c.save()
    bowl_body(c, cx, rim_y, rx, ry, 86, 22)
    c.clip()
    for dy, w in ((4.5, 3.0), (9.5, 1.2)):
        ellipse(c, cx, rim_y + dy, rx + 2, ry + 1)
        stroke(c, (40, 62, 140), w)
    # wave band
    for i in range(9):
        x = 6 + i * 11
        c.new_path()
        c.arc(x, 52, 6, math.pi, 2 * math.pi)
        stroke(c, (44, 70, 150), 2.2)
        c.new_path()
        c.arc(x, 52, 2.5, math.pi, 2 * math.pi)
        stroke(c, (44, 70, 150), 1.4)
    c.move_to(0, 70)
    c.line_to(100, 70)
    stroke(c, (40, 62, 140), 1.6)
    c.restore()
    # rim and the white inside
    ellipse(c, cx, rim_y, rx, ry)
    fill_keep(c, (250, 250, 248))
    stroke(c, (100, 110, 140), 1.4)
    ellipse(c, cx, rim_y - 1.5, rx - 6, ry - 3)
    fill(c, (226, 230, 238))
    return s


def rice_grains(c, rnd, x0, x1, y0, y1, n, wrap_h=None):
    for _ in range(n):
        x, y = rnd.uniform(x0, x1), rnd.uniform(y0, y1)
        ang = rnd.uniform(0, math.pi)
        shade = rnd.choice([(246, 246, 242), (240, 240, 238), (252, 250, 246)])
        for yy in ([y] if wrap_h is None else [y - wrap_h, y, y + wrap_h]):
            c.save()
            c.translate(x, yy)
            c.rotate(ang)
            ellipse(c, 0, 0, 4.2, 2.3)
            fill_keep(c, shade)
            stroke(c, (214, 214, 210), 0.7)
            ellipse(c, -1.2, -0.7, 1.8, 0.7)
            fill(c, (255, 255, 255))
            c.restore()


def gohan2():
    """A lower layer of the heap: tiles vertically (layers are stacked 25 pixels apart)."""
    rnd = random.Random(21)
    s, c = canvas(100, 25)
    c.save()
    c.rectangle(5, 0, 90, 25)
    c.clip()
    c.rectangle(5, 0, 90, 25)
    c.set_source(hgrad(5, 95, [(0, (226, 228, 232)), (0.3, (255, 255, 252)), (0.8, (240, 240, 240)),
                               (1, (206, 208, 216))]))
    c.fill()
    rice_grains(c, rnd, 6, 94, 0, 25, 34, wrap_h=25)
    c.restore()
    # grains poking out of the sides
    for y in (3, 11, 19):
        for x, d in ((5, -1), (95, 1)):
            c.save()
            c.translate(x + d * 1.5, y + rnd.uniform(-1, 2))
            c.rotate(rnd.uniform(-0.6, 0.6))
            ellipse(c, 0, 0, 2.4, 4.0)
            fill_keep(c, (244, 244, 240))
            stroke(c, (190, 190, 186), 0.8)
            c.restore()
    return s


def gohan1():
    """The top of the heap, rounded."""
    rnd = random.Random(22)
    s, c = canvas(100, 25)

    def dome():
        c.move_to(5, 25)
        c.curve_to(5, 8, 26, 1.5, 50, 1.5)
        c.curve_to(74, 1.5, 95, 8, 95, 25)
        c.close_path()
    dome()
    g = cairo.RadialGradient(38, 6, 2, 50, 18, 52)
    g.add_color_stop_rgba(0, *rgb((255, 255, 255)))
    g.add_color_stop_rgba(0.6, *rgb((244, 244, 242)))
    g.add_color_stop_rgba(1, *rgb((206, 208, 216)))
    c.set_source(g)
    c.fill()
    c.save()
    dome()
    c.clip()
    rice_grains(c, rnd, 6, 94, 2, 27, 28)
    c.restore()
    # a bumpy outline of grains along the dome
    for i in range(13):
        t = i / 12.0
        ang = math.pi * (1 - t)
        x = 50 + 44 * math.cos(ang)
        y = 25 - 22.5 * math.sin(ang)
        c.save()
        c.translate(x, y + 0.5)
        c.rotate(ang + math.pi / 2 + rnd.uniform(-0.4, 0.4))
        ellipse(c, 0, 0, 4.0, 2.3)
        fill_keep(c, (248, 248, 244))
        stroke(c, (186, 186, 182), 0.8)
        c.restore()
    return s


def miso():
    rnd = random.Random(31)
    s, c = canvas(100, 87)
    cx, rim_y, rx, ry = 50, 30, 47, 12
    # steam
    for x0, ph in ((36, 0.0), (58, 1.7)):
        c.move_to(x0, 22)
        for k in range(1, 9):
            y = 22 - k * 2.5
            c.line_to(x0 + 4 * math.sin(k * 0.9 + ph), y)
        stroke(c, (246, 246, 246), 2.6)
    # foot
    c.move_to(30, 74)
    c.line_to(70, 74)
    c.line_to(67, 85)
    c.line_to(33, 85)
    c.close_path()
    fill(c, (40, 22, 18))
    # lacquer body: black outside with a red band
    bowl_body(c, cx, rim_y, rx, ry, 78, 22)
    c.set_source(hgrad(3, 97, [(0, (58, 30, 26)), (0.3, (96, 52, 42)), (0.7, (44, 22, 20)), (1, (26, 14, 12))]))
    c.fill()
    c.save()
    bowl_body(c, cx, rim_y, rx, ry, 78, 22)
    c.clip()
    ellipse(c, cx, rim_y + 8, rx + 3, ry + 3)
    stroke(c, (170, 32, 28), 3.0)
    # glossy highlight
    c.move_to(18, 42)
    c.curve_to(20, 56, 28, 66, 38, 72)
    stroke(c, (190, 150, 140), 2.0, 0.6)
    c.restore()
    # rim: red lacquer inside
    ellipse(c, cx, rim_y, rx, ry)
    fill(c, (168, 30, 26))
    # soup
    c.save()
    ellipse(c, cx, rim_y + 1.5, rx - 4, ry - 3)
    c.clip()
    c.rectangle(0, 0, 100, 87)
    c.set_source(vgrad(rim_y - 10, rim_y + 10, [(0, (176, 118, 56)), (1, (204, 148, 78))]))
    c.fill()
    for _ in range(14):
        ellipse(c, rnd.uniform(10, 90), rnd.uniform(rim_y - 8, rim_y + 10), rnd.uniform(4, 9),
                rnd.uniform(1.5, 3))
        fill(c, (222, 172, 100), 0.6)
    # tofu cubes
    for x, y in ((36, rim_y - 2), (60, rim_y + 3), (68, rim_y - 5)):
        c.move_to(x, y - 3)
        c.line_to(x + 6, y - 3)
        c.line_to(x + 8, y + 1)
        c.line_to(x + 2, y + 1)
        c.close_path()
        fill_keep(c, (250, 248, 236))
        stroke(c, (200, 180, 150), 0.8)
    # wakame
    for x, y in ((24, rim_y + 2), (48, rim_y + 6), (76, rim_y)):
        ellipse(c, x, y, 6, 2.2)
        fill(c, (46, 72, 40))
    # green onion rings
    for x, y in ((30, rim_y - 5), (44, rim_y + 1), (56, rim_y - 6), (80, rim_y + 5), (20, rim_y - 2)):
        ellipse(c, x, y, 2.6, 1.5)
        stroke(c, (110, 160, 60), 1.2)
    c.restore()
    ellipse(c, cx, rim_y, rx, ry)
    stroke(c, (30, 16, 14), 1.6)
    return s


def tsubu():
    """8 x 8 grain, drawn pixel by pixel (4-bit)."""
    art = ["........",
           "...oo...",
           "..owwo..",
           ".owwwlo.",
           ".owwllo.",
           "..owlo..",
           "...oo...",
           "........"]
    cols = {"o": (160, 160, 150), "w": (255, 255, 250), "l": (222, 222, 216)}
    pal = [imgio.KEY] + list(cols.values())
    lut = {k: i + 1 for i, k in enumerate(cols)}
    idx = np.zeros((8, 8), np.uint8)
    for y, row in enumerate(art):
        for x, ch in enumerate(row):
            idx[y, x] = lut.get(ch, 0)
    return idx, pal


# ---------------------------------------------------------------- the eater

SKIN = (252, 218, 186)
SKIN_SHADE = (232, 184, 150)
SKIN_LINE = (170, 110, 80)
HAIR = (44, 32, 30)
HAPPI = (46, 72, 146)
HAPPI_DARK = (32, 50, 108)
LINE = (40, 30, 30)


def sleeve(c, pts, width):
    c.set_line_cap(cairo.LINE_CAP_ROUND)
    c.set_line_join(cairo.LINE_JOIN_ROUND)
    c.move_to(*pts[0])
    for p in pts[1:]:
        c.line_to(*p)
    stroke(c, HAPPI_DARK, width + 3)
    c.move_to(*pts[0])
    for p in pts[1:]:
        c.line_to(*p)
    stroke(c, HAPPI, width)


def hand(c, x, y, r=15):
    ellipse(c, x, y, r, r * 0.85)
    fill_keep(c, SKIN)
    stroke(c, SKIN_LINE, 1.6)
    for k in range(3):
        c.move_to(x - r * 0.5 + k * r * 0.45, y - r * 0.45)
        c.line_to(x - r * 0.55 + k * r * 0.45, y + r * 0.05)
    stroke(c, SKIN_LINE, 1.0)


def chopsticks(c, x0, y0, x1, y1):
    c.set_line_cap(cairo.LINE_CAP_ROUND)
    for dx, dy in ((0, 0), (7, 3)):
        c.move_to(x0 + dx, y0 + dy)
        c.line_to(x1 + dx * 0.4, y1 + dy * 0.4)
        stroke(c, (90, 40, 24), 4.0)
        c.move_to(x0 + dx, y0 + dy)
        c.line_to(x1 + dx * 0.4, y1 + dy * 0.4)
        stroke(c, (196, 60, 44), 2.4)


def torso(c):
    c.move_to(28, 300)
    c.curve_to(30, 250, 40, 214, 78, 204)
    c.line_to(126, 190)
    c.line_to(174, 190)
    c.line_to(222, 204)
    c.curve_to(260, 214, 270, 250, 272, 300)
    c.close_path()
    c.set_source(hgrad(28, 272, [(0, HAPPI_DARK), (0.35, HAPPI), (0.7, HAPPI), (1, HAPPI_DARK)]))
    c.fill_preserve()
    stroke(c, (24, 36, 80), 2.0)
    # white collar band of the happi, crossing into a V
    for side in (-1, 1):
        c.move_to(150 + side * 30, 192)
        c.line_to(150 + side * 4, 300)
        c.line_to(150 + side * 20, 300)
        c.line_to(150 + side * 46, 196)
        c.close_path()
        fill_keep(c, (246, 244, 238))
        stroke(c, (150, 150, 160), 1.0)
    # under-shirt in the V
    c.move_to(124, 194)
    c.line_to(176, 194)
    c.line_to(150, 262)
    c.close_path()
    fill(c, (226, 70, 54))
    # a round badge with 大 on the chest
    ellipse(c, 216, 252, 15, 15)
    fill_keep(c, (250, 248, 240))
    stroke(c, (24, 36, 80), 1.6)
    c.select_font_face(GOTHIC, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    c.set_font_size(20)
    e = c.text_extents("大")
    c.move_to(216 - (e.x_bearing + e.width / 2), 252 - (e.y_bearing + e.height / 2))
    c.set_source_rgba(*rgb((200, 30, 30)))
    c.show_text("大")
    # neck
    c.move_to(132, 168)
    c.line_to(168, 168)
    c.line_to(170, 196)
    c.curve_to(160, 204, 140, 204, 130, 196)
    c.close_path()
    fill(c, SKIN_SHADE)


def head(c, cheeks_puffed=False):
    cx, cy = 150, 112
    # ears
    for side in (-1, 1):
        ellipse(c, cx + side * 60, cy + 12, 10, 14)
        fill_keep(c, SKIN)
        stroke(c, SKIN_LINE, 1.6)
    # face
    if cheeks_puffed:
        c.move_to(cx, cy - 62)
        c.curve_to(cx + 48, cy - 62, cx + 64, cy - 20, cx + 64, cy + 8)
        c.curve_to(cx + 72, cy + 40, cx + 46, cy + 66, cx, cy + 66)
        c.curve_to(cx - 46, cy + 66, cx - 72, cy + 40, cx - 64, cy + 8)
        c.curve_to(cx - 64, cy - 20, cx - 48, cy - 62, cx, cy - 62)
        c.close_path()
    else:
        c.move_to(cx, cy - 62)
        c.curve_to(cx + 44, cy - 62, cx + 60, cy - 28, cx + 60, cy + 4)
        c.curve_to(cx + 60, cy + 40, cx + 36, cy + 62, cx, cy + 62)
        c.curve_to(cx - 36, cy + 62, cx - 60, cy + 40, cx - 60, cy + 4)
        c.curve_to(cx - 60, cy - 28, cx - 44, cy - 62, cx, cy - 62)
        c.close_path()
    g = cairo.RadialGradient(cx - 14, cy - 10, 10, cx, cy + 8, 80)
    g.add_color_stop_rgba(0, *rgb((255, 226, 198)))
    g.add_color_stop_rgba(1, *rgb(SKIN_SHADE))
    c.set_source(g)
    c.fill_preserve()
    stroke(c, SKIN_LINE, 2.0)
    # hair
    c.move_to(cx - 62, cy + 2)
    c.curve_to(cx - 66, cy - 60, cx - 30, cy - 76, cx + 4, cy - 74)
    c.curve_to(cx + 46, cy - 74, cx + 68, cy - 48, cx + 62, cy + 2)
    c.line_to(cx + 54, cy - 18)
    c.line_to(cx + 40, cy - 30)
    c.line_to(cx + 30, cy - 20)
    c.line_to(cx + 16, cy - 34)
    c.line_to(cx + 2, cy - 22)
    c.line_to(cx - 14, cy - 36)
    c.line_to(cx - 26, cy - 22)
    c.line_to(cx - 40, cy - 32)
    c.line_to(cx - 54, cy - 16)
    c.close_path()
    fill_keep(c, HAIR)
    stroke(c, (20, 14, 14), 1.5)
    c.move_to(cx - 30, cy - 62)
    c.curve_to(cx - 16, cy - 68, cx, cy - 68, cx + 12, cy - 66)
    stroke(c, (110, 96, 100), 3.0)
    # hachimaki: white headband with a red sun and flying knot tails
    c.move_to(cx - 62, cy - 38)
    c.curve_to(cx - 30, cy - 52, cx + 30, cy - 52, cx + 62, cy - 38)
    c.line_to(cx + 64, cy - 24)
    c.curve_to(cx + 30, cy - 38, cx - 30, cy - 38, cx - 64, cy - 24)
    c.close_path()
    fill_keep(c, (250, 250, 246))
    stroke(c, (150, 150, 160), 1.2)
    ellipse(c, cx, cy - 40, 7, 6)
    fill(c, (214, 36, 30))
    for dy, ang in ((-34, -0.35), (-26, 0.15)):
        c.save()
        c.translate(cx + 62, cy + dy)
        c.rotate(ang)
        c.move_to(0, -4)
        c.curve_to(12, -9, 22, -2, 34, -7)
        c.line_to(32, 3)
        c.curve_to(22, 7, 12, 2, 0, 5)
        c.close_path()
        fill_keep(c, (250, 250, 246))
        stroke(c, (150, 150, 160), 1.2)
        c.restore()
    ellipse(c, cx + 63, cy - 30, 5, 6)
    fill_keep(c, (250, 250, 246))
    stroke(c, (150, 150, 160), 1.2)
    return cx, cy


def blush(c, cx, cy, spread=38, dy=20):
    for side in (-1, 1):
        ellipse(c, cx + side * spread, cy + dy, 11, 6)
        fill(c, (246, 150, 140))


def open_eyes(c, cx, cy, sparkle=False):
    for side in (-1, 1):
        ex = cx + side * 24
        ellipse(c, ex, cy + 2, 8.5, 12)
        fill(c, LINE)
        ellipse(c, ex + 2.5, cy - 3, 3.4, 4.2)
        fill(c, (255, 255, 255))
        ellipse(c, ex - 2.5, cy + 7, 1.8, 1.8)
        fill(c, (255, 255, 255))
        if sparkle:
            c.save()
            c.translate(ex + 1, cy + 2)
            c.move_to(0, -6)
            for k in range(1, 8):
                r = 6 if k % 2 == 0 else 2
                a = -math.pi / 2 + k * math.pi / 4
                c.line_to(r * math.cos(a), r * math.sin(a))
            c.close_path()
            fill(c, (255, 236, 120))
            c.restore()
        # brow
        c.move_to(ex - 9, cy - 20)
        c.curve_to(ex - 3, cy - 25, ex + 3, cy - 25, ex + 9, cy - 21)
        c.set_line_cap(cairo.LINE_CAP_ROUND)
        stroke(c, LINE, 2.6)


def happy_eyes(c, cx, cy):
    c.set_line_cap(cairo.LINE_CAP_ROUND)
    for side in (-1, 1):
        ex = cx + side * 24
        c.move_to(ex - 10, cy + 4)
        c.curve_to(ex - 5, cy - 7, ex + 5, cy - 7, ex + 10, cy + 4)
        stroke(c, LINE, 3.4)


def squeezed_eyes(c, cx, cy):
    c.set_line_cap(cairo.LINE_CAP_ROUND)
    c.set_line_join(cairo.LINE_JOIN_ROUND)
    for side in (-1, 1):
        ex = cx + side * 24
        c.move_to(ex - side * 10, cy - 6)
        c.line_to(ex + side * 8, cy + 1)
        c.line_to(ex - side * 10, cy + 8)
        stroke(c, LINE, 3.4)


def hito(kind):
    s, c = canvas(300, 300)
    # right arm (screen left) behind: upper arm
    torso(c)
    if kind == 3:
        # arm raised to the right, the hand where the new bowl is handed over
        sleeve(c, [(230, 214), (276, 222), (284, 178)], 28)
    cx, cy = head(c, cheeks_puffed=(kind == 4))
    if kind == 1:
        open_eyes(c, cx, cy)
        blush(c, cx, cy)
        c.move_to(cx - 16, cy + 30)
        c.curve_to(cx - 10, cy + 48, cx + 10, cy + 48, cx + 16, cy + 30)
        c.close_path()
        fill_keep(c, (170, 40, 40))
        stroke(c, LINE, 2.2)
        ellipse(c, cx, cy + 40, 7, 3.5)
        fill(c, (240, 120, 120))
    elif kind == 2:
        squeezed_eyes(c, cx, cy)
        blush(c, cx, cy)
        ellipse(c, cx, cy + 38, 18, 15)
        fill_keep(c, (150, 30, 36))
        stroke(c, LINE, 2.2)
        rice_grains(c, random.Random(41), cx - 12, cx + 12, cy + 26, cy + 36, 5)
        ellipse(c, cx, cy + 47, 9, 4)
        fill(c, (236, 110, 110))
    elif kind == 3:
        open_eyes(c, cx, cy, sparkle=True)
        blush(c, cx, cy)
        ellipse(c, cx, cy + 38, 11, 13)
        fill_keep(c, (170, 40, 40))
        stroke(c, LINE, 2.2)
        ellipse(c, cx, cy + 45, 6, 4)
        fill(c, (240, 120, 120))
    elif kind == 4:
        happy_eyes(c, cx, cy)
        blush(c, cx, cy, spread=44, dy=24)
        c.set_line_cap(cairo.LINE_CAP_ROUND)
        c.move_to(cx - 12, cy + 40)
        c.curve_to(cx - 6, cy + 35, cx - 2, cy + 45, cx, cy + 40)
        c.curve_to(cx + 2, cy + 35, cx + 6, cy + 45, cx + 12, cy + 40)
        stroke(c, LINE, 2.6)
        rice_grains(c, random.Random(43), cx + 30, cx + 34, cy + 34, cy + 36, 1)
        # a drop of effort
        c.move_to(cx - 70, cy - 40)
        c.curve_to(cx - 78, cy - 28, cx - 80, cy - 20, cx - 72, cy - 18)
        c.curve_to(cx - 64, cy - 20, cx - 64, cy - 28, cx - 70, cy - 40)
        fill_keep(c, (200, 230, 250))
        stroke(c, (80, 130, 190), 1.4)
        # もぐもぐ
        c.select_font_face(GOTHIC, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
        c.set_font_size(20)
        for i, (x, y) in enumerate(((226, 52), (242, 78))):
            c.move_to(x, y)
            c.text_path("もぐ")
            c.set_source_rgba(*rgb((255, 255, 255)))
            c.set_line_width(5)
            c.set_line_join(cairo.LINE_JOIN_ROUND)
            c.stroke_preserve()
            fill(c, (150, 70, 40))
    # arms
    if kind == 2:
        # chopsticks lifted to the mouth
        sleeve(c, [(70, 214), (46, 270), (96, 226)], 28)
        chopsticks(c, 98, 222, cx - 4, cy + 36)
        hand(c, 100, 224)
    else:
        sleeve(c, [(70, 214), (44, 262), (62, 284)], 28)
        chopsticks(c, 64, 282, 100, 200)
        hand(c, 66, 282)
    if kind == 3:
        hand(c, 278, 170, 16)
    else:
        sleeve(c, [(230, 214), (258, 262), (238, 284)], 28)
        hand(c, 236, 284)
    return s


# ---------------------------------------------------------------- captions

def caption(text, fill_top, fill_bottom, outline, size, font=GOTHIC, inner=None, dy=0):
    s, c = canvas(200, 40)
    c.select_font_face(font, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    c.set_font_size(size)
    ext = c.text_extents(text)
    x = 100 - (ext.x_bearing + ext.width / 2)
    y = 20 - (ext.y_bearing + ext.height / 2) + dy
    c.set_line_join(cairo.LINE_JOIN_ROUND)
    c.move_to(x + 2, y + 2)
    c.text_path(text)
    c.set_source_rgba(*rgb((30, 16, 10)))
    c.set_line_width(8)
    c.stroke_preserve()
    c.fill()
    c.move_to(x, y)
    c.text_path(text)
    c.set_source_rgba(*rgb(outline))
    c.set_line_width(7)
    c.stroke_preserve()
    c.fill()
    if inner is not None:
        c.move_to(x, y)
        c.text_path(text)
        c.set_source_rgba(*rgb(inner))
        c.set_line_width(3)
        c.stroke()
    c.move_to(x, y)
    c.text_path(text)
    c.set_source(vgrad(y + ext.y_bearing, y + ext.y_bearing + ext.height, [(0, fill_top), (1, fill_bottom)]))
    c.fill()
    return s


# ---------------------------------------------------------------- title picture and icon

def heap_mountain(c, cx, base_y, half_w, top_y, rnd, grains=500):
    """A mountain of rice drawn in 640 x 480 design units."""
    def path():
        c.move_to(cx - half_w, base_y)
        c.curve_to(cx - half_w * 0.95, base_y - (base_y - top_y) * 0.55, cx - half_w * 0.45, top_y + 4,
                   cx, top_y)
        c.curve_to(cx + half_w * 0.45, top_y + 4, cx + half_w * 0.95, base_y - (base_y - top_y) * 0.55,
                   cx + half_w, base_y)
        c.close_path()
    path()
    g = cairo.RadialGradient(cx - half_w * 0.3, top_y + 30, 10, cx, base_y - 20, half_w * 1.3)
    g.add_color_stop_rgba(0, *rgb((255, 255, 255)))
    g.add_color_stop_rgba(0.6, *rgb((244, 244, 240)))
    g.add_color_stop_rgba(1, *rgb((196, 200, 214)))
    c.set_source(g)
    c.fill()
    c.save()
    path()
    c.clip()
    for _ in range(grains):
        x = rnd.uniform(cx - half_w, cx + half_w)
        y = rnd.uniform(top_y - 4, base_y + 4)
        ang = rnd.uniform(0, math.pi)
        c.save()
        c.translate(x, y)
        c.rotate(ang)
        ellipse(c, 0, 0, 7, 3.8)
        fill_keep(c, rnd.choice([(246, 246, 242), (240, 240, 238), (252, 250, 246)]))
        stroke(c, (208, 210, 214), 0.9)
        ellipse(c, -2, -1.2, 3, 1.2)
        fill(c, (255, 255, 255))
        c.restore()
    c.restore()
    # outline grains
    for i in range(40):
        t = i / 39.0
        # sample the outline curve roughly
        x = cx - half_w + 2 * half_w * t
        u = abs(2 * t - 1)
        y = top_y + (base_y - top_y) * (u ** 1.8) - 2
        c.save()
        c.translate(x, y)
        c.rotate(rnd.uniform(0, math.pi))
        ellipse(c, 0, 0, 7, 3.8)
        fill_keep(c, (248, 248, 244))
        stroke(c, (180, 182, 186), 1.0)
        c.restore()


def big_bowl(c, cx, rim_y, rx, ry, foot_y, foot_rx):
    bowl_body(c, cx, rim_y, rx, ry, foot_y, foot_rx)
    c.set_source(hgrad(cx - rx, cx + rx, [(0, (210, 216, 230)), (0.3, (252, 252, 250)), (0.75, (230, 232, 240)),
                                          (1, (170, 178, 200))]))
    c.fill_preserve()
    stroke(c, (90, 100, 130), 2.5)
    c.save()
    bowl_body(c, cx, rim_y, rx, ry, foot_y, foot_rx)
    c.clip()
    ellipse(c, cx, rim_y + 10, rx + 4, ry + 2)
    stroke(c, (40, 62, 140), 7)
    ellipse(c, cx, rim_y + 22, rx + 4, ry + 2)
    stroke(c, (40, 62, 140), 2.5)
    n = 12
    for i in range(n + 1):
        x = cx - rx + i * (2 * rx) / n
        for r, w in ((15, 4), (6, 2.5)):
            c.new_path()
            c.arc(x, rim_y + (foot_y - rim_y) * 0.62, r, math.pi, 2 * math.pi)
            stroke(c, (44, 70, 150), w)
    c.restore()
    ellipse(c, cx, rim_y, rx, ry)
    fill_keep(c, (250, 250, 248))
    stroke(c, (90, 100, 130), 2.5)


def title_picture():
    rnd = random.Random(51)
    s, c = canvas(600, 480)
    c.scale(600.0 / 640.0, 1.0)  # drawn for the 640 x 480 screen it is widened to
    # sunburst
    c.rectangle(0, 0, 640, 480)
    fill(c, (250, 176, 64))
    cx, cy = 320, 250
    for i in range(24):
        a0 = i * 2 * math.pi / 24
        c.move_to(cx, cy)
        c.line_to(cx + 900 * math.cos(a0), cy + 900 * math.sin(a0))
        c.line_to(cx + 900 * math.cos(a0 + math.pi / 24), cy + 900 * math.sin(a0 + math.pi / 24))
        c.close_path()
        fill(c, (255, 206, 96))
    g = cairo.RadialGradient(cx, cy, 40, cx, cy, 420)
    g.add_color_stop_rgba(0, 1, 0.98, 0.85, 0.85)
    g.add_color_stop_rgba(0.5, 1, 0.95, 0.75, 0.0)
    g.add_color_stop_rgba(1, 0.6, 0.2, 0.05, 0.35)
    c.rectangle(0, 0, 640, 480)
    c.set_source(g)
    c.fill()
    # table: the calm area under the menu panel
    c.rectangle(0, 318, 640, 162)
    c.set_source(vgrad(318, 480, [(0, (176, 104, 56)), (1, (120, 64, 32))]))
    c.fill()
    for i in range(26):
        y = 322 + i * 5 + rnd.uniform(-1.5, 1.5)
        c.move_to(0, y)
        for x in range(0, 650, 20):
            c.line_to(x, y + 1.5 * math.sin(x / 70.0 + i))
        stroke(c, (150, 84, 44), 1.0, 0.35)
    c.rectangle(0, 318, 640, 3)
    fill(c, (210, 140, 84))
    # bottom band for the notice line
    c.rectangle(0, 450, 640, 30)
    fill(c, (70, 30, 18))
    c.rectangle(0, 450, 640, 2)
    fill(c, (200, 150, 60))
    # the heaped bowl
    ellipse(c, 320, 322, 120, 12)
    fill(c, (90, 46, 24), 0.5)
    c.move_to(282, 296)
    c.line_to(358, 296)
    c.line_to(354, 322)
    c.line_to(286, 322)
    c.close_path()
    fill_keep(c, (214, 196, 164))
    stroke(c, (150, 130, 100), 2)
    big_bowl(c, 320, 214, 122, 15, 300, 40)
    heap_mountain(c, 320, 222, 128, 104, rnd, grains=260)
    # chopsticks resting on a rest, front right
    c.set_line_cap(cairo.LINE_CAP_ROUND)
    for dy in (0, 10):
        c.move_to(430, 300 + dy)
        c.line_to(600, 262 + dy)
        stroke(c, (80, 30, 20), 9)
        c.move_to(430, 300 + dy)
        c.line_to(600, 262 + dy)
        stroke(c, (200, 50, 36), 6)
        c.move_to(566, 269 + dy)
        c.line_to(600, 262 + dy)
        stroke(c, (236, 200, 110), 6)
    # sparkles around the rice
    for (x, y, r) in ((186, 120, 12), (460, 104, 14), (212, 60, 8), (436, 170, 9), (168, 190, 7)):
        c.save()
        c.translate(x, y)
        c.move_to(0, -r)
        for k in range(1, 8):
            rr = r if k % 2 == 0 else r * 0.28
            a = -math.pi / 2 + k * math.pi / 4
            c.line_to(rr * math.cos(a), rr * math.sin(a))
        c.close_path()
        fill(c, (255, 255, 250))
        c.restore()
    # title 大盛り
    c.select_font_face(GOTHIC, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    c.set_font_size(96)
    text = "大盛り"
    ext = c.text_extents(text)
    tx = 320 - (ext.x_bearing + ext.width / 2)
    ty = 8 - ext.y_bearing
    c.set_line_join(cairo.LINE_JOIN_ROUND)
    for (dx, dy, col, w) in ((6, 6, (70, 20, 10), 18), (0, 0, (70, 20, 10), 18), (0, 0, (255, 255, 250), 10)):
        c.move_to(tx + dx, ty + dy)
        c.text_path(text)
        c.set_source_rgba(*rgb(col))
        c.set_line_width(w)
        c.stroke_preserve()
        c.fill()
    c.move_to(tx, ty)
    c.text_path(text)
    c.set_source(vgrad(ty + ext.y_bearing, ty + ext.y_bearing + ext.height,
                       [(0, (240, 60, 40)), (0.55, (200, 24, 24)), (1, (140, 10, 20))]))
    c.fill()
    # a red seal with the time limit
    c.save()
    c.translate(84, 222)
    c.rotate(-0.12)
    rounded_rect(c, -38, -46, 76, 92, 10)
    fill_keep(c, (200, 30, 30))
    stroke(c, (255, 240, 220), 3)
    c.select_font_face(GOTHIC, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    c.set_font_size(30)
    for i, t in enumerate(("30秒", "勝負")):
        e = c.text_extents(t)
        c.move_to(-(e.x_bearing + e.width / 2), -10 + i * 38)
        c.set_source_rgba(*rgb((255, 248, 236)))
        c.show_text(t)
    c.restore()
    return s


def icon():
    s, c = canvas(64, 64)
    c.scale(64 / 100.0, 64 / 100.0)
    rnd = random.Random(61)
    rounded_rect(c, 2, 2, 96, 96, 20)
    c.set_source(vgrad(2, 98, [(0, (255, 200, 90)), (1, (236, 120, 40))]))
    c.fill_preserve()
    stroke(c, (150, 60, 20), 3)
    c.translate(50, 54)
    c.scale(0.86, 0.86)
    c.translate(-50, -50)
    c.move_to(38, 82)
    c.line_to(62, 82)
    c.line_to(60, 92)
    c.line_to(40, 92)
    c.close_path()
    fill(c, (214, 196, 164))
    bowl_body(c, 50, 52, 44, 6, 84, 18)
    c.set_source(hgrad(6, 94, [(0, (220, 226, 238)), (0.35, (255, 255, 252)), (1, (170, 178, 200))]))
    c.fill_preserve()
    stroke(c, (40, 62, 140), 2.5)
    c.save()
    bowl_body(c, 50, 52, 44, 6, 84, 18)
    c.clip()
    ellipse(c, 50, 60, 46, 7)
    stroke(c, (40, 62, 140), 5)
    c.restore()
    c.move_to(8, 54)
    c.curve_to(10, 20, 34, 8, 50, 8)
    c.curve_to(66, 8, 90, 20, 92, 54)
    c.close_path()
    g = cairo.RadialGradient(40, 22, 4, 50, 40, 50)
    g.add_color_stop_rgba(0, 1, 1, 1, 1)
    g.add_color_stop_rgba(1, *rgb((200, 204, 218)))
    c.set_source(g)
    c.fill_preserve()
    stroke(c, (150, 152, 160), 2)
    for _ in range(14):
        c.save()
        c.translate(rnd.uniform(22, 78), rnd.uniform(20, 48))
        c.rotate(rnd.uniform(0, 3.14))
        ellipse(c, 0, 0, 4.5, 2.4)
        fill_keep(c, (252, 252, 250))
        stroke(c, (200, 202, 210), 1.0)
        c.restore()
    arr = to_array(s)
    a = arr[..., 3:4]
    straight = np.where(a > 0, arr[..., :3] / np.maximum(a, 1e-6), 0)
    out = np.concatenate([straight, a], axis=2)
    return np.clip(np.rint(out * 255), 0, 255).astype(np.uint8)


def main(root):
    bmp = os.path.join(root, "bmp")
    os.makedirs(bmp, exist_ok=True)
    os.makedirs(os.path.join(root, "icon"), exist_ok=True)
    os.makedirs(os.path.join(root, "progdir"), exist_ok=True)
    save_opaque(bmp, "titleback.bmp", titleback())
    save_opaque(bmp, "titleback2.bmp", titleback2())
    save_opaque(bmp, "back.bmp", back())
    save_sprite(bmp, "table.bmp", table(), TATAMI)
    save_sprite(bmp, "owan.bmp", owan(), TABLE_WOOD)
    save_sprite(bmp, "gohan1.bmp", gohan1(), FACE_BG)
    save_sprite(bmp, "gohan2.bmp", gohan2(), FACE_BG)
    save_sprite(bmp, "miso.bmp", miso(), TABLE_WOOD)
    for k in (1, 2, 3, 4):
        save_sprite(bmp, "hito%d.bmp" % k, hito(k), WALL)
    save_sprite(bmp, "ready.bmp", caption("READY?", (255, 246, 150), (255, 170, 20), (120, 50, 10), 34), None)
    save_sprite(bmp, "go.bmp", caption("GO!!", (255, 120, 90), (210, 20, 20), (255, 250, 236), 36,
                                       inner=(120, 20, 10)), None)
    save_sprite(bmp, "soko.bmp", caption("そこまで", (255, 255, 255), (200, 220, 255), (30, 50, 150), 30,
                                         inner=(255, 255, 255)), None)
    idx, pal = tsubu()
    imgio.write_palette_bmp(os.path.join(bmp, "tsubu.bmp"), idx, pal, 4)
    imgio.write_v5_bmp(os.path.join(root, "icon", "main.bmp"), icon())
    # The title picture, saved without metadata at pinned settings.
    arr = to_array(title_picture())
    rgb_, _ = imgio.flatten(arr, (0, 0, 0))
    Image.fromarray(rgb_, "RGB").save(os.path.join(root, "progdir", "oomori.jpg"), "JPEG", quality=92,
                                      subsampling=0, optimize=False, progressive=False)


if __name__ == "__main__":
    main(sys.argv[1])
