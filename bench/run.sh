#!/bin/sh
# Measures the heavy job against sox: two days of an 18 Hz station (6199
# records of 512 samples) resampled by 50 for listening, three mono WAV
# files of 952 MB in all. Builds a Release binary, generates the input (a
# binary TAVO file and the same samples as raw 16-bit frames for sox), runs
# tavo2wav and sox alternately RUNS times (default 3) and prints the median
# wall time and peak resident memory of each, their ratio, and the filter
# kernel's throughput against the per-sample reference loop. Then the same
# for the band-limited resamplers: tavo2wav --resampler sinc against sox's
# `rate -v`. Last, how both jobs scale with --threads 1, 2 (and 4, 8, ...
# up to the number of cores): median wall time, its ratio to sox, the
# speed-up over one thread and per thread, the peak resident memory and
# what each added thread costs of it. All runs alternate, so a machine
# that gets busier in the middle slows every column alike.
#
#   sh bench/run.sh [RUNS]
set -eu
cd "$(dirname "$0")/.."
runs=${1:-3}
sh scripts/deps.sh bench  # with GNU time, for the peak resident memory
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target tavo2wav make_example filter_bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
input="$work/2014/03/20140315/k4031516.dat"
mkdir -p "$(dirname "$input")" "$work/tavo" "$work/sox"
"$build/examples/make_example" "$input" 6199 "$work/in.raw"
tavo2wav=$(realpath "$build/tavo2wav")
threads=1
n=2
while [ "$n" -le "$(nproc)" ] || [ "$n" -eq 2 ]; do
    threads="$threads $n"
    n=$((n * 2))
done

measure() {  # name, command...: appends "wall rss_kb" to $work/name.times
    name=$1
    shift
    sync
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1
    cat "$work/time" >> "$work/$name.times"
}

i=0
while [ "$i" -lt "$runs" ]; do
    rm -f "$work"/tavo/*.wav "$work"/sox/*.wav
    (cd "$work/tavo" && measure tavo "$tavo2wav" -u 50 -r 1 "$input")
    rm -f "$work"/tavo/*.wav
    (cd "$work/sox" && measure sox sox -r 18 -c 3 -e signed -b 16 -t raw "$work/in.raw" -r 900 out.wav)
    rm -f "$work"/sox/*.wav
    (cd "$work/tavo" && measure sinc "$tavo2wav" --resampler sinc -u 50 -r 1 "$input")
    rm -f "$work"/tavo/*.wav
    (cd "$work/sox" && measure soxv sox -r 18 -c 3 -e signed -b 16 -t raw "$work/in.raw" out.wav rate -v 900)
    rm -f "$work"/sox/*.wav
    for t in $threads; do
        (cd "$work/tavo" && measure "linear-$t" "$tavo2wav" --threads "$t" -u 50 -r 1 "$input")
        rm -f "$work"/tavo/*.wav
        (cd "$work/tavo" && measure "sinc-$t" "$tavo2wav" --threads "$t" --resampler sinc -u 50 -r 1 "$input")
        rm -f "$work"/tavo/*.wav
    done
    i=$((i + 1))
done
rm -f "$work"/tavo/*.wav "$work"/sox/*.wav

"$build/bench/filter_bench" --benchmark_format=json --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true > "$work/kernel.json" 2>/dev/null

python3 - "$work" $threads <<'PY'
import json, statistics, sys
work = sys.argv[1]
threads = [int(t) for t in sys.argv[2:]]
def runs(name):
    rows = [line.split() for line in open(f"{work}/{name}.times") if line.strip()]
    return [float(r[0]) for r in rows], [int(r[1]) for r in rows]
tw, tm = runs("tavo")
sw, sm = runs("sox")
t, s = statistics.median(tw), statistics.median(sw)
print(f"{'':24}{'tavo2wav -u 50 -r 1':>22}{'sox 18 Hz -> 900 Hz':>22}")
print(f"{'median wall time (s)':24}{t:>22.2f}{s:>22.2f}")
print(f"{'peak RSS (MB)':24}{max(tm) / 1024:>22.1f}{max(sm) / 1024:>22.1f}")
print(f"{'wall time ratio':24}{t / s:>22.2f}   (target <= 0.50)")
print()
cw, cm = runs("sinc")
vw, vm = runs("soxv")
c, v = statistics.median(cw), statistics.median(vw)
t_sox, t_soxv = s, v
print(f"{'':24}{'--resampler sinc':>22}{'sox rate -v 900':>22}")
print(f"{'median wall time (s)':24}{c:>22.2f}{v:>22.2f}")
print(f"{'peak RSS (MB)':24}{max(cm) / 1024:>22.1f}{max(vm) / 1024:>22.1f}")
print(f"{'wall time ratio':24}{c / v:>22.2f}   (target <= 0.60)")
print()
bench = json.load(open(f"{work}/kernel.json"))["benchmarks"]
speed = {b["run_name"]: b["items_per_second"] for b in bench
         if b.get("aggregate_name") == "median" and "items_per_second" in b}
ref = speed.get("ReferenceLoop")
for name, v in sorted(speed.items()):
    if name.startswith("Kernel/"):
        label = "filter kernel " + name[len("Kernel/"):]
        print(f"{label:24}{v / 1e6:>14.0f} M samples/s, {v / ref:.1f} x the per-sample loop")
print(f"{'per-sample loop':24}{ref / 1e6:>14.0f} M samples/s   (target: best kernel >= 6 x)")

for job, sox_name, sox_time in (("linear", "sox", t_sox), ("sinc", "sox rate -v", t_soxv)):
    print()
    print(f"{'heavy ' + job:24}{'wall (s)':>10}{'/ ' + sox_name:>14}{'speed-up':>10}"
          f"{'per thread':>12}{'peak RSS (MB)':>15}{'MB per added thread':>21}")
    one_wall = one_rss = None
    for t in threads:
        walls, rss = runs(f"{job}-{t}")
        wall, peak = statistics.median(walls), max(rss) / 1024
        if t == 1:
            one_wall, one_rss = wall, peak
        up = one_wall / wall
        added = f"{(peak - one_rss) / (t - 1):>21.1f}" if t > 1 else f"{'-':>21}"
        print(f"{'  --threads ' + str(t):24}{wall:>10.2f}{wall / sox_time:>14.2f}{up:>10.2f}"
              f"{up / t:>12.2f}{peak:>15.1f}{added}")
PY
