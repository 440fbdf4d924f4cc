// The token kernel's portable version, and the SSE2 one every x86-64 CPU runs; the AVX2
// one lives in a file of its own, compiled for its instructions alone.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "scan/scan.h"

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace linecmp::engine {

namespace {

// Whether c is whitespace of that kind.
bool white(unsigned char c, uint8_t kind) {
  if (c == ' ' || c == '\t' || c == '\n' || c == '\r') return true;
  return kind != tokenrules::TESTLIB && (c == '\v' || c == '\f');
}

// Writes the bytes of p[0, 64) kept, as squeeze() does, a byte at a time.
size_t squeezebytes(const char *p, uint64_t keep, uint64_t ws, bool fold, char *out) {
  size_t k = 0;
  for (; keep; keep &= keep - 1) {
    int at = __builtin_ctzll(keep);
    unsigned char c = static_cast<unsigned char>(p[at]);
    out[k++] = ws >> at & 1 ? ' ' : fold && c >= 'A' && c <= 'Z' ? char(c | 0x20) : char(c);
  }
  return k;
}

// Masks a byte at a time, for any machine; bit i always stands for byte i.
struct bytewise {
  static size_t squeeze(const char *p, uint64_t keep, uint64_t ws, bool fold, char *out) {
    return squeezebytes(p, keep, ws, fold, out);
  }
  static uint64_t ws(const char *p, uint8_t kind) {
    uint64_t m = 0;
    for (size_t i = 0; i < 64; i++) m |= uint64_t(white(static_cast<unsigned char>(p[i]), kind)) << i;
    return m;
  }
  static uint64_t eq(const char *p, char c) {
    uint64_t m = 0;
    for (size_t i = 0; i < 64; i++) m |= uint64_t(p[i] == c) << i;
    return m;
  }
  static uint64_t range(const char *p, char lo, char hi) {
    uint64_t m = 0;
    for (size_t i = 0; i < 64; i++) m |= uint64_t(p[i] >= lo && p[i] <= hi) << i;
    return m;
  }
  static uint64_t ne(const char *p, const char *q) {
    uint64_t m = 0;
    for (size_t i = 0; i < 64; i++) m |= uint64_t(p[i] != q[i]) << i;
    return m;
  }
};

}  // namespace

namespace portable_tokens {
#include "scan/scan_tokens.h"
}  // namespace portable_tokens

tokentally tokens_portable(const char *p, size_t n, const char *q, size_t m, const tokenrules &r) {
  return portable_tokens::tokens<bytewise>(p, n, q, m, r);
}

#if defined(__x86_64__)
namespace {

struct xmmtokens {
  static size_t squeeze(const char *p, uint64_t keep, uint64_t ws, bool fold, char *out) {
    return squeezebytes(p, keep, ws, fold, out);
  }
  static __m128i at(const char *p, int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p) + k); }
  static uint64_t bits(__m128i v, int k) { return uint64_t(uint16_t(_mm_movemask_epi8(v))) << (16 * k); }
  static uint64_t ws(const char *p, uint8_t kind) {
    uint64_t m = 0;
    for (int k = 0; k < 4; k++) {
      __m128i x = at(p, k), v = _mm_cmpeq_epi8(x, _mm_set1_epi8(' '));
      if (kind == tokenrules::TESTLIB) {
        v = _mm_or_si128(v, _mm_cmpeq_epi8(x, _mm_set1_epi8('\t')));
        v = _mm_or_si128(v, _mm_cmpeq_epi8(x, _mm_set1_epi8('\n')));
        v = _mm_or_si128(v, _mm_cmpeq_epi8(x, _mm_set1_epi8('\r')));
      } else {
        __m128i d = _mm_sub_epi8(x, _mm_set1_epi8('\t'));  // 9 to 13 as 0 to 4
        v = _mm_or_si128(v, _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(4)), d));
      }
      m |= bits(v, k);
    }
    return m;
  }
  static uint64_t eq(const char *p, char c) {
    uint64_t m = 0;
    for (int k = 0; k < 4; k++) m |= bits(_mm_cmpeq_epi8(at(p, k), _mm_set1_epi8(c)), k);
    return m;
  }
  static uint64_t range(const char *p, char lo, char hi) {
    uint64_t m = 0;
    for (int k = 0; k < 4; k++) {
      __m128i d = _mm_sub_epi8(at(p, k), _mm_set1_epi8(lo));
      m |= bits(_mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(char(hi - lo))), d), k);
    }
    return m;
  }
  static uint64_t ne(const char *p, const char *q) {
    uint64_t m = 0;
    for (int k = 0; k < 4; k++) m |= bits(_mm_cmpeq_epi8(at(p, k), at(q, k)), k);
    return ~m;
  }
};

}  // namespace

namespace sse2_tokens {
#include "scan/scan_tokens.h"
}  // namespace sse2_tokens

tokentally tokens_sse2(const char *p, size_t n, const char *q, size_t m, const tokenrules &r) {
  return sse2_tokens::tokens<xmmtokens>(p, n, q, m, r);
}
#endif

}  // namespace linecmp::engine
