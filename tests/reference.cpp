#include "reference.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "read/block.h"
#include "show/fix.h"

using namespace linecmp::engine;

namespace {

// Reads whole lines of a byte string; a read that meets the end ends the file.
struct lines {
  std::string_view s;
  size_t pos = 0;
  bool ended = false;

  std::string_view next() {
    if (ended) return {};
    size_t end = s.find('\n', pos);
    end = end == s.npos ? s.size() : end + 1;
    std::string_view r = s.substr(pos, end - pos);
    pos = end;
    ended = pos == s.size() && (r.empty() || r.back() != '\n');
    return r;
  }
};

void show(std::string &out, const std::string &label, int64_t row, std::string_view view) {
  std::string line(view);
  fix(line);
  char num[40];
  std::snprintf(num, sizeof num, "%8s %04lld: ", label.c_str(), (long long)row);
  out.append(num).append(line).append(1, '\n');
}

}  // namespace

std::string reference(std::string_view x, std::string_view y, const std::string &lab1, const std::string &lab2) {
  std::string out;
  std::string_view b1, b2;
  lines r1{x}, r2{y};
  int64_t row = 0, errors = 0, nrows = 0;
  for (;;) {
    b1 = r1.next();
    b2 = r2.next();
    if (b1.empty() || b2.empty()) break;
    row++;
    if (b1 != b2 && ++errors <= 10) {
      show(out, lab1, row, b1);
      show(out, lab2, row, b2);
    }
  }
  if (errors > 10) out += "(skipping the next " + std::to_string(errors - 10) + " errors)\n";
  if (r1.ended && !r2.ended) out += lab1 + " terminated, " + lab2 + " continues:\n";
  if (!r1.ended && r2.ended) out += lab2 + " terminated, " + lab1 + " continues:\n";
  if (!b1.empty()) show(out, lab1, ++row, b1);
  if (!b2.empty()) show(out, lab2, ++row, b2);
  for (auto [r, lab] : {std::make_pair(&r1, &lab1), std::make_pair(&r2, &lab2)}) {
    while (!r->ended) {
      row++;
      std::string_view b = r->next();
      if (b.empty()) break;
      if (++nrows <= 10) show(out, *lab, row, b);
    }
  }
  if (nrows > 10) out += "(skipping next " + std::to_string(nrows - 10) + " lines)\n";
  return out;
}

place firstplace(std::string_view x, std::string_view y) {
  place p;
  size_t i = 0;
  while (i < x.size() && i < y.size() && x[i] == y[i]) i++;
  if (i == x.size() && i == y.size()) return p;
  size_t start = x.rfind('\n', i == 0 ? 0 : i - 1);
  start = start == x.npos || start >= i ? 0 : start + 1;
  p.line = 1 + int64_t(std::count(x.begin(), x.begin() + long(i), '\n'));
  p.byte = int64_t(i - start) + 1;
  size_t before = std::min(i - start, BEFORE);
  p.offset = int64_t(i);
  p.near = x.substr(i - before, before);
  p.rest1 = x.substr(i, std::min(AFTER, x.find('\n', i) - i));
  p.rest2 = y.substr(i, std::min(AFTER, y.find('\n', i) - i));
  return p;
}

std::vector<const kernels *> usable() {
  std::vector<const kernels *> v;
  for (const kernels *const *k = versions; *k; k++)
    if (runnable(**k)) v.push_back(*k);
  return v;
}

counts paircounts(std::string_view x, std::string_view y) {
  lines r1{x}, r2{y};
  counts c;
  for (std::string_view b1 = r1.next(), b2 = r2.next(); !b1.empty() || !b2.empty(); b1 = r1.next(), b2 = r2.next()) {
    c.lines1 += !b1.empty();
    c.lines2 += !b2.empty();
    c.differing += !b1.empty() && !b2.empty() && b1 != b2;
  }
  return c;
}

namespace {

// s under the normalisations of the kinds' rows 1 (final-newline) to row together; row 7
// (order) gives the sorted lines that hold tokens, each its folded tokens.
std::string normal(std::string s, int row) {
  if (s.empty() || s.back() != '\n') s += '\n';
  std::string t;
  for (size_t i = 0; i < s.size(); i++)
    if (row < 2 || s.compare(i, 2, "\r\n") != 0) t += s[i];
  std::string u;
  for (char c : t) {
    if (row >= 3 && c == '\n')
      while (!u.empty() && (u.back() == ' ' || u.back() == '\t' || u.back() == '\r')) u.pop_back();
    u += c;
  }
  if (row < 4) return u;
  if (row == 4) {  // the lines left empty dropped
    std::string v;
    for (char c : u)
      if (c != '\n' || (!v.empty() && v.back() != '\n')) v += c;
    return v;
  }
  std::vector<std::string> lines{""};
  for (size_t i = 0; i < s.size(); i++) {
    bool white = std::string_view(" \t\r\v\f\n").find(s[i]) != std::string_view::npos;
    if (!white) lines.back() += row >= 6 && s[i] >= 'A' && s[i] <= 'Z' ? char(s[i] + 32) : s[i];
    if (!white && (i + 1 == s.size() || std::string_view(" \t\r\v\f\n").find(s[i + 1]) != std::string_view::npos))
      lines.back() += ' ';
    if (s[i] == '\n' && row == 7 && !lines.back().empty()) lines.emplace_back();
  }
  std::sort(lines.begin(), lines.end());
  std::string all;
  for (const std::string &l : lines) all += l + "\n";
  return all;
}

}  // namespace

std::string kindof(std::string_view x, std::string_view y) {
  static const char *const names[] = {"final-newline", "line-endings", "trailing-space", "blank-lines",
                                      "spacing",       "letter-case",  "order"};
  if (x == y) return "same";
  for (int row = 1; row <= 7; row++)
    if (normal(std::string(x), row) == normal(std::string(y), row)) return names[row - 1];
  return "content";
}
