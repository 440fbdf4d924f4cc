// The comparison: the lockstep loop over the lines of both files, the end-of-input report,
// and where the two files first differ.
#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <string>

#include "compare/engine.h"
#include "show/fix.h"
#include "show/readable.h"

namespace linecmp::engine {

// Differing pairs shown, and extra lines of the longer file shown after its leftover line;
// past these the report only counts.
constexpr int64_t SHOWN = 10;

// Prints one report line: the label, the line number and the display form of buf.
static void report(FILE *out, const char *label, int64_t row, std::string &buf) {
  fix(buf);
  std::fprintf(out, "%8s %04" PRId64 ": %s\n", label, row, buf.c_str());
}

// A file that stopped on a read error rather than at its end must not pass for a
// finished one: the caller prints this and fails.
static bool unreadable(FILE *out, const src &f, const char *path) {
  if (!f.bad) return false;
  std::fprintf(out, "Cannot read file %s.\n", path);
  return true;
}

// Reads the rest of a file that has not ended, printing its first lines as tail lines
// numbered on from row and counting them all in nrows. False on a read error.
static bool tail(FILE *out, src &f, const kernels &k, const char *path, const char *label, int64_t &row, int64_t &nrows,
                 std::string &buf) {
  while (!f.ended && nrows < SHOWN) {
    row++;
    mygetline(f, buf);
    if (buf.empty() || f.bad) break;
    nrows++;
    report(out, label, row, buf);
  }
  if (!f.ended) {
    std::fflush(out);  // what is known goes out before a count that may take long
    nrows += countlines(f, k);
  }
  return !unreadable(out, f, path);
}

// Sets the facts and the kind of o once both files of c have ended, for a comparison
// asked to find them.
static void findkind(comparison &c, outcome &o) {
  const shaper *x = &c.both, *y = &c.both;
  if (o.differ) {
    watched(c.a);
    watched(c.b);
    c.a.watch = c.b.watch = nullptr;
    o.kind = pairedkind(c.pairs);
    o.kindknown = !c.one.gaveup && !c.two.gaveup;
    o.moreblank = c.two.blanks - c.one.blanks;  // both counted from the same line start
    x = &c.one;
    y = &c.two;
  }
  o.crlf1 = x->crlf;
  o.crlf2 = y->crlf;
  o.open1 = x->any && x->last != '\n';
  o.open2 = y->any && y->last != '\n';
}

outcome compare(comparison &c, FILE *out) {
  src &a = c.a, &b = c.b;
  const kernels &k = *c.k;
  const char *l1 = c.names.l1, *l2 = c.names.l2, *path1 = c.path1, *path2 = c.path2;
  std::string buf1, buf2;
  outcome o;
  int64_t row = 0, errors = 0;
  stop at;
  if (c.findkind) {
    c.key = randomkey(k);
    start(c.both, c.key);
    at.line = &c.both;
  }
  for (;;) {
    if (errors == SHOWN) {
      // Nothing more is printed until one file has no more lines: count the rest in bulk,
      // once what is known has gone out.
      std::fflush(out);
      countpairs(a, b, k, row, errors);
    }
    // Equal lines are only counted; work line by line starts where the files differ.
    bool same = skipequal(a, b, k, row, at);
    bool first = !same && !o.differ;
    if (first && c.findkind) {
      // From here each file goes its own way, from the state of the bytes both share.
      c.one = c.two = c.both;
      c.one.budget = c.two.budget = c.kindbudget;
      startpairs(c.pairs, c.one, c.two, c.both, k, c.lead);
      c.a.watch = &c.one;
      c.b.watch = &c.two;
      a.fed = a.pos;
      b.fed = b.pos;
      at.line = nullptr;
    }
    // Where the files first part, AFTER bytes more of each line are kept to show that place.
    size_t cap = first ? std::max(HEAD, at.head.size() + AFTER) : HEAD;
    if (first) o.offset = a.done + int64_t(a.pos);
    buf1 = at.head;
    readrest(a, buf1, cap);
    buf2 = at.head;
    readrest(b, buf2, cap);
    if (unreadable(out, a, path1)) o.unreadable = 1;
    if (!o.unreadable && unreadable(out, b, path2)) o.unreadable = 2;
    if (o.unreadable) return o;
    if (first) {
      o.differ = true;
      o.line = row + 1;
      o.byte = at.col + 1;
      o.near = at.near;
      o.rest1 = buf1.substr(at.head.size());
      o.rest2 = buf2.substr(at.head.size());
    }
    if (buf1.empty() || buf2.empty()) break;
    row++;
    if (!same && ++errors <= SHOWN) {
      report(out, l1, row, buf1);
      report(out, l2, row, buf2);
    }
  }
  if (errors > SHOWN) std::fprintf(out, "(skipping the next %" PRId64 " errors)\n", errors - SHOWN);
  o.differing = errors;
  int64_t pairs = row, left1 = buf1.empty() ? 0 : 1, left2 = buf2.empty() ? 0 : 1;

  // The end of input: at least one file has ended; the other, if any, is read to its end.
  if (a.ended && !b.ended) std::fprintf(out, "%s terminated, %s continues:\n", l1, l2);
  if (!a.ended && b.ended) std::fprintf(out, "%s terminated, %s continues:\n", l2, l1);
  if (!buf1.empty()) report(out, l1, ++row, buf1);
  if (!buf2.empty()) report(out, l2, ++row, buf2);
  int64_t nrows = 0;
  if (!tail(out, a, k, path1, l1, row, nrows, buf1)) o.unreadable = 1;
  int64_t past1 = nrows;
  if (!o.unreadable && !tail(out, b, k, path2, l2, row, nrows, buf2)) o.unreadable = 2;
  if (o.unreadable) return o;
  o.lines1 = pairs + left1 + past1;
  o.lines2 = pairs + left2 + nrows - past1;
  if (c.findkind) findkind(c, o);
  if (nrows > SHOWN) std::fprintf(out, "(skipping next %" PRId64 " lines)\n", nrows - SHOWN);
  return o;
}

labels setlabels(const char *path1, const char *path2, const char *label1, const char *label2) {
  labels n;
  std::strncpy(n.l1, label1 ? label1 : path1, 8);
  std::strncpy(n.l2, label2 ? label2 : path2, 8);
  if (std::strcmp(n.l1, n.l2) == 0) {
    std::strcpy(n.l1, "first");
    std::strcpy(n.l2, "second");
  }
  return n;
}

std::string past(std::string rest, bool linestart) {
  bool eol = !rest.empty() && rest.back() == '\n';
  if (eol) rest.pop_back();
  std::string res;
  size_t i = 0;
  while (i < rest.size() && res.size() + shown(rest[i]).size() < NEAR) res += shown(rest[i++]);
  if (i < rest.size()) return res + "...";
  if (eol) return res;
  if (res.empty() && linestart) return "(end of file)";
  return res + " (missing end-of-line character)";
}

std::string before(const std::string &near, int64_t col) {
  std::string res;
  size_t k = near.size();
  while (k > 0 && res.size() + shown(near[k - 1]).size() < NEAR) res.insert(0, shown(near[--k]));
  if (col > int64_t(near.size() - k)) res.insert(0, "...");
  return res;
}

side sideof(const outcome &o, bool second) {
  const std::string &rest = second ? o.rest2 : o.rest1;
  // Only a line that goes on past the bytes kept fills them without a line feed.
  return {o.near, o.byte - 1, rest, rest.size() >= AFTER && rest.back() != '\n'};
}

std::string readablefirst(const outcome &o, std::string_view label1, std::string_view label2) {
  shownline x, y;
  around(sideof(o, false), sideof(o, true), x, y);
  std::string l1 = readable(label1), l2 = readable(label2);
  size_t w1 = codepoints(l1), w2 = codepoints(l2), w = std::max(w1, w2);
  char head[96];
  std::snprintf(head, sizeof head, "first difference at line %" PRId64 ", byte %" PRId64 ":\n", o.line, o.byte);
  return head + std::string(w - w1, ' ') + l1 + ": " + x.text + "\n" + std::string(w - w2, ' ') + l2 + ": " + y.text +
         "\n" + std::string(w + 2 + x.caret, ' ') + "^\n";
}

}  // namespace linecmp::engine
