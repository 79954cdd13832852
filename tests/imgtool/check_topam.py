"""imgtool against PIL: every reference bitmap of image/tests/bmp_reference.py,
written out by `imgtool topam`, must hold the pixels PIL decodes (alpha where
PIL has any), and `imgtool convert` output must read back the same in PIL.

  check_topam.py IMGTOOL     exit 0 pass, 1 fail, 77 when PIL or a tool is missing
"""
import os
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    sys.exit(77)

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.path.join(HERE, "..", "..", "image", "tests", "bmp_reference.py")


def read_pam(path):
    with open(path, "rb") as f:
        data = f.read()
    head, _, body = data.partition(b"ENDHDR\n")
    fields = dict(line.split(b" ", 1) for line in head.splitlines()[1:])
    return int(fields[b"WIDTH"]), int(fields[b"HEIGHT"]), fields[b"TUPLTYPE"].decode(), body


def pil_pixels(path):
    image = Image.open(path)
    image.load()
    has_alpha = image.mode in ("RGBA", "LA", "PA") or "transparency" in image.info
    return image.size, has_alpha, image.convert("RGBA").tobytes()


def rgb(path):
    with Image.open(path) as image:
        return image.convert("RGB").tobytes()


def check(imgtool, source, work):
    pam = os.path.join(work, "out.pam")
    subprocess.run([imgtool, "topam", source, pam], check=True)
    width, height, kind, body = read_pam(pam)
    (w, h), has_alpha, rgba = pil_pixels(source)
    if (width, height) != (w, h):
        return f"size {width}x{height}, PIL {w}x{h}"
    depth = 4 if kind == "RGB_ALPHA" else 3
    for i in range(w * h):
        ours = body[i * depth:i * depth + depth]
        theirs = rgba[i * 4:i * 4 + (4 if has_alpha else 3)]
        if ours[:3] != theirs[:3] or (has_alpha and (ours[3] if depth == 4 else 255) != theirs[3]):
            return f"pixel {i % w},{i // w}: {tuple(ours)} PIL {tuple(theirs)}"
    return None


def main():
    imgtool = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="vesk-imgtool-") as work:
        if subprocess.run([sys.executable, REFERENCE, "make", work]).returncode != 0:
            sys.exit(77)
        failures = 0
        for name in sorted(os.listdir(work)):
            if not name.endswith(".bmp"):
                continue
            source = os.path.join(work, name)
            problem = check(imgtool, source, work)
            converted = os.path.join(work, "converted.bmp")
            subprocess.run([imgtool, "convert", source, converted, "--type", "bmp"], check=True)
            # Our 32-bit files carry alpha PIL does not read: compare colours only.
            if problem is None and rgb(converted) != rgb(source):
                problem = "converted file differs in PIL"
            if problem:
                failures += 1
                print(f"{name}: {problem}")
        print("imgtool agrees with PIL" if not failures else f"{failures} files differ")
        sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
