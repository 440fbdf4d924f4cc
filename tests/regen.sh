#!/usr/bin/env bash
# Writes the expected results of end-to-end cases from what the built programs do now. It
# runs each case as the test runner does, shows how the result differs from what the
# case holds (for a new case, all of it), and asks before it writes anything.
#
#   tests/regen.sh [BUILD_DIR] [CASE_DIR ...]     (default: build/, every case)
#
# A new case needs only its inputs and its args file (and program, stdin, stdin_via or
# stdout_to when it uses them): regen.sh creates expected and status, and stderr and
# after/ when the program writes them. Read what it shows before you answer y: the
# program's output becomes the case's truth.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(readlink -f "${1:-$top/build}")
shift || true
cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=("$top"/tests/cases/*/)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for dir in "${cases[@]}"; do
  dir=${dir%/}
  name=$(basename "$dir")
  program=linecmp
  [ -f "$dir/program" ] && program=$(cat "$dir/program")
  if [ ! -x "$build/$program" ]; then
    echo "== $name: no $build/$program; build it first (cmake --workflow --preset default)"
    continue
  fi
  rm -rf "$work/now" "$work/was"
  mkdir -p "$work/was"
  KEEP=$work/now bash "$top/tests/run_case.sh" "$build/$program" "$dir" >/dev/null 2>&1
  [ -s "$work/now/stderr" ] || rm -f "$work/now/stderr"
  for f in expected status stderr after; do
    [ "$f" = expected ] && [ -f "$dir/stdout_to" ] && continue # its output goes elsewhere
    [ -e "$dir/$f" ] && cp -r "$dir/$f" "$work/was/"
  done
  if diff -r "$work/was" "$work/now" >/dev/null; then
    continue
  fi
  echo "== $name"
  (cd "$work" && diff -ruN was now)
  read -r -p "Write this into $name? [y/N] " answer
  if [ "$answer" = y ]; then
    rm -rf "$dir/status" "$dir/stderr" "$dir/after"
    [ -f "$dir/stdout_to" ] || rm -f "$dir/expected"
    cp -r "$work/now/." "$dir/"
  fi
done
