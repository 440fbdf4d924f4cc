// The bodies of the bulk kernels, written once over bit masks of 64 bytes, after the way
// simdjson turns bytes into masks and answers questions with a few word operations. Each
// version instantiates them with its own way of making the masks, M:
//   M::lf(p)    bit i set when p[i] is a line feed, for i < 64
//   M::ne(p, q) bit i set when p[i] != q[i], for i < 64
// Only for use inside the scan unit: each version includes it once, inside a namespace of
// its own within linecmp::engine, after the standard headers and scan.h. It has no include
// guard: a program built from one file holds it once per version.

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

// The offsets of the set bits of each byte value, lowest first, and how many there are:
// a mask is listed a byte at a time, eight offsets stored whether or not there are eight,
// so a word of many line feeds costs the same few instructions as a word of one.
struct spread {
  uint8_t at[256][8];
  uint8_t count[256];
};

constexpr spread spreads() {
  spread s{};
  for (unsigned v = 0; v < 256; v++)
    for (unsigned bit = 0; bit < 8; bit++)
      if (v >> bit & 1) s.at[v][s.count[v]++] = uint8_t(bit);
  return s;
}

constexpr spread SPREAD = spreads();  // NOLINT(misc-definitions-in-headers): one copy per version is meant

// Lists the offsets of the set bits of mask, plus base, at out[0, count) and returns count;
// out must have room for 8 more. Up to 4 bits are taken one by one, more a byte at a time
// from SPREAD, eight offsets stored whether or not there are eight, so that no branch
// depends on how many there are. Pairing in-process (AMD EPYC Zen 5, AVX2 kernels, best
// of 7), CR LF against LF (1.6 line feeds a word) and floats shifted (6 a word) took 13.7
// and 20.4 ms so; taking up to 2 bits one by one 17.2 and 20.3 ms, up to 8 20.5 and 21.2
// ms, and always the bytes 21.3 and 22.8 ms.
inline size_t put(int32_t *out, uint64_t mask, int32_t base) {
  size_t count = size_t(__builtin_popcountll(mask));
  if (count <= 4) {
    // The bit or-ed in keeps ctz defined once the mask runs out; the extra offsets are
    // written past the count and never read.
    for (size_t k = 0; k < 4; k++, mask &= mask - 1) out[k] = base + int32_t(__builtin_ctzll(mask | 1ULL << 63));
    return count;
  }
  for (unsigned j = 0; j < 8; j++, base += 8) {
    unsigned byte = unsigned(mask >> (8 * j)) & 0xff;
    for (unsigned t = 0; t < 8; t++) out[t] = base + SPREAD.at[byte][t];
    out += SPREAD.count[byte];
  }
  return count;
}

// The line feeds of a span, listed a few words at a time, so that pairing them costs no
// branch per word. at[0] is the line feed before the first listed one (-1 at the span's
// start), so that at[i] - at[i - 1] is the length of a line.
template <class M>
struct feeds {
  // Words listed per refill: pairing in-process as for put(), 8 took 41 ms on numbers of
  // 0 to 999 shifted, 16 and 32 took 35 to 37 ms; on CR LF against LF, 14.3, 13.4 and 13.0 ms.
  static constexpr size_t WORDS = 16;
  const char *p;
  size_t n, scanned = 0;  // the line feeds of p[0, scanned) have been listed
  int32_t at[1 + WORDS * 64 + 8];
  size_t have = 0, used = 0;  // line feeds listed in at[1, have], and paired of those
  // at is written before it is read; clearing 4 KiB per call would cost more than a pass.
  // cppcheck-suppress uninitMemberVar
  feeds(const char *s, size_t len) : p(s), n(len) { at[0] = -1; }
  // Lists the line feeds of the next words, once all listed are paired; false at the end.
  bool refill() {
    if (scanned >= n) return false;
    at[0] = at[used];
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
      have += put(at + 1 + have, mask, int32_t(scanned));
    }
    return true;
  }
};

// Bytes of pairs of equal length in a row after which shifted() hands back to aligned().
// Counted in bytes, not pairs, so that each call pays for the line feeds it listed: on
// random numbers of 0 to 999 shifted by a line (2 x 75 MiB, most pairs of equal length,
// 2-core AMD EPYC), handing back after 8 pairs took 0.56 s, after 512 bytes 0.30 s, when
// pairs went one at a time. Taken eight at a time, in-process (AMD EPYC Zen 5, AVX2,
// best of 7): 128 bytes took 41 ms there and 7.4-8.4 ms on 100 MiB of lines with every
// 1000th changed, 512 bytes 35 and 7.7-8.7 ms, 2048 bytes 35 and 8.4-10.3 ms.
constexpr size_t REALIGNED = 512;  // NOLINT(misc-definitions-in-headers): one copy per version is meant

// The largest span shifted() looks at in one call, so that offsets fit an int32_t.
constexpr size_t STRETCH = size_t(1) << 30;  // NOLINT(misc-definitions-in-headers): one copy per version is meant

// The 8 bytes that end at end[0], as a number whose top byte is end[0] in any byte order.
inline uint64_t tail8(const char *end) {
  uint64_t v;
  std::memcpy(&v, end - 7, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

// The length of line j of a list: the offsets as unsigned, for past the list's end they
// may hold anything, which is then not used.
inline uint32_t length(const int32_t *e, unsigned j) { return uint32_t(e[j + 1]) - uint32_t(e[j]); }

// Of eight pairs ended at e1[1, 8] and e2[1, 8] in p and q, with e1[0] and e2[0] the line
// feeds before them, those whose lines differ in their last 8 bytes (the bit of pair j is
// 1 << j), as if they were of equal length; and in slow those that must be compared whole:
// longer lines whose last bytes agree, and lines that end in the first 7 bytes of a span.
// Each pair costs a few instructions and no branch, for short lines pair nearly always
// alike in length, but seldom in bytes, and at random: a branch per pair, and a compare
// of 8 bytes or a memcmp, took 170 ms in-process on numbers of 0 to 999 shifted by a line
// (AVX2 kernels, AMD EPYC Zen 5), and eight pairs at a time 35 ms.
inline unsigned tails(const char *p, const int32_t *e1, const char *q, const int32_t *e2, unsigned &slow) {
  static const char zero[8] = {0};  // read instead of the bytes before a span
  unsigned apart = 0;
  slow = 0;
  for (unsigned j = 0; j < 8; j++) {
    size_t x1 = size_t(e1[j + 1]), x2 = size_t(e2[j + 1]), len = length(e1, j);
    bool edge = x1 < 7 || x2 < 7;
    uint64_t d = tail8(edge ? zero + 7 : p + x1) ^ tail8(edge ? zero + 7 : q + x2);
    // The bytes before the line do not count; a line holds its line feed at least.
    d >>= 8 * (8 - (len < 8 ? len : 8)) & 63;
    apart |= unsigned(d != 0) << j;
    slow |= unsigned(edge || (len > 8 && d == 0)) << j;
  }
  return apart & ~slow;
}

template <class M>
tally shifted(const char *p, size_t n, const char *q, size_t m) {
  feeds<M> a(p, n < STRETCH ? n : STRETCH), b(q, m < STRETCH ? m : STRETCH);
  tally t;
  size_t alike = 0;  // bytes of pairs of equal lengths in a row, up to the last group
  while (alike < REALIGNED) {
    if (a.used == a.have && !a.refill()) break;
    if (b.used == b.have && !b.refill()) break;
    size_t k = a.have - a.used, i = 0;
    if (b.have - b.used < k) k = b.have - b.used;
    // Eight pairs at a time: lines of different lengths differ, and those of equal length
    // are compared by their last bytes, and whole only when those agree.
    for (; i < k && alike < REALIGNED; i += 8) {
      const int32_t *e1 = a.at + a.used + i, *e2 = b.at + b.used + i;
      unsigned valid = k - i >= 8 ? 0xffu : (1u << (k - i)) - 1;
      unsigned same = M::same8(e1, e2) & valid;
      unsigned apart = valid & ~same, slow = same;
      // Past the list's end, e1 and e2 hold no offsets: there the pairs go one by one.
      if (same && valid == 0xff) {
        apart |= M::tails8(p, e1, q, e2, slow) & same;
        slow &= same;
      }
      for (; slow; slow &= slow - 1) {
        unsigned j = unsigned(__builtin_ctz(slow));
        size_t s1 = size_t(int64_t(e1[j]) + 1), s2 = size_t(int64_t(e2[j]) + 1);
        apart |= unsigned(std::memcmp(p + s1, q + s2, size_t(e1[j + 1]) + 1 - s1) != 0) << j;
      }
      t.differ += __builtin_popcount(apart);
      alike = same == 0xff ? alike + size_t(e1[8] - e1[0]) : 0;
    }
    if (i > k) i = k;
    a.used += i;
    b.used += i;
    t.pairs += int64_t(i);
  }
  t.used1 = size_t(int64_t(a.at[a.used]) + 1);
  t.used2 = size_t(int64_t(b.at[b.used]) + 1);
  return t;
}
