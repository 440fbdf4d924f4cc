#include "kind/lines.h"

#include <cstring>

namespace linecmp::engine {

namespace portablelinesbase {

#include "kind/lines_body.h"

// The finish where the CPU has no AES instructions: SipHash-1-3 of the 32 bytes of NH.
struct sipfinish {
  // Adds the fingerprints of the count lines whose NH sums are a[i], b[i] to sum.
  static void finish(const hashkey &key, const nhacc *a, const nhacc *b, size_t count, digest &sum) {
    for (size_t i = 0; i < count; i++) {
      keyhash h;
      hashstart(h, key);
      sipword(h, a[i].lo);
      sipword(h, a[i].hi);
      sipword(h, b[i].lo);
      sipword(h, b[i].hi);
      h.count = 32;
      sum = hashplus(sum, hashof(h));
    }
  }
};

// linekernel::prepare: the SipHash finish needs no more than the key itself.
void prepare(hashkey &) {}

}  // namespace portablelinesbase

namespace portablelinesbase {
using hash = nhwords<sipfinish>;
}  // namespace portablelinesbase

const linekernel portablelines = {"portable", portablelinesbase::lineone<portablelinesbase::hash>,
                                  portablelinesbase::linesfeed<portablelinesbase::scalarcanon, portablelinesbase::hash>,
                                  portablelinesbase::prepare};

void nhprepare(hashkey &key) {
  // SipHash of a word naming each pair of key words: the words are as good as random, and
  // drawing them from the entropy source would cost a system call for every four bytes.
  keyhash h;
  hashstart(h, key);
  hashadd(h, "nh key", 6);
  for (size_t i = 0; i < NHWORDS; i += 2) {
    keyhash w = h;
    sipword(w, i);
    digest d = hashof(w);
    key.nh[i] = d.lo;
    key.nh[i + 1] = d.hi;
  }
}

void nhvprepare(hashkey &key) {
  uint32_t words[NHWORDS * 2];
  std::memcpy(words, key.nh, sizeof words);
  for (int j = 0; j < 4; j++) {
    for (int i = 0; i < 32; i++) key.nhv[j][i] = words[2 * j + i];
    key.nhvpad[j] = 0;
    for (int i = 16; i < 32; i += 2) key.nhvpad[j] += uint64_t(key.nhv[j][i]) * key.nhv[j][i + 1];
  }
}

void nhsums(const hashkey &key, const unsigned char *c, size_t m, uint64_t sums[4]) {
  portablelinesbase::nhacc a, b;
  portablelinesbase::nhline(key.nh, c, m, a, b);
  sums[0] = a.lo;
  sums[1] = a.hi;
  sums[2] = b.lo;
  sums[3] = b.hi;
}

void lineadd(const hashkey &key, orderline &l, const unsigned char *c, size_t n) {
  if (!l.over && l.len + n <= LINEBYTES) {
    std::memcpy(l.buf + l.len, c, n);
    l.len += uint32_t(n);
    return;
  }
  if (!l.over) {  // from here the line goes to SipHash, as long lines do
    l.over = true;
    hashstart(l.sip, key);
    hashadd(l.sip, reinterpret_cast<const char *>(l.buf), l.len);
    l.len = 0;
  }
  hashadd(l.sip, reinterpret_cast<const char *>(c), n);
}

void lineend(const hashkey &key, orderline &l, digest &sum) {
  if (l.over) {
    sum = hashplus(sum, overlong(l));
  } else if (l.len > 0) {
    sum = hashplus(sum, linesof(key).one(key, l.buf, l.len));
  }
  l.len = 0;
  l.over = false;
}

}  // namespace linecmp::engine
