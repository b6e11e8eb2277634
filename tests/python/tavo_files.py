"""Writes TAVO data files for the Python package's tests, in every form the
reader accepts (the same bytes as tests/support/tavo_writer.h writes)."""
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


def make_record(length, time1, time2, seed):
    """Channel c, sample j: seed * 1000 + c * 100 + j % 97 - 48 (distinct per
    channel and record, within 16 bits for seeds up to 30)."""
    return Record((time1, time2), [[seed * 1000 + c * 100 + j % 97 - 48 for j in range(length)]
                                   for c in range(3)])


def minutes_records(length, count, skip=()):
    """`count` records at 18 Hz stamped in minutes and seconds from the base
    hour, each one block's whole seconds after the one before; those whose
    index is in `skip` are left out (a gap each)."""
    step = length // 18
    return [make_record(length, k * step // 60, k * step % 60, seed=k % 30)
            for k in range(count) if k not in skip]


def binary_bytes(rec):
    """Header line ended by CR alone, then per record three blocks of
    little-endian 16-bit words: two time words (new-style), then the samples."""
    out = bytearray((rec.header + "\r").encode("latin-1") if rec.header else b"")
    for r in rec.records:
        for samples in r.channels:
            words = list(r.time) if rec.new_style else []
            words += [samples[j] if j < len(samples) else 0 for j in range(rec.length)]
            out += struct.pack(f"<{len(words)}H", *(int(w) & 0xFFFF for w in words))
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
    folder = os.path.join(str(root), f"{year:04d}", f"{month:02d}",
                          f"{year:04d}{month:02d}{day:02d}")
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, f"{station}{year % 10}{month:02d}{day:02d}{slot:02d}{extension}")


def write(path, data, gzipped=False):
    """Writes the bytes, gzip-compressed when asked (mtime 0: same bytes every run)."""
    with open(path, "wb") as f:
        f.write(gzip.compress(data, mtime=0) if gzipped else data)
    return path
