#!/bin/sh
# Where the heavy job's time goes (the job of bench/run.sh: 6199 records of
# 512 samples at 18 Hz, -u 50 -r 1, three mono WAV files of 952 MB). Samples
# tavo2wav's CPU time with perf's software clock (no hardware counters
# needed, so it works in a virtual machine), once for the linear and once
# for the sinc resampler, RUNS times each (default 3), and prints per job
# the median wall time, the CPU seconds by program or library and the
# functions that take the most. Then the floors: dd writing the same number
# of bytes to the same disk (into the page cache, unsynced, as the WAV files
# are written), and the linear filter's multiply-adds at one core's peak rate
# (bench/fma_peak). TAVO2WAV names another tavo2wav binary to profile (an
# older build, say) instead of the one built here.
#
#   [TAVO2WAV=path] sh bench/profile.sh [RUNS]
set -eu
cd "$(dirname "$0")/.."
runs=${1:-3}
sh scripts/deps.sh bench profile
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target tavo2wav make_example fma_peak >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
input="$work/2014/03/20140315/k4031516.dat"
mkdir -p "$(dirname "$input")" "$work/out"
"$build/examples/make_example" "$input" 6199 "$work/in.raw"
tavo2wav=$(realpath "${TAVO2WAV:-$build/tavo2wav}")

i=0
while [ "$i" -lt "$runs" ]; do
    for job in linear sinc; do
        rm -f "$work"/out/*.wav
        sync
        (cd "$work/out" && /usr/bin/time -f "%e" -o "$work/$job.$i.time" \
            perf record -q -e cpu-clock -F 999 -o "$work/$job.$i.data" \
            "$tavo2wav" --resampler "$job" -u 50 -r 1 "$input" >/dev/null 2>&1)
        perf report -i "$work/$job.$i.data" --stdio --no-children -g none --sort dso,sym \
            -F period,dso,sym --field-separator=';' 2>/dev/null |
            grep -v '^#' | grep ';' > "$work/$job.$i.report"
    done
    bytes=$(cat "$work"/out/*.wav | wc -c)
    rm -f "$work"/out/*.wav "$work/dd.bin"
    sync
    /usr/bin/time -f "%e %U %S" -o "$work/dd.$i.time" \
        dd if=/dev/zero of="$work/dd.bin" bs=1M count="$bytes" iflag=count_bytes 2>/dev/null
    rm -f "$work/dd.bin"
    i=$((i + 1))
done
"$build/bench/fma_peak" > "$work/fma"

python3 - "$work" "$runs" "$bytes" <<'PY'
import glob, re, statistics, sys
work, runs, nbytes = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])

def median_of(tables):
    keys = set().union(*tables)
    return {k: statistics.median(t.get(k, 0.0) for t in tables) for k in keys}

for job in ("linear", "sinc"):
    walls = [float(open(f"{work}/{job}.{i}.time").read().split()[0]) for i in range(runs)]
    by_dso, by_sym = [], []
    for i in range(runs):
        dso, sym = {}, {}
        for line in open(f"{work}/{job}.{i}.report"):
            period, d, s = (f.strip() for f in line.split(";", 2))
            sec = int(period) / 1e9
            dso[d] = dso.get(d, 0.0) + sec
            sym[f"{s} ({d})"] = sym.get(f"{s} ({d})", 0.0) + sec
        by_dso.append(dso)
        by_sym.append(sym)
    dso, sym = median_of(by_dso), median_of(by_sym)
    cpu = statistics.median(sum(t.values()) for t in by_dso)
    print(f"heavy {job}: median wall {statistics.median(walls):.2f} s, CPU {cpu:.2f} s")
    for name, sec in sorted(dso.items(), key=lambda kv: -kv[1]):
        if sec >= 0.01:
            print(f"  {sec:6.2f} s {100 * sec / cpu:5.1f} %  {name}")
    print("  top functions:")
    for name, sec in sorted(sym.items(), key=lambda kv: -kv[1])[:12]:
        print(f"  {sec:6.2f} s {100 * sec / cpu:5.1f} %  {name}")
    print()

dd = [open(f"{work}/dd.{i}.time").read().split() for i in range(runs)]
print(f"dd of {nbytes} bytes to the same disk: median wall "
      f"{statistics.median(float(r[0]) for r in dd):.2f} s "
      f"(user {statistics.median(float(r[1]) for r in dd):.2f} s, "
      f"system {statistics.median(float(r[2]) for r in dd):.2f} s)")
fma = open(f"{work}/fma").read().strip()
peak = float(re.search(r"multiply-adds ([0-9.]+) G/s", fma).group(1)) * 1e9
samples = 3 * 6199 * 512 * 50
print(fma)
print(f"linear filter floor: {samples} outputs x 33 multiply-adds at that rate = "
      f"{samples * 33 / peak:.2f} core-seconds")
PY
