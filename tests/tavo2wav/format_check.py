#!/usr/bin/env python3
"""Converts the bundled example recording with tavo2wav in the 24-bit and
float formats, with both resamplers, and reads the files back with
Python's soundfile (libsndfile) and with sox's soxi, as a user would.

Usage: format_check.py PATH-TO-tavo2wav PATH-TO-EXAMPLE

Each file must be reported with the right encoding, bits, rate and length;
the samples of the s24 and f32 files must equal those of the s16 file up to
its 16-bit rounding (exactly, for the linear resampler, which computes
16-bit samples), except where s16 saturates.
"""
import os
import subprocess
import sys
import tempfile

import soundfile

NAME = "a4031516.dat.wav"
FRAMES = 194560 * 4  # samples of the example x U


def convert(tool, example, args):
    """Runs the tool in a fresh directory; returns (soundfile info, samples
    in counts of the 16-bit scale, soxi's encoding, bits and samples)."""
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([tool, example, "-u", "4", "-r", "1"] + args, cwd=tmp, check=True,
                       capture_output=True, env=dict(os.environ, TZ="UTC"), timeout=300)
        path = os.path.join(tmp, NAME)
        info = soundfile.info(path)
        samples, _ = soundfile.read(path, dtype="float64")
        soxi = [subprocess.run(["soxi", flag, path], check=True, capture_output=True,
                               text=True).stdout.strip() for flag in ("-e", "-b", "-s")]
        return info, samples * 32768, soxi


def check(failures, what, got, want):
    if got != want:
        failures.append(f"{what}: got {got!r}, want {want!r}")


def main():
    tool, example = (os.path.abspath(p) for p in sys.argv[1:3])
    failures = []
    for resampler, tolerance in (("linear", 0.0), ("sinc", 0.5)):
        base = ["--resampler", resampler]
        _, s16, _ = convert(tool, example, base)
        for fmt, subtype, encoding, bits in (("s24", "PCM_24", "Signed Integer PCM", "24"),
                                             ("f32", "FLOAT", "Floating Point PCM", "32")):
            info, samples, soxi = convert(tool, example, base + ["--format", fmt])
            what = f"{resampler} {fmt}"
            check(failures, what + " subtype", info.subtype, subtype)
            check(failures, what + " rate", info.samplerate, 44100)
            check(failures, what + " frames", info.frames, FRAMES)
            check(failures, what + " channels", info.channels, 1)
            check(failures, what + " soxi", soxi, [encoding, bits, str(FRAMES)])
            unsaturated = abs(s16) < 32767
            worst = float(abs(samples - s16)[unsaturated].max())
            if worst > tolerance:
                failures.append(f"{what}: differs from s16 by {worst} counts (> {tolerance})")
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
