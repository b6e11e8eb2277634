"""tavo.info gives what tavoinfo --json reports; tavo.plot draws the bytes
tavoinfo --plot draws; tavoinfo's JSON read back by Python's json module."""
import json

import pytest

import tavo
from conftest import EXAMPLE, TAVOINFO, run
from tavo_files import (Recording, binary_bytes, dated_path, form3_header, make_record,
                        minutes_records, write)

FILES = {
    "example": lambda folder: EXAMPLE,
    "gaps": lambda folder: write(dated_path(folder, "k", 2014, 3, 15, 16), binary_bytes(
        Recording(form3_header("S", 512), 512, minutes_records(512, 8, skip={2, 5})))),
}


@pytest.mark.parametrize("name", sorted(FILES))
def test_info_is_tavoinfos_json(tmp_path, name):
    path = FILES[name](tmp_path)
    _, out, _ = run([TAVOINFO, "--json", path])
    assert tavo.info(path) == json.loads(out)["files"][0]


def test_json_reads_back_strictly(tmp_path):
    """Numbers in their shortest exact form; every header byte kept (valid UTF-8 as
    such, other bytes as Latin-1); null where JSON has no value or nothing is known."""
    good = dated_path(tmp_path, "k", 2014, 3, 15, 16, ".dat.gz")
    four = [make_record(512, 0, s, k) for k, s in enumerate((0, 28, 56, 118))]
    write(good, binary_bytes(Recording(form3_header("S", 512), 512, four)), gzipped=True)
    odd = ("!Tidserier inf 2 \xe5\t\"\\\x01\xc3\xa5\xf0\x9f\x8e\xb5"
           "\x80\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82")
    write(str(tmp_path / "odd.dat"), binary_bytes(Recording(odd, 128, [make_record(128, 0, 0, 1)])))
    status, out, _ = run([TAVOINFO, "--json", good, "odd.dat", "none.dat"], cwd=tmp_path)
    assert status == 1
    assert b'"seconds": 33.55555555555556\n' in out
    files = json.loads(out, parse_constant=lambda c: pytest.fail("not JSON: " + c))["files"]
    gap = files[0]["gaps"][0]
    assert (gap["start_seconds"], gap["position_samples"], gap["position_seconds"]) == \
        (1394870484.4444444, 1536, 85.33333333333333)
    assert files[1]["frequency_hz"] is None
    assert files[1]["header"] == ("!Tidserier inf 2 \xe5\t\"\\\x01\xe5\U0001f3b5"
                                  "\x80\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82")
    unknown = ["kind", "header", "station", "frequency_hz", "gain", "record_length", "time_words"]
    assert list(files[2].items()) == [("file", "none.dat"), ("gzip", False)] + \
        [(k, None) for k in unknown] + [("records", 0), ("samples_per_channel", 0),
                                        ("has_date", False), ("first_record", None),
                                        ("last_record", None), ("first_record_seconds", None),
                                        ("last_record_seconds", None), ("duration_s", None),
                                        ("time_gaps", 0), ("gaps", []),
                                        ("error", "Can't open none.dat")]


# name: (files, size, audio, freq)
PICTURES = {
    "default": (["example"], (1600, 900), None, None),
    "small_with_sound_axis_linear": (["example"], (800, 600), "-u 50 -r 1", "linear"),
    "two_files_with_gaps_log": (["gaps", "example"], (1024, 768), "-c -u 7 -r 44100", "log"),
}


@pytest.mark.parametrize("name", sorted(PICTURES))
def test_plot_draws_tavoinfos_png_bytes(tmp_path, name):
    names, size, audio, freq = PICTURES[name]
    paths = [FILES[n](tmp_path) for n in names]
    cli = ["--plot-size", f"{size[0]}x{size[1]}"] + (["--audio", audio] if audio else []) + \
        (["--plot-freq", freq] if freq else [])
    status, _, _ = run([TAVOINFO, "--plot", str(tmp_path / "cli.png")] + cli + paths)
    assert status == 0
    assert tavo.plot(paths, tmp_path / "py.png", size=size, audio=audio, freq=freq) == \
        str(tmp_path / "py.png")
    assert (tmp_path / "py.png").read_bytes() == (tmp_path / "cli.png").read_bytes()
