"""Writes TAVO data files for the Python package's tests, in every form the
reader accepts (the same bytes as tests/support/tavo_writer.h writes).

    rec = Recording(form3_header("S", 512), length=512,
                    records=[make_record(512, 60, 0, seed=1)])
    path = dated_path(tmp_path, "k", 2014, 3, 15, 16)
    write(path, binary_bytes(rec))          # or text_bytes(rec); gzip=True
"""
import dataclasses
import gzip
import os
import struct
from typing import List, Sequence, Tuple


@dataclasses.dataclass
class Record:
    """Time words (minutes and seconds, or low and high half of a Unix time)
    and three channels of samples in file order."""
    time: Tuple[int, int]
    channels: Sequence[Sequence[float]]


@dataclasses.dataclass
class Recording:
    header: str = ""        # without its terminator; "" writes none
    length: int = 128       # samples per channel block
    records: List[Record] = dataclasses.field(default_factory=list)
    new_style: bool = True  # blocks and lines carry two time words


def form3_header(letter="S", length=512, frequency="18", gain=2, station="k",
                 date="2014-03-15", time="08:00:00"):
    return (f"!{letter}{length}Tidserier sampfrek: {frequency} gain: {gain} "
            f"station: {station} date: {date} time: {time}")


def form1_header(frequency="18", gain="2"):
    return f"!Tidserier {frequency} {gain}"


def make_record(length, time1, time2, seed):
    """Channel c, sample j: seed * 1000 + c * 100 + j % 97 - 48 (distinct per
    channel and record, within 16 bits for seeds up to 30)."""
    return Record((time1, time2), [[seed * 1000 + c * 100 + j % 97 - 48 for j in range(length)]
                                   for c in range(3)])


def minutes_records(length, count, start_minute=0, step_seconds=None, frequency=18.0, skip=()):
    """`count` records stamped in minutes and seconds from the base hour,
    each one block's duration (rounded down) after the one before; the
    records whose index is in `skip` are left out (a gap each)."""
    step = step_seconds if step_seconds is not None else int(length / frequency)
    out = []
    for k in range(count):
        if k in skip:
            continue
        seconds = start_minute * 60 + k * step
        out.append(make_record(length, seconds // 60, seconds % 60, seed=k % 30))
    return out


def _word(value):
    return struct.pack("<H", int(value) & 0xFFFF)


def binary_bytes(rec):
    """Header line ended by CR alone, then per record three blocks of
    little-endian 16-bit words: two time words (new-style), then the samples."""
    out = bytearray((rec.header + "\r").encode("latin-1") if rec.header else b"")
    for r in rec.records:
        for samples in r.channels:
            if rec.new_style:
                out += _word(r.time[0]) + _word(r.time[1])
            for j in range(rec.length):
                out += _word(samples[j] if j < len(samples) else 0)
    return bytes(out)


def text_bytes(rec, eol="\n"):
    """Header line, then three lines per record: time words (new-style) and
    the samples, separated by blanks."""
    lines = [rec.header] if rec.header else []
    for r in rec.records:
        for samples in r.channels:
            words = [str(r.time[0]), str(r.time[1])] if rec.new_style else []
            words += [repr(float(v)) if isinstance(v, float) else str(v)
                      for v in samples[:rec.length]]
            lines.append(" ".join(words))
    return "".join(line + eol for line in lines).encode("latin-1")


def dated_path(root, station, year, month, day, slot, extension=".dat"):
    """root/yyyy/mm/yyyymmdd/<station><y%10><mm><dd><slot><extension>, its
    folders made: the reader takes the day and base hour from it."""
    folder = os.path.join(str(root), f"{year:04d}", f"{month:02d}", f"{year:04d}{month:02d}{day:02d}")
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, f"{station}{year % 10}{month:02d}{day:02d}{slot:02d}{extension}")


def write(path, data, gzipped=False):
    """Writes the bytes, gzip-compressed when asked (mtime 0: same bytes every run)."""
    with open(path, "wb") as f:
        if gzipped:
            with gzip.GzipFile(fileobj=f, mode="wb", mtime=0) as z:
                z.write(data)
        else:
            f.write(data)
    return path
