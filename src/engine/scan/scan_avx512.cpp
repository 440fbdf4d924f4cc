// The AVX-512 kernels, used only when the CPU reports AVX-512 BW, VBMI (the byte permute)
// and VBMI2 (the byte compress), with DQ, VL and BMI2, as every such CPU does (clang 14
// cannot compile this file without the first two). Like the AVX2 file, this one sets its
// own target after the standard headers, so that it builds with one plain compiler
// command.
//
// Besides the 64-byte masks of the other versions, it pairs lines that do not line up
// many at a time: short ones cut into a few bytes each (cut, below), others from lists of
// their line feeds made sixteen at a time (listed).
#if defined(__x86_64__)
#include <immintrin.h>

#include <cstring>

#include "scan/scan.h"

#if defined(__clang__)
#pragma clang attribute push(                                                                                  \
    __attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt"))), \
    apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")
#endif

namespace linecmp::engine {

namespace avx512base {

#include "scan/scan_body.h"
#include "scan/scan_ymm.h"

namespace {

struct zmm {
  static __m512i at(const char *p) { return _mm512_loadu_si512(p); }
  static uint64_t lf(const char *p) { return _mm512_cmpeq_epi8_mask(at(p), _mm512_set1_epi8('\n')); }
  static uint64_t ne(const char *p, const char *q) { return _mm512_cmpneq_epi8_mask(at(p), at(q)); }
};

// The low k bits, for k <= 64.
uint64_t low(size_t k) { return k >= 64 ? ~0ULL : (1ULL << k) - 1; }

// Byte i holds i: the offsets within a word, for the compress to pick from.
__m512i iota() {
  return _mm512_set_epi8(63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45, 44, 43, 42, 41, 40,
                         39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16,
                         15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
}

// Words of a span cut in one call at most: a block's worth. Lines listed per span before
// pairs are compared, and room for the words that fill them. On random numbers of 0 to 999
// shifted by a line, room for 1,024 or 4,096 lines took the same time.
constexpr size_t MAXWORDS = 1024, ROOM = 1024, WANT = 512;

// A span whose lines are cut into a few bytes each, so that short lines compare whole, 64
// pairs at a time: the words read in turn, their line feeds, and where a line ends. The
// ways of cutting (columns and keys, below) keep the bytes.
struct cut {
  __m512i next;  // the next word, whose bytes the lines of this one may run into
  const char *p;
  size_t n, words = 0;  // words of p cut
  uint64_t start = 1;   // 1 when the next word starts a line: the span starts at one
  size_t lines = 0;     // the whole lines in the words cut: their line feeds
  size_t fill = 0;      // lines cut: those started in the words cut
  uint64_t lf[MAXWORDS];
  size_t w = 0, before = 0;  // where end() stands: a word, and the lines before it

  // lf is written before it is read; clearing 8 KiB per call would cost more than a pass.
  // cppcheck-suppress uninitMemberVar
  cut(const char *s, size_t len) : next(), p(s), n(len) { next = word(0); }

  // Word k of the span, zero past its end: a masked load reads nothing there.
  __m512i word(size_t k) const {
    size_t at = 64 * k;
    if (at >= n) return _mm512_setzero_si512();
    return n - at >= 64 ? _mm512_loadu_si512(p + at) : _mm512_maskz_loadu_epi8(low(n - at), p + at);
  }

  bool more() const { return words < MAXWORDS && 64 * words < n; }
  bool room() const { return fill + 64 <= ROOM; }

  // Takes the next word into v: notes its line feeds, and returns in at the offsets where
  // its lines start, and how many do.
  size_t begin(__m512i &v, __m512i &at) {
    v = next;
    next = word(words + 1);
    uint64_t feeds = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n'));  // the zeros past the end are none
    lf[words++] = feeds;
    lines += size_t(_mm_popcnt_u64(feeds));
    uint64_t starts = feeds << 1 | start;
    start = feeds >> 63;
    at = _mm512_maskz_compress_epi8(starts, iota());
    return size_t(_mm_popcnt_u64(starts));
  }

  // Offset just past the line feed of line k, for k rising from call to call.
  size_t end(size_t k) {
    while (before + size_t(_mm_popcnt_u64(lf[w])) <= k) before += size_t(_mm_popcnt_u64(lf[w++]));
    return 64 * w + size_t(_tzcnt_u64(_pdep_u64(1ULL << (k - before), lf[w]))) + 1;
  }
};

// Lines cut into C columns (C <= 4): column j holds each line's byte j, or its line feed
// where the line is shorter; a word costs one permute per column, of the bytes of the
// word and the next one at the offsets where its lines start, plus j.
template <size_t C>
struct columns : cut {
  uint8_t col[C][ROOM + 64];

  // col is written before it is read.
  // cppcheck-suppress uninitMemberVar
  columns(const char *s, size_t len) : cut(s, len) {}

  // Cuts the next word.
  void add() {
    const __m512i nl = _mm512_set1_epi8('\n');
    __m512i v, at;
    size_t count = begin(v, at);
    __mmask64 ended = 0;  // lines whose line feed an earlier column holds
    for (size_t j = 0; j < C; j++) {
      __m512i bytes = _mm512_permutex2var_epi8(v, _mm512_add_epi8(at, _mm512_set1_epi8(char(j))), next);
      bytes = _mm512_mask_mov_epi8(bytes, ended, nl);
      ended |= _mm512_cmpeq_epi8_mask(bytes, nl);
      _mm512_storeu_si512(col[j] + fill, bytes);
    }
    fill += count;
  }

  // Of pairs i to i + 63 of a and b: those that differ in their columns, and those whose
  // lines are both longer than them.
  static void compare(const columns &a, const columns &b, size_t i, uint64_t &apart, uint64_t &open) {
    const __m512i nl = _mm512_set1_epi8('\n');
    apart = 0;
    for (size_t j = 0; j < C; j++)
      apart |= _mm512_cmpneq_epi8_mask(_mm512_loadu_si512(a.col[j] + i), _mm512_loadu_si512(b.col[j] + i));
    open = _mm512_cmpneq_epi8_mask(_mm512_loadu_si512(a.col[C - 1] + i), nl) &
           _mm512_cmpneq_epi8_mask(_mm512_loadu_si512(b.col[C - 1] + i), nl);
  }

  // Drops the first k lines, keeping the rest at the front.
  void drop(size_t k) {
    for (size_t j = 0; j < C; j++) std::memmove(col[j], col[j] + k, fill - k);
    fill -= k;
  }
};

// Lines cut into keys of 8 bytes: a line's first 8 bytes, where every byte from its line
// feed on is a line feed; a word costs a permute per 8 lines, of the bytes of the word and
// the next one at the offsets where they start and the 7 after. For lines of 5 to 8 bytes
// keys are cheaper than as many columns: on random numbers below 10^7 shifted by a line,
// 1.4 times as long as wc -l against 1.8; for shorter lines, columns are (1.2 against 1.3).
struct keys : cut {
  uint8_t key[(ROOM + 64) * 8];

  // key is written before it is read.
  // cppcheck-suppress uninitMemberVar
  keys(const char *s, size_t len) : cut(s, len) {}

  // Cuts the next word.
  void add() {
    const __m512i nl = _mm512_set1_epi8('\n');
    // Byte i of a permute's index picks line i / 8, and its byte i % 8. The low bits are
    // cleared before the 16-bit shift, so that no bit moves into the byte below.
    const __m512i within = _mm512_and_si512(iota(), _mm512_set1_epi8(7));
    const __m512i which = _mm512_srli_epi16(_mm512_sub_epi8(iota(), within), 3);
    __m512i v, at;
    size_t count = begin(v, at);
    // Two rounds whether or not the lines need them, so that the loop ends where it is
    // predicted to: on random numbers of 0 to 999 shifted by a line, as many rounds as
    // the lines needed took 1.6 times as long as wc -l, two rounds first 1.2 times.
    for (size_t k = 0; k < 16 || k < count; k += 8) {
      __m512i from = _mm512_maskz_permutexvar_epi8(~0ULL, _mm512_add_epi8(which, _mm512_set1_epi8(char(k))), at);
      __m512i bytes = _mm512_permutex2var_epi8(v, _mm512_add_epi8(from, within), next);
      // From each key's first line feed on, every byte becomes one: past a line is not it.
      uint64_t ended = _mm512_cmpeq_epi8_mask(bytes, nl);
      ended |= ended << 1 & 0xfefefefefefefefeULL;
      ended |= ended << 2 & 0xfcfcfcfcfcfcfcfcULL;
      ended |= ended << 4 & 0xf0f0f0f0f0f0f0f0ULL;
      _mm512_storeu_si512(key + (fill + k) * 8, _mm512_mask_mov_epi8(bytes, ended, nl));
    }
    fill += count;
  }

  // As columns::compare(): a key that ends in no line feed holds a line longer than it.
  static void compare(const keys &a, const keys &b, size_t i, uint64_t &apart, uint64_t &open) {
    const __m512i nl = _mm512_set1_epi8('\n');
    const uint64_t last = 0x8080808080808080ULL;  // each key's last byte
    apart = open = 0;
    for (size_t z = 0; z < 8; z++) {
      __m512i x = _mm512_loadu_si512(a.key + (i + 8 * z) * 8), y = _mm512_loadu_si512(b.key + (i + 8 * z) * 8);
      apart |= uint64_t(_mm512_cmpneq_epi64_mask(x, y)) << (8 * z);
      uint64_t endless = _mm512_cmpneq_epi8_mask(x, nl) & _mm512_cmpneq_epi8_mask(y, nl) & last;
      open |= _pext_u64(endless, last) << (8 * z);
    }
  }

  // Drops the first k lines, keeping the rest at the front.
  void drop(size_t k) {
    std::memmove(key, key + k * 8, (fill - k) * 8);
    fill -= k;
  }
};

// Pairs the lines of p[0, n) and q[0, m) as shifted() does, cut by Cut, while they are
// whole in their cuts often enough. Hands back where 64 pairs in a row are equal: the
// line feeds line up again, and aligned() does better.
template <class Cut>
tally incuts(const char *p, size_t n, const char *q, size_t m) {
  Cut a(p, n), b(q, m);
  tally t;
  size_t done = 0;  // pairs counted, in lines from the spans' starts
  for (;;) {
    // Cut lines of both spans until each has enough, or has no more, or no room.
    while ((a.lines - done < WANT && a.more() && a.room()) || (b.lines - done < WANT && b.more() && b.room())) {
      if (a.more() && a.room() && (a.lines <= b.lines || !b.more() || !b.room()))
        a.add();
      else
        b.add();
    }
    size_t k = (a.lines < b.lines ? a.lines : b.lines) - done;
    if (k == 0) break;
    bool realigned = false;
    size_t i = 0;
    for (; i < k && !realigned; i += 64) {
      uint64_t valid = low(k - i), apart, open;
      Cut::compare(a, b, i, apart, open);
      open &= valid;
      // Both lines longer than their cuts, and alike as far as those go: compare whole.
      for (uint64_t whole = open & ~apart; whole; whole &= whole - 1) {
        size_t line = done + i + size_t(_tzcnt_u64(whole));
        size_t s1 = line ? a.end(line - 1) : 0, s2 = line ? b.end(line - 1) : 0;
        size_t e1 = a.end(line), e2 = b.end(line);
        t.differ += e1 - s1 != e2 - s2 || std::memcmp(p + s1, q + s2, e1 - s1) != 0;
      }
      t.differ += _mm_popcnt_u64(apart & valid);
      realigned = valid == ~0ULL && (apart | open) == 0;
    }
    if (i > k) i = k;
    done += i;
    a.drop(i);
    b.drop(i);
    if (realigned) break;
  }
  t.pairs = int64_t(done);
  if (done > 0) {
    t.used1 = a.end(done - 1);
    t.used2 = b.end(done - 1);
  }
  return t;
}

// The line feeds of a span, listed a word at a time: the compress gathers the offsets of
// a word's line feeds into bytes, and sixteen at a time are widened into the list, so a
// word costs a few instructions however many line feeds it holds. at[0] is the line feed
// before the first listed one (-1 at the span's start).
struct listed {
  static constexpr size_t WORDS = 16;  // words listed per refill
  const char *p;
  size_t n, scanned = 0;
  int32_t at[1 + WORDS * 64 + 16];
  size_t have = 0, used = 0;  // line feeds listed in at[1, have], and paired of those

  // at is written before it is read.
  // cppcheck-suppress uninitMemberVar
  listed(const char *s, size_t len) : p(s), n(len) { at[0] = -1; }

  // Lists the line feeds of the next words, once all listed are paired; false at the end.
  bool refill() {
    if (scanned >= n) return false;
    at[0] = at[used];
    have = used = 0;
    for (size_t w = 0; w < WORDS && scanned < n; w++, scanned += 64) {
      size_t left = n - scanned;
      __m512i v = left >= 64 ? _mm512_loadu_si512(p + scanned) : _mm512_maskz_loadu_epi8(low(left), p + scanned);
      uint64_t feeds = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n'));  // the zeros past the end are none
      alignas(64) uint8_t offsets[64];
      _mm512_store_si512(offsets, _mm512_maskz_compress_epi8(feeds, iota()));
      size_t count = size_t(_mm_popcnt_u64(feeds));
      __m512i base = _mm512_set1_epi32(int(scanned));
      // Sixteen whether or not there are sixteen, so that the loop ends where it is
      // predicted to: on random bytes, where a word holds one line feed or none, looping
      // only over those there took 1.01 times as long as wc -l, and 0.74 this way.
      for (size_t k = 0; k < 16 || k < count; k += 16) {
        __m512i wide =
            _mm512_maskz_cvtepu8_epi32(0xffff, _mm_load_si128(reinterpret_cast<const __m128i *>(offsets + k)));
        _mm512_storeu_si512(at + 1 + have + k, _mm512_add_epi32(wide, base));
      }
      have += count;
    }
    return true;
  }
};

// Whether the lines p[0, len) and q[0, len) differ: a masked compare up to 64 bytes.
bool unlike(const char *p, const char *q, size_t len) {
  if (len > 64) return std::memcmp(p, q, len) != 0;
  return _mm512_cmpneq_epi8_mask(_mm512_maskz_loadu_epi8(low(len), p), _mm512_maskz_loadu_epi8(low(len), q)) != 0;
}

// Pairs the lines of p[0, n) and q[0, m) as shifted() does, sixteen pairs at a time from
// the two lists: lines of different lengths differ, and lines of equal length are
// compared. Hands back after REALIGNED bytes of pairs of equal lengths in a row.
tally inlists(const char *p, size_t n, const char *q, size_t m) {
  listed a(p, n), b(q, m);
  tally t;
  size_t alike = 0;
  while (alike < REALIGNED) {
    if (a.used == a.have && !a.refill()) break;
    if (b.used == b.have && !b.refill()) break;
    size_t k = a.have - a.used, i = 0;
    if (b.have - b.used < k) k = b.have - b.used;
    for (; i < k && alike < REALIGNED; i += 16) {
      const int32_t *e1 = a.at + a.used + i, *e2 = b.at + b.used + i;
      __mmask16 valid = __mmask16(low(k - i < 16 ? k - i : 16));
      __m512i len1 = _mm512_sub_epi32(_mm512_loadu_si512(e1 + 1), _mm512_loadu_si512(e1));
      __m512i len2 = _mm512_sub_epi32(_mm512_loadu_si512(e2 + 1), _mm512_loadu_si512(e2));
      __mmask16 same = _mm512_mask_cmpeq_epi32_mask(valid, len1, len2);
      t.differ += _mm_popcnt_u32(unsigned(valid & ~same));
      for (unsigned s = same; s; s &= s - 1) {
        size_t j = size_t(_tzcnt_u32(s));
        t.differ += unlike(p + e1[j] + 1, q + e2[j] + 1, size_t(e1[j + 1] - e1[j]));
      }
      alike = same == 0xffff ? alike + size_t(e1[16] - e1[0]) : 0;  // the sixteen lengths
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

// The longest line, line feed included, among the first words of p[0, n), or 0 when they
// hold no line feed; a line running past them counts as long.
size_t longest(const char *p, size_t n) {
  size_t at = 0, last = 0, most = 0;
  for (; at < n && at < 256; at += 64) {
    uint64_t feeds = _mm512_cmpeq_epi8_mask(_mm512_maskz_loadu_epi8(low(n - at), p + at), _mm512_set1_epi8('\n'));
    for (; feeds; feeds &= feeds - 1) {
      size_t end = at + size_t(_tzcnt_u64(feeds)) + 1;
      if (end - last > most) most = end - last;
      last = end;
    }
  }
  if (last == 0) return 0;
  return at - last > most ? at - last : most;
}

// Lines of up to 8 bytes are cut, into columns or keys; others are listed and paired one
// by one. Cuts cost a fixed amount per 64 bytes, the list an amount per pair of equal
// lengths.
tally shifted512(const char *p, size_t n, const char *q, size_t m) {
  size_t a = longest(p, n), b = longest(q, m), most = a > b ? a : b;
  if (a > 0 && b > 0 && most <= 8) {
    // As few columns as the lines seen need, each a permute per word; or keys.
    tally t;
    switch (most) {
      case 1:
      case 2: t = incuts<columns<2>>(p, n, q, m); break;
      case 3: t = incuts<columns<3>>(p, n, q, m); break;
      case 4: t = incuts<columns<4>>(p, n, q, m); break;
      default: t = incuts<keys>(p, n, q, m); break;
    }
    if (t.pairs > 0) return t;
  }
  return inlists(p, n, q, m);
}

}  // namespace

}  // namespace avx512base

// Where identical stretches end, and how many line feeds they hold, the AVX2 loops find as
// fast: on two identical 256 MiB files (2-core AMD EPYC), 57.0 ms with them and 61.7 ms
// with 64-byte loads, which mostly straddle two cache lines.
const kernels avx512 = {"avx512",
                        avx512base::firstdiff<avx512base::ymm>,
                        avx512base::countlf<avx512base::ymm>,
                        avx512base::aligned<avx512base::zmm>,
                        avx512base::shifted512,
                        tokens_avx512};

}  // namespace linecmp::engine

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
