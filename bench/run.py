#!/usr/bin/env python3
"""Times linecmp on generated shapes of files, as ratios to the read floor.

The read floor (floor.c) reads both files 64 KiB at a time, in turn, and memcmps the
blocks: the cost of getting the bytes at all. Every command of a shape runs on the same
two files, from the page cache (one untimed run first), the commands taking turns run by
run so that a slow spell of the machine hits them alike; a row is the median wall time,
the median CPU time (user and system, of the command and what it waits for), the peak
memory, and both medians as ratios to the floor's. linecmp runs once for each kernel
version this CPU runs (LINECMP_KERNEL), beside `wc -l` and `cmp`. The load average is
printed at the start and the end: CPU time is the steadier figure on a busy machine.

  bench/run.py [--bin BUILD/linecmp] [--before OTHER/linecmp] [--runs 5]
               [--peer NAME=PATH ...] [SHAPE ...]

SHAPE names a shape, or a prefix of one; all by default. --before times another build in
the same turns. --peer times another judge's program on the shapes it judges, beside
linecmp: NAME rcmp4, rcmp6 or rcmp9 for testlib's checker of that name (run as testlib
runs it: input, output, answer), any other NAME for an output validator that takes the
problem package format's arguments (DOMjudge's compare.cc, problemtools'
default_validator.cc, BAPCtools' default_output_validator.cpp, built by hand). TMPDIR
says where the files go (up to 2 GiB at a time).

The shapes are data, in shapes.toml beside this file: what each is, how its two files
are made (by the makers in shapes.py), the command timed and what runs beside it. No
terminal is needed, and nothing here runs in CI: a timing is no test.
"""
import argparse
import os
import platform
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import tomllib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import shapes  # noqa: E402  (beside this file, wherever it is run from)


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
    output discarded; returns the wall seconds and the CPU seconds, user and system, of
    cmd and of whatever it waited for (a sh loop's runs)."""
    args, stdin = cmd
    null = os.open(os.devnull, os.O_WRONLY)
    actions = [(os.POSIX_SPAWN_DUP2, null, 1), (os.POSIX_SPAWN_DUP2, null, 2)]
    if stdin:
        actions.append((os.POSIX_SPAWN_OPEN, 0, stdin, os.O_RDONLY, 0))
    t0 = time.perf_counter()
    pid = os.posix_spawnp(args[0], args, env, file_actions=actions)
    _, _, usage = os.wait4(pid, 0)
    t1 = time.perf_counter()
    os.close(null)
    return t1 - t0, usage.ru_utime + usage.ru_stime


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
    """The median wall and CPU seconds and the peak MiB of each command (label, command,
    environment), after an untimed run that also reads the files into the page cache;
    the commands take turns."""
    mib = {label: peak(cmd, env) for label, cmd, env in commands}
    times = {label: [] for label, _, _ in commands}
    for _ in range(runs):
        for label, cmd, env in commands:
            times[label].append(run_once(cmd, env))
    return {label: (statistics.median(t[0] for t in got), statistics.median(t[1] for t in got), mib[label])
            for label, got in times.items()}


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


def load():
    """The load averages over 1, 5 and 15 minutes, as uptime prints them."""
    return ", ".join(f"{x:.2f}" for x in os.getloadavg())


def calls(line, count):
    """A sh loop of count runs of a command line, as a grader's script makes them."""
    return f"i=0; while [ $i -lt {count} ]; do {line} >/dev/null 2>&1; i=$((i + 1)); done"


def commands(shape, floor, builds, versions, peers=()):
    """The (label, argv, environment) of every command timed on shape (a table of
    shapes.toml), the peers (name, path) that judge it among them."""
    env = dict(os.environ)
    timed = shape.get("timed", "{prog} a b")
    # Before the build's label: the judge program timed, when it is not linecmp.
    who = "" if timed == "{prog} a b" else timed.split()[0].replace("{bin}/linecmp-", "") + " "
    cmds = [("floor", f"{floor} a b", env)]
    for label, prog in builds:
        line = timed.format(prog=prog, bin=os.path.dirname(prog))
        cmds += [(f"{who}{label} {v}", line, dict(env, LINECMP_KERNEL=v)) for v in versions]
    cmds += [("wc -l", "wc -l a b", env), ("cmp", "cmp a b", env)]
    bindir = os.path.dirname(builds[0][1])
    for label, line in shape.get("extra", []):
        line = line.format(bin=bindir)
        program = shlex.split(line)[0]
        if shutil.which(program):
            cmds.append((label, line, env))
    judged = shape.get("peers", "")
    for name, path in peers:
        if judged == name:
            cmds.append((name, f"{path} in b a", env))
        elif judged.startswith("validator") and not name.startswith("rcmp"):
            cmds.append((name, f"{path} in a fb{judged[len('validator'):]} < b", env))
    loop = shape.get("loop", False)
    return [(label, argv(calls(line, shape["calls"]) if loop else line), e) for label, line, e in cmds]


def make_files(shape, table):
    """Writes the shape's files a and b in the current folder, an empty input file in and
    an empty feedback folder fb beside them."""
    source = next(s for s in table if s["name"] == shape["like"]) if "like" in shape else shape
    shapes.make(source["a"], "a")
    shapes.make(source["b"], "b", "a")
    open("in", "w").close()
    os.mkdir("fb")


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
    with open(os.path.join(top, "bench", "shapes.toml"), "rb") as f:
        table = tomllib.load(f)["shape"]
    chosen = [s for s in table if not args.shapes or any(s["name"].startswith(p) for p in args.shapes)]

    work = tempfile.mkdtemp(prefix="linecmp-bench.")
    try:
        floor = os.path.join(work, "floor")
        subprocess.run(["cc", "-O2", "-o", floor, os.path.join(top, "bench", "floor.c")], check=True)
        os.chdir(work)
        print(f"CPU: {cpu()}, {os.cpu_count()} cores; {platform.system()} {platform.release()}; "
              f"kernel versions: {', '.join(versions)}; {args.runs} runs each, taking turns; medians; "
              f"files in the page cache; load average at the start: {load()}\n")
        for shape in chosen:
            print(f"- {shape['name']}: {shape['about']}")
        print("\n| shape | command | median s | CPU s | peak MiB | ÷ floor | CPU ÷ floor's |\n"
              "|---|---|---:|---:|---:|---:|---:|")
        for shape in chosen:
            make_files(shape, table)
            got = measure(commands(shape, floor, builds, versions, peers), args.runs)
            wall, cpu_s, _ = got["floor"]
            for label, (sec, used, mib) in got.items():
                mem = "-" if mib is None else f"{mib:.1f}"
                print(f"| {shape['name']} | {label} | {sec:.4f} | {used:.4f} | {mem} | {sec / wall:.2f} | "
                      f"{used / max(cpu_s, 1e-6):.2f} |", flush=True)
            for f in os.listdir(work):
                if f != "floor":
                    shutil.rmtree(f) if os.path.isdir(f) else os.remove(f)
        print(f"\nload average at the end: {load()}")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
