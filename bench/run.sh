#!/usr/bin/env bash
# Times linecmp beside cmp, diff -q, diff and wc -l on five generated workloads and prints
# one table: the median wall time and peak memory of each, and linecmp's time as a
# ratio of each one's. Files are read from the page cache (one untimed run first).
#
#   bench/run.sh [BINARY]     (default: build/linecmp; RUNS=5 runs each; TMPDIR for the files)
# The workloads take up to 2.2 GiB of disk at a time, and are removed afterwards.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$(readlink -f "${1:-$top/build/linecmp}")
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

names=(linecmp cmp "diff -q" diff "wc -l")
cmds=("$bin a b" "cmp a b" "diff -q a b" "diff a b" "wc -l a b")

# Prints "median_seconds peak_rss_kib" for one command over $runs runs.
measure() {
  local times=() rss=0 t0 t1 m
  eval "$1" >/dev/null 2>&1 || true
  for ((i = 0; i < runs; i++)); do
    t0=$(date +%s%N)
    /usr/bin/time -f %M -o rss.txt bash -c "exec $1" >/dev/null 2>&1 || true
    t1=$(date +%s%N)
    times+=($(((t1 - t0) / 1000)))
    m=$(tail -n 1 rss.txt)
    ((m > rss)) && rss=$m
  done
  printf '%s\n' "${times[@]}" | sort -n | awk -v rss="$rss" '{ t[NR] = $1 } END { printf "%.4f %d\n", t[int((NR + 1) / 2)] / 1e6, rss }'
}

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
echo "Machine: $cpu, $(nproc) cores, $(free -g | awk '/Mem:/ { print $2 }') GiB, $(uname -sr); $runs runs each, files in the page cache"
echo
printf '| %-8s | %-8s | %10s | %9s | %14s |\n' workload tool "median s" "peak MiB" "linecmp ÷ tool"
printf '|----------|----------|-----------:|----------:|---------------:|\n'
for w in 1 2 3 4 5; do
  "make_w$w"
  declare -A sec=() mib=()
  for k in "${!names[@]}"; do
    read -r s r < <(measure "${cmds[$k]}")
    sec[$k]=$s
    mib[$k]=$(awk -v r="$r" 'BEGIN { printf "%.1f", r / 1024 }')
  done
  for k in "${!names[@]}"; do
    ratio=$(awk -v a="${sec[0]}" -v b="${sec[$k]}" 'BEGIN { printf "%.2f", a / b }')
    printf '| W%-7s | %-8s | %10s | %9s | %14s |\n' "$w" "${names[$k]}" "${sec[$k]}" "${mib[$k]}" "$ratio"
  done
  rm -f a b
done
