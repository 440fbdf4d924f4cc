"""The library's functions, which the package linecmp wraps in its own types."""

import os
from typing import List, Optional, Tuple, Union

_Input = Union[str, "os.PathLike[str]", "os.PathLike[bytes]", bytes, bytearray, memoryview]
_Label = Union[str, bytes]

class JudgeError(Exception):
    """Judging that cannot be done: rules or flags that are not valid, or an unusable LINECMP_KERNEL."""

def compare(a: _Input, b: _Input, labels: Optional[Tuple[_Label, _Label]]) -> Tuple[bool, str, int, int, str]:
    """(same, report, line, byte, locator); line and byte are 0 when the inputs are the same."""

def judge(rules: str, answer: _Input, output: _Input, flags: List[str]) -> Tuple[str, str]:
    """(verdict, message): the verdict one of accepted, wrong_answer and presentation_error."""
