"""Times linecmp in-process, from the Python package, beside the program.

    python bench/library.py [--kinds] [PROGRAM]

with the package installed (see the README's "From Python") and PROGRAM the program to
measure against, by default build-static/linecmp (cmake --workflow --preset static). It
needs about 512 MiB of free disk in the temporary folder. Three measurements, as medians:

1. one call on two 3-line contents, in-process, beside one run of the program on the same
   contents as files, started from a shell loop and from subprocess.run();
2. two identical 256 MiB files (lines of 0 to 80 letters), in-process and by the program;
3. two such comparisons in two threads at once, beside one alone, and beside two
   processes of the program at once, which share nothing but the machine;
4. compare() with kind=True beside compare() alone, the two taking turns run by run, on
   a 50 MiB file of such lines against the same changed to differ by each kind (KINDS),
   as ratios of wall time and of CPU time (which a busy machine's waits leave out).
   --kinds runs this one alone.
"""

import argparse
import os
import pathlib
import platform
import random
import resource
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import linecmp

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def clocks():
    """Wall time, and the CPU time of this process and of its children, in seconds."""
    mine, children = resource.getrusage(resource.RUSAGE_SELF), resource.getrusage(resource.RUSAGE_CHILDREN)
    return time.perf_counter(), mine.ru_utime + mine.ru_stime, children.ru_utime + children.ru_stime


def median(run, times):
    """The medians of run()'s wall time and CPU time (its own and its children's) over the
    given number of runs, in seconds. On a busy machine a run waits for a core, so its wall
    time grows while its CPU time does not."""
    walls, cpus = [], []
    for _ in range(times):
        start = clocks()
        run()
        end = clocks()
        walls.append(end[0] - start[0])
        cpus.append(end[1] - start[1] + end[2] - start[2])
    return statistics.median(walls), statistics.median(cpus)


def cpu():
    """The CPU's model name, as the kernel gives it."""
    with open("/proc/cpuinfo") as info:
        return next((line.split(":", 1)[1].strip() for line in info if line.startswith("model name")), "?")


def write_lines(path, size):
    """Writes size bytes of lines of 0 to 80 random letters to path."""
    random.seed(7)
    pool = [bytes(random.choices(b"abcdefghijklmnopqrstuvwxyz ", k=random.randint(0, 80))) + b"\n"
            for _ in range(50000)]
    with open(path, "wb") as out:
        written = 0
        while written < size:
            chunk = b"".join(random.choices(pool, k=20000))[: size - written]
            out.write(chunk)
            written += len(chunk)


# The shapes of measurement 4: a kind, and what makes the second file from the first's
# bytes so that the two differ by that kind and no looser one.
KINDS = [
    ("same", lambda a: a),
    ("final-newline", lambda a: a[:-1]),
    ("line-endings", lambda a: a.replace(b"\n", b"\r\n")),
    ("trailing-space", lambda a: a.replace(b"\n", b" \n")),
    ("blank-lines", lambda a: a.replace(b"\n", b"\n\n")),
    ("spacing", lambda a: a.replace(b" ", b"  ")),
    ("letter-case", lambda a: a.upper()),
    ("order", lambda a: b"\n".join(reversed(a.split(b"\n")[:-1])) + b"\n"),
    ("content", lambda a: a.replace(b"e", b"f")),
]


def kinds(tmp, runs=7):
    """Measurement 4: each kind's cost, as the median of runs turns of each call."""
    a, b = pathlib.Path(tmp, "a"), pathlib.Path(tmp, "b")
    write_lines(a, 50 << 20)
    first = a.read_bytes()
    first = first[: first.rfind(b"\n") + 1]  # whole lines, so that final-newline can take the last line feed
    a.write_bytes(first)
    print(f"\n4. 50 MiB against the same changed by each kind (medians of {runs} turns)"
          "   compare()   kind=True     ratio  CPU ratio")
    for name, change in KINDS:
        b.write_bytes(change(first))
        assert str(linecmp.compare(a, b, kind=True).kind) == name, name
        plain, kind = [], []
        for _ in range(runs):  # in turns, so that a slow spell of the machine hits both alike
            plain.append(median(lambda: linecmp.compare(a, b), 1))
            kind.append(median(lambda: linecmp.compare(a, b, kind=True), 1))
        p, k = statistics.median(t[0] for t in plain), statistics.median(t[0] for t in kind)
        pc, kc = statistics.median(t[1] for t in plain), statistics.median(t[1] for t in kind)
        print(f"   {name:<63} {p * 1e3:7.1f} ms {k * 1e3:7.1f} ms {k / p:7.2f} x {kc / pc:7.2f} x")


def main(program):
    print(f"CPU: {cpu()}, {os.cpu_count()} cores; Linux {platform.release()}; Python {platform.python_version()}")
    print(f"load average at the start: {os.getloadavg()[0]:.2f}")
    print(f"program: {program}; kernels: {os.environ.get('LINECMP_KERNEL') or 'the fastest this CPU runs'}")
    with tempfile.TemporaryDirectory() as tmp:
        a, b = pathlib.Path(tmp, "a"), pathlib.Path(tmp, "b")
        one, two = b"1\n4\n9\n", b"1\n4\n8\n"
        for path, contents in ((a, one), (b, two)):
            with open(path, "wb") as out:
                out.write(contents)
        calls = 100000
        inproc = median(lambda: [linecmp.compare(one, two) for _ in range(calls)], 5)[0] / calls
        files = median(lambda: [linecmp.compare(a, b) for _ in range(calls // 10)], 5)[0] / (calls // 10)
        loop = f'i=0; while [ $i -lt 500 ]; do "$0" "$1" "$2" >/dev/null; i=$((i + 1)); done'
        shell = median(lambda: subprocess.run(["sh", "-c", loop, program, a, b], check=True), 5)[0] / 500
        spawned = median(lambda: subprocess.run([program, a, b], stdout=subprocess.DEVNULL, check=True), 500)[0]
        print("\n1. one call on two 3-line inputs, wall time (medians)")
        print(f"   compare() on contents      {inproc * 1e6:9.2f} us")
        print(f"   compare() on files         {files * 1e6:9.2f} us")
        print(f"   program, from a sh loop    {shell * 1e6:9.2f} us  = {shell / inproc:6.0f} x compare() on contents")
        print(f"   program, subprocess.run()  {spawned * 1e6:9.2f} us  = {spawned / inproc:6.0f} x compare() on contents")

        size = 256 << 20
        write_lines(a, size)
        with open(a, "rb") as src, open(b, "wb") as dst:
            dst.write(src.read())
        assert linecmp.compare(a, b).same
        print("\n2. two identical 256 MiB files, from the page cache (medians of 9)     wall        CPU")
        inproc = median(lambda: linecmp.compare(a, b), 9)
        run = median(lambda: subprocess.run([program, a, b], check=True), 9)
        print(f"   program                                               {run[0] * 1e3:7.1f} ms {run[1] * 1e3:7.1f} ms")
        print(f"   compare()                                             {inproc[0] * 1e3:7.1f} ms {inproc[1] * 1e3:7.1f} ms")
        print(f"   compare() / program                                   {inproc[0] / run[0]:7.2f} x  "
              f"{inproc[1] / run[1]:7.2f} x")

        def both():
            threads = [threading.Thread(target=linecmp.compare, args=(a, b)) for _ in range(2)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()

        def twice():
            programs = [subprocess.Popen([program, a, b]) for _ in range(2)]
            for p in programs:
                p.wait()

        paired, processes = median(both, 9), median(twice, 9)
        print("\n3. the same in two threads at once (medians of 9); CPU per comparison")
        print(f"   two threads                                           {paired[0] * 1e3:7.1f} ms {paired[1] / 2 * 1e3:7.1f} ms")
        print(f"   two threads / one alone                               {paired[0] / inproc[0]:7.2f} x  "
              f"{paired[1] / 2 / inproc[1]:7.2f} x")
        # What the machine allows: two processes share nothing but the cores and memory.
        print(f"   two program processes at once / one alone             {processes[0] / run[0]:7.2f} x  "
              f"{processes[1] / 2 / run[1]:7.2f} x")
        kinds(tmp)
        print(f"\nload average at the end: {os.getloadavg()[0]:.2f} (on {os.cpu_count()} cores)")


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     epilog=__doc__.split("\n\n", 2)[2], formatter_class=argparse.RawTextHelpFormatter)
    parser.add_argument("program", nargs="?", default=os.path.join(ROOT, "build-static", "linecmp"),
                        help="the program to measure against (default: %(default)s)")
    parser.add_argument("--kinds", action="store_true", help="measurement 4 alone")
    arguments = parser.parse_args()
    program = arguments.program
    if arguments.kinds:
        print(f"CPU: {cpu()}, {os.cpu_count()} cores; Linux {platform.release()}; "
              f"load average at the start: {os.getloadavg()[0]:.2f}; "
              f"kernels: {os.environ.get('LINECMP_KERNEL') or 'the fastest this CPU runs'}")
        with tempfile.TemporaryDirectory() as tmp:
            kinds(tmp)
        print(f"\nload average at the end: {os.getloadavg()[0]:.2f} (on {os.cpu_count()} cores)")
        sys.exit(0)
    if not os.access(program, os.X_OK):
        sys.exit(f"library.py: no program to run at {program}: build it (cmake --workflow --preset static), "
                 "or name it")
    main(program)
