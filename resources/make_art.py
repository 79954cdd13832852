#!/usr/bin/env python3
"""Draws the program's icons, cursor, the toolbar strip and the shutter sound.

Deterministic and standard library only: run it again and the same bytes
come out. Usage: make_art.py [output folder] (default: this folder).
"""
import math
import os
import struct
import sys
import wave

MASK = (239, 238, 227)  # toolbar mask colour 0xE3EEEF


class Canvas:
    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, c)

    def disc(self, cx, cy, r, c, r_inner=-1.0):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r_inner < d <= r:
                    self.put(x, y, c)

    def line(self, x0, y0, x1, y1, c, t=1):
        n = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(n + 1):
            x = x0 + (x1 - x0) * i / n
            y = y0 + (y1 - y0) * i / n
            self.rect(int(x - t / 2), int(y - t / 2), int(x - t / 2) + t, int(y - t / 2) + t, c)

    def rounded(self, x0, y0, x1, y1, r, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                dx = max(x0 + r - x - 0.5, 0, x + 0.5 - (x1 - r))
                dy = max(y0 + r - y - 0.5, 0, y + 0.5 - (y1 - r))
                if dx * dx + dy * dy <= r * r:
                    self.put(x, y, c)


def camera(s):
    """The program icon: a blue tile with a white camera."""
    c = Canvas(s, s)
    k = s / 32
    c.rounded(0, 0, s, s, int(6 * k), (30, 110, 200, 255))
    c.rounded(int(5 * k), int(10 * k), int(27 * k), int(25 * k), int(3 * k), (250, 250, 250, 255))
    c.rect(int(11 * k), int(7 * k), int(19 * k), int(11 * k), (250, 250, 250, 255))
    c.disc(16 * k, 17.5 * k, 5 * k, (30, 110, 200, 255))
    c.disc(16 * k, 17.5 * k, 3 * k, (120, 200, 255, 255))
    return c


def folder(s):
    c = Canvas(s, s)
    k = s / 16
    c.rect(int(1 * k), int(3 * k), int(7 * k), int(5 * k), (220, 160, 40, 255))
    c.rect(int(1 * k), int(5 * k), int(15 * k), int(13 * k), (245, 190, 60, 255))
    return c


def droplet(s):
    c = Canvas(s, s)
    k = s / 16
    c.disc(8 * k, 10 * k, 4.5 * k, (40, 140, 220, 255))
    for y in range(int(2 * k), int(7 * k)):
        half = (y - 2 * k) * 0.75
        c.rect(int(8 * k - half), y, int(8 * k + half) + 1, y + 1, (40, 140, 220, 255))
    return c


def gear(s):
    c = Canvas(s, s)
    k = s / 16
    for i in range(8):
        a = i * math.pi / 4
        c.disc(8 * k + 5.5 * k * math.cos(a), 8 * k + 5.5 * k * math.sin(a), 1.6 * k, (110, 110, 120, 255))
    c.disc(8 * k, 8 * k, 5 * k, (110, 110, 120, 255))
    c.disc(8 * k, 8 * k, 2 * k, (0, 0, 0, 0))
    return c


def saved_files(s):
    """Icon 143: a picture file with a folded corner."""
    c = Canvas(s, s)
    k = s / 16
    ink = (70, 80, 100, 255)
    c.rect(int(3 * k), int(1 * k), int(13 * k), int(15 * k), ink)
    c.rect(int(4 * k), int(2 * k), int(12 * k), int(14 * k), (250, 250, 250, 255))
    c.rect(int(5 * k), int(6 * k), int(11 * k), int(12 * k), (150, 210, 250, 255))
    c.rect(int(5 * k), int(10 * k), int(11 * k), int(12 * k), (60, 150, 70, 255))
    fold = int(4 * k)
    x0, y0 = int(13 * k) - fold, int(1 * k)
    for i in range(fold):
        c.rect(x0 + i + 1, y0 + i, int(13 * k), y0 + i + 1, (0, 0, 0, 0))
        c.put(x0 + i, y0 + i, ink)
        c.put(x0, y0 + i, ink)
    c.rect(x0, y0 + fold - 1, x0 + fold, y0 + fold, ink)
    return c


def saved_dc(s):
    """Icon 142: a memory chip holding a captured picture."""
    c = Canvas(s, s)
    k = s / 16
    pin = (150, 150, 160, 255)
    for x in range(int(4 * k), int(13 * k), int(3 * k)):
        c.rect(x, int(1 * k), x + max(int(k), 1), int(3 * k), pin)
        c.rect(x, int(13 * k), x + max(int(k), 1), int(15 * k), pin)
    c.rect(int(2 * k), int(3 * k), int(14 * k), int(13 * k), (50, 60, 80, 255))
    c.rect(int(4 * k), int(5 * k), int(12 * k), int(11 * k), (250, 200, 60, 255))
    c.rect(int(5 * k), int(6 * k), int(11 * k), int(10 * k), (30, 110, 200, 255))
    return c


def _masked_dib(img):
    """One image of an ICO or CUR file: 32-bit BGRA rows with an AND mask."""
    w, h = img.w, img.h
    xor = b''.join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(img.px) for p in row)
    stride = ((w + 31) // 32) * 4
    mask = b''
    for row in reversed(img.px):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    bih = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return bih + xor + mask


def ico(images):
    """ICO file bytes from canvases."""
    head = struct.pack('<HHH', 0, 1, len(images))
    entries, blobs = b'', b''
    offset = 6 + 16 * len(images)
    for img in images:
        blob = _masked_dib(img)
        entries += struct.pack('<BBBBHHII', img.w % 256, img.h % 256, 0, 0, 1, 32, len(blob), offset)
        blobs += blob
        offset += len(blob)
    return head + entries + blobs


def cur(img, hotspot):
    """CUR file bytes of one canvas; the entry's plane and bit fields hold the hot spot."""
    blob = _masked_dib(img)
    head = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', img.w % 256, img.h % 256, 0, 0, hotspot[0], hotspot[1], len(blob), 6 + 16)
    return head + entry + blob


SPOIDE_TIP = (1, 30)  # the sampled point of the eyedropper cursor


def spoide():
    """Cursor 208: an eyedropper lying from its tip at the bottom left to its bulb."""
    c = Canvas(32, 32)
    ink, glass, bulb = (20, 20, 20, 255), (235, 240, 245, 255), (200, 50, 50, 255)
    c.line(2, 29, 19, 12, ink, 5)
    c.line(3, 28, 18, 13, glass, 2)
    c.line(17, 10, 21, 14, ink, 3)  # the collar
    c.line(15, 12, 19, 16, ink, 3)
    c.disc(24.5, 7.5, 5.5, ink)
    c.disc(24.5, 7.5, 4, bulb)
    c.put(SPOIDE_TIP[0], SPOIDE_TIP[1], ink)
    c.put(SPOIDE_TIP[0] + 1, SPOIDE_TIP[1] - 1, ink)
    return c


def bmp24(img):
    stride = (img.w * 3 + 3) & ~3
    rows = b''
    for row in reversed(img.px):
        line = b''.join(bytes((p[2], p[1], p[0])) for p in row)
        rows += line + b'\0' * (stride - len(line))
    bih = struct.pack('<IiiHHIIiiII', 40, img.w, img.h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return struct.pack('<2sIHHI', b'BM', 14 + 40 + len(rows), 0, 0, 54) + bih + rows


def toolbar():
    """Bitmap 130: five 38 x 38 images on the mask colour."""
    s = 38
    c = Canvas(s * 5, s, MASK + (255,))
    ink, blue, red, green = (60, 60, 70, 255), (30, 110, 200, 255), (210, 60, 50, 255), (60, 150, 70, 255)
    # 0 save: a disk
    c.rect(7, 6, 31, 32, blue)
    c.rect(12, 6, 26, 15, (230, 230, 230, 255))
    c.rect(11, 21, 27, 32, (250, 250, 250, 255))
    # 1 capture tools: a frame with a cross-hair
    o = s
    for x0, y0, x1, y1 in ((6, 8, 32, 10), (6, 28, 32, 30), (6, 8, 8, 30), (30, 8, 32, 30)):
        c.rect(o + x0, y0, o + x1, y1, ink)
    c.rect(o + 18, 12, o + 20, 27, red)
    c.rect(o + 11, 18, o + 27, 20, red)
    # 2 watermark: a picture with a translucent stamp
    o = 2 * s
    c.rect(o + 5, 7, o + 33, 31, ink)
    c.rect(o + 7, 9, o + 31, 29, (150, 210, 250, 255))
    c.rect(o + 7, 22, o + 31, 29, green)
    c.line(o + 12, 12, o + 16, 26, (255, 255, 255, 255), 2)
    c.line(o + 16, 26, o + 19, 16, (255, 255, 255, 255), 2)
    c.line(o + 19, 16, o + 22, 26, (255, 255, 255, 255), 2)
    c.line(o + 22, 26, o + 26, 12, (255, 255, 255, 255), 2)
    # 3 GIF: three film frames
    o = 3 * s
    c.rect(o + 4, 9, o + 34, 29, ink)
    for i in range(3):
        c.rect(o + 6 + i * 10, 13, o + 12 + i * 10, 25, (250, 200, 60, 255) if i == 1 else (250, 250, 250, 255))
    for x in range(6, 33, 4):
        c.rect(o + x, 10, o + x + 2, 12, (250, 250, 250, 255))
        c.rect(o + x, 26, o + x + 2, 28, (250, 250, 250, 255))
    # 4 options: a gear
    o = 4 * s
    for i in range(8):
        a = i * math.pi / 4
        c.disc(o + 19 + 11 * math.cos(a), 19 + 11 * math.sin(a), 3.2, ink)
    c.disc(o + 19, 19, 10, ink)
    c.disc(o + 19, 19, 4, MASK + (255,))
    return c


def frame_pieces():
    """Bitmaps 166-180: the key colour and the eight pieces of the tool-window frame."""
    edge, light = (20, 30, 44, 255), (120, 150, 190, 255)

    def caption(w, left_cap=False, right_cap=False):
        c = Canvas(w, 33)
        for y in range(33):
            t = y / 32
            shade = tuple(int(a + (b - a) * t) for a, b in zip((78, 104, 140), (34, 50, 74))) + (255,)
            c.rect(0, y, w, y + 1, shade)
        c.rect(0, 0, w, 1, light)
        if left_cap:
            c.rect(0, 0, 1, 33, edge)
            c.rect(1, 1, 2, 33, light)
        if right_cap:
            c.rect(w - 1, 0, w, 33, edge)
            c.rect(w - 2, 1, w - 1, 33, light)
        return c

    def border(w, h, outer_left=False, outer_right=False, outer_bottom=False):
        c = Canvas(w, h, (44, 62, 86, 255))
        if outer_left:
            c.rect(0, 0, 1, h, edge)
            c.rect(1, 0, 2, h, light)
        if outer_right:
            c.rect(w - 1, 0, w, h, edge)
            c.rect(w - 2, 0, w - 1, h, light)
        if outer_bottom:
            c.rect(0, h - 1, w, h, edge)
            c.rect(0, h - 2, w, h - 1, light)
        return c

    return {
        'region_view_key.bmp': Canvas(8, 8, MASK + (255,)),
        'frame_caption_right.bmp': caption(8, right_cap=True),
        'frame_bottom.bmp': border(3, 8, outer_bottom=True),
        'frame_bottom_left.bmp': border(8, 8, outer_left=True, outer_bottom=True),
        'frame_bottom_right.bmp': border(8, 8, outer_right=True, outer_bottom=True),
        'frame_left.bmp': border(8, 3, outer_left=True),
        'frame_right.bmp': border(8, 3, outer_right=True),
        'frame_caption_middle.bmp': caption(3),
        'frame_caption_left.bmp': caption(8, left_cap=True),
    }


def region_buttons():
    """Bitmap 185: the region captures' plus and close cross, 24 x 24 each, on the mask colour."""
    c = Canvas(48, 24, MASK + (255,))
    red, white = (200, 40, 40, 255), (255, 255, 255, 255)
    for x0 in (0, 24):
        c.rounded(x0 + 2, 2, x0 + 22, 22, 4, red)
    c.rect(6, 11, 18, 13, white)
    c.rect(11, 6, 13, 18, white)
    c.line(30, 6, 41, 17, white, 2)
    c.line(41, 6, 30, 17, white, 2)
    return c


def navigator_buttons():
    """Bitmap 181: the navigator's caption buttons, 20 x 20 each on the mask
    colour, a normal and a highlighted image per button: close, capture,
    continuous capture, speed capture."""
    s = 20
    c = Canvas(s * 8, s, MASK + (255,))
    face, lit = (52, 72, 100, 255), (92, 132, 186, 255)
    ink, white = (235, 240, 246, 255), (255, 255, 255, 255)
    red, amber = (225, 70, 60, 255), (250, 200, 60, 255)
    for i in range(8):
        o = i * s
        hot = i % 2 == 1
        c.rounded(o + 1, 1, o + 19, 19, 4, lit if hot else face)
        fg = white if hot else ink
        kind = i // 2
        if kind == 0:  # close: a cross
            c.line(o + 6, 6, o + 14, 14, fg, 2)
            c.line(o + 14, 6, o + 6, 14, fg, 2)
        elif kind == 1:  # capture: a camera
            c.rect(o + 4, 7, o + 16, 15, fg)
            c.rect(o + 7, 5, o + 11, 7, fg)
            c.disc(o + 10, 11, 3.2, lit if hot else face)
            c.disc(o + 10, 11, 1.6, red)
        elif kind == 2:  # continuous capture: three stacked frames
            for k in range(3):
                x, y = o + 4 + 2 * k, 4 + 2 * k
                c.rect(x, y, x + 9, y + 1, fg)
                c.rect(x, y + 7, x + 9, y + 8, fg)
                c.rect(x, y, x + 1, y + 8, fg)
                c.rect(x + 8, y, x + 9, y + 8, fg)
        else:  # speed capture: a bolt
            c.line(o + 12, 3, o + 7, 11, amber, 2)
            c.line(o + 7, 11, o + 13, 10, amber, 2)
            c.line(o + 13, 10, o + 8, 17, amber, 2)
    return c


def shutter(path):
    """A short mechanical click: two decaying noise bursts (fixed seed)."""
    rate = 22050
    seed = 12345
    frames = bytearray()
    for i in range(int(rate * 0.18)):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        noise = (seed / 0x3FFFFFFF) - 1.0
        t = i / rate
        env = math.exp(-t * 90) + (0.8 * math.exp(-(t - 0.07) * 70) if t >= 0.07 else 0)
        tone = math.sin(2 * math.pi * 1800 * t) * 0.3
        v = max(-1.0, min(1.0, (noise * 0.7 + tone) * env))
        frames += struct.pack('<h', int(v * 20000))
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


def bar_icons():
    """Icons of the colour bar's buttons and of the quick options bar's switches.

    Each switch has a grey idle icon and a coloured one for on or under the mouse.
    """
    grey = (150, 150, 155, 255)

    def cursor(c, ink):
        for y in range(1, 12):
            c.rect(4, y, 4 + min(y, 8), y + 1, ink)
        c.line(8, 10, 11, 15, ink, 2)

    def editor(c, ink):
        c.line(3, 13, 12, 4, ink, 3)
        c.rect(2, 13, 5, 15, (60, 60, 60, 255))

    def drop(c, ink):
        c.disc(8, 10, 4.5, ink)
        for y in range(2, 7):
            half = (y - 2) * 0.75
            c.rect(int(8 - half), y, int(8 + half) + 1, y + 1, ink)

    def keep(c, ink):
        c.rect(3, 3, 13, 13, ink)
        c.rect(5, 5, 11, 11, (0, 0, 0, 0))
        c.disc(13, 13, 2.5, ink)

    def home(c, ink):
        c.disc(8, 8, 6.5, ink, 5.0)
        c.line(1.5, 8, 14.5, 8, ink)
        c.line(8, 1.5, 8, 14.5, ink)

    def version(c, ink):
        c.disc(8, 8, 6, ink, 4.0)
        c.rect(10, 1, 15, 6, (0, 0, 0, 0))
        c.rect(11, 2, 15, 4, ink)
        c.rect(13, 2, 15, 6, ink)

    def tray(c, ink):
        c.rect(2, 11, 14, 14, ink)
        c.line(8, 2, 8, 9, ink, 2)
        c.line(5, 6, 8, 9, ink, 2)
        c.line(11, 6, 8, 9, ink, 2)

    def make(draw, ink):
        c = Canvas(16, 16)
        draw(c, ink)
        return ico([c])

    switches = [  # file stem, glyph, colour when on
        ('quick_cursor', cursor, (30, 30, 30, 255)),
        ('quick_editor', editor, (230, 140, 30, 255)),
        ('quick_watermark', drop, (40, 140, 220, 255)),
        ('quick_keep', keep, (200, 60, 60, 255)),
        ('quick_home', home, (40, 110, 220, 255)),
        ('quick_version', version, (40, 160, 80, 255)),
        ('quick_tray', tray, (120, 70, 190, 255)),
    ]
    files = {}
    for stem, draw, ink in switches:
        files[stem + '_on.ico'] = make(draw, ink)
        files[stem + '_off.ico'] = make(draw, grey)

    pipette = Canvas(16, 16)
    pipette.line(2, 14, 10, 6, (30, 30, 30, 255), 3)
    pipette.line(3, 13, 9, 7, (235, 240, 245, 255), 1)
    pipette.disc(12, 4, 3.5, (200, 50, 50, 255))
    files['eyedropper.ico'] = ico([pipette])

    copy = Canvas(16, 16)
    copy.rect(2, 2, 10, 11, (70, 80, 100, 255))
    copy.rect(3, 3, 9, 10, (250, 250, 250, 255))
    copy.rect(6, 5, 14, 14, (70, 80, 100, 255))
    copy.rect(7, 6, 13, 13, (250, 250, 250, 255))
    copy.rect(8, 8, 12, 11, (40, 140, 220, 255))
    files['copy_color.ico'] = ico([copy])
    return files


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    art = os.path.join(out, 'art')
    os.makedirs(art, exist_ok=True)
    files = {
        'vesk.ico': ico([camera(32), camera(16)]),
        'options_file.ico': ico([folder(16)]),
        'options_watermark.ico': ico([droplet(16)]),
        'options_misc.ico': ico([gear(16)]),
        'saved_files.ico': ico([saved_files(16)]),
        'saved_dc.ico': ico([saved_dc(16)]),
        'toolbar.bmp': bmp24(toolbar()),
        'spoide.cur': cur(spoide(), SPOIDE_TIP),
        'navigator_buttons.bmp': bmp24(navigator_buttons()),
    }
    files.update({name: bmp24(img) for name, img in frame_pieces().items()})
    files.update(bar_icons())
    files['region_buttons.bmp'] = bmp24(region_buttons())
    for name, data in files.items():
        with open(os.path.join(art, name), 'wb') as f:
            f.write(data)
    shutter(os.path.join(art, 'shutter.wav'))


if __name__ == '__main__':
    main()
