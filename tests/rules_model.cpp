#include "rules_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <type_traits>

namespace rules_model {

namespace {

using strings = std::vector<std::string>;

struct fault {};  // judging cannot be done: rules, flags or an answer at fault

const char *const anyspace = " \f\n\r\t\v";  // the validator's, CMS's, and C's isspace
const char *const testspace = " \t\r\n";     // testlib's: VT and FF belong to tokens

// The tokens of s, split on runs of the bytes in ws. gaps, when given, gets the runs
// around them, the leading and the trailing one included (maybe empty): one more.
strings split(std::string_view s, const char *ws, strings *gaps = nullptr) {
  bool space[256] = {};
  for (const char *c = ws; *c; c++) space[(unsigned char)*c] = true;
  auto is = [&](size_t i) { return space[(unsigned char)s[i]]; };
  strings t;
  for (size_t i = 0;;) {
    size_t b = i;
    while (b < s.size() && is(b)) b++;
    if (gaps) gaps->emplace_back(s.substr(i, b - i));
    if (b == s.size()) return t;
    for (i = b; i < s.size() && !is(i);) i++;
    t.emplace_back(s.substr(b, i - b));
  }
}

// The pieces of s between the bytes sep, every one: n separators make n + 1 pieces.
strings pieces(std::string_view s, char sep) {
  strings t;
  for (size_t b = 0;;) {
    size_t e = s.find(sep, b);
    t.emplace_back(s.substr(b, e == s.npos ? s.npos : e - b));
    if (e == s.npos) return t;
    b = e + 1;
  }
}

bool digit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool same(std::string_view x, std::string_view y, bool cases) {
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); i++)
    if (cases ? x[i] != y[i] : lower(x[i]) != lower(y[i])) return false;
  return true;
}

// The validator's float: [+-]? (digits? "." digits | digits "." | digits) ([Ee] [+-]? digits)?
bool isfloat(std::string_view t) {
  size_t i = 0, n = t.size();
  auto sign = [&] { i += i < n && (t[i] == '+' || t[i] == '-'); };
  auto digits = [&] {
    size_t b = i;
    while (i < n && digit(t[i])) i++;
    return i > b;
  };
  sign();
  bool whole = digits(), point = i < n && t[i] == '.';
  i += point;
  bool part = point && digits();
  if (!whole && !part) return false;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    i++;
    sign();
    if (!digits()) return false;
  }
  return i == n;
}

// ncmp's integer: an optional '-' and digits, no leading zero, not -0, within 64 bits.
bool isint(std::string_view t) {
  std::string_view d = t.substr(!t.empty() && t[0] == '-');
  if (d.empty() || !std::all_of(d.begin(), d.end(), digit) || (d[0] == '0' && t.size() > 1)) return false;
  std::string_view limit = d.size() < t.size() ? "9223372036854775808" : "9223372036854775807";
  return d.size() < limit.size() || (d.size() == limit.size() && d <= limit);
}

// rcmp's double: only digits, '.', 'e', 'E', '+' and '-', a digit among them, and strtod
// reads it whole.
bool isdouble(const std::string &t) {
  if (t.find_first_not_of("0123456789.eE+-") != t.npos || t.find_first_of("0123456789") == t.npos) return false;
  char *end = nullptr;
  std::strtod(t.c_str(), &end);
  return end == t.c_str() + t.size();
}

template <class T>
T num(const std::string &t) {
  if constexpr (std::is_same_v<T, double>) return std::strtod(t.c_str(), nullptr);
  return std::strtold(t.c_str(), nullptr);
}

// 1 when test holds both in double and in long double arithmetic, 0 when in neither,
// and -1 when the precision decides.
template <class F>
int both(F test) {
  bool d = test(0.0), l = test(0.0L);
  return d == l ? d : -1;
}

// The problem package format's default output validator.
verdict validator(const strings &flags, std::string_view answer, std::string_view output, bool &unsure) {
  bool cases = false, spaces = false;
  std::string abs, rel;  // the tolerances as given, empty when not given
  for (size_t i = 0; i < flags.size(); i++) {
    const std::string &f = flags[i];
    // Open case: case_sensitive or space_change_sensitive given twice says the same
    // thing twice, and is no fault.
    if (f == "case_sensitive") {
      cases = true;
    } else if (f == "space_change_sensitive") {
      spaces = true;
    } else if ((f != "float_absolute_tolerance" && f != "float_relative_tolerance" && f != "float_tolerance") ||
               i + 1 == flags.size()) {
      throw fault{};
    } else {
      // A tolerance given again takes its last value, as the judges read a problem's
      // flags and then a group's; float_tolerance is both.
      const std::string &v = flags[++i];
      // Open case: a tolerance is a number as the answer's floats are (so not "inf",
      // "nan", hex, or with spaces), and not negative: a negative one would reject even
      // equal numbers, which no jury means.
      if (!isfloat(v) || num<double>(v) < 0) throw fault{};
      if (f != "float_relative_tolerance") abs = v;
      if (f != "float_absolute_tolerance") rel = v;
    }
  }

  strings ag, og, a = split(answer, anyspace, &ag), o = split(output, anyspace, &og);
  if (a.size() != o.size() || (spaces && ag != og)) return verdict::wrong_answer;
  for (size_t i = 0; i < a.size(); i++) {
    if ((abs.empty() && rel.empty()) || !isfloat(a[i])) {
      if (!same(a[i], o[i], cases)) return verdict::wrong_answer;
      continue;
    }
    if (!isfloat(o[i])) return verdict::wrong_answer;
    int r = both([&](auto zero) {
      using T = decltype(zero);
      T x = num<T>(a[i]), s = num<T>(o[i]), d = std::fabs(s - x);
      // Open case: a number beyond the range reads as an infinity, equal to itself only
      // (where IEEE arithmetic gives inf - inf = NaN, and takes any number as within a
      // relative tolerance of an infinite answer).
      if (std::isinf(x) || std::isinf(s)) return x == s;
      return (!abs.empty() && d <= num<T>(abs)) || (!rel.empty() && d <= num<T>(rel) * std::fabs(x));
    });
    if (r == 0) return verdict::wrong_answer;
    unsure |= r < 0;
  }
  return verdict::accepted;
}

// CMS's white-diff. Lines equal once stripped and with each run of whitespace made one
// space exactly when their tokens are equal; a line past a file's end is blank.
verdict whitediff(std::string_view answer, std::string_view output) {
  strings a = pieces(answer, '\n'), o = pieces(output, '\n');
  for (size_t i = 0; i < std::max(a.size(), o.size()); i++)
    if (split(i < a.size() ? a[i] : "", anyspace) != split(i < o.size() ? o[i] : "", anyspace))
      return verdict::wrong_answer;
  return verdict::accepted;
}

// testlib's lcmp. The empty text after a final LF is no line (but a lone CR there is
// one, which reads as empty); a CR ends a line only before a LF and is dropped anywhere
// else, so every CR goes. testlib reads the answer's lines while it has any, and stops
// when one read is empty and ends the file: an empty last line of the answer is none.
// (A lone CR at the very end reads as a line of its own in testlib, which takes the end
// of the file for a byte there, so only a line that a LF ends is dropped.)
strings lines(std::string_view s, bool answer) {
  strings l = pieces(s, '\n');
  if (l.back().empty()) l.pop_back();
  for (std::string &line : l) line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
  if (answer && !l.empty() && l.back().empty() && s.back() == '\n') l.pop_back();
  return l;
}

verdict lcmp(std::string_view answer, std::string_view output) {
  strings a = lines(answer, true), o = lines(output, false);
  for (size_t i = 0; i < a.size(); i++)
    if (split(a[i], anyspace) != split(i < o.size() ? o[i] : "", anyspace)) return verdict::wrong_answer;
  for (size_t i = a.size(); i < o.size(); i++)
    if (!split(o[i], testspace).empty()) return verdict::presentation_error;
  return verdict::accepted;
}

// testlib's ncmp. Open case: pairs are compared in order, the first that differs or is
// not an integer deciding; the output's tokens past the answer's are read as integers
// too, to count them, so one that is not is a presentation error.
verdict ncmp(std::string_view answer, std::string_view output) {
  strings a = split(answer, testspace), o = split(output, testspace);
  // Open case: the answer is checked whole (see rcmp).
  if (!std::all_of(a.begin(), a.end(), [](auto &t) { return isint(t); })) throw fault{};
  for (size_t i = 0; i < o.size(); i++) {
    if (!isint(o[i])) return verdict::presentation_error;
    if (i < a.size() && std::stoll(a[i]) != std::stoll(o[i])) return verdict::wrong_answer;
  }
  return a.size() == o.size() ? verdict::accepted : verdict::wrong_answer;
}

// testlib's rcmp4, rcmp6 and rcmp9, token by token. Each number is what strtod reads
// (one that overflows is an infinity, which by the bounds below equals itself only);
// long double serves only for the arithmetic.
verdict rcmp(int digits, std::string_view answer, std::string_view output, bool &unsure) {
  strings a = split(answer, testspace), o = split(output, testspace);
  // Open case: the answer is checked whole, so a faulty answer is a judge error whatever
  // the output, not only when the output gets as far as the fault.
  if (!std::all_of(a.begin(), a.end(), isdouble)) throw fault{};
  for (size_t i = 0; i < a.size(); i++) {
    if (i >= o.size() || !isdouble(o[i])) return verdict::presentation_error;
    int r = both([&](auto zero) {
      using T = decltype(zero);
      T eps = num<T>("1e-" + std::to_string(digits)) + num<T>("1e-15"), x = num<double>(a[i]), s = num<double>(o[i]);
      T lo = std::min(x * (1 - eps), x * (1 + eps)), hi = std::max(x * (1 - eps), x * (1 + eps));
      return std::fabs(s - x) <= eps || (lo <= s && s <= hi);
    });
    if (r == 0) return verdict::wrong_answer;
    unsure |= r < 0;
  }
  return o.size() > a.size() ? verdict::presentation_error : verdict::accepted;
}

}  // namespace

modelled model(std::string_view rules, const std::vector<std::string> &flags, std::string_view answer,
               std::string_view output) {
  modelled m;
  try {
    // Open case: only the validator takes flags; any given to other rules is a fault.
    if (rules != "validator" && !flags.empty()) throw fault{};
    if (rules == "validator")
      m.v = validator(flags, answer, output, m.unsure);
    else if (rules == "checker" || rules == "cms-exact")
      m.v = answer == output ? verdict::accepted : verdict::wrong_answer;
    else if (rules == "cms")
      m.v = whitediff(answer, output);
    else if (rules == "wcmp")
      m.v = split(answer, testspace) == split(output, testspace) ? verdict::accepted : verdict::wrong_answer;
    else if (rules == "lcmp")
      m.v = lcmp(answer, output);
    else if (rules == "ncmp")
      m.v = ncmp(answer, output);
    else if (rules == "rcmp4" || rules == "rcmp6" || rules == "rcmp9")
      m.v = rcmp(rules.back() - '0', answer, output, m.unsure);
    else
      throw fault{};
  } catch (const fault &) {
    m = {verdict::judge_error, false};
  }
  return m;
}

size_t longest_message(std::string_view rules, const std::vector<std::string> &flags) {
  auto has = [&](const char *f) { return std::find(flags.begin(), flags.end(), f) != flags.end(); };
  bool tolerance =
      std::any_of(flags.begin(), flags.end(), [](const std::string &f) { return f.rfind("float_", 0) == 0; });
  bool exact = rules == "checker" || rules == "cms-exact" ||
               (rules == "validator" && has("case_sensitive") && has("space_change_sensitive") && !tolerance);
  return exact ? 8192 : 2048;
}

const char *name(verdict v) {
  static const char *const names[] = {"accepted", "wrong answer", "presentation error", "judge error"};
  return names[int(v)];
}

const std::vector<ruleset> &rulesets() {
  static const std::vector<ruleset> all = {
      {"checker", {}},
      {"cms", {}},
      {"cms-exact", {}},
      {"wcmp", {}},
      {"lcmp", {}},
      {"ncmp", {}},
      {"rcmp4", {}},
      {"rcmp6", {}},
      {"rcmp9", {}},
      {"validator", {}},
      {"validator", {"case_sensitive"}},
      {"validator", {"space_change_sensitive"}},
      {"validator", {"case_sensitive", "space_change_sensitive"}},
      {"validator", {"float_tolerance", "1e-6"}},
      {"validator", {"float_absolute_tolerance", "1e-4", "case_sensitive"}},
      {"validator", {"space_change_sensitive", "float_relative_tolerance", "1e-9"}},
      {"validator", {"float_relative_tolerance", "1e-4", "float_absolute_tolerance", "1e-6"}},
  };
  return all;
}

}  // namespace rules_model
