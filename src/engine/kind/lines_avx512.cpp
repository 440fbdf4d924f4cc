// The order row's line kernels with AVX-512: canonical bytes made 64 at a time, by masks
// and a byte compress (VBMI2), and the AES finish. Used only where the CPU runs the
// AVX-512 scan kernels and has AES-NI; like them, the file sets its own target after the
// standard headers.
#if defined(__x86_64__)
#include <immintrin.h>

#include <cstring>

#include "kind/lines.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi2,bmi,bmi2,popcnt,sse4.1,aes"))), \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi2,bmi,bmi2,popcnt,sse4.1,aes")
#endif

namespace linecmp::engine {

namespace avx512linesbase {
#include "kind/lines_body.h"
#include "kind/lines_aesround.h"

// Canonical bytes 64 input bytes at a time: a mask of the tokens' bytes and of the first
// byte after each token, the bytes folded or made spaces, and those the mask keeps
// compressed together.
struct zmmcanon {
  // As scalarcanon::canon; writes up to 64 bytes past the canonical bytes.
  static size_t canon(const unsigned char *p, size_t k, unsigned char *out, bool &token, uint32_t *ends,
                      size_t &nends, size_t base) {
    const __m512i nine = _mm512_set1_epi8(9), four = _mm512_set1_epi8(4), space = _mm512_set1_epi8(' ');
    const __m512i lf = _mm512_set1_epi8('\n'), upper = _mm512_set1_epi8('A'), letters = _mm512_set1_epi8(25);
    const __m512i fold = _mm512_set1_epi8(32);
    size_t pos = 0;
    uint64_t prev = token;
    for (size_t i = 0; i < k; i += 64) {
      size_t r = k - i < 64 ? k - i : 64;
      uint64_t valid = r == 64 ? ~uint64_t(0) : (uint64_t(1) << r) - 1;
      __m512i x = _mm512_maskz_loadu_epi8(valid, p + i);
      uint64_t white = _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, nine), four) | _mm512_cmpeq_epi8_mask(x, space);
      uint64_t tok = ~white & valid, lfs = _mm512_cmpeq_epi8_mask(x, lf);
      __m512i y = _mm512_mask_add_epi8(x, _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, upper), letters), x, fold);
      y = _mm512_mask_blend_epi8(tok, space, y);
      uint64_t keep = tok | ((tok << 1 | prev) & valid);
      prev = tok >> (r - 1) & 1;
      _mm512_storeu_si512(out + pos, _mm512_maskz_compress_epi8(keep, y));
      for (; lfs; lfs &= lfs - 1) {
        unsigned at = unsigned(_tzcnt_u64(lfs));
        uint64_t upto = at == 63 ? ~uint64_t(0) : (uint64_t(2) << at) - 1;
        ends[nends++] = uint32_t(base + pos + size_t(_mm_popcnt_u64(keep & upto)));
      }
      pos += size_t(_mm_popcnt_u64(keep));
    }
    token = prev != 0;
    return pos;
  }
};

}  // namespace avx512linesbase

const linekernel avx512lines = {"avx512", avx512linesbase::aesone,
                                avx512linesbase::linesfeed<avx512linesbase::zmmcanon, avx512linesbase::aesfinish>,
                                avx512linesbase::aesprepare};

}  // namespace linecmp::engine

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace linecmp::engine {

bool avx512linesrunnable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi2") &&
         __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("aes") &&
         __builtin_cpu_supports("sse4.1");
}

}  // namespace linecmp::engine
#endif
