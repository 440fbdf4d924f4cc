#!/usr/bin/env bash
# Times linecmp beside cmp, diff -q, diff and wc -l on ten generated workloads and prints
# one table: the median wall time and peak memory of each, and linecmp's time as a
# ratio of each one's. Files are read from the page cache (one untimed run first), and
# the tools take turns, run by run, so that a slow spell of the machine hits them alike.
# W9 is the cost of one call, as a grader pays it once per test case: a loop of many
# calls on two small files, for linecmp (dynamic and static), the judges' front-ends
# (static), cmp and diff, in a table of its own.
#
#   bench/run.sh [BINARY] [WORKLOAD ...]
#     BINARY defaults to build/linecmp, the workloads to 1 to 11; RUNS=5 runs each; TMPDIR
#     for the files; STATIC the static binary for W9 (build-static/linecmp by default,
#     left out if missing), CALLS=500 the calls in its loop; BEFORE another build of
#     linecmp to time in the same turns, as "before", to measure a change.
# The workloads take up to 2.2 GiB of disk at a time, and are removed afterwards.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$(readlink -f "${1:-$top/build/linecmp}")
shift || true
workloads=("$@")
[ ${#workloads[@]} -eq 0 ] && workloads=(1 2 3 4 5 6 7 8 9 10 11)
runs=${RUNS:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/linecmp-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# Random lines of 0 to 80 characters, to about $2 MiB, into $1.
lines() {
  python3 - "$1" "$2" <<'PY'
import random, sys
random.seed(7)
letters = b"abcdefghijklmnopqrstuvwxyz0123456789 ,.;:-"
pool = [bytes(random.choices(letters, k=random.randint(0, 80))) + b"\n" for _ in range(50000)]
want = int(sys.argv[2]) << 20
with open(sys.argv[1], "wb") as f:
    size = 0
    while size < want:
        chunk = b"".join(random.choices(pool, k=20000))
        f.write(chunk)
        size += len(chunk)
PY
}

make_w1() { lines a 256; cp a b; }
make_w2() {
  lines a 100
  python3 - <<'PY'
with open("a", "rb") as f, open("b", "wb") as g:
    for i, line in enumerate(f, 1):
        g.write(b"changed " + line if i % 1000 == 0 else line)
PY
}
make_w3() {
  head -c 1G /dev/zero | tr '\0' x > a
  cp a b
  printf y | dd of=b bs=1 seek=$(((1 << 30) - 1)) conv=notrunc status=none
}
make_w4() { lines a 128; cat a a > b; }
make_w5() {
  head -c 64M /dev/zero | tr '\0' '\n' > a
  head -c $(((64 << 20) - 1)) a > b
  printf 'x\n' >> b
}
# Every line differs: the same lines with each character moved on by one in the alphabet.
make_w6() {
  lines a 100
  python3 - <<'PY'
letters = b"abcdefghijklmnopqrstuvwxyz0123456789 ,.;:-"
with open("a", "rb") as f, open("b", "wb") as g:
    g.write(f.read().translate(bytes.maketrans(letters, letters[1:] + letters[:1])))
PY
}
make_w7() { lines a 100; { echo "one line inserted at the top"; cat a; } > b; }
make_w8() {
  python3 -c 'open("a", "wb").write(b"a\n" * (32 << 20)); open("b", "wb").write(b"b\n" * (32 << 20))'
}

# Short lines whose line feeds never line up, as an answer of one number a line against
# an output that lost its first line: random numbers 0 to 999, 75 MiB.
make_w10() {
  python3 - <<'PY'
import random
random.seed(10)
pool = [b"%d\n" % random.randrange(1000) for _ in range(1 << 16)]
with open("a", "wb") as f:
    for _ in range(300):
        f.write(b"".join(random.choices(pool, k=1 << 16)))
PY
  tail -n +2 a > b
}
# The shortest lines that never pair alike: one- and two-byte lines in turn, 64 MiB,
# against the same shifted by a line, so every pair differs in length.
make_w11() {
  python3 -c 'open("a", "wb").write(b"a\nbb\n" * ((64 << 20) // 5))'
  tail -n +2 a > b
}

names=(linecmp cmp "diff -q" diff "wc -l")
cmds=("$bin a b" "cmp a b" "diff -q a b" "diff a b" "wc -l a b")
before=
if [ -n "${BEFORE:-}" ]; then
  before=$(readlink -f "$BEFORE")
  names+=(before)
  cmds+=("$before a b")
fi

# Times the commands in cmds, taking turns, $runs rounds; sets sec[k] to the median
# seconds and mib[k] to the peak memory of command k.
measure() {
  local k r t0 t1 m
  declare -A times=() peak=()
  for k in "${!cmds[@]}"; do eval "${cmds[$k]}" >/dev/null 2>&1 || true; done
  for ((r = 0; r < runs; r++)); do
    for k in "${!cmds[@]}"; do
      t0=$(date +%s%N)
      /usr/bin/time -f %M -o rss.txt bash -c "exec ${cmds[$k]}" >/dev/null 2>&1 || true
      t1=$(date +%s%N)
      times[$k]+="$(((t1 - t0) / 1000)) "
      m=$(tail -n 1 rss.txt)
      ((m > ${peak[$k]:-0})) && peak[$k]=$m
    done
  done
  for k in "${!cmds[@]}"; do
    sec[$k]=$(printf '%s\n' ${times[$k]} | sort -n | awk '{ t[NR] = $1 } END { printf "%.4f", t[int((NR + 1) / 2)] / 1e6 }')
    mib[$k]=$(awk -v r="${peak[$k]}" 'BEGIN { printf "%.1f", r / 1024 }')
  done
}

# The scan kernels the program picks: AVX-512 where the CPU has AVX-512 BW, DQ, VL, VBMI
# and VBMI2 with BMI2, else AVX2 where it has AVX2 and popcnt, SSE2 on other x86-64 CPUs, the
# portable ones elsewhere.
kernels=portable
has() { for flag in "$@"; do grep -qw "$flag" /proc/cpuinfo || return 1; done; }
if [ "$(uname -m)" = x86_64 ]; then
  kernels=sse2
  has avx2 popcnt && kernels=avx2
  has avx512f avx512bw avx512dq avx512vl avx512vbmi avx512_vbmi2 bmi2 popcnt && kernels=avx512
fi
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
echo "Machine: $cpu, $(nproc) cores, $(free -g | awk '/Mem:/ { print $2 }') GiB, $(uname -sr); $kernels kernels; $runs runs each, taking turns, files in the page cache"
echo
if [ "${workloads[*]}" != 9 ]; then
  printf '| %-8s | %-8s | %10s | %9s | %14s |\n' workload tool "median s" "peak MiB" "linecmp ÷ tool"
  printf '|----------|----------|-----------:|----------:|---------------:|\n'
fi
per_call=false
for w in "${workloads[@]}"; do
  [ "$w" = 9 ] && { per_call=true; continue; }
  "make_w$w"
  declare -A sec=() mib=()
  measure
  for k in "${!names[@]}"; do
    ratio=$(awk -v a="${sec[0]}" -v b="${sec[$k]}" 'BEGIN { printf "%.2f", a / b }')
    printf '| W%-7s | %-8s | %10s | %9s | %14s |\n' "$w" "${names[$k]}" "${sec[$k]}" "${mib[$k]}" "$ratio"
  done
  rm -f a b
done

# W9: the same loop of calls for each tool, in sh as a grader's script would run it.
if $per_call; then
  printf '1 2\n3 4\n5 6\n' > a
  printf '1 2\n3 5\n5 6\n' > b
  calls=${CALLS:-500}
  static=$(readlink -f "${STATIC:-$top/build-static/linecmp}" || true)
  mkdir -p feedback
  # Each tool's call on the two files, as its caller makes it.
  names=(linecmp)
  tools=("$bin a b")
  if [ -n "$before" ]; then
    names+=(before)
    tools+=("$before a b")
  fi
  if [ -x "$static" ]; then
    names+=("linecmp static")
    tools+=("$static a b")
    # The judges' front-ends, built beside it, as a judge calls them.
    sdir=$(dirname "$static")
    if [ -x "$sdir/linecmp-validator" ]; then
      names+=("validator st." "checker st." "cms static")
      tools+=("$sdir/linecmp-validator in a feedback <b" "$sdir/linecmp-checker in b a 2>/dev/null"
        "$sdir/linecmp-cms in a b 2>/dev/null")
    fi
  fi
  names+=(cmp diff)
  tools+=("cmp a b" "diff a b")
  cmds=()
  for t in "${tools[@]}"; do
    cmds+=("sh -c 'i=0; while [ \$i -lt $calls ]; do $t >/dev/null; i=\$((i + 1)); done'")
  done
  declare -A sec=() mib=()
  measure
  cmp_k=$((${#names[@]} - 2))
  echo
  printf '| W9: %4d calls | %-14s | %11s | %9s |\n' "$calls" tool "ms per call" "÷ cmp"
  printf '|----------------|----------------|------------:|----------:|\n'
  for k in "${!names[@]}"; do
    ms=$(awk -v s="${sec[$k]}" -v n="$calls" 'BEGIN { printf "%.3f", s * 1000 / n }')
    ratio=$(awk -v a="${sec[$k]}" -v b="${sec[$cmp_k]}" 'BEGIN { printf "%.2f", a / b }')
    printf '| W9             | %-14s | %11s | %9s |\n' "${names[$k]}" "$ms" "$ratio"
  done
fi
