// The readable form: the table of bytes and what they show (readable.cases), through the
// comparison for the windows, and valid UTF-8 of bounded width whatever the bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "compare/engine.h"
#include "escapes.h"
#include "show/readable.h"

using namespace linecmp::engine;

namespace {

using strings = std::vector<std::string>;

// The rows of a group of readable.cases, each split at its tabs, the bytes unescaped; a
// row that is not as the file's top says fails the test.
std::vector<strings> rows(const std::string &group, size_t fields, size_t escaped) {
  std::ifstream in(READABLE_CASES, std::ios::binary);
  if (!in) ADD_FAILURE() << READABLE_CASES << " cannot be read";
  std::vector<strings> out;
  std::string line, at;
  for (int n = 1; std::getline(in, line); n++) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      at = line;
      continue;
    }
    if (at != "[" + group + "]") continue;
    strings f(1);
    for (char c : line)
      if (c == '\t')
        f.emplace_back();
      else
        f.back().push_back(c);
    bool ok = f.size() == fields;
    for (size_t i = 1; ok && i <= escaped; i++) ok = unescape(std::string(f[i]), f[i]);
    if (!ok)
      ADD_FAILURE() << READABLE_CASES << ":" << n << ": not a row of [" << group << "]";
    else
      out.push_back(f);
  }
  if (out.empty()) ADD_FAILURE() << READABLE_CASES << " has no rows of [" << group << "]";
  return out;
}

// Whether s is valid UTF-8, by the table of well-formed byte sequences.
bool utf8(const std::string &s) {
  for (size_t i = 0; i < s.size();) {
    unsigned char b = s[i];
    size_t n = b < 0x80 ? 1 : b >= 0xc2 && b <= 0xdf ? 2 : b >= 0xe0 && b <= 0xef ? 3 : b >= 0xf0 && b <= 0xf4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    unsigned char c = n > 1 ? s[i + 1] : 0x80;
    unsigned char lo = b == 0xe0 ? 0xa0 : b == 0xf0 ? 0x90 : 0x80, hi = b == 0xed ? 0x9f : b == 0xf4 ? 0x8f : 0xbf;
    if (c < lo || c > hi) return false;
    for (size_t k = 2; k < n; k++)
      if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80) return false;
    i += n;
  }
  return true;
}

// Where two contents first differ, as a comparison in blocks of the given size finds it.
outcome compared(const std::string &x, const std::string &y, size_t block) {
  comparison c;
  c.k = chosen();
  attach(c.a, x, block);
  attach(c.b, y, block);
  FILE *sink = std::fopen("/dev/null", "w");
  outcome o = compare(c, sink);
  std::fclose(sink);
  return o;
}

TEST(Readable, Shows) {
  for (const strings &r : rows("Shows", 3, 1)) EXPECT_EQ(readable(r[1]), r[2]) << r[0];
}

TEST(Readable, Windows) {
  for (const strings &r : rows("Windows", 6, 2))
    for (size_t block : {size_t(3), size_t(64), BLOCK}) {
      outcome o = compared(r[1], r[2], block);
      shownline x, y;
      around(sideof(o, false), sideof(o, true), x, y);
      EXPECT_EQ(x.text, r[3]) << r[0] << ", block " << block;
      EXPECT_EQ(y.text, r[4]) << r[0] << ", block " << block;
      EXPECT_EQ(std::to_string(x.caret), r[5]) << r[0];
    }
}

// Random lines of UTF-8, invalid bytes, escapes and spaces, parted at random: the locator
// is valid UTF-8, and each window holds the place within WIDTH code points and its marks.
TEST(Readable, AnyBytesGiveValidUtf8OfBoundedWidth) {
  const strings pieces = {
      "a",    " ",    "\t",       "\r",   "\xc3\xa9", "\xe2\x80\xae", "\xf0\x9f\x98\x80", "\xc3",
      "\xa9", "\xff", "\xe2\x82", "\x1b", "\\",       "\xc2\x85",     "\xed\xa0\x80",     std::string(1, '\0')};
  std::mt19937 rng(7);
  const size_t marks = codepoints("… (missing end-of-line character)");
  for (int t = 0; t < 3000; t++) {
    std::string shared, x, y;
    size_t n = rng() % 400, m = rng() % 300;
    for (size_t i = 0; i < n; i++) shared += pieces[rng() % pieces.size()];
    for (size_t i = 0; i < m; i++) x += pieces[rng() % pieces.size()], y += pieces[rng() % pieces.size()];
    x = shared + "A" + x + (rng() % 2 ? "\n" : "");
    y = shared + "B" + y;
    outcome o = compared(x, y, BLOCK);
    std::string text = readablefirst(o, "exp\xff", "out");
    ASSERT_TRUE(utf8(text)) << t;
    shownline a, b;
    around(sideof(o, false), sideof(o, true), a, b);
    for (const shownline *l : {&a, &b}) {
      EXPECT_LE(codepoints(l->text), WIDTH + marks + 1) << t;
      EXPECT_LE(l->caret, WIDTH + 1) << t;
    }
  }
}

}  // namespace
