// The token kernel's AVX2 version, used only when the CPU reports AVX2. Like the other
// AVX files, this one sets its own target after the standard headers, so that every
// program builds with one plain compiler command.
#if defined(__x86_64__)
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "scan/scan.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt,bmi,lzcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,popcnt,bmi,lzcnt")
#endif

namespace linecmp::engine {

namespace {

// For each byte value, the offsets of its set bits, packed from the low byte up: the
// shuffle that gathers the bytes an 8-bit mask keeps to the front.
struct gathers {
  uint64_t of[256];
};

constexpr gathers makegathers() {
  gathers g{};
  for (unsigned m = 0; m < 256; m++) {
    unsigned k = 0;
    for (unsigned b = 0; b < 8; b++)
      if (m >> b & 1) g.of[m] |= uint64_t(b) << (8 * k++);
  }
  return g;
}

constexpr gathers GATHER = makegathers();

struct ymmtokens {
  // The 32 bits of m as bytes, 0xff where set.
  static __m256i spread(uint32_t m) {
    const __m256i which = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 3, 3,
                                           3, 3, 3, 3, 3, 3);
    const __m256i bit = _mm256_set1_epi64x(int64_t(0x8040201008040201ULL));
    __m256i v = _mm256_shuffle_epi8(_mm256_set1_epi32(int(m)), which);
    return _mm256_cmpeq_epi8(_mm256_and_si256(v, bit), bit);
  }
  static size_t squeeze(const char *p, uint64_t keep, uint64_t ws, bool fold, char *out) {
    alignas(32) char shown[64];
    for (int k = 0; k < 2; k++) {
      __m256i x = _mm256_blendv_epi8(at(p, k), _mm256_set1_epi8(' '), spread(uint32_t(ws >> (32 * k))));
      if (fold) {
        __m256i z = _mm256_sub_epi8(x, _mm256_set1_epi8('A'));  // capitals as 0 to 25
        __m256i upper = _mm256_cmpeq_epi8(_mm256_min_epu8(z, _mm256_set1_epi8(25)), z);
        x = _mm256_or_si256(x, _mm256_and_si256(upper, _mm256_set1_epi8(0x20)));
      }
      _mm256_store_si256(reinterpret_cast<__m256i *>(shown) + k, x);
    }
    size_t n = 0;
    for (int g = 0; g < 8; g++) {
      unsigned m = unsigned(keep >> (8 * g)) & 0xff;
      __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(shown + 8 * size_t(g)));
      v = _mm_shuffle_epi8(v, _mm_cvtsi64_si128(int64_t(GATHER.of[m])));
      _mm_storel_epi64(reinterpret_cast<__m128i *>(out + n), v);
      n += size_t(__builtin_popcount(m));
    }
    return n;
  }
  static __m256i at(const char *p, int k) { return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p) + k); }
  static uint64_t bits(__m256i v, int k) { return uint64_t(uint32_t(_mm256_movemask_epi8(v))) << (32 * k); }
  static uint64_t ws(const char *p, uint8_t kind) {
    uint64_t m = 0;
    for (int k = 0; k < 2; k++) {
      __m256i x = at(p, k), v = _mm256_cmpeq_epi8(x, _mm256_set1_epi8(' '));
      if (kind == tokenrules::TESTLIB) {
        v = _mm256_or_si256(v, _mm256_cmpeq_epi8(x, _mm256_set1_epi8('\t')));
        v = _mm256_or_si256(v, _mm256_cmpeq_epi8(x, _mm256_set1_epi8('\n')));
        v = _mm256_or_si256(v, _mm256_cmpeq_epi8(x, _mm256_set1_epi8('\r')));
      } else {
        __m256i d = _mm256_sub_epi8(x, _mm256_set1_epi8('\t'));  // 9 to 13 as 0 to 4
        v = _mm256_or_si256(v, _mm256_cmpeq_epi8(_mm256_min_epu8(d, _mm256_set1_epi8(4)), d));
      }
      m |= bits(v, k);
    }
    return m;
  }
  static uint64_t eq(const char *p, char c) {
    __m256i v = _mm256_set1_epi8(c);
    return bits(_mm256_cmpeq_epi8(at(p, 0), v), 0) | bits(_mm256_cmpeq_epi8(at(p, 1), v), 1);
  }
  static uint64_t range(const char *p, char lo, char hi) {
    uint64_t m = 0;
    for (int k = 0; k < 2; k++) {
      __m256i d = _mm256_sub_epi8(at(p, k), _mm256_set1_epi8(lo));
      m |= bits(_mm256_cmpeq_epi8(_mm256_min_epu8(d, _mm256_set1_epi8(char(hi - lo))), d), k);
    }
    return m;
  }
  static uint64_t ne(const char *p, const char *q) {
    return ~(bits(_mm256_cmpeq_epi8(at(p, 0), at(q, 0)), 0) | bits(_mm256_cmpeq_epi8(at(p, 1), at(q, 1)), 1));
  }
};

}  // namespace

namespace avx2_tokens {
#include "scan/scan_tokens.h"
}  // namespace avx2_tokens

tokentally tokens_avx2(const char *p, size_t n, const char *q, size_t m, const tokenrules &r) {
  return avx2_tokens::tokens<ymmtokens>(p, n, q, m, r);
}

}  // namespace linecmp::engine

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
