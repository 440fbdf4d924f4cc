#include "reference.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "block.h"
#include "fix.h"

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
  size_t before = std::min(i - start, NEAR);
  p.near = x.substr(i - before, before);
  p.rest1 = x.substr(i, std::min(NEAR, x.find('\n', i) - i));
  p.rest2 = y.substr(i, std::min(NEAR, y.find('\n', i) - i));
  return p;
}

std::vector<const kernels *> usable() {
  std::vector<const kernels *> v;
  for (const kernels *const *k = versions; *k; k++)
    if (runnable(**k)) v.push_back(*k);
  return v;
}
