#!/usr/bin/env python3
"""Draws the icons and toolbar bitmaps of VantorManager and dossiqshell.

Standard library only. Every picture is a list of filled shapes in a unit square
(y grows downwards), rendered with 4 x 4 supersampling at each size and written as
.ico (32-bit images with alpha and an AND mask) or .bmp files under resources/.
Run it from anywhere; it rewrites the committed files in place.
"""

import math
import os
import struct

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
SUPER = 4

# Palette (r, g, b).
WHITE = (255, 255, 255)
PAGE_EDGE = (88, 99, 116)
PAGE_FOLD = (214, 222, 232)
TEXT_LINE = (150, 162, 180)
GREEN = (38, 150, 62)
GREEN_HOT = (70, 196, 92)
RED = (200, 36, 36)
RED_HOT = (236, 72, 60)
YELLOW = (240, 180, 20)
YELLOW_HOT = (255, 214, 70)
YELLOW_EDGE = (150, 100, 0)
BLUE = (32, 96, 196)
BLUE_LIGHT = (90, 150, 230)
FOLDER = (232, 184, 72)
FOLDER_DARK = (190, 138, 36)
FOLDER_EDGE = (140, 96, 20)
DARK = (40, 40, 40)
GREY = (120, 120, 120)
GOLD = (214, 164, 32)
BROWN = (150, 96, 56)
BROWN_DARK = (100, 62, 34)


# --- shapes: each is a function (x, y) -> bool plus a bounding box -------------------


class Shape:
    def __init__(self, inside, box):
        self.inside = inside
        self.box = box  # (x0, y0, x1, y1) in unit coordinates


def polygon(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]

    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            x1, y1 = points[i]
            x2, y2 = points[(i + 1) % n]
            if (y1 > y) != (y2 > y):
                if x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                    hit = not hit
        return hit

    return Shape(inside, (min(xs), min(ys), max(xs), max(ys)))


def circle(cx, cy, r):
    return Shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, (cx - r, cy - r, cx + r, cy + r))


def ring(cx, cy, r, width):
    inner = (r - width) ** 2
    outer = r * r
    return Shape(lambda x, y: inner <= (x - cx) ** 2 + (y - cy) ** 2 <= outer,
                 (cx - r, cy - r, cx + r, cy + r))


def segment(x1, y1, x2, y2, width):
    """A thick line with round ends."""
    r = width / 2
    dx, dy = x2 - x1, y2 - y1
    length2 = dx * dx + dy * dy or 1e-12

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / length2))
        px, py = x1 + t * dx - x, y1 + t * dy - y
        return px * px + py * py <= r * r

    return Shape(inside, (min(x1, x2) - r, min(y1, y2) - r, max(x1, x2) + r, max(y1, y2) + r))


def polyline(points, width):
    parts = [segment(*points[i], *points[i + 1], width) for i in range(len(points) - 1)]
    return union(parts)


def outline(points, width):
    return polyline(points + [points[0]], width)


def rect(x0, y0, x1, y1):
    return Shape(lambda x, y: x0 <= x <= x1 and y0 <= y <= y1, (x0, y0, x1, y1))


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return x0 <= x <= x1 and y0 <= y <= y1 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    return Shape(inside, (x0, y0, x1, y1))


def union(shapes):
    def inside(x, y):
        for s in shapes:
            b = s.box
            if b[0] <= x <= b[2] and b[1] <= y <= b[3] and s.inside(x, y):
                return True
        return False

    return Shape(inside, (min(s.box[0] for s in shapes), min(s.box[1] for s in shapes),
                          max(s.box[2] for s in shapes), max(s.box[3] for s in shapes)))


def transformed(shape, scale, dx, dy):
    """The shape scaled about the origin, then moved."""
    b = shape.box
    return Shape(lambda x, y: shape.inside((x - dx) / scale, (y - dy) / scale),
                 (b[0] * scale + dx, b[1] * scale + dy, b[2] * scale + dx, b[3] * scale + dy))


# --- canvas ----------------------------------------------------------------------------


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]  # straight r, g, b, a

    def fill(self, shape, color, alpha=1.0):
        n = self.size
        x0 = max(0, int(math.floor(shape.box[0] * n)) - 1)
        y0 = max(0, int(math.floor(shape.box[1] * n)) - 1)
        x1 = min(n - 1, int(math.ceil(shape.box[2] * n)) + 1)
        y1 = min(n - 1, int(math.ceil(shape.box[3] * n)) + 1)
        step = 1.0 / (n * SUPER)
        for py in range(y0, y1 + 1):
            for px in range(x0, x1 + 1):
                hits = 0
                for sy in range(SUPER):
                    y = (py * SUPER + sy + 0.5) * step
                    for sx in range(SUPER):
                        if shape.inside((px * SUPER + sx + 0.5) * step, y):
                            hits += 1
                if hits:
                    self._blend(py * n + px, color, alpha * hits / (SUPER * SUPER))

    def _blend(self, index, color, a):
        dst = self.px[index]
        out_a = a + dst[3] * (1 - a)
        for c in range(3):
            dst[c] = (color[c] * a + dst[c] * dst[3] * (1 - a)) / out_a
        dst[3] = out_a

    def rgba(self):
        """Rows top to bottom of (r, g, b, a) bytes."""
        rows = []
        for y in range(self.size):
            row = []
            for x in range(self.size):
                p = self.px[y * self.size + x]
                row.append(tuple(int(round(max(0, min(255, v)))) for v in p[:3]) +
                           (int(round(p[3] * 255)),))
            rows.append(row)
        return rows


# --- picture parts -----------------------------------------------------------------------


def draw_page(c, x0=0.16, y0=0.04, x1=0.80, y1=0.94, lines=True):
    fold = (x1 - x0) * 0.32
    edge = max(0.035, 1.0 / c.size)
    body = [(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)]
    c.fill(polygon(body), WHITE)
    c.fill(polygon([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)]), PAGE_FOLD)
    c.fill(outline(body, edge), PAGE_EDGE)
    c.fill(segment(x1 - fold, y0, x1 - fold, y0 + fold, edge * 0.8), PAGE_EDGE)
    c.fill(segment(x1 - fold, y0 + fold, x1, y0 + fold, edge * 0.8), PAGE_EDGE)
    if lines and c.size >= 24:
        width = max(0.03, 1.2 / c.size)
        left = x0 + (x1 - x0) * 0.16
        right = x1 - (x1 - x0) * 0.16
        top = y0 + (y1 - y0) * 0.36
        gap = (y1 - y0) * 0.11
        for i in range(4):
            end = right if i < 3 else left + (right - left) * 0.55
            c.fill(segment(left, top + i * gap, end, top + i * gap, width), TEXT_LINE)


def badge_disc(c, color, cx=0.70, cy=0.72, r=0.27):
    c.fill(circle(cx, cy, r + 0.04), WHITE)
    c.fill(circle(cx, cy, r), color)


def draw_check(c, color, cx=0.70, cy=0.72, r=0.27):
    badge_disc(c, color, cx, cy, r)
    w = r * 0.30
    c.fill(polyline([(cx - r * 0.50, cy + r * 0.02), (cx - r * 0.12, cy + r * 0.40),
                     (cx + r * 0.52, cy - r * 0.38)], w), WHITE)


def draw_cross(c, color, cx=0.70, cy=0.72, r=0.27):
    badge_disc(c, color, cx, cy, r)
    w = r * 0.30
    d = r * 0.42
    c.fill(segment(cx - d, cy - d, cx + d, cy + d, w), WHITE)
    c.fill(segment(cx - d, cy + d, cx + d, cy - d, w), WHITE)


def draw_warning(c, color, cx=0.70, cy=0.70, r=0.30):
    tri = [(cx, cy - r), (cx + r * 1.05, cy + r * 0.85), (cx - r * 1.05, cy + r * 0.85)]
    grown = [(cx, cy - r - 0.06), (cx + r * 1.05 + 0.06, cy + r * 0.85 + 0.035),
             (cx - r * 1.05 - 0.06, cy + r * 0.85 + 0.035)]
    c.fill(polygon(grown), WHITE)
    c.fill(polygon(tri), color)
    c.fill(outline(tri, max(0.025, 0.8 / c.size)), YELLOW_EDGE)
    c.fill(segment(cx, cy - r * 0.45, cx, cy + r * 0.25, r * 0.22), DARK)
    c.fill(circle(cx, cy + r * 0.58, r * 0.12), DARK)


def draw_progress(c, color, cx=0.70, cy=0.72, r=0.27):
    badge_disc(c, color, cx, cy, r)
    for i in (-1, 0, 1):
        c.fill(circle(cx + i * r * 0.52, cy, r * 0.17), WHITE)


def draw_seal(c, cx, cy, r):
    """A red wax seal: a rosette with two ribbon ends."""
    c.fill(polygon([(cx - r * 0.55, cy), (cx - r * 0.15, cy), (cx - r * 0.40, cy + r * 1.45),
                    (cx - r * 0.62, cy + r * 1.20), (cx - r * 0.85, cy + r * 1.35)]), RED)
    c.fill(polygon([(cx + r * 0.15, cy), (cx + r * 0.55, cy), (cx + r * 0.85, cy + r * 1.35),
                    (cx + r * 0.62, cy + r * 1.20), (cx + r * 0.40, cy + r * 1.45)]), RED)
    teeth = []
    for i in range(24):
        a = math.pi * 2 * i / 24
        rr = r if i % 2 == 0 else r * 0.84
        teeth.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    c.fill(polygon(teeth), RED)
    c.fill(ring(cx, cy, r * 0.62, max(r * 0.12, 0.8 / c.size)), (255, 190, 170))


def draw_padlock(c, cx, cy, r):
    c.fill(ring(cx, cy - r * 0.55, r * 0.62, r * 0.24), GREY)
    c.fill(rect(cx - r * 0.62, cy - r * 0.55, cx - r * 0.38, cy), GREY)
    c.fill(rect(cx + r * 0.38, cy - r * 0.55, cx + r * 0.62, cy), GREY)
    body = rounded_rect(cx - r, cy - r * 0.25, cx + r, cy + r, r * 0.18)
    c.fill(body, GOLD)
    c.fill(circle(cx, cy + r * 0.25, r * 0.20), BROWN_DARK)
    c.fill(segment(cx, cy + r * 0.25, cx, cy + r * 0.65, r * 0.16), BROWN_DARK)


def draw_folder(c, x0, y0, x1, y1, open_front=False):
    h = y1 - y0
    w = x1 - x0
    back = [(x0, y0 + h * 0.12), (x0 + w * 0.38, y0 + h * 0.12), (x0 + w * 0.46, y0),
            (x1, y0), (x1, y1), (x0, y1)]
    c.fill(polygon(back), FOLDER_DARK)
    if open_front:
        front = [(x0 + w * 0.16, y0 + h * 0.34), (x1 + w * 0.06, y0 + h * 0.34), (x1, y1), (x0, y1)]
    else:
        front = [(x0, y0 + h * 0.26), (x1, y0 + h * 0.26), (x1, y1), (x0, y1)]
    c.fill(polygon(front), FOLDER)
    c.fill(outline(front, max(0.025, 0.8 / c.size)), FOLDER_EDGE)


def draw_magnifier(c, cx, cy, r):
    c.fill(segment(cx + r * 0.7, cy + r * 0.7, cx + r * 1.6, cy + r * 1.6, r * 0.45), BROWN_DARK)
    c.fill(circle(cx, cy, r), (200, 228, 255), 0.85)
    c.fill(ring(cx, cy, r, r * 0.25), BLUE)


def draw_arrow(c, x0, y0, x1, y1, width, color):
    """A thick arrow from (x0, y0) to (x1, y1) with a triangular head."""
    dx, dy = x1 - x0, y1 - y0
    length = math.hypot(dx, dy)
    ux, uy = dx / length, dy / length
    head = width * 1.9
    bx, by = x1 - ux * head, y1 - uy * head
    c.fill(segment(x0, y0, bx + ux * width * 0.3, by + uy * width * 0.3, width), color)
    nx, ny = -uy, ux
    c.fill(polygon([(x1, y1), (bx + nx * head * 0.75, by + ny * head * 0.75),
                    (bx - nx * head * 0.75, by - ny * head * 0.75)]), color)


# --- pictures ------------------------------------------------------------------------------


def state_icon(badge, color):
    def draw(c):
        draw_page(c, 0.08, 0.03, 0.72, 0.93)
        badge(c, color)

    return draw


def plain_document(c):
    draw_page(c, 0.18, 0.04, 0.82, 0.96)


def signed_document(c):
    draw_page(c, 0.10, 0.03, 0.74, 0.93)
    draw_seal(c, 0.70, 0.62, 0.22)


def protected_document(c):
    draw_page(c, 0.08, 0.03, 0.72, 0.93)
    draw_padlock(c, 0.70, 0.72, 0.24)


def product_icon(c):
    draw_folder(c, 0.04, 0.14, 0.96, 0.90)
    draw_page(c, 0.22, 0.04, 0.74, 0.62, lines=False)
    c.fill(polygon([(0.04, 0.40), (0.96, 0.40), (0.96, 0.90), (0.04, 0.90)]), FOLDER)
    c.fill(outline([(0.04, 0.40), (0.96, 0.40), (0.96, 0.90), (0.04, 0.90)],
                   max(0.025, 0.8 / c.size)), FOLDER_EDGE)
    draw_seal(c, 0.70, 0.58, 0.20)


def manager_icon(c):
    draw_page(c, 0.08, 0.03, 0.72, 0.93)
    draw_seal(c, 0.58, 0.30, 0.14)
    draw_magnifier(c, 0.56, 0.62, 0.20)


def tool_open(c):
    draw_folder(c, 0.06, 0.18, 0.90, 0.86, open_front=True)


def tool_view(c):
    draw_page(c, 0.10, 0.04, 0.70, 0.92)
    draw_magnifier(c, 0.56, 0.56, 0.20)


def tool_extract(c):
    draw_page(c, 0.06, 0.04, 0.62, 0.88)
    draw_arrow(c, 0.40, 0.46, 0.92, 0.90, 0.12, GREEN)


def tool_extract_to(c):
    draw_page(c, 0.06, 0.04, 0.52, 0.70)
    draw_folder(c, 0.46, 0.56, 0.96, 0.96)
    draw_arrow(c, 0.30, 0.36, 0.72, 0.74, 0.10, GREEN)


def tool_extract_all(c):
    draw_page(c, 0.26, 0.02, 0.70, 0.64, lines=False)
    draw_page(c, 0.16, 0.12, 0.60, 0.76, lines=False)
    draw_page(c, 0.06, 0.22, 0.50, 0.88)
    draw_arrow(c, 0.40, 0.50, 0.92, 0.92, 0.11, GREEN)


def tool_extract_all_to(c):
    draw_page(c, 0.18, 0.02, 0.56, 0.52, lines=False)
    draw_page(c, 0.06, 0.12, 0.44, 0.64, lines=False)
    draw_folder(c, 0.46, 0.56, 0.96, 0.96)
    draw_arrow(c, 0.28, 0.38, 0.72, 0.76, 0.10, GREEN)


def tool_manual(c):
    c.fill(rounded_rect(0.16, 0.06, 0.84, 0.94, 0.05), BLUE)
    c.fill(rect(0.22, 0.80, 0.84, 0.90), WHITE)
    c.fill(rect(0.16, 0.06, 0.26, 0.94), (20, 60, 130))
    c.fill(rounded_rect(0.36, 0.22, 0.74, 0.40, 0.03), WHITE)
    c.fill(polygon([(0.62, 0.06), (0.74, 0.06), (0.74, 0.30), (0.68, 0.25), (0.62, 0.30)]), RED)


def tool_about(c):
    c.fill(circle(0.5, 0.5, 0.44), BLUE)
    c.fill(ring(0.5, 0.5, 0.44, 0.05), (20, 60, 130))
    c.fill(circle(0.5, 0.28, 0.07), WHITE)
    c.fill(segment(0.5, 0.44, 0.5, 0.76, 0.13), WHITE)


def tool_exit(c):
    c.fill(rect(0.10, 0.06, 0.58, 0.94), BROWN)
    c.fill(outline([(0.10, 0.06), (0.58, 0.06), (0.58, 0.94), (0.10, 0.94)], 0.04), BROWN_DARK)
    c.fill(circle(0.48, 0.52, 0.04), GOLD)
    draw_arrow(c, 0.40, 0.50, 0.94, 0.50, 0.13, RED)


# --- file writers -------------------------------------------------------------------------


def render(draw, size):
    c = Canvas(size)
    draw(c)
    return c.rgba()


def dib_32(rows, with_mask):
    """BITMAPINFOHEADER + bottom-up BGRA pixels (+ AND mask for icons)."""
    size = len(rows)
    height = size * 2 if with_mask else size
    header = struct.pack("<IiiHHIIiiII", 40, size, height, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    data = header + bytes(pixels)
    if with_mask:
        stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(rows):
            bits = bytearray(stride)
            for x, p in enumerate(row):
                if p[3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        data += bytes(mask)
    return data


def write_ico(path, draw, sizes):
    images = [dib_32(render(draw, s), True) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(sizes)))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    save(path, out)


def strip(draws, size):
    """One row of button images side by side."""
    images = [render(d, size) for d in draws]
    return [sum((img[y] for img in images), []) for y in range(size)]


def write_bmp_32(path, rows):
    width, height = len(rows[0]), len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, width * height * 4, 2835,
                         2835, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    write_bmp(path, header, pixels)


def write_bmp_24(path, rows, key):
    """Composited over the key colour, which the toolbar treats as transparent."""
    width, height = len(rows[0]), len(rows)
    stride = (width * 3 + 3) & ~3
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, stride * height, 2835, 2835,
                         0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, a in row:
            if a < 128:
                r, g, b = key
            else:
                f = a / 255
                r, g, b = (int(round(v * f + k * (1 - f))) for v, k in zip((r, g, b), (240, 240, 240)))
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    write_bmp(path, header, pixels)


def write_bmp(path, info, pixels):
    offset = 14 + len(info)
    save(path, struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + info + pixels)


def save(path, data):
    full = os.path.join(ROOT, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(data)
    print(path)


# The report pictures are 48 pixels at 96 DPI and the menu icons 16: each comes in the sizes
# for 100, 125, 150 and 200 % so that no scale needs a stretched picture.
STATE_SIZES = [16, 24, 32, 48, 60, 72, 96]
APP_SIZES = [16, 24, 32, 48]
MENU_SIZES = [16, 20, 24, 32]
# Toolbar 128's buttons, 32 pixels at 96 DPI: toolbar.bmp, then toolbar_<size>.bmp.
TOOLBAR_SIZES = [32, 40, 48, 64]


def main():
    m = "resources/manager/icons/"
    write_ico(m + "manager.ico", manager_icon, APP_SIZES)  # 128
    write_ico(m + "state_tampered.ico", state_icon(draw_cross, RED), STATE_SIZES)  # 201
    write_ico(m + "state_qualified.ico", state_icon(draw_check, GREEN), STATE_SIZES)  # 202
    write_ico(m + "state_qualified_hot.ico", state_icon(draw_check, GREEN_HOT), STATE_SIZES)  # 203
    write_ico(m + "state_warning.ico", state_icon(draw_warning, YELLOW), STATE_SIZES)  # 204
    write_ico(m + "state_warning_hot.ico", state_icon(draw_warning, YELLOW_HOT), STATE_SIZES)  # 205
    write_ico(m + "state_progress.ico", state_icon(draw_progress, BLUE), STATE_SIZES)  # 206
    # Document icons of the .snx and .pnx file types, shown by Explorer.
    write_ico(m + "document_signed.ico", signed_document, APP_SIZES)  # 211
    write_ico(m + "document_protected.ico", protected_document, APP_SIZES)  # 212

    s = "resources/shellext/icons/"
    write_ico(s + "state_passed.ico", state_icon(draw_check, GREEN), STATE_SIZES)  # 106
    write_ico(s + "state_tampered.ico", state_icon(draw_cross, RED), STATE_SIZES)  # 107
    write_ico(s + "state_warning.ico", state_icon(draw_warning, YELLOW), STATE_SIZES)  # 108
    write_ico(s + "state_progress.ico", plain_document, STATE_SIZES)  # 109
    write_ico(s + "dossiq.ico", product_icon, MENU_SIZES)  # 110
    write_ico(s + "signed.ico", signed_document, MENU_SIZES)  # 111
    write_ico(s + "protected.ico", protected_document, MENU_SIZES)  # 112

    # Toolbar 128: Open | View, Extract, Extract To, Extract All, Extract All To | Manual, About | Exit
    tools = [tool_open, tool_view, tool_extract, tool_extract_to, tool_extract_all,
             tool_extract_all_to, tool_manual, tool_about, tool_exit]
    for size in TOOLBAR_SIZES:
        name = "toolbar.bmp" if size == 32 else "toolbar_%d.bmp" % size
        write_bmp_32("resources/manager/" + name, strip(tools, size))
    # Toolbar 129: Open | Extract, Extract To, Extract All, Extract All To | Exit | About
    write_bmp_24("resources/manager/toolbar_classic.bmp",
                 strip([tool_open, tool_extract, tool_extract_to, tool_extract_all,
                        tool_extract_all_to, tool_exit, tool_about], 32), (255, 0, 255))


if __name__ == "__main__":
    main()
