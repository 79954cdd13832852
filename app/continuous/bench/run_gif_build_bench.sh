#!/bin/sh
# The GIF builder against ImageMagick on the same 100 frames of 1280 x 1024.
# Run inside the Wine session:
#   tests/wine/session app/continuous/bench/run_gif_build_bench.sh build/windows
set -e
build=${1:-build/windows}
here=$(cd "$(dirname "$0")/../../.." && pwd)
work=$(mktemp -d /tmp/vesk-gif-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$here/tests/wine/wine-run" "$build/app/continuous/gif_build_bench.exe" "Z:$(echo "$work" | tr / '\\')" 100
/usr/bin/time -f "ImageMagick: %e s; peak resident %M KB" \
    convert -delay 50 -loop 0 "$work"/frame_*.bmp "$work/magick.gif"
ls -l "$work/series.gif" "$work/magick.gif" | awk '{print $9 ": " $5 " bytes"}'
