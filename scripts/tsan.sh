#!/bin/sh
# Builds the threaded tests with ThreadSanitizer in build-tsan and runs them:
# the ordering of rendered chunks under random delays, the fused conversion
# (render threads in the process) against the stage-by-stage one, over many
# chunks once (21 of them, filtered: the other long rows share its code),
# the sinc resampler's producer threads, two conversions at once and the
# streamed input of window mode shared by the render threads. Any
# report fails the test that triggered it. The end-to-end runs on a busy
# machine check the order of the bytes, not races, and run in the normal
# suite.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh test
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVO_TSAN=ON -DTAVO_PYTHON=OFF \
  -DTAVO_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
cmake --build build-tsan -j "$(nproc)" --target ordered_chunks_test fused_test \
  convert_test window_test >/dev/null
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
export TSAN_OPTIONS
ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" \
  -R '(OrderedChunks|FusedConversion|SincOutput|Engine|StreamingConversion|WindowStop)' -E 'ManyChunks.*/(U44100|U7Unfiltered)'
