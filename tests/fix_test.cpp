// The display form of single lines: escapes, entities, the cut and the end-of-line marker.
#include <gtest/gtest.h>

#include <string>

#include "show/fix.h"

using namespace linecmp::engine;

namespace {

struct Case {
  const char *name;
  std::string line;
  std::string shown;
};

// Shown in test output instead of the parameter's bytes.
void PrintTo(const Case &c, std::ostream *os) { *os << '"' << c.name << '"'; }

const std::string missing = " (missing end-of-line character)";
std::string letters(size_t n) { return std::string(n, 'x'); }

const Case cases[] = {
    {"space becomes underscore", "a b\n", "a_b"},
    {"underscore is escaped", "a_b", "a\\_b" + missing},
    {"backslash is doubled", "a\\b\n", "a\\\\b"},
    {"carriage return before line feed stays", "x\r\n", "x\\0d"},
    {"tab", "\t\n", "\\09"},
    {"zero byte", std::string("a\0b\n", 4), "a\\00b"},
    {"byte 31 and 33", "\x1f!\n", "\\1f!"},
    {"byte 127 is copied", "\x7f\n", "\x7f"},
    {"byte 128", "\x80\n", "\\80"},
    {"byte 255", "\xff\n", "\\ff"},
    {"two-byte character", "\xc3\xa9\n", "\\c3\\a9"},
    {"entities", "a<b & c>d\n", "a&lt;b_&amp;_c&gt;d"},
    {"only a line feed", "\n", ""},
    {"40 letters are not cut", letters(40) + "\n", letters(40)},
    {"41 letters are cut", letters(41) + "\n", letters(40) + "..."},
    {"41 letters without line feed", letters(41), letters(40) + "..." + missing},
    {"entity that crosses 40 then one more byte", letters(39) + "&y\n", letters(39) + "&amp;..."},
    {"entity that crosses 40 at the last byte", letters(39) + "&\n", letters(39) + "&amp;"},
    {"escape at 38 then one more byte", letters(38) + "\x01yz\n", letters(38) + "\\01..."},
    {"100 letters without line feed", letters(100), letters(40) + "..." + missing},
    {"all escapes", std::string(60, '\xff') + "\n",
     [] {
       std::string s;
       for (int i = 0; i < 14; i++) s += "\\ff";
       return s + "...";
     }()},
};

class Display : public ::testing::TestWithParam<Case> {};

TEST_P(Display, Shows) {
  std::string buf = GetParam().line;
  fix(buf);
  EXPECT_EQ(buf, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Lines, Display, ::testing::ValuesIn(cases), [](const auto &info) {
  std::string name;
  for (char c : std::string(info.param.name)) name += std::isalnum((unsigned char)c) ? c : '_';
  return name;
});

// Whatever the bytes, the display form prints as one line of visible characters.
TEST(DisplayTable, EveryByteShowsVisible) {
  for (int b = 0; b < 256; b++) {
    std::string_view r = _replace[b].view();
    ASSERT_GE(r.size(), 1u) << b;
    ASSERT_LE(r.size(), 5u) << b;
    for (char c : r) EXPECT_TRUE(c >= 33 && c <= 127) << "byte " << b;
  }
  for (int b = 256; b < 300; b++) EXPECT_TRUE(_replace[b].view().empty());
}

}  // namespace
