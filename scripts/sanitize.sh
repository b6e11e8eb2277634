#!/bin/sh
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan and runs the quick test suite there (the replayed fuzz corpora
# included; the tests labelled slow are left to the normal suite). Any sanitizer report fails the test that triggered it.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh test
# -O1 and line tables only: the reports keep their files and lines, and the
# build, most of this script's time, is shorter.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVO_SANITIZE=ON -DTAVO_PYTHON=OFF \
  -DTAVO_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
cmake --build build-asan -j "$(nproc)" >/dev/null
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(pwd)/scripts/lsan.supp:print_suppressions=0}
export ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS
# The Python package is left out (TAVO_PYTHON=OFF): a module built with
# the sanitizers cannot load into Python, which is built without them.
# install_consumer links the installed static libraries into a program built
# without sanitizers, which cannot resolve their ASan and UBSan references; the
# tests labelled slow (whole conversions of long recordings, runs on a busy
# machine) and the fused conversions over many chunks (ThreadSanitizer runs
# one of them) take minutes under the sanitizers. The normal suite runs them
# all.
ctest --test-dir build-asan --output-on-failure -j "$(nproc)" \
  -E '^install_consumer$|ManyChunks' -LE slow
