#include "rules/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

namespace linecmp::engine {

void numeral::add(unsigned char c) {
  bool digit = c >= '0' && c <= '9';
  bool sign = c == '+' || c == '-';
  bool e = c == 'e' || c == 'E';
  switch (s) {
    case START:
      if (sign) {
        neg = c == '-';
        plus = c == '+';
        s = SIGN;
        return;
      }
      [[fallthrough]];
    case SIGN:
      if (c == '.') {
        point = true;
        s = POINT;
        return;
      }
      s = digit ? INT : BAD;
      break;
    case INT:
      if (c == '.') {
        point = true;
        s = FRAC;
        return;
      }
      s = digit ? INT : e ? E : BAD;
      break;
    case POINT: s = digit ? FRAC : BAD; break;
    case FRAC: s = digit ? FRAC : e ? E : BAD; break;
    case E: s = sign ? ESIGN : digit ? EXP : BAD; break;
    case ESIGN:  // an exponent's digits go on as after its first
    case EXP: s = digit ? EXP : BAD; break;
    case BAD: return;
  }
  if (s == E) {
    exponent = true;
  } else if (s == ESIGN) {
    expneg = c == '-';
  } else if (s == EXP) {
    if (exp > (EXPBOUND - (c - '0')) / 10)
      huge = true;
    else
      exp = exp * 10 + (c - '0');
  } else if (s == INT || s == FRAC) {
    if (digits++ == 0) zerofirst = c == '0';
    if (sig.empty() && c == '0') {
      if (s == FRAC) place--;  // a zero after the point and before any other digit
      return;
    }
    if (s == INT) place++;
    if (sig.size() < MAXSIG) {
      sig += char(c);
    } else if (c == '0') {
      tailzeros++;
    } else {
      // 10^18 + 9 is prime, and ten times a residue plus a digit stays within 64 bits.
      constexpr uint64_t PRIME = 1000000000000000009ULL;
      for (; tailzeros > 0; tailzeros--, tail++) tailhash = tailhash * 10 % PRIME;
      tailhash = (tailhash * 10 + uint64_t(c - '0')) % PRIME;
      tail++;
      sticky = true;
    }
  }
}

bool numeral::isfloat() const { return s == INT || s == FRAC || s == EXP; }

bool numeral::isinteger() const {
  if (s != INT || plus || (zerofirst && (digits > 1 || neg))) return false;
  const char *most = neg ? "9223372036854775808" : "9223372036854775807";
  return sig.size() < 19 || (sig.size() == 19 && sig <= most);
}

double numeral::value() const {
  if (sig.empty()) return neg ? -0.0 : 0.0;
  if (huge) return expneg ? (neg ? -0.0 : 0.0) : neg ? -HUGE_VAL : HUGE_VAL;
  int64_t total = place + (expneg ? -exp : exp);
  std::string text = "0." + sig + (sticky ? "1" : "") + "e" + std::to_string(total);
  double v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec == std::errc::result_out_of_range) v = total > 0 ? HUGE_VAL : 0.0;
  return neg ? -v : v;
}

bool numeral::indouble() const {
  double v = value();
  return std::isfinite(v) && (v != 0 || sig.empty());
}

namespace {

// The exact value of n, or for one with digits past those kept, the decimal just below
// its magnitude (up false: the digits kept) or just above (up: one more in the last).
// n's exponent is within EXPBOUND.
decimal exact(const numeral &n, bool up) {
  decimal d;
  d.neg = n.neg;
  if (n.sig.empty()) return d;
  d.digits = n.sig;
  d.low = n.place + (n.expneg ? -n.exp : n.exp) - int64_t(n.sig.size());
  if (up && n.sticky) {
    size_t i = d.digits.size();
    while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
    if (i == 0)
      d.digits.insert(d.digits.begin(), '1');
    else
      d.digits[i - 1]++;
  }
  size_t zeros = 0;
  while (d.digits[d.digits.size() - 1 - zeros] == '0') zeros++;
  d.digits.resize(d.digits.size() - zeros);
  d.low += int64_t(zeros);
  return d;
}

// The place of a decimal's first digit, which is not zero.
int64_t top(const decimal &x) { return x.low + int64_t(x.digits.size()) - 1; }

// A sum being formed: a decimal whose digits are kept least significant first, 0 to 9.
struct sum {
  bool neg = false;
  std::vector<uint8_t> d;  // empty for zero
  int64_t low = 0;
  int64_t top() const { return low + int64_t(d.size()) - 1; }
};

// Drops zeros at both ends of s.
void trim(sum &s) {
  while (!s.d.empty() && s.d.back() == 0) s.d.pop_back();
  size_t z = 0;
  while (z < s.d.size() && s.d[z] == 0) z++;
  s.d.erase(s.d.begin(), s.d.begin() + std::ptrdiff_t(z));
  s.low = s.d.empty() ? 0 : s.low + int64_t(z);
}

// Adds x, negated when negate, to s exactly.
void add(sum &s, const decimal &x, bool negate) {
  if (x.digits.empty()) return;
  bool neg = x.neg != negate;
  int64_t lo = std::min(s.d.empty() ? x.low : s.low, x.low);
  if (!s.d.empty()) s.d.insert(s.d.begin(), size_t(s.low - lo), 0);
  s.low = lo;
  std::vector<uint8_t> y(size_t(x.low - lo), 0);
  for (size_t i = x.digits.size(); i-- > 0;) y.push_back(uint8_t(x.digits[i] - '0'));
  if (s.d.empty()) {
    s.d = std::move(y);
    s.neg = neg;
    return;
  }
  std::vector<uint8_t> &a = s.d;
  if (s.neg == neg) {
    if (a.size() < y.size()) a.resize(y.size(), 0);
    int carry = 0;
    for (size_t i = 0; i < a.size(); i++) {
      int v = a[i] + (i < y.size() ? y[i] : 0) + carry;
      a[i] = uint8_t(v % 10);
      carry = v / 10;
    }
    if (carry) a.push_back(uint8_t(carry));
  } else {
    // The smaller magnitude from the larger, which gives the sign.
    auto less = [](const std::vector<uint8_t> &p, const std::vector<uint8_t> &q) {
      size_t n = std::max(p.size(), q.size());
      for (size_t i = n; i-- > 0;) {
        int u = i < p.size() ? p[i] : 0, v = i < q.size() ? q[i] : 0;
        if (u != v) return u < v;
      }
      return false;
    };
    if (less(a, y)) {
      std::swap(a, y);
      s.neg = neg;
    }
    int borrow = 0;
    for (size_t i = 0; i < a.size(); i++) {
      int v = a[i] - (i < y.size() ? y[i] : 0) - borrow;
      borrow = v < 0;
      a[i] = uint8_t(v + (borrow ? 10 : 0));
    }
  }
  trim(s);
}

// Digits of a sum kept exact at its top: the rest settles only its sign and the digits
// past them.
constexpr int64_t KEPT = 50;

// The sum of the terms (each a decimal and whether it is negated), exact in its sign and
// its first KEPT - 5 digits. Terms far below the digits already summed only nudge them:
// their own sum stands in as a unit of its sign just below them, so that exponents up to
// EXPBOUND apart never widen the sum past a few times MAXSIG digits.
sum total(std::vector<std::pair<const decimal *, bool>> terms) {
  terms.erase(std::remove_if(terms.begin(), terms.end(), [](const auto &t) { return t.first->digits.empty(); }),
              terms.end());
  std::sort(terms.begin(), terms.end(), [](const auto &x, const auto &y) { return top(*x.first) > top(*y.first); });
  sum s;
  for (size_t i = 0; i < terms.size(); i++) {
    int64_t floor = std::min(s.low, s.top() - KEPT);
    // The terms left are each below ten to their top + 1, and are at most three.
    if (!s.d.empty() && top(*terms[i].first) + 2 < floor) {
      sum rest = total({terms.begin() + std::ptrdiff_t(i), terms.end()});
      if (!rest.d.empty()) add(s, decimal{rest.neg, "1", floor - 2}, false);
      return s;
    }
    add(s, *terms[i].first, terms[i].second);
  }
  return s;
}

// -1, 0 or 1 as the sum of the terms is below, at or above zero.
int signof(const std::vector<std::pair<const decimal *, bool>> &terms) {
  sum s = total(terms);
  return s.d.empty() ? 0 : s.neg ? -1 : 1;
}

// x times y, exactly.
decimal times(const decimal &x, const decimal &y) {
  decimal p;
  if (x.digits.empty() || y.digits.empty()) return p;
  std::vector<uint32_t> v(x.digits.size() + y.digits.size(), 0);
  for (size_t i = x.digits.size(); i-- > 0;)
    for (size_t j = y.digits.size(); j-- > 0;)
      v[i + j + 1] += uint32_t(x.digits[i] - '0') * uint32_t(y.digits[j] - '0');
  for (size_t k = v.size(); k-- > 1;) {
    v[k - 1] += v[k] / 10;
    v[k] %= 10;
  }
  for (uint32_t c : v) p.digits += char('0' + c);
  size_t lead = p.digits.find_first_not_of('0'), end = p.digits.find_last_not_of('0');
  p.low = x.low + y.low + int64_t(p.digits.size() - 1 - end);
  p.digits = p.digits.substr(lead, end + 1 - lead);
  p.neg = x.neg != y.neg;
  return p;
}

decimal magnitude(decimal x) {
  x.neg = false;
  return x;
}

// Whether s is within the tolerances of a, both exact.
bool within(const decimal &a, const decimal &s, const margin &abs, const margin &rel) {
  int c = signof({{&s, false}, {&a, true}});
  if (c == 0) return true;
  // |s - a| - bound, from s - a given its sign
  auto fits = [&](const decimal &bound) { return signof({{&s, c < 0}, {&a, c > 0}, {&bound, true}}) <= 0; };
  if (abs.given && (abs.infinite || fits(abs.v))) return true;
  return rel.given && !a.digits.empty() && (rel.infinite || fits(times(rel.v, magnitude(a))));
}

// The first want significant digits of n / d, both whole numbers written as digits, n not
// zero; point gets P such that the quotient is 0.digits times ten to the P.
std::string quotient(const std::string &n, const std::string &d, size_t want, int64_t &point) {
  std::string q;
  std::vector<uint8_t> r, by(d.size());  // the remainder and d, most significant first
  std::transform(d.begin(), d.end(), by.begin(), [](char c) { return uint8_t(c - '0'); });
  auto below = [&] {  // r < d
    auto lead = std::find_if(r.begin(), r.end(), [](uint8_t x) { return x != 0; });
    size_t len = size_t(r.end() - lead);
    if (len != by.size()) return len < by.size();
    return std::lexicographical_compare(lead, r.end(), by.begin(), by.end());
  };
  for (size_t i = 0; q.size() < want; i++) {
    r.push_back(uint8_t(i < n.size() ? n[i] - '0' : 0));
    int digit = 0;
    while (!below()) {
      int borrow = 0;
      for (size_t k = 0; k < r.size(); k++) {
        size_t at = r.size() - 1 - k;
        int v = r[at] - (k < d.size() ? d[d.size() - 1 - k] - '0' : 0) - borrow;
        borrow = v < 0;
        r[at] = uint8_t(v + (borrow ? 10 : 0));
      }
      digit++;
    }
    while (r.size() > d.size() && r.front() == 0) r.erase(r.begin());
    if (q.empty() && digit == 0) continue;
    if (q.empty()) point = int64_t(n.size()) - int64_t(i);
    q += char('0' + digit);
  }
  return q;
}

// A decimal given as its digits (most significant first, possibly with zeros at the end)
// and P, the value being 0.digits times ten to the P, as a message shows it: the first k
// digits, as printf's %g would with that precision, rounded toward zero.
std::string print(std::string digits, int64_t point, size_t k, bool neg) {
  digits.resize(std::min(digits.size(), k));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int64_t x = point - 1;  // the exponent of the first digit
  std::string s = neg ? "-" : "";
  if (x < -4 || x >= int64_t(std::max<size_t>(k, 1))) {
    s += digits.substr(0, 1);
    if (digits.size() > 1) s += "." + digits.substr(1);
    char e[32];
    std::snprintf(e, sizeof e, "e%c%02lld", x < 0 ? '-' : '+', static_cast<long long>(x < 0 ? -x : x));
    return s + e;
  }
  if (x < 0) return s + "0." + std::string(size_t(-x - 1), '0') + digits;
  if (int64_t(digits.size()) <= x + 1) return s + digits + std::string(size_t(x + 1) - digits.size(), '0');
  return s + digits.substr(0, size_t(x + 1)) + "." + digits.substr(size_t(x + 1));
}

// The decimal the first k of digits spell (0.digits times ten to the point).
decimal cut(const std::string &digits, int64_t point, size_t k) {
  decimal d;
  d.digits = digits.substr(0, std::min(k, digits.size()));
  d.low = point - int64_t(d.digits.size());
  while (!d.digits.empty() && d.digits.back() == '0') {
    d.digits.pop_back();
    d.low++;
  }
  return d;
}

// An error as a message shows it: to the fewest significant digits from 3 to 40 at which,
// rounded toward zero, it still shows above the tolerance.
std::string error(const std::string &digits, int64_t point, const margin &t) {
  size_t k = 3;
  while (k < 40 && t.given && !t.infinite && k < digits.size()) {
    decimal part = cut(digits, point, k);
    if (signof({{&part, false}, {&t.v, true}}) > 0) break;
    k++;
  }
  return print(digits, point, k, false);
}

}  // namespace

margin toleranceof(const std::string &text) {
  numeral n;
  for (unsigned char c : text) n.add(c);
  margin t;
  t.given = true;
  if (n.huge && !n.expneg && !n.sig.empty())
    t.infinite = true;
  else if (!n.huge)
    t.v = exact(n, false);
  return t;
}

bool exactwithin(const numeral &a, const numeral &s, const margin &abs, const margin &rel) {
  // A number past MAXSIG digits lies strictly between the decimals below and above it.
  // Where both agree for every pairing, so does every value between them, the tolerated
  // values of s being an interval for each a. Where they part, a value lies within a unit
  // of its 800th digit of the tolerance's edge, which the digits kept cannot settle: it
  // is rejected.
  bool verdict = within(exact(a, false), exact(s, false), abs, rel);
  if (!a.sticky && !s.sticky) return verdict;
  // Two such numbers of the same digits, as far as the digits kept and the remainder of
  // the rest tell, are taken as the same value.
  if (a.sticky && s.sticky && a.neg == s.neg && a.sig == s.sig && a.tail == s.tail && a.tailhash == s.tailhash &&
      a.place + (a.expneg ? -a.exp : a.exp) == s.place + (s.expneg ? -s.exp : s.exp))
    return true;
  bool alike = within(exact(a, false), exact(s, true), abs, rel) == verdict &&
               within(exact(a, true), exact(s, false), abs, rel) == verdict &&
               within(exact(a, true), exact(s, true), abs, rel) == verdict;
  return alike && verdict;
}

bool sameinteger(const numeral &a, const numeral &s) { return a.neg == s.neg && a.sig == s.sig; }

std::string offby(const numeral &a, const numeral &s, const margin &abs, const margin &rel) {
  decimal x = exact(a, false), y = exact(s, false);
  sum d = total({{&y, false}, {&x, true}});
  if (d.d.empty()) return "off by 0";
  std::string digits;
  for (size_t i = d.d.size(); i-- > 0 && digits.size() < size_t(KEPT - 5);) digits += char('0' + d.d[i]);
  int64_t point = d.top() + 1;
  std::string text = "off by " + error(digits, point, abs) + " (relative: ";
  if (x.digits.empty()) return text + "none (the answer is 0))";
  int64_t qpoint = 0;
  std::string q = quotient(digits, x.digits, 41, qpoint);
  // digits stand for a whole number times ten to point - size, x for one times ten to x.low
  qpoint += point - int64_t(digits.size()) - x.low;
  return text + error(q, qpoint, rel) + ")";
}

std::string shown(const margin &t) {
  if (t.infinite) return "infinite";
  if (t.v.digits.empty()) return "0";
  return print(t.v.digits, top(t.v) + 1, std::max<size_t>(t.v.digits.size(), 6), false);
}

}  // namespace linecmp::engine
