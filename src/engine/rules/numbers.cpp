// Numbers past the digits kept. A number keeps its first MAXSIG significant digits, and
// past them only whether any is not zero; two such numbers may still differ there, or lie
// at a tolerance's edge by a unit of their 800th digit. So a pair's digits past MAXSIG are
// also followed as they stream, read abreast (the lagging one goes on), into bounded
// forms. Its exponent comes after its digits, so how the two align is not known while
// they stream; but two numbers within a tolerance that is small beside them have first
// digits at most a place apart, so each form runs under the three shifts of the output
// against the answer, -1, 0 and +1, all from the first digit:
// - the difference, kept exact up to a few digits more than the absolute tolerance and
//   than a message shows, and then its rest as its sign against -1, 0 and 1 units of its
//   last kept place, a carry or a borrow being at most two units;
// - s - (1 + rel) a and s - (1 - rel) a over the magnitudes, each settled once the digits
//   left cannot change its sign.
// Once both exponents are read, the shift they give settles the pair exactly. Where the
// first digits lie two or more places apart the tolerance is large beside the smaller, and
// the digits kept decide: each number lies between two decimals, and a tolerance that
// holds all four pairings of them holds the pair.
#include "rules/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <system_error>
#include <utility>
#include <vector>

namespace linecmp::engine {

void numeral::add(unsigned char c) {
  fresh = 0;
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
    count++;
    fresh = char(c);
    if (sig.size() < MAXSIG)
      sig += char(c);
    else if (c != '0')
      sticky = true;
  }
}

bool numeral::reading() const { return s == START || s == SIGN || s == INT || s == POINT || s == FRAC; }

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

// A sum as a decimal.
decimal ofsum(const sum &s) {
  decimal d;
  d.neg = s.neg;
  for (size_t i = s.d.size(); i-- > 0;) d.digits += char('0' + s.d[i]);
  d.low = s.low;
  return d;
}

// v times ten to the low, for |v| below 100.
decimal small(int v, int64_t low) {
  decimal d;
  if (v == 0) return d;
  d.neg = v < 0;
  int u = v < 0 ? -v : v;
  d.digits = u >= 10 ? std::string{char('0' + u / 10), char('0' + u % 10)} : std::string(1, char('0' + u));
  d.low = low;
  while (d.digits.size() > 1 && d.digits.back() == '0') {
    d.digits.pop_back();
    d.low++;
  }
  return d;
}

// The form for c: C a whole number and m, with the bound on what digits left can add.
signform formof(const decimal &c) {
  signform f;
  f.m = std::max<int64_t>(0, -c.low);
  f.c = c;
  f.c.low += f.m;
  sum b;
  add(b, decimal{false, "1", f.m}, false);
  add(b, magnitude(f.c), false);
  f.bound = ofsum(b);
  return f;
}

// Takes the next place of each magnitude: sd of s, ad of a; neg when their signs differ.
void step(signform &f, int sd, int ad, bool neg) {
  if (f.settled) return;
  if (!f.y.d.empty()) f.y.low++;
  if (sd) add(f.y, decimal{neg, std::string(1, char('0' + sd)), f.m}, false);
  if (ad && !f.c.digits.empty()) add(f.y, times(f.c, decimal{false, std::string(1, char('0' + ad)), 0}), true);
  decimal y = magnitude(ofsum(f.y));
  if (!y.digits.empty() && signof({{&y, false}, {&f.bound, true}}) >= 0) {
    f.settled = true;
    f.sign = f.y.neg ? -1 : 1;
  }
}

// The form's sign over all the digits.
int finalsign(const signform &f) { return f.settled ? f.sign : f.y.d.empty() ? 0 : f.y.neg ? -1 : 1; }

// Takes the difference d of the next place (at: its index, counted from the answer's first).
void step(gapform &g, int d, int64_t at) {
  if (!g.frozen) {
    if (!g.y.d.empty()) g.y.low++;
    if (d) add(g.y, small(d, 0), false);
    g.steps = at;
    if (!g.y.d.empty() && g.y.top() >= g.wide) {
      g.frozen = true;
      g.z[0] = 1;  // the rest plus one unit, and so on
      g.z[1] = 0;
      g.z[2] = -1;
    }
    return;
  }
  // The digits left add less than two units of this place, whatever they are.
  for (size_t k = 0; k < 3; k++) {
    if (g.zset[k]) continue;
    g.z[k] = 10 * g.z[k] + d;
    if (g.z[k] >= 2 || g.z[k] <= -2) {
      g.z[k] = g.z[k] > 0 ? 1 : -1;
      g.zset[k] = true;
    }
  }
}

// The sign of the rest of a frozen difference, in units of its last kept place, less k
// (-1, 0 or 1).
int restsign(const gapform &g, int k) {
  int v = g.z[k + 1];
  return v > 0 ? 1 : v < 0 ? -1 : 0;
}

// Whether a sum is a whole number within [-1, 1], and which.
bool smallwhole(const sum &s, int &v) {
  if (s.d.empty()) {
    v = 0;
    return true;
  }
  if (s.d.size() != 1 || s.low != 0 || s.d[0] != 1) return false;
  v = s.neg ? -1 : 1;
  return true;
}

// The sign of |D| - t, D the difference g read over an answer whose first digit is the
// place ea - 1 (its value 0.digits times ten to the ea).
int gapsign(const gapform &g, int64_t ea, const decimal &t) {
  decimal y = ofsum(g.y);
  int64_t place = ea - g.steps;  // of y's unit
  if (!g.frozen) {
    y.low += place;
    decimal m = magnitude(y);
    return signof({{&m, false}, {&t, true}});
  }
  // |y| has more digits than t: t past them is far below |D|.
  if (t.digits.empty() || t.low < place) return 1;
  decimal tau = t;
  tau.low -= place;
  // Tops two places apart or more settle it, before it is written out.
  if (top(tau) > top(y) + 1) return -1;
  if (top(tau) < top(y) - 1) return 1;
  sum d;  // tau - |y|, a whole number
  add(d, tau, false);
  add(d, magnitude(y), true);
  int v = 0;
  bool near = smallwhole(d, v);
  // |D| - t is rest - v for y above zero, and -(rest + v) below it.
  if (!y.neg) return near ? restsign(g, v) : d.neg ? 1 : -1;
  return near ? -restsign(g, -v) : d.neg ? 1 : -1;
}

// |D| rounded down to its unit, as a decimal, for a message.
decimal gapfloor(const gapform &g, int64_t ea) {
  decimal y = ofsum(g.y);
  int64_t place = ea - g.steps;
  decimal m = magnitude(y);
  if (g.frozen) {
    // |D| is |y| + rest above zero, |y| - rest below it: rest's floor, or its ceiling.
    int f = 0;
    if (!y.neg)
      f = restsign(g, 1) >= 0 ? 1 : restsign(g, 0) >= 0 ? 0 : restsign(g, -1) >= 0 ? -1 : -2;
    else
      f = -(restsign(g, -1) <= 0 ? -1 : restsign(g, 0) <= 0 ? 0 : restsign(g, 1) <= 0 ? 1 : 2);
    sum s;
    add(s, m, false);
    decimal fd = small(f, 0);
    add(s, fd, false);
    m = ofsum(s);
  }
  m.low += place;
  return m;
}

// Whether the pair's streams settle a pair whose first digits' places are delta apart.
bool streamed(const streampair &p, int64_t delta) { return p.on && delta >= -1 && delta <= 1; }

// Queue bound: the reader keeps the two numbers' digits within this of each other.
constexpr size_t QUEUED = 4096;

// The most places 1 + rel may span for the relative forms, whose every step costs them.
constexpr int64_t RELSPAN = 4000;

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
  auto above = [&] {
    decimal part = cut(digits, point, k);
    return signof({{&part, false}, {&t.v, true}}) > 0;
  };
  if (!t.given || t.infinite) return print(digits, point, k, false);
  while (k < 40 && k < digits.size() && !above()) k++;
  // An error within a unit of its 40th digit of the tolerance shows only as at most it.
  return print(digits, point, k, false) + (above() ? "" : ", just above the tolerance");
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

streampair streamof(const margin &abs, const margin &rel) {
  streampair p;
  p.abs = &abs;
  p.rel = &rel;
  return p;
}

void follow(streampair &p, const numeral &a, const numeral &s, bool ended) {
  if (!p.on) {
    if (p.lost || (a.count <= int64_t(MAXSIG) && s.count <= int64_t(MAXSIG))) return;
    // Both streams start over from their kept digits; a zero has no digits to stream.
    if (a.count == 0 || s.count == 0 || a.s == numeral::BAD || s.s == numeral::BAD) {
      p.lost = true;
      return;
    }
    p.on = true;
    p.neg = a.neg != s.neg;
    p.qa = a.sig;
    p.qs = s.sig;
    p.basea = p.bases = 1;
    int64_t wide = std::max<int64_t>(int64_t(p.abs->v.digits.size()), 45) + 3;
    for (size_t k = 0; k < 3; k++) {
      p.gap[k].wide = wide;
      p.at[k] = k == 2 ? 0 : 1;
    }
    // 1 + rel and 1 - rel written out: not for a tolerance whose digits span more places
    // than RELSPAN, as 1e-1000000 would, which the kept digits judge instead.
    const decimal &r = p.rel->v;
    int64_t span = r.digits.empty() ? 1 : std::max<int64_t>(top(r), 0) - std::min<int64_t>(r.low, 0) + 1;
    p.relative = p.rel->given && !p.rel->infinite && span <= RELSPAN;
    if (p.relative) {
      sum up, down;
      add(up, decimal{false, "1", 0}, false);
      add(up, p.rel->v, false);
      add(down, decimal{false, "1", 0}, false);
      add(down, p.rel->v, true);
      for (size_t k = 0; k < 3; k++) {
        p.hi[k] = formof(ofsum(up));
        p.lo[k] = formof(ofsum(down));
      }
    }
  }
  if (a.count >= p.basea + int64_t(p.qa.size())) p.qa += a.fresh;
  if (s.count >= p.bases + int64_t(p.qs.size())) p.qs += s.fresh;
  bool donea = ended || !a.reading(), dones = ended || !s.reading();
  // Each shift takes places while both digits are known: read, or past a number's end.
  int64_t ea = p.basea + int64_t(p.qa.size()), es = p.bases + int64_t(p.qs.size());
  for (size_t k = 0; k < 3; k++) {
    int64_t shift = int64_t(k) - 1;
    for (;;) {
      int64_t i = p.at[k], j = i + shift;
      if ((i >= ea && !donea) || (j >= es && !dones) || (i >= ea && j >= es)) break;
      int ad = i >= 1 && i < ea ? p.qa[size_t(i - p.basea)] - '0' : 0;
      int sd = j >= 1 && j < es ? p.qs[size_t(j - p.bases)] - '0' : 0;
      step(p.gap[k], p.neg ? -sd - ad : sd - ad, i);
      if (p.relative) {
        step(p.hi[k], sd, ad, p.neg);
        step(p.lo[k], sd, ad, p.neg);
      }
      p.at[k]++;
    }
  }
  // Digits every shift has taken go.
  int64_t needa = std::min({p.at[0], p.at[1], p.at[2]}), needs = std::min({p.at[0] - 1, p.at[1], p.at[2] + 1});
  if (needa > p.basea) {
    size_t n = std::min(size_t(needa - p.basea), p.qa.size());
    p.qa.erase(0, n);
    p.basea += int64_t(n);
  }
  if (needs > p.bases) {
    size_t n = std::min(size_t(needs - p.bases), p.qs.size());
    p.qs.erase(0, n);
    p.bases += int64_t(n);
  }
  if (p.qa.size() > QUEUED || p.qs.size() > QUEUED) {
    p.on = false;
    p.lost = true;
  }
}

bool exactwithin(const numeral &a, const numeral &s, const margin &abs, const margin &rel, const streampair &p) {
  if (!a.sticky && !s.sticky) return within(exact(a, false), exact(s, false), abs, rel);
  int64_t ea = a.place + (a.expneg ? -a.exp : a.exp), es = s.place + (s.expneg ? -s.exp : s.exp);
  bool streams = streamed(p, es - ea);
  size_t k = streams ? size_t(es - ea + 1) : 0;
  // Places two or more apart: each number lies strictly between the decimals below and
  // above it, and each tolerance's region is convex for an answer of one sign, so it
  // holds the pair when it holds all four corners. Where no region does, the pair lies
  // within a unit of a 800th digit of an edge, and is rejected.
  auto corners = [&](const margin &x, const margin &y) {
    const std::pair<bool, bool> ups[] = {{false, false}, {false, true}, {true, false}, {true, true}};
    return std::all_of(std::begin(ups), std::end(ups),
                       [&](auto u) { return within(exact(a, u.first), exact(s, u.second), x, y); });
  };
  if (abs.given && (abs.infinite || (streams ? gapsign(p.gap[k], ea, abs.v) <= 0 : corners(abs, margin{}))))
    return true;
  if (!rel.given || rel.infinite) return rel.given;
  if (!streams) return corners(margin{}, rel);
  if (p.relative) return finalsign(p.hi[k]) <= 0 && finalsign(p.lo[k]) >= 0;
  // A tolerance too fine to write out beside 1: the exact difference against it times the
  // answer's kept digits, below the answer, which is within; past it, rejected.
  decimal bound = times(rel.v, magnitude(exact(a, false)));
  return gapsign(p.gap[k], ea, bound) <= 0;
}

bool sameinteger(const numeral &a, const numeral &s) { return a.neg == s.neg && a.sig == s.sig; }

std::string offby(const numeral &a, const numeral &s, const margin &abs, const margin &rel, const streampair &p) {
  decimal x = exact(a, false), y = exact(s, false);
  int64_t ea = a.place + (a.expneg ? -a.exp : a.exp), es = s.place + (s.expneg ? -s.exp : s.exp);
  std::string digits;
  int64_t point = 0;
  if ((a.sticky || s.sticky) && streamed(p, es - ea)) {
    // The exact error, rounded down to the last place its stream kept.
    decimal e = gapfloor(p.gap[size_t(es - ea + 1)], ea);
    digits = e.digits.substr(0, size_t(KEPT - 5));
    point = top(e) + 1;
  } else {
    sum d = total({{&y, false}, {&x, true}});
    for (size_t i = d.d.size(); i-- > 0 && digits.size() < size_t(KEPT - 5);) digits += char('0' + d.d[i]);
    point = d.top() + 1;
  }
  if (digits.empty()) return "off by 0";
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
