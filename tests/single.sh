#!/usr/bin/env bash
# Builds each judge program from its one source file (build/single/), as judges build a
# checker, with DOMjudge's line and a plain one, and runs that program's end-to-end cases
# against it: the same results as the CMake build. The build with DOMjudge's line runs
# them under every kernel version this CPU runs.
#
#   tests/single.sh [BUILD_DIR]     (default: build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The kernel versions this CPU runs: linecmp refuses the others.
versions=
for version in portable sse2 avx2 avx512; do
  LINECMP_KERNEL=$version "$build/linecmp" /dev/null /dev/null >/dev/null 2>&1 && versions+=" $version"
done
lines=("g++ -Wall -O2 -std=gnu++20" "g++ -O2 -std=gnu++17")  # DOMjudge's, and a plain one
# Every build first, two at a time; each must give no warning.
for file in "$build"/single/linecmp-*.cpp; do
  for k in 0 1; do printf '%s\0%s\0' "$file" "$k"; done
done | xargs -0 -n 2 -P 2 bash -c '
  name=$(basename "$1" .cpp); dir='"$work"'/$name.$2; mkdir -p "$dir"; cp "$1" "$dir/"
  line=(g++ -Wall -O2 -std=gnu++20); [ "$2" = 1 ] && line=(g++ -O2 -std=gnu++17)
  cd "$dir" && "${line[@]}" "$name.cpp" -o run 2>warnings && [ ! -s warnings ] || { echo "$name: ${line[*]}:"; cat warnings; exit 255; }' _
failed=0
for file in "$build"/single/linecmp-*.cpp; do
  name=$(basename "$file" .cpp)
  for k in 0 1; do
    cases=0
    for dir in "$top"/tests/cases/*/; do
      [ "$(cat "$dir/program" 2>/dev/null)" = "$name" ] || continue
      [ -f "$dir/arch" ] && [ "$(cat "$dir/arch")" != "$(uname -m)" ] && continue
      # The plain build runs under the kernels picked by default; the other under each.
      runs=$versions
      [ $k = 1 ] && runs=default
      for version in $runs; do
        [ "$version" = default ] && version=
        if ! LINECMP_KERNEL=$version bash "$top/tests/run_case.sh" "$work/$name.$k/run" "$dir" >"$work/log" 2>&1; then
          echo "FAILED: $name (${lines[$k]}, $version) on $(basename "$dir")"
          cat "$work/log"
          failed=1
        fi
      done
      cases=$((cases + 1))
    done
    echo "$name, built by \"${lines[$k]}\": $cases cases, each with the kernels: $runs"
  done
done
exit $failed
