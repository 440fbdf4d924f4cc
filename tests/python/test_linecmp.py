"""The Python package: against the program on every case folder, errors, threads."""

import concurrent.futures
import importlib.metadata
import os
import pathlib
import re
import subprocess
import sys

import pytest

import linecmp

CASES = pathlib.Path(__file__).resolve().parents[1] / "cases"
PROGRAM = os.environ.get("LINECMP_PROGRAM", str(CASES.parents[1] / "build" / "linecmp"))
# linecmp's own cases, which need no descriptor other than a pipe for standard input, nor
# an environment of their own.
NAMES = sorted(d.name for d in CASES.iterdir()
               if not any((d / f).exists() for f in ("program", "stdin_via", "env")))


def run(command, case, env=None, executable=None):
    """Runs command in a case folder as run_case.sh does: (standard output, error, status)."""
    args = (case / "args").read_bytes().splitlines() if (case / "args").exists() else []
    stdin = (case / "stdin").read_bytes() if (case / "stdin").exists() else b""
    target = (case / "stdout_to").read_text().strip() if (case / "stdout_to").exists() else None
    with open(target or os.devnull, "wb") as out:
        done = subprocess.run(command + args, cwd=case, input=stdin, env=env, stderr=subprocess.PIPE,
                              stdout=out if target else subprocess.PIPE, executable=executable)
    return done.stdout, done.stderr, done.returncode


@pytest.fixture(scope="module")
def program():
    """Runs the program in a case folder, named as python -m linecmp is, so that the usage messages match."""
    if not os.access(PROGRAM, os.X_OK):
        pytest.skip(f"no program at {PROGRAM}: set LINECMP_PROGRAM")
    return lambda case, env=None: run(["python -m linecmp"], case, env, PROGRAM)


@pytest.mark.parametrize("name", NAMES)
def test_module_and_compare_as_the_program(program, name):
    case = CASES / name
    want = program(case)
    assert run([sys.executable, "-m", "linecmp"], case) == want
    args = (case / "args").read_text().splitlines() if (case / "args").exists() else []
    if want[2] != 0 or want[0] is None or (case / "stdin").exists():
        return
    labels = (args[2:] + args[1:2])[:2] if len(args) > 2 else args[:2]
    paths = [case / arg for arg in args[:2]]
    with open(paths[0], "rb") as first, open(paths[1], "rb") as second:
        for kind in (pathlib.Path, pathlib.Path.read_bytes, lambda p: bytearray(p.read_bytes()),
                     lambda p: memoryview(p.read_bytes()), lambda p: linecmp.descriptor((first, second)[paths.index(p)].fileno())):
            result = linecmp.compare(kind(paths[0]), kind(paths[1]), labels)
            assert (result.report, result.same, bool(result)) == (want[0].decode(), not want[0], not want[0])
            assert bytes(result) == want[0]


def test_unusable_kernel_as_the_program(program):
    env = dict(os.environ, LINECMP_KERNEL="none")
    assert run([sys.executable, "-m", "linecmp"], CASES / NAMES[0], env) == program(CASES / NAMES[0], env)


def oserror(path):
    """The type, errno, strerror and filename of the error that comparing path raises."""
    try:
        linecmp.compare(path, b"")
    except OSError as e:
        return type(e), e.errno, e.strerror, e.filename


def python(*args, **options):
    """The status of sys.executable run on args, and the start of what it prints on standard error, or else output."""
    done = subprocess.run([sys.executable, *args], capture_output=True, timeout=60, **options)
    return done.returncode, (done.stderr or done.stdout)[:60]


@pytest.mark.parametrize("call, want", [
    (lambda: linecmp.compare(b"a\n", b"b\n").report, "   first 0001: a\n  second 0001: b\n"),
    (lambda: linecmp.compare(b"\xff\n", bytearray(b"\xfe\n"), ["f\xe9", b"\xff"]).report,
     "     f\xe9 0001: \\ff\n       \udcff 0001: \\fe\n"),
    (lambda: oserror(pathlib.Path("/nonexistent/file")), (FileNotFoundError, 2, os.strerror(2), "/nonexistent/file")),
    (lambda: oserror(pathlib.Path("/")), (IsADirectoryError, 21, os.strerror(21), "/")),
    (lambda: linecmp.compare(pathlib.Path("file\0name"), b""), ValueError),
    (lambda: linecmp.compare(b"", "tests/t5.out"), TypeError),  # an output captured with text=True
    (lambda: oserror(linecmp.descriptor(-1)), (OSError, 9, os.strerror(9), "first")),
    (lambda: bytes(linecmp.compare(b"\xc3\xa9\n", b"x\n", ("x\xe9\xe9\xe9\xe9", "b"))),
     b"x\xc3\xa9\xc3\xa9\xc3\xa9\xc3 0001: \\c3\\a9\n       b 0001: x\n"),
    (lambda: f"{linecmp.Verdict.WRONG_ANSWER} {linecmp.Verdict.ACCEPTED:>9}", "wrong_answer  accepted"),
    (lambda: linecmp.__version__, importlib.metadata.version("linecmp")),
    (lambda: bool(linecmp.JudgeError.__doc__), True),
    (lambda: python(CASES.parents[1] / "bench/library.py", "--help")[1][:20], b"usage: library.py [-"),
    (lambda: python(CASES.parents[1] / "bench/library.py", "/no/linecmp"), (1, b"library.py: no program to run at /no/linecmp: build it (cmak")),
    (lambda: python("-m", "linecmp", "/dev/null", __file__, preexec_fn=lambda: os.close(1)),
     (1, b"linecmp: cannot write standard output: Bad file descriptor\n")),
    (lambda: linecmp.compare(3, b""), TypeError),
    (lambda: linecmp.compare(b"", b"", "ab"), TypeError),
    (lambda: linecmp.compare(b"", b"", ("a", "b", "c")), ValueError),
    (lambda: ((j := linecmp.judge("checker", b"1\n", b"1\n", [])).verdict, bool(j), j.message), ("accepted", True, "")),
    (lambda: ((j := linecmp.judge("checker", b"1\n", b"1 \n")).verdict, bool(j)), (linecmp.Verdict.WRONG_ANSWER, False)),
    (lambda: linecmp.judge("no-such-rules", b"", b""), linecmp.JudgeError),
    (lambda: ((r := linecmp.compare(b"a\r\nb\r\n", b"a\nb", kind=True)).kind, r.crlf, r.unterminated, r.lines,
              r.differing), ("line-endings", (True, False), (False, True), (2, 2), 2)),
    (lambda: f"{linecmp.compare(b'A b', b'a  b', kind=True).kind} {linecmp.Kind.ORDER:>6}", "letter-case  order"),
    (lambda: ((r := linecmp.compare(b"1\n2\n3\n", b"1\n3\n")).lines, r.differing, r.kind), ((3, 2), 1, None)),
    (lambda: linecmp.judge("checker", b"", b"", "flag"), TypeError),
    (lambda: pytest.raises(TypeError, linecmp.judge, "validator", b"", b"", [1e-6]).match("must be a str"), True),
])
def test_calls(call, want):
    if isinstance(want, type):
        pytest.raises(want, call)
    else:
        assert call() == want


def test_assert_same():
    linecmp.assert_same(b"1\n2\n", bytearray(b"1\n2\n"))
    with pytest.raises(AssertionError) as raised:
        linecmp.assert_same(b"1\n2\n", b"1\n3\n")
    result = linecmp.compare(b"1\n2\n", b"1\n3\n", ("expected", "actual"), kind=True)
    assert str(raised.value) == result.explanation
    assert str(raised.value).splitlines()[0] == ("expected and actual differ in content at line 2, byte 1; "
                                                 "1 of 2 pairs of lines differ; expected has 2 lines, actual has 2")
    assert result.first == (2, 1)
    # Labels print whole, and only the report cuts them; the place shows as written.
    with pytest.raises(AssertionError) as raised:
        linecmp.assert_same(b"total_cost < 5 & Caf\xc3\xa9\n", b"total_cost < 6 & Caf\xc3\xa9\n",
                            ("expected output", "your output"))
    assert str(raised.value).splitlines()[2:] == ["expected output: total_cost < 5 & Café",
                                                  "    your output: total_cost < 6 & Café",
                                                  " " * 30 + "^"]
    assert "your out 0001" in linecmp.compare(b"a", b"b", ("expected output", "your output")).report


def unescaped(field):
    """A field of tests/kinds.cases as bytes, its escapes undone."""
    field = re.sub(r"\\\{(\d+)\*(.)\}", lambda m: m[2] * int(m[1]), field)
    return field.encode("latin-1").decode("unicode_escape").encode("latin-1")


def test_kinds_table():
    for line in (CASES.parent / "kinds.cases").read_text().splitlines():
        if line and not line.startswith("#"):
            x, y, want = line.split("\t")
            assert str(linecmp.compare(unescaped(x), unescaped(y), kind=True).kind) == want, line


def test_threads_give_what_each_gives_alone():
    texts = [b"".join(b"%d\n" % (i * k) for i in range(20000)) for k in (1, 1, 2)] + [b""]
    pairs = [(a, b) for a in texts for b in texts] * 4
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        assert list(pool.map(lambda p: linecmp.compare(*p).report, pairs)) == [linecmp.compare(*p).report for p in pairs]


# In a process of its own, where a GIL held while reading would stop only that process: a
# comparison waits on a FIFO that only this thread opens for writing, and holds the buffer.
# Then contents that change under comparisons give reports.
HELD = """
import errno, os, pathlib, sys, threading, linecmp
fifo, data, got = sys.argv[1], bytearray(b"x\\n"), []
worker = threading.Thread(target=lambda: got.append(linecmp.compare(pathlib.Path(fifo), data)))
worker.start()
while True:
    try:
        writer = os.open(fifo, os.O_WRONLY | os.O_NONBLOCK)
        break
    except OSError as e:
        assert e.errno == errno.ENXIO
try:
    data.append(1)
    sys.exit("the buffer was not held")
except BufferError:
    os.write(writer, b"x\\n")
os.close(writer)
worker.join()
assert got[0].same
changer = threading.Thread(target=lambda: [data.__setitem__(0, i % 256) for i in range(200000)])
changer.start()
while changer.is_alive():
    assert isinstance(linecmp.compare(data, b"y\\n"), linecmp.Result)
"""


def test_gil_released_and_buffer_held(tmp_path):
    os.mkfifo(tmp_path / "fifo")
    subprocess.run([sys.executable, "-c", HELD, str(tmp_path / "fifo")], check=True, timeout=60)


# On a process's main thread, SIGINT stops a comparison of endless inputs, and one waiting on
# a FIFO, within 0.1 s when quiet (10 s here, for emulators); python -m linecmp dies of it.
INTERRUPTED = """
import os, pathlib, signal, subprocess, sys, threading, time, linecmp
for first in ("/dev/zero", sys.argv[1]):
    threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT)).start()
    start = time.monotonic()
    try:
        linecmp.compare(pathlib.Path(first), pathlib.Path("/dev/zero"))
    except KeyboardInterrupt:
        assert time.monotonic() - start < 10
module = subprocess.Popen([sys.executable, "-m", "linecmp", "/dev/zero", "/dev/zero"], stderr=subprocess.PIPE)
time.sleep(0.5)
module.send_signal(signal.SIGINT)
assert (module.wait(), module.stderr.read()) == (-signal.SIGINT, b"")
"""


def test_sigint_stops_a_comparison(tmp_path):
    os.mkfifo(tmp_path / "fifo")
    subprocess.run([sys.executable, "-c", INTERRUPTED, str(tmp_path / "fifo")], check=True, timeout=60)
