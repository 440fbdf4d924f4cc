#include "kind/widehash.h"

#include <cstring>

namespace linecmp::engine {

namespace {

// The word of 8 bytes at p, low byte first on every machine.
uint64_t wordat(const unsigned char *p) {
  uint64_t m;
  std::memcpy(&m, p, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  m = __builtin_bswap64(m);
#endif
  return m;
}

// Takes 32 bytes at p into the four states, a word each.
void group(widehash &h, const unsigned char *p) {
  sipword(h.lane[0], wordat(p));
  sipword(h.lane[1], wordat(p + 8));
  sipword(h.lane[2], wordat(p + 16));
  sipword(h.lane[3], wordat(p + 24));
}

}  // namespace

void widestart(widehash &h, const hashkey &key) {
  h.key = key;
  h.have = 0;
  for (int i = 0; i < 4; i++) {
    hashkey k = key;
    k.k0 ^= uint64_t(i + 1) * 0x9e3779b97f4a7c15ULL;  // a key of its own for each state
    hashstart(h.lane[i], k);
  }
}

void wideadd(widehash &h, const char *p, size_t n) {
  const auto *s = reinterpret_cast<const unsigned char *>(p);
  if (h.have) {
    size_t k = n < 32 - h.have ? n : 32 - h.have;
    std::memcpy(h.part + h.have, s, k);
    h.have += k;
    s += k;
    n -= k;
    if (h.have < 32) return;
    group(h, h.part);
    h.have = 0;
  }
  for (; n >= 32; s += 32, n -= 32) group(h, s);
  std::memcpy(h.part, s, n);
  h.have = n;
}

digest wideof(const widehash &h) {
  keyhash f;
  hashstart(f, h.key);
  for (const keyhash &l : h.lane) {
    digest d = hashof(l);
    unsigned char b[16];
    std::memcpy(b, &d.lo, 8);
    std::memcpy(b + 8, &d.hi, 8);
    hashadd(f, reinterpret_cast<const char *>(b), 16);
  }
  hashadd(f, reinterpret_cast<const char *>(h.part), h.have);
  return hashof(f);
}

}  // namespace linecmp::engine
