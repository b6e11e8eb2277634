"""What tavo.read and tavo.convert return: Recording, Gap, Audio, Timeline.

Plain Python objects holding numpy arrays, so they pickle (and travel
between dask workers) as they are.
"""
import collections

import numpy as np

__all__ = ["Recording", "Gap", "Audio", "Timeline"]

Gap = collections.namedtuple("Gap", ["position", "start", "end", "seconds"])
Gap.__doc__ = """A time gap between two records, as tavoinfo reports it.

position: samples per channel before the record after the gap (an index
    into Recording.data's second axis);
start: end of the record before the gap (its stamp plus its duration),
    numpy datetime64[ns] in UTC;
end: stamp of the record after the gap;
seconds: end - start in seconds; negative when the stamps step back.
"""

Timeline = collections.namedtuple("Timeline", ["start", "station_per_audio"])
Timeline.__doc__ = """Where station time lies in a sound.

start: station time of audio sample 0, numpy datetime64[ns] in UTC, or None
    when the data carry no dated stamps;
station_per_audio: seconds of station time per second of audio.
"""


def _datetimes(seconds):
    """Seconds since the epoch (float array) as datetime64[ns]; NaN becomes NaT.

    Whole seconds and their fraction are converted apart: nanoseconds since
    the epoch need more bits than a double's mantissa holds."""
    seconds = np.asarray(seconds, dtype=np.float64)
    nanos = np.full(seconds.shape, np.iinfo(np.int64).min, dtype=np.int64)  # NaT
    known = ~np.isnan(seconds)
    whole = np.floor(seconds[known])
    nanos[known] = (whole.astype(np.int64) * 10**9 +
                    np.round((seconds[known] - whole) * 1e9).astype(np.int64))
    return nanos.view("datetime64[ns]")


def _moment(seconds):
    return _datetimes([seconds])[0]


def _gaps(facts, record_times):
    """A file's gaps: each ends at the stamp of the record after it and starts
    one record's duration after the stamp of the record before (to the
    nanosecond, where the seconds tavoinfo counts in are coarser)."""
    length = facts["samples_per_block"]
    duration = np.timedelta64(int(round(length / facts["sampling_frequency"] * 1e9)), "ns")
    for position, _start, seconds in facts["gaps"]:
        after = facts["first_record"] + (position - facts["first_index"]) // length
        yield Gap(position, record_times[after - 1] + duration, record_times[after], seconds)


def _text(t):
    return np.datetime_as_string(t, unit="s") + "Z"


class Recording:
    """Samples of one or more TAVO data files read one after the other.

    Attributes:
        data: numpy array of shape (3, n), channel by channel, the samples
            as stored (no offset removed, no scaling): int16 when every file
            is binary, float64 when one is text (decimal values, which may
            exceed 16 bits).
        sampling_rate: sampling frequency of the first file in Hz.
        starttime: stamp of the first record, numpy datetime64[ns] in UTC, or
            None for files without time stamps (old-style files).
        record_times: the stamp of every record (datetime64[ns], NaT for
            records without one), or None when no file has stamps.  Record k
            starts at sample k x header["samples_per_block"] (one block size
            per file).
        gaps: list of Gap, the time gaps tavoinfo reports within each file,
            in data order (the step from one file to the next is none).
        header: dict of the first file's header line: line, form (1, 2, 3;
            None for an old-style file), sampling_frequency, gain, station,
            date, time (the form-3 tokens as written), samples_per_block,
            time_words ("minutes-seconds", "unix" or "none"), kind ("binary"
            or "text") and gzip.
        files: the paths read, in order.

    Without a date in the path or the header line, stamps count seconds from
    the recording day's midnight and show as times on 1970-01-01.
    """

    def __init__(self, data, sampling_rate, starttime, record_times, gaps, header, files):
        self.data = data
        self.sampling_rate = sampling_rate
        self.starttime = starttime
        self.record_times = record_times
        self.gaps = gaps
        self.header = header
        self.files = files

    @classmethod
    def _from_core(cls, samples, stamps, facts):
        """Builds a Recording from what tavo._tavo.read returns."""
        stamps = np.array(stamps, dtype=np.float64)
        for f in facts:
            if f["time_words"] == "none":
                stamps[f["first_record"]:f["first_record"] + f["records"]] = np.nan
        record_times = _datetimes(stamps) if not np.isnan(stamps).all() else None
        gaps = [gap for f in facts for gap in _gaps(f, record_times)]
        first = record_times[0] if record_times is not None else None
        header_keys = ("line", "form", "sampling_frequency", "gain", "station", "date", "time",
                       "samples_per_block", "time_words", "kind", "gzip")
        return cls(samples, facts[0]["sampling_frequency"],
                   None if first is None or np.isnat(first) else first,
                   record_times, gaps, {k: facts[0][k] for k in header_keys},
                   [f["path"] for f in facts])

    def duration(self):
        """Seconds the samples last at the sampling rate (gaps not counted)."""
        return self.data.shape[1] / self.sampling_rate if self.sampling_rate > 0 else float("nan")

    def __repr__(self):
        station = self.header["station"]
        parts = [f"station {station!r}" if station else "no station"]
        if self.starttime is not None and len(self.record_times):
            block = self.header["samples_per_block"] / self.sampling_rate
            end = self.record_times[-1] + np.timedelta64(int(round(block * 1e9)), "ns")
            parts.append(f"{_text(self.starttime)} to {_text(end)}")
        else:
            parts.append("no time stamps")
        parts.append(f"{self.sampling_rate:g} Hz")
        parts.append(f"3 x {self.data.shape[1]} {self.data.dtype}")
        if self.gaps:
            total = sum(g.seconds for g in self.gaps)
            parts.append(f"{len(self.gaps)} gap{'s' * (len(self.gaps) > 1)} ({total:.0f} s)")
        else:
            parts.append("no gaps")
        parts.append(f"{len(self.files)} file{'s' * (len(self.files) > 1)}")
        return f"Recording({', '.join(parts)})"


class Audio:
    """One sound file of a conversion, in memory.

    Attributes:
        name: the file name tavo2wav gives it ("a4031516.dat.wav").
        samples: numpy array of shape (frames, channels): int16 for "s16",
            int32 holding the 24-bit value sign-extended for "s24", float32
            for "f32"; the samples of that WAV file's data chunk.
        rate: sample rate in Hz.
        timeline: Timeline, where station time lies in the sound.

    In a notebook: IPython.display.Audio(audio.samples.T, rate=audio.rate).
    """

    def __init__(self, name, samples, rate, timeline):
        self.name = name
        self.samples = samples
        self.rate = rate
        self.timeline = timeline

    def __repr__(self):
        frames, channels = self.samples.shape
        return (f"Audio({self.name!r}, {channels} x {frames} {self.samples.dtype}, "
                f"{self.rate} Hz, {frames / self.rate:.1f} s)")
