#!/bin/sh
# Builds the tool and its threaded tests with ThreadSanitizer in build-tsan
# and runs them: the ordering of rendered chunks, the fused conversion
# against the stage-by-stage one, the sinc resampler's producer threads, and
# the conversions on a busy machine (linear and sinc).
# Any report fails the test that triggered it.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVO_TSAN=ON -DTAVO_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$(nproc)" --target tavo2wav ordered_chunks_test fused_test sinc_output_test loaded_test
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
export TSAN_OPTIONS
ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" \
  -R '(OrderedChunks|FusedConversion|SincOutput|LoadedConversion|LoadedSinc)'
