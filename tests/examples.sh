#!/usr/bin/env bash
# Runs the examples that README.md and linecmp-validator.1 give for putting the validator
# in a judge, each in an empty folder, and checks what each leaves as a judge would take
# it: every validator folder it makes (output_validator/, output_validators/NAME/, or the
# files of a zip) builds and runs, and judges a sample right; every test group's flags
# (test_group.yaml) are strings that reach the samples and that the validator takes; a
# legacy package's problem.yaml says validation: custom, without which its validator is
# never used (checked by verifyproblem where it is installed, else read). Every example
# runs twice in the same folder, as a reader may run it again, and must work both times;
# an example that shows what its commands print must print just that, each time.
#
#   [PYTHON=VENV/bin/python] examples.sh BUILD_DIR    (the static build, which the
#                                                      examples copy from build-static/)
#
# First, the README's grader loops ("<!-- grader loop -->"), which must not pass output past
# the cap; the Python one with $PYTHON, if it has the package.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/examples"

# Each example as two files, README.md's as rN.sh and rN.out, the manual page's as mN.
cd "$top"
awk -v d="$tmp/examples/" '
  FNR == 1 { p = FILENAME == "README.md" ? "r" : "m"; n = 0 }
  mark { if ($0 != "```sh") { print FILENAME ":" FNR ": no ```sh block after the mark"; exit 1 }
         mark = 0; block = 1; n++; f = d p n; printf "" > (f ".out"); next }
  p == "r" && $0 == "<!-- example -->" { mark = 1 }
  p == "r" && block { if ($0 == "```") block = 0; else print > (f ".sh"); next }
  p == "m" && $0 == ".EX" { block = 1; n++; f = d p n; printf "" > (f ".out"); next }
  p == "m" && $0 == ".EE" { block = 0 }
  p == "m" && block { if (sub(/^\$ /, "")) print > (f ".sh"); else print > (f ".out") }
' README.md linecmp-validator.1
sed -i -e "s/\\\\(aq/'/g" -e 's/\\(dq/"/g' -e 's/\\-/-/g' -e 's/\\e/\\/g' "$tmp"/examples/m*

fail() { echo "FAILED: $where: $*"; exit 1; }

# A Python solution that writes its 64 MiB answer and more in one write: CPython ignores
# SIGXFSZ, so the write is cut at the cap, and it may exit 0.
loops() {
  mkdir -p "$tmp/loop/tests" && cd "$tmp/loop"
  awk '/^<!-- grader loop -->$/ { getline; f = "loop." substr($0, 4); next } f && /^```$/ { f = "" } f { print > f }' "$top/README.md"
  (yes 123456789 || :) | head -c $((64 << 20)) >tests/big.out && : >tests/big.in
  printf '#!/usr/bin/env python3\nimport sys\nsys.stdout.buffer.write(open("tests/big.out", "rb").read() + b"more")\n' >solution && chmod +x solution
  for where in "bash" "${PYTHON:-python3}"; do
    [ "$where" == bash ] || "$where" -c 'import linecmp' 2>/dev/null || { echo "no package linecmp in $where"; continue; }
    got=$(PATH=$build:$PATH "$where" "loop.${where/*python*/python}")
    [ "$got" == "tests/big.in: output limit exceeded" ] || fail "README.md's grader loop passes past the cap: $got"
    echo "README.md's grader loop run by $where: past the cap, output limit exceeded"
  done
}

loops

# Builds the validator in folder $1 as a judge does, in a copy: with its build script, or
# from its sources with one command. A problem package's folder ($2 = package) needs one
# of them; a zip for DOMjudge may hold only run. Then run must judge a sample: 42 for the
# answer itself, 43 for another output.
judge() {
  local copy=$tmp/copy want status
  rm -rf "$copy" && cp -a "$1" "$copy"
  if [ -e "$copy/build" ]; then
    [ -x "$copy/build" ] || fail "$1/build is not executable"
    (cd "$copy" && ./build) || fail "$1/build failed"
  elif compgen -G "$copy/*.cpp" >/dev/null; then
    (cd "$copy" && g++ -O2 -static -std=gnu++17 -o run ./*.cpp)
  elif [ "$2" == package ]; then
    fail "$1 has no build script and no sources: the judge finds no validator in it"
  fi
  [ -x "$copy/run" ] || fail "$1 gives no executable run"
  printf '1\n4\n9\n' >"$tmp/answer" && printf '1\n4\n8\n' >"$tmp/output"
  for want in 42:answer 43:output; do
    rm -rf "$tmp/feedback" && mkdir "$tmp/feedback"
    status=0
    "$copy/run" /dev/null "$tmp/answer" "$tmp/feedback" <"$tmp/${want#*:}" || status=$?
    [ $status == "${want%:*}" ] || fail "$1/run exited $status on the ${want#*:}, not ${want%:*}"
  done
}

# A legacy package (the folder above output_validators/) uses its validators only when its
# problem.yaml says validation: custom.
legacy() {
  ! command -v verifyproblem >/dev/null || verifyproblem -p config "$1" >"$tmp/verify" 2>&1 ||
    { cat "$tmp/verify"; fail "verifyproblem rejects $1/problem.yaml"; }
  grep -qE '^validation:[[:space:]]*custom([[:space:]]|$)' "$1/problem.yaml" 2>/dev/null ||
    fail "$1/problem.yaml does not say validation: custom, so its validator is never used"
}

# An example in Python runs with the Python that PYTHON names, which has the package
# (CI's venv), in place of the venv the README makes (~/grader-env) and as python3;
# without PYTHON it is left out, and says so.
if [ -n "${PYTHON:-}" ]; then
  mkdir "$tmp/python" && printf '#!/bin/sh\nexec "%s" "$@"\n' "$PYTHON" >"$tmp/python/python3"
  chmod +x "$tmp/python/python3" && PATH=$tmp/python:$PATH
fi

for script in "$tmp"/examples/*.sh; do
  name=$(basename "$script" .sh)
  where="README.md's example ${name#r}" errexit=(-e) status=0 folders=0 python=
  if grep -qe 'grader-env/bin/python' -we python3 "$script"; then
    python=yes
    sed -i 's|~/grader-env/bin/python|"$PYTHON"|g' "$script"
    [ -n "${PYTHON:-}" ] || { echo "$where: left out, in Python: PYTHON names none with the package"; continue; }
  fi
  [[ $name == m* ]] && where="linecmp-validator.1's example ${name#m}" errexit=()
  work=$tmp/run/$name
  mkdir -p "$work" && cd "$work"
  ln -s "$build" build-static && ln -s "$top/src" src
  # A README example must not fail, nor complain on standard error (a command that fails
  # before && stops nothing under -e); a manual page example prints what it shows,
  # statuses included; both again in the same folder.
  for round in first second; do
    status=0 && : >"$tmp/complaints"
    PATH=$build:$PATH bash "${errexit[@]}" -c 'cmake() { :; }; if [ $1 = r ]; then . "$0" 2>"$2"; else . "$0"; fi' \
      "$script" "${name:0:1}" "$tmp/complaints" >"$tmp/printed" 2>&1 || status=$?
    [[ $name == m* ]] || [ $status -eq 0 ] || { cat "$tmp/printed"; fail "status $status, run the $round time"; }
    [ ! -s "$tmp/complaints" ] || { cat "$tmp/complaints"; fail "it complains, run the $round time"; }
    [[ $name == r* ]] || diff -u --label "$where shows" --label "it printed" "${script%.sh}.out" "$tmp/printed" ||
      fail "it prints something else, run the $round time"
  done
  while IFS= read -r -d '' dir; do
    judge "$dir" package
    folders=$((folders + 1))
  done < <(find . -type d \( -name output_validator -o -path '*/output_validators/*' \) -printf '%P\0')
  while IFS= read -r -d '' dir; do
    legacy "$(dirname "$dir")"
  done < <(find . -type d -name output_validators -printf '%P\0')
  # Flags in a test group's YAML, read as BAPCtools reads them: each must be a string
  # (it skips them all otherwise), they must reach the samples, and the validator must
  # take them.
  while IFS= read -r -d '' yaml; do
    case $yaml in */data/test_group.yaml | */data/sample/test_group.yaml) ;; *) fail "$yaml: the samples do not get its flags" ;; esac
    args=$(python3 -c '
import re, sys, yaml
# YAML 1.2, which BAPCtools reads, takes more plain scalars for numbers than PyYAML does
# (1e-6 among them): a flag that it would read as a number, a boolean or null is unquoted.
core = r"[-+]?(\.[0-9]+|[0-9]+(\.[0-9]*)?)([eE][-+]?[0-9]+)?|0x[0-9a-fA-F]+|0o[0-7]+|[-+]?\.(inf|Inf|INF)|\.(nan|NaN|NAN)|true|True|TRUE|false|False|FALSE|null|Null|NULL|~"
doc = yaml.compose(open(sys.argv[1]))
args = [v for k, v in (doc.value if doc else []) if k.value == "output_validator_args"]
items = args[0].value if args else []
bad = [i.value for i in items if not isinstance(i, yaml.ScalarNode) or (i.style is None and re.fullmatch(core, i.value))]
if bad: sys.exit("flags that YAML reads as other than strings: %r" % bad)
print("\n".join(i.value for i in items))' "$yaml" 2>&1) || fail "$yaml: $args"
    mapfile -t flags <<<"$args"
    rm -rf "$tmp/feedback" && mkdir "$tmp/feedback"
    printf '1\n4\n9\n' >"$tmp/answer"
    status=0
    "$build/linecmp-validator" /dev/null "$tmp/answer" "$tmp/feedback" "${flags[@]}" <"$tmp/answer" || status=$?
    [ $status == 42 ] || fail "$yaml: the validator exits $status with its flags: $(cat "$tmp/feedback/judgemessage.txt")"
    folders=$((folders + 1))
  done < <(find . -name test_group.yaml -printf '%P\0')
  while IFS= read -r -d '' zip; do
    mkdir "$zip.files" && unzip -q "$zip" -d "$zip.files"
    judge "$zip.files" zip
    folders=$((folders + 1))
  done < <(find . -name '*.zip' -printf '%P\0')
  # One that shows no output is there to make a validator or its flags, or to build
  # (cmake alone, which is stubbed here: the build it makes is BUILD_DIR).
  [ -s "${script%.sh}.out" ] || [ $folders -gt 0 ] || [ -n "$python" ] || ! grep -qv '^cmake ' "$script" ||
    fail "it makes no validator folder"
  echo "$where: runs; validator folders and flags that judge a sample right: $folders"
done
echo "every example of README.md and linecmp-validator.1 works"
