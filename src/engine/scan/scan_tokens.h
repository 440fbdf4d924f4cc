// The body of the token kernel, written once over 64-byte masks; each version includes it
// once, inside a namespace of its own, after the standard headers and scan.h, with its own
// mask maker T:
//   T::ws(p, white)  bit i set when p[i] is whitespace of that kind (lcmp's counts a
//                    carriage return, which the caller must look at itself)
//   T::eq(p, c)      bit i set when p[i] == c
//   T::range(p, lo, hi)  bit i set when lo <= p[i] <= hi (lo <= hi, both below 128)
//   T::ne(p, q)      bit i set when p[i] != q[i]
//   T::squeeze(p, keep, ws, fold, out)  writes the bytes of p[0, 64) whose bits are
//                    set in keep to out, each one set in ws as a space and, when fold,
//                    each ASCII capital as its small letter; returns how many. out has
//                    room for 64 bytes past them.
// It has no include guard: a program built from one file holds it once per version.

// The low k bits, for k <= 64.
inline uint64_t lowbits(size_t k) { return k >= 64 ? ~0ULL : (1ULL << k) - 1; }

// Whether p[0, n) and q[0, n) are alike but for the case of ASCII letters.
inline bool foldsame(const char *p, const char *q, size_t n) {
  for (size_t i = 0; i < n; i++) {
    unsigned x = static_cast<unsigned char>(p[i]) | 0x20u, y = static_cast<unsigned char>(q[i]) | 0x20u;
    if (p[i] != q[i] && !(x == y && x >= 'a' && x <= 'z')) return false;
  }
  return true;
}

// What a token is as a number, by its digits: whether it is a plain decimal (an optional
// sign, digits and at most one point, no exponent), where its first digit other than zero
// is (or n), and how many digits it has before the point from there on (negative: how
// many zeros after the point come before it).
struct digits {
  bool plain = false;
  size_t first = 0;
  int64_t place = 0;
};

inline digits readdigits(const char *p, size_t n) {
  digits d;
  size_t i = n > 0 && (p[0] == '-' || p[0] == '+') ? 1 : 0, point = n, first = n, count = 0;
  for (; i < n; i++) {
    char c = p[i];
    if (c >= '0' && c <= '9') {
      count++;
      if (first == n && c != '0') first = i;
    } else if (c == '.' && point == n) {
      point = i;
    } else {
      return d;
    }
  }
  d.plain = count > 0;
  d.first = first;
  d.place = first == n ? 0 : point > first ? int64_t(point - first) : -int64_t(first - point - 1);
  return d;
}

// Whether the numbers a and s, which differ, are within r's tolerance by their digits
// alone: both plain decimals of one sign and place that agree in their first k significant
// digits, so that they differ by less than ten to the place - k (see tokens.cpp for why
// krel and xabs are safe bounds). False when the digits cannot tell.
inline bool closeby(const char *a, size_t la, const char *s, size_t ls, const tokenrules &r, bool wide) {
  size_t d = 0, first = 0, pa = la, ps = ls;
#if defined(__SSE2__)
  if (wide && la <= 16 && ls <= 16) {
    // Sixteen bytes of each at once: their digits, points and differences as bit masks.
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a));
    __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s));
    auto mask = [](__m128i v) { return unsigned(_mm_movemask_epi8(v)); };
    auto digit = [&](__m128i v) {
      __m128i z = _mm_sub_epi8(v, _mm_set1_epi8('0'));
      return mask(_mm_cmpeq_epi8(_mm_min_epu8(z, _mm_set1_epi8(9)), z));
    };
    unsigned ta = (1u << la) - 1, ts = (1u << ls) - 1;
    unsigned sign = a[0] == '-' || a[0] == '+' ? 1 : 0;  // the same in s when first < d
    unsigned dx = digit(x) & ta, dy = digit(y) & ts;
    unsigned px = mask(_mm_cmpeq_epi8(x, _mm_set1_epi8('.'))) & ta;
    unsigned py = mask(_mm_cmpeq_epi8(y, _mm_set1_epi8('.'))) & ts;
    if ((ta & ~(dx | px | sign)) || (ts & ~(dy | py | sign)) || (px & (px - 1)) || (py & (py - 1)) || !dx || !dy)
      return false;
    unsigned nz = dx & ~mask(_mm_cmpeq_epi8(x, _mm_set1_epi8('0')));
    unsigned ne = ~mask(_mm_cmpeq_epi8(x, y)) | 1u << 16;
    d = std::min<size_t>({size_t(__builtin_ctz(ne)), la, ls});
    if (!nz) return false;
    first = size_t(__builtin_ctz(nz));
    if (px) pa = size_t(__builtin_ctz(px));
    if (py) ps = size_t(__builtin_ctz(py));
  } else
#endif
  {
    (void)wide;
    size_t n = la < ls ? la : ls;
    while (d < n && a[d] == s[d]) d++;
    digits x = readdigits(a, la), y = readdigits(s, ls);
    if (!x.plain || !y.plain || x.first != y.first) return false;
    first = x.first;
    const char *dot = static_cast<const char *>(std::memchr(a, '.', la));
    if (dot) pa = size_t(dot - a);
    dot = static_cast<const char *>(std::memchr(s, '.', ls));
    if (dot) ps = size_t(dot - s);
  }
  if (first >= d) return false;
  // The place: digits from the first significant one to the point, or minus the zeros
  // between the point and it.
  int64_t placea = pa > first ? int64_t(pa - first) : -int64_t(first - pa - 1);
  int64_t places = ps > first ? int64_t(ps - first) : -int64_t(first - ps - 1);
  if (placea != places) return false;
  int64_t k = int64_t(d - first) - (pa > first && pa < d ? 1 : 0);
  // testlib's doubles: normal ones only, for the bound on their rounding, and within 1e300
  if (r.num == tokenrules::REALS && (k > 15 || placea < -300 || placea > 300)) return false;
  return k >= r.krel || (r.xabs != INT64_MIN && placea - k <= r.xabs);
}

// Whether p[0, n) and q[0, n) hold the same bytes; wide when 16 bytes can be read at each.
inline bool samebytes(const char *p, const char *q, size_t n, bool wide) {
  if (!wide || n > 16) return std::memcmp(p, q, n) == 0;
#if defined(__SSE2__)
  __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
  __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q));
  return ((unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y))) | ~0u << n) & 0xffff) == 0xffff;
#else
  uint64_t x[2], y[2];
  std::memcpy(x, p, 16);
  std::memcpy(y, q, 16);
  // The bytes of each word past n, which may differ.
  uint64_t keep0 = n >= 8 ? ~0ULL : (1ULL << (8 * n)) - 1, keep1 = n >= 16  ? ~0ULL
                                                                   : n <= 8 ? 0
                                                                            : (1ULL << (8 * (n - 8))) - 1;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  keep0 = __builtin_bswap64(keep0);
  keep1 = __builtin_bswap64(keep1);
#endif
  return (((x[0] ^ y[0]) & keep0) | ((x[1] ^ y[1]) & keep1)) == 0;
#endif
}

// What the bytes of a window are to a number, as masks.
struct numbermasks {
  uint64_t digit, nonzero, point, sign, exp;
};

template <class T>
numbermasks masksof(const char *x) {
  return {T::range(x, '0', '9'), T::range(x, '1', '9'), T::eq(x, '.'), T::eq(x, '-') | T::eq(x, '+'),
          T::eq(x, 'e') | T::eq(x, 'E')};
}

// Whether the token at [s, e) of a window is a float as its masks tell: digits with at
// most one point and a leading sign, then maybe an exponent of 1 to 18 digits (a longer
// one is read digit by digit). m gets where the digits before the exponent end.
inline bool floatmasks(const numbermasks &a, size_t s, size_t e, size_t &m) {
  uint64_t ex = a.exp & lowbits(e) & ~lowbits(s);
  m = e;
  if (ex) {
    if (ex & (ex - 1)) return false;
    m = size_t(__builtin_ctzll(ex));
    uint64_t tail = lowbits(e) & ~lowbits(m + 1), digits = a.digit & tail;
    if ((tail & ~(digits | (a.sign & lowbits(m + 2) & ~lowbits(m + 1)))) || !digits ||
        __builtin_popcountll(digits) > 18)
      return false;
  }
  uint64_t man = lowbits(m) & ~lowbits(s), pa = a.point & man;
  return !(man & ~(a.digit | pa | (a.sign & 1ULL << s))) && !(pa & (pa - 1)) && (a.digit & man);
}

// The exponent written at p[0, n): an optional sign and at most 18 digits.
inline int64_t exponentof(const char *p, size_t n) {
  size_t i = n > 0 && (p[0] == '-' || p[0] == '+') ? 1 : 0;
  int64_t x = 0;
  for (size_t k = i; k < n; k++) x = x * 10 + (p[k] - '0');
  return i && p[0] == '-' ? -x : x;
}

// Whether the tokens at [s, e) of two windows whose whitespace falls alike, which differ
// (ne), are numbers within r's tolerance by their digits: closeby() from masks, for
// numbers whose exponents, if any, are written alike. x is the answer's window.
inline bool closemasks(const numbermasks &a, const numbermasks &b, uint64_t ne, size_t s, size_t e, const tokenrules &r,
                       const char *x) {
  size_t ma = e, mb = e;
  if (!floatmasks(a, s, e, ma) || !floatmasks(b, s, e, mb) || ma != mb || (ne & lowbits(e) & ~lowbits(ma)))
    return false;
  int64_t shift = ma < e ? exponentof(x + ma + 1, e - ma - 1) : 0;
  uint64_t token = lowbits(ma) & ~lowbits(s);
  uint64_t pa = a.point & token, pb = b.point & token, nz = a.nonzero & token;
  if (!nz) return false;
  size_t d = size_t(__builtin_ctzll(ne & token)), first = size_t(__builtin_ctzll(nz));
  size_t pointa = pa ? size_t(__builtin_ctzll(pa)) : ma, pointb = pb ? size_t(__builtin_ctzll(pb)) : ma;
  if (first >= d || pointa != pointb) return false;
  int64_t place = (pointa > first ? int64_t(pointa - first) : -int64_t(first - pointa - 1)) + shift;
  int64_t k = int64_t(d - first) - (pointa > first && pointa < d ? 1 : 0);
  // testlib's doubles: normal ones only, for the bound on their rounding
  if (r.num == tokenrules::REALS && (k > 15 || place < -300 || place > 300)) return false;
  return k >= r.krel || (r.xabs != INT64_MIN && place - k <= r.xabs);
}

// Whether the token at [s, e) of a window is plainly a number, of the float form.
inline bool plainmasks(const numbermasks &a, size_t s, size_t e) {
  size_t m = e;
  return floatmasks(a, s, e, m);
}

// Whether a token of testlib's ncmp is an integer: an optional "-" and digits, with no
// leading zero, no "-0", within 64 bits.
inline bool integer(const char *p, size_t n) {
  size_t i = n > 0 && p[0] == '-' ? 1 : 0;
  if (i == n || n - i > 19 || (p[i] == '0' && (n - i > 1 || i == 1))) return false;
  for (size_t k = i; k < n; k++)
    if (p[k] < '0' || p[k] > '9') return false;
  return n - i < 19 || std::memcmp(p + i, i ? "9223372036854775808" : "9223372036854775807", 19) <= 0;
}

// Whether a token of testlib's rcmp is plainly a double (digits with at most one point and
// a leading sign); one with an exponent is left to the caller, which reads it whole.
inline bool plainreal(const char *p, size_t n) { return readdigits(p, n).plain; }

// A number of at most 64 bytes read whole: -1^neg times m times ten to the e, m of at most
// 19 significant digits. ok is false for a token that is not a number of the float form,
// or not one so held: more significant digits, or an exponent of more than 9 digits
// (those are read digit by digit, in bounded memory, outside the kernel).
struct shortnum {
  bool ok = false, neg = false;
  uint64_t m = 0;
  int32_t e = 0;
};

inline shortnum readshort(const char *p, size_t n) {
  shortnum r;
  size_t i = n > 0 && (p[0] == '-' || p[0] == '+') ? 1 : 0;
  r.neg = i && p[0] == '-';
  int sig = 0, e = 0;
  bool digit = false, point = false;
  for (; i < n; i++) {
    unsigned d = unsigned(static_cast<unsigned char>(p[i])) - '0';
    if (d <= 9) {
      digit = true;
      if (sig < 19 && (d || sig)) {
        r.m = r.m * 10 + d;
        sig++;
        e -= point;
      } else if (sig == 19) {
        if (d) return shortnum();
        e += !point;
      } else {
        e -= point;  // a leading zero after the point
      }
    } else if (p[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digit) return shortnum();
  if (i < n) {
    if ((p[i] | 0x20) != 'e' || ++i == n) return shortnum();
    bool neg = p[i] == '-';
    i += p[i] == '-' || p[i] == '+';
    size_t from = i;
    int x = 0;
    for (; i < n && unsigned(static_cast<unsigned char>(p[i])) - '0' <= 9; i++)
      if (i - from < 9) x = x * 10 + (p[i] - '0');
    if (i != n || i == from || i - from > 9) return shortnum();
    e += neg ? -x : x;
  }
  r.ok = true;
  r.e = e;
  return r;
}

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 wide128;

// The powers of ten a 128-bit number holds, 10^0 to 10^38.
struct powers128 {
  wide128 p[39];
  constexpr powers128() : p() {
    p[0] = 1;
    for (int i = 1; i < 39; i++) p[i] = p[i - 1] * 10;
  }
};
constexpr powers128 POW128;

// v times ten to the k, into out; false when that could pass 10^38.
inline bool tens(wide128 v, int64_t k, wide128 &out) {
  if (k < 0 || k > 38 || v >= POW128.p[38 - k]) return false;
  out = v * POW128.p[k];
  return true;
}

// Whether |s - a| <= t.m 10^t.e (or t.m |a| 10^t.e when relative), exactly; false too
// when the values lie too far apart in scale to compare in 128 bits.
inline bool shortwithin(const shortnum &a, const shortnum &s, const tokenrules::scaled &t, bool relative) {
  wide128 bound = wide128(t.m) * (relative ? a.m : 1);
  int64_t be = int64_t(t.e) + (relative ? a.e : 0);
  // A zero takes no part in the scale.
  int64_t lo = std::min({a.m ? int64_t(a.e) : INT64_MAX, s.m ? int64_t(s.e) : INT64_MAX, bound ? be : INT64_MAX});
  wide128 x = 0, y = 0, b = 0;
  if ((a.m && !tens(a.m, a.e - lo, x)) || (s.m && !tens(s.m, s.e - lo, y)) || (bound && !tens(bound, be - lo, b)))
    return false;
  wide128 d = a.neg == s.neg || !a.m || !s.m ? (x > y ? x - y : y - x) : x + y;
  return d <= b;
}
#endif

// Whether the numbers a and s, read whole, are within r's tolerance: exactly for FLOATS,
// as testlib's doubles for REALS (where both values are ones a double holds exactly
// enough: at most 2^53 times a power of ten of at most 22, read correctly rounded). False
// too when it cannot tell, which leaves the pair to the streaming reader.
inline bool wholewithin(const shortnum &a, const shortnum &s, const tokenrules &r) {
  if (r.num == tokenrules::REALS) {
    static const double pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (a.m > (1ULL << 53) || s.m > (1ULL << 53) || a.e < -22 || a.e > 22 || s.e < -22 || s.e > 22) return false;
    double x = a.e < 0 ? double(a.m) / pow10[-a.e] : double(a.m) * pow10[a.e];
    double y = s.e < 0 ? double(s.m) / pow10[-s.e] : double(s.m) * pow10[s.e];
    return nearby(a.neg ? -x : x, s.neg ? -y : y, r.eps);
  }
#if defined(__SIZEOF_INT128__)
  return (r.abs.given && shortwithin(a, s, r.abs, false)) || (r.rel.given && shortwithin(a, s, r.rel, true));
#else
  return false;
#endif
}

// Whether the answer token a and the output token s are plainly alike under r: the same
// bytes, alike but for case, or numbers close by their digits; testlib's numbers must also
// each be one. wide: 16 bytes can be read from each; differ: they are known to differ.
inline bool alike(const char *a, size_t la, const char *s, size_t ls, const tokenrules &r, bool wide, bool differ) {
  bool same = !differ && la == ls && samebytes(a, s, la, wide);
  switch (r.num) {
    case tokenrules::INTEGERS: return same && integer(a, la);
    case tokenrules::REALS:
      if (plainreal(a, la) && (same || (plainreal(s, ls) && closeby(a, la, s, ls, r, wide)))) return true;
      break;
    case tokenrules::FLOATS:
      if (same || (la == ls && r.fold && foldsame(a, s, la)) || closeby(a, la, s, ls, r, wide)) return true;
      break;
    default: return same || (la == ls && r.fold && foldsame(a, s, la));
  }
  // Other notations, and digits the shortcut cannot settle, read whole: e and E, signs,
  // other counts of digits, zeros at either end.
  shortnum x = readshort(a, la);
  if (!x.ok || la > 64 || ls > 64) return false;
  if (same) return true;
  shortnum y = readshort(s, ls);
  return y.ok && wholewithin(x, y, r);
}

// Whether two runs of whitespace, p[0, n) and q[0, m), let the tokens around them pass.
inline bool gapalike(const char *p, size_t n, const char *q, size_t m, const tokenrules &r) {
  if (r.space == tokenrules::EXACT) return n == m && std::memcmp(p, q, n) == 0;
  if (r.space == tokenrules::LINES) return std::count(p, p + n, '\n') == std::count(q, q + m, '\n');
  return true;
}

// The tokens of a span, listed a few words at a time: where each starts and ends. Only
// whole tokens are listed, those followed by whitespace within the span's whole words.
template <class T>
struct tokenlist {
  static constexpr size_t WORDS = 8;  // words listed per refill
  const char *p;
  size_t n, scanned;  // the tokens of p[0, scanned) have been listed
  bool open = false;  // a token runs on past scanned, from opened
  bool white = true;  // the byte before scanned is whitespace, or the span's start
  size_t opened = 0;
  size_t start[WORDS * 32 + 1], end[WORDS * 32 + 1];
  size_t have = 0, used = 0;  // tokens listed, and paired
  uint8_t kind;
  bool cr = false;  // lcmp's: a carriage return was met, where the list stops

  // start and end are written before they are read.
  // cppcheck-suppress uninitMemberVar
  tokenlist(const char *s, size_t len, size_t from, uint8_t k) : p(s), n(len), scanned(from), kind(k) {}

  // Lists the tokens of the next words, once all listed are paired; false when there are
  // no more whole words (or a carriage return for lcmp).
  bool refill() {
    have = used = 0;
    while (have == 0) {
      if (cr || scanned + 64 > n) return false;
      for (size_t w = 0; w < WORDS && scanned + 64 <= n; w++, scanned += 64) {
        if (kind == tokenrules::LCMP && T::eq(p + scanned, '\r')) {
          cr = true;
          break;
        }
        uint64_t ws = T::ws(p + scanned, kind);
        // A token starts where whitespace gives way, and ends where it comes back.
        uint64_t before = ws << 1 | (white ? 1 : 0);
        uint64_t starts = ~ws & before, ends = ws & ~before;
        if (open && ends) {
          start[have] = opened;
          end[have++] = scanned + size_t(__builtin_ctzll(ends));
          ends &= ends - 1;
          open = false;
        }
        for (; starts; starts &= starts - 1) {
          size_t s = scanned + size_t(__builtin_ctzll(starts));
          if (!ends) {
            opened = s;
            open = true;
            break;
          }
          start[have] = s;
          end[have++] = scanned + size_t(__builtin_ctzll(ends));
          ends &= ends - 1;
        }
        white = ws >> 63;
      }
    }
    return true;
  }
};

// Bytes of pairs in a row at the same offsets in both spans after which the listing hands
// back to the windows, which take such stretches whole.
constexpr size_t REALIGN = 256;

// Words squeezed per round: a round ends at the last token both squeezed forms hold.
constexpr size_t SQUEEZED = 64;

// A span squeezed: its tokens' bytes (folded when the rules fold case) with one space
// between two tokens, from a place between tokens, so that two spans whose tokens are
// alike under rules with free whitespace and no numbers squeeze to the same bytes.
template <class T>
struct squeezed {
  char out[SQUEEZED * 64 + 64];
  uint64_t keep[SQUEEZED];
  size_t after[SQUEEZED];  // bytes squeezed through each word
  size_t words = 0, size = 0;

  // out, keep and after are written before they are read.
  // cppcheck-suppress uninitMemberVar
  squeezed(const char *p, size_t n, uint8_t white, bool fold) {
    uint64_t before = 1;  // the place squeezed from counts as whitespace
    for (; words < SQUEEZED && 64 * (words + 1) <= n; words++) {
      const char *x = p + 64 * words;
      uint64_t ws = T::ws(x, white);
      // Tokens, and the first byte of each run of whitespace after one.
      keep[words] = ~ws | (ws & ~(ws << 1 | before));
      before = ws >> 63;
      size += T::squeeze(x, keep[words], ws, fold, out + size);
      after[words] = size;
    }
  }

  // Where in the span the squeezed byte c came from.
  size_t source(size_t c) const {
    size_t w = 0;
    while (after[w] <= c) w++;
    uint64_t k = keep[w];
    for (size_t skip = c - (w ? after[w - 1] : 0); skip; skip--) k &= k - 1;
    return 64 * w + size_t(__builtin_ctzll(k));
  }
};

// Index of the first byte where p[0, n) and q[0, n) differ, or n.
template <class T>
size_t firstapart(const char *p, const char *q, size_t n) {
  size_t i = 0;
  for (; i + 64 <= n; i += 64)
    if (uint64_t d = T::ne(p + i, q + i)) return i + size_t(__builtin_ctzll(d));
  while (i < n && p[i] == q[i]) i++;
  return i;
}

// Pairs tokens under rules with free whitespace and no numbers by squeezing both spans
// and comparing what they squeeze to; stops at the last token both hold alike. False
// when it made no headway.
template <class T>
bool squeezepairs(const char *p, size_t n, const char *q, size_t m, const tokenrules &r, tokentally &t, size_t &i,
                  size_t &j) {
  squeezed<T> a(p + i, n - i, r.white, r.fold), b(q + j, m - j, r.white, r.fold);
  size_t both = std::min(a.size, b.size), d = firstapart<T>(a.out, b.out, both);
  // The last space before the difference stands between the last two tokens both hold.
  size_t c = d;
  while (c > 0 && a.out[c - 1] != ' ') c--;
  if (c == 0) return false;
  i += a.source(c - 1);
  j += b.source(c - 1);
  t.stuck = d < both;
  return true;
}

template <class T>
tokentally tokens(const char *p, size_t n, const char *q, size_t m, const tokenrules &rules) {
  const tokenrules r = rules;  // a copy the compiler may keep in registers: nothing written here can alias it
  tokentally t;
  size_t i = 0, j = 0;  // places between tokens, up to which the pairs are alike
  for (;;) {
    // Windows of 64 bytes whose whitespace falls alike: only the tokens holding a
    // difference need a look.
    while (i + 64 <= n && j + 64 <= m) {
      const char *x = p + i, *y = q + j;
      uint64_t wa = T::ws(x, r.white), wb = T::ws(y, r.white);
      if (wa != wb || wa == 0) break;
      if (r.white == tokenrules::LCMP && (T::eq(x, '\r') | T::eq(y, '\r'))) break;
      size_t cut = 64 - size_t(__builtin_clzll(wa));  // through the last whitespace
      uint64_t within = lowbits(cut), ne = T::ne(x, y) & within;
      if (r.space == tokenrules::LINES && (T::eq(x, '\n') ^ T::eq(y, '\n')) & within) break;
      if (r.space == tokenrules::EXACT && (ne & wa)) break;
      // Each token that holds a difference, or whose number must be checked.
      uint64_t starts = ~wa & (wa << 1 | 1) & within;
      uint64_t look = r.num == tokenrules::INTEGERS || r.num == tokenrules::REALS ? starts : ne & ~wa;
      bool numbers = r.num == tokenrules::FLOATS || r.num == tokenrules::REALS;
      numbermasks ma{}, mb{};
      if (look && numbers) {
        ma = masksof<T>(x);
        mb = masksof<T>(y);
      }
      while (look) {
        size_t b = size_t(__builtin_ctzll(look));
        uint64_t below = wa & lowbits(b);
        size_t s = below ? 64 - size_t(__builtin_clzll(below)) : 0;
        size_t e = size_t(__builtin_ctzll(wa & ~lowbits(b)));
        bool differ = (ne & lowbits(e) & ~lowbits(s)) != 0, wide = i + s + 16 <= n && j + s + 16 <= m;
        // Numbers are told from the window's masks first; what they cannot tell, from the bytes.
        bool ok = numbers && (differ ? closemasks(ma, mb, ne, s, e, r, x) : plainmasks(ma, s, e));
        if (!ok && !alike(x + s, e - s, y + s, e - s, r, wide, differ)) {
          t.used1 = i + s;
          t.used2 = j + s;
          t.pairs += __builtin_popcountll(starts & lowbits(s));
          t.stuck = true;
          return t;
        }
        look &= ~lowbits(e);
      }
      t.pairs += __builtin_popcountll(starts);
      i += cut;
      j += cut;
    }
    // Elsewhere, where whitespace is free and tokens are only bytes, both spans are
    // squeezed and compared; otherwise the tokens are listed and paired one by one, until
    // their whitespace may fall alike again.
    if (r.space == tokenrules::FREE && r.num == tokenrules::NONE && r.white != tokenrules::LCMP) {
      while (squeezepairs<T>(p, n, q, m, r, t, i, j) && !t.stuck) {
      }
      break;
    }
    tokenlist<T> a(p, n, i, r.white), b(q, m, j, r.white);
    size_t alikelen = 0;
    bool more = true;
    while (more && alikelen < REALIGN) {
      more = (a.used < a.have || a.refill()) && (b.used < b.have || b.refill());
      while (more && a.used < a.have && b.used < b.have) {
        size_t s1 = a.start[a.used], e1 = a.end[a.used], s2 = b.start[b.used], e2 = b.end[b.used];
        // Most pairs hold the same bytes, which is told first in a few instructions;
        // testlib's numbers must each be checked.
        bool wide = s1 + 16 <= n && s2 + 16 <= m;
        bool ok = r.num < tokenrules::INTEGERS && e1 - s1 == e2 - s2 && samebytes(p + s1, q + s2, e1 - s1, wide);
        if (!ok) ok = alike(p + s1, e1 - s1, q + s2, e2 - s2, r, wide, false);
        if (ok && r.space != tokenrules::FREE) ok = gapalike(p + i, s1 - i, q + j, s2 - j, r);
        if (!ok) {
          t.used1 = i;
          t.used2 = j;
          t.stuck = true;
          return t;
        }
        alikelen = e1 - s1 == e2 - s2 && s1 - i == s2 - j ? alikelen + (e1 - i) : 0;
        i = e1;
        j = e2;
        t.pairs++;
        a.used++;
        b.used++;
      }
    }
    if (!more || i + 64 > n || j + 64 > m) break;
  }
  t.used1 = i;
  t.used2 = j;
  return t;
}
