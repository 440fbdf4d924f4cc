// The order row's line kernels with AVX2 and the AES finish: canonical bytes 64 at a time,
// from the window's masks, the bytes kept by keep8.h (AVX2 has no byte compress); lines
// hashed by the AVX-512 version's NH, eight 32-bit words a vector. Like the scan kernels'
// files, this one sets its own target after the standard headers, so that it builds with
// one plain compiler command.
#if defined(__x86_64__)
#include <immintrin.h>

#include <algorithm>
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
      // The first four line ends of the window are noted whether there are so many or not,
      // as zmmcanon does, so that their number takes no branch (on the 41-byte text, 13.4
      // ns a line with four, 16.5 with a loop over the line feeds).
      size_t count = size_t(__builtin_popcountll(lf));
      uint64_t e = lf;
      for (size_t j = 0; j < 4; j++, e = _blsr_u64(e))
        ends[nends + j] = uint32_t(base + pos + size_t(__builtin_popcountll(keep & _blsmsk_u64(e))));
      for (size_t j = 4; j < count; j++, e = _blsr_u64(e))
        ends[nends + j] = uint32_t(base + pos + size_t(__builtin_popcountll(keep & _blsmsk_u64(e))));
      nends += count;
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

// Lines of up to 128 canonical bytes by the AVX-512 version's NH, on 32-bit words under
// four keys shifted by two words, eight words a vector: the same sums, so the same
// fingerprints. On the 41-byte text the kernel cost 16.5 ns a line with it and 27.3 with
// the 64-bit NH of nhwords, whose loop on the length misses often; reading all four
// vectors for every line, with no branch, cost 18.0.
struct nhymm {
  static constexpr size_t LIMIT = 128;
  using batch = nhwords<aesfinish>::batch;
  // The 32 bytes at c, those from m on zero (all of them when m <= 0).
  static __m256i part(const unsigned char *c, long m) {
    const __m256i at = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                        22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
    __m256i keep = _mm256_cmpgt_epi8(_mm256_set1_epi8(char(std::min(std::max(m, 0L), 32L))), at);
    return _mm256_and_si256(keep, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(c)));
  }
  // NH's eight words of x under the key words k, as four 64-bit sums.
  static __m256i products(__m256i x, const uint32_t *k) {
    __m256i t = _mm256_add_epi32(x, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(k)));
    return _mm256_mul_epu32(t, _mm256_srli_epi64(t, 32));
  }
  // As nhwords::add, with 128 bytes readable at c. A line of up to 64 bytes leaves the
  // last 64 zero, whose products prepare() has summed, as for the AVX-512 version.
  static void add(const hashkey &key, const unsigned char *c, size_t m, batch &w, digest &sum) {
    long n = long(m);
    __m256i x0 = part(c, n), x1 = part(c + 32, n - 32), s[4];
    for (int j = 0; j < 4; j++) s[j] = _mm256_add_epi64(products(x0, key.nhv[j]), products(x1, key.nhv[j] + 8));
    __m128i pada = _mm_loadu_si128(reinterpret_cast<const __m128i *>(key.nhvpad));
    __m128i padb = _mm_loadu_si128(reinterpret_cast<const __m128i *>(key.nhvpad + 2));
    if (m > 64) {
      __m256i x2 = part(c + 64, n - 64), x3 = part(c + 96, n - 96);
      for (int j = 0; j < 4; j++)
        s[j] = _mm256_add_epi64(s[j], _mm256_add_epi64(products(x2, key.nhv[j] + 16), products(x3, key.nhv[j] + 24)));
      pada = padb = _mm_setzero_si128();
    }
    // Each key's four sums added up: keys 0 and 1 in a, 2 and 3 in b, as nhzmm lays them.
    __m256i u = _mm256_add_epi64(_mm256_unpacklo_epi64(s[0], s[1]), _mm256_unpackhi_epi64(s[0], s[1]));
    __m256i v = _mm256_add_epi64(_mm256_unpacklo_epi64(s[2], s[3]), _mm256_unpackhi_epi64(s[2], s[3]));
    __m128i a = _mm_add_epi64(_mm_add_epi64(_mm256_castsi256_si128(u), _mm256_extracti128_si256(u, 1)), pada);
    __m128i b = _mm_add_epi64(_mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)), padb);
    w.a[w.n] = nhacc{uint64_t(_mm_cvtsi128_si64(a)), uint64_t(_mm_extract_epi64(a, 1))};
    w.b[w.n] = nhacc{uint64_t(_mm_cvtsi128_si64(b)), uint64_t(_mm_extract_epi64(b, 1))};
    if (++w.n == LINEBATCH) flush(key, w, sum);
  }
  // As nhwords::flush.
  static void flush(const hashkey &key, batch &w, digest &sum) { nhwords<aesfinish>::flush(key, w, sum); }
};

// linekernel::one: the line copied where 128 bytes may be read, as add() reads them.
digest ymmone(const hashkey &key, const unsigned char *c, size_t m) {
  if (m > nhymm::LIMIT) return siplong(key, c, m);
  alignas(32) unsigned char line[nhymm::LIMIT] = {};
  std::memcpy(line, c, m);
  return lineone<nhymm>(key, line, m);
}

// linekernel::prepare: the AES round keys, and the AVX-512 version's NH keys.
void prepare(hashkey &key) {
  aesprepare(key);
  nhvprepare(key);
}
}  // namespace avx2linesbase

const linekernel avx2lines = {"avx2", avx2linesbase::ymmone,
                              avx2linesbase::linesfeed<avx2linesbase::ymmcanon, avx2linesbase::nhymm>,
                              avx2linesbase::prepare};

}  // namespace linecmp::engine

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
