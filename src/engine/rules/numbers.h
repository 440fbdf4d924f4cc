// Numbers in tokens: a token read a byte at a time into a bounded summary, whatever its
// length, from which the rules tell whether it is a number of their kind and compare it,
// on the exact decimal values the tokens spell.
#ifndef LINECMP_NUMBERS_H
#define LINECMP_NUMBERS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace linecmp::engine {

// Significant digits kept of a number; past them only whether any is not zero, and the
// digits as they stream by, for the pair. A double is rounded right from 767 significant
// digits and a sticky last one.
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
  int64_t count = 0;       // significant digits read, those past MAXSIG too
  char fresh = 0;          // the significant digit the last byte read was, or 0
  int64_t place = 0;       // the value is 0.sig times ten to the place (before the exponent)
  int64_t exp = 0;         // the exponent, at most EXPBOUND
  bool expneg = false;

  // Reads the next byte of the token.
  void add(unsigned char c);
  // Whether its significant digits may still go on: none of the exponent read, nor a
  // byte outside the form.
  bool reading() const;
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

// A sum being formed: a decimal whose digits are kept least significant first, 0 to 9.
struct sum {
  bool neg = false;
  std::vector<uint8_t> d;  // empty for zero
  int64_t low = 0;
  int64_t top() const { return low + int64_t(d.size()) - 1; }
};

// A tolerance as its flag spells it: given or not, its exact value, and infinite when its
// exponent passes EXPBOUND upwards (one past it downwards is zero).
struct margin {
  bool given = false, infinite = false;
  decimal v;
};

// The tolerance that text, a float not negative, spells.
margin toleranceof(const std::string &text);

// The sign of sigma s - c a over the digits of two numbers' magnitudes, read from the top
// a place at a time, c = C times ten to the -m: settled as soon as the digits left cannot
// change it.
struct signform {
  decimal c, bound;  // C, and 10^m + |C|: what the digits left can add at most
  int64_t m = 0;
  sum y;  // its value so far, in units of the place last read, times ten to the m
  int sign = 0;
  bool settled = false;
};

// s - a, or -(s + a) when their signs differ, over the digits of two numbers' magnitudes:
// kept exact while under `wide` digits, then as those digits and the sign of the rest
// against -1, 0 and 1 units of the last kept place.
struct gapform {
  int64_t wide = 0;
  sum y;              // the difference so far, in units of the place last read
  int64_t steps = 0;  // places read, or where it froze
  bool frozen = false;
  int z[3] = {0, 0, 0};  // the rest, less -1, 0 and 1 units, times ten to the places since
  bool zset[3] = {false, false, false};
};

// Two numbers' digits read side by side past MAXSIG, as one may stand a place above or
// below the other: for each of those three shifts, their difference and the two edges of
// the relative tolerance (see numbers.cpp).
struct streampair {
  const margin *abs = nullptr, *rel = nullptr;  // which outlive it
  bool on = false;                              // digits past MAXSIG came, and both numbers are not zero
  bool lost = false;                            // the streams could not be followed: the kept digits decide
  bool neg = false;                             // their signs differ
  bool relative = false;                        // the relative forms are kept
  std::string qa, qs;                           // digits read and not yet taken by every shift
  int64_t basea = 0, bases = 0;                 // the index of each queue's first digit
  bool donea = false, dones = false;            // each number's digits have all been read
  int64_t at[3] = {0, 0, 0};                    // the next answer digit each shift takes (-1, 0, +1)
  gapform gap[3];
  signform hi[3], lo[3];  // c = 1 + rel and c = 1 - rel
};

// A pair's reading past the digits kept, for those tolerances.
streampair streamof(const margin &abs, const margin &rel);

// Takes what the last byte read into a or s brought: a digit, or the end of its digits;
// ended when both tokens have ended.
void follow(streampair &p, const numeral &a, const numeral &s, bool ended);

// Whether s is within the tolerances of a on their exact values: |s - a| <= abs or
// |s - a| <= rel |a|, for each that is given. p is the pair's reading past MAXSIG digits.
bool exactwithin(const numeral &a, const numeral &s, const margin &abs, const margin &rel, const streampair &p);

// Whether the two tokens read, which are integers, are the same integer.
bool sameinteger(const numeral &a, const numeral &s);

// How far s is from a, as a rejection tells it: "off by D (relative: R)", each rounded
// toward zero to the fewest significant digits, from 3 to 40, at which it still shows
// above its tolerance (when given).
std::string offby(const numeral &a, const numeral &s, const margin &abs, const margin &rel, const streampair &p);

// A tolerance as a message shows it: all its digits.
std::string shown(const margin &t);

}  // namespace linecmp::engine

#endif
