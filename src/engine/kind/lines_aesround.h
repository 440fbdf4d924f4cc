// The AES finish of the order row's line kernels: two AES-128 encryptions chained, of one
// NH sum and then of the other added to the first's result, which is a pseudorandom
// function of the 256 bits of NH as AES is a pseudorandom permutation. For the x86
// versions that set the "aes" target: each includes it once, after lines_body.h, inside its
// own namespace. It has no include guard: a program built from one file holds it once per
// version.

// AES-128 encryption of x under the round keys rk.
inline __m128i aesblock(__m128i x, const __m128i *rk) {
  x = _mm_xor_si128(x, _mm_load_si128(rk));
  for (int r = 1; r < 10; r++) x = _mm_aesenc_si128(x, _mm_load_si128(rk + r));
  return _mm_aesenclast_si128(x, _mm_load_si128(rk + 10));
}

struct aesfinish {
  // Adds the fingerprints of the count lines whose NH sums are a[i], b[i] to sum. Each
  // round runs over the whole batch before the next, since one line's 20 rounds wait on
  // each other; a batch short of LINEBATCH is run whole, its unused lanes left out of the
  // sum.
  static void finish(const hashkey &key, const nhacc *a, const nhacc *b, size_t count, digest &sum) {
    const auto *rk = reinterpret_cast<const __m128i *>(key.aes);
    __m128i x[LINEBATCH];
    for (size_t i = 0; i < LINEBATCH; i++)
      x[i] = _mm_xor_si128(_mm_set_epi64x(int64_t(a[i].hi), int64_t(a[i].lo)), _mm_load_si128(rk));
    for (int r = 1; r < 10; r++)
      for (auto &v : x) v = _mm_aesenc_si128(v, _mm_load_si128(rk + r));
    for (size_t i = 0; i < LINEBATCH; i++)
      x[i] = _mm_xor_si128(_mm_aesenclast_si128(x[i], _mm_load_si128(rk + 10)),
                           _mm_xor_si128(_mm_set_epi64x(int64_t(b[i].hi), int64_t(b[i].lo)), _mm_load_si128(rk)));
    for (int r = 1; r < 10; r++)
      for (auto &v : x) v = _mm_aesenc_si128(v, _mm_load_si128(rk + r));
    digest total = sum;
    for (size_t i = 0; i < count; i++) {
      __m128i y = _mm_aesenclast_si128(x[i], _mm_load_si128(rk + 10));
      total = hashplus(total, digest{uint64_t(_mm_cvtsi128_si64(y)), uint64_t(_mm_extract_epi64(y, 1))});
    }
    sum = total;
  }
};

// One step of the AES-128 key schedule: the previous round key k and the word t that
// aeskeygenassist made from it.
inline __m128i aeskeystep(__m128i k, __m128i t) {
  t = _mm_shuffle_epi32(t, 0xff);
  k = _mm_xor_si128(k, _mm_slli_si128(k, 4));
  k = _mm_xor_si128(k, _mm_slli_si128(k, 4));
  k = _mm_xor_si128(k, _mm_slli_si128(k, 4));
  return _mm_xor_si128(k, t);
}

// linekernel::prepare with AES: the round keys of a key drawn from the SipHash key.
inline void aesprepare(hashkey &key) {
  keyhash h;
  hashstart(h, key);
  hashadd(h, "aes key", 7);
  digest d = hashof(h);
  auto *rk = reinterpret_cast<__m128i *>(key.aes);
  __m128i k = _mm_set_epi64x(int64_t(d.hi), int64_t(d.lo));
  _mm_store_si128(rk, k);
  // aeskeygenassist takes its round constant as an immediate, hence the steps written out.
  k = aeskeystep(k, _mm_aeskeygenassist_si128(k, 0x01));
  _mm_store_si128(rk + 1, k);
  k = aeskeystep(k, _mm_aeskeygenassist_si128(k, 0x02));
  _mm_store_si128(rk + 2, k);
  k = aeskeystep(k, _mm_aeskeygenassist_si128(k, 0x04));
  _mm_store_si128(rk + 3, k);
  k = aeskeystep(k, _mm_aeskeygenassist_si128(k, 0x08));
  _mm_store_si128(rk + 4, k);
  k = aeskeystep(k, _mm_aeskeygenassist_si128(k, 0x10));
  _mm_store_si128(rk + 5, k);
  k = aeskeystep(k, _mm_aeskeygenassist_si128(k, 0x20));
  _mm_store_si128(rk + 6, k);
  k = aeskeystep(k, _mm_aeskeygenassist_si128(k, 0x40));
  _mm_store_si128(rk + 7, k);
  k = aeskeystep(k, _mm_aeskeygenassist_si128(k, 0x80));
  _mm_store_si128(rk + 8, k);
  k = aeskeystep(k, _mm_aeskeygenassist_si128(k, 0x1b));
  _mm_store_si128(rk + 9, k);
  k = aeskeystep(k, _mm_aeskeygenassist_si128(k, 0x36));
  _mm_store_si128(rk + 10, k);
}
