#!/usr/bin/env bash
# Checks that line numbers and counts past 2^31 come out right: compares files of more than
# 2^31 lines (2 GiB of empty lines each, about 4 GiB of disk in all) and checks the report.
# Too big for CI; run it by hand after a change to the counters.
#
#   bench/many_lines.sh [BINARY]     (default: build/linecmp; TMPDIR for the files)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$(readlink -f "${1:-$top/build/linecmp}")
work=$(mktemp -d "${TMPDIR:-/tmp}/linecmp-lines.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

n=$(((1 << 31) + 20)) # lines in the long files
head -c "$n" /dev/zero | tr '\0' '\n' > long
{ head -c $((n - 1)) long; printf 'x\n'; } > changed
printf '\n' > one

fail=0
check() { # name expected actual
  if [ "$2" == "$3" ]; then echo "ok: $1"; else printf 'FAILED: %s\nexpected:\n%s\ngot:\n%s\n' "$1" "$2" "$3"; fail=1; fi
}

# The last of 2^31 + 20 lines differs: it is numbered 2147483668.
check "line number past 2^31" \
  "$(printf '     exp 2147483668: \n     out 2147483668: x')" \
  "$("$bin" long changed exp out)"

# One line against 2^31 + 20: the leftover line, ten tail lines, and the rest counted.
check "tail count past 2^31" \
  "$(printf 'exp terminated, out continues:\n'; for i in $(seq 2 12); do printf '     out %04d: \n' "$i"; done; printf '(skipping next %d lines)' $((n - 12)))" \
  "$("$bin" one long exp out)"
exit $fail
