"""The programs ctest names in the environment for the package's tests, and running them."""
import os
import subprocess

import pytest

TAVO2WAV = os.environ.get("TAVO2WAV", "tavo2wav")
TAVOINFO = os.environ.get("TAVOINFO", "tavoinfo")
MAKE_EXAMPLE = os.environ.get("TAVO_MAKE_EXAMPLE", "make_example")
EXAMPLE = os.environ.get("TAVO_EXAMPLE", "examples/data/2014/03/20140315/k4031516.dat.gz")


def run(command, cwd=None):
    """(status, stdout bytes, stderr text) of a program."""
    r = subprocess.run(command, cwd=cwd, capture_output=True, stdin=subprocess.DEVNULL)
    return r.returncode, r.stdout, r.stderr.decode("utf-8", "surrogateescape")


@pytest.fixture
def folder(tmp_path, monkeypatch):
    """A scratch folder, also the current directory of the test."""
    monkeypatch.chdir(tmp_path)
    return tmp_path
