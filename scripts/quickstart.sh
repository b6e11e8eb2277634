#!/bin/sh
# Installs what the tools need (only that: no test, fuzz or benchmark
# packages), builds tavo2wav and tavoinfo in build/ and converts the bundled
# example recording with the recommended settings (-u 50 -r 1) into
# out/example/.
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
sh scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build -j "$(nproc)" --target tavo2wav tavoinfo
example=$top/examples/data/2014/03/20140315/k4031516.dat.gz
mkdir -p out/example
cd out/example
"$top/build/tavo2wav" -u 50 -r 1 "$example"
echo
echo "Wrote in $(pwd):"
ls -l ./*.wav
echo
echo "The programs are $top/build/tavo2wav and $top/build/tavoinfo;"
echo "from the top of the repository run them as build/tavo2wav and build/tavoinfo."
echo "Play a file with any audio player (e.g. 'play a4031516.dat.wav' from sox),"
echo "or look at it: sox a4031516.dat.wav -n spectrogram -o a.png"
