#!/bin/sh
# Builds the fuzz targets with clang and libFuzzer (ASan and UBSan on) and runs
# each one for SECONDS seconds (default 60), one after the other.
#
#   sh scripts/fuzz.sh 600          # ten minutes per target
#   sh scripts/fuzz.sh 30 header    # only the named targets
#
# Each target starts from its committed seeds in fuzz/corpus/<target>/ and
# keeps what it learns in fuzz-out/<target>/ (not committed). An input that
# crashes, leaks, hangs or runs out of memory is copied into
# fuzz/corpus/<target>/, where the normal build's ctest replays it from then on,
# and the script ends with status 1.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-stream header options}
build=${TAVO_FUZZ_BUILD:-build-fuzz}
sh scripts/deps.sh fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVO_FUZZ=ON -DBUILD_TESTING=OFF -DTAVO_BUILD_BENCH=OFF >/dev/null
for t in $targets; do
  cmake --build "$build" --target "${t}_fuzzer" -j 2 >/dev/null
done

# A small quarantine keeps ASan from faulting in fresh pages for every
# reader's buffers, which otherwise costs five times the speed.
ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=8:malloc_context_size=2}
export ASAN_OPTIONS
status=0
for t in $targets; do
  work=fuzz-out/$t
  artifacts=fuzz-out/artifacts/$t
  log=fuzz-out/$t.log
  mkdir -p "$work" "$artifacts"
  if ! "$build/fuzz/${t}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$artifacts/" \
      "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
    status=1
    echo "$t: FINDING (log: $log)"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|[a-z_]+: )' "$log" | head -5 || true
  fi
  for f in "$artifacts"/*; do
    [ -f "$f" ] || continue
    cp "$f" "fuzz/corpus/$t/"
    echo "$t: $(basename "$f") added to fuzz/corpus/$t/"
  done
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "$t: ${runs:-?} executions in $seconds s"
done
exit $status
