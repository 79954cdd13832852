"""Reference bitmaps for the BMP codec tests, written and read by other tools.

  bmp_reference.py make DIR   writes BMP files made by PIL, ImageMagick and netpbm into DIR
  bmp_reference.py dump DIR   writes NAME.rgba beside every DIR/NAME.bmp: PIL's decoding

A .rgba file is a line "WIDTH HEIGHT HASALPHA" and then the RGBA bytes, top row first.
Run with the Python that has PIL (Debian's /usr/bin/python3).
"""
import os
import subprocess
import sys

from PIL import Image

CONVERT = "/usr/bin/convert"
PPMTOBMP = "/usr/bin/ppmtobmp"
WIDTH, HEIGHT = 37, 23  # odd sizes, so every row needs padding


def sources(folder):
    """A picture with gradients, flat areas and sharp edges, and reduced copies."""
    rgba = Image.new("RGBA", (WIDTH, HEIGHT))
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if 10 <= x < 20 and 5 <= y < 15:
                colour = (250, 250, 250)
            elif (x + y) % 9 == 0:
                colour = (0, 0, 0)
            else:
                colour = (x * 7 % 256, y * 11 % 256, (x * y) % 256)
            rgba.putpixel((x, y), colour + ((x * 9 + y * 3) % 256,))
    rgb = rgba.convert("RGB")
    paths = {
        "rgba": os.path.join(folder, "src_rgba.png"),
        "rgb": os.path.join(folder, "src.png"),
        "ppm": os.path.join(folder, "src.ppm"),
        "ppm16": os.path.join(folder, "src16.ppm"),
        "ppm2": os.path.join(folder, "src2.ppm"),
    }
    rgba.save(paths["rgba"])
    rgb.save(paths["rgb"])
    rgb.save(paths["ppm"])
    rgb.quantize(16).convert("RGB").save(paths["ppm16"])
    rgb.convert("1").convert("RGB").save(paths["ppm2"])
    return rgba, rgb, paths


def make(folder):
    rgba, rgb, src = sources(folder)
    out = lambda name: os.path.join(folder, name + ".bmp")

    rgb.convert("1").save(out("pil_1"))
    rgb.convert("L").save(out("pil_L"))
    rgb.convert("P", palette=Image.ADAPTIVE, colors=200).save(out("pil_P"))
    rgb.save(out("pil_RGB"))
    rgba.save(out("pil_RGBA"))

    magick = {
        "im_rle8": [src["rgb"], "-colors", "200", "-compress", "RLE", "BMP3:"],
        "im_bmp3": [src["rgb"], "BMP3:"],
        "im_bmp3_palette": [src["rgb"], "-colors", "60", "-type", "Palette", "-compress", "None", "BMP3:"],
        "im_v5": [src["rgb"], "BMP:"],
        "im_v5_rle8": [src["rgb"], "-colors", "100", "-type", "Palette", "BMP:"],
        "im_rgb565": [src["rgb"], "-define", "bmp:subtype=RGB565", "BMP:"],
        "im_rgb555": [src["rgb"], "-define", "bmp:subtype=RGB555", "BMP:"],
        "im_argb8888": [src["rgba"], "-define", "bmp:subtype=ARGB8888", "BMP:"],
    }
    for name, args in magick.items():
        args = args[:-1] + [args[-1] + out(name)]
        subprocess.run([CONVERT] + args, check=True)

    netpbm = {
        "pbm_24": ([], src["ppm"]),
        "pbm_4": ([], src["ppm16"]),
        "pbm_8": (["-bpp", "8"], src["ppm16"]),
        "pbm_1": ([], src["ppm2"]),
        "os2_24": (["-os2"], src["ppm"]),
        "os2_8": (["-os2", "-bpp", "8"], src["ppm16"]),
        "os2_4": (["-os2"], src["ppm16"]),
        "os2_1": (["-os2"], src["ppm2"]),
    }
    for name, (options, source) in netpbm.items():
        with open(out(name), "wb") as target:
            subprocess.run([PPMTOBMP] + options + [source], stdout=target, stderr=subprocess.DEVNULL, check=True)


def dump(folder):
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".bmp"):
            continue
        image = Image.open(os.path.join(folder, name))
        image.load()
        has_alpha = image.mode in ("RGBA", "LA", "PA") or "transparency" in image.info
        with open(os.path.join(folder, name[:-4] + ".rgba"), "wb") as target:
            target.write(b"%d %d %d\n" % (image.width, image.height, 1 if has_alpha else 0))
            target.write(image.convert("RGBA").tobytes())


if __name__ == "__main__":
    {"make": make, "dump": dump}[sys.argv[1]](sys.argv[2])
