#!/bin/sh
# Installs what is missing, builds the tool and converts the bundled example
# recording with the recommended settings (-u 50 -r 1) into out/example/.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)" --target tavo2wav
example=$(pwd)/examples/data/2014/03/20140315/k4031516.dat.gz
mkdir -p out/example
cd out/example
../../build/tavo2wav -u 50 -r 1 "$example"
echo
echo "Wrote in $(pwd):"
ls -l ./*.wav
echo
echo "Play one with any audio player (e.g. 'play a4031516.dat.wav' from sox),"
echo "or look at it: sox a4031516.dat.wav -n spectrogram -o a.png"
