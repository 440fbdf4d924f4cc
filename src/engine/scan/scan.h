// The scan kernels: pure functions over byte spans that find where two files differ,
// count line feeds, and pair whole lines in bulk. They know nothing of streams. Each comes
// in versions that give the same results: a portable one for every machine, and on
// x86-64 an SSE2, an AVX2 and an AVX-512 one, picked at run time by what the CPU supports.
#ifndef LINECMP_SCAN_H
#define LINECMP_SCAN_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace linecmp::engine {

// What a pass over two spans found. Both spans start at a line start; only whole lines
// (ended by a line feed inside the span) are consumed.
struct tally {
  size_t used1 = 0, used2 = 0;  // bytes consumed from each span
  int64_t pairs = 0;            // line pairs consumed
  int64_t differ = 0;           // of those, the pairs whose lines differ
};

// How the token kernel reads bytes, set from a judge's rules.
struct tokenrules {
  enum : uint8_t { PACKAGE, TESTLIB, LCMP };  // whitespace: 9-13 and 32; 9, 10, 13, 32; lcmp's
  enum : uint8_t { FREE, EXACT, LINES };      // what whitespace must agree: nothing, bytes, line feeds
  enum : uint8_t { NONE, FLOATS, INTEGERS, REALS };
  uint8_t white = PACKAGE, space = FREE, num = NONE;
  bool fold = false;  // ASCII letters of either case are equal
  // Numbers that agree in their first krel significant digits, or whose difference is
  // below ten to the xabs at their first differing digit, are within the tolerance (see
  // tokens.cpp); INT64_MAX for krel, INT64_MIN for xabs, when the rules have no such
  // tolerance, which no place compares past.
  int64_t krel = INT64_MAX, xabs = INT64_MIN;
  // The tolerances as whole numbers of at most 19 digits times ten to a power, for the
  // kernel's exact comparison of short numbers: abs, rel (each with given set when the
  // rules have it and it is so written), and testlib's eps (with its slack) for REALS.
  struct scaled {
    bool given = false;
    uint64_t m = 0;
    int32_t e = 0;
  };
  scaled abs, rel;
  double eps = 0;
};

// testlib's comparison of doubles: |s - a| <= eps, or s between a (1 - eps) and a (1 + eps);
// but a value past 1e300 in size is infinite to it, and matches only another of its sign.
inline bool nearby(double a, double s, double eps) {
  bool infa = a > 1e300 || a<-1e300, infs = s> 1e300 || s < -1e300;
  if (infa || infs) return infa && infs && (a > 0) == (s > 0);
  if ((s - a < 0 ? a - s : s - a) <= eps) return true;
  double lo = a * (1 - eps), hi = a * (1 + eps);
  return lo <= hi ? lo <= s && s <= hi : hi <= s && s <= lo;
}

// What a pass of the token kernel found. Both spans start between tokens, and it stops
// between tokens: where a pair needs a closer look (stuck), or where either span has no
// whole token left.
struct tokentally {
  size_t used1 = 0, used2 = 0;  // bytes consumed from each span
  int64_t pairs = 0;            // pairs of tokens consumed
  bool stuck = false;
};

// One version of the kernels.
struct kernels {
  const char *name;
  // Index of the first byte where p[0, n) and q[0, n) differ, or n when they are equal.
  size_t (*firstdiff)(const char *p, const char *q, size_t n);
  // Number of line feeds in p[0, n).
  size_t (*countlf)(const char *p, size_t n);
  // Pairs the lines of p[0, n) and q[0, n) while both have their line feeds at the same
  // offsets; stops at the start of the first pair of different lengths or at the span end.
  tally (*aligned)(const char *p, const char *q, size_t n);
  // Pairs the lines of p[0, n) and q[0, m) in order, wherever their line feeds fall; stops
  // where either span has no whole line left (within its first GiB), or after a run of
  // pairs of equal lengths, where aligned() does better.
  tally (*shifted)(const char *p, size_t n, const char *q, size_t m);
  // Pairs the tokens of p[0, n) and q[0, m) under r while each pair is plainly alike:
  // the same bytes (or alike but for case when r.fold, or close numbers by their digits)
  // with whitespace between them that r lets pass.
  tokentally (*tokens)(const char *p, size_t n, const char *q, size_t m, const tokenrules &r);
};

// The token kernel of each version, in files of their own.
tokentally tokens_portable(const char *p, size_t n, const char *q, size_t m, const tokenrules &r);
#if defined(__x86_64__)
tokentally tokens_sse2(const char *p, size_t n, const char *q, size_t m, const tokenrules &r);
tokentally tokens_avx2(const char *p, size_t n, const char *q, size_t m, const tokenrules &r);
tokentally tokens_avx512(const char *p, size_t n, const char *q, size_t m, const tokenrules &r);
#endif

extern const kernels portable;
#if defined(__x86_64__)
extern const kernels sse2, avx2, avx512;
#endif

// Every version built in, null-terminated, and whether this CPU can run a given one.
extern const kernels *const versions[];
bool runnable(const kernels &k);

// The version comparisons use unless told otherwise, chosen once per process: the one the
// environment variable LINECMP_KERNEL names, or else the fastest this CPU runs. Null when
// LINECMP_KERNEL names a version that is unknown or that this CPU cannot run; why then
// gets the reason, for the program to fail with. An empty LINECMP_KERNEL is unset.
const kernels *chosen(std::string *why = nullptr);

}  // namespace linecmp::engine

#endif
