"""Animated GIFs of the GIF builder against PIL: gif_check_tool writes them,
PIL must see the frames, delays, loop block, comment, disposal and colours.

  check_gif_pil.py WINE_RUN GIF_CHECK_TOOL   exit 0 pass, 1 fail, 77 without PIL
"""
import os
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    sys.exit(77)

THREE = [((255, 0, 0), 500), ((10, 200, 30), 1000), ((0, 128, 255), 250)]


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def frames(image):
    for index in range(image.n_frames):
        image.seek(index)
        yield index, image


def check_three(path, loop, problems):
    with Image.open(path) as image:
        if image.n_frames != len(THREE):
            problems.append(f"{path}: {image.n_frames} frames")
            return
        if image.info.get("comment") != b"VeskGIF":
            problems.append(f"{path}: comment {image.info.get('comment')!r}")
        if loop and image.info.get("loop") != 0:
            problems.append(f"{path}: loop {image.info.get('loop')!r}, expected 0")
        if not loop and "loop" in image.info:
            problems.append(f"{path}: a loop block in a single-play file")
        for index, frame in frames(image):
            colour, duration = THREE[index]
            if frame.info.get("duration") != duration:
                problems.append(f"{path}[{index}]: duration {frame.info.get('duration')}, expected {duration}")
            if frame.disposal_method != 2:
                problems.append(f"{path}[{index}]: disposal {frame.disposal_method}")
            got = frame.convert("RGB").getpixel((20, 15))
            if got != colour:
                problems.append(f"{path}[{index}]: colour {got}, expected {colour}")


def main():
    wine_run, tool = sys.argv[1], sys.argv[2]
    problems = []
    with tempfile.TemporaryDirectory(prefix="vesk-gif-pil-") as work:
        result = subprocess.run([wine_run, tool, windows_path(work)])
        if result.returncode != 0:
            print(f"gif_check_tool failed with {result.returncode}")
            return 1
        check_three(os.path.join(work, "loop.gif"), True, problems)
        check_three(os.path.join(work, "once.gif"), False, problems)
        with Image.open(os.path.join(work, "many.gif")) as image:
            if image.n_frames != 1030:
                problems.append(f"many.gif: {image.n_frames} frames")
            image.seek(1029)
            got = image.convert("RGB").getpixel((1, 1))
            if got != (240, 230, 220):
                problems.append(f"many.gif[1029]: colour {got}")
        with Image.open(os.path.join(work, "keyed.gif")) as image:
            key = image.info.get("transparency")
            if key is None or key != image.getpixel((0, 0)):
                problems.append(f"keyed.gif: transparency {key!r}, pixel index {image.getpixel((0, 0))}")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
