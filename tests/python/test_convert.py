"""tavo.convert against tavo2wav: the same files, samples and failures;
threads, progress and Ctrl-C."""
import errno
import os
import pickle
import signal
import subprocess
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest
import soundfile

import tavo
from conftest import MAKE_EXAMPLE, TAVO2WAV, run
from tavo_files import dated_path

pytestmark = pytest.mark.skipif(not hasattr(tavo._tavo, "convert"),
                                reason="this build has no conversion engine")


def recording(folder, slot, records=60):
    """A short stretch of the example recording (make_example), at slot's hour."""
    path = dated_path(folder, "k", 2014, 3, 15, slot, ".dat.gz")
    subprocess.run([MAKE_EXAMPLE, path, str(records)], check=True)
    return path


def wav_samples(path):
    """(samples (frames, channels), rate) of a WAV file in convert's types."""
    subtype = soundfile.info(str(path)).subtype
    dtype = {"PCM_16": "int16", "PCM_24": "int32", "FLOAT": "float32"}[subtype]
    samples, rate = soundfile.read(str(path), dtype=dtype, always_2d=True)
    return (samples >> 8 if subtype == "PCM_24" else samples), rate


# name: (convert's keyword arguments, tavo2wav's options); combined: two files
# with an hour missing between them, a gap of about 3400 s.
OPTION_SETS = {
    "defaults": ({}, ""),
    "stereo_u50_r1": ({"layout": "stereo", "upsample": 50, "rate": 1}, "-s -u 50 -r 1"),
    "six_u7_offsets_kept": ({"layout": "six", "upsample": 7, "remove_offset": False}, "-6 -u 7 -o"),
    "no_filter_scale_s24": ({"filter": False, "scale": 4, "format": "s24"}, "-f -z 4 --format s24"),
    "sinc_speedup_f32": ({"resampler": "sinc", "speedup": 49, "rate": 1, "format": "f32"},
                         "--resampler sinc --speedup 49 -r 1 --format f32"),
    "combine_gaps_silence_timeline": (
        {"combine": True, "upsample": 50, "rate": 1, "gaps": "silence", "timeline": True},
        "-c -u 50 -r 1 --gaps silence --timeline"),
    "combine_joined_timeline_rate_44100": ({"combine": True, "rate": 44100, "timeline": True},
                                           "-c -r 44100 --timeline"),
}


@pytest.mark.parametrize("name", sorted(OPTION_SETS))
def test_files_and_audio_in_memory_are_tavo2wavs(tmp_path, name):
    kwargs, options = OPTION_SETS[name]
    paths = [recording(tmp_path / "data", slot) for slot in (16, 20)[:1 + ("combine" in kwargs)]]
    for folder in ("cli", "py"):
        (tmp_path / folder).mkdir()
    status, _, stderr = run([TAVO2WAV] + options.split() + paths, cwd=tmp_path / "cli")
    assert status == 0, stderr
    want = {n: (tmp_path / "cli" / n).read_bytes() for n in sorted(os.listdir(tmp_path / "cli"))
            if n != "logfile"}
    written = tavo.convert(paths, output_dir=tmp_path / "py", **kwargs)
    assert [os.path.basename(p) for p in written] == \
        sorted(want, key=lambda n: (n.endswith(".txt"), n))
    assert {n: (tmp_path / "py" / n).read_bytes() for n in os.listdir(tmp_path / "py")} == want
    audio = tavo.convert(paths, **kwargs)
    assert [a.name for a in audio] == sorted(n for n in want if n.endswith(".wav"))
    for a in audio:
        samples, rate = wav_samples(tmp_path / "cli" / a.name)
        assert (a.rate, a.samples.dtype, a.samples.shape) == (rate, samples.dtype, samples.shape)
        np.testing.assert_array_equal(a.samples, samples)
    back = pickle.loads(pickle.dumps(audio[0]))
    assert back.name == audio[0].name and np.array_equal(back.samples, audio[0].samples)


def test_the_timeline_maps_audio_to_station_time(tmp_path):
    audio = tavo.convert(recording(tmp_path, 16), upsample=50, rate=1)
    assert audio[0].timeline == tavo.Timeline(np.datetime64("2014-03-15T08:00:00", "ns"), 49.0)


@pytest.mark.parametrize("kwargs, options", [
    ({"upsample": 50, "speedup": 49}, "-u 50 --speedup 49"), ({"threads": 300}, "--threads 300")],
    ids=["upsample_and_speedup", "threads_out_of_range"])
def test_refused_options_raise_what_tavo2wav_prints(tmp_path, kwargs, options):
    path = recording(tmp_path / "data", 16, records=4)
    (tmp_path / "py").mkdir()
    status, _, stderr = run([TAVO2WAV] + options.split() + [path], cwd=tmp_path)
    with pytest.raises(tavo.Error) as caught:
        tavo.convert(path, output_dir=tmp_path / "py", **kwargs)
    assert stderr.endswith(caught.value.message) and caught.value.status == status == 1
    assert os.listdir(tmp_path / "py") == []


def test_a_missing_output_folder_is_a_file_error(tmp_path):
    path = recording(tmp_path, 16, records=4)
    with pytest.raises(tavo.FileError) as caught:
        tavo.convert(path, output_dir=tmp_path / "nowhere")
    assert caught.value.errno == errno.ENOENT
    assert caught.value.message.startswith(f"Error: can't write {tmp_path / 'nowhere'}/")


def test_wrong_kinds_of_arguments_are_option_errors(tmp_path):
    for kwargs in ({"layout": "quad"}, {"format": "s8"}, {"rate": 1.5}, {"upsample": "4"},
                   {"gaps": None}, {"progress": 3}):
        with pytest.raises(tavo.OptionError):
            tavo.convert(str(tmp_path / "x.dat"), **kwargs)


def test_two_threads_convert_what_one_converts(tmp_path):
    paths = [recording(tmp_path, 16, 120), recording(tmp_path, 20, 90)]
    alone = [tavo.convert(p, upsample=50, rate=1, threads=2) for p in paths]
    with ThreadPoolExecutor(2) as pool:
        results = list(pool.map(lambda p: tavo.convert(p, upsample=50, rate=1, threads=2), paths))
    for got, want in zip(results, alone):
        assert len(got) == 3
        assert all(np.array_equal(a.samples, b.samples) for a, b in zip(got, want))


def test_progress_rises_to_one(tmp_path):
    seen = []
    tavo.convert(recording(tmp_path, 16, 400), upsample=200, rate=1, output_dir=tmp_path,
                 progress=seen.append)
    assert seen[-1] == 1.0 and seen == sorted(seen)


def interrupt(fraction):
    if fraction > 0:  # SIGINT as the converting starts: the next chunk stops
        os.kill(os.getpid(), signal.SIGINT)


def fail(fraction):
    raise ValueError("enough")


@pytest.mark.parametrize("progress, raised", [(interrupt, KeyboardInterrupt), (fail, ValueError)],
                         ids=["ctrl_c", "exception_of_the_callable"])
def test_what_the_progress_callable_raises_ends_the_conversion_and_leaves_nothing(
        tmp_path, progress, raised):
    out = tmp_path / "out"
    out.mkdir()
    with pytest.raises(raised, match="enough" if raised is ValueError else None):
        tavo.convert(recording(tmp_path / "data", 16, 400), upsample=500, rate=1, output_dir=out,
                     progress=progress)
    assert os.listdir(out) == []
    assert signal.getsignal(signal.SIGINT) is signal.default_int_handler
