#include "rules_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace rules_model {

namespace {

using strings = std::vector<std::string>;

struct fault {};    // judging cannot be done: rules, flags or an answer at fault
struct unknown {};  // numbers whose exponents lie too far apart to write out here

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

// A number exactly: -1^neg times the whole number m (decimal digits, least significant
// first, no zero at the top) times ten to the e. huge when its exponent is past 10^18.
struct dec {
  bool neg = false, huge = false;
  std::vector<int> m;
  long long e = 0;
};

void top(std::vector<int> &m) {
  while (!m.empty() && m.back() == 0) m.pop_back();
}

// A float of the validator's grammar (strtod reads rcmp's doubles the same way).
dec parse(std::string_view t) {
  dec x;
  size_t i = t.find_first_of("eE");
  std::string_view man = t.substr(0, i), ex = i == t.npos ? "" : t.substr(i + 1);
  x.neg = man[0] == '-';
  for (size_t k = man.size(); k-- > 0;)
    if (digit(man[k])) x.m.push_back(man[k] - '0');
  size_t point = man.find('.');
  if (point != man.npos) x.e -= (long long)(man.size() - point - 1);
  std::string_view d = ex.substr(!ex.empty() && (ex[0] == '+' || ex[0] == '-'));
  d = d.substr(std::min(d.find_first_not_of('0'), d.size()));
  x.huge = d.size() > 19 || (d.size() == 19 && d > "1000000000000000000");
  if (!d.empty() && !x.huge) x.e += (ex[0] == '-' ? -1 : 1) * std::stoll(std::string(d));
  top(x.m);
  return x;
}

// The magnitude of x as a whole number of units of ten to the e, e <= x.e.
std::vector<int> at(const dec &x, long long e) {
  if (!x.m.empty() && x.e - e > 1000000) throw unknown{};
  std::vector<int> m(x.m.empty() ? 0 : size_t(x.e - e), 0);
  m.insert(m.end(), x.m.begin(), x.m.end());
  return m;
}

int cmp(std::vector<int> a, std::vector<int> b) {
  top(a), top(b);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = a.size(); i-- > 0;)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

// a + b, or a - b (a >= b) when minus.
std::vector<int> addsub(std::vector<int> a, const std::vector<int> &b, bool minus) {
  a.resize(std::max(a.size(), b.size()) + 1, 0);
  for (size_t i = 0; i < a.size(); i++) {
    a[i] += (minus ? -1 : 1) * (i < b.size() ? b[i] : 0);
    if (a[i] < 0 || a[i] > 9) a[i + 1] += a[i] < 0 ? -1 : 1, a[i] += a[i] < 0 ? 10 : -10;
  }
  top(a);
  return a;
}

std::vector<int> times(const std::vector<int> &a, const std::vector<int> &b) {
  std::vector<int> m(a.size() + b.size() + 1, 0);
  for (size_t i = 0; i < a.size(); i++)
    for (size_t j = 0; j < b.size(); j++) m[i + j] += a[i] * b[j];
  for (size_t i = 0; i + 1 < m.size(); i++) m[i + 1] += m[i] / 10, m[i] %= 10;
  top(m);
  return m;
}

// a + b, exactly.
dec plus(const dec &a, const dec &b) {
  dec r;
  r.e = std::min(a.e, b.e);
  std::vector<int> x = at(a, r.e), y = at(b, r.e);
  bool bigger = cmp(x, y) >= 0;
  r.neg = a.neg == b.neg || bigger ? a.neg : b.neg;
  r.m = a.neg == b.neg ? addsub(x, y, false) : bigger ? addsub(x, y, true) : addsub(y, x, true);
  return r;
}

// Brings terms whose digits lie more than 1000 places below the rest's up to 1000 below
// them, all higher ones moving alike: the sign of any sum of them stays, as the lower ones
// only tell it when the higher ones cancel.
void gather(std::vector<dec *> t) {
  t.erase(std::remove_if(t.begin(), t.end(), [](dec *x) { return x->m.empty(); }), t.end());
  std::sort(t.begin(), t.end(), [](dec *x, dec *y) { return x->e < y->e; });
  long long reach = 0;  // the place past the digits of the terms so far
  for (size_t i = 0; i < t.size(); i++) {
    if (i > 0 && t[i]->e - reach > 1000)
      for (size_t j = t.size(); j-- > i;) t[j]->e -= t[i]->e - reach - 1000;
    reach = i == 0 ? t[i]->e + (long long)t[i]->m.size() : std::max(reach, t[i]->e + (long long)t[i]->m.size());
  }
}

// |s - a| <= t, or <= t |a| when relative, all exact.
bool close(dec a, dec s, const dec &t, bool relative) {
  dec bound = t;
  if (relative) bound.m = times(a.m, t.m), bound.e = a.e + t.e;
  gather({&a, &s, &bound});
  dec d = a;
  d.neg = !a.neg;
  d = plus(s, d);
  d.neg = true;
  d = plus(bound, d);  // bound - |s - a|
  return d.m.empty() || !d.neg;
}

// The problem package format's default output validator.
verdict validator(const strings &flags, std::string_view answer, std::string_view output) {
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
      if (!isfloat(v) || (v[0] == '-' && !parse(v).m.empty())) throw fault{};
      if (f != "float_relative_tolerance") abs = v;
      if (f != "float_absolute_tolerance") rel = v;
    }
  }

  strings ag, og, a = split(answer, anyspace, &ag), o = split(output, anyspace, &og);
  // Open case: pairs are judged in order, so that an answer's number that cannot be
  // judged is a fault only once the pairs and whitespace before it agree.
  for (size_t i = 0; i < std::min(a.size(), o.size()); i++) {
    if (spaces && ag[i] != og[i]) return verdict::wrong_answer;
    if ((abs.empty() && rel.empty()) || !isfloat(a[i])) {
      if (!same(a[i], o[i], cases)) return verdict::wrong_answer;
      continue;
    }
    if (!isfloat(o[i])) return verdict::wrong_answer;
    // Open case: an exponent past 10^18 cannot be judged in an answer, and in an output
    // matches only the same spelling.
    if (same(a[i], o[i], cases)) continue;
    dec x = parse(a[i]), s = parse(o[i]);
    if (x.huge) throw fault{};
    if (s.huge) return verdict::wrong_answer;
    if (!(!abs.empty() && close(x, s, parse(abs), false)) && !(!rel.empty() && close(x, s, parse(rel), true)))
      return verdict::wrong_answer;
  }
  return a.size() != o.size() || (spaces && ag != og) ? verdict::wrong_answer : verdict::accepted;
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

// testlib's rcmp4, rcmp6 and rcmp9, token by token, on what strtod reads, in double
// arithmetic, values past 1e300 in size infinite. Open case: where either value is one
// no double holds (it overflows, or underflows from a value other than zero), both
// compare exactly within 10^-digits, absolute or relative; an exponent past 10^18 is as
// in the validator.
verdict rcmp(int digits, std::string_view answer, std::string_view output) {
  strings a = split(answer, testspace), o = split(output, testspace);
  // Open case: the answer is checked whole, so a faulty answer is a judge error whatever
  // the output, not only when the output gets as far as the fault.
  if (!std::all_of(a.begin(), a.end(), [](auto &t) { return isdouble(t) && !parse(t).huge; })) throw fault{};
  auto held = [](const std::string &t) {
    double v = std::strtod(t.c_str(), nullptr);
    return std::isfinite(v) && (v != 0 || parse(t).m.empty());
  };
  for (size_t i = 0; i < a.size(); i++) {
    if (i >= o.size() || !isdouble(o[i])) return verdict::presentation_error;
    if (a[i] == o[i]) continue;
    if (parse(o[i]).huge) return verdict::wrong_answer;
    bool ok = false;
    if (held(a[i]) && held(o[i])) {
      double eps = std::strtod(("1e-" + std::to_string(digits)).c_str(), nullptr) + 1e-15;
      double x = std::strtod(a[i].c_str(), nullptr), s = std::strtod(o[i].c_str(), nullptr);
      double lo = std::min(x * (1 - eps), x * (1 + eps)), hi = std::max(x * (1 - eps), x * (1 + eps));
      // testlib counts a value past 1e300 in size as infinite, matched by one of its sign.
      auto infinite = [](double v) { return v > 1e300 || v < -1e300; };
      if (infinite(x) || infinite(s))
        ok = infinite(x) && infinite(s) && (x > 0) == (s > 0);
      else
        ok = std::fabs(s - x) <= eps || (lo <= s && s <= hi);
    } else {
      dec x = parse(a[i]), s = parse(o[i]), eps = parse("1e-" + std::to_string(digits));
      ok = close(x, s, eps, false) || close(x, s, eps, true);
    }
    if (!ok) return verdict::wrong_answer;
  }
  return o.size() > a.size() ? verdict::presentation_error : verdict::accepted;
}

}  // namespace

std::string exact(const std::string &x, char op, const std::string &y) {
  dec a = parse(x), b = parse(y), r;
  if (op == '*')
    r.m = times(a.m, b.m), r.neg = a.neg != b.neg, r.e = a.e + b.e;
  else
    b.neg = b.neg != (op == '-'), r = plus(a, b);
  std::string t = r.neg && !r.m.empty() ? "-" : "";
  for (size_t i = r.m.size(); i-- > 0;) t += char('0' + r.m[i]);
  return (r.m.empty() ? "0" : t) + "e" + std::to_string(r.e);
}

modelled model(std::string_view rules, const std::vector<std::string> &flags, std::string_view answer,
               std::string_view output) {
  modelled m;
  try {
    // Open case: only the validator takes flags; any given to other rules is a fault.
    if (rules != "validator" && !flags.empty()) throw fault{};
    if (rules == "validator")
      m.v = validator(flags, answer, output);
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
      m.v = rcmp(rules.back() - '0', answer, output);
    else
      throw fault{};
  } catch (const fault &) {
    m = {verdict::judge_error};
  } catch (const unknown &) {
    m.known = false;
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
