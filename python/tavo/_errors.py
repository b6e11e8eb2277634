"""The exceptions of tavo: one family, caught whole by ``except tavo.Error``.

Each carries the text the command-line programs print for the same failure
(``message``, line ends included) and the exit status they end with
(``status``); ``str(error)`` is that text without its last line end.
"""
import os

__all__ = ["Error", "OptionError", "FileError"]


class Error(Exception):
    """A tavo call failed: damaged data, a picture that cannot be drawn, ...

    Attributes:
        message: the text the command line prints, line ends included.
        status: the exit status the command line ends with (1; 9 when memory
            runs out).
    """

    def __init__(self, message, status=1, errno=None, filename=None):
        super().__init__(message.rstrip("\n"))
        self.message = message
        self.status = status

    def __str__(self):
        return self.message.rstrip("\n")

    def __reduce__(self):
        return (type(self), (self.message, self.status))


class OptionError(Error, ValueError):
    """An argument is out of range, of the wrong kind, or goes badly with another."""


class FileError(Error, OSError):
    """A file cannot be opened, read or written.

    ``errno``, ``strerror`` and ``filename`` are set where the system told
    the reason (``errno.ENOENT`` for a missing file), else None.
    """

    def __init__(self, message, status=1, errno=None, filename=None):
        Error.__init__(self, message, status)
        self.errno = errno
        self.strerror = os.strerror(errno) if errno else None
        self.filename = filename

    def __reduce__(self):
        return (type(self), (self.message, self.status, self.errno, self.filename))
