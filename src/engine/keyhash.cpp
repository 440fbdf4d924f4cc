#include "keyhash.h"

#include <random>

namespace linecmp::engine {

namespace {

uint64_t siprotl(uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

// One SipHash round on h's state.
void sipround(keyhash &h) {
  h.v0 += h.v1;
  h.v1 = siprotl(h.v1, 13);
  h.v1 ^= h.v0;
  h.v0 = siprotl(h.v0, 32);
  h.v2 += h.v3;
  h.v3 = siprotl(h.v3, 16);
  h.v3 ^= h.v2;
  h.v0 += h.v3;
  h.v3 = siprotl(h.v3, 21);
  h.v3 ^= h.v0;
  h.v2 += h.v1;
  h.v1 = siprotl(h.v1, 17);
  h.v1 ^= h.v2;
  h.v2 = siprotl(h.v2, 32);
}

// Takes the word m into h.
void sipword(keyhash &h, uint64_t m) {
  h.v3 ^= m;
  sipround(h);
  h.v0 ^= m;
}

}  // namespace

hashkey randomkey() {
  std::random_device rd;  // getrandom() on Linux
  hashkey k;
  k.k0 = uint64_t(rd()) << 32 | rd();
  k.k1 = uint64_t(rd()) << 32 | rd();
  return k;
}

void hashstart(keyhash &h, const hashkey &key) {
  h = keyhash();
  h.v0 = key.k0 ^ 0x736f6d6570736575ULL;
  h.v1 = key.k1 ^ 0x646f72616e646f6dULL ^ 0xee;  // 0xee: the 128-bit output variant
  h.v2 = key.k0 ^ 0x6c7967656e657261ULL;
  h.v3 = key.k1 ^ 0x7465646279746573ULL;
}

void hashadd(keyhash &h, unsigned char c) {
  unsigned at = unsigned(h.count++ & 7);
  h.tail |= uint64_t(c) << (8 * at);
  if (at == 7) {
    sipword(h, h.tail);
    h.tail = 0;
  }
}

void hashadd(keyhash &h, const char *p, size_t n) {
  const auto *s = reinterpret_cast<const unsigned char *>(p);
  while (n > 0 && (h.count & 7) != 0) hashadd(h, *s++), n--;
  // Whole words, read low byte first whatever the machine's byte order.
  for (; n >= 8; s += 8, n -= 8) {
    uint64_t m = 0;
    for (int i = 7; i >= 0; i--) m = m << 8 | s[i];
    sipword(h, m);
    h.count += 8;
  }
  while (n > 0) hashadd(h, *s++), n--;
}

digest hashof(keyhash h) {
  sipword(h, h.tail | (h.count & 0xff) << 56);
  digest d;
  h.v2 ^= 0xee;
  for (int i = 0; i < 3; i++) sipround(h);
  d.lo = h.v0 ^ h.v1 ^ h.v2 ^ h.v3;
  h.v1 ^= 0xdd;
  for (int i = 0; i < 3; i++) sipround(h);
  d.hi = h.v0 ^ h.v1 ^ h.v2 ^ h.v3;
  return d;
}

digest hashplus(const digest &a, const digest &b) {
  digest s;
  s.lo = a.lo + b.lo;
  s.hi = a.hi + b.hi + (s.lo < a.lo ? 1 : 0);
  return s;
}

}  // namespace linecmp::engine
