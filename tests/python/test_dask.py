"""tavo.info and tavo.read mapped over an archive on a 2-worker dask
LocalCluster give what they give serially; failures travel as tavo.Error."""
import numpy as np
import pytest

distributed = pytest.importorskip("distributed")

import tavo
from tavo_files import Recording, binary_bytes, dated_path, form3_header, minutes_records, write


def archive(folder):
    """Two days of hourly files (slots 16 to 22 every other half hour), one with a gap."""
    paths = []
    for day in (15, 16):
        for slot in range(16, 23, 2):
            skip = {4} if (day, slot) == (16, 18) else set()
            rec = Recording(form3_header("S", 512), 512,
                            minutes_records(512, 12, skip=skip))
            paths.append(write(dated_path(folder, "k", 2014, 3, day, slot), binary_bytes(rec)))
    return paths


def test_a_local_cluster_gives_the_serial_results(tmp_path):
    paths = archive(tmp_path)
    damaged = str(tmp_path / "cut.dat")
    with open(paths[0], "rb") as f:
        data = f.read()
    with open(damaged, "wb") as f:
        f.write(data[:-10])
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        infos = client.gather(client.map(tavo.info, paths))
        recordings = client.gather(client.map(tavo.read, paths))
        failed = client.submit(tavo.read, damaged)
        with pytest.raises(tavo.Error) as caught:
            failed.result()
    assert infos == [tavo.info(p) for p in paths]
    for got, path in zip(recordings, paths):
        alone = tavo.read(path)
        assert np.array_equal(got.data, alone.data) and got.gaps == alone.gaps
        assert np.array_equal(got.record_times, alone.record_times)
    assert sum(len(r.gaps) for r in recordings) == 1
    with pytest.raises(tavo.Error) as here:
        tavo.read(damaged)
    assert (caught.value.message, caught.value.status) == (here.value.message, here.value.status)
