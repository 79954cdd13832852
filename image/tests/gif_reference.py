"""Reference GIF files for the GIF codec tests, written and read by other tools.

  gif_reference.py make DIR   writes GIF files made by PIL, ImageMagick and gifsicle into DIR
  gif_reference.py dump DIR   describes every DIR/NAME.gif as PIL decodes it:
                              NAME.info  "frames N", "loop L" (-1: no loop block),
                                         "comment HEX" ("-": none), then "frame K DURATION_MS DISPOSAL"
                              NAME.K.rgba for each frame K: a line "WIDTH HEIGHT", then RGBA bytes, top row first

Run with the Python that has PIL (Debian's /usr/bin/python3).
"""
import os
import subprocess
import sys

from PIL import Image

CONVERT = "/usr/bin/convert"
GIFSICLE = "/usr/bin/gifsicle"

COLOURS = [(0, 0, 0), (255, 255, 255), (200, 30, 40), (20, 180, 60), (30, 60, 220), (250, 220, 0),
           (0, 200, 200), (160, 0, 160), (90, 90, 90), (255, 128, 0), (128, 255, 128), (10, 20, 30)]


def picture(width, height, shift=0, colours=COLOURS):
    """Flat areas, stripes and single pixels in a few colours, so that no tool reduces them."""
    image = Image.new("RGB", (width, height))
    for y in range(height):
        for x in range(width):
            if (x + 2 * y + shift) % 7 == 0:
                c = colours[(x * 3 + y + shift) % len(colours)]
            else:
                c = colours[((x // 3) + (y // 2) + shift) % len(colours)]
            image.putpixel((x, y), c)
    return image


def run(*args):
    subprocess.run(list(args), check=True, stdout=subprocess.DEVNULL)


def make(folder):
    out = lambda name: os.path.join(folder, name + ".gif")
    tmp = lambda name: os.path.join(folder, name)

    # PIL: depths, transparency, interlacing (PIL interlaces from 16 rows on), animations.
    base = picture(23, 19)
    base.quantize(12).save(out("pil_P"))
    base.convert("1").save(out("pil_1"))
    base.convert("L").save(out("pil_L"))
    base.quantize(12).save(out("pil_trans"), transparency=3)
    picture(37, 29).quantize(12).save(out("pil_interlaced"))
    frames = [picture(30, 20, s, COLOURS[s:] + COLOURS[:s]).quantize(12 - s) for s in range(3)]
    frames[0].save(out("pil_anim"), save_all=True, append_images=frames[1:], duration=[100, 250, 40],
                   loop=3, comment=b"made by PIL", disposal=[1, 1, 1])
    # Later frames differ from the first only in a rectangle, which PIL writes at an offset.
    moved = [base.copy() for _ in range(3)]
    for i, image in enumerate(moved[1:], 1):
        for y in range(4 + i, 10 + i):
            for x in range(3 + 2 * i, 12 + 2 * i):
                image.putpixel((x, y), COLOURS[(i * 5) % len(COLOURS)])
    quantised = [m.quantize(palette=moved[0].quantize(12)) for m in moved]
    quantised[0].save(out("pil_offsets"), save_all=True, append_images=quantised[1:], duration=70, loop=0,
                      disposal=[1, 1, 1])
    quantised[0].save(out("pil_dispose2"), save_all=True, append_images=quantised[1:], duration=70,
                      disposal=2, transparency=0)

    # ImageMagick: interlaced heights, GIF87a, disposal with placed frames, local tables, transparency.
    for height in (1, 2, 3, 4, 5, 8, 10):
        source = tmp("src_h%d.png" % height)
        picture(7, height).save(source)
        run(CONVERT, source, "-interlace", "GIF", out("im_interlaced_h%d" % height))
    picture(23, 19).save(tmp("src.png"))
    run(CONVERT, tmp("src.png"), "GIF87:" + out("im_gif87"))
    # Frames with holes: PIL clears to the background in the colours of the
    # frame being disposed of rather than the global table's, which only
    # transparency hides. The first frame stays: PIL ignores "previous" there.
    for shift, size in ((0, (24, 18)), (1, (9, 7)), (2, (11, 5))):
        part = picture(*size, shift=shift).convert("RGBA")
        for x in range(size[0] // 3):
            part.putpixel((x + 1, 1), (0, 0, 0, 0))
        part.save(tmp("part%d.png" % shift))
    for name, dispose in (("im_dispose_background", "Background"), ("im_dispose_previous", "Previous")):
        run(CONVERT, "-dispose", "None", "-delay", "20", "-page", "24x18+0+0", tmp("part0.png"),
            "-dispose", dispose, "-page", "+4+3", tmp("part1.png"), "-page", "+10+9", tmp("part2.png"),
            "-loop", "0", out(name))
    other = [(255 - r, g // 2, b) for r, g, b in COLOURS]
    picture(16, 12).save(tmp("first.png"))
    picture(16, 12, 1, other).save(tmp("second.png"))
    run(CONVERT, "-delay", "15", tmp("first.png"), tmp("second.png"), out("im_local_tables"))
    rgba = picture(21, 13).convert("RGBA")
    for y in range(13):
        for x in range(21):
            if (x - 10) ** 2 + (y - 6) ** 2 > 30:
                rgba.putpixel((x, y), (0, 0, 0, 0))
    rgba.save(tmp("alpha.png"))
    run(CONVERT, tmp("alpha.png"), out("im_transparent"))

    # gifsicle: interlacing of any height, positions, disposal, transparency, optimisation.
    for height in (1, 2, 3, 4, 5, 8, 10):
        picture(9, height, 3).quantize(12).save(tmp("gs_src_h%d.gif" % height))
        run(GIFSICLE, "-i", tmp("gs_src_h%d.gif" % height), "-o", out("gs_interlaced_h%d" % height))
    for shift, size in ((0, (26, 20)), (1, (8, 6)), (2, (12, 9))):
        picture(*size, shift=shift).quantize(12).save(tmp("gs_part%d.gif" % shift))
    run(GIFSICLE, "-S", "26x20", "-D", "background", tmp("gs_part0.gif"), "-D", "previous", "-p", "3,4",
        tmp("gs_part1.gif"), "-D", "background", "-p", "13,10", tmp("gs_part2.gif"), "-p", "1,1",
        tmp("gs_part1.gif"), "-o", out("gs_disposal"))
    run(GIFSICLE, "-t", "#C81E28", tmp("gs_part0.gif"), "-o", out("gs_transparent"))
    run(GIFSICLE, "-O2", "-l", "--delay", "5", out("pil_offsets"), "-o", out("gs_optimised"))


def dump(folder):
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".gif") or name.startswith(("gs_src", "gs_part")):
            continue
        stem = os.path.join(folder, name[:-4])
        image = Image.open(os.path.join(folder, name))
        frames = getattr(image, "n_frames", 1)
        lines = ["frames %d" % frames, "loop %d" % image.info.get("loop", -1)]
        comment = image.info.get("comment")
        lines.append("comment " + (comment.hex() if comment else "-"))
        for k in range(frames):
            image.seek(k)
            rgba = image.convert("RGBA")
            lines.append("frame %d %d %d" % (k, image.info.get("duration", 0), image.disposal_method))
            with open("%s.%d.rgba" % (stem, k), "wb") as f:
                f.write(b"%d %d\n" % rgba.size)
                f.write(rgba.tobytes())
        with open(stem + ".info", "w") as f:
            f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    {"make": make, "dump": dump}[sys.argv[1]](sys.argv[2])
