// An input's form under one row of the kind, made as its bytes come, 64 at a time where
// the CPU can: what the row keeps of each byte, in order, so that two inputs are equal
// under the row exactly when their forms are equal byte for byte.
//
// The forms, each a function of the one before it (so the form of a form is the form):
//   0 finalnewline  the bytes as they are (the line feed added at the end comes from the caller);
//   1 lineendings   a CR just before a line feed dropped;
//   2 trailing      spaces, tabs and CRs just before a line feed dropped;
//   3 blanklines    also the line feed of a line that had nothing else;
//   4 spacing       each line's tokens, one space between two, then its line feed; lines
//                   without a token dropped. Equal forms mean the same tokens in the same
//                   order; the converse needs the lines to pair, as tokens may cross them;
//   5 lettercase    the same, ASCII letters folded.
// Row 1 alone is not idempotent (CR CR LF gives CR LF): so the forms are compared, never
// reformed under the same row.
//
// A run of whitespace that a later line feed would drop goes out as it comes and is taken
// back when that line feed comes: pend says where it starts, and the bytes from there on
// are not final yet.
#ifndef LINECMP_FORM_H
#define LINECMP_FORM_H

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "scan/scan.h"

namespace linecmp::engine {

// No run pending.
constexpr size_t NOPEND = ~size_t{0};

// Where a form stands between two calls.
struct formstate {
  int row = 0;
  size_t pend = NOPEND;  // rows 1 to 3: where in the form the run the row may yet drop starts
  bool seen = false;     // rows 3 to 5: the current line has a byte the row keeps (3) or a token (4, 5)
  bool lastws = false;   // rows 4, 5: the last byte was whitespace, so a token next starts anew
  int64_t blanks = 0;    // row 3: the lines it dropped
  int firstend = 0;      // rows 2, 3: how the first pending run ended since the caller set 0: 1 kept, 2 dropped
};

// A form being made: out[0, len) so far; out's size is only room.
struct formout {
  std::string out;
  size_t len = 0;
};

// Appends the form of p[0, n), the input's next bytes, to o, going on from s.
using formfn = void (*)(formstate &s, const char *p, size_t n, formout &o);

// The function for the version k of the kernels: the same forms from every version.
formfn formfor(const kernels &k);

// The byte at a time version, for the ends of the others' spans; and a window at a time
// with no vector instructions, for every machine.
void formbytes(formstate &s, const char *p, size_t n, formout &o);
void formwords(formstate &s, const char *p, size_t n, formout &o);

#if defined(__x86_64__)
void formavx2(formstate &s, const char *p, size_t n, formout &o);
void formavx2bits(formstate &s, const char *p, size_t n, formout &o);  // for CPUs whose pdep() is fast
void formavx512(formstate &s, const char *p, size_t n, formout &o);
#endif

// For each mask of 8 bits, the offsets of its set bits, low first, as byte shuffle indices:
// how the AVX2 versions, which have no byte compress, keep some of 8 bytes.
constexpr std::array<uint64_t, 256> keeppicks() {
  std::array<uint64_t, 256> t{};
  for (unsigned m = 0; m < 256; m++) {
    unsigned k = 0;
    for (unsigned b = 0; b < 8; b++)
      if (m >> b & 1) t[m] |= uint64_t(b) << (8 * k++);
  }
  return t;
}
inline constexpr std::array<uint64_t, 256> KEEPPICKS = keeppicks();

// Makes room in o for n more bytes and the 64 a window may write past them.
inline void formroom(formout &o, size_t n) {
  if (o.out.size() < o.len + n + 72) o.out.resize(std::max(o.out.size() * 2, o.len + n + 72));
}

}  // namespace linecmp::engine

#endif
