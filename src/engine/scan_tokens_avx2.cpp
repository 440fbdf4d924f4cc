// The token kernel's AVX2 version, used only when the CPU reports AVX2 (and by the
// AVX-512 kernels too). Like the other AVX files, this one sets its own target after the
// standard headers, so that every program builds with one plain compiler command.
#if defined(__x86_64__)
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "scan.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt,bmi,lzcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,popcnt,bmi,lzcnt")
#endif

namespace {

struct ymmtokens {
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
  static uint64_t ne(const char *p, const char *q) {
    return ~(bits(_mm256_cmpeq_epi8(at(p, 0), at(q, 0)), 0) | bits(_mm256_cmpeq_epi8(at(p, 1), at(q, 1)), 1));
  }
};

}  // namespace

namespace avx2_tokens {
#include "scan_tokens.h"
}  // namespace avx2_tokens

tokentally tokens_avx2(const char *p, size_t n, const char *q, size_t m, const tokenrules &r) {
  return avx2_tokens::tokens<ymmtokens>(p, n, q, m, r);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
