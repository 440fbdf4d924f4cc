// Numbers in tokens: a token read a byte at a time into a bounded summary, whatever its
// length, from which the rules tell whether it is a number of their kind and compare it.
#ifndef LINECMP_NUMBERS_H
#define LINECMP_NUMBERS_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace linecmp::engine {

// Significant digits kept of a number; past them only whether any is not zero. A double
// is rounded right from 767 significant digits and a sticky last one.
constexpr size_t MAXSIG = 800;

// A token as a number: [+-]? (digits? "." digits | digits "." | digits) ([Ee] [+-]? digits)?,
// the decimal form that both the problem package format and strtod read.
struct numeral {
  enum state : uint8_t { START, SIGN, INT, POINT, FRAC, E, ESIGN, EXP, BAD };
  state s = START;
  bool neg = false, plus = false, point = false, exponent = false;
  bool zerofirst = false;  // the first digit is a zero
  int64_t digits = 0;      // digits before the exponent
  std::string sig;         // significant digits, leading zeros dropped, at most MAXSIG
  bool sticky = false;     // a digit other than zero past those kept
  int64_t place = 0;       // the value is 0.sig times ten to the place (before the exponent)
  int64_t exp = 0;         // the exponent, held within a bound past which all are alike
  bool expneg = false;

  // Reads the next byte of the token.
  void add(unsigned char c);
  // Whether the token read is a float of that form.
  bool isfloat() const;
  // Whether it is a signed 64-bit integer as testlib's integers are: an optional "-" and
  // digits, with no leading zero and no "-0", within 64 bits.
  bool isinteger() const;
  // Its value, rounded to the nearest double (infinite or zero past what doubles hold).
  double value() const;
};

// Whether s is within the package format's tolerance of a: the values are equal, or
// |s - a| <= abs (when abs >= 0), or |s - a| <= rel * |a| (when rel >= 0).
bool within(double a, double s, double abs, double rel);

// Whether s is within testlib's tolerance eps of a: |s - a| <= eps, or s lies between
// a * (1 - eps) and a * (1 + eps).
bool nearby(double a, double s, double eps);

// Whether the two tokens read, which are integers, are the same integer.
bool sameinteger(const numeral &a, const numeral &s);

// A number as a message shows it: to three significant digits, enough to tell an error
// from a tolerance.
std::string figure(double v);

}  // namespace linecmp::engine

#endif
