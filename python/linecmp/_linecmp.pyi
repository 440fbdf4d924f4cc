"""The library's functions, which the package linecmp wraps in its own types."""

import os
from typing import List, Optional, Tuple, Union

__version__: str

class Descriptor:
    """A descriptor, read from where it stands; the caller keeps it open."""

    fd: int
    def __init__(self, fd: int) -> None: ...

_Input = Union["os.PathLike[str]", "os.PathLike[bytes]", bytes, bytearray, memoryview, Descriptor]
_Label = Union[str, bytes]

class JudgeError(Exception):
    """Judging that cannot be done, which is never a verdict: rules or flags that are not valid, an answer that
    does not hold what the rules need, or a kernel version in LINECMP_KERNEL that cannot be used."""

def compare(
    a: _Input, b: _Input, labels: Optional[Tuple[_Label, _Label]], kind: bool
) -> Tuple[bool, str, int, int, str, int, int, int, Optional[str], bool, bool, bool, bool, str]:
    """(same, report, line, byte, locator, lines1, lines2, differing, kind, crlf1, crlf2, unterminated1,
    unterminated2, explanation); line and byte are 0 when the inputs are the same; kind is None, and the
    four facts False, unless kind is True."""

def judge(rules: str, answer: _Input, output: _Input, flags: List[str]) -> Tuple[str, str]:
    """(verdict, message): the verdict one of accepted, wrong_answer and presentation_error."""
