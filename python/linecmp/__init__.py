"""Compare a program's output with the expected output line by line, in-process.

linecmp.compare(a, b) gives what the linecmp program prints for two inputs, without
starting a process: each input is a path (os.PathLike, such as pathlib.Path), contents
(bytes, bytearray or memoryview, read where they lie), or linecmp.descriptor(fd). A str
raises TypeError, since a program's output captured as text could be taken for a path.
linecmp.assert_same() makes it an assertion for pytest and unittest, and
linecmp.judge() judges by the rules of linecmp's judges' front-ends.

An input that cannot be opened or read raises the OSError of its errno
(FileNotFoundError, IsADirectoryError, ...), never a report. A kernel version in
LINECMP_KERNEL that cannot be used raises JudgeError. The GIL is released while a
comparison runs, so threads compare in parallel; on the main thread, a signal handler
that raises, as Ctrl-C's does, stops the comparison within 0.1 s and its exception
(KeyboardInterrupt) is raised, also while a read waits for input.
"""

from __future__ import annotations

import enum
import os
from typing import List, NamedTuple, Optional, Tuple, Union

from ._linecmp import Descriptor, JudgeError, __version__
from ._linecmp import compare as _compare
from ._linecmp import judge as _judge

__all__ = ["Input", "Label", "Flags", "Place", "Result", "Kind", "Verdict", "Judgement", "JudgeError", "Descriptor", "compare",
           "assert_same", "judge", "descriptor", "__version__"]

JudgeError.__module__ = __name__

#: A path, contents, or a descriptor; never a str.
Input = Union["os.PathLike[str]", "os.PathLike[bytes]", bytes, bytearray, memoryview, Descriptor]
#: A label: str, or the bytes it stands for.
Label = Union[str, bytes]


def descriptor(fd: int) -> Descriptor:
    """The descriptor fd as an input, read from where it stands: the caller keeps it open, and closes it."""
    return Descriptor(fd)


class Place(NamedTuple):
    """Where two inputs first differ: the line, and the byte in it, both counted from 1."""

    line: int
    byte: int


class _Named(str, enum.Enum):
    """An enum of str values that prints as its value."""

    # Its value, as a str would print, on every Python version: from 3.11 on, a str enum's
    # format() gives its name ("Verdict.WRONG_ANSWER") unless told otherwise.
    def __str__(self) -> str:
        return str(self.value)

    def __format__(self, format_spec: str) -> str:
        return format(str(self.value), format_spec)


class Kind(_Named):
    """The kind of difference: the first row under which the inputs are equal, each row
    adding its normalisation to those of the rows above it."""

    SAME = "same"  #: none: the inputs are equal
    FINAL_NEWLINE = "final-newline"  #: a line feed is added at the end of an input without one
    LINE_ENDINGS = "line-endings"  #: CR LF is read as LF, in either input
    TRAILING_SPACE = "trailing-space"  #: spaces, tabs and CRs before each line's end are dropped
    BLANK_LINES = "blank-lines"  #: lines left empty by the rows above are dropped
    SPACING = "spacing"  #: whitespace only separates tokens: same tokens, same order
    LETTER_CASE = "letter-case"  #: ASCII letters are folded
    ORDER = "order"  #: the lines (their folded tokens; blank lines left out) in another order
    CONTENT = "content"  #: none of the above


class Result:
    """What a comparison found: str() is the report, bytes() its bytes, bool() whether the inputs are the same."""

    __slots__ = ("same", "report", "first", "locator", "lines", "differing", "kind", "crlf", "unterminated",
                 "explanation")

    def __init__(self, same: bool, report: str, first: Optional[Place], locator: str, lines: Tuple[int, int] = (0, 0),
                 differing: int = 0, kind: Optional[Kind] = None, crlf: Tuple[bool, bool] = (False, False),
                 unterminated: Tuple[bool, bool] = (False, False), explanation: str = "") -> None:
        #: The inputs are the same: exactly when the report is empty.
        self.same = same
        #: The report, exactly as the linecmp program prints it under the labels.
        self.report = report
        #: Where the inputs first differ, or None when they are the same.
        self.first = first
        #: When they differ: that place, and both lines around it in the readable form (printable
        #: text as it is, everything else escaped and named), under the labels whole.
        self.locator = locator
        #: The lines of each input; a last line without a line feed counts.
        self.lines = lines
        #: The pairs of lines that differ. Lines are paired by number, so one line inserted
        #: makes every later pair differ; a last line that lacks its line feed differs from
        #: the same line with one; lines past the end of the shorter input are in no pair.
        self.differing = differing
        #: The kind of difference, when compare() was asked for it (kind=True); else None.
        #: Right except with probability about 2**-100 per call.
        self.kind = kind
        #: Found with the kind: whether each input holds a CR LF.
        self.crlf = crlf
        #: Found with the kind: whether each input's last line lacks its line feed.
        self.unterminated = unterminated
        #: When they differ, for the people who read it: a first line that says what differs
        #: (the kind, when found; the place; the counts), then the locator. Empty when same.
        self.explanation = explanation

    def __str__(self) -> str:
        return self.report

    def __bytes__(self) -> bytes:
        # The report's exact bytes, which str() holds as Python decodes file names: a label
        # cut at 8 bytes may end inside a UTF-8 character.
        return os.fsencode(self.report)

    def __bool__(self) -> bool:
        return self.same

    def __repr__(self) -> str:
        return (f"Result(same={self.same!r}, first={self.first!r}, lines={self.lines!r}, differing={self.differing!r}, "
                f"kind={self.kind!r}, report={self.report!r})")


def _labels(labels: Optional[Tuple[Label, Label]]) -> Optional[Tuple[Label, Label]]:
    """Two labels, or None; a str or bytes is one label, not a sequence of them."""
    if labels is None:
        return None
    if isinstance(labels, (str, bytes)):
        raise TypeError("labels must be a pair, such as (\"expected\", \"output\")")
    pair = tuple(labels)
    if len(pair) != 2:
        raise ValueError(f"labels must be two, not {len(pair)}")
    return (pair[0], pair[1])


def compare(a: Input, b: Input, labels: Optional[Tuple[Label, Label]] = None, *, kind: bool = False) -> Result:
    """Compares two inputs line by line, as the linecmp program does.

    labels, when given, are the two labels; in the report, like the program's, they are
    cut to 8 bytes and become "first" and "second" when equal, while the locator and the
    explanation show them whole. They default to the paths of files, and to "first" and
    "second" for contents and descriptors. kind=True finds
    the kind of difference too (Result.kind, .crlf, .unterminated), which costs more on
    inputs that differ.
    """
    (same, report, line, byte, locator, lines1, lines2, differing, found, crlf1, crlf2, open1,
     open2, explanation) = _compare(a, b, _labels(labels), kind)
    return Result(same, report, None if same else Place(line, byte), locator, (lines1, lines2), differing,
                  None if found is None else Kind(found), (crlf1, crlf2), (open1, open2), explanation)


def assert_same(expected: Input, actual: Input, labels: Tuple[Label, Label] = ("expected", "actual")) -> None:
    """Raises AssertionError when the inputs differ, with the explanation (Result.explanation):
    its first line names the kind of difference and the place, which pytest's summary shows,
    then both lines around the place under the labels, whole.
    """
    __tracebackhide__ = True  # pytest shows the caller's line
    result = compare(expected, actual, labels, kind=True)
    if not result.same:
        raise AssertionError(result.explanation)


class Verdict(_Named):
    """A judge's verdict."""

    ACCEPTED = "accepted"
    WRONG_ANSWER = "wrong_answer"
    PRESENTATION_ERROR = "presentation_error"


class Judgement(NamedTuple):
    """A judge's verdict on an output, and its message for the jury; bool() is accepted."""

    verdict: Verdict
    message: str

    def __bool__(self) -> bool:
        return self.verdict is Verdict.ACCEPTED


#: The flags of a judge: a list or tuple of str. Not Sequence[str], which a str itself is.
Flags = Union[List[str], Tuple[str, ...]]


def judge(rules: str, answer: Input, output: Input, flags: Flags = ()) -> Judgement:
    """Judges output against answer by the rules of one of linecmp's judges' front-ends.

    rules names the front-end without its "linecmp-" ("checker", "cms-exact", ...), and
    flags are those it takes. Raises JudgeError when judging cannot be done: rules or
    flags that are not valid, or an answer that does not hold what the rules need.
    """
    if isinstance(flags, (str, bytes)):
        raise TypeError("flags must be a sequence of flags, such as (\"case_sensitive\",)")
    given = list(flags)
    for flag in given:
        if not isinstance(flag, str):
            raise TypeError(f"each flag must be a str, such as \"1e-6\", not {type(flag).__name__} {flag!r}")
    verdict, message = _judge(rules, answer, output, given)
    return Judgement(Verdict(verdict), message)
