"""Memory of tavo.read: a 49-hour file (6199 records of 512 samples) peaks
at no more than the size of its samples plus 8 MB."""
import os
import subprocess
import sys

import pytest

from conftest import MAKE_EXAMPLE

RECORDS = 6199
SAMPLE_BYTES = 3 * RECORDS * 512 * 2

# Peak resident memory of the read alone: the high-water mark is reset
# (clear_refs 5) after the interpreter, numpy and tavo are loaded.
MEASURE = """
import sys, tavo
def status(key):
    for line in open("/proc/self/status"):
        if line.startswith(key):
            return int(line.split()[1]) * 1024
before = status("VmRSS:")
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")
rec = tavo.read(sys.argv[1])
print(status("VmHWM:") - before, rec.data.nbytes)
"""


@pytest.mark.parametrize("name", ["k4031516.dat", "k4031516.dat.gz"])
def test_reading_a_49_hour_file_peaks_below_twice_its_samples(tmp_path, name):
    path = str(tmp_path / name)
    subprocess.run([MAKE_EXAMPLE, path, str(RECORDS)], check=True)
    out = subprocess.run([sys.executable, "-c", MEASURE, path], check=True, capture_output=True,
                         text=True).stdout
    peak, nbytes = map(int, out.split())
    assert nbytes == SAMPLE_BYTES
    # Sized from the file, the samples are held once: a second copy on the
    # way would add another 18 MB.
    assert peak <= SAMPLE_BYTES + 8 * 2**20, f"peak {peak / 2**20:.1f} MB"
