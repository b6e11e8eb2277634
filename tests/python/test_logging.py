"""The reader's lines reach the logger "tavo" with their levels, and nothing
reaches file descriptor 2."""
import logging
import os
import subprocess
import sys

import pytest

import tavo
from conftest import EXAMPLE
from tavo_files import Recording, binary_bytes, dated_path, form3_header, minutes_records, write


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
