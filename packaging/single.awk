# Writes a program as one C++ file, made from its main and the sources it is built from,
# for judges that build a checker from one source file. Each quoted #include (and
# <linecmp.h>) is replaced by the header itself, once, found beside the including file or
# under one of dirs (the engine's includes name their layer: "scan/scan.h"); a header
# without an include guard is a body meant to be included once per instruction set, and
# is copied at each place.
#
#   awk -v dirs="src/engine src/protocol include" -v name=linecmp-validator -v out=FILE \
#       -f single.awk main.cpp sources.cpp...
function resolve(name, from,    n, i, d, parts, path) {
  n = split(from, parts, "/")
  d = substr(from, 1, length(from) - length(parts[n]))
  if (exists(d name)) return d name
  n = split(dirs, parts, " ")
  for (i = 1; i <= n; i++) {
    path = parts[i] "/" name
    if (exists(path)) return path
  }
  return ""
}
function exists(path,    line) {
  if ((getline line < path) >= 0) { close(path); return 1 }
  return 0
}
function guarded(path,    line, found) {
  found = 0
  while ((getline line < path) > 0) if (line ~ /^#ifndef [A-Z_]+_H$/) { found = 1; break }
  close(path)
  return found
}
function emit(path,    line, name, full) {
  while ((getline line < path) > 0) {
    if (line ~ /^#include "[^"]+"/ || line ~ /^#include <linecmp\.h>/) {
      name = line
      sub(/^#include ["<]/, "", name)
      sub(/[">].*$/, "", name)
      full = resolve(name, path)
      if (full == "") { print "single.awk: " path ": cannot find " name > "/dev/stderr"; exit 1 }
      if (!guarded(full)) { emit(full); continue }
      if (!(full in done)) { done[full] = 1; emit(full) }
      continue
    }
    print line > out
  }
  close(path)
}
BEGIN {
  print "// " name " in one file, made from the sources of linecmp, for" > out
  print "// judges that build a checker from one source file. It builds with one command:" > out
  print "//   g++ -O2 -std=gnu++17 " name ".cpp -o " name > out
  for (i = 1; i < ARGC; i++) emit(ARGV[i])
  close(out)
  exit 0
}
