// The comparison: the lockstep loop over the lines of both files, the end-of-input report,
// and where the two files first differ.
#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <string>

#include "engine.h"
#include "fix.h"

// Differing pairs shown, and extra lines of the longer file shown after its leftover line;
// past these the report only counts.
constexpr int64_t SHOWN = 10;

char l1[20], l2[20];
std::string buf1, buf2;

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
static bool tail(FILE *out, src &f, const char *path, const char *label, int64_t &row, int64_t &nrows,
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
    nrows += countlines(f);
  }
  return !unreadable(out, f, path);
}

outcome compare(src &a, src &b, const char *path1, const char *path2, FILE *out) {
  outcome o;
  int64_t row = 0, errors = 0;
  stop at;
  for (;;) {
    if (errors == SHOWN) {
      // Nothing more is printed until one file has no more lines: count the rest in bulk,
      // once what is known has gone out.
      std::fflush(out);
      countpairs(a, b, row, errors);
    }
    // Equal lines are only counted; work line by line starts where the files differ.
    bool same = skipequal(a, b, row, at);
    bool first = !same && !o.differ;
    // Where the files first part, NEAR bytes more of each line are kept to show that place.
    size_t cap = first ? std::max(HEAD, at.head.size() + NEAR + 1) : HEAD;
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

  // The end of input: at least one file has ended; the other, if any, is read to its end.
  if (a.ended && !b.ended) std::fprintf(out, "%s terminated, %s continues:\n", l1, l2);
  if (!a.ended && b.ended) std::fprintf(out, "%s terminated, %s continues:\n", l2, l1);
  if (!buf1.empty()) report(out, l1, ++row, buf1);
  if (!buf2.empty()) report(out, l2, ++row, buf2);
  int64_t nrows = 0;
  if (!tail(out, a, path1, l1, row, nrows, buf1)) o.unreadable = 1;
  if (!o.unreadable && !tail(out, b, path2, l2, row, nrows, buf2)) o.unreadable = 2;
  if (o.unreadable) return o;
  if (nrows > SHOWN) std::fprintf(out, "(skipping next %" PRId64 " lines)\n", nrows - SHOWN);
  return o;
}

void setlabels(int argc, char **argv) {
  std::memset(l1, 0, sizeof l1);
  std::memset(l2, 0, sizeof l2);
  std::strncpy(l1, argc > 3 ? argv[3] : argv[1], 8);
  std::strncpy(l2, argc > 4 ? argv[4] : argv[2], 8);
  if (std::strcmp(l1, l2) == 0) {
    std::strcpy(l1, "first");
    std::strcpy(l2, "second");
  }
}

// The display form of one byte.
static const std::string &shown(char c) { return _replace[static_cast<unsigned char>(c)]; }

// The display form of a line from where the files part, rest: under NEAR characters of
// it, then "..." when a byte is left unshown, or, where the file ended there without a
// line feed, the end-of-line marker, or "(end of file)" when it had no such line at all.
static std::string past(std::string rest, bool linestart) {
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

void showfirst(const outcome &o, FILE *out) {
  // The line before the difference, the same in both files: its last bytes, under NEAR
  // characters, after "..." when any byte before them is left unshown.
  std::string before;
  size_t k = o.near.size();
  while (k > 0 && before.size() + shown(o.near[k - 1]).size() < NEAR) before.insert(0, shown(o.near[--k]));
  if (o.byte - 1 > int64_t(o.near.size() - k)) before.insert(0, "...");
  std::fprintf(out, "first difference at line %" PRId64 ", byte %" PRId64 ":\n", o.line, o.byte);
  std::fprintf(out, "%8s: %s%s\n", l1, before.c_str(), past(o.rest1, o.byte == 1).c_str());
  std::fprintf(out, "%8s: %s%s\n", l2, before.c_str(), past(o.rest2, o.byte == 1).c_str());
  std::fprintf(out, "%*s^\n", int(10 + before.size()), "");
}
