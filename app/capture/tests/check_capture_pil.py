"""Captured files against PIL: capture_tool writes the cursor file and one
capture of a four-colour picture per format; PIL must open each one and see
the picture.

  check_capture_pil.py WINE_RUN CAPTURE_TOOL   exit 0 pass, 1 fail, 77 without PIL
"""
import os
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    sys.exit(77)

QUADRANTS = {(5, 5): (255, 0, 0), (60, 5): (0, 255, 0), (5, 40): (0, 0, 255), (60, 40): (255, 255, 255)}
TOLERANCE = {"jpg": 48, "gif": 8}


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def main():
    wine_run, tool = sys.argv[1], sys.argv[2]
    problems = []
    with tempfile.TemporaryDirectory(prefix="vesk-capture-pil-") as work:
        result = subprocess.run([wine_run, tool, windows_path(work)])
        if result.returncode != 0:
            print(f"capture_tool failed with {result.returncode}")
            return 1
        with Image.open(os.path.join(work, "Cursor.cur")) as cursor:
            cursor.load()
            if cursor.size != (32, 32):
                problems.append(f"Cursor.cur is {cursor.size}")
        for number, kind in enumerate(["bmp", "gif", "png", "jpg", "tif", "ico"]):
            name = os.path.join(work, f"Vesk_{number}.{kind}")
            with Image.open(name) as image:
                if image.size != (64, 48):
                    problems.append(f"{kind}: size {image.size}")
                    continue
                if kind == "gif" and (image.mode != "P" or len(image.getpalette()) // 3 != 256):
                    problems.append(f"gif: mode {image.mode}, palette {len(image.getpalette() or []) // 3}")
                rgb = image.convert("RGB")
                for point, expected in QUADRANTS.items():
                    got = rgb.getpixel(point)
                    if max(abs(a - b) for a, b in zip(got, expected)) > TOLERANCE.get(kind, 0):
                        problems.append(f"{kind}: pixel {point} is {got}, expected {expected}")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
