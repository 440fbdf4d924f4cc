// The portable kernels, the SSE2 ones every x86-64 CPU runs, and the choice among all
// versions at start-up. The AVX2 and AVX-512 versions live in files of their own, each
// compiled for its instructions alone.
#include "scan/scan.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <numeric>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace linecmp::engine {

// The portable and SSE2 versions, from the bodies every version shares.
namespace base {

#include "scan/scan_body.h"

namespace {

// Masks eight bytes at a time in a 64-bit word (SWAR). Bytes are put in file order, low
// byte first, whatever the machine's byte order, so bit i always stands for byte i.
struct words {
  static constexpr uint64_t LOW7 = 0x7f7f7f7f7f7f7f7fULL;
  static uint64_t load(const char *p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    w = __builtin_bswap64(w);
#endif
    return w;
  }
  // The high bit of each byte of v that is not zero, exactly (no carries between bytes).
  static uint64_t nonzero(uint64_t v) { return (((v & LOW7) + LOW7) | v) & ~LOW7; }
  // The high bits of the eight bytes gathered into bits 0 to 7: the multiplier moves
  // byte j's bit to bit 56 + j, and no two products meet.
  static uint64_t gather(uint64_t high) { return ((high >> 7) * 0x0102040810204080ULL) >> 56; }
  static uint64_t lf(const char *p) {
    uint64_t m = 0;
    for (size_t k = 0; k < 8; k++) m |= gather(~nonzero(load(p + 8 * k) ^ 0x0a0a0a0a0a0a0a0aULL) & ~LOW7) << (8 * k);
    return m;
  }
  static uint64_t ne(const char *p, const char *q) {
    uint64_t m = 0;
    for (size_t k = 0; k < 8; k++) m |= gather(nonzero(load(p + 8 * k) ^ load(q + 8 * k))) << (8 * k);
    return m;
  }
  // As tails() in scan_body.h, which it is.
  static unsigned tails8(const char *p, const int32_t *e1, const char *q, const int32_t *e2, unsigned &slow) {
    return tails(p, e1, q, e2, slow);
  }
  // Bit j set when lines j of two lists of line feeds are of equal length, for j < 8.
  static unsigned same8(const int32_t *e1, const int32_t *e2) {
    unsigned same = 0;
    for (unsigned j = 0; j < 8; j++) same |= unsigned(length(e1, j) == length(e2, j)) << j;
    return same;
  }
};

// memcmp whole chunks and look closer only in the one that differs: the C library's
// memcmp is tuned for every machine. On a 100 MiB pair differing every 1000th line
// (hyperfine, 20 runs, 2-core AMD EPYC) chunks of 256 B and 1 KiB took 40 ms, 4 KiB 43 ms,
// 16 KiB 55 ms, 64 KiB 80 ms; on identical files all the same.
size_t firstdiff_chunks(const char *p, const char *q, size_t n) {
  const size_t chunk = 1024;
  size_t i = 0;
  while (i + chunk <= n && std::memcmp(p + i, q + i, chunk) == 0) i += chunk;
  size_t end = std::min(n, i + chunk);
  while (i < end && p[i] == q[i]) i++;
  return i;
}

// Byte-wide counters, which compilers vectorise (33 GB/s on a 64 KiB block in cache,
// against 8 GB/s for a plain counting loop or memchr per line at 40-byte lines, AMD EPYC,
// g++ 12 -O3); 4080 = 16 lanes times 255, the most a byte counter holds.
size_t countlf_lanes(const char *p, size_t n) {
  size_t c = 0;
  while (n >= 4080) {
    unsigned char acc[16] = {0};
    for (size_t i = 0; i < 4080; i += 16)
      for (size_t j = 0; j < 16; j++) acc[j] += p[i + j] == '\n';
    c += std::accumulate(std::begin(acc), std::end(acc), size_t{0});
    p += 4080;
    n -= 4080;
  }
  for (size_t i = 0; i < n; i++) c += p[i] == '\n';
  return c;
}

#if defined(__x86_64__)
struct xmm {
  static uint64_t bits(__m128i eq, int k) { return uint64_t(uint16_t(_mm_movemask_epi8(eq))) << (16 * k); }
  static __m128i at(const char *p, int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p) + k); }
  static __m128i at32(const int32_t *e) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(e)); }
  static uint64_t lf(const char *p) {
    const __m128i nl = _mm_set1_epi8('\n');
    uint64_t m = 0;
    for (int k = 0; k < 4; k++) m |= bits(_mm_cmpeq_epi8(at(p, k), nl), k);
    return m;
  }
  static uint64_t ne(const char *p, const char *q) {
    uint64_t m = 0;
    for (int k = 0; k < 4; k++) m |= bits(_mm_cmpeq_epi8(at(p, k), at(q, k)), k);
    return ~m;
  }
  // As tails() in scan_body.h, which it is.
  static unsigned tails8(const char *p, const int32_t *e1, const char *q, const int32_t *e2, unsigned &slow) {
    return tails(p, e1, q, e2, slow);
  }
  // Bit j set when lines j of two lists of line feeds are of equal length, for j < 8.
  static unsigned same8(const int32_t *e1, const int32_t *e2) {
    unsigned same = 0;
    for (int h = 0; h < 8; h += 4) {
      __m128i len1 = _mm_sub_epi32(at32(e1 + h + 1), at32(e1 + h)),
              len2 = _mm_sub_epi32(at32(e2 + h + 1), at32(e2 + h));
      same |= unsigned(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(len1, len2)))) << h;
    }
    return same;
  }
};
#endif

}  // namespace

}  // namespace base

namespace {

#if defined(__x86_64__)
const kernels *best() {
  if (runnable(avx512)) return &avx512;
  return runnable(avx2) ? &avx2 : &sse2;
}
#else
const kernels *best() { return &portable; }
#endif

}  // namespace

const kernels portable = {
    "portable",     base::firstdiff_chunks, base::countlf_lanes, base::aligned<base::words>, base::shifted<base::words>,
    tokens_portable};

#if defined(__x86_64__)
// The line-feed count stays the byte-lane loop, which the compiler already turns into
// SSE2; without the popcnt instruction, which SSE2 machines may lack, masks count slower.
const kernels sse2 = {
    "sse2",     base::firstdiff<base::xmm>, base::countlf_lanes, base::aligned<base::xmm>, base::shifted<base::xmm>,
    tokens_sse2};
const kernels *const versions[] = {&portable, &sse2, &avx2, &avx512, nullptr};
#else
const kernels *const versions[] = {&portable, nullptr};
#endif

bool runnable(const kernels &k) {
#if defined(__x86_64__)
  __builtin_cpu_init();  // this may run before the start-up code that calls it
  if (&k == &avx2) return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  if (&k == &avx512)
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
           __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
#endif
  (void)k;
  return true;
}

namespace {

// The names of the versions built in, or of those this CPU runs, as a list for a message.
std::string names(bool only_runnable) {
  std::string list;
  for (const kernels *const *v = versions; *v; v++)
    if (!only_runnable || runnable(**v)) list += std::string(list.empty() ? "" : ", ") + (*v)->name;
  return list;
}

// The choice, made once: the version, or null and the reason.
struct choice {
  const kernels *k = nullptr;
  std::string why;
};

choice choose() {
  const char *name = std::getenv("LINECMP_KERNEL");
  if (!name || !*name) return {best(), ""};
  std::string asked = std::string("LINECMP_KERNEL=") + name + ": ";
  for (const kernels *const *v = versions; *v; v++)
    if (std::strcmp((*v)->name, name) == 0)
      return runnable(**v) ? choice{*v, ""}
                           : choice{nullptr, asked + "this CPU cannot run that kernel version; it runs " + names(true)};
  return {nullptr, asked + "no such kernel version; the versions are " + names(false)};
}

}  // namespace

const kernels *chosen(std::string *why) {
  static const choice made = choose();
  if (!made.k && why) *why = made.why;
  return made.k;
}

}  // namespace linecmp::engine
