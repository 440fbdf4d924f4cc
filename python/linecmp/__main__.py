"""python -m linecmp file1 file2 [label1 [label2]]: the linecmp program, in-process.

It prints what the program prints and exits with its status: 0 once the report is
printed, whether or not the files differ; 1 for a usage error, a file that cannot be
opened or read, or a report that cannot be written.
"""

import errno
import os
import signal
import sys
from typing import List

from . import JudgeError, compare


class _Path:
    """A path exactly as given, which the labels and messages show: pathlib.Path would drop a "./"."""

    def __init__(self, path: str) -> None:
        self.path = path

    def __fspath__(self) -> str:
        return self.path


def main(argv: List[str]) -> int:
    """Runs the command line argv (without the program's name); returns the exit status."""
    status = 1
    if len(argv) < 2:
        out = "Usage: python -m linecmp file1 file2 [label1 [label2]]\n"
    else:
        # One label leaves the second file's path as its label, as the program does.
        labels = (argv[2], argv[3] if len(argv) > 3 else argv[1]) if len(argv) > 2 else None
        try:
            out, status = compare(_Path(argv[0]), _Path(argv[1]), labels).report, 0
        except OSError as e:
            out = f"Cannot {'open' if getattr(e, '_opening', True) else 'read'} file {e.filename}.\n"
        except JudgeError as e:
            out = f"{e}.\n"
    try:
        if out:  # even a write of nothing fails on a full device
            if sys.stdout is None:  # Python started with it closed
                raise OSError(errno.EBADF, os.strerror(errno.EBADF))
            sys.stdout.buffer.write(os.fsencode(out))
            sys.stdout.flush()
    except OSError as e:
        print(f"linecmp: cannot write standard output: {e.strerror}", file=sys.stderr)
        # Python would try to write it again at exit, and fail again.
        if sys.stdout is not None:
            os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 1
    return status


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except KeyboardInterrupt:
        # Die of the signal, as the program does, so that the caller sees it and no
        # traceback.
        signal.signal(signal.SIGINT, signal.SIG_DFL)
        os.kill(os.getpid(), signal.SIGINT)
