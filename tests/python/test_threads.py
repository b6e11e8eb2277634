"""Reads on two threads at once give what they give alone, the GIL is free
while the reader works, and a read holds its samples once."""
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import tavo
from conftest import EXAMPLE, MAKE_EXAMPLE
from tavo_files import (Recording, binary_bytes, dated_path, form3_header, minutes_records,
                        text_bytes, write)

# A 49-hour file: 6199 records of 512 samples.
RECORDS = 6199
SAMPLE_BYTES = 3 * RECORDS * 512 * 2


def files(folder):
    binary = write(dated_path(folder, "k", 2014, 3, 15, 16), binary_bytes(
        Recording(form3_header("S", 512), 512, minutes_records(512, 300, skip={7, 90}))))
    text = write(dated_path(folder, "k", 2014, 3, 15, 18, ".dat.gz"), text_bytes(
        Recording(form3_header("S", 128), 128, minutes_records(128, 400, skip={3}))), gzipped=True)
    return [binary, text, EXAMPLE]


def same(a, b):
    return (a.data.dtype == b.data.dtype and np.array_equal(a.data, b.data)
            and np.array_equal(a.record_times, b.record_times) and a.gaps == b.gaps
            and a.header == b.header)


def test_two_threads_read_what_one_reads(tmp_path):
    paths = files(tmp_path)
    alone = [tavo.read(p) for p in paths]

    def work(index):
        return [tavo.read(paths[(index + k) % 3]) for k in range(6)]

    with ThreadPoolExecutor(2) as pool:
        results = list(pool.map(work, range(2)))
    for index, got in enumerate(results):
        assert all(same(r, alone[(index + k) % 3]) for k, r in enumerate(got))


def count_while(action):
    """Python steps the calling thread makes while `action` runs on another."""
    done = threading.Event()
    worker = threading.Thread(target=lambda: (action(), done.set()))
    steps = 0
    start = time.perf_counter()
    worker.start()
    while not done.is_set():
        steps += 1
    worker.join()
    return steps, time.perf_counter() - start


def test_python_runs_on_while_a_file_is_read(tmp_path):
    """With the GIL held the main thread would stand still for the whole
    read; released, it goes on at a good part of its own pace."""
    path = str(tmp_path / "k4031516.dat.gz")
    subprocess.run([MAKE_EXAMPLE, path, str(RECORDS)], check=True)
    for _ in range(3):
        idle_steps, idle_time = count_while(lambda: time.sleep(0.2))
        steps, seconds = count_while(lambda: tavo._tavo.read([path]))
        if steps / seconds > 0.5 * idle_steps / idle_time:
            return
    raise AssertionError(f"{steps / seconds:.0f} steps/s reading vs {idle_steps / idle_time:.0f}")


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
def test_reading_a_49_hour_file_holds_its_samples_once(tmp_path, name):
    path = str(tmp_path / name)
    subprocess.run([MAKE_EXAMPLE, path, str(RECORDS)], check=True)
    out = subprocess.run([sys.executable, "-c", MEASURE, path], check=True, capture_output=True,
                         text=True).stdout
    peak, nbytes = map(int, out.split())
    assert nbytes == SAMPLE_BYTES
    # Sized from the file, the samples are held once: a second copy on the
    # way would add another 18 MB.
    assert peak <= SAMPLE_BYTES + 8 * 2**20, f"peak {peak / 2**20:.1f} MB"
