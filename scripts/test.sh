#!/bin/sh
# Installs what the tests need, builds everything and runs the whole test suite.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh test
# BUILD_TESTING is set explicitly: a build/ that the quick start configured
# without tests is turned back on here.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON
cmake --build build -j "$(nproc)"
ctest --test-dir build --output-on-failure -j "$(nproc)"
