"""Reference files for the TGA, PCX and WBMP codec tests, written and read by other tools.

  smallcodec_reference.py make DIR   writes TGA, PCX and WBMP files made by PIL, netpbm and
                                     ImageMagick into DIR (names start with pil_, pbm_, im_)
  smallcodec_reference.py dump DIR   for every DIR/NAME.{tga,pcx,wbmp} writes NAME.EXT.TOOL.rgba,
                                     TOOL's decoding of it, for each of pil, pbm and im that reads it

A .rgba file is a line "WIDTH HEIGHT HASALPHA" and then the RGBA bytes, top row first;
HASALPHA is 1 when some pixel is not opaque. Run with the Python that has PIL
(Debian's /usr/bin/python3).
"""
import io
import os
import subprocess
import sys

from PIL import Image

CONVERT = "/usr/bin/convert"
WIDTH, HEIGHT = 37, 23  # odd sizes: padded PCX lines, packets across TGA lines


def run(command, output=None, data=None):
    """Runs a tool; its standard output goes to the file `output` or is returned."""
    result = subprocess.run(command, input=data, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True)
    if output is None:
        return result.stdout
    with open(output, "wb") as f:
        f.write(result.stdout)
    return None


def pictures():
    """Gradients with flat runs and sharp edges; reductions to 200, 16, 8 and 4 colours."""
    rgb = Image.new("RGB", (WIDTH, HEIGHT))
    alpha = Image.new("L", (WIDTH, HEIGHT))
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if 10 <= x < 30 and 5 <= y < 9:
                colour = (250, 250, 250)  # long runs
            elif (x + y) % 9 == 0:
                colour = (0, 0, 0)
            else:
                colour = (x * 7 % 256, y * 11 % 256, (x * y) % 256)
            rgb.putpixel((x, y), colour)
            alpha.putpixel((x, y), 255 if x < 5 else (x * 9 + y * 3) % 256)
    rgba = rgb.copy()
    rgba.putalpha(alpha)

    def reduced(colours):
        return rgb.quantize(colours, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)

    grey = Image.new("L", (WIDTH, HEIGHT))
    bw = Image.new("1", (WIDTH, HEIGHT))
    for y in range(HEIGHT):
        for x in range(WIDTH):
            grey.putpixel((x, y), (x * 6 + y * 2) % 256)
            bw.putpixel((x, y), 255 if (x // 3 + y // 2) % 2 else 0)
    return {"rgb": rgb, "rgba": rgba, "p200": reduced(200), "p16": reduced(16), "p8": reduced(8),
            "p4": reduced(4), "grey": grey, "bw": bw}


def make(folder):
    pics = pictures()
    paths = {}
    for name, picture in pics.items():
        path = os.path.join(folder, "src_" + name + ".png")
        picture.save(path)
        paths[name] = path
    out = lambda name: os.path.join(folder, name)

    # PIL
    for name in ("rgb", "rgba", "p200", "grey"):
        picture = pics[name]
        picture.save(out("pil_%s.tga" % name))
        picture.save(out("pil_%s_rle.tga" % name), compression="tga_rle")
    pics["rgb"].save(out("pil_rgb_top.tga"), orientation=1)
    pics["rgba"].save(out("pil_rgba_top_rle.tga"), orientation=1, compression="tga_rle")
    for name in ("rgb", "p200", "grey", "bw"):
        pics[name].save(out("pil_%s.pcx" % name))

    # netpbm: PAM and PNM sources from the PNGs
    def pam(name, *options):
        return run(["pngtopam"] + list(options) + [paths[name]])

    run(["pamtotga", "-rgb"], out("pbm_rgb_rle.tga"), pam("rgb"))
    run(["pamtotga", "-rgb", "-norle"], out("pbm_rgb.tga"), pam("rgb"))
    run(["pamtotga", "-cmap"], out("pbm_cmap_rle.tga"), pam("p200"))
    run(["pamtotga", "-cmap", "-norle"], out("pbm_cmap.tga"), pam("p200"))
    run(["pamtotga", "-mono"], out("pbm_mono_rle.tga"), pam("grey"))
    run(["pamtotga", "-rgb"], out("pbm_rgba_rle.tga"), pam("rgba", "-alphapam"))
    run(["ppmtopcx", "-24bit"], out("pbm_24.pcx"), pam("rgb"))
    run(["ppmtopcx", "-8bit"], out("pbm_8.pcx"), pam("p200"))
    run(["ppmtopcx"], out("pbm_16.pcx"), pam("p16"))
    run(["ppmtopcx", "-planes", "3"], out("pbm_planes3.pcx"), pam("p8"))
    run(["ppmtopcx", "-planes", "2"], out("pbm_planes2.pcx"), pam("p4"))
    run(["ppmtopcx", "-packed"], out("pbm_packed4.pcx"), pam("p16"))
    run(["ppmtopcx", "-packed"], out("pbm_packed2.pcx"), pam("p4"))
    run(["pbmtowbmp"], out("pbm.wbmp"), pam("bw"))

    # ImageMagick
    run([CONVERT, paths["rgb"], out("im_rgb.tga")])
    run([CONVERT, paths["rgb"], "-compress", "RLE", out("im_rgb_rle.tga")])
    run([CONVERT, paths["rgba"], out("im_rgba.tga")])
    run([CONVERT, paths["p200"], "-type", "Palette", out("im_pal.tga")])
    run([CONVERT, paths["grey"], "-type", "Grayscale", "-compress", "RLE", out("im_grey_rle.tga")])
    run([CONVERT, paths["rgb"], out("im_rgb.pcx")])
    run([CONVERT, paths["p200"], "-type", "Palette", out("im_pal.pcx")])
    run([CONVERT, paths["bw"], "-monochrome", out("im_bw.pcx")])
    run([CONVERT, paths["bw"], out("im.wbmp")])
    for path in paths.values():
        os.remove(path)


def write_rgba(path, picture):
    rgba = picture.convert("RGBA")
    data = rgba.tobytes()
    has_alpha = any(a != 255 for a in data[3::4])
    with open(path, "wb") as f:
        f.write(b"%d %d %d\n" % (rgba.width, rgba.height, 1 if has_alpha else 0))
        f.write(data)


def decode_pil(path):
    if path.endswith(".wbmp"):
        return None
    return Image.open(path)


def decode_pbm(path):
    tool = {".tga": "tgatoppm", ".pcx": "pcxtoppm", ".wbmp": "wbmptopbm"}[os.path.splitext(path)[1]]
    return Image.open(io.BytesIO(run([tool, path])))


def decode_im(path):
    # ImageMagick 6 shows the set bits of a monochrome PCX as black, against PIL, netpbm and
    # the format's own convention; such files are left to the others.
    if path.endswith(".pcx"):
        with open(path, "rb") as f:
            header = f.read(66)
        if len(header) == 66 and header[3] == 1 and header[65] == 1:
            return None
    # It keeps a TGA's corner order as an orientation tag; -auto-orient applies it.
    return Image.open(io.BytesIO(run([CONVERT, path, "-auto-orient", "PNG32:-"])))


def dump(folder):
    decoders = {"pil": decode_pil, "pbm": decode_pbm, "im": decode_im}
    for name in sorted(os.listdir(folder)):
        if os.path.splitext(name)[1] not in (".tga", ".pcx", ".wbmp"):
            continue
        path = os.path.join(folder, name)
        for tool, decode in decoders.items():
            try:
                picture = decode(path)
                if picture is not None:
                    picture.load()
            except Exception:  # the tool does not read this kind of file
                continue
            if picture is not None:
                write_rgba(path + "." + tool + ".rgba", picture)


if __name__ == "__main__":
    {"make": make, "dump": dump}[sys.argv[1]](sys.argv[2])
