#!/usr/bin/env bash
# Runs one end-to-end case folder against a built program and compares what it prints,
# writes and returns with what the folder expects.
#
#   run_case.sh BINARY CASE_DIR
#
# The folder holds:
#   args      the arguments after the program name, one per line (the two inputs are
#             usually the files file1 and file2 beside it)
#   expected  the expected standard output
#   status    the expected exit status
#   stderr    optional: the expected standard error (otherwise it must be empty)
#   program   optional: the program the case runs, when not linecmp (one of the judge
#             programs, such as linecmp-validator); CMake hands that one over as BINARY
#   stdout_to optional: a path standard output goes to instead (such as /dev/full)
#   stderr_to optional: the same for standard error, which is then not compared
#   stdin     optional: bytes the program gets on its standard input, which the arguments
#             can name as /dev/stdin; through a pipe, unless stdin_via says "file" (the
#             file itself) or "socket" (a stream socket)
#   stdin_via optional, also without stdin: "closed" runs the program with standard
#             input closed. Descriptors 3 to 9 are always closed.
#   env       optional: NAME=value lines, set for the program (over the caller's)
#   arch      optional: the only processor (CMake's name) the case is run on
#   after/    optional: the files the program must leave behind, with their bytes: every
#             file it writes must be there, and nothing else. Its folders exist, empty,
#             before the run. A file ending in .xml there must also be well-formed XML,
#             of the checker's shape (see below).
# The program runs under the name of its program file, in a scratch copy of the folder.
# When RUNNER is set, it is the emulator that runs a program built for another machine,
# such as RUNNER="qemu-s390x -L /usr/s390x-linux-gnu"; it must take -0 for the program's
# name. When KEEP is set, what the run gave is left in that folder in the same form
# (expected, stderr, status, after/), for tests/regen.sh.
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dir=$(cd "$2" && pwd) || exit 2
name=linecmp
[ -f "$dir/program" ] && name=$(cat "$dir/program")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/case"
cp -a "$dir/." "$work/case/"
rm -rf "$work/case/after"
[ -d "$dir/after" ] && (cd "$dir/after" && find . -type d -exec mkdir -p "$work/case/{}" \;)
(cd "$work/case" && find . ! -type d | sort) >"$work/before"
got=$work/stdout err=$work/stderr
cd "$work/case" || exit 2
args=()
[ -f args ] && mapfile -t args < args
target=$got errtarget=$err
[ -f stdout_to ] && target=$(cat stdout_to)
[ -f stderr_to ] && errtarget=$(cat stderr_to)
input=/dev/null via=pipe
[ -f stdin ] && input=stdin
[ -f stdin_via ] && via=$(cat stdin_via)
command=(bash -c 'exec -a "$0" "$@"' "$name" "$bin")
[ -n "${RUNNER:-}" ] && command=($RUNNER -0 "$name" "$bin")
exec 3<&- 4<&- 5<&- 6<&- 7<&- 8<&- 9<&-
[ -f env ] && while IFS= read -r setting; do export "${setting?}"; done <env
case $via in
  pipe) cat "$input" | "${command[@]}" "${args[@]}" >"$target" 2>"$errtarget"; status=${PIPESTATUS[1]} ;;
  file) "${command[@]}" "${args[@]}" <"$input" >"$target" 2>"$errtarget"; status=$? ;;
  closed) "${command[@]}" "${args[@]}" <&- >"$target" 2>"$errtarget"; status=$? ;;
  socket)
    # perl is in every Debian system; a shell has no socket pairs of its own.
    perl -MSocket -e '
      socketpair(my $mine, my $theirs, AF_UNIX, SOCK_STREAM, PF_UNSPEC) or die "socketpair: $!";
      $SIG{PIPE} = "IGNORE";
      open(my $in, "<", shift @ARGV) or die "$!";
      my $pid = fork // die "fork: $!";
      if ($pid == 0) { close $mine; open(STDIN, "<&", $theirs) or die; close $theirs; exec @ARGV or die "exec: $!" }
      close $theirs;
      binmode $in; local $/; print {$mine} <$in>; close $mine;
      waitpid($pid, 0); exit($? & 127 ? 128 + ($? & 127) : $? >> 8);' \
      -- "$input" "${command[@]}" "${args[@]}" >"$target" 2>"$errtarget"
    status=$? ;;
  *) echo "unknown stdin_via: $via"; exit 2 ;;
esac
cd "$work" || exit 2
(cd case && find . ! -type d | sort) | comm -13 before - | sed 's|^\./||' >"$work/written"

if [ -n "${KEEP:-}" ]; then
  mkdir -p "$KEEP"
  [ -f case/stdout_to ] || cp "$got" "$KEEP/expected"
  [ -f case/stderr_to ] || cp "$err" "$KEEP/stderr"
  echo "$status" >"$KEEP/status"
  while read -r f; do mkdir -p "$KEEP/after/$(dirname "$f")" && cp "case/$f" "$KEEP/after/$f"; done <written
fi

fail=0
if [ -f "$dir/stdout_to" ]; then
  : # standard output went elsewhere; nothing to compare
elif ! diff -u --label expected --label got "$dir/expected" "$got"; then
  fail=1
fi
want_err=/dev/null
[ -f "$dir/stderr" ] && want_err=$dir/stderr
if [ ! -f "$dir/stderr_to" ] && ! diff -u --label "expected stderr" --label "got stderr" "$want_err" "$err"; then
  fail=1
fi
want_status=$(cat "$dir/status")
if [ "$status" != "$want_status" ]; then
  echo "exit status $status, expected $want_status"
  fail=1
fi
want=$work/want
: >"$want"
[ -d "$dir/after" ] && (cd "$dir/after" && find . -type f | sed 's|^\./||' | sort) >"$want"
if ! diff -u --label "files expected after" --label "files written" "$want" written; then
  fail=1
fi
while read -r f; do
  [ -f "case/$f" ] || continue
  diff -u --label "expected $f" --label "got $f" "$dir/after/$f" "case/$f" || fail=1
  # Well-formed XML of the shape the checker writes, checked with perl, which every Debian
  # system has (python3 and xmllint do not come with the build's packages): the
  # declaration, then one element whose attribute values and text hold printable ASCII,
  # UTF-8 characters, tabs and line ends, with < and & only as references, and no ]]> in
  # the text.
  if [[ $f == *.xml ]] && ! perl -e '$_ = do { local $/; <> } // ""; my $c = qr/[\t\n\r !#-%\x27-;=-~]|&(?:lt|gt|amp|quot|apos);|[\xc2-\xdf][\x80-\xbf]|\xe0[\xa0-\xbf][\x80-\xbf]|[\xe1-\xec\xee\xef][\x80-\xbf]{2}|\xed[\x80-\x9f][\x80-\xbf]|\xf0[\x90-\xbf][\x80-\xbf]{2}|[\xf1-\xf3][\x80-\xbf]{3}|\xf4[\x80-\x8f][\x80-\xbf]{2}/;
      exit !(/\A<\?xml version="1\.0" encoding="UTF-8"\?>\n<([A-Za-z_][\w.-]*)(?:\s+[A-Za-z_][\w.-]*="(?:$c)*")*\s*>((?:$c|")*)<\/\1>\n?\z/a && $2 !~ /]]>/)' "case/$f"; then
    echo "$f does not parse as XML"
    fail=1
  fi
done <"$want"
exit $fail
