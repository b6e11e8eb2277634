"""Reads on two threads at once give what they give alone, and the GIL is
free while the reader works."""
import subprocess
import threading
import time

import numpy as np

import tavo
from conftest import EXAMPLE, MAKE_EXAMPLE
from tavo_files import Recording, binary_bytes, dated_path, form3_header, minutes_records, text_bytes, write


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
    results = {}

    def work(index):
        results[index] = [tavo.read(paths[(index + k) % 3]) for k in range(6)]

    threads = [threading.Thread(target=work, args=(i,)) for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for index, got in results.items():
        assert all(same(r, alone[(index + k) % 3]) for k, r in enumerate(got))
    assert len(results) == 2


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
    subprocess.run([MAKE_EXAMPLE, path, "6199"], check=True)
    for _ in range(3):
        idle_steps, idle_time = count_while(lambda: time.sleep(0.2))
        steps, seconds = count_while(lambda: tavo._tavo.read([path]))
        if steps / seconds > 0.5 * idle_steps / idle_time:
            return
    raise AssertionError(f"{steps / seconds:.0f} steps/s while reading, {idle_steps / idle_time:.0f} idle")
