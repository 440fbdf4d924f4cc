// The order row's line kernels with AVX-512: canonical bytes made 64 at a time, by masks
// and a byte compress (VBMI2); lines of up to 128 of them hashed by NH on 32-bit words, two
// vectors of them zero-padded, which needs no branch on the line's length; and the AES
// finish four lines at a time (VAES). Used only where the CPU runs the AVX-512 scan kernels
// and has VAES; like them, the file sets its own target after the standard headers.
#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>

#include <algorithm>

#include <cstring>

#include "kind/lines.h"

#if defined(__clang__)
#pragma clang attribute push(                                                                              \
    __attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi2,bmi,bmi2,popcnt,sse4.1,aes,vaes"))), \
    apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi2,bmi,bmi2,popcnt,sse4.1,aes,vaes")
#endif

namespace linecmp::engine {

namespace avx512linesbase {
#include "kind/lines_body.h"
// The finish uses the body's NH sums.
#include "kind/lines_aesround.h"

// Canonical bytes 64 input bytes at a time: a mask of the tokens' bytes and of the first
// byte after each token, the bytes folded or made spaces, and those the mask keeps
// compressed together.
struct zmmcanon {
  // How far ahead the input is asked for: the loop waits on memory otherwise, as the
  // hardware's prefetch does not keep up with it (on the 41-byte text, 0.47 ns a byte
  // without, 0.27 with 256, 1,024 or 4,096 bytes ahead).
  static constexpr size_t PREFETCH = 1024;
  // As scalarcanon::canon; writes up to 64 bytes past the canonical bytes.
  static size_t canon(const unsigned char *p, size_t k, unsigned char *out, bool &token, bool &crlf, uint32_t *ends,
                      size_t &nends, size_t base) {
    const __m512i nine = _mm512_set1_epi8(9), four = _mm512_set1_epi8(4), space = _mm512_set1_epi8(' ');
    const __m512i lf = _mm512_set1_epi8('\n'), upper = _mm512_set1_epi8('A'), letters = _mm512_set1_epi8(25);
    const __m512i fold = _mm512_set1_epi8(32), cr = _mm512_set1_epi8('\r');
    size_t pos = 0;
    uint64_t prev = token, prevcr = 0, pairs = 0;
    for (size_t i = 0; i < k; i += 64) {
      size_t r = std::min(k - i, size_t(64));
      uint64_t valid = r == 64 ? ~uint64_t(0) : (uint64_t(1) << r) - 1;
      _mm_prefetch(reinterpret_cast<const char *>(p + i) + PREFETCH, _MM_HINT_T0);
      __m512i x = _mm512_maskz_loadu_epi8(valid, p + i);
      uint64_t white = _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, nine), four) | _mm512_cmpeq_epi8_mask(x, space);
      uint64_t tok = ~white & valid, lfs = _mm512_cmpeq_epi8_mask(x, lf), crs = _mm512_cmpeq_epi8_mask(x, cr);
      pairs |= lfs & (crs << 1 | prevcr);  // CR LF, found here while the bytes are at hand
      prevcr = crs >> 63;
      __m512i y = _mm512_mask_add_epi8(x, _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, upper), letters), x, fold);
      y = _mm512_mask_blend_epi8(tok, space, y);
      uint64_t keep = tok | ((tok << 1 | prev) & valid);
      prev = tok >> (r - 1) & 1;
      _mm512_storeu_si512(out + pos, _mm512_maskz_compress_epi8(keep, y));
      // The first four line ends of the word are noted whether there are so many or not, so
      // that their number takes no branch (on the 41-byte text, 0.26 ns a byte with four,
      // 0.29 with two, 0.33 with a loop over the line feeds).
      size_t count = size_t(_mm_popcnt_u64(lfs));
      for (int j = 0; j < 4; j++) {
        uint64_t upto = _bzhi_u64(~uint64_t(0), unsigned(_tzcnt_u64(lfs)) + 1);
        ends[nends + size_t(j)] = uint32_t(base + pos + size_t(_mm_popcnt_u64(keep & upto)));
        lfs = _blsr_u64(lfs);
      }
      for (size_t j = 4; j < count; j++, lfs = _blsr_u64(lfs))
        ends[nends + j] = uint32_t(base + pos + size_t(_mm_popcnt_u64(keep & _blsmsk_u64(lfs))));
      nends += count;
      pos += size_t(_mm_popcnt_u64(keep));
    }
    token = prev != 0;
    crlf = crlf || pairs != 0;
    return pos;
  }
};

// Lines of up to 128 canonical bytes by NH on the 32 words of 32 bits they make zero-padded
// (which tells lines of different lengths apart, as each line's bytes end in a space),
// under four keys shifted by two words: 2^-128-almost-universal, like nhwords. 128 bytes
// take every line of the 41-byte text in one go, up to its longest of 81; longer lines go
// to SipHash.
struct nhzmm {
  static constexpr size_t LIMIT = 128;
  // Every lane of eight: the masked forms of the intrinsics, as GCC 12 warns that the
  // plain ones read a value never set (its own placeholder for the lanes they keep).
  static constexpr __mmask8 ALL8 = 0xff;
  // Lines waiting for the finish: four vectors of four, whose rounds interleave, as one
  // vector's 20 rounds in a row wait on each other (on the 41-byte text, the order row cost
  // 0.30 ns a byte with 16 lines waiting, 0.37 with 4).
  static constexpr size_t WAITING = 16;
  struct batch {
    __m128i a[WAITING], b[WAITING];
    size_t n = 0;
  };
  // As nhwords::add. A line of up to 64 bytes leaves the second vector all zeros, whose
  // products depend on the key alone: prepare() has summed them, so that the line skips
  // them and gets the same sums (on the 41-byte text, 10.6 ns a line against 11.3 with both
  // vectors: only that, as a fifth of its lines are longer, so the branch often misses).
  static void add(const hashkey &key, const unsigned char *c, size_t m, batch &w, digest &sum) {
    __m512i x0 = _mm512_maskz_loadu_epi8(_bzhi_u64(~uint64_t(0), unsigned(m)), c);
    __m512i s[4];
    if (m <= 64) {
      for (int j = 0; j < 4; j++) {
        __m512i t0 = _mm512_add_epi32(x0, _mm512_loadu_si512(key.nhv[j]));
        s[j] = _mm512_maskz_mul_epu32(ALL8, t0, _mm512_maskz_srli_epi64(ALL8, t0, 32));
      }
    } else {
      __m512i x1 = _mm512_maskz_loadu_epi8(_bzhi_u64(~uint64_t(0), unsigned(m - 64)), c + 64);
      for (int j = 0; j < 4; j++) {
        __m512i t0 = _mm512_add_epi32(x0, _mm512_loadu_si512(key.nhv[j]));
        __m512i t1 = _mm512_add_epi32(x1, _mm512_loadu_si512(key.nhv[j] + 16));
        s[j] = _mm512_add_epi64(_mm512_maskz_mul_epu32(ALL8, t0, _mm512_maskz_srli_epi64(ALL8, t0, 32)),
                                _mm512_maskz_mul_epu32(ALL8, t1, _mm512_maskz_srli_epi64(ALL8, t1, 32)));
      }
    }
    // Each key's eight sums added up: the four 64-bit results in the two halves of lane 0
    // (keys 0, 1) and lane 2 (keys 2, 3).
    __m512i u =
        _mm512_add_epi64(_mm512_maskz_unpacklo_epi64(ALL8, s[0], s[1]), _mm512_maskz_unpackhi_epi64(ALL8, s[0], s[1]));
    __m512i v =
        _mm512_add_epi64(_mm512_maskz_unpacklo_epi64(ALL8, s[2], s[3]), _mm512_maskz_unpackhi_epi64(ALL8, s[2], s[3]));
    __m512i x =
        _mm512_add_epi64(_mm512_maskz_shuffle_i64x2(ALL8, u, v, 0x44), _mm512_maskz_shuffle_i64x2(ALL8, u, v, 0xee));
    x = _mm512_add_epi64(x, _mm512_maskz_shuffle_i64x2(ALL8, x, x, 0xb1));
    __m128i pad = _mm_setzero_si128(), padb = pad;
    if (m <= 64) {
      pad = _mm_loadu_si128(reinterpret_cast<const __m128i *>(key.nhvpad));
      padb = _mm_loadu_si128(reinterpret_cast<const __m128i *>(key.nhvpad + 2));
    }
    w.a[w.n] = _mm_add_epi64(_mm512_maskz_extracti32x4_epi32(0xf, x, 0), pad);
    w.b[w.n] = _mm_add_epi64(_mm512_maskz_extracti32x4_epi32(0xf, x, 2), padb);
    if (++w.n == WAITING) flush(key, w, sum);
  }
  // The four lines' sums at l in one vector, a lane at a time: one load of the four would
  // wait for their stores to leave the store buffer, as it cannot take its bytes from four.
  static __m512i gather(const __m128i *l) {
    __m512i g = _mm512_zextsi128_si512(_mm_load_si128(l));
    g = _mm512_inserti32x4(g, _mm_load_si128(l + 1), 1);
    g = _mm512_inserti32x4(g, _mm_load_si128(l + 2), 2);
    return _mm512_inserti32x4(g, _mm_load_si128(l + 3), 3);
  }
  // As nhwords::flush: the finish of aesfinish, on four lines in each vector.
  static void flush(const hashkey &key, batch &w, digest &sum) {
    if (w.n == 0) return;
    for (size_t i = w.n; i < WAITING; i++) w.a[i] = w.b[i] = _mm_setzero_si128();
    constexpr int V = WAITING / 4;
    __m512i rk[11], y[V];
    for (int r = 0; r < 11; r++)
      rk[r] = _mm512_maskz_broadcast_i32x4(0xffff, _mm_loadu_si128(reinterpret_cast<const __m128i *>(key.aes[r])));
    for (int v = 0; v < V; v++) y[v] = _mm512_xor_si512(gather(w.a + 4 * size_t(v)), rk[0]);
    for (int r = 1; r < 10; r++)
      for (int v = 0; v < V; v++) y[v] = _mm512_aesenc_epi128(y[v], rk[r]);
    for (int v = 0; v < V; v++)
      y[v] = _mm512_xor_si512(_mm512_aesenclast_epi128(y[v], rk[10]),
                              _mm512_xor_si512(gather(w.b + 4 * size_t(v)), rk[0]));
    for (int r = 1; r < 10; r++)
      for (int v = 0; v < V; v++) y[v] = _mm512_aesenc_epi128(y[v], rk[r]);
    uint64_t out[2 * WAITING];
    for (int v = 0; v < V; v++) _mm512_storeu_si512(out + 8 * size_t(v), _mm512_aesenclast_epi128(y[v], rk[10]));
    for (size_t i = 0; i < w.n; i++) sum = hashplus(sum, digest{out[2 * i], out[2 * i + 1]});
    w.n = 0;
  }
};

// linekernel::prepare: the AES round keys, and NH's keys laid out for the vectors.
void prepare(hashkey &key) {
  aesprepare(key);
  nhvprepare(key);
}

}  // namespace avx512linesbase

const linekernel avx512lines = {"avx512", avx512linesbase::lineone<avx512linesbase::nhzmm>,
                                avx512linesbase::linesfeed<avx512linesbase::zmmcanon, avx512linesbase::nhzmm>,
                                avx512linesbase::prepare};

}  // namespace linecmp::engine

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace linecmp::engine {

namespace {

// Whether the CPU reports VAES (CPUID leaf 7, ECX bit 9), which clang's
// __builtin_cpu_supports cannot name; the AVX-512 checks beside it cover the OS's part.
bool cpuhasvaes() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (c >> 9 & 1) != 0;
}

}  // namespace

bool avx512linesrunnable() {
  // Found once: CPUID leaves a virtual machine, and each call to compare() asks.
  static const bool yes = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("aes") &&
           __builtin_cpu_supports("sse4.1") && cpuhasvaes();
  }();
  return yes;
}

}  // namespace linecmp::engine
#endif
