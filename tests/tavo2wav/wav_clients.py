#!/usr/bin/env python3
"""tavo2wav's WAV files read back by the clients people use, once per kind
of file (the 16-bit files of every case are read by Python's wave module in
tests/cases): the 24-bit and float files of both resamplers by soundfile
(libsndfile), their samples those of the 16-bit file up to its rounding
(exactly for the linear resampler, which computes 16-bit samples); the time
map of --timeline by ffprobe, sndfile-info and sndfile-metadata-get; the
files' mode under the umask.

Usage: wav_clients.py PATH-TO-tavo2wav PATH-TO-EXAMPLE
"""
import os
import subprocess
import sys
import tempfile

import soundfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
import tavo_files  # noqa: E402

EXAMPLE_SAMPLES = 194560
PROBLEMS = []


def check(what, got, want):
    if got != want:
        PROBLEMS.append(f"{what}: got {got!r}, want {want!r}")


def run(args, cwd):
    """Runs a program in cwd; returns its standard output and error."""
    done = subprocess.run(args, cwd=cwd, capture_output=True, text=True, timeout=300,
                          env=dict(os.environ, TZ="UTC"))
    check(f"{args} status", done.returncode, 0)
    return done.stdout + done.stderr


def wide_formats(tool, example):
    """s24 and f32 of both resamplers, as soundfile reads them; written
    under umask 027, the files have mode 0640."""
    def convert(args):
        with tempfile.TemporaryDirectory() as tmp:
            run([tool, example, "-u", "4", "-r", "1"] + args, tmp)
            for letter in "abc":
                mode = os.stat(os.path.join(tmp, letter + "4031516.dat.wav")).st_mode
                check(f"{letter} mode", oct(mode & 0o7777), oct(0o640))
            path = os.path.join(tmp, "a4031516.dat.wav")
            samples, _ = soundfile.read(path, dtype="float64")
            return soundfile.info(path), samples * 32768

    for resampler, tolerance in (("linear", 0.0), ("sinc", 0.5)):
        _, s16 = convert(["--resampler", resampler])
        for fmt, subtype in (("s24", "PCM_24"), ("f32", "FLOAT")):
            info, samples = convert(["--resampler", resampler, "--format", fmt])
            what = f"{resampler} {fmt}"
            check(what, (info.subtype, info.samplerate, info.frames, info.channels),
                  (subtype, 44100, EXAMPLE_SAMPLES * 4, 1))
            unsaturated = abs(s16) < 32767  # the sinc resampler overshoots where the data end
            worst = float(abs(samples - s16)[unsaturated].max())
            if worst > tolerance:
                PROBLEMS.append(f"{what}: differs from s16 by {worst} counts (> {tolerance})")


def timeline(tool):
    """Two hourly files with -c, the hour between them filled, in stereo at
    44100 Hz with -u 50."""
    with tempfile.TemporaryDirectory() as tmp:
        names = []
        for slot in (16, 20):
            samples = [400 + 200 * (j % 2) for j in range(128)]
            records = [tavo_files.Record((0, s), [samples] * 3) for s in (0, 7)]
            rec = tavo_files.Recording(tavo_files.form3_header("S", 128, gain=1), 128, records)
            path = tavo_files.dated_path(tmp, "k", 2014, 3, 15, slot)
            names.append(os.path.relpath(tavo_files.write(path, tavo_files.binary_bytes(rec)), tmp))
        run([tool, "-c", "-s", "-u", "50", "-r", "1", "--gaps", "silence", "--timeline"] + names,
            tmp)
        tags = run(["ffprobe", "-v", "error", "-show_entries", "format_tags", "-of",
                    "default=noprint_wrappers=1", "d4031516.wav"], tmp).splitlines()
        version = run([tool, "--version"], tmp).split()[1]
        # 08:00:00 is 28800 s after midnight: x 18 Hz x 50.
        for tag in ("TAG:encoded_by=tavo2wav", "TAG:date=2014-03-15", "TAG:creation_time=08:00:00",
                    "TAG:time_reference=25920000", "TAG:title=Station k, 2014-03-15",
                    "TAG:encoder=tavo2wav " + version,
                    "TAG:comment=audio 0 s = 2014-03-15T08:00:00Z; 1 s of audio = 49 s of station "
                    "time"):
            check(f"ffprobe {tag}", tag in tags, True)
        # Every label a chapter, the filled gap's too (a region as long as its silence).
        check("ffprobe chapters", run(["ffprobe", "-v", "error", "-show_entries",
                                       "chapter_tags=title", "-of", "csv=p=0", "d4031516.wav"],
                                      tmp),
              "2014-03-15 08:00Z\ngap 7186 s silence\n2014-03-15 09:00Z\n2014-03-15 10:00Z\n")
        info = run(["sndfile-info", "e4031516.wav"], tmp)
        for line in ("Count : 4", "Offset :     0\n", "Offset : 12800\n", "Offset : 3240100\n",
                     "Offset : 6480100\n", "labl : 1 : 2014-03-15 08:00Z\n",
                     "labl : 2 : gap 7186 s silence\n", "labl : 3 : 2014-03-15 09:00Z\n",
                     # the region follows the labels, and the data chunk is found after it
                     "labl : 4 : 2014-03-15 10:00Z\n    ltxt : 20\ndata : ",
                     "bext : 602\n"):  # version 1 without coding history
            check(f"sndfile-info {line!r}", line in info, True)
        check("bext description",
              run(["sndfile-metadata-get", "--bext-description", "d4031516.wav"], tmp),
              "Description            : Station k, 18 Hz sampling, 49 times faster, from "
              "k4031516.dat and 1 more\n")


def main():
    tool, example = (os.path.abspath(p) for p in sys.argv[1:3])
    os.umask(0o027)
    wide_formats(tool, example)
    timeline(tool)
    for p in PROBLEMS:
        print(p)
    return 1 if PROBLEMS else 0


if __name__ == "__main__":
    sys.exit(main())
