// The judges' rules: tables of cases, each judged by linecmp::judge() and by the plain
// model beside the tests, and random token files judged by both under every rules name.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "linecmp.h"
#include "rules_model.h"

using namespace std::string_literals;
using rules_model::verdict;

namespace {

using strings = std::vector<std::string>;
const verdict A = verdict::accepted, W = verdict::wrong_answer, P = verdict::presentation_error,
              J = verdict::judge_error;
const int threw = 4;  // linecmp::judge() threw something other than judge_error

std::string say(int v) { return v == threw ? "another exception" : rules_model::name(verdict(v)); }

// What linecmp::judge() gives: a verdict (or threw) and the message.
struct got {
  int v;
  std::string message;
};

got engine(const std::string &rules, const strings &flags, const std::string &answer, const std::string &output) {
  try {
    linecmp::judgement j = linecmp::judge(rules, linecmp::bytes(answer), linecmp::bytes(output), flags);
    verdict v = j.v == linecmp::verdict::accepted ? A : j.v == linecmp::verdict::wrong_answer ? W : P;
    return {int(v), j.message};
  } catch (const linecmp::judge_error &e) {
    return {int(J), e.what()};
  } catch (const std::exception &e) {
    return {threw, e.what()};
  }
}

// s as a C string literal; a long one is cut, with its length.
std::string literal(std::string_view s) {
  std::string q = "\"";
  for (size_t i = 0; i < s.size() && i < 300; i++) {
    unsigned char c = s[i];
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02x", c);
    q += c == '\n'               ? "\\n"
         : c == '\t'             ? "\\t"
         : c == '\r'             ? "\\r"
         : c == '\v'             ? "\\v"
         : c == '\f'             ? "\\f"
         : c == '"' || c == '\\' ? "\\"s + char(c)
         : c >= 32 && c < 127 && !(q.size() > 4 && q.compare(q.size() - 4, 2, "\\x") == 0 && std::isxdigit(c))
             ? std::string(1, char(c))
             : hex;
  }
  return q + (s.size() > 300 ? "\"... (" + std::to_string(s.size()) + " bytes)" : "\"");
}

// A case as a row of the tables below would hold it.
std::string describe(const std::string &rules, const strings &flags, const std::string &answer,
                     const std::string &output) {
  std::string d = "{\"" + rules + "\", {";
  for (size_t i = 0; i < flags.size(); i++) d += (i ? ", " : "") + literal(flags[i]);
  return d + "}, " + literal(answer) + ", " + literal(output) + "}";
}

// A message is for a jury to read: there is one for a rejection, and it stays short.
bool messageok(const got &g) { return (g.v == int(A) || !g.message.empty()) && g.message.size() < 2048; }

void checkmessage(const got &g, const std::string &what) {
  if (!messageok(g)) ADD_FAILURE() << what << ": " << say(g.v) << " with a message of " << g.message.size() << " bytes";
}

struct row {
  std::string rules;
  strings flags;
  std::string answer, output;
  verdict want;
};

// Each row by the model and by linecmp::judge().
void check(const std::vector<row> &rows) {
  for (const row &r : rows) {
    std::string what = describe(r.rules, r.flags, r.answer, r.output);
    rules_model::modelled m = rules_model::model(r.rules, r.flags, r.answer, r.output);
    if (m.v != r.want || m.unsure)
      ADD_FAILURE() << what << ": expected " << say(int(r.want)) << ", the model gives " << say(int(m.v))
                    << (m.unsure ? " (unsure)" : "");
    got g = engine(r.rules, r.flags, r.answer, r.output);
    if (g.v != int(r.want))
      ADD_FAILURE() << what << ": expected " << say(int(r.want)) << ", linecmp::judge() gives " << say(g.v) << ": "
                    << g.message.substr(0, 300);
    checkmessage(g, what);
  }
}

// Under LINECMP_KERNEL the library takes that version of the scan kernels for the whole
// process; when this CPU cannot run it, there is nothing to check.
class Rules : public testing::Test {
 protected:
  void SetUp() override {
    try {
      if (std::getenv("LINECMP_KERNEL")) linecmp::judge("checker", linecmp::bytes(""), linecmp::bytes(""));
    } catch (const linecmp::judge_error &e) {
      GTEST_SKIP() << e.what();
    }
  }
};

const strings abs05 = {"float_absolute_tolerance", "0.5"}, rel05 = {"float_relative_tolerance", "0.5"};

// With a tolerance, an answer token that is a float is compared as a number, so it
// matches an output token that spells the same number otherwise; one that is not is
// compared as a string. Against a float, an output token must be a float.
TEST_F(Rules, FloatGrammar) {
  std::vector<row> rows;
  for (const char *f : {"1", "+1", "1.", "1.0", ".1e1", "1e0", "1E0", "10e-1", "1e+0", "0.1E+1", "001", "+0.9e-0",
                        "1.000000000000000000000000000000000001", "000000000000000000000000000000001.5"})
    rows.push_back({"validator", abs05, "1.1", f, A});
  for (const char *f :
       {".",   "e1", "1e", "1e+", "+",   "-",    "1.0.0", "0x1",      "0x1p0", "inf",          "nan", "1e1.5",
        "++1", "1f", "1d", "1,0", ".e1", "+.e1", "1e--1", "infinity", "1_0",   "\xef\xbc\x91", "one"})
    rows.push_back({"validator", abs05, "1", f, W});
  // an answer token that is not a float is a string, and the case rule holds for it
  for (const char *t : {"inf", "nan", "NaN", "0x10", "1e", "+-1", "1.2.3", "--"}) {
    rows.push_back({"validator", abs05, t, t, A});
    rows.push_back({"validator", {"case_sensitive", "float_tolerance", "1"}, t, t + "0"s, W});
  }
  rows.insert(rows.end(), {{"validator", abs05, "NaN", "nan", A},
                           {"validator", {"case_sensitive", "float_tolerance", "1"}, "NaN", "nan", W},
                           {"validator", abs05, "0x10", "16", W},
                           {"validator", abs05, "x", "1", W},
                           {"validator", abs05, "1e3", "1000.4", A},
                           {"validator", abs05, "-1", "-1.2", A},
                           {"validator", abs05, "1e3", "1e3x", W},
                           {"validator", abs05, "5", "five", W},
                           // equal numbers spelt otherwise, exactly equal with no tolerance at all
                           {"validator", {"float_tolerance", "0"}, "1.0", "1", A},
                           {"validator", {"float_tolerance", "0"}, "-0", "+0.0e7", A},
                           {"validator", {"float_tolerance", "0"}, "1.0", "1.00000001", W},
                           // 2^53 + 1 and a little more, the little far past 800 digits, rounds up, not to even
                           {"validator",
                            {"float_tolerance", "0"},
                            "9007199254740992",
                            "9007199254740993." + std::string(1000, '0') + "1",
                            W},
                           {"validator",
                            {"float_tolerance", "0"},
                            "-9007199254740993." + std::string(1000, '0') + "1",
                            "-9007199254740992",
                            W},
                           {"validator",
                            {"float_absolute_tolerance", "0"},
                            "123456789012345678901234567890.123456789012345678901234567890",
                            "1.2345678901234567890123456789012345678901234567890123456789e29",
                            A},
                           // without a tolerance, floats are strings too
                           {"validator", {}, "1.0", "1", W},
                           {"validator", {}, "1e5", "1E5", A},
                           {"validator", {"case_sensitive"}, "1e5", "1E5", W}});
  check(rows);
}

// Only ASCII letters fold, and only without case_sensitive.
TEST_F(Rules, CaseFolding) {
  std::vector<row> rows = {
      {"validator", {}, "abc xyz", "ABC XYZ", A},
      {"validator", {}, "aBc", "AbC", A},
      {"validator", {}, "Az", "aZ", A},
      {"validator", {"space_change_sensitive"}, "A b\n", "a B\n", A},
      {"validator", {"case_sensitive"}, "abc", "ABC", W},
      {"validator", {"case_sensitive", "space_change_sensitive"}, "abc", "abC", W},
  };
  // neighbours that folding by a bit would wrongly match, and letters beyond ASCII
  const char *const pairs[][2] = {
      {"@", "`"},       {"[", "{"},       {"\\", "|"},  {"]", "}"}, {"^", "~"}, {"_", "\x7f"}, {"\xc3\xa9", "\xc3\x89"},
      {"\xe0", "\xc0"}, {"\xfe", "\xde"}, {"1", "\x11"}};
  for (auto &p : pairs) rows.push_back({"validator", {}, p[0], p[1], W});
  for (const char *r : {"cms", "wcmp", "lcmp", "checker", "cms-exact"}) rows.push_back({r, {}, "abc\n", "ABC\n", W});
  check(rows);
}

// VT and FF are whitespace to the validator and CMS, and bytes of a token to testlib's
// checkers (but lcmp splits a line as isspace does).
TEST_F(Rules, WhitespaceKinds) {
  const strings exact = {"case_sensitive", "space_change_sensitive"}, spaces = {"space_change_sensitive"};
  std::vector<row> rows = {
      {"validator", {}, "a b", "a\vb", A},
      {"validator", {}, "a b", "a\fb", A},
      {"validator", {}, "a b", "a\rb", A},
      {"validator", {}, "a b\n", "\n\n a\t\v\f\rb \n\n", A},
      {"validator", {}, "a\0b"s, "a b", W},
      {"validator", {}, "a\0b"s, "a\0b"s, A},
      {"validator",
       {},
       "a\xa0"
       "b",
       "a b",
       W},
      {"validator", spaces, "a b", "a\vb", W},
      {"validator", spaces, "a b\n", "a b", W},
      {"validator", spaces, "a b\n", "a b\n", A},
      {"validator", spaces, "a", " a", W},
      {"validator", spaces, "a \tb", "a\t b", W},
      {"validator", spaces, "a  b", "a b", W},
      {"validator", spaces, "a\r\n", "a\n", W},
      {"validator", exact, "a b\n", "a b\n", A},
      {"validator", exact, "a\n", "a\r\n", W},
      {"validator", exact, "", "", A},
      {"validator", exact, "", "\n", W},
      {"validator", exact, "\n", "", W},
      {"cms", {}, "a b\n", "a\vb\n", A},
      {"cms", {}, "a b\n", "a\fb\n", A},
      {"cms", {}, "a b\n", "a\rb\n", A},
      {"cms", {}, "a b\n", "a\0b\n"s, W},
      {"wcmp", {}, "a b", "a\vb", W},
      {"wcmp", {}, "a b", "a\fb", W},
      {"wcmp", {}, "a\vb", "a\vb", A},
      {"wcmp", {}, "a\fb", "a\f b", W},
      {"wcmp", {}, "a b", "a\rb", A},
      {"wcmp", {}, "a b", "a\tb", A},
      {"wcmp", {}, "a b\n", " a\r\n\n\tb \n\n", A},
      {"lcmp", {}, "a b\n", "a\vb\n", A},
      {"lcmp", {}, "a b\n", "a\fb\n", A},
      {"ncmp", {}, "1 2", "1\t2\r\n", A},
      {"ncmp", {}, "1 2", "1\v2", P},
      {"ncmp", {}, "1\v2", "1 2", J},
      {"ncmp", {}, "1 2", "1 2\f", P},
      {"rcmp6", {}, "1 2", "1\r\n2\t", A},
      {"rcmp6", {}, "1", "1\f", P},
      {"rcmp6", {}, "1 2", "1\v2", P},
  };
  check(rows);
}

TEST_F(Rules, TokenCounts) {
  std::vector<row> rows;
  for (const char *r : {"validator", "wcmp"})
    rows.insert(rows.end(), {{r, {}, "a b", "a", W},
                             {r, {}, "a", "a b", W},
                             {r, {}, "a b", "ab", W},
                             {r, {}, "ab", "a b", W},
                             {r, {}, "", "", A},
                             {r, {}, "", " \n\t", A},
                             {r, {}, "", "a", W},
                             {r, {}, "a", "", W},
                             {r, {}, "a b c", "a b c", A}});
  rows.insert(rows.end(), {{"validator", abs05, "1 2", "1", W},
                           {"validator", abs05, "1", "1 2", W},
                           {"cms", {}, "a b\n", "a  b \n", A},
                           {"cms", {}, "ab\n", "a b\n", W},
                           {"cms", {}, "a b\n", "a\n", W}});
  check(rows);
}

// |s - a| <= eps absolute, <= eps |a| relative, and either with both; at eps exactly and
// just past it, on values that double arithmetic holds exactly.
TEST_F(Rules, Tolerances) {
  const strings both = {"float_tolerance", "0.5"},
                mixed = {"float_absolute_tolerance", "0.5", "float_relative_tolerance", "0.25"};
  check({
      {"validator", abs05, "1", "1.5", A},
      {"validator", abs05, "1", "0.5", A},
      {"validator", abs05, "1", "1.5000001", W},
      {"validator", abs05, "1", "0.4999999", W},
      {"validator", abs05, "-1", "-1.5", A},
      {"validator", abs05, "-1", "-0.5", A},
      {"validator", abs05, "-1", "-1.50001", W},
      {"validator", abs05, "100", "100.75", W},  // not relative
      {"validator", rel05, "2", "3", A},
      {"validator", rel05, "2", "1", A},
      {"validator", rel05, "2", "3.0000001", W},
      {"validator", rel05, "2", "0.9999999", W},
      {"validator", rel05, "-2", "-3", A},
      {"validator", rel05, "-2", "-3.0000001", W},
      {"validator", rel05, "0", "0", A},
      {"validator", rel05, "0", "-0.0", A},
      {"validator", rel05, "0", "1e-300", W},
      {"validator", rel05, "0.5", "0.75", A},
      {"validator", rel05, "0.5", "0.7500001", W},  // not absolute
      {"validator", {"float_relative_tolerance", "0.25"}, "4", "5", A},
      {"validator", {"float_relative_tolerance", "0.25"}, "4", "5.00001", W},
      {"validator", both, "4", "6", A},  // relative
      {"validator", both, "4", "6.01", W},
      {"validator", both, "0.5", "1", A},  // absolute
      {"validator", both, "0.5", "1.01", W},
      {"validator", both, "0", "0.5", A},
      {"validator", both, "0", "-0.5000001", W},
      {"validator", mixed, "4", "5", A},  // relative
      {"validator", mixed, "4", "5.01", W},
      {"validator", mixed, "1", "1.5", A},  // absolute
      {"validator", mixed, "1", "1.6", W},
      {"validator", mixed, "-1", "-0.4", W},
      {"validator", {"float_tolerance", "1e-6"}, "1 2 x 3", "1.0000005 1.9999995 X 3", A},
      {"validator", {"float_tolerance", "1e-6"}, "1 2 x 3", "1.0000005 1.9999995 X 3.00001", W},
      {"validator", {"float_tolerance", "1e-6"}, "1000000", "1000000.9", A},
      {"validator", {"float_tolerance", "1e-6"}, "1000000", "1000001.1", W},
      {"validator", {"float_absolute_tolerance", "1e-6", "space_change_sensitive"}, "1 2\n", "1.0000001 2\n", A},
      {"validator", {"float_absolute_tolerance", "1e-6", "space_change_sensitive"}, "1 2\n", "1.0000001  2\n", W},
      {"validator", {"float_absolute_tolerance", "1e-6", "case_sensitive"}, "1E5 x", "1e5 x", A},
      {"validator", {"float_absolute_tolerance", "1e-6", "case_sensitive"}, "1E5 x", "1e5 X", W},
      {"validator", {"float_tolerance", "1e400"}, "1", "1e300", A},
      // open case: a number beyond the range is an infinity, equal to itself only
      {"validator", {"float_tolerance", "1e-6"}, "1e400", "1e400", A},
      {"validator", {"float_tolerance", "1e-6"}, "1e400", "1", W},
      {"validator", {"float_tolerance", "1e-6"}, "-1e400", "1e400", W},
      {"validator", {"float_relative_tolerance", "0.5"}, "1e99999", "1e-300", W},
  });
}

// Flags and rules that cannot be judged by, and flags that can.
TEST_F(Rules, Flags) {
  std::vector<row> rows;
  for (strings f :
       std::vector<strings>{{"foo"},
                            {"case_sensitive", "foo"},
                            {"CASE_SENSITIVE"},
                            {"case_sensitive "},
                            {""},
                            {"float_tolerance"},
                            {"case_sensitive", "float_absolute_tolerance"},
                            {"float_tolerance", "abc"},
                            {"float_tolerance", ""},
                            {"float_tolerance", "1e-6x"},
                            {"float_tolerance", " 1e-6"},
                            {"float_tolerance", "case_sensitive"},
                            {"float_tolerance", "1e-6", "float_tolerance", "1e-6"},
                            {"float_absolute_tolerance", "1", "float_absolute_tolerance", "2"},
                            {"float_relative_tolerance", "1", "case_sensitive", "float_relative_tolerance", "1"},
                            {"float_tolerance", "1", "float_absolute_tolerance", "1"},
                            {"float_relative_tolerance", "1", "float_tolerance", "1"},
                            {"float_tolerance=1e-6"},
                            // open cases: a tolerance is a float as the answer's are, and not negative
                            {"float_tolerance", "inf"},
                            {"float_tolerance", "nan"},
                            {"float_tolerance", "0x1p-3"},
                            {"float_tolerance", "-1"}})
    rows.push_back({"validator", f, "1", "1", J});
  for (strings f :
       std::vector<strings>{{},
                            {"case_sensitive", "space_change_sensitive"},
                            {"space_change_sensitive", "case_sensitive"},
                            {"case_sensitive", "case_sensitive"},  // open case: harmless
                            {"float_tolerance", "0"},
                            {"float_tolerance", "-0"},
                            {"float_tolerance", "+1e-6"},
                            {"float_tolerance", ".5"},
                            {"float_absolute_tolerance", "1e-6", "float_relative_tolerance", "1E-6"},
                            {"float_relative_tolerance", "1", "case_sensitive", "float_absolute_tolerance", "2"}})
    rows.push_back({"validator", f, "1", "1", A});
  for (const char *r : {"checker", "cms", "cms-exact", "wcmp", "lcmp", "ncmp", "rcmp4", "rcmp6", "rcmp9"}) {
    rows.push_back({r, {"case_sensitive"}, "1", "1", J});
    rows.push_back({r, {}, "1", "1", A});
  }
  for (const char *r : {"", "rcmp", "rcmp5", "Validator", "cms ", "exact", "linecmp-checker"})
    rows.push_back({r, {}, "1", "1", J});
  rows.push_back({"validator\0"s, {}, "1", "1", J});
  check(rows);
}

TEST_F(Rules, NcmpIntegers) {
  const std::string max = "9223372036854775807", min = "-9223372036854775808";
  std::vector<row> rows = {
      {"ncmp", {}, "0", "0", A},
      {"ncmp", {}, "-5 17", "-5\n17\n", A},
      {"ncmp", {}, max, max, A},
      {"ncmp", {}, min, min, A},
      {"ncmp", {}, min + " " + max, min + "\n" + max + "\n", A},
      {"ncmp", {}, min, max, W},
      {"ncmp", {}, max, "9223372036854775806", W},
      {"ncmp", {}, "1 2", "2 1", W},
      {"ncmp", {}, "", "", A},
      {"ncmp", {}, "", "1", W},
      {"ncmp", {}, "5", "", W},
      {"ncmp", {}, "5", "5 5", W},
      {"ncmp", {}, "1 1 1", "1 1 1 1 1", W},
      {"ncmp", {}, max, "9223372036854775808", P},
      {"ncmp", {}, min, "-9223372036854775809", P},
      {"ncmp", {}, "5", "99999999999999999999", P},
      {"ncmp", {}, "5", "18446744073709551621", P},  // 2^64 + 5
      {"ncmp", {}, "1 2", "9 x", W},                 // open case: the first pair that differs decides
      {"ncmp", {}, "1 2", "x 9", P},
      {"ncmp", {}, "1", "1 x", P},  // the output's extra tokens are read as integers
      {"ncmp", {}, "", ".", P},
      {"ncmp", {}, "1 x", "2", J},  // open case: the answer is checked whole
      {"ncmp", {}, "9 -", "\f", J},
      {"ncmp", {}, "9223372036854775808", "9223372036854775808", J},
      {"ncmp", {}, "-9223372036854775809", "0", J},
      {"ncmp", {}, "00", "0", J},
  };
  for (const char *t : {"+5", "05", "5.0", "5e0", "x", "-", "--5", "- 5", "0x5", "5\v", "\xd9\xa5", "-05"})
    rows.push_back({"ncmp", {}, "5", t, P});
  for (const char *t : {"+5", "05", "-0", "-00", "5.0", "x", "-", "1e3"}) rows.push_back({"ncmp", {}, t, "5", J});
  rows.push_back({"ncmp", {}, "0", "-0", P});
  check(rows);
  // the message of sequences of different lengths gives both
  got g = engine("ncmp", {}, "1 1 1", "1 1 1 1 1");
  EXPECT_NE(g.message.find('3'), std::string::npos) << g.message;
  EXPECT_NE(g.message.find('5'), std::string::npos) << g.message;
}

TEST_F(Rules, LcmpLines) {
  check({
      {"lcmp", {}, "a b\n", "a b\r\n", A},
      {"lcmp", {}, "a\r\nb\r\n", "a\nb", A},
      {"lcmp", {}, "ab\n", "a\rb\n", A},  // a lone CR is dropped
      {"lcmp", {}, "a b\n", "a\rb\n", W},
      {"lcmp", {}, "a\rb\n", "ab\n", A},
      {"lcmp", {}, "x\rx", "x\r x", W},
      {"lcmp", {}, "ab\r cd", "ab\rcd", W},
      {"lcmp", {}, "ab\r\r\tcd\n", "ab\r\rcd\n", W},
      {"lcmp", {}, "ab\rcd", "ab\r\rcd", A},
      {"lcmp", {}, "a\n", "a\r", A},
      {"lcmp", {}, "a\n", "a\n\n\n", A},
      {"lcmp", {}, "a\n", "a\n \n\t\n", A},
      {"lcmp", {}, "a\n", "a\n\r\n\r", A},
      {"lcmp", {}, "a\n\n\n", "a\n", A},  // the output runs out of lines: empty ones from there
      {"lcmp", {}, "a\n\n", "a", A},
      {"lcmp", {}, "a\nb\n", "a\n", W},
      {"lcmp", {}, "a\n\nb\n", "a\nb\n", W},  // blank lines inside count
      {"lcmp", {}, "a\nb\n", "a\n\nb\n", W},
      {"lcmp", {}, "a b\n", "a\nb\n", W},
      {"lcmp", {}, "a\nb\n", "a b\n", W},
      {"lcmp", {}, "a  b\n", " a\tb \n", A},
      {"lcmp", {}, "a\n\v\n", "a\n\n", A},  // VT on a line compared is isspace
      {"lcmp", {}, "a\n\n", "a\n\f\n", A},
      {"lcmp", {}, "a\nb", "a\nb\n", A},
      {"lcmp", {}, "a\n", "a\nb\n", P},  // left over
      {"lcmp", {}, "a\n", "a\n\nb", P},
      {"lcmp", {}, "a\n", "a\n\v\n", P},
      {"lcmp", {}, "a\n", "a\n\f", P},
      {"lcmp", {}, "a", "a\n\v", P},
      {"lcmp", {}, "a", "a\f\n\v", P},  // whitespace ending the last line compared does not run on
      {"lcmp", {}, "a\n", "a\v\n\v\n", P},
      {"lcmp", {}, " \n", "\f\n\v", P},
      {"lcmp", {}, "", "x", P},
      {"lcmp", {}, "\r", "4", W},  // a lone CR after the last LF makes an empty line
      {"lcmp", {}, "a\n\r", "a\nb", W},
      {"lcmp", {}, "a\n\r", "a\n", A},
      {"lcmp", {}, "", "\n\n", A},
      {"lcmp", {}, "", "", A},
      {"lcmp", {}, "\n", "", A},
      {"lcmp", {}, "a\n", "b\nc\n", W},  // wrong before left over
      {"lcmp", {}, "a\n", "A\n", W},
  });
}

TEST_F(Rules, WhiteDiff) {
  check({
      {"cms", {}, "a\n", "a", A},
      {"cms", {}, "a", "a\n\n\n", A},
      {"cms", {}, "a\n\n\n", "a", A},
      {"cms", {}, "a\n", "a\n \t\v\f\r\n\n", A},
      {"cms", {}, "", "\n\n \n", A},
      {"cms", {}, "\n \n", "", A},
      {"cms", {}, "a\n\nb\n", "a\nb\n", W},  // blank lines inside count
      {"cms", {}, "a\nb\n", "a\n\nb\n", W},
      {"cms", {}, "a b\n", "a\nb\n", W},
      {"cms", {}, " a  b \n", "a b\n", A},
      {"cms", {}, "a\r\nb\r\n", "a\nb", A},
      {"cms", {}, "a\rb\n", "a b\n", A},
      {"cms", {}, "a\nb", "a\rb", W},  // lines end at LF only
      {"cms", {}, "a\n", "a\n\nx\n", W},
      {"cms", {}, "a\n\nx\n", "a\n", W},
      {"cms", {}, "a\v\n", "a\n", A},
      {"cms", {}, "A\n", "a\n", W},
      {"cms", {}, "1.0\n", "1\n", W},
  });
}

TEST_F(Rules, Rcmp) {
  check({
      {"rcmp4", {}, "1", "1.0001", A},
      {"rcmp4", {}, "1", "0.9999", A},
      {"rcmp4", {}, "1", "1.00010001", W},
      {"rcmp4", {}, "1", "0.99989999", W},
      {"rcmp6", {}, "1", "1.000001", A},
      {"rcmp6", {}, "1", "1.00000101", W},
      {"rcmp9", {}, "0", "1e-9", A},
      {"rcmp9", {}, "0", "-1e-9", A},
      {"rcmp9", {}, "0", "1.00001e-9", W},
      {"rcmp9", {}, "0", "1.0000001e-9", A},  // the 1e-15 added to eps
      {"rcmp9", {}, "0", "1.000002e-9", W},
      {"rcmp6", {}, "0", "0.000001", A},
      {"rcmp6", {}, "0", "0.0000011", W},
      {"rcmp6", {}, "1000000", "1000001", A},  // relative
      {"rcmp6", {}, "1000000", "999999", A},
      {"rcmp6", {}, "1000000", "1000001.01", W},
      {"rcmp6", {}, "-1000000", "-1000001", A},
      {"rcmp6", {}, "-1000000", "-999999", A},
      {"rcmp6", {}, "-1000000", "-1000001.01", W},
      {"rcmp4", {}, "1e300", "1.00009999e300", A},
      {"rcmp4", {}, "1e300", "1.0002e300", W},
      {"rcmp9", {}, "1 2", "1 2.1", W},
      {"rcmp9", {}, "1 2", "1", P},  // unexpected end of file
      {"rcmp9", {}, "1 2", "", P},
      {"rcmp9", {}, "1", "1 2", P},  // left over
      {"rcmp9", {}, "1", "1 x", P},
      {"rcmp9", {}, "1", "1 \n\n\t\r\n", A},
      {"rcmp9", {}, "1 2", "3", W},  // wrong before the end
      {"rcmp9", {}, "1 2", "1 x", P},
      {"rcmp9", {}, "1 2", "x 2", P},
      {"rcmp9", {}, "1 2", "5 x", W},
      {"rcmp9", {}, "", "", A},
      {"rcmp9", {}, "", " \n", A},
      {"rcmp9", {}, "", "1", P},
      {"rcmp9", {}, "1", "+1", A},
      {"rcmp9", {}, "0.5", ".5", A},
      {"rcmp9", {}, "5", "5.", A},
      {"rcmp9", {}, "1", "1E0", A},
      {"rcmp9", {}, "1", "1e+0", A},
      {"rcmp9", {}, "100", "1e2", A},
      {"rcmp9", {}, "0", "-0", A},
      {"rcmp9", {}, "7", "007", A},
      {"rcmp9", {}, "1e999", "1e999", A},  // an overflow reads as infinity, as strtod reads it
      {"rcmp9", {}, "1e999", "1e998", A},
      {"rcmp9", {}, "1e999", "1e308", W},
      {"rcmp9", {}, "-1e999", "1e999", W},
      {"rcmp9", {}, "x", "1", J},
      {"rcmp9", {}, "inf", "inf", J},
      {"rcmp9", {}, "1e", "1", J},
      {"rcmp9", {}, "1 x", "1 x", J},
      {"rcmp9", {}, "1 x", "2", J},  // open case: the answer is checked whole
      {"rcmp9", {}, "3 o", "", J},
      {"rcmp9", {}, "1\v", "1", J},
  });
  std::vector<row> rows;
  for (const char *t : {"1e",  "inf", "nan", "-inf", "0x1", "0x1p0", "1,5",          ".",  "e5",   "--1", "1e5.5",
                        "1\v", "1f",  "+",   "1e+",  "1..", "1.5.",  "\xef\xbc\x91", "1-", "1e-+1"})
    rows.push_back({"rcmp6", {}, "1", t, P});
  check(rows);
}

TEST_F(Rules, Exact) {
  std::vector<row> rows;
  for (const char *r : {"checker", "cms-exact"})
    rows.insert(rows.end(), {{r, {}, "a\n", "a\n", A},
                             {r, {}, "", "", A},
                             {r, {}, "a\n", "a", W},
                             {r, {}, "a", "A", W},
                             {r, {}, "a\r\n", "a\n", W},
                             {r, {}, "a b\n", "a  b\n", W},
                             {r, {}, "1\n", "1.0\n", W},
                             {r, {}, "a\0\n"s, "a\0\n"s, A},
                             {r, {}, "a\0\n"s, "a\n", W}});
  check(rows);
}

// Random token files: numbers of every form, words in mixed case and with bytes past
// ASCII, whitespace of every kind, in lines; an output made from the answer by a few
// changes a judge must see through or must not. Small files mostly, and some of a few
// hundred KiB, with tokens across the engine's 64 KiB blocks.
struct maker {
  std::mt19937_64 rng{20261208};
  size_t pick(size_t n) { return size_t(rng() % n); }
  template <class T, size_t N>
  T any(const T (&a)[N]) {
    return a[pick(N)];
  }

  std::string digits(size_t n, bool lead) {
    std::string d;
    for (size_t i = 0; i < n; i++) d += char('0' + (i == 0 && !lead && n > 1 ? 1 + pick(9) : pick(10)));
    return d;
  }

  std::string number(int kind) {
    static const char *const odd[] = {"-0",
                                      "+0",
                                      "+7",
                                      "007",
                                      "-",
                                      "0x1p3",
                                      "inf",
                                      "-nan",
                                      "1e",
                                      "e1",
                                      ".",
                                      "-.5",
                                      ".5",
                                      "5.",
                                      "1e999",
                                      "-1e-999",
                                      "1.5E+300",
                                      "9223372036854775807",
                                      "-9223372036854775808",
                                      "9223372036854775808",
                                      "-9223372036854775809",
                                      "4.9e-324",
                                      "2.5e-324",
                                      "1.7976931348623157e308",
                                      "1.7976931348623159e308"};
    // files of integers mostly hold ncmp's integers, and files of numbers rcmp's doubles
    std::string sign = pick(3) == 0 ? "-" : pick(kind == 0 ? 300 : 12) == 0 ? "+" : "";
    switch (pick(kind == 0 ? 300 : 60) == 0 ? 0 : kind == 0 ? 1 + pick(3) : 1 + pick(5)) {
      case 0: return any(odd);
      case 1:
      case 2: return sign + digits(1 + pick(4), false);
      case 3:
        if (!pick(30))  // at 64 bits' ends
          return any({"9223372036854775807", "9223372036854775806", "9223372036854775808", "-9223372036854775808",
                      "-9223372036854775807", "-9223372036854775809", "18446744073709551616"});
        return sign + digits(1 + pick(pick(30) ? 18 : 20), false);
      case 4: return sign + digits(pick(4), true) + "." + digits(pick(2) ? any({4, 6, 9}) : 1 + pick(40), true);
      default:
        return sign + digits(1 + pick(3), true) + (pick(2) ? "." + digits(pick(8), true) : "") + "eE"[pick(2)] +
               any({"", "+", "-"}) + std::to_string(pick(pick(40) ? 20 : 340));
    }
  }

  std::string word() {
    static const char *const odd[] = {"\xc3\xa9", "\xc3\x89", "@",  "`",  "[",    "{", "_", "\x7f",
                                      "\xe0",     "\xc0",     "\v", "\f", "x\rx", "-", "."};
    std::string w;
    for (size_t n = 1 + pick(8); n > 0; n--)
      w += pick(6) == 0    ? std::string(any(odd))
           : pick(20) == 0 ? "\0"s
                           : std::string(1, char("aA"[pick(2)] + pick(26)));
    return w;
  }

  // kind 0: integers, 1: numbers, 2: words and numbers
  std::string token(int kind) { return kind == 2 && pick(2) ? word() : number(kind); }

  // Whitespace between tokens of that kind: seldom VT or FF between numbers, as those
  // are bytes of a token to testlib.
  std::string gap(int kind) {
    static const char *const kinds[] = {" ",  " ",  " ",    "\n",  "\n",  "\t",    "\r\n",
                                        "\r", "  ", "\n\n", " \n", "\n ", "\r\r\n"};
    auto one = [&] { return std::string(pick(kind == 2 ? 6 : 40) ? any(kinds) : any({"\v", "\f", " \v"})); };
    return pick(4) ? one() : one() + one();
  }

  struct doc {
    strings gaps, toks;  // gaps[i] comes before toks[i]; the last one ends the file
    std::string text() const {
      std::string t;
      for (size_t i = 0; i < toks.size(); i++) t += gaps[i] + toks[i];
      return t + gaps.back();
    }
  };

  doc make(int kind, size_t bytes) {
    doc d;
    d.gaps.push_back(pick(3) ? "" : gap(kind));
    for (size_t size = 0; size < bytes;) {
      d.toks.push_back(pick(2000) == 0 ? std::string(60000 + pick(12000), "x7"[pick(2)]) : token(kind));
      d.gaps.push_back(gap(kind));
      size += d.toks.back().size() + d.gaps.back().size();
    }
    d.gaps.back() = any({"\n", "\n", "\n", "", "\n\n", " ", "\r\n"});
    return d;
  }

  // Sets s to another spelling, which may or may not mean the same.
  void respell(std::string &s) {
    switch (pick(8)) {
      case 0: s = (s[0] == '-' || s[0] == '+' ? "" : "+") + s; break;
      case 1: s += s.find_first_of(".eE") == s.npos ? ".0" : s.find_first_of("eE") == s.npos ? "0" : ""; break;
      case 2: s += s.find_first_of("eE") == s.npos ? "e0" : "0"; break;
      case 3: s.insert(s[0] == '-' || s[0] == '+', "0"); break;
      case 4:
        for (char &c : s) c = c == 'e' ? 'E' : c == 'E' ? 'e' : c;
        break;
      case 5:
        if (size_t e = s.find_first_of("eE"); e != s.npos) s.resize(e + pick(2));
        break;
      case 6:
        if (size_t p = s.find('.'); p != s.npos && p > 0) s.erase(p - 1, 1);
        break;
      default: s += any({"e", "e+", ".", "..", "x"}); break;
    }
  }

  // Moves s, if a number, to one near a tolerance: the validator's, or rcmp's.
  void nudge(std::string &s) {
    char *end = nullptr;
    long double a = std::strtold(s.c_str(), &end);
    if (end == s.c_str() || !std::isfinite(a)) return;
    static const long double eps[] = {1e-4L, 1e-6L, 1e-9L, 1e-4L + 1e-15L, 1e-6L + 1e-15L, 1e-9L + 1e-15L};
    static const long double factor[] = {0.999L, 1.001L, 0.5L, 2, 0.99999L, 1.00001L, 1, 1e6L};
    long double d = eps[pick(std::size(eps))] * factor[pick(std::size(factor))];
    if (pick(2)) d *= std::fabs(a);
    if (!pick(4)) d += 5e-16L;                               // about rcmp's added 1e-15
    if (s.find_first_of(".eE") == s.npos && pick(2)) d = 1;  // an integer, to its neighbour
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*Lg", int(1 + pick(25)), pick(2) ? a + d : a - d);
    // or a few units in the last place, spelt as long as before
    size_t point = s.find('.'), places = s.size() - point - 1;
    if (point != s.npos && s.find_first_of("eE") == s.npos && places <= 12 && std::fabs(a) < 1e6 && pick(2))
      std::snprintf(buf, sizeof buf, "%.*Lf", int(places),
                    a + std::pow(10.0L, -int(places)) * any({1, -1, 2, -9, 10, -11}));
    s = buf;
  }

  void change(doc &d, int kind) {
    size_t n = d.toks.size(), i = pick(n + 1), t = n ? pick(n) : 0;
    switch (pick(17)) {
      case 0: d.gaps[i] = (i == 0 || i == n) && pick(2) ? "" : gap(kind); break;
      case 1:
      case 14:
        if (n)
          for (char &c : d.toks[t])  // letters, and what folding by a bit would take for them
            if (std::isalpha((unsigned char)c) ? pick(2) : (std::strchr("@[\\]^_`{|}~", c) || c & 0x80) && !pick(4))
              c = char(c ^ 0x20);
        break;
      case 2:
      case 3:
        if (n) nudge(d.toks[t]);
        break;
      case 4:
        if (n) respell(d.toks[t]);
        break;
      case 5:
        d.toks.insert(d.toks.begin() + i, token(kind));
        d.gaps.insert(d.gaps.begin() + i + 1, gap(kind));
        break;
      case 6:
        if (n) d.toks.erase(d.toks.begin() + t), d.gaps.erase(d.gaps.begin() + t + 1);
        break;
      case 7: d.gaps[pick(3) ? n : i] += any({"\n\n", "\n \n", "\r\n\r\n", "\n\t\n\n", "\n\v\n", "\n\f"}); break;
      case 8:
        if (n && d.toks[t].size() > 1) {
          size_t at = 1 + pick(d.toks[t].size() - 1);
          d.toks.insert(d.toks.begin() + t + 1, d.toks[t].substr(at));
          d.toks[t].resize(at);
          d.gaps.insert(d.gaps.begin() + t + 1, gap(kind));
        }
        break;
      case 9:
        if (t + 1 < n)
          d.toks[t] += d.toks[t + 1], d.toks.erase(d.toks.begin() + t + 1), d.gaps.erase(d.gaps.begin() + t + 1);
        break;
      case 10: d.toks.resize(t), d.gaps.resize(t + 1); break;
      case 11:
        if (n) d.toks[t] = token(kind);
        break;
      case 12:
        for (auto &g : d.gaps)
          for (size_t at = 0; (at = g.find('\n', at)) != g.npos; at += 2) g.insert(at, "\r");
        break;
      case 15:
      case 16:  // a digit changed in place, so that the whitespace of both files falls alike
        if (n)
          if (size_t at = d.toks[t].find_last_of("0123456789", pick(d.toks[t].size())); at != std::string::npos)
            d.toks[t][at] = char('0' + pick(10));
        break;
      default: d.gaps.back() = d.gaps.back() == "\n" ? "" : "\n"; break;
    }
    for (size_t k = 1; k + 1 < d.gaps.size(); k++)
      if (d.gaps[k].empty()) d.gaps[k] = " ";
  }
};

// Cuts bytes off a, off b, and off both at the same place counted from the start or from
// the end, while fails(a, b) holds: in chunks of halving size, down to one byte.
void shrink(std::string &a, std::string &b,
            const std::function<bool(const std::string &, const std::string &)> &fails) {
  int budget = 30000;
  for (bool again = true; again;) {
    again = false;
    for (int which : {2, 3, 0, 1}) {
      bool ina = which != 1, inb = which != 0;
      for (size_t n = std::max<size_t>(std::max(a.size(), b.size()) / 2, 1);; n /= 2) {
        for (size_t i = 0; budget > 0 && !(ina && i + n > a.size()) && !(inb && i + n > b.size()); budget--) {
          std::string x = a, y = b;
          if (ina) x.erase(which == 3 ? x.size() - i - n : i, n);
          if (inb) y.erase(which == 3 ? y.size() - i - n : i, n);
          if (fails(x, y))
            a = std::move(x), b = std::move(y), again = true;
          else
            i += n;
        }
        if (n == 1) break;
      }
    }
  }
}

// RULES_ITERATIONS and RULES_SEED, when set, run longer or other files.
TEST_F(Rules, MatchTheModel) {
  maker m;
  const char *iterations = std::getenv("RULES_ITERATIONS"), *seed = std::getenv("RULES_SEED");
  if (seed) m.rng.seed(std::stoull(seed));
  std::map<std::string, int> seen;  // the disagreements by rules and verdicts, each shown once, shrunk
  int judged = 0, unsure = 0;
  for (int iter = 0, n = iterations ? std::stoi(iterations) : 3000; iter < n; iter++) {
    int kind = int(m.pick(3));
    size_t bytes = iter % 250 == 249 ? (64 << 10) * (1 + m.pick(6)) : m.pick(10) == 0 ? m.pick(4000) : m.pick(120);
    maker::doc d = m.make(kind, bytes), e = d;
    for (size_t k = m.pick(4); k > 0; k--) m.change(e, kind);
    std::string answer = d.text(), output = e.text();
    if (m.pick(5) == 0) std::swap(answer, output);
    for (const rules_model::ruleset &r : rules_model::rulesets()) {
      auto judge = [&](const std::string &a, const std::string &o) {
        return std::pair{rules_model::model(r.rules, r.flags, a, o), engine(r.rules, r.flags, a, o)};
      };
      auto agree = [](const rules_model::modelled &want, const got &g) {
        return g.v != threw && want.allows(verdict(g.v));
      };
      auto first = judge(answer, output);
      const rules_model::modelled &want = first.first;
      const got &g = first.second;
      judged++;
      unsure += want.unsure;
      if (!messageok(g))
        checkmessage(g, "iteration " + std::to_string(iter) + " " + describe(r.rules, r.flags, answer, output));
      if (agree(want, g)) continue;
      std::string key = describe(r.rules, r.flags, "", "") + ": " + say(g.v) + ", the model " + say(int(want.v));
      if (seen[key]++ > 0) continue;
      std::string a = answer, o = output;
      shrink(a, o, [&](const std::string &x, const std::string &y) {
        auto [w2, g2] = judge(x, y);
        return !agree(w2, g2) && g2.v == g.v && w2.v == want.v;
      });
      auto last = judge(a, o);
      ADD_FAILURE() << "iteration " << iter << ", shrunk: " << describe(r.rules, r.flags, a, o)
                    << ": linecmp::judge() gives " << say(last.second.v) << ", the model " << say(int(last.first.v))
                    << (last.first.unsure ? " (unsure)" : "") << "; message: " << last.second.message.substr(0, 200);
    }
  }
  for (auto &[key, count] : seen) std::printf("%d times %s\n", count, key.c_str());
  std::printf("%d judged, %d of them unsure\n", judged, unsure);
}

// A message stays short whatever the input, a token of 1 MiB included.
TEST_F(Rules, MessagesStayShort) {
  const std::string x(1 << 20, 'x'), ones = std::string(1 << 20, '1'), point = "0." + ones;
  std::string y = x, twos = ones;
  y.back() = 'y';
  twos.back() = '2';
  const std::pair<std::string, std::string> pairs[] = {
      {x, y},      {"x\n", x},     {x, "x\n"},     {x + "\n", x},        {ones, twos},      {"1", ones},
      {ones, "1"}, {point, "0.5"}, {"0.5", point}, {point, point + "1"}, {"a\n", "a\n" + x}};
  for (const rules_model::ruleset &r : rules_model::rulesets())
    for (auto &[answer, output] : pairs) {
      std::string what = describe(r.rules, r.flags, answer, output);
      got g = engine(r.rules, r.flags, answer, output);
      checkmessage(g, what);
      rules_model::modelled want = rules_model::model(r.rules, r.flags, answer, output);
      if (g.v == threw || !want.allows(verdict(g.v)))
        ADD_FAILURE() << what << ": linecmp::judge() gives " << say(g.v) << ", the model " << say(int(want.v));
    }
}

}  // namespace
