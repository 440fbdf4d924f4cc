// Numbers in tokens: a token read a byte at a time into a bounded summary, whatever its
// length, from which the rules tell whether it is a number of their kind and compare it,
// on the exact decimal values the tokens spell.
#ifndef LINECMP_NUMBERS_H
#define LINECMP_NUMBERS_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace linecmp::engine {

// Significant digits kept of a number; past them only whether any is not zero. A double
// is rounded right from 767 significant digits and a sticky last one.
constexpr size_t MAXSIG = 800;

// The largest exponent written that a number may have: past it an answer cannot be
// judged, and an output matches only the same bytes.
constexpr int64_t EXPBOUND = 1000000000000000000;

// A token as a number: [+-]? (digits? "." digits | digits "." | digits) ([Ee] [+-]? digits)?,
// the decimal form that both the problem package format and strtod read.
struct numeral {
  enum state : uint8_t { START, SIGN, INT, POINT, FRAC, E, ESIGN, EXP, BAD };
  state s = START;
  bool neg = false, plus = false, point = false, exponent = false;
  bool zerofirst = false;  // the first digit is a zero
  bool huge = false;       // the exponent written passes EXPBOUND
  int64_t digits = 0;      // digits before the exponent
  std::string sig;         // significant digits, leading zeros dropped, at most MAXSIG
  bool sticky = false;     // a digit other than zero past those kept
  // The digits past those kept, up to the last that is not zero: how many, and their
  // value modulo a prime, which tells two such numbers of one value from most others.
  int64_t tail = 0, tailzeros = 0;
  uint64_t tailhash = 0;
  int64_t place = 0;  // the value is 0.sig times ten to the place (before the exponent)
  int64_t exp = 0;    // the exponent, at most EXPBOUND
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
  // Whether its value is one a double holds: not past the largest, and not a number
  // other than zero that rounds to zero.
  bool indouble() const;
};

// A decimal exactly: +-digits times ten to the low, digits with no zero at either end
// (none for zero).
struct decimal {
  bool neg = false;
  std::string digits;
  int64_t low = 0;
};

// A tolerance as its flag spells it: given or not, its exact value, and infinite when its
// exponent passes EXPBOUND upwards (one past it downwards is zero).
struct margin {
  bool given = false, infinite = false;
  decimal v;
};

// The tolerance that text, a float not negative, spells.
margin toleranceof(const std::string &text);

// Whether s is within the tolerances of a on their exact values: |s - a| <= abs or
// |s - a| <= rel |a|, for each that is given. A number with digits past MAXSIG lies
// between two decimals; it is within when both are (see numbers.cpp).
bool exactwithin(const numeral &a, const numeral &s, const margin &abs, const margin &rel);

// Whether the two tokens read, which are integers, are the same integer.
bool sameinteger(const numeral &a, const numeral &s);

// How far s is from a, as a rejection tells it: "off by D (relative: R)", each rounded
// toward zero to the fewest significant digits, from 3 to 40, at which it still shows
// above its tolerance (when given).
std::string offby(const numeral &a, const numeral &s, const margin &abs, const margin &rel);

// A tolerance as a message shows it: all its digits.
std::string shown(const margin &t);

}  // namespace linecmp::engine

#endif
