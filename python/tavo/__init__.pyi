# Type stubs of the tavo package.
import logging
import os
from typing import Callable, List, NamedTuple, Optional, Sequence, Tuple, Union, overload

import numpy as np
import numpy.typing as npt

_Path = Union[str, bytes, os.PathLike]

__version__: str

class Error(Exception):
    message: str
    status: int
    def __init__(self, message: str, status: int = ..., errno: Optional[int] = ...,
                 filename: Optional[str] = ...) -> None: ...

class OptionError(Error, ValueError): ...

class FileError(Error, OSError):
    errno: Optional[int]  # type: ignore[assignment]
    strerror: Optional[str]  # type: ignore[assignment]
    filename: Optional[str]

class Gap(NamedTuple):
    position: int
    start: np.datetime64
    end: np.datetime64
    seconds: float

class Timeline(NamedTuple):
    start: Optional[np.datetime64]
    station_per_audio: float

class Recording:
    data: npt.NDArray[Union[np.int16, np.float64]]
    sampling_rate: float
    starttime: Optional[np.datetime64]
    record_times: Optional[npt.NDArray[np.datetime64]]
    gaps: List[Gap]
    header: dict
    files: List[str]
    def duration(self) -> float: ...

class Audio:
    name: str
    samples: npt.NDArray[Union[np.int16, np.int32, np.float32]]
    rate: int
    timeline: Timeline

@overload
def read(paths: _Path, combine: bool = ...) -> Recording: ...
@overload
def read(paths: Sequence[_Path], combine: bool = ...) -> Union[Recording, List[Recording]]: ...
def info(path: _Path) -> dict: ...
def plot(paths: Union[_Path, Sequence[_Path]], png_path: _Path,
         size: Tuple[int, int] = ..., audio: Optional[str] = ...,
         freq: Optional[str] = ...) -> str: ...
def convert(paths: Union[_Path, Sequence[_Path]], *, upsample: Optional[int] = ...,
            rate: int = ..., layout: str = ..., combine: bool = ..., filter: bool = ...,
            remove_offset: bool = ..., scale: int = ..., gaps: str = ...,
            resampler: str = ..., speedup: Optional[float] = ..., format: str = ...,
            threads: int = ..., timeline: bool = ..., output_dir: Optional[_Path] = ...,
            progress: Optional[Callable[[float], object]] = ...
            ) -> Union[List[str], List[Audio]]: ...
