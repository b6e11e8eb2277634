#!/bin/sh
# Installs what the tests need, builds everything and runs the whole test suite.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh test
# BUILD_TESTING and TAVO_PYTHON are set explicitly: a build/ that the quick
# start configured without tests (and so without the Python package) is
# turned back on here.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DTAVO_PYTHON=ON
cmake --build build -j "$(nproc)"
ctest --test-dir build --output-on-failure -j "$(nproc)"
