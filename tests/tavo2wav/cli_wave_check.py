#!/usr/bin/env python3
"""Converts the bundled example recording with tavo2wav in each layout and
reads the WAV files with Python's standard wave module, as a user would.

Usage: cli_wave_check.py PATH-TO-tavo2wav PATH-TO-EXAMPLE

With "-o -z 1 -u 0 -f" the samples pass through unchanged, so the mono files
give the three input channels, and the stereo and six-channel files must hold
exactly those channels in their documented places. The recommended
"-u 50 -r 1" must give fifty times as many frames. Runs under umask 027, so
every file must have mode 0640.
"""
import array
import os
import subprocess
import sys
import tempfile
import wave

RAW = ["-o", "-z", "1", "-u", "0", "-f"]
BASE = "4031516.dat.wav"


def convert(tool, example, args):
    """Runs the tool in a fresh directory; returns {name: (params, samples)}."""
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([tool] + args + [example], cwd=tmp, check=True, capture_output=True,
                       env=dict(os.environ, TZ="UTC"), timeout=300)
        files = {}
        for name in sorted(f for f in os.listdir(tmp) if f.endswith(".wav")):
            path = os.path.join(tmp, name)
            with wave.open(path, "rb") as w:
                params = (w.getnchannels(), w.getsampwidth(), w.getframerate(),
                          w.getnframes(), w.getcomptype())
                samples = array.array("h", w.readframes(w.getnframes()))
            size = 44 + 2 * len(samples)
            files[name] = (params, samples, os.path.getsize(path) - size,
                           os.stat(path).st_mode & 0o7777)
        return files


def main():
    tool, example = (os.path.abspath(p) for p in sys.argv[1:3])
    os.umask(0o027)
    mono = convert(tool, example, RAW + ["-r", "1"])
    chans = [mono.get(letter + BASE, (None, array.array("h")))[1] for letter in "abc"]
    n = len(chans[0])
    silent = array.array("h", bytes(2 * n))

    def frames(*channels):
        out = array.array("h", bytes(2 * n * len(channels)))
        for i, c in enumerate(channels):
            out[i::len(channels)] = c
        return out

    # layout arguments, {name: (channels, rate, frames, samples or None)}
    runs = [
        (RAW + ["-r", "1"], {letter + BASE: (1, 44100, n, c) for letter, c in zip("abc", chans)}),
        (RAW + ["-s", "-r", "0"], {"d" + BASE: (2, 48000, n, frames(chans[0], chans[1])),
                                   "e" + BASE: (2, 48000, n, frames(chans[1], chans[2])),
                                   "f" + BASE: (2, 48000, n, frames(chans[2], chans[0]))}),
        (RAW + ["-6"], {"6chk" + BASE: (6, 4000, n, frames(chans[1], silent, chans[0], silent,
                                                          chans[2], silent))}),
        (["-u", "50", "-r", "1"], {letter + BASE: (1, 44100, 50 * n, None) for letter in "abc"}),
    ]
    problems = [] if n > 100000 else [f"only {n} frames in {sorted(mono)}"]
    if chans[0] == chans[1] or chans[1] == chans[2] or chans[2] == chans[0]:
        problems.append("the example's channels are not all different")
    for args, want in runs:
        got = mono if args == runs[0][0] else convert(tool, example, args)
        if sorted(got) != sorted(want):
            problems.append(f"{args}: wrote {sorted(got)}")
        for name, (params, samples, extra, mode) in got.items():
            if name not in want:
                continue
            channels, rate, count, expected = want[name]
            if params != (channels, 2, rate, count, "NONE") or extra or mode != 0o640:
                problems.append(f"{args} {name}: {params}, {extra} bytes extra, mode {mode:o}")
            if expected is not None and samples != expected:
                problems.append(f"{args} {name}: samples differ")
            if expected is None and not any(samples):
                problems.append(f"{args} {name}: all samples are zero")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
