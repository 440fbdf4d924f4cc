// The alignment of lines, on line hashes as the engine gives them: the table of
// align.cases, a differential check against a whole-input longest common subsequence on
// random small inputs whose lines collide, and inputs past the windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "align/align.h"

namespace {

using namespace linecmp::engine;

// What aligning the hashes x and y, a line each, finds, given to it in turns of turn0 and
// turn1 lines.
aligned align(const std::vector<uint64_t> &x, const std::vector<uint64_t> &y, size_t turn0 = 3, size_t turn1 = 5,
              size_t window = LINEWINDOW, int64_t dmax = EDITS) {
  aligner a;
  startalign(a, 1, window, dmax);
  size_t i = 0, j = 0;
  while (i < x.size() || j < y.size()) {
    for (size_t k = 0; k < turn0 && i < x.size(); k++) addline(a, 0, x[i++]);
    if (i == x.size()) endlines(a, 0);
    for (size_t k = 0; k < turn1 && j < y.size(); k++) addline(a, 1, y[j++]);
    if (j == y.size()) endlines(a, 1);
  }
  return finishalign(a);
}

// The length of a longest common subsequence of x and y, by the whole table.
int64_t lcs(const std::vector<uint64_t> &x, const std::vector<uint64_t> &y) {
  std::vector<int64_t> row(y.size() + 1), next(y.size() + 1);
  for (size_t i = x.size(); i-- > 0;) {
    for (size_t j = y.size(); j-- > 0;) next[j] = x[i] == y[j] ? row[j + 1] + 1 : std::max(row[j], next[j + 1]);
    std::swap(row, next);
  }
  return row[0];
}

// Whether the changes of r, in order and apart, leave lines of x and y that pair as equal.
bool consistent(const std::vector<uint64_t> &x, const std::vector<uint64_t> &y, const aligned &r) {
  int64_t i = 1, j = 1;
  for (const change &c : r.kept) {
    if (c.first - i != c.second - j || c.first < i) return false;
    for (; i < c.first; i++, j++)
      if (x[size_t(i - 1)] != y[size_t(j - 1)]) return false;
    if (c.firstend == c.first && c.secondend == c.second) return false;
    i = c.firstend, j = c.secondend;
  }
  for (; i <= int64_t(x.size()) && j <= int64_t(y.size()); i++, j++)
    if (x[size_t(i - 1)] != y[size_t(j - 1)]) return false;
  return i == int64_t(x.size()) + 1 && j == int64_t(y.size()) + 1;
}

std::vector<uint64_t> letters(const std::string &s) {
  return s == "-" ? std::vector<uint64_t>{} : std::vector<uint64_t>(s.begin(), s.end());
}

TEST(Align, FromTheTable) {
  std::ifstream in(ALIGN_CASES);
  std::string line;
  int rows = 0;
  for (int n = 1; std::getline(in, line); n++) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream row(line);
    std::string first, second, matched, want;
    ASSERT_TRUE(std::getline(row, first, '\t') && std::getline(row, second, '\t') && std::getline(row, matched, '\t'))
        << ALIGN_CASES ":" << n << ": not a row";
    std::getline(row, want);
    std::vector<uint64_t> x = letters(first), y = letters(second);
    aligned r = align(x, y);
    std::string got;
    for (const change &c : r.kept)
      got += (got.empty() ? "" : " ") + std::to_string(c.first) + "-" + std::to_string(c.firstend) + ":" +
             std::to_string(c.second) + "-" + std::to_string(c.secondend);
    EXPECT_EQ(r.matched, std::stoll(matched)) << "line " << n;
    if (want != "*") {
      EXPECT_EQ(got, want) << "line " << n;
    }
    EXPECT_EQ(r.changes, int64_t(r.kept.size())) << "line " << n;
    EXPECT_TRUE(r.exact && consistent(x, y, r)) << "line " << n;
    rows++;
  }
  EXPECT_GT(rows, 10);
}

// Random inputs of a few distinct lines, so that edits collide, as one input and the
// other made from it by random edits: a shortest script changes exactly the lines that a
// longest common subsequence leaves out.
TEST(Align, AgreesWithTheWholeTable) {
  std::mt19937_64 rng(7);
  int windowed = 0, windowexact = 0;
  for (int round = 0; round < 3000; round++) {
    size_t kinds = 1 + rng() % 4, n = rng() % 40;
    std::vector<uint64_t> x(n), y;
    for (auto &h : x) h = 1 + rng() % kinds;
    for (size_t i = 0; i <= n; i++) {
      while (rng() % 4 == 0) y.push_back(1 + rng() % kinds);
      if (i < n && rng() % 5 != 0) y.push_back(rng() % 6 == 0 ? 1 + rng() % kinds : x[i]);
    }
    aligned r = align(x, y);
    ASSERT_EQ(r.matched, lcs(x, y)) << "round " << round;
    EXPECT_TRUE(r.exact && (r.changes > int64_t(CHANGESKEPT) || consistent(x, y, r))) << "round " << round;
    // Again in windows smaller than the inputs, and a search cut short: the changes still
    // fit both inputs, and matched is a lower bound, exact where the result says so.
    size_t window = 8 + rng() % 16;
    aligned w = align(x, y, 3, 5, window, int64_t(rng() % 6));
    ASSERT_LE(w.matched, r.matched) << "round " << round;
    EXPECT_TRUE(w.changes > int64_t(CHANGESKEPT) || consistent(x, y, w)) << "round " << round;
    if (w.exact) windowexact += w.matched == r.matched;
    windowed += w.exact;
  }
  EXPECT_GT(windowexact, windowed * 9 / 10);
}

// Inputs longer than the windows: lines each of their own, the second input the first with
// blocks of them taken out and lines of its own put in, so the changes are known.
struct edits {
  int64_t at, out, in;  // at a line of the first input, lines taken out, and put in
};
void past(int64_t lines, const std::vector<edits> &e, int64_t matched, bool exact, const char *what) {
  std::vector<uint64_t> x(static_cast<size_t>(lines)), y;
  for (size_t i = 0; i < x.size(); i++) x[i] = i + 1;
  uint64_t fresh = uint64_t(lines) + 1;
  size_t i = 0;
  for (const edits &c : e) {
    for (; int64_t(i) + 1 < c.at; i++) y.push_back(x[i]);
    i += size_t(c.out);
    for (int64_t k = 0; k < c.in; k++) y.push_back(fresh++);
  }
  for (; i < x.size(); i++) y.push_back(x[i]);
  // As blocks of the same bytes give them, when the lines are alike.
  aligned r = align(x, y, 4096, 4096);
  EXPECT_EQ(r.matched, matched) << what;
  EXPECT_EQ(r.exact, exact) << what;
  if (!exact) return;
  EXPECT_EQ(r.changes, int64_t(e.size())) << what;
  for (size_t k = 0; k < e.size() && k < r.kept.size(); k++) {
    EXPECT_EQ(r.kept[k].first, e[k].at) << what << ", change " << k;
    EXPECT_EQ(r.kept[k].firstend - r.kept[k].first, e[k].out) << what << ", change " << k;
    EXPECT_EQ(r.kept[k].secondend - r.kept[k].second, e[k].in) << what << ", change " << k;
  }
}

TEST(Align, PastTheWindows) {
  std::vector<edits> scattered;
  for (int64_t k = 0; k < 1000; k++) scattered.push_back({1 + k * 300, k % 3 != 2 ? 1 : 0, k % 3 != 1 ? 1 : 0});
  int64_t out = 0;
  for (const edits &c : scattered) out += c.out;
  past(300000, scattered, 300000 - out, true, "1000 scattered edits");
  past(300000, {{2, 0, 1}}, 300000, true, "one line put in near the start");
  past(300000, {{150000, 0, 1}, {299999, 1, 0}}, 299999, true, "apart by more than a window");
  // Past EDITS edits, through the anchors: the lines around the block are its anchors.
  past(300000, {{100000, 10000, 0}}, 290000, false, "a block of 10,000 lines taken out");
  past(300000, {{100000, 0, 5000}}, 300000, false, "a block of 5,000 lines put in");
}

TEST(Align, NothingInCommon) {
  // Every line replaced: one change over all of both, the windows joined, though the
  // lines the windows share are only counted, not known.
  std::vector<uint64_t> x(200000), y(200000);
  for (size_t i = 0; i < x.size(); i++) x[i] = i + 1, y[i] = i + 300000;
  aligned r = align(x, y);
  EXPECT_TRUE(r.changes == 1 && r.kept[0].firstend == 200001 && r.kept[0].secondend == 200001 && r.matched == 0);
  // Shuffled: not exact, and matched a lower bound of the longest common subsequence.
  y = x;
  std::shuffle(y.begin(), y.end(), std::mt19937_64(3));
  r = align(x, y);
  EXPECT_TRUE(!r.exact && r.matched > 0 && r.matched < 2000) << r.matched;
}

}  // namespace
