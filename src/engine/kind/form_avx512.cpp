// The forms with AVX-512, where the scan kernels' AVX-512 version runs (VBMI2 gives the
// byte compress): a window's masks from four compares, its kept bytes out in one store.
#if defined(__x86_64__)
#include <immintrin.h>

#include <algorithm>

#include "kind/form.h"

#if defined(__clang__)
#pragma clang attribute push(                                                                                  \
    __attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt"))), \
    apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")
#endif

namespace linecmp::engine {

namespace avx512form {
#define LINECMP_FORM_PDEP
#include "kind/form_body.h"
#undef LINECMP_FORM_PDEP
}  // namespace avx512form

void formavx512(formstate &state, const char *p, size_t n, formout &o) {
  using namespace avx512form;
  formroom(o, 2 * n);
  // The state, the form's end and its bytes in locals: a store of the form may alias them.
  formstate s = state;
  char *out = o.out.data();
  size_t i = 0, len = o.len;
  const __m512i nine = _mm512_set1_epi8(9), space = _mm512_set1_epi8(' '), upper = _mm512_set1_epi8('A');
  for (; i + 64 <= n; i += 64) {
    __m512i v = _mm512_loadu_si512(p + i);
    uint64_t lf = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n')), keep;
    if (s.row <= 3) {
      uint64_t cr = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\r'));
      uint64_t ws =
          s.row == 1 ? cr : cr | _mm512_cmpeq_epi8_mask(v, space) | _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\t'));
      keep = keeplinesbits(s, lf, ws, len);
    } else {
      // Tab to CR are 9 to 13; all but the line feed are whitespace between tokens.
      uint64_t ws = (_mm512_cmple_epu8_mask(_mm512_sub_epi8(v, nine), _mm512_set1_epi8(4)) & ~lf) |
                    _mm512_cmpeq_epi8_mask(v, space);
      bool lead;
      keep = keeptokensbits(s, lf, ws, lead);
      if (lead) out[len++] = ' ';
      v = _mm512_mask_mov_epi8(v, ws, space);
      if (s.row == 5) {
        uint64_t up = _mm512_cmple_epu8_mask(_mm512_sub_epi8(v, upper), _mm512_set1_epi8(25));
        v = _mm512_mask_add_epi8(v, up, v, _mm512_set1_epi8(32));
      }
    }
    _mm512_storeu_si512(out + len, _mm512_maskz_compress_epi8(keep, v));
    len += size_t(__builtin_popcountll(keep));
  }
  o.len = len;
  state = s;
  formbytes(state, p + i, n - i, o);
}

}  // namespace linecmp::engine

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
