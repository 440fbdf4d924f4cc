#!/usr/bin/env bash
# Runs one end-to-end case folder against the built program and compares what it
# prints and returns with what the folder expects.
#
#   run_case.sh BINARY CASE_DIR
#
# The folder holds:
#   args      the arguments after the program name, one per line (the two inputs are
#             usually the files file1 and file2 beside it)
#   expected  the expected standard output
#   status    the expected exit status
#   stderr    optional: the expected standard error (otherwise it must be empty)
#   stdout_to optional: a path standard output goes to instead (such as /dev/full)
#   stdin     optional: bytes written to the program through a pipe on its standard input,
#             which the arguments can name as /dev/stdin (a FIFO, as with <(...))
# The program runs inside the folder, under the name linecmp. When RUNNER is set, it is
# the emulator that runs a program built for another machine, such as
# RUNNER="qemu-s390x -L /usr/s390x-linux-gnu"; it must take -0 for the program's name.
set -u
bin=$1
dir=$2
cd "$dir" || exit 2
args=()
[ -f args ] && mapfile -t args < args
got=$(mktemp) err=$(mktemp)
trap 'rm -f "$got" "$err"' EXIT
target=$got
[ -f stdout_to ] && target=$(cat stdout_to)
input=/dev/null
[ -f stdin ] && input=stdin
if [ -n "${RUNNER:-}" ]; then
  cat "$input" | $RUNNER -0 linecmp "$bin" "${args[@]}" >"$target" 2>"$err"
else
  cat "$input" | (exec -a linecmp "$bin" "${args[@]}") >"$target" 2>"$err"
fi
status=${PIPESTATUS[1]}
fail=0
if [ -f stdout_to ]; then
  : # standard output went elsewhere; nothing to compare
elif ! diff -u --label expected --label got expected "$got"; then
  fail=1
fi
want_err=/dev/null
[ -f stderr ] && want_err=stderr
if ! diff -u --label "expected stderr" --label "got stderr" "$want_err" "$err"; then
  fail=1
fi
want_status=$(cat status)
if [ "$status" != "$want_status" ]; then
  echo "exit status $status, expected $want_status"
  fail=1
fi
exit $fail
