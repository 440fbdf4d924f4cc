// Every version of the scan kernels on the same random spans, against plain loops: spans
// that start anywhere, end mid-line, and cross the 64-byte words the masks are made of.
#include "scan/scan.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "reference.h"

using namespace linecmp::engine;

namespace {

struct naive {
  // Whole lines of a span: the offsets just past each line feed.
  static std::vector<size_t> ends(const std::string &s, size_t n) {
    std::vector<size_t> e;
    for (size_t i = 0; i < n; i++)
      if (s[i] == '\n') e.push_back(i + 1);
    return e;
  }
  // The first k line pairs, counted as the kernels count them.
  static tally pairs(const std::string &x, size_t n, const std::string &y, size_t m, size_t k) {
    std::vector<size_t> e1 = ends(x, n), e2 = ends(y, m);
    tally t;
    for (size_t i = 0; i < k && i < e1.size() && i < e2.size(); i++) {
      t.pairs++;
      t.differ += x.substr(t.used1, e1[i] - t.used1) != y.substr(t.used2, e2[i] - t.used2);
      t.used1 = e1[i];
      t.used2 = e2[i];
    }
    return t;
  }
  // Pairs while the line feeds fall at the same offsets.
  static size_t alignedpairs(const std::string &x, const std::string &y, size_t n) {
    std::vector<size_t> e1 = ends(x, n), e2 = ends(y, n);
    size_t k = 0;
    while (k < e1.size() && k < e2.size() && e1[k] == e2[k]) k++;
    return k;
  }
};

// Random lines, with lengths from a few shapes: very short, around a mask word, long,
// short lines that later mix with long ones of a common start, short lines of one text
// with a longer one every 20 to 80 lines, lines of 2 to 4 bytes that turn longer after
// the first 256 bytes, where the short-line passes judge by the first lines seen, and
// lines of one byte repeated, 7 to 9 or 63 to 65 times, with another byte last, anywhere
// or nowhere, so that pairs of equal length differ in one byte, at their ends or past a
// word.
std::string text(std::mt19937 &rng, size_t size, int shape) {
  static const char bytes[] = "ab \r\n\n\xff";
  std::string s;
  size_t next = 20 + rng() % 61;      // the line count at which shape 5 puts a longer line
  size_t width = rng() % 2 ? 7 : 63;  // shape 7's shortest line
  for (size_t lines = 0; s.size() < size; lines++) {
    size_t len = shape == 0 ? rng() % 3 : shape == 1 ? rng() % 81 : shape == 2 ? 60 + rng() % 10 : rng() % 300;
    if (shape == 4) {
      len = rng() % 8;
      if (s.size() > 300 && rng() % 3 == 0) s += "0123456789";
    }
    if (shape == 5) {
      s += lines == next ? "aaaaaaaaa" + std::string(rng() % 4, 'a') : "aaaaa";
      if (lines == next) next += 20 + rng() % 61;
      len = rng() % 8 == 0;
    }
    if (shape == 6) len = s.size() < 256 ? 1 + rng() % 3 : 1 + rng() % 12;
    if (shape == 7) {
      std::string line(width + rng() % 3, 'x');
      if (rng() % 2) line[rng() % 2 ? line.size() - 1 : rng() % line.size()] = 'y';
      s += line;
      len = 0;
    }
    for (size_t i = 0; i < len; i++) s += bytes[rng() % 4];
    s += '\n';
  }
  return s;
}

// A second span from the first: equal, a few bytes changed, every line changed, with CR
// LF line ends, or shifted by a line: one inserted (a long one or an empty one) or lost.
std::string partner(std::mt19937 &rng, const std::string &x, int kind) {
  std::string y = x;
  switch (kind) {
    case 6: y.erase(0, y.find('\n') + 1); break;
    case 5: y = "\n" + y; break;
    case 0: break;
    case 1:
      for (int k = 0; k < 3 && !y.empty(); k++) y[rng() % y.size()] = "a\nz"[rng() % 3];
      break;
    case 2:
      for (char &c : y) c = c == 'a' ? 'b' : c == 'b' ? 'a' : c;
      break;
    case 3: y = "inserted\n" + y; break;
    case 4:
      y.clear();
      for (char c : x) y += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  return y;
}

TEST(Scan, EveryVersionAgreesWithPlainLoops) {
  std::mt19937 rng(7);
  for (int iter = 0; iter < 3000; iter++) {
    // One pair in ten is of short lines, thousands of them, that never line up: past the
    // first rounds of the passes that pair such lines, and ending where a line ends.
    bool big = iter % 10 == 0;
    std::string x = text(rng, rng() % (big ? 24000 : 700), int(big ? 4 + rng() % 3 : rng() % 8));
    std::string y = partner(rng, x, int(big ? 5 + rng() % 2 : rng() % 7));
    // Copies at odd offsets, so no span starts on a vector boundary.
    size_t skew = rng() % 64;
    x.insert(0, skew, '#');
    y.insert(0, 63 - skew, '#');
    const char *p = x.data() + skew, *q = y.data() + 63 - skew;
    std::string sx = x.substr(skew), sy = y.substr(63 - skew);
    size_t n = rng() % (sx.size() + 1), m = rng() % (sy.size() + 1);
    if (rng() % 3 == 0) n = sx.size(), m = sy.size();
    size_t both = std::min(n, m);
    SCOPED_TRACE("iteration " + std::to_string(iter));

    size_t first = 0;
    while (first < both && sx[first] == sy[first]) first++;
    size_t lf = naive::ends(sx, n).size();
    tally along = naive::pairs(sx, both, sy, both, naive::alignedpairs(sx, sy, both));
    for (const kernels *k : usable()) {
      SCOPED_TRACE(k->name);
      EXPECT_EQ(k->firstdiff(p, q, both), first);
      EXPECT_EQ(k->countlf(p, n), lf);
      tally a = k->aligned(p, q, both);
      EXPECT_EQ(a.pairs, along.pairs);
      EXPECT_EQ(a.differ, along.differ);
      EXPECT_EQ(a.used1, along.used1);
      EXPECT_EQ(a.used2, along.used2);
      // shifted() may hand back early, but what it took must be counted right, and it
      // takes at least one pair when there is one.
      tally s = k->shifted(p, n, q, m);
      tally want = naive::pairs(sx, n, sy, m, size_t(s.pairs));
      EXPECT_EQ(s.pairs, want.pairs);
      EXPECT_EQ(s.differ, want.differ);
      EXPECT_EQ(s.used1, want.used1);
      EXPECT_EQ(s.used2, want.used2);
      EXPECT_EQ(s.pairs > 0, naive::pairs(sx, n, sy, m, 1).pairs > 0);
    }
  }
}

// The version picked at start-up is one this CPU runs, and on x86-64 the widest.
TEST(Scan, PicksTheWidestRunnableVersion) {
  const kernels *k = chosen();
  ASSERT_NE(k, nullptr);
  ASSERT_TRUE(runnable(*k));
  if (!std::getenv("LINECMP_KERNEL")) {
    EXPECT_EQ(k, usable().back()) << k->name;
  }
  std::printf("kernels in use: %s\n", k->name);
}

}  // namespace
