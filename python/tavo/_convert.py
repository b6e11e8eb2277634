"""tavo.convert: the arguments of the command line checked and handed to the engine."""
import numbers
import os

from ._errors import OptionError
from ._recording import Audio, Timeline, _moment

_LAYOUTS = {"mono": 0, "stereo": 1, "six": 2}
_GAPS = {"join": 0, "silence": 1}
_RESAMPLERS = {"linear": 0, "sinc": 1}
_FORMATS = {"s16": 0, "s24": 1, "f32": 2}


def _choice(name, value, choices):
    if value not in choices:
        names = ", ".join(f'"{c}"' for c in choices)
        raise OptionError(f"Error: {name} must be one of {names}, not {value!r}\n")
    return choices[value]


def _whole(name, value, allow_none=False):
    if value is None and allow_none:
        return None
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise OptionError(f"Error: {name} needs a whole number, not {value!r}\n")
    if not -2**31 <= value < 2**31:
        raise OptionError(f"Error: {name} out of range: {value}\n")
    return int(value)


def _speedup(value):
    if value is None:
        return None, ""
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise OptionError(f"Error: speedup needs a number, not {value!r}\n")
    return float(value), (str(int(value)) if isinstance(value, numbers.Integral) else repr(value))


def options(upsample, rate, layout, combine, filter, remove_offset, scale, gaps, resampler,
            speedup, format, threads, timeline, output_dir):
    """The options as tavo._tavo.convert takes them; OptionError for a wrong kind."""
    rate = _whole("rate", rate)
    threads = _whole("threads", threads)
    if rate < 0:
        raise OptionError(f"Error: rate needs a code 0-8 or a rate in Hz, not {rate}\n")
    if threads < 0:
        raise OptionError(f'Error: --threads needs a whole number from 0 to 256, not "{threads}"\n')
    speed, speed_text = _speedup(speedup)
    return {
        "upsample": _whole("upsample", upsample, allow_none=True),
        "rate": rate,
        "layout": _choice("layout", layout, _LAYOUTS),
        "combine": bool(combine),
        "filter": bool(filter),
        "remove_offset": bool(remove_offset),
        "scale": _whole("scale", scale),
        "gaps": _choice("gaps", gaps, _GAPS),
        "resampler": _choice("resampler", resampler, _RESAMPLERS),
        "speedup": speed,
        "speedup_text": speed_text,
        "format": _choice("format", format, _FORMATS),
        "threads": threads,
        "timeline": bool(timeline),
        "output_dir": None if output_dir is None else os.fspath(output_dir),
    }


def outputs(result, in_memory):
    """tavo._tavo.convert's result as convert returns it: paths, or Audio."""
    files, (dated, start, station_per_audio), _clipped = result
    if not in_memory:
        return list(files)
    timeline = Timeline(_moment(start) if dated else None, station_per_audio)
    return [Audio(name, samples, rate, timeline) for name, samples, rate in files]
