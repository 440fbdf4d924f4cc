// The AVX2 versions' byte compress, which AVX2 lacks: the bytes of w[0, 64) that keep has,
// 8 at a time, each 8 picked by a shuffle from KEEPPICKS (form.h). For files that set the
// AVX2 target: each includes it once, inside its own namespace, after form.h. It has no
// include guard: a program built from one file holds it once per version.

// Writes the kept bytes of w to out, with room for 8 bytes past them; returns their end.
template <class Byte>
inline Byte *keep8(const void *w, uint64_t keep, Byte *out) {
  const auto *bytes = static_cast<const char *>(w);
  for (int g = 0; g < 8; g++) {
    unsigned m = unsigned(keep >> (8 * g)) & 0xff;
    __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(bytes + 8 * size_t(g)));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(out),
                     _mm_shuffle_epi8(eight, _mm_cvtsi64_si128(static_cast<long long>(KEEPPICKS[m]))));
    out += __builtin_popcount(m);
  }
  return out;
}
