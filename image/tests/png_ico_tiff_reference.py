"""Reference decodings and files of other tools for the PNG, ICO and TIFF tests.

  dump FILE...        writes FILE.ref beside each file: how PIL decodes it. Icons get
                      FILE.N.ref for every entry N in file order.
  pnm FILE...         writes FILE.ref for binary PNM files (8 or 16 bits, high byte kept)
  tiff2rgba FILE...   writes FILE.ref from tiff2rgba's conversion (read back by PIL)
  make-icons DIR      writes icons made by icotool and by PIL into DIR
  make-tiffs DIR IMAGES  writes PIL's RGBA TIFF into DIR, and libtiff's test images
                      from IMAGES laid out in tiles and strips by tiffcp

A .ref file is a line "WIDTH HEIGHT CHANNELS" (1 grey, 3 RGB, 4 RGBA), then the
samples, top row first. PIL's decoding is taken as it is, except where PIL keeps
a tRNS value at the file's own depth: the key is applied at that depth. 16-bit
grey becomes its high byte, in TIFF files scaled as the codec scales it. Run with the Python that has PIL
(Debian's /usr/bin/python3).
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

from PIL import Image

ICOTOOL = "/usr/bin/icotool"
TIFF2RGBA = "/usr/bin/tiff2rgba"
TIFFCP = "/usr/bin/tiffcp"


def write_ref(path, width, height, channels, data):
    assert len(data) == width * height * channels, (path, len(data))
    with open(path, "wb") as out:
        out.write(b"%d %d %d\n" % (width, height, channels))
        out.write(data)


def png_ihdr(path):
    with open(path, "rb") as f:
        head = f.read(33)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    width, height, depth, colour = struct.unpack(">IIBB", head[16:26])
    return depth, colour


def png_samples16(path):
    """The 16-bit samples of a non-interlaced PNG, unfiltered, row after row."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat = 8, b""
    width = height = channels = 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 16 and interlace == 0
            channels = {0: 1, 2: 3, 4: 2, 6: 4}[colour]
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    bpp = 2 * channels
    stride = width * bpp
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = previous[i]
            c = previous[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append(bytes(line))
        previous = line
    joined = b"".join(rows)
    return [joined[i] << 8 | joined[i + 1] for i in range(0, len(joined), 2)]


def pil_reference(image, path=None):
    """(channels, bytes) of a PIL image, with the fixes described above."""
    mode = image.mode
    info = image.info
    ihdr = png_ihdr(path) if path else None
    if mode in ("I", "I;16", "I;16B", "I;16L"):
        values = list(image.getdata())
        shift = 8
        if image.format == "TIFF":
            # The codec scales 16-bit grey TIFF by the power of two that takes
            # its brightest sample to the top of the 8-bit range.
            high = max(values) >> 8
            shift = 8 - (8 - high.bit_length() if high else 8)
        grey = bytes((v >> shift) & 0xFF for v in values)
        key = info.get("transparency")
        if key is None:
            return 1, grey
        out = bytearray()
        for g, v in zip(grey, values):
            out += bytes((g, g, g, 0 if v == key else 255))
        return 4, bytes(out)
    if ihdr and ihdr[1] == 0 and ihdr[0] < 8 and "transparency" in info:
        # PIL widens the samples but not the key.
        depth = ihdr[0]
        key = info["transparency"] * 255 // ((1 << depth) - 1)
        out = bytearray()
        for g in image.convert("L").getdata():
            out += bytes((g, g, g, 0 if g == key else 255))
        return 4, bytes(out)
    if ihdr and ihdr[1] == 2 and ihdr[0] == 16 and "transparency" in info:
        # PIL compares its 8-bit samples with the 16-bit key.
        key = tuple(info["transparency"])
        samples = png_samples16(path)
        out = bytearray()
        for i in range(0, len(samples), 3):
            r, g, b = samples[i:i + 3]
            out += bytes((r >> 8, g >> 8, b >> 8, 0 if (r, g, b) == key else 255))
        return 4, bytes(out)
    has_alpha = mode in ("RGBA", "LA", "PA", "RGBa", "La") or "transparency" in info
    if has_alpha:
        return 4, image.convert("RGBA").tobytes()
    if mode in ("1", "L"):
        return 1, image.convert("L").tobytes()
    return 3, image.convert("RGB").tobytes()


def dump_file(path):
    image = Image.open(path)
    if image.format == "ICO":
        dump_icon(path, image)
        return
    image.load()
    channels, data = pil_reference(image, path)
    write_ref(path + ".ref", image.width, image.height, channels, data)


def dump_icon(path, image):
    with open(path, "rb") as f:
        data = f.read()
    count = struct.unpack("<H", data[4:6])[0]
    offsets = [struct.unpack("<I", data[6 + 16 * i + 12:6 + 16 * i + 16])[0] for i in range(count)]
    for number, offset in enumerate(offsets):
        index = next(i for i, e in enumerate(image.ico.entry) if e["offset"] == offset)
        frame = image.ico.frame(index)
        frame.load()
        channels, pixels = pil_reference(frame)
        write_ref("%s.%d.ref" % (path, number), frame.width, frame.height, channels, pixels)


def dump_pnm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < (3 if data[:2] == b"P4" else 4):
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    kind, width, height = fields[0], int(fields[1]), int(fields[2])
    body = data[pos:]
    if kind == b"P4":
        row = (width + 7) // 8
        out = bytearray()
        for y in range(height):
            for x in range(width):
                bit = (body[y * row + x // 8] >> (7 - x % 8)) & 1
                out.append(0 if bit else 255)
        write_ref(path + ".ref", width, height, 1, bytes(out))
        return
    maxval = int(fields[3])
    channels = 1 if kind == b"P5" else 3
    if maxval > 255:
        body = body[0:2 * width * height * channels:2]
    write_ref(path + ".ref", width, height, channels, bytes(body[:width * height * channels]))


def dump_tiff2rgba(path):
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "out.tif")
        subprocess.run([TIFF2RGBA, "-c", "none", path, out], check=True, stderr=subprocess.DEVNULL)
        image = Image.open(out)
        image.load()
        channels, data = pil_reference(image)
        write_ref(path + ".ref", image.width, image.height, channels, data)


def picture(width, height, colours=None, alpha=False):
    """Gradients, flat areas and edges; reduced to `colours` when given."""
    image = Image.new("RGBA", (width, height))
    for y in range(height):
        for x in range(width):
            if (x + y) % 7 == 0:
                c = (0, 0, 0)
            elif width // 4 <= x < width // 2 and height // 4 <= y < height // 2:
                c = (240, 240, 240)
            else:
                c = (x * 255 // max(width - 1, 1), y * 255 // max(height - 1, 1), (x * y) % 256)
            a = 255
            if alpha:
                a = 0 if x < width // 5 else (x * 37 + y * 11) % 256 if y > height // 2 else 255
            image.putpixel((x, y), c + (a,))
    if colours:
        rgb = image.convert("RGB").quantize(colours).convert("RGB")
        image = Image.merge("RGBA", rgb.split() + (image.getchannel("A"),))
    return image


def mask_only(image):
    """Only fully clear or opaque pixels, as a mask holds them."""
    image.putalpha(image.getchannel("A").point(lambda a: 0 if a == 0 else 255))
    return image


def make_icons(folder):
    src = lambda name: os.path.join(folder, name + ".png")
    # icotool writes the depth it is told and takes the AND mask from alpha 0.
    for bits, colours in ((1, 2), (4, 16), (8, 200), (24, None), (32, None)):
        image = picture(23 if bits != 32 else 32, 17 if bits != 32 else 32, colours, alpha=True)
        if bits < 32:
            image = mask_only(image)
        if bits == 1:
            image = Image.merge("RGBA", image.convert("RGB").convert("1").convert("RGB").split() +
                                (image.getchannel("A"),))
        image.save(src("icotool_%d" % bits))
        subprocess.run([ICOTOOL, "-c", "-b", str(bits), "-o", os.path.join(folder, "icotool_%d.ico" % bits),
                        src("icotool_%d" % bits)], check=True)
    multi = [src("multi_a"), src("multi_b"), src("multi_c")]
    mask_only(picture(16, 16, 16, alpha=True)).save(multi[0])
    picture(32, 32, alpha=True).save(multi[1])
    picture(48, 48, alpha=True).save(multi[2])
    subprocess.run([ICOTOOL, "-c", "-b", "4", multi[0], "-b", "32", multi[1], "-b", "32", multi[2],
                    "-o", os.path.join(folder, "icotool_multi.ico")], check=True)
    for name in multi:
        os.remove(name)

    big = picture(64, 64, alpha=True)
    big.save(os.path.join(folder, "pil_png.ico"), sizes=[(16, 16), (32, 32), (64, 64)])
    big.save(os.path.join(folder, "pil_bmp.ico"), sizes=[(16, 16), (48, 48)], bitmap_format="bmp")
    for name in os.listdir(folder):
        if name.endswith(".png"):
            os.remove(os.path.join(folder, name))


def make_tiffs(folder, images):
    """PIL's straight-alpha RGBA, and libtiff's test images re-laid by tiffcp."""
    rgba = Image.new("RGBA", (5, 3), (200, 100, 50, 60))
    rgba.putpixel((1, 1), (10, 250, 30, 255))
    rgba.putpixel((2, 1), (255, 255, 255, 0))
    rgba.save(os.path.join(folder, "pil_rgba.tif"), compression="tiff_lzw")
    layouts = {
        "tiled16": ["-t", "-w", "16", "-l", "16"],
        "tiled32x48": ["-t", "-w", "32", "-l", "48", "-c", "zip"],
        "strips7": ["-r", "7", "-c", "packbits"],
    }
    for source in ("palette-1c-4b", "palette-1c-8b", "minisblack-1c-16b", "minisblack-1c-8b",
                   "miniswhite-1c-1b", "palette-1c-1b", "rgb-3c-8b"):
        for name, options in layouts.items():
            subprocess.run([TIFFCP] + options + [os.path.join(images, source + ".tiff"),
                            os.path.join(folder, "%s.%s.tiff" % (source, name))], check=True)


COMMANDS = {
    "dump": lambda args: [dump_file(a) for a in args],
    "pnm": lambda args: [dump_pnm(a) for a in args],
    "tiff2rgba": lambda args: [dump_tiff2rgba(a) for a in args],
    "make-icons": lambda args: make_icons(args[0]),
    "make-tiffs": lambda args: make_tiffs(args[0], args[1]),
}

if __name__ == "__main__":
    COMMANDS[sys.argv[1]](sys.argv[2:])
