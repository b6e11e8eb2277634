"""Failures as exceptions with the text and status the programs end with;
the interpreter lives on, and nothing is left in the folder. The reader's
lines reach the logger "tavo" with their levels, and nothing reaches file
descriptor 2."""
import errno
import json
import logging
import os
import pickle
import subprocess
import sys

import pytest

import tavo
from conftest import EXAMPLE, TAVO2WAV, TAVOINFO, run
from tavo_files import Recording, binary_bytes, dated_path, form3_header, minutes_records, write

GOOD = binary_bytes(Recording(form3_header("S", 512), 512, minutes_records(512, 3)))

# name: (bytes of the file, or None for no file; exception class)
DAMAGED = {
    "missing_file": (None, tavo.FileError),
    "too_short": (b"!Tidserier 18 2\r" + b"\0" * 100, tavo.Error),
    "record_cut_short": (GOOD[:-100], tavo.Error),
}


def damaged_file(folder, name):
    path = dated_path(folder, "k", 2014, 3, 15, 16)
    return path if DAMAGED[name][0] is None else write(path, DAMAGED[name][0])


def listing(folder):
    return sorted(str(p.relative_to(folder)) for p in folder.rglob("*") if p.is_file())


@pytest.mark.parametrize("name", sorted(DAMAGED))
def test_damaged_input_raises_what_tavo2wav_prints_and_leaves_nothing(tmp_path, name):
    path = damaged_file(tmp_path / "data", name)
    (tmp_path / "py").mkdir()
    status, _, stderr = run([TAVO2WAV, path], cwd=tmp_path)
    before = listing(tmp_path / "data")
    for call in (lambda: tavo.read(path), lambda: tavo.convert(path, output_dir=tmp_path / "py")):
        with pytest.raises(DAMAGED[name][1]) as caught:
            call()
        e = caught.value
        assert status != 0 and stderr.endswith(e.message)
        assert e.status == status and str(e) == e.message.rstrip("\n")
        # It pickles whole, as a worker process hands it back.
        back = pickle.loads(pickle.dumps(e))
        assert (type(back), back.message, back.status) == (type(e), e.message, e.status)
    assert listing(tmp_path / "data") == before and os.listdir(tmp_path / "py") == []
    status, out, _ = run([TAVOINFO, "--json", path])
    assert status == 1 and tavo.info(path) == json.loads(out)["files"][0]
    # The interpreter lives on and reads again.
    assert tavo.read(EXAMPLE).data.shape == (3, 194560)


def test_a_missing_file_is_a_file_not_found_error(tmp_path):
    with pytest.raises(tavo.FileError) as caught:
        tavo.read(str(tmp_path / "k4031516.dat"))
    e = caught.value
    assert isinstance(e, OSError) and isinstance(e, tavo.Error)
    assert (e.errno, e.filename) == (errno.ENOENT, str(tmp_path / "k4031516.dat"))


def test_a_file_without_a_known_header_is_no_tavo_file(tmp_path):
    path = tmp_path / "notes.txt"
    path.write_text("my notes\n" * 40)
    with pytest.raises(tavo.Error) as caught:
        tavo.read(str(path))
    assert caught.value.message == \
        f"Error: {path}: not a TAVO data file (no header line of a known form)\n"
    assert not isinstance(caught.value, tavo.FileError)


def test_no_paths_is_an_option_error(folder):
    status, _, stderr = run([TAVOINFO, "--plot", "out.png"])
    for call in (lambda: tavo.read([]), lambda: tavo.plot([], "out.png")):
        with pytest.raises(tavo.OptionError) as caught:
            call()
        assert (caught.value.message, caught.value.status) == (stderr, status)


# The refusals of options and of a file that is no picture (tavo.FileError).
@pytest.mark.parametrize("given, cli", [
    ({"size": (100, 900)}, ["--plot-size", "100x900"]), ({"png_path": "notes.png"}, [])],
    ids=["size_too_small", "name_of_a_file_that_is_no_picture"])
def test_plot_refuses_as_tavoinfo_refuses(folder, given, cli):
    (folder / "notes.png").write_text("my notes\n")
    (folder / "k4031516.dat.gz").write_bytes(open(EXAMPLE, "rb").read())
    kwargs = {"png_path": "out.png", **given}
    before = listing(folder)
    status, _, stderr = run([TAVOINFO, "--plot", kwargs["png_path"]] + cli + ["k4031516.dat.gz"],
                            cwd=folder)
    with pytest.raises(tavo.OptionError if "size" in given else tavo.FileError) as caught:
        tavo.plot("k4031516.dat.gz", **kwargs)
    assert (caught.value.message, caught.value.status) == (stderr, status)
    assert listing(folder) == before


def test_plot_of_a_damaged_file_raises_the_readers_message_and_draws_nothing(folder):
    path = damaged_file(folder, "record_cut_short")
    status, _, stderr = run([TAVOINFO, "--plot", "out.png", path], cwd=folder)
    with pytest.raises(tavo.Error) as caught:
        tavo.plot(path, "out.png")
    assert status == caught.value.status == 1 and caught.value.message in stderr
    assert not os.path.exists("out.png")


def gap_file(folder):
    rec = Recording(form3_header("S", 512), 512, minutes_records(512, 6, skip={2}))
    return write(dated_path(folder, "k", 2014, 3, 15, 16), binary_bytes(rec))


def test_the_readers_lines_reach_the_logger_and_nothing_reaches_descriptor_2(tmp_path, capfd,
                                                                            caplog):
    path = gap_file(tmp_path)
    with caplog.at_level(logging.DEBUG, logger="tavo"):
        tavo.read(path)
        tavo.info(path)
        tavo.info(str(tmp_path / "missing.dat"))
        with pytest.raises(tavo.FileError):
            tavo.read(str(tmp_path / "missing.dat"))
        tavo.plot(EXAMPLE, str(tmp_path / "p.png"), size=(480, 360), audio="-u 50 -r 9")
    records = [(r.levelname, r.getMessage()) for r in caplog.records if r.name == "tavo"]
    assert ("INFO", f"File: {path} Type:binary") in records
    assert ("INFO", "valid_comment_type3: " + form3_header("S", 512)) in records
    assert ("WARNING", "TIMEGAP in data") in records
    assert ("WARNING", "Unknown rate: 9. Using default: 4000.") in records
    assert all("\n" not in message for _, message in records)
    assert capfd.readouterr().err == ""


def test_the_switch_to_utc_is_said_through_logging_and_nothing_printed_without_it():
    """Fresh processes outside UTC: the reader's one switch of the time zone
    is a WARNING of the logger; fd 2 stays empty, configured or not."""
    configured = ("import logging, sys, tavo\n"
                  "logging.basicConfig(stream=sys.stdout, format='%(levelname)s %(message)s')\n")
    calls = f"tavo.read({EXAMPLE!r})\ntavo.info('/nonexistent/k4031516.dat')\n"
    for script, said in ((configured, ["WARNING WARNING: setting TZ=UTC"]), ("import tavo\n", [])):
        r = subprocess.run([sys.executable, "-c", script + calls], capture_output=True, text=True,
                           env={**os.environ, "TZ": "Europe/Oslo"})
        assert (r.returncode, r.stdout.splitlines()[:1], r.stderr) == (0, said, "")
