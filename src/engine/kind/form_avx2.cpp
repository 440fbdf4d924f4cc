// The forms with AVX2: the window's masks as in the AVX-512 version, from two 32-byte
// halves; AVX2 has no byte compress, so the kept bytes go out 8 at a time, each 8 picked
// by a shuffle from a table of the 256 ways to keep some of 8 bytes.
#if defined(__x86_64__)
#include <immintrin.h>

#include <algorithm>

#include "kind/form.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,bmi,bmi2,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,bmi,bmi2,popcnt")
#endif

namespace linecmp::engine {

namespace avx2form {
#define LINECMP_FORM_PDEP
#include "kind/form_body.h"
#undef LINECMP_FORM_PDEP
#include "kind/keep8.h"

// The spaces, tabs, CRs and line feeds of x, as a mask of 64 bits: each has a low half of
// its own, so one shuffle gives each byte the one of them it could be.
inline uint64_t lineblanks(const __m256i x[2]) {
  // Zero where no byte is wanted: only a byte whose low half is zero could match it, and
  // such a byte looks up the space.
  const __m256i set = _mm256_setr_epi8(' ', 0, 0, 0, 0, 0, 0, 0, 0, '\t', '\n', 0, 0, '\r', 0, 0, ' ', 0, 0, 0, 0, 0, 0,
                                       0, 0, '\t', '\n', 0, 0, '\r', 0, 0);
  uint64_t m = 0;
  for (int h = 0; h < 2; h++)
    m |= uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_shuffle_epi8(set, x[h]), x[h])))) << (32 * h);
  return m;
}

// The bytes of x equal to c, as a mask of 64 bits.
inline uint64_t eq(const __m256i x[2], char c) {
  __m256i k = _mm256_set1_epi8(c);
  return uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x[0], k))) |
         uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x[1], k)))) << 32;
}
}  // namespace avx2form

namespace avx2form {
// BITS: the runs told by pext() and pdep() (form_body.h), not by a loop.
template <bool BITS>
void window(formstate &state, const char *p, size_t n, formout &o) {
  formroom(o, 2 * n);
  // The state, the form's end and its bytes in locals: a store of the form may alias them.
  formstate s = state;
  char *const form = o.out.data();
  size_t i = 0, len = o.len;
  alignas(32) char w[64];
  for (; i + 64 <= n; i += 64) {
    __m256i v[2] = {_mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + i)),
                    _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + i + 32))};
    uint64_t lf = eq(v, '\n'), keep;
    if (s.row <= 3) {
      uint64_t ws = s.row == 1 ? eq(v, '\r') : lineblanks(v) & ~lf;
      keep = BITS ? keeplinesbits(s, lf, ws, len) : keeplines(s, lf, ws, len);
    } else {
      uint64_t ws = 0;
      for (int h = 0; h < 2; h++) {
        // Tab to CR (9 to 13) but the line feed, and space, become spaces.
        __m256i x = v[h];
        __m256i low = _mm256_cmpeq_epi8(_mm256_min_epu8(_mm256_sub_epi8(x, _mm256_set1_epi8(9)), _mm256_set1_epi8(4)),
                                        _mm256_sub_epi8(x, _mm256_set1_epi8(9)));
        __m256i isws = _mm256_or_si256(_mm256_andnot_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('\n')), low),
                                       _mm256_cmpeq_epi8(x, _mm256_set1_epi8(' ')));
        ws |= uint64_t(uint32_t(_mm256_movemask_epi8(isws))) << (32 * h);
        x = _mm256_blendv_epi8(x, _mm256_set1_epi8(' '), isws);
        if (s.row == 5) {
          __m256i a = _mm256_sub_epi8(x, _mm256_set1_epi8('A'));
          __m256i up = _mm256_cmpeq_epi8(_mm256_min_epu8(a, _mm256_set1_epi8(25)), a);
          x = _mm256_add_epi8(x, _mm256_and_si256(up, _mm256_set1_epi8(32)));
        }
        v[h] = x;
      }
      bool lead;
      keep = BITS ? keeptokensbits(s, lf, ws, lead) : keeptokens(s, lf, ws, lead);
      if (lead) form[len++] = ' ';
    }
    char *out = form + len;
    if (keep == ~0ULL) {
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(out), v[0]);
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 32), v[1]);
      len += 64;
      continue;
    }
    _mm256_store_si256(reinterpret_cast<__m256i *>(w), v[0]);
    _mm256_store_si256(reinterpret_cast<__m256i *>(w + 32), v[1]);
    len = size_t(keep8(w, keep, out) - form);
  }
  o.len = len;
  state = s;
  formbytes(state, p + i, n - i, o);
}
}  // namespace avx2form

void formavx2(formstate &s, const char *p, size_t n, formout &o) { avx2form::window<false>(s, p, n, o); }
void formavx2bits(formstate &s, const char *p, size_t n, formout &o) { avx2form::window<true>(s, p, n, o); }

}  // namespace linecmp::engine

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
