#include "kind/keyhash.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "kind/lines.h"
#include "scan/scan.h"

namespace linecmp::engine {

// 16 bytes from the system's entropy source into k0 and k1. One getrandom() call: the
// standard random_device asks the CPU's generator four times, slow in a virtual machine.
// With it, and the CPU's features found once, compare() with the kind on two 3-line
// inputs went from 94 to 4.9 us a call on this project's machine.
static void entropy(hashkey &key) {
  uint64_t w[2];
  size_t got = 0;
  while (got < sizeof w) {
    ssize_t n = getrandom(reinterpret_cast<char *>(w) + got, sizeof w - got, 0);
    if (n > 0) {
      got += size_t(n);
    } else if (n < 0 && errno != EINTR) {
      break;  // a kernel without getrandom(): the standard source, slower but as good
    }
  }
  if (got < sizeof w) {
    std::random_device rd;
    w[0] = uint64_t(rd()) << 32 | rd();
    w[1] = uint64_t(rd()) << 32 | rd();
  }
  key.k0 = w[0];
  key.k1 = w[1];
}

hashkey randomkey(const kernels &k) {
  hashkey key;
  entropy(key);
  // The line kernels follow the scan kernels' version, so that LINECMP_KERNEL=portable
  // runs no instruction the portable build lacks, and each version's tests run its own.
  key.lines = &portablelines;
#if defined(__x86_64__)
  if (&k == &avx512 && avx512linesrunnable()) {
    key.lines = &avx512lines;
  } else if (&k == &avx2 && aesrunnable()) {
    key.lines = &avx2lines;
  } else if (&k != &portable && aesrunnable()) {
    key.lines = &aeslines;
  }
#else
  (void)k;
#endif
  nhprepare(key);
  key.lines->prepare(key);
  return key;
}

void hashstart(keyhash &h, const hashkey &key) {
  h = keyhash();
  h.v0 = key.k0 ^ 0x736f6d6570736575ULL;
  h.v1 = key.k1 ^ 0x646f72616e646f6dULL ^ 0xee;  // 0xee: the 128-bit output variant
  h.v2 = key.k0 ^ 0x6c7967656e657261ULL;
  h.v3 = key.k1 ^ 0x7465646279746573ULL;
}

void hashadd(keyhash &h, const char *p, size_t n) {
  const auto *s = reinterpret_cast<const unsigned char *>(p);
  unsigned at = unsigned(h.count & 7), shift = 8 * at;
  h.count += n;
  // Eight bytes at a time, joined to the bytes left from before whatever their number.
  for (; n >= 8; s += 8, n -= 8) {
    uint64_t m;
    std::memcpy(&m, s, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    m = __builtin_bswap64(m);  // the stream's bytes low byte first, as on the other machines
#endif
    if (at == 0) {
      sipword(h, m);
    } else {
      sipword(h, h.tail | m << shift);
      h.tail = m >> (64 - shift);
    }
  }
  for (; n > 0; s++, n--) {
    h.tail |= uint64_t(*s) << (8 * at);
    if (++at == 8) {
      sipword(h, h.tail);
      h.tail = 0;
      at = 0;
    }
  }
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

}  // namespace linecmp::engine
