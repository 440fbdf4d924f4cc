// The order row's fingerprint of a line: its folded tokens, each followed by a space (the
// line's "canonical bytes"), hashed to 128 bits that are summed over the lines.
//
// A line of up to LINEBYTES canonical bytes (128 in some versions, below) is hashed in two
// steps: NH, a sum of 64-bit products of key and message words, twice with the key shifted
// by two words, gives 256 bits, which a nonlinear finish (two AES-128 encryptions chained,
// or SipHash-1-3 where the CPU has no AES instructions) takes down to 128. Longer lines,
// rare in text, are hashed with SipHash-1-3 alone, as they are fed.
//
// The kernels come in versions, like the scan kernels: one is picked for each comparison
// and kept in its key, so both inputs of a call use the same one. Versions with the same
// NH and finish give the same fingerprints: the AVX2 and AVX-512 versions hash lines of up
// to 128 canonical bytes by NH on 32-bit words under four keys shifted by two words
// (2^-128-almost-universal too), the others by the 64-bit NH above, up to LINEBYTES.
#ifndef LINECMP_LINES_H
#define LINECMP_LINES_H

#include <cstddef>
#include <cstdint>

#include "kind/keyhash.h"

namespace linecmp::engine {

// The current line of the order row, as fed so far.
struct orderline {
  uint32_t len = 0;                  // canonical bytes in buf
  bool over = false;                 // past LINEBYTES: the bytes went to sip instead
  keyhash sip;                       // when over, the line's canonical bytes so far
  unsigned char buf[LINEBYTES + 8];  // 8 more for the word reads past its end
};

// One version of the order row's kernels.
struct linekernel {
  const char *name;
  // The fingerprint of the canonical line c[0, m), 0 < m <= LINEBYTES, with 8 bytes
  // readable past it.
  digest (*one)(const hashkey &key, const unsigned char *c, size_t m);
  // Feeds p[0, n), any bytes of the input from anywhere in a line, to l, whose last byte
  // fed was part of a token when token says so; adds the fingerprint of each line it ends
  // to sum, and sets crlf when p[0, n) holds a CR LF.
  void (*feed)(const hashkey &key, orderline &l, bool &token, bool &crlf, const unsigned char *p, size_t n,
               digest &sum);
  // Sets key's finish keys, derived from its k0 and k1.
  void (*prepare)(hashkey &key);
};

extern const linekernel portablelines;
#if defined(__x86_64__)
extern const linekernel aeslines, avx2lines, avx512lines;
// Whether this CPU has what the AES-NI and the AVX-512 line kernels need.
bool aesrunnable();
bool avx512linesrunnable();
#endif

// The version a key names: its own, or the portable one for a key made by hand.
inline const linekernel &linesof(const hashkey &key) { return key.lines ? *key.lines : portablelines; }

// Adds c[0, n), canonical bytes of the current line, to l (the slow paths' way in).
void lineadd(const hashkey &key, orderline &l, const unsigned char *c, size_t n);

// The current line has ended: adds its fingerprint to sum, unless it has no token, and
// starts l on the next.
void lineend(const hashkey &key, orderline &l, digest &sum);

// The fingerprint of a line past LINEBYTES whose bytes have all gone into l.sip.
inline digest overlong(const orderline &l) { return hashof(l.sip); }

// The 256 bits of NH that finish into the fingerprint of c[0, m), 0 < m <= LINEBYTES,
// with 8 bytes readable past it: for hashing a long stream a block at a time.
void nhsums(const hashkey &key, const unsigned char *c, size_t m, uint64_t sums[4]);

// The NH key words, from the key's SipHash key, for every version.
void nhprepare(hashkey &key);

// The NH keys of the versions with vectors (key.nhv and key.nhvpad), from key.nh.
void nhvprepare(hashkey &key);

}  // namespace linecmp::engine

#endif
