"""The Python package: against the program on every case folder, errors, threads."""

import os
import pathlib
import subprocess
import sys
import threading

import pytest

import linecmp

CASES = pathlib.Path(__file__).resolve().parents[1] / "cases"
PROGRAM = os.environ.get("LINECMP_PROGRAM", str(CASES.parents[1] / "build" / "linecmp"))
# linecmp's own cases, which need no descriptor other than a pipe for standard input.
NAMES = sorted(d.name for d in CASES.iterdir() if not (d / "program").exists() and not (d / "stdin_via").exists())


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
    for kind in (str, pathlib.Path, pathlib.Path.read_bytes, lambda p: bytearray(p.read_bytes()),
                 lambda p: memoryview(p.read_bytes())):
        result = linecmp.compare(kind(paths[0]), kind(paths[1]), labels)
        assert (result.report, result.same, bool(result)) == (want[0].decode(), not want[0], not want[0])


def test_unusable_kernel_as_the_program(program):
    env = dict(os.environ, LINECMP_KERNEL="none")
    assert run([sys.executable, "-m", "linecmp"], CASES / NAMES[0], env) == program(CASES / NAMES[0], env)


@pytest.mark.parametrize("a, b, labels, shown", [
    (b"a\n", b"b\n", None, "   first 0001: a\n  second 0001: b\n"),
    (str(CASES / "crlf-against-lf" / "file1"), b"x\n", ("f\xe9", b"\xff"), "     f\xe9 0001: "),
    (b"\xff\n", bytearray(b"\xfe\n"), ["1234567890", "same"], "12345678 0001: \\ff\n    same 0001: \\fe\n"),
])
def test_labels(a, b, labels, shown):
    assert linecmp.compare(a, b, labels).report.startswith(shown)


@pytest.mark.parametrize("a, labels, error, errno", [
    ("/nonexistent/file", None, FileNotFoundError, 2),
    ("/", None, IsADirectoryError, 21),
    (pathlib.Path("/proc/self/mem"), None, OSError, 5),
    ("file\0name", None, ValueError, None),
    (3, None, TypeError, None),
    (b"", "ab", TypeError, None),
    (b"", ("a", "b", "c"), ValueError, None),
])
def test_errors(a, labels, error, errno):
    with pytest.raises(error) as raised:
        linecmp.compare(a, b"", labels)
    if errno:
        assert (raised.value.errno, raised.value.strerror, raised.value.filename) == (errno, os.strerror(errno), str(a))


@pytest.mark.parametrize("rules, answer, output, flags, verdict", [
    ("checker", b"1\n", b"1\n", (), linecmp.Verdict.ACCEPTED),
    ("checker", b"1\n", b"1 \n", [], linecmp.Verdict.WRONG_ANSWER),
    ("no-such-rules", b"", b"", (), linecmp.JudgeError),
    ("checker", b"", b"", "flag", TypeError),
])
def test_judge(rules, answer, output, flags, verdict):
    if not isinstance(verdict, linecmp.Verdict):
        with pytest.raises(verdict):
            linecmp.judge(rules, answer, output, flags)
        return
    judgement = linecmp.judge(rules, answer, output, flags)
    accepted = verdict is linecmp.Verdict.ACCEPTED
    assert (judgement.verdict, bool(judgement), judgement.message == "") == (verdict, accepted, accepted)


def test_assert_same():
    linecmp.assert_same(b"1\n2\n", bytearray(b"1\n2\n"))
    with pytest.raises(AssertionError) as raised:
        linecmp.assert_same(b"1\n2\n", b"1\n3\n")
    result = linecmp.compare(b"1\n2\n", b"1\n3\n", ("expected", "actual"))
    assert str(raised.value) == "\n" + result.report + result.locator and result.first == (2, 1)


def test_threads_give_what_each_gives_alone():
    texts = [b"".join(b"%d\n" % (i * k) for i in range(20000)) for k in (1, 1, 2)] + [b""]
    pairs = [(a, b) for a in texts for b in texts] * 4
    alone = [linecmp.compare(a, b).report for a, b in pairs]
    results = [None] * len(pairs)

    def share(first):
        for n in range(first, len(pairs), 4):
            results[n] = linecmp.compare(*pairs[n]).report

    threads = [threading.Thread(target=share, args=(t,)) for t in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert results == alone


# Runs in a process of its own, so that a GIL held while reading stops only that process:
# a comparison waits on a FIFO that only this thread opens for writing.
HELD = """
import errno, os, sys, threading, linecmp
fifo, data, got = sys.argv[1], bytearray(b"x\\n"), []
worker = threading.Thread(target=lambda: got.append(linecmp.compare(fifo, data)))
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
    pass
os.write(writer, b"x\\n")
os.close(writer)
worker.join()
assert got[0].same
stop = []
def change():
    while not stop:
        data[0] ^= 1
changer = threading.Thread(target=change)
changer.start()
for _ in range(2000):
    assert isinstance(linecmp.compare(data, b"y\\n"), linecmp.Result)
stop.append(1)
changer.join()
"""


def test_gil_released_and_buffer_held(tmp_path):
    os.mkfifo(tmp_path / "fifo")
    subprocess.run([sys.executable, "-c", HELD, str(tmp_path / "fifo")], check=True, timeout=60)
