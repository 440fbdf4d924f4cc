// The order row's line kernels with AVX2 and the AES finish: canonical bytes 64 at a time,
// from the window's masks, the bytes kept by keep8.h (AVX2 has no byte compress). Like the
// scan kernels' files, this one sets its own target after the standard headers, so that it
// builds with one plain compiler command.
#if defined(__x86_64__)
#include <immintrin.h>

#include <cstring>

#include "kind/form.h"
#include "kind/lines.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,bmi,popcnt,sse4.1,aes"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,bmi,popcnt,sse4.1,aes")
#endif

namespace linecmp::engine {

namespace avx2linesbase {
#include "kind/lines_body.h"
// The finish uses the body's NH sums.
#include "kind/keep8.h"
#include "kind/lines_aesround.h"

// The canonical bytes of scalarcanon, a window at a time: a token's bytes folded, and the
// first byte after a token as a space.
struct ymmcanon {
  static size_t canon(const unsigned char *p, size_t k, unsigned char *out, bool &token, bool &crlf, uint32_t *ends,
                      size_t &nends, size_t base) {
    size_t pos = 0, i = 0;
    uint64_t prev = token, prevcr = 0;
    const __m256i nine = _mm256_set1_epi8(9), four = _mm256_set1_epi8(4), space = _mm256_set1_epi8(' ');
    const __m256i big = _mm256_set1_epi8('A'), z = _mm256_set1_epi8(25), lower = _mm256_set1_epi8(32);
    alignas(32) unsigned char w[64] = {};
    for (; i + 64 <= k; i += 64) {
      uint64_t white = 0, lf = 0, cr = 0;
      for (int h = 0; h < 2; h++) {
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + i + 32 * size_t(h)));
        __m256i t = _mm256_sub_epi8(x, nine);
        __m256i ws = _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(t, four), t), _mm256_cmpeq_epi8(x, space));
        __m256i a = _mm256_sub_epi8(x, big);
        __m256i up = _mm256_cmpeq_epi8(_mm256_min_epu8(a, z), a);
        x = _mm256_blendv_epi8(_mm256_add_epi8(x, _mm256_and_si256(up, lower)), space, ws);
        _mm256_store_si256(reinterpret_cast<__m256i *>(w + 32 * size_t(h)), x);
        white |= uint64_t(uint32_t(_mm256_movemask_epi8(ws))) << (32 * h);
        lf |= uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(t, _mm256_set1_epi8(1))))) << (32 * h);
        cr |= uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(t, four)))) << (32 * h);
      }
      crlf = crlf || (cr & (lf >> 1)) || (prevcr & lf);
      prevcr = cr >> 63;
      uint64_t tok = ~white, keep = tok | tok << 1 | prev;
      prev = tok >> 63;
      for (uint64_t e = lf; e; e &= e - 1) {
        int at = __builtin_ctzll(e);
        uint64_t upto = at == 63 ? ~0ULL : (2ULL << at) - 1;
        ends[nends++] = uint32_t(base + pos + size_t(__builtin_popcountll(keep & upto)));
      }
      pos = size_t(keep8(w, keep, out + pos) - out);
    }
    token = prev;
    if (i < k) {
      crlf = crlf || (prevcr && p[i] == '\n');
      pos += scalarcanon::canon(p + i, k - i, out + pos, token, crlf, ends, nends, base + pos);
    }
    return pos;
  }
};

using hash = nhwords<aesfinish>;
}  // namespace avx2linesbase

const linekernel avx2lines = {"avx2", avx2linesbase::lineone<avx2linesbase::hash>,
                              avx2linesbase::linesfeed<avx2linesbase::ymmcanon, avx2linesbase::hash>,
                              avx2linesbase::aesprepare};

}  // namespace linecmp::engine

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
