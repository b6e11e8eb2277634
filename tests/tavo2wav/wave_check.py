#!/usr/bin/env python3
"""Reads the files of wave_sample_writer with Python's standard wave module.

Usage: wave_check.py PATH-TO-wave_sample_writer

Runs the writer under umask 027 into a fresh temporary directory, then
checks each file's parameters, its exact size, its mode (0640) and every
sample against the values the writer is documented to produce.
"""
import os
import struct
import subprocess
import sys
import tempfile
import wave

FRAMES = 100003


def sample(i, buffer):
    x = (i * 2654435761 + buffer * 40503) % 2**32 >> 16
    return x - 65536 if x >= 32768 else x


def expected_frames(layout, n):
    a = [sample(i, 0) for i in range(n)]
    if layout == 1:
        return [(s,) for s in a]
    b = [sample(i, 1) for i in range(n)]
    if layout == 2:
        return list(zip(a, b))
    c = [sample(i, 2) for i in range(n)]
    return [(y, 0, x, 0, z, 0) for x, y, z in zip(a, b, c)]


# name: (channels, rate, frames)
FILES = {
    "mono.wav": (1, 4000, FRAMES),
    "stereo.wav": (2, 44100, FRAMES),
    "six.wav": (6, 48000, FRAMES),
    "empty.wav": (1, 8000, 0),
}


def check(path, channels, rate, frames):
    problems = []
    with wave.open(path, "rb") as w:
        got = (w.getnchannels(), w.getsampwidth(), w.getframerate(),
               w.getnframes(), w.getcomptype())
        want = (channels, 2, rate, frames, "NONE")
        if got != want:
            problems.append(f"parameters {got}, expected {want}")
        data = w.readframes(frames)
    size = os.path.getsize(path)
    if size != 44 + frames * 2 * channels:
        problems.append(f"size {size}")
    mode = os.stat(path).st_mode & 0o7777
    if mode != 0o640:
        problems.append(f"mode {mode:o}, expected 640")
    samples = struct.unpack(f"<{len(data) // 2}h", data)
    flat = [s for frame in expected_frames(channels, frames) for s in frame]
    if list(samples) != flat:
        problems.append("samples differ")
    return problems


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with tempfile.TemporaryDirectory() as tmp:
        os.umask(0o027)
        subprocess.run([sys.argv[1], tmp], check=True)
        failed = False
        for name, params in FILES.items():
            for problem in check(os.path.join(tmp, name), *params):
                print(f"{name}: {problem}")
                failed = True
        leftovers = sorted(set(os.listdir(tmp)) - set(FILES))
        if leftovers:
            print(f"unexpected files: {leftovers}")
            failed = True
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
