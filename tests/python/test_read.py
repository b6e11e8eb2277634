"""tavo.read against the samples and stamps written and what tavoinfo reports."""
import json
import pickle

import numpy as np
import pytest

import tavo
from conftest import EXAMPLE, TAVOINFO, run
from tavo_files import (Recording, binary_bytes, dated_path, form3_header, make_record,
                        minutes_records, text_bytes, write)

S512 = form3_header("S", 512)
S128 = form3_header("S", 128)


def text_record(length, seconds, seed):
    """Decimals beyond 16 bits and with fractions, as text files may hold."""
    r = make_record(length, seconds // 60, seconds % 60, seed)
    r.channels = [[(seed + 1) * 40000.5 + c * 0.25 - j * 1.75 for j in range(length)]
                  for c in range(3)]
    return r


# name: the recording, written as text or binary, gzip-compressed or not, with
# CR LF or LF line ends, as the name says.
CASES = {
    "binary_512": Recording(S512, 512, minutes_records(512, 6)),
    "binary_128_gzip": Recording(S128, 128, minutes_records(128, 9)),
    "binary_gaps": Recording(S512, 512, minutes_records(512, 8, skip={2, 5, 6})),
    "binary_form1_no_date": Recording("!Tidserier 18 2", 128, minutes_records(128, 4)),
    "text_512_decimals": Recording(S512, 512, [text_record(512, 28 * k, k) for k in range(4)]),
    "text_128_gzip_crlf": Recording(S128, 128, minutes_records(128, 5, skip={3})),
    "old_style": Recording("Tidserier old", 128, minutes_records(128, 3), False),
    "old_style_gzip": Recording("Tidserier old", 512, minutes_records(512, 3), False),
}


def make_file(folder, name, slot=16):
    rec, gzipped = CASES[name], "gzip" in name
    data = text_bytes(rec, "\r\n" if "crlf" in name else "\n") if "text" in name else \
        binary_bytes(rec)
    return write(dated_path(folder, "k", 2014, 3, 15, slot, ".dat.gz" if gzipped else ".dat"),
                 data, gzipped)


def written(name, hour=8):
    """The samples (3, n) and the record stamps file `name` holds at slot's `hour`."""
    rec = CASES[name]
    # The old-style header gives no length: the words are read in blocks of 128.
    block = rec.length if rec.new_style else 128
    words = np.array([r.channels for r in rec.records], float).reshape(-1, 3, block)
    data = np.concatenate(words, axis=1)
    start = np.datetime64(f"2014-03-15T{hour:02d}:00:00", "ns")
    return data, start + np.array([60 * r.time[0] + r.time[1] for r in rec.records], "m8[s]")


def tavoinfo_json(paths):
    return json.loads(run([TAVOINFO, "--json"] + paths)[1])["files"]


@pytest.mark.parametrize("name", sorted(CASES))
def test_read_gives_the_samples_and_stamps_written(tmp_path, name):
    rec = tavo.read(make_file(tmp_path, name))
    samples, stamps = written(name)
    assert rec.data.dtype == (np.float64 if "text" in name else np.int16)
    assert rec.data.shape == samples.shape and rec.data.flags["C_CONTIGUOUS"]
    np.testing.assert_array_equal(rec.data, samples)
    if "old_style" in name:
        assert rec.record_times is None and rec.starttime is None
    else:
        np.testing.assert_array_equal(rec.record_times, stamps)
        assert rec.starttime == rec.record_times[0]


@pytest.mark.parametrize("name", ["binary_gaps", "text_128_gzip_crlf", "binary_512"])
def test_gaps_and_header_are_what_tavoinfo_reports(tmp_path, name):
    path = make_file(tmp_path, name)
    rec = tavo.read(path)
    report = tavoinfo_json([path])[0]
    assert [(g.position, g.seconds) for g in rec.gaps] == \
        [(g["position_samples"], g["seconds"]) for g in report["gaps"]]
    length = rec.header["samples_per_block"]
    for gap, reported in zip(rec.gaps, report["gaps"]):
        assert np.datetime_as_string(gap.start, unit="ms") == reported["start"].replace("Z", "")
        assert gap.end == rec.record_times[gap.position // length]
    assert (rec.header["kind"], rec.header["gzip"]) == (report["kind"], report["gzip"])
    assert rec.header["line"] == report["header"]
    assert rec.sampling_rate == report["frequency_hz"]


def test_combine_reads_the_files_one_after_the_other(tmp_path):
    first = make_file(tmp_path, "binary_gaps", slot=16)
    second = make_file(tmp_path, "text_128_gzip_crlf", slot=18)
    rec = tavo.read([first, second], combine=True)
    (a, a_stamps), (b, b_stamps) = written("binary_gaps"), written("text_128_gzip_crlf", 9)
    assert rec.data.dtype == np.float64  # one text file makes the whole recording decimal
    np.testing.assert_array_equal(rec.data, np.concatenate([a, b], axis=1))
    np.testing.assert_array_equal(rec.record_times, np.concatenate([a_stamps, b_stamps]))
    # Each file's gaps, at their place in the joined data.
    reports = tavoinfo_json([first, second])
    offset = reports[0]["samples_per_channel"]
    assert [g.position for g in rec.gaps] == \
        [g["position_samples"] for g in reports[0]["gaps"]] + \
        [offset + g["position_samples"] for g in reports[1]["gaps"]]
    assert rec.files == [first, second]
    # Without combine, one recording per file.
    recs = tavo.read([first, second])
    assert [r.files for r in recs] == [[first], [second]]
    assert [(r.data.shape, r.data.dtype) for r in recs] == [(a.shape, np.int16), (b.shape, float)]


def test_the_header_dict_names_every_field(tmp_path):
    rec = tavo.read(make_file(tmp_path, "binary_128_gzip"))
    assert rec.header == {
        "line": S128, "form": 3, "sampling_frequency": 18.0, "gain": 2, "station": "k",
        "date": "2014-03-15", "time": "08:00:00", "samples_per_block": 128,
        "time_words": "minutes-seconds", "kind": "binary", "gzip": True}
    old = tavo.read(make_file(tmp_path, "old_style", 18)).header
    assert (old["form"], old["time_words"], old["date"]) == (None, "none", None)


def test_recording_pickles_and_reads_as_a_summary(tmp_path):
    rec = tavo.read(EXAMPLE)
    back = pickle.loads(pickle.dumps(rec))
    np.testing.assert_array_equal(back.data, rec.data)
    assert (back.starttime, back.header, back.files) == (rec.starttime, rec.header, rec.files)
    assert repr(rec) == ("Recording(station 'k', 2014-03-15T08:00:00Z to 2014-03-15T11:00:08Z, "
                         "18 Hz, 3 x 194560 int16, no gaps, 1 file)")
    gaps = tavo.read(make_file(tmp_path, "binary_gaps"))
    assert len(gaps.gaps) == 2
    assert repr(gaps).endswith(f"2 gaps ({sum(g.seconds for g in gaps.gaps):.0f} s), 1 file)")
