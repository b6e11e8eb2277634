#!/usr/bin/env python3
"""Converts a generated data file with tavo2wav in each layout and reads the
WAV files with Python's standard wave module, as a user would.

Usage: cli_wave_check.py PATH-TO-tavo2wav PATH-TO-cli_sample_input

The input (see cli_sample_input.cpp) holds 512 samples per channel, channel c
the ramp (c + 1) * 1000 + j. With "-o -z 1 -u 0 -f" the samples pass through
unchanged, so every written sample is known.
"""
import os
import struct
import subprocess
import sys
import tempfile
import wave

FRAMES = 512
RAW = ["-o", "-z", "1", "-u", "0", "-f"]


def ramp(c):
    return [(c + 1) * 1000 + j for j in range(FRAMES)]


def read(path):
    with wave.open(path, "rb") as w:
        params = (w.getnchannels(), w.getsampwidth(), w.getframerate(),
                  w.getnframes(), w.getcomptype())
        data = w.readframes(w.getnframes())
    return params, list(struct.unpack(f"<{len(data) // 2}h", data))


def interleave(*channels):
    return [s for frame in zip(*channels) for s in frame]


def convert(tool, cwd, args):
    run = subprocess.run([tool] + args, cwd=cwd, capture_output=True, text=True,
                         env=dict(os.environ, TZ="UTC"), timeout=120)
    if run.returncode != 0:
        return f"{args}: status {run.returncode}: {run.stderr}"
    return None


def main():
    tool, generator = (os.path.abspath(p) for p in sys.argv[1:3])
    zero = [0] * FRAMES
    r0, r1, r2 = ramp(0), ramp(1), ramp(2)
    # options, {file: (channels, rate, frames, samples or None)}
    runs = [
        (RAW + ["-r", "1"], {
            "a4031516.wav": (1, 44100, FRAMES, r0),
            "b4031516.wav": (1, 44100, FRAMES, r1),
            "c4031516.wav": (1, 44100, FRAMES, r2)}),
        (RAW + ["-s", "-r", "0"], {
            "d4031516.wav": (2, 48000, FRAMES, interleave(r0, r1)),
            "e4031516.wav": (2, 48000, FRAMES, interleave(r1, r2)),
            "f4031516.wav": (2, 48000, FRAMES, interleave(r2, r0))}),
        (RAW + ["-6"], {
            "6chk4031516.wav": (6, 4000, FRAMES,
                                interleave(r1, zero, r0, zero, r2, zero))}),
        (["-u", "50", "-r", "1"], {
            "a4031516.wav": (1, 44100, FRAMES * 50, None),
            "b4031516.wav": (1, 44100, FRAMES * 50, None),
            "c4031516.wav": (1, 44100, FRAMES * 50, None)}),
    ]
    problems = []
    for args, files in runs:
        with tempfile.TemporaryDirectory() as tmp:
            source = os.path.join(tmp, "2014", "03", "20140315", "k4031516.dat")
            os.makedirs(os.path.dirname(source))
            subprocess.run([generator, source], check=True)
            failure = convert(tool, tmp, args + [source])
            if failure:
                problems.append(failure)
                continue
            written = sorted(f for f in os.listdir(tmp) if f.endswith(".wav"))
            if written != sorted(files):
                problems.append(f"{args}: wrote {written}")
            for name, (channels, rate, frames, samples) in files.items():
                path = os.path.join(tmp, name)
                if not os.path.exists(path):
                    continue
                params, got = read(path)
                want = (channels, 2, rate, frames, "NONE")
                if params != want:
                    problems.append(f"{args} {name}: parameters {params}, expected {want}")
                if samples is not None and got != samples:
                    first = next(i for i, (a, b) in enumerate(zip(got + [None], samples)) if a != b)
                    problems.append(f"{args} {name}: samples differ from index {first}")
                if samples is None and not any(got):
                    problems.append(f"{args} {name}: all samples are zero")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
