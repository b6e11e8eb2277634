#!/bin/sh
# Measures window mode on a generated archive (bench/make_archive: station k
# at 18 Hz, one gzip file per half hour, 31 days from 2014-03-01, two files
# missing): a 30-day and a 3-day window at -u 4, a 3-day window at -u 50
# -r 1, each with the linear and the sinc resampler, and a 40-hour linear
# window against -c over the same 80 whole files. Prints per run the wall
# time, the seconds per day of station time and the peak resident memory,
# then the checks: time linear in the span (30 days <= 11 x 3 days at the
# same U), RSS <= 64 MB whatever the span, the 40-hour window within 1.25 x
# the time of -c.
#
#   sh bench/window_bench.sh [--rf64]
#
# --rf64 adds one run past 4 GiB (three days, six channels, f32, -u 50:
# one 5.6 GB RF64 file), read back by sndfile-info, ffprobe and
# python-soundfile, which must all count 233280000 frames.
set -eu
cd "$(dirname "$0")/.."
# GNU time for the peak resident memory; with --rf64 the readers of the test
# group (sndfile-programs, ffmpeg, python3-soundfile).
sh scripts/deps.sh bench $([ "${1:-}" = "--rf64" ] && echo test)
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target tavo2wav make_archive >/dev/null
tavo2wav=$(realpath "$build/tavo2wav")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_archive" "$work/archive" 2014-03-01 31 \
    --missing 2014-03-05T10:00 --missing 2014-03-20T23:30
mkdir -p "$work/out"

run() {  # name days command...: one timed run in $work/out, outputs removed after
    name=$1 days=$2
    shift 2
    rm -f "$work"/out/*
    sync
    (cd "$work/out" && /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1)
    read -r wall rss < "$work/time"
    echo "$name $days $wall $rss" >> "$work/results"
    rm -f "$work"/out/*
}

window() {  # from days: the window options
    echo "--archive $work/archive --station k --from $1 --duration $2d"
}

for r in linear sinc; do
    # shellcheck disable=SC2046
    run "30d-u4-$r" 30 "$tavo2wav" $(window 2014-03-01T12:00 30) -u 4 --resampler "$r"
    # shellcheck disable=SC2046
    run "3d-u4-$r" 3 "$tavo2wav" $(window 2014-03-10T12:00 3) -u 4 --resampler "$r"
    # shellcheck disable=SC2046
    run "3d-u50-r1-$r" 3 "$tavo2wav" $(window 2014-03-10T12:00 3) -u 50 -r 1 --resampler "$r"
done
files=$(find "$work/archive/2014/03/20140310" "$work/archive/2014/03/20140311" -name '*.dat.gz' |
        sort | head -n 80)
# shellcheck disable=SC2086
run "40h-c" 1.6667 "$tavo2wav" -c -u 4 $files
run "40h-window" 1.6667 "$tavo2wav" --archive "$work/archive" --station k \
    --from 2014-03-10T00:00 --duration 40h -u 4

python3 - "$work/results" <<'PY'
import sys
rows = {}
print(f"{'run':18}{'days':>8}{'wall (s)':>10}{'s per day':>11}{'peak RSS (MB)':>15}")
for line in open(sys.argv[1]):
    name, days, wall, rss = line.split()
    days, wall, rss = float(days), float(wall), int(rss) / 1024
    rows[name] = (days, wall, rss)
    print(f"{name:18}{days:>8.2f}{wall:>10.2f}{wall / days:>11.3f}{rss:>15.1f}")
for r in ("linear", "sinc"):
    ratio = rows[f"30d-u4-{r}"][1] / rows[f"3d-u4-{r}"][1]
    print(f"30-day / 3-day at -u 4, {r}: {ratio:.2f} (target <= 11)")
print(f"largest peak RSS: {max(v[2] for v in rows.values()):.1f} MB (target <= 64)")
print(f"40-hour window / -c: {rows['40h-window'][1] / rows['40h-c'][1]:.2f} (target <= 1.25)")
PY

if [ "${1:-}" = "--rf64" ]; then
    (cd "$work/out" && /usr/bin/time -f "RF64 run: %e s, peak RSS %M KB" \
        "$tavo2wav" $(window 2014-03-10T12:00 3) -6 --format f32 -u 50 -r 1 >/dev/null 2>"$work/err") ||
        { cat "$work/err"; exit 1; }
    tail -n 1 "$work/err"
    f="$work/out/6chk20140310T120000.wav"
    ls -l "$f"
    sndfile-info "$f" | grep -E '^RF64|Riff size|Data size|Frames'
    ffprobe -v error -show_entries stream=duration_ts -of default=noprint_wrappers=1 "$f"
    /usr/bin/python3 -c "import soundfile, sys; i = soundfile.info(sys.argv[1]); print('soundfile:', i.format, i.frames)" "$f"
fi
