#!/usr/bin/env bash
# Regenerates the expected output and status of end-to-end cases from the built program,
# showing each change and asking before it overwrites anything.
#
#   tests/regen.sh [BINARY] [CASE ...]     (default: build/linecmp, every case)
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$(readlink -f "${1:-$top/build/linecmp}")
shift || true
cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=("$top"/tests/cases/*/)
for dir in "${cases[@]}"; do
  dir=${dir%/}
  [ -f "$dir/stdout_to" ] && continue
  args=()
  [ -f "$dir/args" ] && mapfile -t args < "$dir/args"
  got=$(mktemp)
  (cd "$dir" && exec -a linecmp "$bin" "${args[@]}") >"$got" 2>/dev/null </dev/null
  status=$?
  if cmp -s "$got" "$dir/expected" && [ "$status" = "$(cat "$dir/status")" ]; then
    rm -f "$got"
    continue
  fi
  echo "== $(basename "$dir"): status $(cat "$dir/status") -> $status"
  diff -u --label expected --label now "$dir/expected" "$got"
  read -r -p "Overwrite $(basename "$dir")? [y/N] " answer
  if [ "$answer" = y ]; then
    cp "$got" "$dir/expected"
    echo "$status" > "$dir/status"
  fi
  rm -f "$got"
done
