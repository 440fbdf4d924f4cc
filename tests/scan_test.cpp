// Every version of the scan kernels on the same random spans, against plain loops: spans
// that start anywhere, end mid-line, and cross the 64-byte words the masks are made of.
#include "scan.h"

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

// Random lines, with lengths from a few shapes: very short, around a mask word, long, and
// short lines that later mix with long ones of a common start.
std::string text(std::mt19937 &rng, size_t size) {
  static const char bytes[] = "ab \r\n\n\xff";
  std::string s;
  int shape = int(rng() % 5);
  while (s.size() < size) {
    size_t len = shape == 0 ? rng() % 3 : shape == 1 ? rng() % 81 : shape == 2 ? 60 + rng() % 10 : rng() % 300;
    if (shape == 4) {
      len = rng() % 8;
      if (s.size() > 300 && rng() % 3 == 0) s += "0123456789";
    }
    for (size_t i = 0; i < len; i++) s += bytes[rng() % 4];
    s += '\n';
  }
  return s;
}

// A second span from the first: equal, a few bytes changed, every line changed, shifted
// by a line (a long one or an empty one), or with CR LF line ends.
std::string partner(std::mt19937 &rng, const std::string &x) {
  std::string y = x;
  switch (rng() % 6) {
    case 5: y = "\n" + y; break;
    case 0: break;
    case 1:
      for (int k = 0; k < 3 && !y.empty(); k++) y[rng() % y.size()] = "a\nz"[rng() % 3];
      break;
    case 2:
      for (char &c : y) c = c == 'a' ? 'b' : c == 'b' ? 'a' : c;
      break;
    case 3: y = "inserted\n" + y; break;
    default:
      y.clear();
      for (char c : x) y += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  return y;
}

TEST(Scan, EveryVersionAgreesWithPlainLoops) {
  std::mt19937 rng(7);
  for (int iter = 0; iter < 3000; iter++) {
    // Copies at odd offsets, so no span starts on a vector boundary.
    std::string x = text(rng, rng() % 700), y = partner(rng, x);
    size_t skew = rng() % 64;
    x.insert(0, skew, '#');
    y.insert(0, 63 - skew, '#');
    const char *p = x.data() + skew, *q = y.data() + 63 - skew;
    std::string sx = x.substr(skew), sy = y.substr(63 - skew);
    size_t n = rng() % (sx.size() + 1), m = rng() % (sy.size() + 1), both = std::min(n, m);
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
