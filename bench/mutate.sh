#!/bin/sh
# One-line mutants of the number code (numbers.cpp, the token kernel's scan_tokens.h and
# scan.h, and the token reader in tokens.cpp), each built and tested in a copy of the committed tree
# under /tmp; prints each mutant that survives and the kill rate. Not run by CI: each
# mutant rebuilds the engine, about a minute and a half on two busy cores.
#
#   bench/mutate.sh [COUNT [CTEST_REGEX]]
#
# COUNT: how many operator mutants to try after the named ones (default 20, picked
# evenly across all); CTEST_REGEX: the tests to run (default all).
set -u
count=${1:-20}
tests=${2:-.}
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/linecmp-mutate.XXXXXX)
git -C "$src" archive HEAD | tar -x -C "$work"
cmake -S "$work" -B "$work/build" -DCMAKE_BUILD_TYPE=Release >/dev/null &&
  cmake --build "$work/build" -j2 >/dev/null 2>&1 || { echo "the unmutated tree does not build"; exit 2; }

# Mutants as FILE<TAB>LINE<TAB>perl substitution: those a reviewer found surviving once
# (the point's shift in closeby, the points' test in closemasks, a power of ten off by one
# in kernelrules), those of the reading past the kept digits and of testlib's infinities,
# then each comparison or boolean operator, or a +/- 1, flipped.
named() {
  f=src/engine/scan/scan_tokens.h
  printf '%s\t%s\t%s\n' $f "$(grep -n 'int64_t k = int64_t(d - first) - (pa > first' "$work/$f" | cut -d: -f1)" \
    's/ - \(pa > first && pa < d \? 1 : 0\)//'
  printf '%s\t%s\t%s\n' $f "$(grep -n 'if (first >= d || pointa != pointb) return false;' "$work/$f" | cut -d: -f1)" \
    's/ \|\| pointa != pointb//'
  f=src/engine/rules/tokens.cpp
  printf '%s\t%s\t%s\n' $f "$(grep -n 't.xabs = tol.abs.infinite ? INT64_MAX : first(tol.abs);' "$work/$f" | cut -d: -f1)" \
    's/: first\(tol.abs\);/: first(tol.abs) + 1;/'
  # the carry a frozen difference's rest may bring, and the shift an output one place
  # below the answer starts from
  f=src/engine/rules/numbers.cpp
  printf '%s\t%s\t%s\n' $f "$(grep -n 'if (g.z\[k\] >= 2 || g.z\[k\] <= -2) {' "$work/$f" | cut -d: -f1)" \
    's/>= 2 \|\| g.z\[k\] <= -2/>= 1 || g.z[k] <= -1/'
  printf '%s\t%s\t%s\n' $f "$(grep -n 'p.at\[k\] = k == 2 ? 0 : 1;' "$work/$f" | cut -d: -f1)" \
    's/k == 2 \? 0 : 1/k == 0 ? 0 : 1/'
  # testlib's infinities: one of the other sign
  f=src/engine/scan/scan.h
  printf '%s\t%s\t%s\n' $f "$(grep -n 'return infa && infs && (a > 0) == (s > 0);' "$work/$f" | cut -d: -f1)" \
    's/ && \(a > 0\) == \(s > 0\)//'
}
operators() {
  for f in src/engine/rules/numbers.cpp src/engine/scan/scan_tokens.h src/engine/scan/scan.h src/engine/rules/tokens.cpp; do
    grep -n -E '(<=|>=| < | > |==|!=|&&|\|\||[+-] 1\b)' "$work/$f" | grep -v -E '^[0-9]+:\s*(//|#)' | cut -d: -f1 |
      while read -r n; do
        for s in 's/<=/</' 's/>=/>/' 's/ < / <= /' 's/ > / >= /' 's/==/!=/' 's/!=/==/' 's/&&/||/' 's/\|\|/&&/' \
          's/\+ 1\b/+ 2/' 's/- 1\b/- 2/'; do
          if sed -n "${n}p" "$work/$f" | perl -ne "exit(!(\$_ ne do { (my \$x = \$_) =~ $s; \$x }))"; then
            printf '%s\t%s\t%s\n' "$f" "$n" "$s"
          fi
        done
      done
  done
}
operators > "$work/all"
total=$(wc -l < "$work/all")
step=$(( total / (count > 0 ? count : 1) )); [ "$step" -ge 1 ] || step=1
{ named; awk -v s="$step" -v c="$count" 'NR % s == 0 && n < c { print; n++ }' "$work/all"; } > "$work/mutants"

killed=0 tried=0
while IFS="$(printf '\t')" read -r f n s; do
  cp "$work/$f" "$work/$f.orig"
  perl -i -pe "$s if \$. == $n" "$work/$f"
  tried=$((tried + 1))
  if ! cmake --build "$work/build" -j2 >/dev/null 2>&1 ||
    ! ctest --test-dir "$work/build" -j2 -R "$tests" >/dev/null 2>&1; then
    killed=$((killed + 1))
  else
    echo "survived: $f:$n $s: $(sed -n "${n}p" "$work/$f" | sed 's/^ *//')"
  fi
  mv "$work/$f.orig" "$work/$f"
  touch "$work/$f"
done < "$work/mutants"
echo "killed $killed of $tried mutants ($total operator mutants in all)"
rm -rf "$work"
[ "$killed" -eq "$tried" ]
