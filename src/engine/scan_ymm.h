// The masks of 64 bytes made with AVX2, two 32-byte halves at a time. Only for files
// compiled for AVX2, after scan_body.h: the AVX2 version, and the AVX-512 one, which
// finds where identical stretches end with them. Its headers must already be included
// before the file's target is set, as they are.
#ifndef LINECMP_SCAN_YMM_H
#define LINECMP_SCAN_YMM_H

#include <immintrin.h>

#include <cstdint>

namespace {

struct ymm {
  static uint64_t bits(__m256i eq, int k) { return uint64_t(uint32_t(_mm256_movemask_epi8(eq))) << (32 * k); }
  static __m256i at(const char *p, int k) { return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p) + k); }
  static uint64_t lf(const char *p) {
    const __m256i nl = _mm256_set1_epi8('\n');
    return bits(_mm256_cmpeq_epi8(at(p, 0), nl), 0) | bits(_mm256_cmpeq_epi8(at(p, 1), nl), 1);
  }
  static uint64_t ne(const char *p, const char *q) {
    return ~(bits(_mm256_cmpeq_epi8(at(p, 0), at(q, 0)), 0) | bits(_mm256_cmpeq_epi8(at(p, 1), at(q, 1)), 1));
  }
};

}  // namespace

#endif
