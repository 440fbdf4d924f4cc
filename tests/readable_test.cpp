// The readable form: the table of bytes and what they show (readable.cases), the windows
// through the comparison, and valid UTF-8 whatever the bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "compare/engine.h"
#include "escapes.h"

using namespace linecmp::engine;

namespace {

using strings = std::vector<std::string>;

// The rows of a group of readable.cases split at tabs, their first `escaped` fields after
// the name unescaped; a row not as the file's top says fails.
std::vector<strings> rows(const std::string &group, size_t fields, size_t escaped) {
  std::ifstream in(READABLE_CASES, std::ios::binary);
  std::vector<strings> out;
  for (std::string line, at; std::getline(in, line);) {
    if (line[0] == '[') at = line;
    if (line.empty() || line[0] == '#' || line[0] == '[' || at != "[" + group + "]") continue;
    strings &f = out.emplace_back(1);
    for (char c : line) c == '\t' ? f.emplace_back() : f.back().append(1, c);
    bool ok = f.size() == fields;
    for (size_t i = 1; ok && i <= escaped; i++) ok = unescape(std::string(f[i]), f[i]);
    if (!ok) ADD_FAILURE() << "not a row of [" << group << "]: " << line, out.pop_back();
  }
  EXPECT_FALSE(out.empty()) << READABLE_CASES << " has no rows of [" << group << "]";
  return out;
}

// Whether s is valid UTF-8: each lead byte with its continuation bytes, the second in the
// range that leaves out overlong forms, surrogates and code points past U+10FFFF.
bool utf8(const std::string &s) {
  for (size_t i = 0, n; i < s.size(); i += n) {
    unsigned b = static_cast<unsigned char>(s[i]), lo = b == 0xe0 ? 0xa0 : b == 0xf0 ? 0x90 : 0x80;
    unsigned hi = b == 0xed ? 0x9f : b == 0xf4 ? 0x8f : 0xbf;
    n = b < 0x80 ? 1 : b >= 0xc2 && b <= 0xdf ? 2 : b >= 0xe0 && b <= 0xef ? 3 : b >= 0xf0 && b <= 0xf4 ? 4 : 0;
    for (size_t k = 1; n > 0 && k < n; k++) {
      unsigned c = i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0;
      if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xbf)) return false;
    }
    if (n == 0) return false;
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
    for (size_t block : {size_t(3), BLOCK}) {
      shownline x, y;
      outcome o = compared(r[1], r[2], block);
      around(sideof(o, false), sideof(o, true), x, y);
      EXPECT_EQ(strings({x.text, y.text, std::to_string(x.caret)}), strings({r[3], r[4], r[5]})) << r[0];
    }
}

// Random lines of UTF-8, invalid bytes, escapes and spaces, parted at random.
TEST(Readable, AnyBytesGiveValidUtf8) {
  const strings pieces = {
      "a",        " ",    "\t", "\xc3\xa9", "\xe2\x80\xae", "\xf0\x9f\x98\x80",  "\xc3", "\xa9", "\xff",
      "\xe2\x82", "\x1b", "\\", "\xc2\x85", "\xed\xa0\x80", std::string(1, '\0')};
  std::mt19937 rng(7);
  for (int t = 0; t < 3000; t++) {
    std::string x, y;
    for (size_t i = rng() % 400; i > 0; i--) x += pieces[rng() % pieces.size()];
    y = x + "B";
    x += "A";
    for (size_t i = rng() % 300; i > 0; i--) x += pieces[rng() % pieces.size()], y += pieces[rng() % pieces.size()];
    ASSERT_TRUE(utf8(readablefirst(compared(x + (t % 2 ? "\n" : ""), y, BLOCK), "a\xff", "b"))) << t;
  }
}

}  // namespace
