"""GIF results of the batch watermark tool against PIL: wmtool_end_to_end's GIF
case leaves its sources and results in a folder of ours. Every frame of the
result must be its source frame as PIL composes it, pixel for pixel, except
the mark: 8 x 6 in the bottom-right corner, its left half green and its right
half magenta, opaque and exact (both colours fit any GIF palette). Frames,
delays, disposal methods, transparency and the loop block must be the source's.

  check_wmtool_gif_pil.py WINE_RUN WMTOOL_END_TO_END   exit 0 pass, 1 fail, 77 without PIL
"""
import os
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    sys.exit(77)

MARK_WIDTH, MARK_HEIGHT = 8, 6
GREEN, MAGENTA = (0, 255, 0, 255), (255, 0, 255, 255)


def frames(path):
    """Each frame as PIL shows it (RGBA) with its delay, disposal and transparency flag."""
    result = []
    with Image.open(path) as image:
        loop = image.info.get("loop")
        for index in range(image.n_frames):
            image.seek(index)
            result.append((image.convert("RGBA"), image.info.get("duration"),
                           getattr(image, "disposal_method", None), "transparency" in image.info))
    return loop, result


def visible(pixel):
    # A transparent pixel's colour is not shown: only its alpha counts.
    return pixel if pixel[3] else (0, 0, 0, 0)


def check(work, name, problems):
    source_loop, source = frames(os.path.join(work, name))
    result_loop, result = frames(os.path.join(work, "wm_" + name))
    if result_loop != source_loop:
        problems.append(f"{name}: loop {result_loop!r}, source {source_loop!r}")
    if len(result) != len(source):
        problems.append(f"{name}: {len(result)} frames, source {len(source)}")
        return
    for index, ((want, delay, disposal, transparent), (got, got_delay, got_disposal, got_transparent)) in \
            enumerate(zip(source, result)):
        where = f"{name}[{index}]"
        if (got_delay, got_disposal, got_transparent) != (delay, disposal, transparent):
            problems.append(f"{where}: delay, disposal, transparency {(got_delay, got_disposal, got_transparent)}, "
                            f"source {(delay, disposal, transparent)}")
        if got.size != want.size:
            problems.append(f"{where}: size {got.size}, source {want.size}")
            continue
        width, height = want.size
        wrong = 0
        for y in range(height):
            for x in range(width):
                in_mark = x >= width - MARK_WIDTH and y >= height - MARK_HEIGHT
                expected = (GREEN if x < width - MARK_WIDTH // 2 else MAGENTA) if in_mark \
                    else visible(want.getpixel((x, y)))
                if visible(got.getpixel((x, y))) != expected:
                    if wrong < 5:
                        problems.append(f"{where}: ({x}, {y}) is {got.getpixel((x, y))}, expected {expected}")
                    wrong += 1
        if wrong:
            problems.append(f"{where}: {wrong} pixels wrong")


def main():
    wine_run, tests = sys.argv[1], sys.argv[2]
    problems = []
    with tempfile.TemporaryDirectory(prefix="vesk-wmtool-gif-") as work:
        env = dict(os.environ, WMTOOL_GIF_OUT="Z:" + work.replace("/", "\\"))
        result = subprocess.run([wine_run, tests, "--gtest_filter=WatermarkTool.Gif*", "--gtest_brief=1"], env=env)
        if result.returncode != 0:
            print(f"wmtool_end_to_end failed with {result.returncode}")
            return 1
        for name in ("two.gif", "anim.gif"):
            check(work, name, problems)
        # The source is what it should be, so a reader that drops frames cannot pass unnoticed.
        # (PIL names the transparent index of the first frame only; later frames show it in their alpha.)
        loop, animation = frames(os.path.join(work, "anim.gif"))
        settings = [frame[1:3] for frame in animation]
        hidden = [frame[0].getchannel("A").histogram()[0] for frame in animation]
        if loop != 3 or settings != [(100, 2), (200, 1), (300, 3)] or not all(hidden):
            problems.append(f"anim.gif source: loop {loop!r}, frames {settings}, transparent pixels {hidden}")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
