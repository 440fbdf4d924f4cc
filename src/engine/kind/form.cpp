#include "kind/form.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace linecmp::engine {

// The loops below keep the state in locals: stores through the form's char pointer may
// alias anything, which would reload and store the state at every byte.
void formbytes(formstate &s, const char *p, size_t n, formout &o) {
  formroom(o, 2 * n);
  char *out = o.out.data();
  size_t len = o.len, pend = s.pend;
  bool seen = s.seen, lastws = s.lastws;
  int64_t blanks = s.blanks;
  int firstend = s.firstend;
  const char *end = p + n;
  if (s.row == 0) {
    std::memcpy(out + len, p, n);
    len += n;
  } else if (s.row == 1) {
    for (; p < end; p++) {
      char c = *p;
      if (c == '\n' && pend != NOPEND) len = pend;
      pend = c == '\r' ? len : NOPEND;
      out[len++] = c;
    }
  } else if (s.row <= 3) {
    bool blanklines = s.row == 3;
    for (; p < end; p++) {
      char c = *p;
      if (c == ' ' || c == '\t' || c == '\r') {
        if (pend == NOPEND) pend = len;
        out[len++] = c;
        continue;
      }
      if (pend != NOPEND && !firstend) firstend = c == '\n' ? 2 : 1;
      if (c == '\n' && pend != NOPEND) len = pend;
      pend = NOPEND;
      if (c != '\n') {
        out[len++] = c;
        seen = true;
      } else if (!blanklines || seen) {
        out[len++] = c;
        seen = false;
      } else {
        blanks++;
      }
    }
  } else {
    bool fold = s.row == 5;
    for (; p < end; p++) {
      unsigned char c = static_cast<unsigned char>(*p);
      if (c > ' ') {  // the common case: a byte of a token
        if (lastws && seen) out[len++] = ' ';
        out[len++] = char(fold && unsigned(c - 'A') < 26u ? c + 'a' - 'A' : c);
        seen = true;
        lastws = false;
      } else if (c == '\n') {
        if (seen) out[len++] = '\n';
        seen = lastws = false;
      } else if (c == ' ' || (c >= '\t' && c <= '\r')) {
        lastws = true;
      } else {
        if (lastws && seen) out[len++] = ' ';
        out[len++] = char(c);
        seen = true;
        lastws = false;
      }
    }
  }
  o.len = len;
  s.pend = pend;
  s.seen = seen;
  s.lastws = lastws;
  s.blanks = blanks;
  s.firstend = firstend;
}

namespace {

namespace wordform {
#include "kind/form_body.h"
}  // namespace wordform

constexpr uint64_t ONES = 0x0101010101010101ULL, HIGHS = 0x8080808080808080ULL;

// The bytes of the word w below c (c at most 128), as a mask of 8 bits, low byte first:
// the test adds to each byte's low seven bits, so no carry crosses into the next byte.
inline unsigned lowbytes(uint64_t w, unsigned c) {
  uint64_t high = ~(((w & ~HIGHS) + (128 - c) * ONES) | w) & HIGHS;
  return unsigned(((high >> 7) * 0x0102040810204080ULL) >> 56);
}

// The word w with its bytes 'A' to 'Z' folded to lower case.
inline uint64_t foldword(uint64_t w) {
  uint64_t seven = w & ~HIGHS;
  uint64_t upper = (seven + (128 - 'A') * ONES) & ~(seven + (127 - 'Z') * ONES) & ~w & HIGHS;
  return w | upper >> 2;
}

// What each byte of 32 and below is: the bits of the masks it goes in.
enum : uint8_t { BLF = 1, BCR = 2, BBLANK = 4, BVTFF = 8 };
constexpr std::array<uint8_t, 33> lowclasses() {
  std::array<uint8_t, 33> c{};
  c['\n'] = BLF;
  c['\r'] = BCR;
  c[' '] = c['\t'] = BBLANK;
  c['\v'] = c['\f'] = BVTFF;
  return c;
}
constexpr std::array<uint8_t, 33> LOWCLASS = lowclasses();

// Appends the bytes of w[0, 64) that keep has, a run of them at a time, 8 bytes a copy
// (both w and out have room for 7 bytes more). Returns how many.
inline size_t keptbytes(const char *w, uint64_t keep, char *out) {
  char *o = out;
  for (uint64_t m = keep; m;) {
    int a = __builtin_ctzll(m);
    uint64_t filled = m | ((1ULL << a) - 1);
    int b = filled != ~0ULL ? __builtin_ctzll(~filled) : 64;
    for (int j = a; j < b; j += 8) std::memcpy(o + (j - a), w + j, 8);
    o += b - a;
    m = b == 64 ? 0 : m & ~((1ULL << b) - 1);
  }
  return size_t(o - out);
}

}  // namespace

// The forms a window at a time with no vector instructions: its bytes of 32 and below
// (whitespace among them) found 8 at a time, then each of them, rare in text, looked up.
void formwords(formstate &state, const char *p, size_t n, formout &o) {
  using namespace wordform;
  formroom(o, 2 * n);
  formstate s = state;  // in locals, as the form's stores may alias them
  char *const form = o.out.data();
  size_t i = 0, len = o.len;
  alignas(8) char w[72];
  for (; i + 64 <= n; i += 64) {
    std::memcpy(w, p + i, 64);
    uint64_t low = 0;
    for (int j = 0; j < 8; j++) {
      uint64_t x;
      std::memcpy(&x, w + 8 * size_t(j), 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
      x = __builtin_bswap64(x);  // byte i of the window as bit i of the mask, as elsewhere
#endif
      low |= uint64_t(lowbytes(x, 33)) << (8 * j);
    }
    uint64_t lf = 0, cr = 0, blank = 0, vtff = 0;
    for (uint64_t m = low; m; m &= m - 1) {
      int at = __builtin_ctzll(m);
      uint8_t c = LOWCLASS[static_cast<unsigned char>(w[at])];
      uint64_t bit = 1ULL << at;
      lf |= (c & BLF) ? bit : 0;
      cr |= (c & BCR) ? bit : 0;
      blank |= (c & BBLANK) ? bit : 0;
      vtff |= (c & BVTFF) ? bit : 0;
    }
    uint64_t keep;
    if (s.row <= 3) {
      keep = keeplines(s, lf, s.row == 1 ? cr : cr | blank, len);
    } else {
      uint64_t ws = cr | blank | vtff;
      bool lead;
      keep = keeptokens(s, lf, ws, lead);
      if (lead) form[len++] = ' ';
      for (uint64_t m = keep & ws; m; m &= m - 1) w[__builtin_ctzll(m)] = ' ';
      if (s.row == 5)
        for (int j = 0; j < 64; j += 8) {
          uint64_t x;
          std::memcpy(&x, w + j, 8);
          x = foldword(x);
          std::memcpy(w + j, &x, 8);
        }
    }
    len += keep == ~0ULL ? (std::memcpy(form + len, w, 64), 64) : keptbytes(w, keep, form + len);
  }
  o.len = len;
  state = s;
  formbytes(state, p + i, n - i, o);
}

#if defined(__x86_64__)
// Whether this CPU has BMI2 with a pdep() and pext() of a few cycles: every Intel one that
// has them, and AMD's from family 19h on; before it, AMD's take hundreds of cycles.
// Found once: CPUID leaves a virtual machine, and each call to compare() asks.
static bool fastpdep() {
  static const bool yes = [] {
    unsigned a, b, c, d;
    if (!__builtin_cpu_supports("bmi2") || !__get_cpuid(0, &a, &b, &c, &d)) return false;
    bool amd = b == 0x68747541;  // "Auth" of "AuthenticAMD"
    if (!amd) return true;
    __get_cpuid(1, &a, &b, &c, &d);
    unsigned family = (a >> 8) & 0xf;
    if (family == 0xf) family += (a >> 20) & 0xff;
    return family >= 0x19;
  }();
  return yes;
}
#endif

formfn formfor(const kernels &k) {
#if defined(__x86_64__)
  if (std::strcmp(k.name, "avx512") == 0) return formavx512;
  if (std::strcmp(k.name, "avx2") == 0) return fastpdep() ? formavx2bits : formavx2;
#else
  (void)k;
#endif
  return formwords;
}

}  // namespace linecmp::engine
