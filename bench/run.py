#!/usr/bin/env python3
"""Times linecmp on generated shapes of files, as ratios to the read floor.

The read floor (floor.c) reads both files 64 KiB at a time, in turn, and memcmps the
blocks: the cost of getting the bytes at all. Every command of a shape runs on the same
two files, from the page cache (one untimed run first), the commands taking turns run by
run so that a slow spell of the machine hits them alike; a row is the median wall time,
the peak memory, and the median as a ratio to the floor's. linecmp runs once for each
kernel version this CPU runs (LINECMP_KERNEL), beside `wc -l` and `cmp`.

  bench/run.py [--bin BUILD/linecmp] [--before OTHER/linecmp] [--runs 5]
               [--peer NAME=PATH ...] [SHAPE ...]

SHAPE names a shape, or a prefix of one; all by default. --before times another build in
the same turns. --peer times another judge's program on the shapes it judges, beside
linecmp: NAME rcmp4, rcmp6 or rcmp9 for testlib's checker of that name (run as testlib
runs it: input, output, answer), any other NAME for an output validator that takes the
problem package format's arguments (DOMjudge's compare.cc, problemtools'
default_validator.cc, BAPCtools' default_output_validator.cpp, built by hand). TMPDIR
says where the files go (up to 2 GiB at a time).

A shape is a row of SHAPES: its name, what it is, a function that writes files a and b
in the current folder, and commands of its own beside the common ones. No terminal is
needed, and nothing here runs in CI: a timing is no test.
"""
import argparse
import os
import platform
import random
import shlex
import shutil
import statistics
import subprocess
import tempfile
import time

MIB = 1 << 20
LETTERS = b"abcdefghijklmnopqrstuvwxyz0123456789 ,.;:-"


def write(path, chunks):
    """Writes the chunks, one after another, to path."""
    with open(path, "wb") as f:
        for chunk in chunks:
            f.write(chunk)


def lines(size_mib, seed=7):
    """Random lines of 0 to 80 characters, about size_mib MiB, in chunks."""
    rng = random.Random(seed)
    pool = [bytes(rng.choices(LETTERS, k=rng.randint(0, 80))) + b"\n" for _ in range(50000)]
    left = size_mib * MIB
    while left > 0:
        chunk = b"".join(rng.choices(pool, k=20000))
        left -= len(chunk)
        yield chunk


def numbers(size_mib, fmt, seed, low=0, high=1000):
    """Random numbers, one a line in fmt, about size_mib MiB; the same draws for one seed."""
    rng = random.Random(seed)
    pool = [rng.randrange(low, high) for _ in range(1 << 16)] if fmt == "%d" else [
        rng.uniform(low, high) for _ in range(1 << 16)]
    text = [(fmt % v).encode() + b"\n" for v in pool]
    left = size_mib * MIB
    while left > 0:
        chunk = b"".join(text[i] for i in rng.choices(range(len(pool)), k=1 << 16))
        left -= len(chunk)
        yield chunk


def shifted(src, dst):
    """dst is src without its first line."""
    with open(src, "rb") as f, open(dst, "wb") as g:
        f.readline()
        while chunk := f.read(MIB):
            g.write(chunk)


def mapped(src, dst, fn):
    """dst is src with fn applied to each chunk of whole lines."""
    with open(src, "rb") as f, open(dst, "wb") as g:
        for chunk in iter(lambda: f.readlines(MIB), []):
            g.write(fn(b"".join(chunk)))


def identical():
    """Two identical files of random lines."""
    write("a", lines(256))
    shutil.copyfile("a", "b")


def every_1000th():
    """Random lines; every 1000th changed in b."""
    write("a", lines(100))
    with open("a", "rb") as f, open("b", "wb") as g:
        for i, line in enumerate(f, 1):
            g.write(b"changed " + line if i % 1000 == 0 else line)


def every_pair():
    """Random lines; in b each character moved on by one, so every pair differs."""
    write("a", lines(100))
    moved = bytes.maketrans(LETTERS, LETTERS[1:] + LETTERS[:1])
    mapped("a", "b", lambda c: c.translate(moved))


def one_line_shift():
    """Random lines; b has one more line at the top."""
    write("a", lines(100))
    write("b", [b"one line inserted at the top\n"] + list(lines(100)))


def crlf():
    """Random lines; b ends them with CR LF."""
    write("a", lines(100))
    mapped("a", "b", lambda c: c.replace(b"\n", b"\r\n"))


def trailing_space():
    """Random lines; b has a space before every line feed."""
    write("a", lines(100))
    mapped("a", "b", lambda c: c.replace(b"\n", b" \n"))


def decimals():
    """The same random floats, to 6 decimals in a and to 7 in b."""
    write("a", numbers(100, "%.6f", 6, -1000, 1000))
    write("b", numbers(110, "%.7f", 6, -1000, 1000))


def numbers_shifted():
    """Random numbers of 0 to 999; b lacks a's first line."""
    write("a", numbers(75, "%d", 10))
    shifted("a", "b")


def one_long_line():
    """Two lines of 1 GiB of zero bytes without line feeds, differing in the last byte."""
    with open("a", "wb") as f:
        f.truncate(1 << 30)
    with open("b", "wb") as f:
        f.truncate((1 << 30) - 1)
        f.write(b"y")


def twice_over():
    """Random lines; b holds them twice."""
    write("a", lines(128))
    write("b", list(lines(128)) * 2)


def empty_lines():
    """Empty lines; b's last one is not."""
    write("a", [b"\n" * (64 * MIB)])
    write("b", [b"\n" * (64 * MIB - 1), b"x\n"])


def one_byte_lines():
    """Lines 'a' against lines 'b'."""
    write("a", [b"a\n" * (32 * MIB)])
    write("b", [b"b\n" * (32 * MIB)])


def one_two_shifted():
    """One- and two-byte lines in turn; b lacks a's first line."""
    write("a", [b"a\nbb\n" * (64 * MIB // 5)])
    shifted("a", "b")


def small():
    """Two files of three short lines, differing in one, and a validator's feedback folder."""
    write("a", [b"1 2\n3 4\n5 6\n"])
    write("b", [b"1 2\n3 5\n5 6\n"])
    os.mkdir("fb")


def judge_numbers():
    """50 MB of random numbers below 10^9, one a line, as answer and output alike, and a
    validator's feedback folder."""
    write("a", numbers(48, "%d", 22, 0, 10**9))
    shutil.copyfile("a", "b")
    os.mkdir("fb")


def judge_crlf():
    """The same numbers; the output ends each line with a space and CR LF."""
    write("a", numbers(48, "%d", 22, 0, 10**9))
    mapped("a", "b", lambda c: c.replace(b"\n", b" \r\n"))
    os.mkdir("fb")


def ninth_digit_off(chunk):
    """Each number of chunk with its 9th significant digit moved on by one, no carry."""
    out = []
    for line in chunk.split(b"\n"):
        digits = [i for i, c in enumerate(line) if 48 <= c <= 57]
        sig = [i for i in digits if i >= next((j for j in digits if line[j] != 48), len(line))]
        if len(sig) >= 9:
            k = sig[8]
            line = line[:k] + bytes([48 + (line[k] - 47) % 10]) + line[k + 1:]
        out.append(line)
    return b"\n".join(out)


def judge_floats():
    """50 MB of random floats to 12 significant digits; the output's each off in its 9th."""
    write("a", numbers(48, "%.12g", 23, -1000, 1000))
    mapped("a", "b", ninth_digit_off)
    os.mkdir("fb")


def floats_file(fmt, count, seed=31, least=-5):
    """count random floats in fmt, one a line, as a list of lines (the same for one seed):
    below 1000 in size, times ten to the least to 5."""
    rng = random.Random(seed)
    pool = [(fmt % (rng.choice((-1, 1)) * rng.uniform(1, 1000) * 10 ** rng.randint(least, 5))).encode()
            for _ in range(1 << 16)]
    return [pool[i] for i in rng.choices(range(len(pool)), k=count)]


def last_digit_off(line):
    """line, a float, with its last digit before any exponent moved by one unit (9 down to 8)."""
    end = line.find(b"e") if b"e" in line else len(line)
    k = end - 1
    return line[:k] + bytes([line[k] - 1 if line[k] == 57 else line[k] + 1]) + line[k + 1:]


def judge_sci():
    """4M floats as %.9e; the output's each off in its last digit."""
    a = floats_file("%.9e", 4 << 20)
    write("a", [b"\n".join(a) + b"\n"])
    write("b", [b"\n".join(last_digit_off(x) for x in a) + b"\n"])
    os.mkdir("fb")


def judge_fixed():
    """Such floats of 1 or more in size as %.6f; the output's each off in its last digit, a
    millionth, which their relative tolerance takes in double arithmetic too."""
    a = floats_file("%.6f", 4 << 20, least=0)
    write("a", [b"\n".join(a) + b"\n"])
    write("b", [b"\n".join(last_digit_off(x) for x in a) + b"\n"])
    os.mkdir("fb")


def judge_point_zero():
    """1 in the answer, 1.0 in the output, 4M times."""
    write("a", [b"1\n" * (4 << 20)])
    write("b", [b"1.0\n" * (4 << 20)])
    os.mkdir("fb")


def judge_nines():
    """0.1000000 in the answer, 0.0999999 in the output, 2M times."""
    write("a", [b"0.1000000\n" * (2 << 20)])
    write("b", [b"0.0999999\n" * (2 << 20)])
    os.mkdir("fb")


def rcmp_ones():
    """2.5M lines 1e0 in both files."""
    write("a", [b"1e0\n" * (5 << 19)])
    shutil.copyfile("a", "b")
    os.mkdir("fb")


def rcmp_triples():
    """1M identical lines of three %.6e floats."""
    a = floats_file("%.6e", 3 << 20)
    write("a", [b"\n".join(b" ".join(a[i:i + 3]) for i in range(0, len(a), 3)) + b"\n"])
    shutil.copyfile("a", "b")
    os.mkdir("fb")


def judge_wrong_first():
    """A 1 GB output whose first token is wrong, against a one-line answer."""
    write("a", [b"1\n"])
    with open("b", "wb") as f:
        f.write(b"x\n")
        f.truncate(10**9)
    os.mkdir("fb")


CALLS = 500  # calls in the loop of the per-call shape


def calls(line):
    """A sh loop of CALLS runs of a command line, as a grader's script makes them."""
    return f"i=0; while [ $i -lt {CALLS} ]; do {line} >/dev/null 2>&1; i=$((i + 1)); done"


class Shape:
    """A row of the benchmark: its name, what it is, the function that writes files a and
    b, extra commands (label, command line with {bin} for the folder of the linecmp
    timed; left out when their program is missing), whether every command runs CALLS
    times in a sh loop, to time starting it, and the command timed under each kernel
    version ({prog} the linecmp timed, {bin} its folder)."""

    def __init__(self, name, about, make, extra=(), loop=False, timed="{prog} a b", peers=None):
        self.name, self.about, self.make, self.extra, self.loop = name, about, make, extra, loop
        self.timed = timed
        # the peers that judge it: "validator FLAGS" for output validators, or a testlib checker's name
        self.peers = peers
        # Before the build's label: the judge program timed, when it is not linecmp.
        self.who = "" if timed == "{prog} a b" else timed.split()[0].replace("{bin}/linecmp-", "") + " "


# The first eight are the shapes the goals are set for.
SHAPES = [
    Shape("identical", "two identical 256 MiB files of random lines of 0 to 80 characters", identical),
    Shape("every-1000th", "100 MiB of such lines, every 1000th line changed", every_1000th),
    Shape("every-pair", "every pair differs, same lengths: each character moved on by one", every_pair),
    Shape("one-line-shift", "one line inserted at the top of the second file", one_line_shift),
    Shape("crlf", "CR LF line ends against LF", crlf),
    Shape("trailing-space", "a space before every line feed of the second file", trailing_space),
    Shape("decimals", "the same random floats to 6 against 7 decimals", decimals),
    Shape("numbers-shifted", "75 MiB of random numbers 0 to 999, against the same less its first line",
          numbers_shifted),
    Shape("one-long-line", "two 1 GiB lines of zero bytes without a line feed, the last byte differs", one_long_line),
    Shape("twice-over", "128 MiB of lines against the same twice, so the extra half is counted", twice_over),
    Shape("empty-lines", "64 Mi empty lines against the same with the last changed", empty_lines),
    Shape("one-byte-lines", "32 Mi lines 'a' against as many 'b'", one_byte_lines),
    Shape("one-two-shifted", "64 MiB of one- and two-byte lines in turn, shifted by a line", one_two_shifted),
    # The judges' rules, each as linecmp-validator judges by default, beside linecmp's own
    # exact comparison of the same files.
    Shape("judge-same", "the validator's default rules on 50 MB of numbers against the same", judge_numbers,
          [("linecmp exact", "{bin}/linecmp a b")], timed="{bin}/linecmp-validator in a fb < b"),
    Shape("judge-crlf", "the same, the output with a space and CR LF at each line end (accepted)", judge_crlf,
          [("linecmp exact", "{bin}/linecmp a b")], timed="{bin}/linecmp-validator in a fb < b"),
    Shape("judge-floats", "50 MB of floats, each off in its 9th digit, float_tolerance 1e-6 (accepted)",
          judge_floats, timed="{bin}/linecmp-validator in a fb float_tolerance 1e-6 < b"),
    # Numbers, each beside the peers that judge it (--peer).
    Shape("num-sci", "4M floats as %.9e, each off in its last digit, float_tolerance 1e-6 (accepted)", judge_sci,
          timed="{bin}/linecmp-validator in a fb float_tolerance 1e-6 < b", peers="validator float_tolerance 1e-6"),
    Shape("num-fixed", "the same floats as %.6f, each off in its last digit, float_tolerance 1e-6", judge_fixed,
          timed="{bin}/linecmp-validator in a fb float_tolerance 1e-6 < b", peers="validator float_tolerance 1e-6"),
    Shape("num-point-zero", "1.0 in the output for 1 in the answer, 4M times, float_tolerance 1e-6",
          judge_point_zero, timed="{bin}/linecmp-validator in a fb float_tolerance 1e-6 < b",
          peers="validator float_tolerance 1e-6"),
    Shape("num-nines", "0.0999999 for 0.1000000, 2M times, float_tolerance 1e-6", judge_nines,
          timed="{bin}/linecmp-validator in a fb float_tolerance 1e-6 < b", peers="validator float_tolerance 1e-6"),
    Shape("num-rcmp9-ones", "rcmp9 on 2.5M identical lines 1e0", rcmp_ones, timed="{bin}/linecmp-rcmp9 in b a",
          peers="rcmp9"),
    Shape("num-rcmp6-triples", "rcmp6 on 1M identical lines of three %.6e", rcmp_triples,
          timed="{bin}/linecmp-rcmp6 in b a", peers="rcmp6"),
    Shape("num-rcmp6-sci", "rcmp6 on the %.9e floats, each off in its last digit", judge_sci,
          timed="{bin}/linecmp-rcmp6 in b a", peers="rcmp6"),
    Shape("num-spacing", "the validator's default rules, the output with a space and CR LF at each line end",
          judge_crlf, [("linecmp exact", "{bin}/linecmp a b")], timed="{bin}/linecmp-validator in a fb < b",
          peers="validator"),
    Shape("judge-wrong-first", "a 1 GB output whose first token is wrong", judge_wrong_first,
          timed="{bin}/linecmp-validator in a fb < b"),
    # The exact checker reads both files to the end to name the kind of difference in the
    # jury's message: its cost against the floor, equal files and three kinds.
    Shape("checker-identical", "linecmp-checker on the files of identical (kind same)", identical,
          timed="{bin}/linecmp-checker a b a"),
    Shape("checker-crlf", "linecmp-checker on the files of crlf (line-endings)", crlf, timed="{bin}/linecmp-checker a b a"),
    Shape("checker-trailing-space", "linecmp-checker on the files of trailing-space (trailing-space)", trailing_space,
          timed="{bin}/linecmp-checker a b a"),
    Shape("checker-every-pair", "linecmp-checker on the files of every-pair (content)", every_pair,
          timed="{bin}/linecmp-checker a b a"),
    Shape("per-call", f"{CALLS} calls on two 3-line files in a sh loop: the cost of one call", small, [
        ("linecmp static", "{bin}/../build-static/linecmp a b"),
        ("validator static", "{bin}/../build-static/linecmp-validator in a fb < b"),
    ], loop=True),
]


def kernels(binary):
    """The kernel versions this CPU runs, as the program itself tells by refusing others."""
    with tempfile.NamedTemporaryFile() as f:
        found = []
        for name in ("portable", "sse2", "avx2", "avx512"):
            env = dict(os.environ, LINECMP_KERNEL=name)
            if subprocess.run([binary, f.name, f.name], env=env, capture_output=True).returncode == 0:
                found.append(name)
        return found


def run_once(cmd, env):
    """Runs cmd (an argv list and the file for its standard input, or None) with its
    output discarded; returns the wall seconds."""
    args, stdin = cmd
    null = os.open(os.devnull, os.O_WRONLY)
    actions = [(os.POSIX_SPAWN_DUP2, null, 1), (os.POSIX_SPAWN_DUP2, null, 2)]
    if stdin:
        actions.append((os.POSIX_SPAWN_OPEN, 0, stdin, os.O_RDONLY, 0))
    t0 = time.perf_counter()
    pid = os.posix_spawnp(args[0], args, env, file_actions=actions)
    os.waitpid(pid, 0)
    t1 = time.perf_counter()
    os.close(null)
    return t1 - t0


def peak(cmd, env):
    """The peak memory of cmd in MiB, under /usr/bin/time: a child of this process would
    report this process's own peak, which it inherits; None without /usr/bin/time."""
    if not os.access("/usr/bin/time", os.X_OK):
        return None
    args, stdin = cmd
    with tempfile.NamedTemporaryFile("r") as f, open(stdin or os.devnull, "rb") as given:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", f.name] + args, env=env, stdin=given,
                       capture_output=True)
        return int(f.read().split()[-1]) / 1024


def measure(commands, runs):
    """The median seconds and the peak MiB of each command (label, command, environment),
    after an untimed run that also reads the files into the page cache; the commands
    take turns."""
    mib = {label: peak(cmd, env) for label, cmd, env in commands}
    times = {label: [] for label, _, _ in commands}
    for _ in range(runs):
        for label, cmd, env in commands:
            times[label].append(run_once(cmd, env))
    return {label: (statistics.median(times[label]), mib[label]) for label in times}


def argv(cmd):
    """A command line as an argv, and the file its standard input comes from when it ends
    in "< FILE" (None otherwise): through sh only when it needs the shell for more, since
    starting sh too adds about 5 ms a run, a third of a judge shape's floor."""
    line, stdin = cmd, None
    if " < " in cmd:
        line, _, stdin = cmd.rpartition(" < ")
        stdin = stdin.strip()
    if any(c in line for c in "<>|;$") or (stdin is not None and any(c in stdin for c in "<>|;$ ")):
        return ["sh", "-c", cmd], None
    return shlex.split(line), stdin


def cpu():
    """The CPU's model name."""
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return platform.processor() or platform.machine()


def commands(shape, floor, builds, versions, peers=()):
    """The (label, argv, environment) of every command timed on shape, the peers (name,
    path) that judge it among them."""
    env = dict(os.environ)
    cmds = [("floor", f"{floor} a b", env)]
    for label, prog in builds:
        line = shape.timed.format(prog=prog, bin=os.path.dirname(prog))
        cmds += [(f"{shape.who}{label} {v}", line, dict(env, LINECMP_KERNEL=v)) for v in versions]
    cmds += [("wc -l", "wc -l a b", env), ("cmp", "cmp a b", env)]
    bindir = os.path.dirname(builds[0][1])
    for label, line in shape.extra:
        line = line.format(bin=bindir)
        program = shlex.split(line)[0]
        if shutil.which(program):
            cmds.append((label, line, env))
    for name, path in peers:
        if shape.peers == name:
            cmds.append((name, f"{path} in b a", env))
        elif shape.peers and shape.peers.startswith("validator") and not name.startswith("rcmp"):
            cmds.append((name, f"{path} in a fb{shape.peers[len('validator'):]} < b", env))
    return [(label, argv(calls(line) if shape.loop else line), e) for label, line, e in cmds]


def main():
    """Generates each shape asked for in a scratch folder, times its commands, prints its rows."""
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--bin", default=os.path.join(top, "build", "linecmp"), help="the linecmp to time")
    ap.add_argument("--before", help="another linecmp to time in the same turns")
    ap.add_argument("--runs", type=int, default=5, help="timed runs of each command")
    ap.add_argument("--kernels", help="comma-separated versions to time, of those this CPU runs (default all)")
    ap.add_argument("--peer", action="append", default=[], metavar="NAME=PATH",
                    help="another judge's program to time on the shapes it judges")
    ap.add_argument("shapes", nargs="*", help="shape names, or prefixes of them (default all)")
    args = ap.parse_args()
    builds = [("linecmp", os.path.abspath(args.bin))]
    if args.before:
        builds.append(("before", os.path.abspath(args.before)))
    versions = kernels(builds[0][1])
    if args.kernels:
        versions = [v for v in args.kernels.split(",") if v in versions]
    peers = [(p.partition("=")[0], os.path.abspath(p.partition("=")[2])) for p in args.peer]
    chosen = [s for s in SHAPES if not args.shapes or any(s.name.startswith(p) for p in args.shapes)]

    work = tempfile.mkdtemp(prefix="linecmp-bench.")
    try:
        floor = os.path.join(work, "floor")
        subprocess.run(["cc", "-O2", "-o", floor, os.path.join(top, "bench", "floor.c")], check=True)
        os.chdir(work)
        print(f"CPU: {cpu()}, {os.cpu_count()} cores; {platform.system()} {platform.release()}; "
              f"kernel versions: {', '.join(versions)}; {args.runs} runs each, taking turns; medians; "
              "files in the page cache\n")
        for shape in chosen:
            print(f"- {shape.name}: {shape.about}")
        print("\n| shape | command | median s | peak MiB | ÷ floor |\n|---|---|---:|---:|---:|")
        for shape in chosen:
            shape.make()
            open("in", "a").close()  # the judges' input file, which none of them reads here
            got = measure(commands(shape, floor, builds, versions, peers), args.runs)
            base = got["floor"][0]
            for label, (sec, mib) in got.items():
                mem = "-" if mib is None else f"{mib:.1f}"
                print(f"| {shape.name} | {label} | {sec:.4f} | {mem} | {sec / base:.2f} |", flush=True)
            for f in os.listdir(work):
                if f != "floor":
                    shutil.rmtree(f) if os.path.isdir(f) else os.remove(f)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
