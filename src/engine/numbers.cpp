#include "numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>
#include <utility>

namespace linecmp::engine {

// Past this an exponent changes no double: all such are infinite or zero alike.
constexpr int64_t EXPBOUND = 1000000000;

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
    case ESIGN: s = digit ? EXP : BAD; break;
    case EXP: s = digit ? EXP : BAD; break;
    case BAD: return;
  }
  if (s == E) {
    exponent = true;
  } else if (s == ESIGN) {
    expneg = c == '-';
  } else if (s == EXP) {
    exp = exp < EXPBOUND ? exp * 10 + (c - '0') : EXPBOUND;
  } else if (s == INT || s == FRAC) {
    if (digits++ == 0) zerofirst = c == '0';
    if (sig.empty() && c == '0') {
      if (s == FRAC) place--;  // a zero after the point and before any other digit
      return;
    }
    if (s == INT) place++;
    if (sig.size() < MAXSIG)
      sig += char(c);
    else if (c != '0')
      sticky = true;
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
  int64_t total = place + (expneg ? -exp : exp);
  std::string text = "0." + sig + (sticky ? "1" : "") + "e" + std::to_string(total);
  double v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec == std::errc::result_out_of_range) v = total > 0 ? HUGE_VAL : 0.0;
  return neg ? -v : v;
}

bool within(double a, double s, double abs, double rel) {
  if (s == a) return true;
  double d = std::fabs(s - a);
  if (!std::isfinite(d)) return false;
  return (abs >= 0 && d <= abs) || (rel >= 0 && d <= rel * std::fabs(a));
}

bool nearby(double a, double s, double eps) {
  if (std::fabs(s - a) <= eps) return true;
  double lo = a * (1 - eps), hi = a * (1 + eps);
  if (lo > hi) std::swap(lo, hi);
  return lo <= s && s <= hi;
}

bool sameinteger(const numeral &a, const numeral &s) { return a.neg == s.neg && a.sig == s.sig; }

std::string figure(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", v);
  return text;
}

}  // namespace linecmp::engine
