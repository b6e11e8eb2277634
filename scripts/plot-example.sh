#!/bin/sh
# Draws the bundled example recording into doc/example-plot.png, the picture
# the README shows, with an axis for the sound of tavo2wav -u 50 -r 1.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)" --target tavoinfo
cd examples/data
../../build/tavoinfo --plot ../../doc/example-plot.png --audio "-u 50 -r 1" \
    2014/03/20140315/k4031516.dat.gz
