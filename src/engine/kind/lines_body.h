// The body of the order row's line kernels, written once: NH over a line's canonical
// bytes, and the loop that feeds bytes of input a piece at a time. Each version includes it
// once, inside a namespace of its own within linecmp::engine, after the standard headers
// and kind/lines.h, and instantiates linesfeed with its own ways of making canonical bytes
// (C::canon) and of finishing a line's NH (F::finish). It has no include guard: a program
// built from one file holds it once per version.

// A 128-bit sum of products, modulo 2^128.
struct nhacc {
  uint64_t lo = 0, hi = 0;
};

// a += x * y, the full 128-bit product.
inline void nhmul(nhacc &a, uint64_t x, uint64_t y) {
#if defined(__SIZEOF_INT128__)
  __extension__ typedef unsigned __int128 wide;
  wide p = wide(x) * y;
  uint64_t lo = uint64_t(p), hi = uint64_t(p >> 64);
#else
  uint64_t x0 = x & 0xffffffff, x1 = x >> 32, y0 = y & 0xffffffff, y1 = y >> 32;
  uint64_t p00 = x0 * y0, p01 = x0 * y1, p10 = x1 * y0, p11 = x1 * y1;
  uint64_t mid = (p00 >> 32) + (p01 & 0xffffffff) + (p10 & 0xffffffff);
  uint64_t lo = (p00 & 0xffffffff) | mid << 32, hi = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
#endif
  a.lo += lo;
  a.hi += hi + (a.lo < lo ? 1 : 0);
}

// The 8 bytes at c as a word, low byte first on every machine.
inline uint64_t nhword(const unsigned char *c) {
  uint64_t w;
  std::memcpy(&w, c, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  w = __builtin_bswap64(w);
#endif
  return w;
}

// NH of c[0, m), 0 < m <= LINEBYTES, as words zero-padded and then m itself (so that no
// two lines give the same words), into a and, with the key shifted by two words, b: the
// pair of sums that is 2^-128-almost-universal. Reads up to 8 bytes past c + m.
inline void nhline(const uint64_t *k, const unsigned char *c, size_t m, nhacc &a, nhacc &b) {
  size_t q = (m + 7) / 8, r = m - 8 * (q - 1);
  uint64_t last = nhword(c + 8 * (q - 1)) & (r == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * r)) - 1);
  auto pair = [&](size_t i, uint64_t x, uint64_t y) {
    nhmul(a, x + k[i], y + k[i + 1]);
    nhmul(b, x + k[i + 2], y + k[i + 3]);
  };
  size_t i = 0;
  for (; i + 2 < q; i += 2) pair(i, nhword(c + 8 * i), nhword(c + 8 * i + 8));
  if (i + 1 == q) {
    pair(i, last, m);
  } else {
    pair(i, nhword(c + 8 * i), last);
    pair(i + 2, m, 0);
  }
}

// Input bytes taken per piece: their canonical bytes and line ends fit the stack buffers,
// 21 KiB. On the 41-byte text 4,096 and 16,384 cost the same (0.27 ns a byte with AVX-512,
// 1.25 with AES-NI alone).
constexpr size_t LINEPIECE = 4096;
// Lines whose NH waits for the finish, which runs over a batch so that their rounds may
// overlap. With the scalar canonical bytes, which set the pace, 8 and 1 cost the same
// within the noise (1.25 and 1.20 ns a byte with AES-NI on the 41-byte text); with the
// AVX2 kernel, 8 run round by round cost 27.3 ns a line against 29.5 a line at a time.
constexpr size_t LINEBATCH = 8;

// Lines of up to LINEBYTES by NH on 64-bit words, into a batch for the finish F.
template <class F>
struct nhwords {
  static constexpr size_t LIMIT = LINEBYTES;
  struct batch {
    nhacc a[LINEBATCH] = {}, b[LINEBATCH] = {};  // all set, as the finish may read a whole batch
    size_t n = 0;
  };
  // Adds the line c[0, m), 0 < m <= LIMIT, to w, and when w is full its fingerprints to sum.
  static void add(const hashkey &key, const unsigned char *c, size_t m, batch &w, digest &sum) {
    w.a[w.n] = w.b[w.n] = nhacc();
    nhline(key.nh, c, m, w.a[w.n], w.b[w.n]);
    if (++w.n == LINEBATCH) flush(key, w, sum);
  }
  // Adds the fingerprints of the lines in w to sum, and empties it.
  static void flush(const hashkey &key, batch &w, digest &sum) {
    F::finish(key, w.a, w.b, w.n, sum);
    w.n = 0;
  }
};

// The fingerprint of a line of LIMIT bytes or more: SipHash of its bytes, as lines past
// LINEBYTES get when fed a piece at a time.
inline digest siplong(const hashkey &key, const unsigned char *c, size_t m) {
  keyhash h;
  hashstart(h, key);
  hashadd(h, reinterpret_cast<const char *>(c), m);
  return hashof(h);
}

// linekernel::one, by the lines' hash H.
template <class H>
digest lineone(const hashkey &key, const unsigned char *c, size_t m) {
  if (m > H::LIMIT) return siplong(key, c, m);
  typename H::batch w;
  digest d;
  H::add(key, c, m, w, d);
  H::flush(key, w, d);
  return d;
}

// Feeds p[0, n) to l, as linekernel::feed does, with canonical bytes made by C and lines
// hashed by H.
template <class C, class H>
void linesfeed(const hashkey &key, orderline &l, bool &token, bool &crlf, const unsigned char *p, size_t n,
               digest &sum) {
  alignas(64) unsigned char out[LINEBYTES + LINEPIECE + 128];
  uint32_t ends[LINEPIECE + 8];
  typename H::batch w;
  while (n > 0) {
    size_t k = n < LINEPIECE ? n : LINEPIECE, from = l.len, nends = 0;
    std::memcpy(out, l.buf, from);  // the current line's bytes so far, unless it is over
    size_t pos = from + C::canon(p, k, out + from, token, crlf, ends, nends, from);
    size_t start = 0;
    for (size_t e = 0; e < nends; e++) {
      size_t end = ends[e];
      if (l.over) {
        hashadd(l.sip, reinterpret_cast<const char *>(out + start), end - start);
        sum = hashplus(sum, hashof(l.sip));
        l.over = false;
      } else if (end - start > H::LIMIT) {
        sum = hashplus(sum, siplong(key, out + start, end - start));
      } else if (end > start) {
        H::add(key, out + start, end - start, w, sum);
      }
      start = end;
    }
    H::flush(key, w, sum);
    size_t rest = pos - start;
    if (l.over || rest > LINEBYTES) {
      if (!l.over) hashstart(l.sip, key);
      l.over = true;
      hashadd(l.sip, reinterpret_cast<const char *>(out + start), rest);
      l.len = 0;
    } else {
      std::memcpy(l.buf, out + start, rest);
      l.len = uint32_t(rest);
    }
    p += k;
    n -= k;
    crlf = crlf || (n > 0 && p[-1] == '\r' && p[0] == '\n');  // across the pieces
  }
}

// The portable way to canonical bytes, a byte at a time without a branch but at line ends.
struct scalarcanon {
  // What each byte is: a token's byte (1) or not (0); and what it becomes, folded or a space.
  struct tables {
    unsigned char tok[256], to[256];
  };
  static constexpr tables maketables() {
    tables t{};
    for (int c = 0; c < 256; c++) {
      bool white = c == ' ' || (c >= '\t' && c <= '\r');
      t.tok[c] = white ? 0 : 1;
      t.to[c] = white ? ' ' : c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : static_cast<unsigned char>(c);
    }
    return t;
  }
  // Writes the canonical bytes of p[0, k) to out, given whether the byte before was a
  // token's, and notes where in them, plus base, each line ends, and in crlf whether
  // p[0, k) holds a CR LF. Returns their number.
  static size_t canon(const unsigned char *p, size_t k, unsigned char *out, bool &token, bool &crlf, uint32_t *ends,
                      size_t &nends, size_t base) {
    static constexpr tables t = maketables();
    const char *c = reinterpret_cast<const char *>(p);
    for (const char *r = c; !crlf && (r = static_cast<const char *>(std::memchr(r, '\r', size_t(c + k - r))));)
      crlf = ++r < c + k && *r == '\n';
    size_t pos = 0;
    unsigned prev = token;
    for (size_t i = 0; i < k; i++) {
      unsigned char b = p[i];
      unsigned tok = t.tok[b];
      out[pos] = t.to[b];
      pos += tok | prev;  // a token's byte, or the first byte after a token, as a space
      prev = tok;
      if (b == '\n') ends[nends++] = uint32_t(base + pos);
    }
    token = prev;
    return pos;
  }
};
