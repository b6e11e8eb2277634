"""Shared pieces of the Python package's tests: the programs and helpers
ctest names in the environment, and running them."""
import os
import subprocess
import sys

import numpy as np
import pytest

sys.path.insert(0, os.path.dirname(__file__))

TAVO2WAV = os.environ.get("TAVO2WAV", "tavo2wav")
TAVOINFO = os.environ.get("TAVOINFO", "tavoinfo")
READER_DUMP = os.environ.get("TAVO_READER_DUMP", "reader_dump")
MAKE_EXAMPLE = os.environ.get("TAVO_MAKE_EXAMPLE", "make_example")
EXAMPLE = os.environ.get("TAVO_EXAMPLE", "examples/data/2014/03/20140315/k4031516.dat.gz")


def run(command, cwd=None):
    """(status, stdout bytes, stderr text) of a program."""
    r = subprocess.run(command, cwd=cwd, capture_output=True, stdin=subprocess.DEVNULL)
    return r.returncode, r.stdout, r.stderr.decode("utf-8", "surrogateescape")


def reader_dump(paths):
    """What the reader library delivers, read as tavo2wav reads: (stamps,
    samples of shape (3, n)), or (status, stderr) when it ends with an error."""
    status, out, err = run([READER_DUMP] + list(paths))
    if status != 0:
        return status, err
    stamps, blocks, at = [], [], 0
    while at < len(out):
        stamp, length = np.frombuffer(out, "<i8", 1, at)[0], np.frombuffer(out, "<u4", 1, at + 8)[0]
        at += 12
        blocks.append(np.frombuffer(out, "<f8", 3 * int(length), at).reshape(3, int(length)))
        at += 24 * int(length)
        stamps.append(int(stamp))
    samples = np.concatenate(blocks, axis=1) if blocks else np.zeros((3, 0))
    return np.array(stamps), samples


@pytest.fixture
def folder(tmp_path):
    """A scratch folder, also the current directory of the test."""
    old = os.getcwd()
    os.chdir(tmp_path)
    yield tmp_path
    os.chdir(old)
