// The bodies of the bulk kernels, written once over bit masks of 64 bytes, after the way
// simdjson turns bytes into masks and answers questions with a few word operations. Each
// version instantiates them with its own way of making the masks, M:
//   M::lf(p)    bit i set when p[i] is a line feed, for i < 64
//   M::ne(p, q) bit i set when p[i] != q[i], for i < 64
// Only for use inside the scan unit; every file that includes it is one version.
#ifndef LINECMP_SCAN_BODY_H
#define LINECMP_SCAN_BODY_H

#include <cstring>

#include "scan.h"

namespace {

using linecmp::engine::kernels;
using linecmp::engine::tally;

// The masks of a last, partial word of k < 64 bytes: zero padding is neither a line feed
// nor a difference.
template <class M>
void partial(const char *p, const char *q, size_t k, uint64_t &lf1, uint64_t &lf2, uint64_t &ne) {
  char x[64] = {0}, y[64] = {0};
  std::memcpy(x, p, k);
  std::memcpy(y, q, k);
  lf1 = M::lf(x);
  lf2 = M::lf(y);
  ne = M::ne(x, y);
}

template <class M>
size_t firstdiff(const char *p, const char *q, size_t n) {
  size_t i = 0;
  for (; i + 64 <= n; i += 64)
    if (uint64_t d = M::ne(p + i, q + i)) return i + size_t(__builtin_ctzll(d));
  while (i < n && p[i] == q[i]) i++;
  return i;
}

template <class M>
size_t countlf(const char *p, size_t n) {
  size_t c = 0, i = 0;
  for (; i + 64 <= n; i += 64) c += size_t(__builtin_popcountll(M::lf(p + i)));
  for (; i < n; i++) c += p[i] == '\n';
  return c;
}

template <class M>
tally aligned(const char *p, const char *q, size_t n) {
  tally t;
  uint64_t open = 0;  // 1 when the line that runs on into this word already differs
  size_t start = 0;   // the start of the first line not yet counted
  for (size_t i = 0; i < n; i += 64) {
    uint64_t lf1, lf2, ne;
    if (n - i >= 64) {
      ne = M::ne(p + i, q + i);
      lf1 = M::lf(p + i);
      lf2 = ne ? M::lf(q + i) : lf1;
    } else {
      partial<M>(p + i, q + i, n - i, lf1, lf2, ne);
    }
    // Lines that end before the first line feed of one file but not the other are whole
    // pairs; the pair in which the line feeds part is left to shifted().
    uint64_t apart = lf1 ^ lf2;
    uint64_t ends = apart ? lf1 & ((apart & -apart) - 1) : lf1;
    // Added to the runs of non-line-feed bits, each differing byte carries into the line
    // feed that ends its line, and out of the word when its line runs on.
    uint64_t runs = ~lf1, marked;
    bool c1 = __builtin_add_overflow(runs, ne & runs, &marked);
    bool c2 = __builtin_add_overflow(marked, open, &marked);
    open = c1 || c2;
    t.pairs += __builtin_popcountll(ends);
    t.differ += __builtin_popcountll(marked & ends);
    if (ends) start = i + 64 - size_t(__builtin_clzll(ends));
    if (apart) break;
  }
  t.used1 = t.used2 = start;
  return t;
}

// The line feeds of a span, one after another. Their offsets are taken out of the masks
// of a few words at a time into a list, so that walking them costs no branch per word.
template <class M>
struct feeds {
  static constexpr size_t WORDS = 8;  // words flattened per refill
  const char *p;
  size_t n, scanned = 0;  // the line feeds of p[0, scanned) have been listed
  size_t at[WORDS * 64 + 4], have = 0, used = 0;
  // at is written before it is read; clearing 4 KiB per call would cost more than a pass.
  // cppcheck-suppress uninitMemberVar
  feeds(const char *s, size_t len) : p(s), n(len) {}
  // Lists the line feeds of the next words, if any; false at the end of the span.
  bool refill() {
    if (scanned >= n) return false;
    have = used = 0;
    for (size_t w = 0; w < WORDS && scanned < n; w++, scanned += 64) {
      uint64_t mask;
      if (n - scanned >= 64) {
        mask = M::lf(p + scanned);
      } else {
        char x[64] = {0};
        std::memcpy(x, p + scanned, n - scanned);
        mask = M::lf(x);
      }
      // Four offsets are written whether or not there are four, to save a branch that
      // mispredicts; the bit or-ed in keeps ctz defined once the mask runs out.
      size_t count = size_t(__builtin_popcountll(mask));
      for (size_t k = 0; k < 4; k++, mask &= mask - 1)
        at[have + k] = scanned + size_t(__builtin_ctzll(mask | 1ULL << 63));
      for (size_t k = 4; k < count; k++, mask &= mask - 1) at[have + k] = scanned + size_t(__builtin_ctzll(mask));
      have += count;
    }
    return true;
  }
};

// Bytes of pairs of equal length in a row after which shifted() hands back to aligned().
// Counted in bytes, not pairs, so that each call pays for the line feeds it listed: on
// random numbers of 0 to 999 shifted by a line (2 x 75 MiB, most pairs of equal length,
// 2-core AMD EPYC), handing back after 8 pairs took 0.56 s, after 512 bytes 0.30 s, and
// 0.13 s once the pairs were walked in one loop over both lists.
constexpr size_t REALIGNED = 512;  // NOLINT(misc-definitions-in-headers): one copy per version is meant

// Whether the lines p[0, len) and q[0, len) differ, for len < 8 and 8 bytes readable at
// each: one load and a mask instead of a call to memcmp.
inline bool differ8(const char *p, const char *q, size_t len) {
  uint64_t x, y;
  std::memcpy(&x, p, 8);
  std::memcpy(&y, q, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  uint64_t keep = ~(~0ULL >> (8 * len));
#else
  uint64_t keep = (1ULL << (8 * len)) - 1;
#endif
  return ((x ^ y) & keep) != 0;
}

template <class M>
tally shifted(const char *p, size_t n, const char *q, size_t m) {
  feeds<M> f1(p, n), f2(q, m);
  size_t s1 = 0, s2 = 0, alike = 0;  // the starts of the next lines; the equal-length run
  int64_t pairs = 0, differ = 0;
  while (alike < REALIGNED) {
    if (f1.used == f1.have && !f1.refill()) break;
    if (f2.used == f2.have && !f2.refill()) break;
    // Pair the listed line feeds of both spans in one tight loop.
    const size_t *e1 = f1.at + f1.used, *e2 = f2.at + f2.used;
    size_t k = f1.have - f1.used, i = 0;
    if (f2.have - f2.used < k) k = f2.have - f2.used;
    while (i < k && alike < REALIGNED) {
      size_t len = e1[i] - s1;
      bool same = len == e2[i] - s2, d;
      if (!same)
        d = true;
      else if (len < 8 && s1 + 8 <= n && s2 + 8 <= m)
        d = differ8(p + s1, q + s2, len);
      else
        d = std::memcmp(p + s1, q + s2, len) != 0;
      differ += d;
      alike = same ? alike + len + 1 : 0;
      s1 = e1[i] + 1;
      s2 = e2[i] + 1;
      i++;
    }
    pairs += int64_t(i);
    f1.used += i;
    f2.used += i;
  }
  tally t;
  t.used1 = s1;
  t.used2 = s2;
  t.pairs = pairs;
  t.differ = differ;
  return t;
}

}  // namespace

#endif
