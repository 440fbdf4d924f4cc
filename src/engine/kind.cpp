#include "kind.h"

#include <array>
#include <cstring>

namespace linecmp::engine {

namespace {

// What a byte is to the normalisers.
enum : uint8_t {
  KPLAIN,  // part of a token, and the same in every row
  KUPPER,  // an ASCII capital: part of a token, folded from the lettercase row on
  KSPACE,  // space, tab, VT or FF: whitespace between tokens
  KCR,     // whitespace, and half of a CR LF
  KLF,     // whitespace that ends a line
};

constexpr std::array<uint8_t, 256> kindclasses() {
  std::array<uint8_t, 256> c{};
  for (int i = 'A'; i <= 'Z'; i++) c[size_t(i)] = KUPPER;
  c[size_t(' ')] = c[size_t('\t')] = c[size_t('\v')] = c[size_t('\f')] = KSPACE;
  c[size_t('\r')] = KCR;
  c[size_t('\n')] = KLF;
  return c;
}
constexpr std::array<uint8_t, 256> KINDCLASS = kindclasses();

// Feeds c, a byte of the lineendings row's output, to the trailing row.
void trailbyte(shaper &s, unsigned char c) {
  if (c == ' ' || c == '\t' || c == '\r') {
    if (!s.run) s.held = s.row[2];
    s.run = true;
    hashadd(s.held, c);
    return;
  }
  if (s.run && c != '\n') s.row[2] = s.held;  // the run did not end the line
  s.run = false;
  hashadd(s.row[2], c);
}

// Feeds c, a byte of the finalnewline row's output, to the rows after it.
void shapebyte(shaper &s, unsigned char c) {
  uint8_t what = KINDCLASS[c];
  hashadd(s.row[0], c);
  if (s.cr) {
    s.cr = false;
    if (what != KLF) {
      hashadd(s.row[1], '\r');
      trailbyte(s, '\r');
    }
  }
  if (what == KCR) {
    s.cr = true;
  } else {
    hashadd(s.row[1], c);
    trailbyte(s, c);
  }
  if (what == KPLAIN || what == KUPPER) {
    s.token = s.tokens = true;
    unsigned char folded = what == KUPPER ? static_cast<unsigned char>(c + 'a' - 'A') : c;
    hashadd(s.row[3], c);
    hashadd(s.row[4], folded);
    hashadd(s.line, folded);
    return;
  }
  if (s.token) {
    hashadd(s.row[3], ' ');
    hashadd(s.row[4], ' ');
    hashadd(s.line, ' ');
    s.token = false;
  }
  if (what == KLF) {
    if (s.tokens) s.lines = hashplus(s.lines, hashof(s.line));
    hashstart(s.line, *s.key);
    s.tokens = false;
  }
}

}  // namespace

const char *kindname(kinds k) {
  static const char *const names[] = {"same",    "final-newline", "line-endings", "trailing-space",
                                      "spacing", "letter-case",   "order",        "content"};
  return names[size_t(k)];
}

void start(shaper &s, const hashkey &key) {
  s.key = &key;
  for (keyhash &h : s.row) hashstart(h, key);
  hashstart(s.line, key);
  s.held = keyhash();
  s.lines = digest();
  s.cr = s.run = s.token = s.tokens = false;
}

void feed(shaper &s, const char *p, size_t n) {
  const auto *b = reinterpret_cast<const unsigned char *>(p);
  size_t i = 0;
  while (i < n) {
    unsigned char c = b[i];
    if (c == '\n' && s.lastcr) s.crlf = true;
    s.lastcr = c == '\r';
    shapebyte(s, c);
    i++;
    if (KINDCLASS[c] != KPLAIN) continue;
    // The rest of a run of plain bytes goes the same to every row, a span at a time: no CR
    // or run of whitespace is held back now, and the byte just fed began or went on a token.
    size_t j = i;
    while (j < n && KINDCLASS[b[j]] == KPLAIN) j++;
    if (j == i) continue;
    for (keyhash &h : s.row) hashadd(h, p + i, j - i);
    hashadd(s.line, p + i, j - i);
    s.lastcr = false;
    i = j;
  }
  if (n > 0) {
    s.any = true;
    s.last = b[n - 1];
  }
}

void finished(shaper &s) {
  if (!s.any || s.last != '\n') shapebyte(s, '\n');
}

kinds kindof(const shaper &a, const shaper &b) {
  for (size_t i = 0; i < 5; i++)
    if (hashof(a.row[i]) == hashof(b.row[i])) return kinds(i + 1);
  return a.lines == b.lines ? kinds::order : kinds::content;
}

void shared(shaper &s, const char *p, size_t n) {
  if (n == 0) return;
  if (!s.crlf && ((s.lastcr && p[0] == '\n') || memmem(p, n, "\r\n", 2))) s.crlf = true;
  const char *from = p;
  if (const void *lf = memrchr(p, '\n', n)) {
    from = static_cast<const char *>(lf) + 1;
    start(s, *s.key);
  }
  bool crlf = s.crlf;
  feed(s, from, size_t(p + n - from));
  s.crlf = crlf || s.crlf;
  s.any = true;
  s.last = static_cast<unsigned char>(p[n - 1]);
  s.lastcr = p[n - 1] == '\r';
}

}  // namespace linecmp::engine
