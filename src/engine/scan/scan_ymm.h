// The masks of 64 bytes made with AVX2, two 32-byte halves at a time. Only for files
// compiled for AVX2, after scan_body.h: the AVX2 version, and the AVX-512 one, which
// finds where identical stretches end with them. Its headers must already be included
// before the file's target is set, as they are (immintrin.h, cstdint, cstring). Like
// scan_body.h, a body with no include guard, included inside each version's namespace.

struct ymm {
  static uint64_t bits(__m256i eq, int k) { return uint64_t(uint32_t(_mm256_movemask_epi8(eq))) << (32 * k); }
  static __m256i at(const char *p, int k) { return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p) + k); }
  static __m256i at32(const int32_t *e) { return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(e)); }
  static uint64_t lf(const char *p) {
    const __m256i nl = _mm256_set1_epi8('\n');
    return bits(_mm256_cmpeq_epi8(at(p, 0), nl), 0) | bits(_mm256_cmpeq_epi8(at(p, 1), nl), 1);
  }
  static uint64_t ne(const char *p, const char *q) {
    return ~(bits(_mm256_cmpeq_epi8(at(p, 0), at(q, 0)), 0) | bits(_mm256_cmpeq_epi8(at(p, 1), at(q, 1)), 1));
  }
  // Bit j set when lines j of two lists of line feeds are of equal length: e1[j + 1] -
  // e1[j] == e2[j + 1] - e2[j], for j < 8.
  static unsigned same8(const int32_t *e1, const int32_t *e2) {
    __m256i len1 = _mm256_sub_epi32(at32(e1 + 1), at32(e1)), len2 = _mm256_sub_epi32(at32(e2 + 1), at32(e2));
    return unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(len1, len2))));
  }
  // As tails() in scan_body.h, the loads one by one and the rest four pairs at a time.
  static unsigned tails8(const char *p, const int32_t *e1, const char *q, const int32_t *e2, unsigned &slow) {
    if (e1[1] < 7 || e2[1] < 7) return tails(p, e1, q, e2, slow);
    auto last = [](const char *s, const int32_t *e, int j) {
      long long v;
      std::memcpy(&v, s + e[j + 1] - 7, 8);
      return v;
    };
    __m256i len = _mm256_sub_epi32(at32(e1 + 1), at32(e1));
    // The bytes before a line of fewer than 8 are shifted out: 8 * (8 - len) bits.
    __m256i drop =
        _mm256_slli_epi32(_mm256_sub_epi32(_mm256_set1_epi32(8), _mm256_min_epu32(len, _mm256_set1_epi32(8))), 3);
    unsigned same = 0;
    for (int h = 0; h < 2; h++) {
      __m256i x = _mm256_setr_epi64x(last(p, e1, 4 * h), last(p, e1, 4 * h + 1), last(p, e1, 4 * h + 2),
                                     last(p, e1, 4 * h + 3));
      __m256i y = _mm256_setr_epi64x(last(q, e2, 4 * h), last(q, e2, 4 * h + 1), last(q, e2, 4 * h + 2),
                                     last(q, e2, 4 * h + 3));
      __m128i half = h ? _mm256_extracti128_si256(drop, 1) : _mm256_castsi256_si128(drop);
      __m256i d = _mm256_srlv_epi64(_mm256_xor_si256(x, y), _mm256_cvtepu32_epi64(half));
      same |= unsigned(_mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(d, _mm256_setzero_si256()))))
              << (4 * h);
    }
    unsigned longer = unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(len, _mm256_set1_epi32(8)))));
    slow = longer & same;
    return ~same & 0xff;
  }
};
