#include "kind/kind.h"

#include "kind/lines.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

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

// The space that follows each token in the order row's canonical bytes.
const unsigned char TOKENSPACE[1] = {' '};

// Feeds c, a byte of the lineendings row's output, to the trailing row, and what that
// keeps to the blanklines row: all of it but the line feeds of lines it left empty.
void trailbyte(shaper &s, unsigned char c) {
  if (c == ' ' || c == '\t' || c == '\r') {
    bool trail = s.from <= 2;
    if (!s.run) {
      if (trail) s.held = s.row[2];
      s.heldblank = s.row[3];
    }
    s.run = true;
    if (trail) hashadd(s.held, c);
    hashadd(s.heldblank, c);
    return;
  }
  if (s.run && c != '\n') {  // the run did not end the line
    if (s.from <= 2) s.row[2] = s.held;
    s.row[3] = s.heldblank;
    s.filled = true;
  }
  s.run = false;
  if (s.from <= 2) hashadd(s.row[2], c);
  if (c != '\n') {
    hashadd(s.row[3], c);
    s.filled = true;
    return;
  }
  if (s.filled) hashadd(s.row[3], c);
  s.blanks += !s.filled;
  s.filled = false;
}

// Feeds c, a byte of the finalnewline row's output, to the rows after it.
void shapebyte(shaper &s, unsigned char c) {
  uint8_t what = KINDCLASS[c];
  s.linestart = what == KLF;
  if (s.from == 0) hashadd(s.row[0], c);
  if (s.cr) {
    s.cr = false;
    if (what != KLF) {
      if (s.from <= 1) hashadd(s.row[1], '\r');
      trailbyte(s, '\r');
    }
  }
  if (what == KCR) {
    s.cr = true;
  } else {
    if (s.from <= 1) hashadd(s.row[1], c);
    trailbyte(s, c);
  }
  if (what == KPLAIN || what == KUPPER) {
    s.token = s.tokens = true;
    unsigned char low = what == KUPPER ? static_cast<unsigned char>(c + 'a' - 'A') : c;
    hashadd(s.row[4], c);
    hashadd(s.row[5], low);
    lineadd(*s.key, s.line, &low, 1);
    return;
  }
  if (s.token) {
    hashadd(s.row[4], ' ');
    hashadd(s.row[5], ' ');
    lineadd(*s.key, s.line, TOKENSPACE, 1);
    s.token = false;
  }
  if (what == KLF) {
    lineend(*s.key, s.line, s.lines);
    s.tokens = false;
  }
}

// Whether a and b have been fed the same stream (but for a chance of 2^-256).
bool alike(const keyhash &a, const keyhash &b) {
  return a.v0 == b.v0 && a.v1 == b.v1 && a.v2 == b.v2 && a.v3 == b.v3 && a.tail == b.tail && a.count == b.count;
}

// Feeds p[0, n), bytes of tokens, to the lettercase row and the line's hash, folded when
// upper says it may hold a capital.
void foldedto(shaper &s, const unsigned char *p, size_t n, bool upper) {
  const char *c = reinterpret_cast<const char *>(p);
  if (!upper) {
    hashadd(s.row[5], c, n);
    lineadd(*s.key, s.line, p, n);
    return;
  }
  for (size_t at = 0; at < n;) {  // a piece at a time
    char low[256];
    size_t k = std::min(sizeof low, n - at);
    for (size_t j = 0; j < k; j++) low[j] = char(KINDCLASS[p[at + j]] == KUPPER ? p[at + j] + 32 : p[at + j]);
    hashadd(s.row[5], low, k);
    lineadd(*s.key, s.line, reinterpret_cast<const unsigned char *>(low), k);
    at += k;
  }
}

// Feeds the tokens of p[0, n), a whole line but its line feed, to the spacing and
// lettercase rows and the line's hash: each token, folded for the last two, and a space.
// upper: the line has a capital. True when it has a token.
bool tokens(shaper &s, const unsigned char *p, size_t n, bool upper) {
  const char *c = reinterpret_cast<const char *>(p);
  bool any = false;
  for (size_t i = 0; i < n;) {
    while (i < n && KINDCLASS[p[i]] >= KSPACE) i++;
    size_t from = i;
    while (i < n && KINDCLASS[p[i]] < KSPACE) i++;
    if (i == from) break;
    any = true;
    hashadd(s.row[4], c + from, i - from);
    hashadd(s.row[4], ' ');
    foldedto(s, p + from, i - from, upper);
    hashadd(s.row[5], ' ');
    lineadd(*s.key, s.line, TOKENSPACE, 1);
  }
  return any;
}

// Feeds a whole line, p[0, n) and then its line feed, to s at a line start: each row's
// part of it at once, which for most lines is a span of the line as it stands.
void wholeline(shaper &s, const unsigned char *p, size_t n) {
  const char *c = reinterpret_cast<const char *>(p);
  keyhash before;  // the state of the row before the current one, before this line
  bool cr = n > 0 && p[n - 1] == '\r';
  s.crlf = s.crlf || cr;
  size_t trimmed = n;
  while (trimmed > 0 && (p[trimmed - 1] == ' ' || p[trimmed - 1] == '\t' || p[trimmed - 1] == '\r')) trimmed--;
  // Rows that have been fed the same so far and are fed the same line now are hashed once:
  // which they are is told by their states, equal only for equal streams. The blanklines
  // row drops a line the trailing row leaves empty.
  size_t part[4] = {n, cr ? n - 1 : n, trimmed, trimmed};
  s.blanks += trimmed == 0;
  for (size_t i = size_t(s.from); i < 4; i++) {
    if (i == 3 && trimmed == 0) break;
    if (i > size_t(s.from) && part[i] == part[i - 1] && alike(s.row[i], before)) {
      before = s.row[i];
      s.row[i] = s.row[i - 1];
      continue;
    }
    before = s.row[i];
    hashadd(s.row[i], c, part[i]);
    hashadd(s.row[i], '\n');
  }
  // A line whose tokens are split by single spaces alone, once whitespace at its ends is
  // left out, is that span in the spacing row, and the span folded in the two after it.
  size_t from = 0, to = n;
  while (from < n && KINDCLASS[p[from]] >= KSPACE) from++;
  while (to > from && KINDCLASS[p[to - 1]] >= KSPACE) to--;
  bool single = to > from, upper = false;
  for (size_t i = from; i < to; i++) {
    uint8_t what = KINDCLASS[p[i]];
    upper = upper || what == KUPPER;
    single = single && (what < KSPACE || (p[i] == ' ' && KINDCLASS[p[i + 1]] < KSPACE));
  }
  if (single) {
    bool same = !upper && alike(s.row[4], s.row[5]);
    hashadd(s.row[4], c + from, to - from);
    hashadd(s.row[4], ' ');
    if (same) {
      s.row[5] = s.row[4];
      lineadd(*s.key, s.line, p + from, to - from);
    } else {
      foldedto(s, p + from, to - from, upper);
      hashadd(s.row[5], ' ');
    }
    lineadd(*s.key, s.line, TOKENSPACE, 1);
  } else {
    tokens(s, p, n, upper);
  }
  lineend(*s.key, s.line, s.lines);  // one without a token adds nothing
}

// Whether x and y, lines with their line feeds, are equal under row r (0 finalnewline, 1
// lineendings, 2 trailing). first: they are the rests of the line where the inputs part,
// whose shared bytes end in a CR when sharedcr, so that a rest of "\n" drops that CR.
bool pairequal(std::string_view x, std::string_view y, int r, bool first, bool sharedcr) {
  if (r == 0) return x == y;
  if (r == 1) {
    bool dropx = first && sharedcr && x.size() == 1, dropy = first && sharedcr && y.size() == 1;
    auto cut = [](std::string_view l) {
      return l.size() >= 2 && l[l.size() - 2] == '\r' ? l.substr(0, l.size() - 2) : l.substr(0, l.size() - 1);
    };
    return dropx == dropy && cut(x) == cut(y);
  }
  // Dropping the run before the line feed of a rest drops the shared bytes' run too exactly
  // when the rest is all run, on either side, so the rests alone decide.
  auto trim = [](std::string_view l) {
    size_t n = l.size() - 1;
    while (n > 0 && (l[n - 1] == ' ' || l[n - 1] == '\t' || l[n - 1] == '\r')) n--;
    return l.substr(0, n);
  };
  return trim(x) == trim(y);
}

// Copies p[0, n) to t with its line feeds as spaces: a loop the compiler makes a vector one.
void spaced(char *__restrict t, const char *__restrict p, size_t n) {
  for (size_t j = 0; j < n; j++) t[j] = p[j] == '\n' ? ' ' : p[j];
}

// Folds the ASCII capitals of t[0, n): a loop the compiler makes a vector one.
void folded(char *t, size_t n) {
  for (size_t j = 0; j < n; j++) t[j] = char(t[j] >= 'A' && t[j] <= 'Z' ? t[j] + 'a' - 'A' : t[j]);
}

// Feeds p[0, n) of side i's input to each row's form from floor on, and hashes what each
// has made final: with line feeds as spaces from spacing on, as tokens cross lines there.
// Order's lines are fed the input too. A run that trailing or blanklines may yet drop is
// held in its form until it ends; past SPILL bytes it goes to the hash at once, the hash
// as it was before the run kept aside to go back to if the run is dropped after all.
void chainon(pairing &p, int i, const char *b, size_t n) {
  pairing::chain &c = p.ch[i];
  const hashkey &key = *p.s[i]->key;
  for (int r = p.floor; r < 6; r++) {
    if (r == 5 && p.floor < 5) break;  // lettercase's form is spacing's, folded, hashed below
    formout &o = c.out[r];
    formstate &st = c.st[r];
    st.firstend = 0;
    p.form(st, b, n, o);
    if (c.spilled[r] && st.firstend) {
      if (st.firstend == 2) c.h[r] = c.before[r];
      c.spilled[r] = false;
    }
    size_t final = st.pend == NOPEND ? o.len : st.pend;
    const char *from = o.out.data() + c.used[r];
    size_t k = final - c.used[r];
    if (r < 4) {
      blockadd(c.h[r], key, from, k);
    } else {
      if (c.spaced.size() < k) c.spaced.resize(std::max(k, 2 * c.spaced.size()));
      spaced(c.spaced.data(), from, k);
      blockadd(c.h[r], key, c.spaced.data(), k);
      if (r == 4) {
        folded(c.spaced.data(), k);
        blockadd(c.h[5], key, c.spaced.data(), k);
      }
    }
    c.used[r] = final;
    if (st.pend != NOPEND && o.len - st.pend > SPILL) {
      if (!c.spilled[r]) c.before[r] = c.h[r];
      c.spilled[r] = true;
      blockadd(c.h[r], key, o.out.data() + st.pend, o.len - st.pend);
      o.len = st.pend;  // the form goes on from there; a line feed takes back no more
    }
    if (c.used[r] >= 65536 && c.used[r] > o.len / 2) {
      std::memmove(o.out.data(), o.out.data() + c.used[r], o.len - c.used[r]);
      o.len -= c.used[r];
      if (st.pend != NOPEND) st.pend -= c.used[r];
      c.used[r] = 0;
    }
  }
  feed(c.order, b, n);
}

// Starts order's lines of both sides, from the state both shared where the inputs part
// when first, else at a line start.
void startorder(pairing &p, bool first) {
  for (int i = 0; i < 2; i++) {
    shaper &o = p.ch[i].order;
    if (first) {
      o = *p.shared;
      o.pair = nullptr;
    } else {
      start(o, *p.s[i]->key);
    }
    o.from = 6;
    o.budget = -1;
  }
}

// What each form holds from its last shared line start, as the next row's input: row 1's
// form of CR CR LF is CR LF, which row 1 would take for a line end again, so it gets back
// its CR; whitespace that spacing's form keeps back until a token follows comes out.
std::string heldform(const pairing &p, int i) {
  const formout &o = p.fo[i];
  std::string h(o.out.data() + p.mark[i], o.len - p.mark[i]);
  if (p.floor == 1 && h.find("\r\n") != std::string::npos) {
    std::string back;
    for (size_t j = 0; j < h.size(); j++) {
      if (h[j] == '\r' && j + 1 < h.size() && h[j + 1] == '\n') back += '\r';
      back += h[j];
    }
    h.swap(back);
  }
  if (p.floor >= 4 && p.fs[i].lastws) h += ' ';
  return h;
}

// Both inputs go on alone from the forms' last shared line start, rows floor to
// lettercase each a form and a hash, and order's lines.
void startchains(pairing &p) {
  if (p.floor < 6) startorder(p, false);  // else order alone has them going
  p.streaming = false;
  p.chained = true;
  for (int i = 0; i < 2; i++) {
    std::string h = heldform(p, i);
    pairing::chain &c = p.ch[i];
    for (int r = p.floor; r < 6; r++) {
      c.st[r].row = r;
      blockstart(c.h[r], *p.s[i]->key);
    }
    c.st[3].blanks = p.fs[i].blanks;
    std::string().swap(p.fo[i].out);
    chainon(p, i, h.data(), h.size());
  }
}

// The kind of difference once both chains have ended.
kinds chainedkind(pairing &p) {
  for (int r = p.floor; r < 6; r++)
    if (blockof(p.ch[0].h[r], *p.s[0]->key) == blockof(p.ch[1].h[r], *p.s[1]->key)) return kinds(r + 1);
  finished(p.ch[0].order);
  finished(p.ch[1].order);
  return p.ch[0].order.lines == p.ch[1].order.lines ? kinds::order : kinds::content;
}

// Both shapers take over from the first line not yet paired, or from the forms' last
// shared line start, the first rows known to differ.
void takeover(pairing &p) {
  if (p.streaming) return startchains(p);
  p.hashing = true;
  for (int i = 0; i < 2; i++) {
    shaper &s = *p.s[i];
    // What feed() keeps of the whole input and of its budget is already right.
    bool crlf = s.crlf, any = s.any, lastcr = s.lastcr, gaveup = s.gaveup;
    int64_t blanks = s.blanks;  // those dropped before, after the line start both shared
    unsigned char last = s.last;
    int64_t budget = s.budget;
    pairing *pair = s.pair;
    if (p.first) {
      s = *p.shared;
    } else {
      start(s, *s.key);
    }
    s.pair = pair;
    s.side = i;
    s.from = p.floor;  // the rows known to differ need no hash
    s.budget = -1;
    feed(s, p.held[i].data() + p.at[i], p.held[i].size() - p.at[i]);
    s.blanks += blanks;
    s.crlf = crlf;
    s.any = any;
    s.lastcr = lastcr;
    s.last = last;
    s.budget = budget;
    s.gaveup = gaveup;
    std::string().swap(p.held[i]);
    p.at[i] = p.seen[i] = 0;
  }
}

// Whether l, a line with its line feed, holds only spaces, tabs and CRs before it.
bool blank(std::string_view l) { return l.find_first_not_of(" \t\r") == l.size() - 1; }

// Whether forms under spacing or lettercase that agree before x and y, their first bytes
// that differ (0 for none: the form ends there), differ under the row itself: else one has
// a line feed where the other has a space or ends, and the tokens may yet meet.
bool parted(char x, char y) {
  auto gap = [](char c) { return c == '\n' || c == ' ' || c == 0; };
  return !(gap(x) && gap(y));
}

// Starts each side's form under row r at what its held bytes have past the pairs, which
// starts a line on both sides; for order alone (r 6), lettercase's form, whose lines pair
// or go to order's lines.
void startforms(pairing &p, int r) {
  p.streaming = true;
  p.floor = r;
  for (int i = 0; i < 2; i++) {
    p.fs[i] = formstate();
    p.fs[i].row = std::min(r, 5);
    p.fs[i].blanks = p.s[i]->blanks;
    p.fo[i] = formout();
    p.done[i] = p.mark[i] = 0;
    p.form(p.fs[i], p.held[i].data() + p.at[i], p.held[i].size() - p.at[i], p.fo[i]);
    std::string().swap(p.held[i]);
    p.at[i] = p.seen[i] = 0;
  }
}

// Order alone: the lines in which the forms part at done go to each side's order lines
// (the one not ended yet goes on there until its line feed), and the forms go on pairing
// lines from the next; lines that pair are equal, and cancel out of the multiset.
void orderpart(pairing &p) {
  // Where most lines do not pair, order's lines take every byte in bulk instead.
  if (p.unpairedbytes > ORDERBULK && p.unpairedbytes > p.pairedbytes / 4) return takeover(p);
  for (int i = 0; i < 2; i++) {
    formout &o = p.fo[i];
    const char *line = o.out.data() + p.mark[i];
    const void *lf = std::memchr(o.out.data() + p.done[i], '\n', o.len - p.done[i]);
    size_t end = lf ? size_t(static_cast<const char *>(lf) - o.out.data()) + 1 : o.len;
    feed(p.ch[i].order, line, end - p.mark[i]);
    p.unpairedbytes += end - p.mark[i];
    p.unpaired[i] = !lf;
    if (!lf && p.fs[i].lastws) feed(p.ch[i].order, " ", 1);  // held back until a token came
    p.mark[i] = p.done[i] = end;
  }
}

// The forms have parted at done, or one has ended before the other: the rows go on from
// their last shared line start, or the shapers take over.
void partforms(pairing &p) {
  int r = p.floor;
  if (r == 6) return orderpart(p);
  if (r >= 4) {
    size_t n[2] = {p.fo[0].len - p.done[0], p.fo[1].len - p.done[1]};
    char x = n[0] ? p.fo[0].out[p.done[0]] : 0, y = n[1] ? p.fo[1].out[p.done[1]] : 0;
    if (!parted(x, y)) return takeover(p);
    if (r == 5) {
      p.floor = 6;
      startorder(p, false);
      return orderpart(p);
    }
    // Lettercase's form is spacing's, folded: made in place.
    for (int i = 0; i < 2; i++) {
      char *o = p.fo[i].out.data();
      for (size_t j = p.mark[i]; j < p.fo[i].len; j++)
        if (o[j] >= 'A' && o[j] <= 'Z') o[j] = char(o[j] + 'a' - 'A');
      p.fs[i].row = 5;
      p.done[i] = p.mark[i];
    }
    p.floor = 5;
    return;
  }
  p.floor = r + 1;
  for (int i = 0; i < 2; i++) {
    formstate s;
    s.row = r + 1;
    s.blanks = p.fs[i].blanks;
    formout o;
    p.form(s, p.fo[i].out.data() + p.mark[i], p.fo[i].len - p.mark[i], o);
    p.fs[i] = s;
    p.fo[i] = std::move(o);
    p.done[i] = p.mark[i] = 0;
  }
}

// Compares what both forms have final, up to where they part or one runs out, and moves on
// a row where they part. At the end (both inputs ended), forms of different lengths part.
void compareforms(pairing &p) {
  while (p.streaming) {
    size_t end[2];
    for (int i = 0; i < 2; i++) end[i] = p.fs[i].pend == NOPEND ? p.fo[i].len : p.fs[i].pend;
    size_t m = std::min(end[0] - p.done[0], end[1] - p.done[1]);
    const char *x = p.fo[0].out.data() + p.done[0], *y = p.fo[1].out.data() + p.done[1];
    size_t d = p.k->firstdiff(x, y, m);
    if (const void *lf = d ? memrchr(x, '\n', d) : nullptr) {
      size_t past = size_t(static_cast<const char *>(lf) - x) + 1;
      p.mark[0] = p.done[0] + past;
      p.mark[1] = p.done[1] + past;
    }
    p.done[0] += d;
    p.done[1] += d;
    p.pairedbytes += d;
    if (d < m || (p.ended && (p.done[0] < p.fo[0].len || p.done[1] < p.fo[1].len))) {
      partforms(p);
      continue;
    }
    break;
  }
  if (!p.streaming) return;
  for (int i = 0; i < 2; i++) {
    formout &o = p.fo[i];
    if (o.len - p.mark[i] > p.lead) return takeover(p);
    // What is behind the mark goes, a copy of at most as many bytes.
    if (p.mark[i] >= 65536 && p.mark[i] > o.len / 2) {
      std::memmove(o.out.data(), o.out.data() + p.mark[i], o.len - p.mark[i]);
      o.len -= p.mark[i];
      p.done[i] -= p.mark[i];
      if (p.fs[i].pend != NOPEND) p.fs[i].pend -= p.mark[i];
      p.mark[i] = 0;
    }
  }
}

// Under spacing or lettercase, whether the rests x and y of the line where the inputs part
// have equal forms, going on from the shared bytes' state; else whether they part for good.
bool restsalike(const pairing &p, std::string_view x, std::string_view y, int r, bool &apart) {
  formout o[2];
  std::string_view rest[2] = {x, y};
  for (int i = 0; i < 2; i++) {
    formstate s;
    s.row = r;
    s.seen = p.shared->tokens;
    s.lastws = !p.shared->token;
    formbytes(s, rest[i].data(), rest[i].size(), o[i]);
  }
  size_t m = std::min(o[0].len, o[1].len), d = 0;
  while (d < m && o[0].out[d] == o[1].out[d]) d++;
  if (d == m && o[0].len == o[1].len) return true;
  apart = parted(d < o[0].len ? o[0].out[d] : 0, d < o[1].len ? o[1].out[d] : 0);
  return false;
}

// Pairs the rests of the line where the inputs part, once both have come, under the finest
// row they agree under; the forms go on from the next line, or the shapers take over.
void pairs(pairing &p) {
  const char *lf[2];
  std::string_view line[2];
  for (int i = 0; i < 2; i++) {
    const std::string &h = p.held[i];
    const char *from = h.data() + p.seen[i], *end = h.data() + h.size();
    lf[i] = static_cast<const char *>(std::memchr(from, '\n', size_t(end - from)));
    p.seen[i] = lf[i] ? size_t(lf[i] - h.data()) : h.size();
    if (lf[i]) line[i] = std::string_view(h.data() + p.at[i], p.seen[i] + 1 - p.at[i]);
  }
  if (!lf[0] || !lf[1]) {
    for (int i = 0; i < 2; i++)
      if (p.held[i].size() - p.at[i] > p.lead) return takeover(p);
    return;
  }
  while (p.floor < 3 && !pairequal(line[0], line[1], p.floor, true, p.sharedcr)) p.floor++;
  if (p.floor == 3) {
    // Rests that are not all whitespace make both lines not blank, and they differ
    // dropping their ends' whitespace: the blank lines before them being alike, so do
    // the inputs once blank lines are dropped.
    if (blank(line[0]) || blank(line[1])) return takeover(p);
    bool apart = false;
    p.floor = 4;
    if (!restsalike(p, line[0], line[1], 4, apart)) {
      p.floor = 5;
      if (!restsalike(p, line[0], line[1], 5, apart)) {
        if (!apart) {
          p.floor = 4;
          return takeover(p);
        }
        p.floor = 6;
        startorder(p, true);
        for (int i = 0; i < 2; i++) feed(p.ch[i].order, line[i].data(), line[i].size());
      }
    }
  }
  p.first = false;
  for (int i = 0; i < 2; i++) p.at[i] = p.seen[i] + 1;
  startforms(p, p.floor);
  compareforms(p);
}

// Takes p[0, n) of side i's input into its form, and compares; for order alone, the rest
// of a line that did not pair goes to order's lines first.
void streamfeed(pairing &p, int i, const char *b, size_t n) {
  if (p.unpaired[i]) {
    const void *lf = std::memchr(b, '\n', n);
    size_t k = lf ? size_t(static_cast<const char *>(lf) - b) + 1 : n;
    feed(p.ch[i].order, b, k);
    if (!lf) return;
    p.unpaired[i] = false;
    p.fs[i] = formstate();  // a line starts
    p.fs[i].row = 5;
    b += k;
    n -= k;
  }
  p.form(p.fs[i], b, n, p.fo[i]);
  compareforms(p);
}

// Takes p[0, n) of side i's input into the pairs.
void pairfeed(pairing &p, int i, const char *b, size_t n) {
  shaper &s = *p.s[i];
  if (n == 0 || s.gaveup) return;
  if (s.budget >= 0 && int64_t(n) > s.budget) {
    s.gaveup = true;
    return;
  }
  if (s.budget >= 0) s.budget -= int64_t(n);
  if (!s.crlf && s.lastcr && b[0] == '\n') s.crlf = true;
  for (const char *cr = b; !s.crlf && (cr = static_cast<const char *>(std::memchr(cr, '\r', size_t(b + n - cr))));)
    s.crlf = ++cr < b + n && *cr == '\n';
  s.any = true;
  s.last = static_cast<unsigned char>(b[n - 1]);
  s.lastcr = b[n - 1] == '\r';
  if (p.streaming) return streamfeed(p, i, b, n);
  if (p.chained) return chainon(p, i, b, n);
  p.held[i].append(b, n);
  pairs(p);
}

// Feeds p[0, n) to s when only the order row is left: its line kernel takes the bytes as
// they come, and the facts about the whole input are kept as feed() keeps them, but for
// blanks, which tells only the blanklines row's count and stays as it was.
void orderonly(shaper &s, const unsigned char *p, size_t n) {
  if (n == 0) return;
  if (!s.crlf && s.lastcr && p[0] == '\n') s.crlf = true;
  linesof(*s.key).feed(*s.key, s.line, s.token, s.crlf, p, n, s.lines);
  s.tokens = s.line.len > 0 || s.line.over;
  s.linestart = p[n - 1] == '\n';
  s.lastcr = p[n - 1] == '\r';
  s.any = true;
  s.last = p[n - 1];
}

}  // namespace

void startpairs(pairing &p, shaper &a, shaper &b, const shaper &shared, const kernels &k, size_t lead) {
  p = pairing();
  p.lead = lead;
  p.s[0] = &a;
  p.s[1] = &b;
  p.shared = &shared;
  p.k = &k;
  p.form = formfor(k);
  p.first = !shared.linestart;  // else the forms start here, at a line start on both sides
  p.sharedcr = p.first && shared.lastcr;
  a.pair = b.pair = &p;
  a.side = 0;
  b.side = 1;
  if (!p.first) startforms(p, 0);
}

kinds pairedkind(pairing &p) {
  if (!p.hashing) {
    // Each input's last line gains its line feed, as in finalnewline and every row after it.
    for (int i = 0; i < 2; i++) {
      if (p.s[i]->any && p.s[i]->last == '\n') continue;
      if (p.streaming) {
        streamfeed(p, i, "\n", 1);
      } else if (p.chained) {
        chainon(p, i, "\n", 1);
      } else {
        p.held[i] += '\n';
      }
    }
    p.ended = true;
    if (p.streaming) {
      compareforms(p);
    } else if (!p.chained) {
      pairs(p);
    }
    if (p.chained) {
      for (int i = 0; i < 2; i++) p.s[i]->blanks = p.ch[i].st[3].blanks;
      return chainedkind(p);
    }
    if (p.streaming && p.floor == 6) {
      finished(p.ch[0].order);
      finished(p.ch[1].order);
      return p.ch[0].order.lines == p.ch[1].order.lines ? kinds::order : kinds::content;
    }
    if (p.streaming) {
      for (int i = 0; i < 2; i++) p.s[i]->blanks = p.fs[i].blanks;
      return kinds(p.floor + 1);
    }
    return kindof(*p.s[0], *p.s[1], p.floor);
  }
  finished(*p.s[0]);
  finished(*p.s[1]);
  return kindof(*p.s[0], *p.s[1], p.floor);
}

void blockstart(blockhash &h, const hashkey &key) {
  hashstart(h.sip, key);
  h.have = 0;
}

// Takes the NH of n bytes at c into h's SipHash.
static void blockdone(blockhash &h, const hashkey &key, const unsigned char *c, size_t n) {
  uint64_t sums[4];
  nhsums(key, c, n, sums);
  for (uint64_t w : sums) sipword(h.sip, w);
  h.sip.count += 32;
}

void blockadd(blockhash &h, const hashkey &key, const char *p, size_t n) {
  const auto *c = reinterpret_cast<const unsigned char *>(p);
  if (h.have) {
    size_t k = std::min(n, LINEBYTES - h.have);
    std::memcpy(h.block + h.have, c, k);
    h.have += k;
    c += k;
    n -= k;
    if (h.have < LINEBYTES) return;
    blockdone(h, key, h.block, LINEBYTES);
    h.have = 0;
  }
  // Whole blocks in place; the rest, a whole block or less, waits in h.block.
  for (; n > LINEBYTES; c += LINEBYTES, n -= LINEBYTES) blockdone(h, key, c, LINEBYTES);
  std::memcpy(h.block, c, n);
  h.have = n;
}

digest blockof(blockhash h, const hashkey &key) {
  if (h.have) blockdone(h, key, h.block, h.have);
  return hashof(h.sip);
}

const char *kindname(kinds k) {
  static const char *const names[] = {"same",    "final-newline", "line-endings", "trailing-space", "blank-lines",
                                      "spacing", "letter-case",   "order",        "content"};
  return names[size_t(k)];
}

void start(shaper &s, const hashkey &key) {
  s.key = &key;
  for (keyhash &h : s.row) hashstart(h, key);
  s.line.len = 0;
  s.line.over = false;
  s.held = s.heldblank = keyhash();
  s.lines = digest();
  s.blanks = 0;
  s.cr = s.run = s.filled = s.token = s.tokens = false;
  s.linestart = true;
}

void feed(shaper &s, const char *p, size_t n) {
  if (s.pair && !s.pair->hashing) {
    pairfeed(*s.pair, s.side, p, n);
    return;
  }
  if (s.budget >= 0 && (s.gaveup || int64_t(n) > s.budget)) {
    s.gaveup = true;
    return;
  }
  if (s.budget >= 0) s.budget -= int64_t(n);
  const auto *b = reinterpret_cast<const unsigned char *>(p);
  if (s.from >= 6) return orderonly(s, b, n);
  size_t i = 0;
  while (i < n) {
    const void *lf = s.linestart ? std::memchr(b + i, '\n', n - i) : nullptr;
    if (lf) {
      size_t len = size_t(static_cast<const unsigned char *>(lf) - (b + i));
      wholeline(s, b + i, len);
      s.lastcr = false;
      i += len + 1;
      continue;
    }
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
    for (size_t r = size_t(s.from); r < 6; r++) hashadd(s.row[r], p + i, j - i);
    lineadd(*s.key, s.line, b + i, j - i);
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

kinds kindof(const shaper &a, const shaper &b, int floor) {
  for (size_t i = size_t(floor); i < 6; i++)
    if (hashof(a.row[i]) == hashof(b.row[i])) return kinds(i + 1);
  return a.lines == b.lines ? kinds::order : kinds::content;
}

void sharedspan(shaper &s, const char *p, size_t n) {
  if (n == 0) return;
  if (!s.crlf && s.lastcr && p[0] == '\n') s.crlf = true;
  for (const char *cr = p; !s.crlf && (cr = static_cast<const char *>(std::memchr(cr, '\r', size_t(p + n - cr))));)
    s.crlf = ++cr < p + n && *cr == '\n';
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
