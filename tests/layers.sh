#!/usr/bin/env bash
# Checks the engine's layering: each file under src/engine/LAYER/ includes engine headers
# only by their layer's path ("scan/scan.h"), and only from its own layer or one below it
# in the order that CMakeLists.txt states; the engine's root holds only folders and CMake
# files. Prints each include that breaks it, and fails if there is one.
#
#   tests/layers.sh
set -euo pipefail
cd "$(dirname "$0")/../src/engine"
order=(scan show kind align read compare rules library)
rank() { # LAYER: its place in the order, or nothing for a folder the order lacks
  local i
  for i in "${!order[@]}"; do [ "${order[$i]}" = "$1" ] && echo "$i" && return; done
}
bad=0
for entry in *; do
  [ -d "$entry" ] || [[ $entry == CMakeLists.txt || $entry == *.cmake ]] ||
    { echo "src/engine/$entry: only the layers' folders belong at the engine's root"; bad=1; }
  [ -d "$entry" ] && [ -z "$(rank "$entry")" ] &&
    { echo "src/engine/$entry/: a folder the layer order in CMakeLists.txt does not name"; bad=1; }
done
for file in */*; do
  own=$(rank "${file%%/*}")
  [ -n "$own" ] || continue
  while IFS=: read -r line name; do
    layer=${name%%/*}
    if [ "$layer" = "$name" ]; then
      echo "src/engine/$file:$line: \"$name\" names no layer"
      bad=1
    elif [ -z "$(rank "$layer")" ]; then
      echo "src/engine/$file:$line: \"$name\" is in no layer"
      bad=1
    elif [ "$(rank "$layer")" -gt "$own" ]; then
      echo "src/engine/$file:$line: \"$name\" is in $layer/, above ${file%%/*}/"
      bad=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file" |
    while read -r name; do echo "$(grep -n -F "\"$name\"" "$file" | head -1 | cut -d: -f1):$name"; done)
done
[ $bad = 0 ] && echo "the engine's layers include only downwards: ${order[*]}"
exit $bad
