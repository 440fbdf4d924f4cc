// The judges' rules: the tables of cases in rules.cases, each judged by linecmp::judge()
// and by the plain model beside the tests, and random token files judged by both under
// every rules name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "escapes.h"
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

// A case with its strings as C literals.
std::string describe(const std::string &rules, const strings &flags, const std::string &answer,
                     const std::string &output) {
  std::string d = "{\"" + rules + "\", {";
  for (size_t i = 0; i < flags.size(); i++) d += (i ? ", " : "") + literal(flags[i]);
  return d + "}, " + literal(answer) + ", " + literal(output) + "}";
}

// A message is for a jury to read: there is one for a rejection, and it stays short. A
// judge error's reason is one line, which a NUL in a flag does not cut short: what
// follows the NUL shows too.
bool messageok(const std::string &rules, const strings &flags, const got &g) {
  bool whole =
      g.v != int(J) || std::none_of(g.message.begin(), g.message.end(), [](unsigned char c) { return c < 32; });
  for (const std::string &f : flags)
    if (g.v == int(J) && f.find('\0') != f.npos) whole = whole && g.message.find(f.substr(f.rfind('\0') + 1)) != f.npos;
  return whole && (g.v == int(A) || !g.message.empty()) &&
         g.message.size() < rules_model::longest_message(rules, flags);
}

void checkmessage(const std::string &rules, const strings &flags, const got &g, const std::string &what) {
  if (!messageok(rules, flags, g))
    ADD_FAILURE() << what << ": " << say(g.v) << " with a message of " << g.message.size() << " bytes";
}

struct row {
  std::string rules;
  strings flags;
  std::string answer, output;
  verdict want;
};

// A number of rules that compare numbers, in a line of 40 equal floats on each side: the
// token kernel settles it from the windows where both lines' whitespace falls alike or,
// when the output's first float is spelt a byte longer, from its list of tokens.
row amid(row r, bool shifted) {
  std::string floats;
  for (int i = 0; i < 40; i++) floats += std::to_string(i) + ".5 ";
  r.answer = floats + r.answer + " " + floats + "\n";
  r.output = (shifted ? "0" : "") + floats + r.output + " " + floats + "\n";
  return r;
}

// Each row by the model and by linecmp::judge(); a row of one number against another
// under rules that compare numbers, also amid(), and shifted when they compare within a
// tolerance.
void check(const std::vector<row> &given) {
  std::vector<row> rows = given;
  for (const row &r : given) {
    bool numbers = r.rules.rfind("rcmp", 0) == 0 ||
                   std::any_of(r.flags.begin(), r.flags.end(), [](auto &f) { return f.rfind("float_", 0) == 0; });
    if ((r.rules == "validator" || numbers) && !r.answer.empty() && !r.output.empty() &&
        (r.answer + r.output).find_first_of(" \t\n\r\v\f") == std::string::npos) {
      rows.push_back(amid(r, false));
      if (numbers) rows.push_back(amid(r, true));
    }
  }
  for (const row &r : rows) {
    std::string what = describe(r.rules, r.flags, r.answer, r.output);
    rules_model::modelled m = rules_model::model(r.rules, r.flags, r.answer, r.output);
    if (m.v != r.want || !m.known)
      ADD_FAILURE() << what << ": expected " << say(int(r.want)) << ", the model gives " << say(int(m.v));
    got g = engine(r.rules, r.flags, r.answer, r.output);
    if (g.v != int(r.want))
      ADD_FAILURE() << what << ": expected " << say(int(r.want)) << ", linecmp::judge() gives " << say(g.v) << ": "
                    << g.message.substr(0, 300);
    checkmessage(r.rules, r.flags, g, what);
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

strings split(const std::string &s, char by) {
  strings parts{""};
  for (char c : s)
    if (c == by)
      parts.emplace_back();
    else
      parts.back() += c;
  return parts;
}

// The rows of a group of rules.cases. A line of the file that is not blank, a comment, a
// row within a group or the header of a group named after one of these tests fails each
// test that reads the file, with its place.
std::vector<row> rows(const std::string &group) {
  const testing::TestSuite &tests = *testing::UnitTest::GetInstance()->current_test_suite();
  std::ifstream in(RULES_CASES, std::ios::binary);
  if (!in) ADD_FAILURE() << RULES_CASES << " cannot be read";
  std::vector<row> out;
  std::set<std::string> headers;
  std::string line, at;
  for (int n = 1; std::getline(in, line); n++) {
    std::string where = RULES_CASES ":" + std::to_string(n) + ": ";
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      at = line.size() > 2 && line.back() == ']' ? line.substr(1, line.size() - 2) : "";
      bool test = false;
      for (int i = 0; i < tests.total_test_count(); i++) test |= at == tests.GetTestInfo(i)->name();
      if (!test || !headers.insert(at).second)
        ADD_FAILURE() << where << "not a new header of a test's group: " << literal(line);
      continue;
    }
    strings f = split(line, '\t');
    size_t v = f.size() == 5 && f[4].size() == 1 ? "AWPJ"s.find(f[4]) : std::string::npos;
    row r{};
    bool ok = v != std::string::npos && unescape(f[0], r.rules) && unescape(f[2], r.answer) && unescape(f[3], r.output);
    for (const std::string &flag : ok && !f[1].empty() ? split(f[1], ' ') : strings{})
      ok = ok && !flag.empty() && unescape(flag == "\"\"" ? "" : flag, r.flags.emplace_back());
    r.want = verdict(v);
    if (!ok || at.empty())
      ADD_FAILURE() << where << (ok ? "a row outside a group: " : "not a row as the top of the file says: ")
                    << literal(line);
    else if (at == group)
      out.push_back(r);
  }
  if (out.empty()) ADD_FAILURE() << RULES_CASES << " has no rows of [" << group << "]";
  return out;
}

// The tables of cases, a test to each group of rules.cases.
TEST_F(Rules, FloatGrammar) { check(rows("FloatGrammar")); }
TEST_F(Rules, CaseFolding) { check(rows("CaseFolding")); }
TEST_F(Rules, WhitespaceKinds) { check(rows("WhitespaceKinds")); }
TEST_F(Rules, TokenCounts) { check(rows("TokenCounts")); }
TEST_F(Rules, Tolerances) { check(rows("Tolerances")); }
TEST_F(Rules, Flags) { check(rows("Flags")); }
TEST_F(Rules, NcmpIntegers) {
  check(rows("NcmpIntegers"));
  // the message of sequences of different lengths gives both
  got g = engine("ncmp", {}, "1 1 1", "1 1 1 1 1");
  EXPECT_NE(g.message.find('3'), std::string::npos) << g.message;
  EXPECT_NE(g.message.find('5'), std::string::npos) << g.message;
}
TEST_F(Rules, LcmpLines) { check(rows("LcmpLines")); }
TEST_F(Rules, WhiteDiff) { check(rows("WhiteDiff")); }
TEST_F(Rules, Rcmp) { check(rows("Rcmp")); }
TEST_F(Rules, Exact) { check(rows("Exact")); }

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
  std::string token(int kind) {
    return kind == 2 && pick(2) ? word() : kind == 1 && !pick(4) ? edgenumber() : number(kind);
  }

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

  // The number that digits (of an optional sign) times ten to the e spell, in any of the
  // float notations: signs, points anywhere, ".5", "5.", "e" or "E", zeros at either end.
  std::string spell(std::string digits, int64_t e) {
    std::string sign = digits[0] == '-' ? "-" : pick(8) ? "" : "+";
    digits.erase(0, digits[0] == '-');
    for (size_t z = pick(3) ? 0 : pick(4); z > 0; z--) digits += '0', e--;
    if (pick(2)) {
      int64_t point = int64_t(pick(digits.size() + 1)), x = e + point;  // digits after the point, the exponent
      std::string m =
          digits.substr(0, digits.size() - size_t(point)) + "." + digits.substr(digits.size() - size_t(point));
      if (m.back() == '.' && pick(2)) m.pop_back();
      return sign + m + "eE"[pick(2)] + (x >= 0 && !pick(3) ? "+" : "") + std::to_string(x);
    }
    if (e >= 0) return sign + digits + std::string(size_t(e), '0') + (pick(3) ? "" : ".");
    if (-e >= int64_t(digits.size()))
      return sign + (pick(2) ? "0" : "") + "." + std::string(size_t(-e) - digits.size(), '0') + digits;
    return sign + digits.substr(0, digits.size() - size_t(-e)) + "." + digits.substr(digits.size() - size_t(-e));
  }

  // A number of 1 to 25 significant digits, in any notation.
  std::string edgenumber() {
    std::string d = (pick(3) ? "" : "-") + digits(1 + pick(25), false);
    return spell(d, int64_t(pick(60)) - 40);
  }

  // Sets s, if a number, to one at a tolerance's edge exactly, absolute or relative, or
  // just inside or outside it, in any notation.
  void edge(std::string &s) {
    if (s.find_first_not_of("0123456789.eE+-") != s.npos || s.find_first_of("0123456789") == s.npos) return;
    char *end = nullptr;
    double a = std::strtod(s.c_str(), &end);
    if (*end || !std::isfinite(a) || std::fabs(a) > 1e30 || (a != 0 && std::fabs(a) < 1e-30)) return;
    std::string eps = any({"1e-4", "1e-6", "1e-9", "0.000001", "1e-4", "0.0001000000000000001"});
    if (pick(2)) eps = rules_model::exact(eps, '*', s[0] == '-' ? s.substr(1) : s);
    std::string t = rules_model::exact(s, "+-"[pick(2)], eps);
    size_t x = t.find('e');
    if (pick(2))
      t = rules_model::exact(t, "+-"[pick(2)], "1e" + std::to_string(std::stoll(t.substr(x + 1)) - int64_t(pick(3))));
    x = t.find('e');
    s = spell(t.substr(0, x), std::stoll(t.substr(x + 1)));
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
        if (n) nudge(d.toks[t]);
        break;
      case 3:
        if (n) edge(d.toks[t]);
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
  int judged = 0;
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
      if (!messageok(r.rules, r.flags, g))
        checkmessage(r.rules, r.flags, g,
                     "iteration " + std::to_string(iter) + " " + describe(r.rules, r.flags, answer, output));
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
                    << "; message: " << last.second.message.substr(0, 200);
    }
  }
  for (auto &[key, count] : seen) std::printf("%d times %s\n", count, key.c_str());
  std::printf("%d judged\n", judged);
}

// Pairs of numbers past ordinary scale, the model and linecmp::judge() agreeing on each,
// alone and amid 40 floats: 800 to 5,000 digits, exponents near 10^17 in size and below
// -2^31, tolerances below 1e-1000 and relative ones above 1, outputs at a tolerance's edge
// (or a unit of some place past it), a digit past the 800th changed, or a multiple of
// 10^18 + 9 added past it, so that the two rests agree modulo that.
TEST_F(Rules, LongNumbersMatchTheModel) {
  maker m;
  const char *iterations = std::getenv("RULES_ITERATIONS");
  for (int iter = 0, n = iterations ? std::stoi(iterations) / 10 : 300; iter < n; iter++) {
    size_t len = m.pick(4) ? 780 + m.pick(m.pick(2) ? 40 : 4220) : 1 + m.pick(30);
    int64_t e = m.any({int64_t(0), int64_t(-2147483648LL) - int64_t(m.pick(3000)),
                       int64_t(100000000000000000LL) - int64_t(m.pick(3000)), -int64_t(100000000000000000LL),
                       int64_t(m.pick(40)) - 20});
    std::string a = (m.pick(4) ? "" : "-") + m.digits(len, false) + "e" + std::to_string(e);
    int64_t top = e + int64_t(len) - 1;  // the place of a's first digit
    auto tens = [](int64_t x) { return "1e" + std::to_string(x); };
    std::string abs = m.any({tens(top - int64_t(m.pick(len + 3))), tens(top - 2000), tens(top - 1200),
                             "5e" + std::to_string(top - 1500), tens(top + 1)});
    std::string rel = m.any({"1e-6", "1e-1500", "3", "1.5", "0.5", "1"});
    strings flags;
    int which = int(m.pick(3));
    if (which != 1) flags.insert(flags.end(), {"float_absolute_tolerance", abs});
    if (which != 0) flags.insert(flags.end(), {"float_relative_tolerance", rel});
    std::string mag = a[0] == '-' ? a.substr(1) : a, s;
    switch (m.pick(3)) {
      case 0: {
        std::string bound = which == 1 ? rules_model::exact(rel, '*', mag) : abs;
        s = rules_model::exact(a, "+-"[m.pick(2)], bound);
        if (m.pick(2)) s = rules_model::exact(s, "+-"[m.pick(2)], tens(top - int64_t(m.pick(len + 2))));
        break;
      }
      case 1: s = rules_model::exact(a, "+-"[m.pick(2)], "1000000000000000009e" + std::to_string(top - 820)); break;
      default: s = a; s[s.find('e') - 1 - m.pick(std::min<size_t>(len, 30))] = char('0' + m.pick(10));
    }
    // Spelt with its point elsewhere, and zeros before it sometimes.
    size_t x = s.find('e');
    std::string digits = s.substr(s[0] == '-', x - (s[0] == '-'));
    int64_t shift = m.pick(2) ? int64_t(digits.size()) + int64_t(m.pick(3) ? 0 : 3) : 0;
    s = std::string(s[0] == '-' ? "-" : "") + (shift ? "0." + std::string(size_t(shift) - digits.size(), '0') : "") +
        digits + "e" + std::to_string(std::stoll(s.substr(x + 1)) + shift);
    check({{"validator", flags, a, s, rules_model::model("validator", flags, a, s).v}});
  }
}

// A message stays short whatever the input, a token over two 64 KiB reading blocks long
// included. A longer one crosses no other boundary, and under qemu takes over a minute:
// the model's long double arithmetic is emulated in software on arm64 and s390x.
TEST_F(Rules, MessagesStayShort) {
  const size_t long_token = (size_t{128} << 10) + 1;
  const std::string x(long_token, 'x'), ones = std::string(long_token, '1'), point = "0." + ones;
  std::string y = x, twos = ones, binary, other;
  y.back() = 'y';
  twos.back() = '2';
  // Ten differing lines and twenty more, all shown escaped: the longest of linecmp's reports.
  for (int i = 0; i < 30; i++) binary += std::string(60, '\xff') + "\n";
  for (int i = 0; i < 10; i++) other += std::string(60, '\xfe') + "\n";
  const std::pair<std::string, std::string> pairs[] = {
      {x, y},         {"x\n", x},     {x, "x\n"},     {x + "\n", x},        {ones, twos},       {"1", ones},
      {ones, "1"},    {point, "0.5"}, {"0.5", point}, {point, point + "1"}, {"a\n", "a\n" + x}, {binary, other},
      {other, binary}};
  for (const rules_model::ruleset &r : rules_model::rulesets())
    for (auto &[answer, output] : pairs) {
      std::string what = describe(r.rules, r.flags, answer, output);
      got g = engine(r.rules, r.flags, answer, output);
      checkmessage(r.rules, r.flags, g, what);
      rules_model::modelled want = rules_model::model(r.rules, r.flags, answer, output);
      if (g.v == threw || !want.allows(verdict(g.v)))
        ADD_FAILURE() << what << ": linecmp::judge() gives " << say(g.v) << ", the model " << say(int(want.v));
    }
}

}  // namespace

// Where the line goes on past the block the place was read from, the message does not
// say that it ends there.
TEST_F(Rules, APlaceBeforeABlockEndIsNoLineEnd) {
  std::string head(65530, 'y');
  got g = engine("validator", {}, head + " 1 22 333\n", head + " 1 23 333\n");
  EXPECT_EQ(g.message.find("missing end-of-line"), std::string::npos) << g.message;
}
