"""tavo: TAVO station data in Python.

Reads TAVO data files into numpy arrays with their time stamps, gaps and
header (read), reports what a file holds as tavoinfo --json does (info),
draws the picture tavoinfo --plot draws (plot) and converts to sound as
tavo2wav does, into WAV files or into memory (convert).

    >>> import tavo
    >>> rec = tavo.read("examples/data/2014/03/20140315/k4031516.dat.gz")
    >>> rec.data.shape, rec.data.dtype, rec.sampling_rate
    ((3, 194560), dtype('int16'), 18.0)

Failures raise tavo.Error (tavo.OptionError for arguments, tavo.FileError
for files), with the text the command line prints.  What the reader and
the converter say goes to the logger "tavo" (WARNING for warnings, INFO for
a file's path, kind and header line, DEBUG for progress), which has only a
NullHandler: configure logging to see it.  Calls release the GIL while
they work, so threads read and convert side by side.

The reader works in UTC: the first call switches the whole process to
TZ=UTC (once; time.localtime follows after time.tzset()).
"""
import json as _json
import logging as _logging
import os as _os

from . import _convert
from . import _tavo
from ._errors import Error, FileError, OptionError
from ._recording import Audio, Gap, Recording, Timeline

__all__ = ["read", "info", "plot", "convert", "Recording", "Gap", "Audio", "Timeline",
           "Error", "OptionError", "FileError", "__version__"]

#: The version of the package, the same as the programs' (tavo2wav --version).
__version__ = _tavo.__version__

_logging.getLogger("tavo").addHandler(_logging.NullHandler())


def _name(path):
    if isinstance(path, (str, bytes, _os.PathLike)):
        return _os.fsdecode(path)
    raise OptionError(f"Error: a path must be a str or os.PathLike, not {type(path).__name__}\n")


def _names(paths):
    """One path or a list of them as a list of str; OptionError for none."""
    if isinstance(paths, (str, bytes, _os.PathLike)):
        return [_name(paths)]
    names = [_name(p) for p in paths]
    if not names:
        raise OptionError("Error: No files given\n\n")
    return names


def read(paths, combine=False):
    """Reads TAVO data files into numpy.

    Args:
        paths: one path, or a list of paths.
        combine: with a list, read all files one after the other into one
            Recording (as tavo2wav -c reads them); otherwise each file is
            read into its own.

    Returns:
        A Recording for one path or with combine=True; a list of
        Recordings, one per file, for a list without combine.

    Raises:
        FileError: a file cannot be opened or read (errno set where known).
        Error: a file is damaged or is no TAVO data file.
        OptionError: no paths.
    """
    names = _names(paths)
    if isinstance(paths, (str, bytes, _os.PathLike)) or combine:
        return Recording._from_core(*_tavo.read(names))
    return [Recording._from_core(*_tavo.read([n])) for n in names]


def info(path):
    """What tavoinfo --json reports for one file, as a dict with the same keys.

    A file that cannot be read to its end is reported, not raised: its
    "error" says why (None when the file was read whole), as in tavoinfo.
    """
    return _json.loads(_tavo.info(_name(path)))["files"][0]


def plot(paths, png_path, size=(1600, 900), audio=None, freq=None):
    """Draws the picture tavoinfo --plot draws, byte for byte.

    Args:
        paths: one path or a list, drawn one after the other on one axis.
        png_path: the picture; its extension chooses PNG, SVG or PDF.  Only
            an older picture of that format is ever replaced.
        size: (width, height) in pixels, as --plot-size.
        audio: tavo2wav options as --audio takes them ("-u 50 -r 1") to add
            an axis in seconds of that sound; None for none.
        freq: the spectrogram's frequency axis, "linear" or "log", as
            --plot-freq; None lets the data choose, as tavoinfo does.

    Returns:
        png_path as a str.

    Raises:
        OptionError: a bad size, audio option or picture name.
        FileError: png_path holds something that is not such a picture.
        Error: a file cannot be read to its end, or the picture not written.
    """
    names = [_name(p) for p in paths] if isinstance(paths, (list, tuple)) else [_name(paths)]
    sides = tuple(size) if isinstance(size, (list, tuple)) else ()
    if len(sides) != 2 or any(isinstance(s, bool) or not isinstance(s, int) for s in sides):
        raise OptionError(f"Error: size needs two whole numbers, not {size!r}\n")
    width, height = sides
    for name, value in (("audio", audio), ("freq", freq)):
        if value is not None and not isinstance(value, str):
            raise OptionError(f"Error: {name} needs a str, not {value!r}\n")
    output = _name(png_path)
    _tavo.plot(names, output, f"{width}x{height}", audio, freq)
    return output


def convert(paths, *, upsample=None, rate=4000, layout="mono", combine=False, filter=True,
            remove_offset=True, scale=0, gaps="join", resampler="linear", speedup=None,
            format="s16", threads=0, timeline=False, output_dir=None, progress=None):
    """Converts TAVO data files to sound as tavo2wav does with the same options.

    The arguments mirror the command line: upsample is -u (None: 4, the
    default, which --speedup replaces), rate is -r (a code 0-8 or a rate in
    Hz: rate=1 means 44100 Hz), layout "mono", "stereo" or "six" is -m, -s
    or -6, combine is -c, filter=False is -f, remove_offset=False is -o,
    scale is -z; gaps ("join", "silence"), resampler ("linear", "sinc"),
    speedup, format ("s16", "s24", "f32"), threads and timeline are the long
    options of the same names.  Without combine only the first file is
    converted, as on the command line.

    Args:
        output_dir: write the files the command line writes, byte for byte,
            into this folder, and return their paths.  None: return the
            sound in memory.
        progress: called with the fraction done (0.0 while reading, then up
            to 1.0), at most ten times a second and once with 1.0 at the end.

    Returns:
        The paths written (the label file last), or a list of Audio, one per
        file the command line would write, in the same order.

    Raises:
        OptionError, FileError, Error as the command line fails;
        KeyboardInterrupt on Ctrl-C (at the next chunk; temporary files are
        removed and nothing more is put in place).
    """
    if not hasattr(_tavo, "convert"):
        raise NotImplementedError("this build of tavo has no conversion engine")
    names = _names(paths)
    if progress is not None and not callable(progress):
        raise OptionError(f"Error: progress must be callable, not {progress!r}\n")
    arguments = _convert.options(upsample, rate, layout, combine, filter, remove_offset, scale,
                                 gaps, resampler, speedup, format, threads, timeline, output_dir)
    result = _tavo.convert(names, arguments, progress)
    return _convert.outputs(result, output_dir is None)
