// The token kernel's AVX-512 version, used with the other AVX-512 kernels: 64-byte masks
// straight from compares, and squeezing by the byte compress of VBMI2. Like the other AVX
// files, this one sets its own target after the standard headers.
#if defined(__x86_64__)
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
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

namespace {

struct zmmtokens {
  static __m512i at(const char *p) { return _mm512_loadu_si512(p); }
  static uint64_t ws(const char *p, uint8_t kind) {
    __m512i x = at(p);
    uint64_t m = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8(' '));
    if (kind == tokenrules::TESTLIB)
      return m | _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('\t')) | _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('\n')) |
             _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('\r'));
    // 9 to 13 as 0 to 4
    return m | _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, _mm512_set1_epi8('\t')), _mm512_set1_epi8(4));
  }
  static uint64_t eq(const char *p, char c) { return _mm512_cmpeq_epi8_mask(at(p), _mm512_set1_epi8(c)); }
  static uint64_t range(const char *p, char lo, char hi) {
    return _mm512_cmple_epu8_mask(_mm512_sub_epi8(at(p), _mm512_set1_epi8(lo)), _mm512_set1_epi8(char(hi - lo)));
  }
  static uint64_t ne(const char *p, const char *q) { return _mm512_cmpneq_epi8_mask(at(p), at(q)); }
  static size_t squeeze(const char *p, uint64_t keep, uint64_t ws, bool fold, char *out) {
    __m512i x = _mm512_mask_mov_epi8(at(p), ws, _mm512_set1_epi8(' '));
    if (fold) {
      __mmask64 upper = _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, _mm512_set1_epi8('A')), _mm512_set1_epi8(25));
      x = _mm512_mask_or_epi32(x, 0xffff, x, _mm512_maskz_mov_epi8(upper, _mm512_set1_epi8(0x20)));
    }
    _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, x));
    return size_t(_mm_popcnt_u64(keep));
  }
};

}  // namespace

namespace avx512_tokens {
#include "scan/scan_tokens.h"
}  // namespace avx512_tokens

tokentally tokens_avx512(const char *p, size_t n, const char *q, size_t m, const tokenrules &r) {
  return avx512_tokens::tokens<zmmtokens>(p, n, q, m, r);
}

}  // namespace linecmp::engine

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
