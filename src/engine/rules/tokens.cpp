// Judging by tokens: an output and its answer read side by side as whitespace and tokens,
// compared by a judge's rules, stopping at the first pair that decides the verdict.
// Stretches where both files hold the same bytes are equal under every rule, so they are
// skipped with the scan kernels; work token by token starts only where the bytes part.
#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "rules/judge.h"
#include "rules/numbers.h"
#include "rules/rules.h"
#include "show/readable.h"

namespace linecmp::engine {

namespace {

// What a byte is under the rules: part of a token, whitespace, a line feed, or (testlib's
// lcmp, for a carriage return) nothing at all.
enum : uint8_t { TOKEN, SPACE, NEWLINE, DROPPED };

struct classes {
  uint8_t of[256];
};

// The classes of every byte under r.
classes classify(const rules &r) {
  classes c{};
  const char *white = r.testlib && r.space != spacing::lcmp ? " \t\r" : " \t\r\v\f";
  for (const char *s = white; *s; s++) c.of[static_cast<unsigned char>(*s)] = SPACE;
  c.of[unsigned('\n')] = NEWLINE;
  if (r.space == spacing::lcmp) c.of[unsigned('\r')] = DROPPED;
  return c;
}

// The longest token the token kernel reads whole.
constexpr size_t SHORT = 64;

// Bytes of a token's start kept to show it: the readable form shows fewer characters.
constexpr size_t SHOWN = AFTER;

// A place in a file, to show it: its line and the bytes before it on that line (col of
// them, the last NEAR kept), and bytes from it on, up to the end of the line; and the
// bytes of the file before it.
struct spot {
  int64_t line = 1, col = 0, offset = 0;
  std::string near, rest;
  // Whether the line so far, and the line before it, hold nothing but carriage returns:
  // empty lines as testlib's lcmp reads them, which drops an empty last answer line.
  bool bare = true, barebefore = false;
  // Whether rest stops where the block read so far ends, before the line's end: the line
  // may go on, which only a later read would tell.
  bool unread = false;
};

// Whether p[0, n) holds nothing but carriage returns.
bool bare(const char *p, size_t n) {
  size_t i = 0;
  while (i < n && p[i] == '\r') i++;
  return i == n;
}

// A file as read for judging: its reader, the class of each byte, and where it stands.
struct reader {
  src &f;
  const kernels &k;
  const classes &cls;
  spot at;  // at.rest unused: the place is the next byte

  bool more() { return engine::more(f); }
  const char *here() const { return f.blk + f.pos; }
  size_t left() const { return f.len - f.pos; }
  uint8_t next() const { return cls.of[static_cast<unsigned char>(f.blk[f.pos])]; }

  // Takes n bytes of the current block, keeping track of the line.
  void skip(size_t n) {
    const char *p = here();
    size_t lines = n ? k.countlf(p, n) : 0;
    // Contents in memory that another thread changes meanwhile may have lost the line
    // feed just counted; the line then runs on, as if it had none.
    const void *lf = lines ? memrchr(p, '\n', n) : nullptr;
    if (lf) {
      at.line += int64_t(lines);
      const char *last = static_cast<const char *>(lf) + 1;
      // The line that the last line feed ends: carriage returns back to a line feed, or
      // back to where this span starts, on a line that was bare so far.
      const char *q = last - 1;
      while (q > p && q[-1] == '\r') q--;
      at.barebefore = q > p ? q[-1] == '\n' : at.bare;
      at.col = p + n - last;
      at.near.assign(last + (size_t(at.col) > NEAR ? size_t(at.col) - NEAR : 0), std::min(size_t(at.col), NEAR));
      at.bare = engine::bare(last, size_t(at.col));
    } else {
      at.col += int64_t(n);
      keeplast(at.near, p, n);
      at.bare = at.bare && engine::bare(p, n);
    }
    at.offset += int64_t(n);
    f.pos += n;
  }

  // How many bytes from here in the current block are of kind, or of the kinds below
  // kind for whitespace (SPACE and NEWLINE, and DROPPED for lcmp); 0 at the end of the file.
  size_t run(bool token) {
    if (!more()) return 0;
    const char *p = here();
    size_t n = left(), i = 0;
    if (token)
      while (i < n && cls.of[static_cast<unsigned char>(p[i])] == TOKEN) i++;
    else
      while (i < n && cls.of[static_cast<unsigned char>(p[i])] != TOKEN) i++;
    return i;
  }

  // Where it stands, with the rest of its line as far as the current block holds it.
  spot place() {
    spot s = at;
    if (more()) {
      const char *p = here();
      size_t n = std::min(left(), SHOWN);
      const char *lf = static_cast<const char *>(std::memchr(p, '\n', n));
      s.rest.assign(p, lf ? size_t(lf - p) + 1 : n);
      s.unread = !lf && n == left();
    }
    return s;
  }
};

// A token as read: where it starts, its first bytes, its length and its number.
struct token {
  spot at;
  int64_t length = 0;
  numeral num;
  bool none = true;  // there was no token: the file had ended
};

// What a run of whitespace held: where it starts, its line feeds, and (for lcmp) the last
// line on which it holds a byte that testlib does not count as blank (a form feed or a
// vertical tab), or 0.
struct gap {
  spot at;
  int64_t lfs = 0, odd = 0;
};

// Reads a run of whitespace of r.
gap space(reader &r) {
  gap g;
  g.at = r.place();
  while (size_t n = r.run(false)) {
    const char *p = r.here();
    // r.at.line moves on with each span taken, so a line is counted from it afresh.
    int64_t line = r.at.line;
    for (size_t i = 0; i < n; i++) {
      if (p[i] == '\n') {
        g.lfs++;
        line++;
      }
      if (p[i] == '\v' || p[i] == '\f') g.odd = line;
    }
    r.skip(n);
  }
  return g;
}

// Reads two runs of whitespace that must be the same byte for byte; false where they
// part, with the place in each.
bool samespace(reader &a, reader &b, gap &ga, gap &gb) {
  ga.at = a.place();
  gb.at = b.place();
  for (;;) {
    size_t n = a.run(false), m = b.run(false);
    if (n == 0 || m == 0) return n == m;
    size_t k = std::min(n, m);
    size_t d = a.k.firstdiff(a.here(), b.here(), k);
    a.skip(d);
    b.skip(d);
    if (d < k) return false;
  }
}

// Whether p[0, n) and q[0, n) are alike but for the case of ASCII letters.
bool foldequal(const char *p, const char *q, size_t n) {
  for (size_t i = 0; i < n; i++) {
    unsigned char x = static_cast<unsigned char>(p[i]), y = static_cast<unsigned char>(q[i]);
    if (x != y && !((x | 0x20) == (y | 0x20) && (x | 0x20) >= 'a' && (x | 0x20) <= 'z')) return false;
  }
  return true;
}

// Reads bytes into t: its head, length and number. With a pair to follow, each byte's
// digit goes to it too (t is one of its two tokens).
void feed(token &t, const char *p, size_t n, bool numbers, streampair *sp = nullptr, const token *ta = nullptr,
          const token *tb = nullptr) {
  if (t.at.rest.size() < SHOWN) t.at.rest.append(p, std::min(n, SHOWN - t.at.rest.size()));
  t.length += int64_t(n);
  if (!numbers) return;
  for (size_t i = 0; i < n; i++) {
    t.num.add(static_cast<unsigned char>(p[i]));
    if (sp) follow(*sp, ta->num, tb->num, false);
  }
}

// Skips a byte that lcmp drops, if the next one is.
bool dropped(reader &r) {
  if (!r.more() || r.next() != DROPPED) return false;
  r.skip(1);
  return true;
}

// Reads the rest of the token that r stands in into t; returns how many bytes it had.
int64_t finish(reader &r, token &t, bool numbers, streampair *sp = nullptr, const token *ta = nullptr,
               const token *tb = nullptr) {
  int64_t read = 0;
  for (;;) {
    while (dropped(r)) {
    }
    size_t n = r.run(true);
    if (n == 0) return read;
    feed(t, r.here(), n, numbers, sp, ta, tb);
    r.skip(n);
    read += int64_t(n);
  }
}

// Bytes of a number read at a time while its digits are followed beside the other's.
constexpr size_t STRIDE = 64;

// Reads the rest of two tokens that differ, numbers whose digits sp follows: a little of
// the one whose significant digits lag each time, so that the digits of one place come
// close together whatever the leading zeros, points and signs before them.
void abreast(reader &a, reader &b, token &ta, token &tb, streampair &sp) {
  size_t na = 0, nb = 0;  // bytes left of each one's current run, 0 to look again
  bool enda = false, endb = false;
  for (;;) {
    if (!enda && na == 0) {
      while (dropped(a)) {
      }
      na = a.run(true);
      enda = na == 0;
    }
    if (!endb && nb == 0) {
      while (dropped(b)) {
      }
      nb = b.run(true);
      endb = nb == 0;
    }
    if (enda && endb) return;
    // The one behind goes on, or the one whose digits still come.
    bool more_a = !enda && (endb || !tb.num.reading() || (ta.num.reading() && ta.num.count <= tb.num.count));
    reader &r = more_a ? a : b;
    token &t = more_a ? ta : tb;
    size_t &n = more_a ? na : nb;
    size_t k = std::min(n, STRIDE);
    feed(t, r.here(), k, true, &sp, &ta, &tb);
    r.skip(k);
    n -= k;
  }
}

// Reads the next token of a and of b side by side (none at the end of a file); true when
// they hold the same bytes, or the same but for case when fold. sp follows the digits of
// two numbers past what a number keeps.
bool pair(reader &a, reader &b, token &ta, token &tb, bool fold, bool numbers, streampair &sp) {
  ta.at = a.at;
  tb.at = b.at;
  ta.none = !a.more();
  tb.none = !b.more();
  bool same = true;
  // Bytes left of each one's current run: a run is found once, not again at each stride,
  // which made a long number cost its block's length at every 64 bytes.
  size_t n = 0, m = 0;
  for (;;) {
    if (n == 0 || m == 0) {
      while (dropped(a) || dropped(b)) {
      }
      if (n == 0) n = a.run(true);
      if (m == 0) m = b.run(true);
    }
    if (n == 0 || m == 0) break;
    size_t k = std::min(n, m);
    if (numbers) {
      // Numbers go a stride at a time, up to where the bytes part, and then abreast.
      k = std::min(k, STRIDE);
      size_t d = 0;
      if (same) {
        while (d < k && (a.here()[d] == b.here()[d] || (fold && foldequal(a.here() + d, b.here() + d, 1)))) d++;
      }
      if (d < k || !same) {
        feed(ta, a.here(), d, true, &sp, &ta, &tb);
        feed(tb, b.here(), d, true, &sp, &ta, &tb);
        a.skip(d);
        b.skip(d);
        same = false;
        abreast(a, b, ta, tb, sp);
        break;
      }
    } else if (same) {
      same = fold ? foldequal(a.here(), b.here(), k) : std::memcmp(a.here(), b.here(), k) == 0;
    }
    feed(ta, a.here(), k, numbers, &sp, &ta, &tb);
    feed(tb, b.here(), k, numbers, &sp, &ta, &tb);
    a.skip(k);
    b.skip(k);
    n -= k;
    m -= k;
  }
  // One of them may go on: it is longer, so they differ.
  if (finish(a, ta, numbers, &sp, &ta, &tb) + finish(b, tb, numbers, &sp, &ta, &tb) > 0) same = false;
  if (numbers) follow(sp, ta.num, tb.num, true);
  // Show each token with what follows it on its line, as far as the block holds it.
  for (auto [r, t] : {std::make_pair(&a, &ta), std::make_pair(&b, &tb)}) {
    std::string &rest = t->at.rest;
    if (rest.size() < SHOWN && !rest.empty() && rest.back() != '\n') {
      spot after = r->place();
      rest += after.rest;
      t->at.unread = after.unread;
    }
    if (rest.size() > SHOWN) rest.resize(SHOWN);
  }
  return same;
}

// Skips the longest run of bytes the two files share, from a place where each stands
// between tokens, to the last such place within it: equal bytes are equal tokens and
// whitespace under every rule.
void skipsame(reader &a, reader &b) {
  while (a.more() && b.more()) {
    const char *p = a.here();
    size_t n = std::min(a.left(), b.left());
    size_t d = a.k.firstdiff(p, b.here(), n);
    // Back to just after the last whitespace before the difference: past the token, and
    // past bytes that lcmp drops, which do not part a token.
    size_t t = d;
    while (t > 0 && a.cls.of[static_cast<unsigned char>(p[t - 1])] != SPACE &&
           a.cls.of[static_cast<unsigned char>(p[t - 1])] != NEWLINE)
      t--;
    a.skip(t);
    b.skip(t);
    if (t < n) return;
  }
}

// A reason in two forms: text, for the jury's message, naming tokens in the readable
// form; and shown, for the one line a judge's admins see raw, in the display form.
struct said {
  std::string text, shown;
  // Not explicit: reasons are built with +, from strings and C strings alike.
  // cppcheck-suppress noExplicitConstructor
  said(std::string s) : text(s), shown(std::move(s)) {}
  // cppcheck-suppress noExplicitConstructor
  said(const char *s) : said(std::string(s)) {}
  said(std::string t, std::string d) : text(std::move(t)), shown(std::move(d)) {}
};

said operator+(const said &x, const said &y) { return {x.text + y.text, x.shown + y.shown}; }

// How a verdict other than SAME is told: the reason, then both places in the readable
// form, each under its label with a mark beneath it.
std::string told(const std::string &reason, const spot &answer, const spot &output) {
  std::string text = reason + "\n";
  for (auto [label, s] : {std::make_pair("expected", &answer), std::make_pair("output", &output)}) {
    char head[96];
    std::snprintf(head, sizeof head, "%8s line %" PRId64 ", byte %" PRId64 ": ", label, s->line, s->col + 1);
    bool goes = (s->rest.size() >= SHOWN || s->unread) && s->rest.back() != '\n';
    shownline l = around(side{s->near, s->col, s->rest, goes});
    text += head + l.text + "\n";
    text += std::string(std::strlen(head) + l.caret, ' ') + "^\n";
  }
  return text;
}

// A token as a reason names it, between quotes: in the readable form, cut to WIDTH code
// points; and in the display form of its first NEAR + 1 bytes, cut.
said named(const token &t) {
  std::string s = t.at.rest.substr(0, size_t(std::min<int64_t>(t.length, int64_t(t.at.rest.size()))));
  std::string text;
  size_t i = 0;
  std::string_view head = std::string_view(s).substr(0, NEAR + 1);
  while (i < head.size() && text.size() < CUT) text += shown(head[i++]);
  if (i < size_t(t.length)) text += "...";
  return {"\"" + readablecut(s, size_t(t.length) > s.size()) + "\"", "\"" + text + "\""};
}

// The tolerances of a comparison, exact as their flags spell them; testlib's eps stands
// for both.
struct tolerances {
  margin abs, rel;
};

tolerances tolerancesof(const rules &r) {
  tolerances t;
  if (!r.abstext.empty()) t.abs = toleranceof(r.abstext);
  if (!r.reltext.empty()) t.rel = toleranceof(r.reltext);
  if (r.num == numbers::reals) t.rel = t.abs;
  return t;
}

// The tolerance of r, as a message gives it.
std::string toleranceshown(const rules &r, const tolerances &t) {
  if (r.num == numbers::reals) return shown(t.abs);
  if (t.abs.given && t.rel.given && shown(t.abs) == shown(t.rel)) return shown(t.abs) + ", absolute or relative";
  std::string s;
  if (t.abs.given) s = "absolute " + shown(t.abs);
  if (t.rel.given) s += (s.empty() ? "relative " : " or relative ") + shown(t.rel);
  return s;
}

// A verdict, with its message and its one line for a judge's admins.
judgement verdictof(verdict v, const said &reason, const spot &answer, const spot &output) {
  judgement j;
  j.v = v;
  j.message = told(reason.text, answer, output);
  j.answerat = answer.offset;
  j.outputat = output.offset;
  char where[96];
  std::snprintf(where, sizeof where,
                " (output line %" PRId64 ", byte %" PRId64 "; answer line %" PRId64 ", byte %" PRId64 ")", output.line,
                output.col + 1, answer.line, answer.col + 1);
  j.brief = reason.shown + where;
  return j;
}

// n and a noun, plural unless n is 1.
std::string plural(int64_t n, const std::string &noun) { return std::to_string(n) + " " + noun + (n == 1 ? "" : "s"); }

// A judge error that the answer causes.
judgement faulty(const said &reason) {
  judgement j;
  j.v = FAILED;
  j.message = reason.text;
  return j;
}

// Whether a token read is a number of the kind the rules need, when they need one.
bool fits(const rules &r, const token &t) {
  if (r.num == numbers::integers) return t.num.isinteger();
  return r.num != numbers::reals || t.num.isfloat();
}

// What the rules call the numbers they need.
const char *needed(const rules &r) { return r.num == numbers::integers ? "an integer" : "a number"; }

// How many tokens f has from here; up to and including the first that does not fit r,
// which then goes in bad.
int64_t counted(reader &f, const rules &r, token &bad) {
  int64_t n = 0;
  for (;;) {
    space(f);
    if (!f.more()) return n;
    token t;
    t.at = f.at;
    t.none = false;
    finish(f, t, r.num != numbers::none);
    n++;
    if (!fits(r, t)) {
      bad = t;
      return n;
    }
  }
}

// A judge error when the rest of the answer holds a token that does not fit r, testlib's
// numbers: a faulty answer is never judged against.
judgement checkrest(reader &a, const rules &r, const judgement &j) {
  token bad;
  counted(a, r, bad);
  if (bad.none) return j;
  return faulty("the answer has " + named(bad) + " where " + needed(r) + " is needed");
}

// The verdict when one file has no more tokens; gb is the output's run of whitespace read
// last, ta and tb the next tokens, one of which is none. pairs is how many pairs matched.
judgement ending(const rules &r, reader &a, reader &b, const gap &gb, const token &ta, const token &tb, int64_t pairs) {
  bool outputleft = ta.none;  // the answer has ended; the output goes on with tb
  if (r.space == spacing::lcmp && ta.none) {
    // The answer's lines: its line feeds, and the text after the last one, if any; but
    // testlib stops before an empty last line that a line feed ends, so the output's
    // from there on are extra.
    int64_t lines = a.at.line - 1 + (a.at.col > 0 ? 1 : 0);
    if (lines > 0 && a.at.col == 0 && a.at.barebefore) lines--;
    if (!tb.none && tb.at.line <= lines)
      return verdictof(DIFFERS,
                       "the output's line " + std::to_string(tb.at.line) + " goes on with " + named(tb) +
                           " where the answer's has no more tokens",
                       ta.at, tb.at);
    if (!tb.none || (gb.odd && gb.odd > lines))
      return verdictof(PRESENTATION, "extra information in the output file: the answer has " + plural(lines, "line"),
                       ta.at, tb.none ? gb.at : tb.at);
    return judgement();
  }
  if (r.num == numbers::integers || r.num == numbers::reals) {
    // testlib's numbers: every token of the answer is read, and must fit, before any verdict.
    int64_t answer = pairs, output = pairs;
    if (!ta.none) {
      token bad;
      if (!fits(r, ta)) bad = ta;
      answer += 1 + (bad.none ? counted(a, r, bad) : 0);
      if (!bad.none) return faulty("the answer has " + named(bad) + " where " + needed(r) + " is needed");
    }
    if (r.num == numbers::reals)
      return verdictof(PRESENTATION,
                       outputleft ? "extra information in the output file: it goes on with " + named(tb)
                                  : "unexpected end of the output file: the answer goes on with " + named(ta),
                       ta.at, tb.at);
    // ncmp counts the output's too, each read as an integer.
    if (!tb.none) {
      token extra;
      if (!fits(r, tb)) extra = tb;
      output += 1 + (extra.none ? counted(b, r, extra) : 0);
      if (!extra.none)
        return verdictof(PRESENTATION, "the output has " + named(extra) + " where an integer is needed", ta.at,
                         extra.at);
    }
    return verdictof(DIFFERS,
                     "the answer has " + plural(answer, "integer") + " and the output " + std::to_string(output), ta.at,
                     tb.at);
  }
  return verdictof(DIFFERS,
                   outputleft ? "the output goes on with " + named(tb) + " where the answer has no more tokens"
                              : "the output has no more tokens where the answer goes on with " + named(ta),
                   ta.at, tb.at);
}

// The verdict on a pair of tokens read, which hold the same bytes (under the case rule)
// when same. Numbers compare on their exact values; testlib's rcmp compares doubles as
// testlib does where both values are ones a double holds.
judgement decide(const rules &r, const tolerances &tol, const token &ta, const token &tb, bool same,
                 const streampair &sp) {
  const numeral &x = ta.num, &y = tb.num;
  auto off = [&] {
    return "the output has " + named(tb) + " where the answer has " + named(ta) + ": " +
           offby(x, y, tol.abs, tol.rel, sp) + ", more than the tolerance, " + toleranceshown(r, tol);
  };
  auto beyond = [&](const token &t) { return named(t) + ", whose exponent is beyond 10^18 in size"; };
  switch (r.num) {
    case numbers::none: break;
    case numbers::floats:
      if (!x.isfloat()) break;
      if (!y.isfloat())
        return verdictof(DIFFERS, "the output has " + named(tb) + " where the answer has the number " + named(ta),
                         ta.at, tb.at);
      if (same) return judgement();
      if (x.huge) return faulty("the answer has " + beyond(ta));
      if (y.huge)
        return verdictof(DIFFERS, "the output has " + beyond(tb) + ", where the answer has " + named(ta), ta.at, tb.at);
      if (exactwithin(x, y, tol.abs, tol.rel, sp)) return judgement();
      return verdictof(DIFFERS, off(), ta.at, tb.at);
    case numbers::integers:
      if (!x.isinteger()) return faulty("the answer has " + named(ta) + " where an integer is needed");
      if (!y.isinteger())
        return verdictof(PRESENTATION, "the output has " + named(tb) + " where an integer is needed", ta.at, tb.at);
      if (sameinteger(x, y)) return judgement();
      return verdictof(DIFFERS, "the output has " + named(tb) + " where the answer has " + named(ta), ta.at, tb.at);
    case numbers::reals:
      if (!x.isfloat()) return faulty("the answer has " + named(ta) + " where a number is needed");
      if (x.huge) return faulty("the answer has " + beyond(ta));
      if (!y.isfloat())
        return verdictof(PRESENTATION, "the output has " + named(tb) + " where a number is needed", ta.at, tb.at);
      if (same) return judgement();
      if (y.huge)
        return verdictof(DIFFERS, "the output has " + beyond(tb) + ", where the answer has " + named(ta), ta.at, tb.at);
      // testlib takes any two infinities of one sign, or two values that both round to
      // zero, as equal: past what doubles hold, values compare exactly, with eps.
      if (x.indouble() && y.indouble() ? nearby(x.value(), y.value(), r.abs) : exactwithin(x, y, tol.abs, tol.rel, sp))
        return judgement();
      return verdictof(DIFFERS, off(), ta.at, tb.at);
  }
  if (same) return judgement();
  return verdictof(DIFFERS, "the output has " + named(tb) + " where the answer has " + named(ta), ta.at, tb.at);
}

// Why two runs of whitespace, one in each file, do not agree under r.
std::string apart(const rules &r, const gap &ga, const gap &gb) {
  if (r.space == spacing::exact) return "the output's whitespace differs from the answer's";
  std::string line = "the output's line " + std::to_string(gb.at.line);
  if (gb.lfs == 0) return line + " goes on where the answer's ends";
  if (ga.lfs == 0) return line + " ends where the answer's goes on";
  return "the output has " + plural(gb.lfs, "line break") + " here where the answer has " + std::to_string(ga.lfs);
}

// The token kernel's reading of r. A number that agrees with the answer's in its first k
// significant digits, of the same place E (the value is 0.d1d2... times ten to the E),
// differs from it by less than 10^(E-k), and the answer's magnitude is at least
// 10^(E-1). On exact values it is so within an absolute tolerance when 10^(E-k) <= abs,
// that is E - k <= xabs with xabs the place of abs's first digit, and within a relative
// one when 10^(1-k) <= rel, that is k >= krel = 1 - that place. testlib's doubles each
// round by 2^-53 of a value below 10^E, and their difference is exact (they lie within a
// factor of two), so for k <= 15 they differ by at most 1.25 * 10^(E-k): xabs and krel
// come from 1.25 * 10^x <= eps, with a margin of a millionth.
tokenrules kernelrules(const rules &r, const tolerances &tol) {
  tokenrules t;
  t.white = r.space == spacing::lcmp ? tokenrules::LCMP : r.testlib ? tokenrules::TESTLIB : tokenrules::PACKAGE;
  t.space = r.space == spacing::free    ? tokenrules::FREE
            : r.space == spacing::exact ? tokenrules::EXACT
                                        : tokenrules::LINES;
  t.fold = r.fold;
  t.num = r.num == numbers::none       ? tokenrules::NONE
          : r.num == numbers::floats   ? tokenrules::FLOATS
          : r.num == numbers::integers ? tokenrules::INTEGERS
                                       : tokenrules::REALS;
  // Places past these never meet a token the kernel reads, of at most 64 bytes.
  constexpr int64_t FAR = 1000;
  // A tolerance of at most 19 significant digits, as the kernel compares short numbers by.
  auto scaled = [](const margin &v) {
    tokenrules::scaled x;
    const decimal &d = v.v;
    if (!v.given || v.infinite || d.digits.size() > 19 || d.low < -FAR || d.low > FAR) return x;
    x.given = true;
    for (char c : d.digits) x.m = x.m * 10 + uint64_t(c - '0');
    x.e = int32_t(d.low);
    return x;
  };
  t.abs = scaled(tol.abs);
  t.rel = scaled(tol.rel);
  t.eps = r.abs;
  if (r.num == numbers::reals) {
    long double bound = 1.25L, eps = r.abs * (1 - 1e-6L);
    int64_t x = 0;
    while (bound > eps && x > -FAR) {
      bound /= 10;
      x--;
    }
    t.xabs = x;
    t.krel = 1 - x;
    return t;
  }
  // The place of a tolerance's first digit, as far out as its exponent goes: a place the
  // kernel meets may be as far, its exponent being of up to 18 digits.
  auto first = [&](const margin &v) { return v.v.low + int64_t(v.v.digits.size()) - 1; };
  if (tol.abs.given && (tol.abs.infinite || !tol.abs.v.digits.empty()))
    t.xabs = tol.abs.infinite ? INT64_MAX : first(tol.abs);
  if (tol.rel.given && (tol.rel.infinite || !tol.rel.v.digits.empty()))
    t.krel = tol.rel.infinite ? INT64_MIN : 1 - first(tol.rel);
  return t;
}

}  // namespace

judgement judgetokens(comparison &c, const rules &r) {
  classes cls = classify(r);
  reader a{c.a, *c.k, cls, {}}, b{c.b, *c.k, cls, {}};
  bool numbers = r.num != numbers::none;
  // Equal bytes make equal tokens, but testlib's numbers must each be checked.
  bool skippable = r.num == numbers::none || r.num == numbers::floats;
  tolerances tol = tolerancesof(r);
  tokenrules kr = kernelrules(r, tol);
  int64_t pairs = 0, streamed = 0;
  judgement j;
  for (;;) {
    if (skippable) skipsame(a, b);
    // Pairs that are plainly alike go by in bulk; the pair that stops the kernel, or runs
    // past the blocks, is read below.
    if (a.more() && b.more()) {
      tokentally t = c.k->tokens(a.here(), a.left(), b.here(), b.left(), kr);
      a.skip(t.used1);
      b.skip(t.used2);
      pairs += t.pairs;
    }
    gap ga, gb;
    if (r.space == spacing::exact) {
      if (!samespace(a, b, ga, gb)) {
        j = verdictof(DIFFERS, apart(r, ga, gb), a.place(), b.place());
        break;
      }
    } else {
      ga = space(a);
      gb = space(b);
    }
    token ta, tb;
    bool ended = !a.more() || !b.more();
    if (!ended && (r.space == spacing::lines || r.space == spacing::lcmp) && ga.lfs != gb.lfs) {
      j = verdictof(DIFFERS, apart(r, ga, gb), ga.at, gb.at);
      break;
    }
    // Whether the kernel saw both tokens whole, had they been short.
    bool seen = a.more() && b.more() && a.left() > SHORT + 64 && b.left() > SHORT + 64;
    streampair sp = streamof(tol.abs, tol.rel);
    bool same = pair(a, b, ta, tb, r.fold, numbers, sp);
    if (ended) {
      // Both ending together is the same, but for lcmp's lines past the answer's.
      if (!(ta.none && tb.none) || r.space == spacing::lcmp) j = ending(r, a, b, gb, ta, tb, pairs);
      break;
    }
    j = decide(r, tol, ta, tb, same, sp);
    if (j.v == SAME && seen && ta.length <= int64_t(SHORT) && tb.length <= int64_t(SHORT)) streamed++;
    if (j.v != SAME) {
      if (j.v != FAILED && (r.num == numbers::integers || r.num == numbers::reals)) j = checkrest(a, r, j);
      break;
    }
    pairs++;
  }
  j.streamed = streamed;
  // What was read before a read error decides nothing.
  if (c.a.bad || c.b.bad) {
    j = judgement();
    j.v = FAILED;
    j.message = std::string("Cannot read file ") + (c.a.bad ? c.path1 : c.path2) + ".";
    j.where.unreadable = c.a.bad ? 1 : 2;
  }
  return j;
}

}  // namespace linecmp::engine
