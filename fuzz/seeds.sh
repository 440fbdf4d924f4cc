#!/usr/bin/env bash
# Writes a seed corpus for linecmp_fuzz from the end-to-end cases: one input per case
# that has two plain input files, in the fuzz target's input format.
#
#   fuzz/seeds.sh OUT_DIR
set -euo pipefail
export LC_ALL=C # label lengths in bytes
top=$(cd "$(dirname "$0")/.." && pwd)
out=$1
mkdir -p "$out"
byte() { printf "\\$(printf '%03o' "$1")"; }
i=0
for dir in "$top"/tests/cases/*/; do
  [ -f "$dir/file1" ] && [ -f "$dir/file2" ] || continue
  [ -L "$dir/file1" ] || [ -L "$dir/file2" ] && continue
  len=$(stat -c %s "$dir/file1")
  ((len < 65536)) || continue
  mapfile -t args < "$dir/args"
  labels=$((${#args[@]} > 4 ? 2 : ${#args[@]} - 2))
  ((labels < 0)) && labels=0
  # the fifth byte takes turns among the target's 17 sets of rules and flags
  {
    byte $((i % 9)); byte "$labels"; byte $((len & 255)); byte $((len >> 8)); byte $((i % 17))
    cat "$dir/file1"
    for ((k = 0; k < labels; k++)); do
      label=${args[$((k + 2))]}
      byte "${#label}"
      printf '%s' "$label"
    done
    cat "$dir/file2"
  } > "$out/$(basename "$dir")"
  i=$((i + 1))
done
