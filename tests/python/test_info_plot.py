"""tavo.info gives what tavoinfo --json reports; tavo.plot draws the bytes
tavoinfo --plot draws."""
import json

import pytest

import tavo
from conftest import EXAMPLE, TAVOINFO, run
from tavo_files import (Recording, binary_bytes, dated_path, form3_header, make_record,
                        minutes_records, text_bytes, write)


def unix_time_file(folder):
    """Records stamped with Unix times (low half, high half), a gap after the first."""
    records = [make_record(512, 2176, 21284, 0), make_record(512, 2304, 21284, 1)]
    return write(str(folder / "unix.dat"), binary_bytes(Recording(form3_header("U", 512), 512, records)))


FILES = {
    "example": lambda folder: EXAMPLE,
    "gaps": lambda folder: write(dated_path(folder, "k", 2014, 3, 15, 16), binary_bytes(
        Recording(form3_header("S", 512), 512, minutes_records(512, 8, skip={2, 5})))),
    "text_no_date": lambda folder: write(str(folder / "plain.txt"), text_bytes(
        Recording("!Tidserier 16.0008 2", 128, minutes_records(128, 4)))),
    "unix_time": unix_time_file,
    "old_style": lambda folder: write(str(folder / "old.dat"), binary_bytes(
        Recording("Tidserier old", 128, minutes_records(128, 2), new_style=False))),
}


@pytest.mark.parametrize("name", sorted(FILES))
def test_info_is_tavoinfos_json(tmp_path, name):
    path = FILES[name](tmp_path)
    _, out, _ = run([TAVOINFO, "--json", path])
    assert tavo.info(path) == json.loads(out)["files"][0]


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
