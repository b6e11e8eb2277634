#!/bin/sh
# Draws doc/sweep_linear_vs_sinc.png: a slow sweep of 18 Hz data from 0 to 9 Hz
# (2000 s, 16 bits) resampled by 50 with the linear resampler (left) and with
# sinc (right), played at 44100 Hz (49 times real time), as sox's
# spectrogram shows them down to -150 dBFS. The sweep itself is the thin
# line at the bottom; everything above it in the left picture is images of
# it that the linear resampler adds.
#
#   sh bench/sweep_picture.sh
set -eu
cd "$(dirname "$0")/.."
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j 2 --target quality_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/quality_bench" --sweep "$work/sweep.wav"
draw() {  # channel, title, picture
    sox "$work/sweep.wav" -n remix "$1" spectrogram -x 500 -y 257 -z 150 -w Dolph \
        -t "$2" -o "$3"
}
draw 1 "linear -u 50 (the default resampler)" "$work/linear.png"
draw 2 "sinc -u 50" "$work/sinc.png"
/usr/bin/python3 - "$work/linear.png" "$work/sinc.png" doc/sweep_linear_vs_sinc.png <<'PY'
import sys
from PIL import Image
a, b = (Image.open(p) for p in sys.argv[1:3])
both = Image.new("RGB", (a.width + b.width, max(a.height, b.height)), "white")
both.paste(a, (0, 0))
both.paste(b, (a.width, 0))
both.save(sys.argv[3], optimize=True)
PY
echo "wrote doc/sweep_linear_vs_sinc.png"
