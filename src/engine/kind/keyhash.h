// A keyed 128-bit hash of a byte stream, fed a byte or a span at a time, for telling
// whether two long streams are equal without keeping either. The key is drawn at random
// for each comparison, so no input can be built to make two streams collide; two
// different streams get the same hash with probability about 2^-128.
#ifndef LINECMP_KEYHASH_H
#define LINECMP_KEYHASH_H

#include <cstddef>
#include <cstdint>

namespace linecmp::engine {

struct kernels;
struct linekernel;

// The canonical bytes of a line that the order row's NH takes; past them SipHash does
// (kind/lines.h). 1 KiB of NH key per comparison and 1 KiB in each shaper, a few of which
// are copied per call; lines of text are mostly far shorter.
constexpr size_t LINEBYTES = 1024;
// NH's key words: one per message word, with the length word and a pad word, and two more
// for the shifted copy.
constexpr size_t NHWORDS = LINEBYTES / 8 + 4;

// The key: 128 random bits, and what the order row's line kernels derive from them.
struct hashkey {
  uint64_t k0 = 0, k1 = 0;
  const linekernel *lines = nullptr;  // the order row's kernels, the portable ones when null
  uint64_t nh[NHWORDS] = {};
  alignas(16) unsigned char aes[11][16] = {};  // AES-128 round keys, for the versions with AES
  uint32_t nhv[4][32] = {};                    // the AVX-512 version's NH keys: 32 words each, shifted by 2
  uint64_t nhvpad[4] = {};                     // and each one's sum over a second vector of zeros
};

// A fresh random key, from the system's entropy source, with the order row's kernels
// that go with the scan kernels k on this CPU.
hashkey randomkey(const kernels &k);

// The hash so far of a stream (SipHash-1-3, 128-bit output): its state and the stream's
// last bytes that do not yet make a word.
struct keyhash {
  uint64_t v0 = 0, v1 = 0, v2 = 0, v3 = 0;
  uint64_t tail = 0;   // the bytes past the last whole word, low byte first
  uint64_t count = 0;  // bytes fed
};

// A hash of 128 bits.
struct digest {
  uint64_t lo = 0, hi = 0;
  bool operator==(const digest &o) const { return lo == o.lo && hi == o.hi; }
  bool operator!=(const digest &o) const { return !(*this == o); }
};

// Starts h on an empty stream under key.
void hashstart(keyhash &h, const hashkey &key);

inline uint64_t siprotl(uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

// One SipHash round on h's state.
inline void sipround(keyhash &h) {
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
inline void sipword(keyhash &h, uint64_t m) {
  h.v3 ^= m;
  sipround(h);
  h.v0 ^= m;
}

// Feeds one byte to h. Inline: the normalisers feed most bytes one at a time, and a call
// for each cost more than the byte's own work.
inline void hashadd(keyhash &h, unsigned char c) {
  unsigned at = unsigned(h.count++ & 7);
  h.tail |= uint64_t(c) << (8 * at);
  if (at == 7) {
    sipword(h, h.tail);
    h.tail = 0;
  }
}

// Feeds p[0, n) to h.
void hashadd(keyhash &h, const char *p, size_t n);

// The hash of what h was fed; h itself is left as it was, so it may be fed on.
digest hashof(keyhash h);

// a + b, as 128-bit numbers modulo 2^128: the sum that stands for a multiset of hashes.
// Inline: the order row adds one for each line.
inline digest hashplus(const digest &a, const digest &b) {
  digest s;
  s.lo = a.lo + b.lo;
  s.hi = a.hi + b.hi + (s.lo < a.lo ? 1 : 0);
  return s;
}

}  // namespace linecmp::engine

#endif
