"""GIF files of the GIF maker against PIL: gif_maker_tests writes them into a
folder of ours, PIL must see the frames, their delays, the loop block as the
flag says and the chosen size.

  check_gif_maker_pil.py WINE_RUN GIF_MAKER_TESTS   exit 0 pass, 1 fail, 77 without PIL
"""
import os
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    sys.exit(77)

DURATIONS = [500, 1000, 250]


def check(path, size, loop, durations, problems):
    with Image.open(path) as image:
        if image.n_frames != len(durations):
            problems.append(f"{path}: {image.n_frames} frames")
            return
        if image.size != size:
            problems.append(f"{path}: size {image.size}, expected {size}")
        if loop is True and image.info.get("loop") != 0:
            problems.append(f"{path}: loop {image.info.get('loop')!r}, expected 0")
        if loop is False and "loop" in image.info:
            problems.append(f"{path}: a loop block in a single-play file")
        for index in range(image.n_frames):
            image.seek(index)
            if durations[index] is not None and image.info.get("duration") != durations[index]:
                problems.append(f"{path}[{index}]: duration {image.info.get('duration')}, "
                                f"expected {durations[index]}")


def main():
    wine_run, tests = sys.argv[1], sys.argv[2]
    problems = []
    with tempfile.TemporaryDirectory(prefix="vesk-gif-maker-") as work:
        env = dict(os.environ, GIF_MAKER_OUT="Z:" + work.replace("/", "\\"))
        result = subprocess.run([wine_run, tests, "--gtest_filter=GifMakerTest.Writes*", "--gtest_brief=1"],
                                env=env)
        if result.returncode != 0:
            print(f"gif_maker_tests failed with {result.returncode}")
            return 1
        check(os.path.join(work, "loop.gif"), (40, 30), True, DURATIONS, problems)
        check(os.path.join(work, "once.gif"), (40, 30), False, DURATIONS, problems)
        check(os.path.join(work, "resized.gif"), (50, 40), None, [None] * 3, problems)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
