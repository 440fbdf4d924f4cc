// The kind of difference between two inputs: the first of a row of ever looser
// normalisations under which they are equal. Each input is fed on its own through one
// normaliser per row, each ending in a keyed hash, so both are read once, in bounded
// memory, and compared by their hashes at the end.
//
// Up to the first differing byte both inputs hold the same bytes, so every normaliser is
// in the same state on both there: the line in which they part is fed once, as it is
// read, and its state copied to each input's own from that byte on. Lines before it are
// equal and not fed at all.
#ifndef LINECMP_KIND_H
#define LINECMP_KIND_H

#include <cstddef>
#include <cstdint>

#include "kind/keyhash.h"

namespace linecmp::engine {

// The kinds, from the finest row to the loosest; each holds when the inputs are equal
// after the normalisations of the rows from finalnewline up to it, together.
enum class kinds : uint8_t {
  same,          // none: the inputs are equal
  finalnewline,  // a line feed added at the end where the input does not end in one
  lineendings,   // CR LF read as LF
  trailing,      // spaces, tabs and CRs before each line's end dropped
  blanklines,    // lines left empty by the rows above dropped
  spacing,       // whitespace only separates tokens: the same tokens in the same order
  lettercase,    // ASCII letters folded
  order,         // the lines, each its folded tokens, the same multiset (blank lines left out)
  content,       // none of the above
};

// The name of k as the library and its users write it: "same", "final-newline", ...
const char *kindname(kinds k);

// The rows' normalisers on one input, fed from a line start on.
struct shaper {
  const hashkey *key = nullptr;
  keyhash row[6];          // finalnewline, lineendings, trailing, blanklines, spacing, lettercase
  keyhash held;            // trailing, with the run of spaces, tabs and CRs not yet known to end a line
  keyhash heldblank;       // blanklines, the same
  keyhash line;            // order: the current line's tokens, folded
  digest lines;            // order: the sum of the hashes of the lines with tokens
  bool cr = false;         // lineendings: a CR held back, which a line feed would drop
  bool run = false;        // trailing: held has the run, row[2] the line before it
  bool filled = false;     // blanklines: the trailing row has kept a byte of the current line
  int64_t blanks = 0;      // blanklines: the lines it dropped since the last start()
  bool token = false;      // the last byte was part of a token
  bool tokens = false;     // the current line has a token
  bool linestart = true;   // the next byte starts a line
  bool lastcr = false;     // the last byte was a CR
  bool crlf = false;       // a CR LF was fed
  bool any = false;        // the input has a byte
  unsigned char last = 0;  // its last byte
  int64_t budget = -1;     // when not negative, the bytes it may still be fed
  bool gaveup = false;     // it was fed past its budget, so what it holds says nothing
};

// Sets s up on a line start under key, which must outlive it.
void start(shaper &s, const hashkey &key);

// Feeds p[0, n) of the input to s, unless that takes it past its budget: then it gives up.
void feed(shaper &s, const char *p, size_t n);

// The input has ended: its last line is given its line feed where it has none.
void finished(shaper &s);

// The kind of difference between the inputs whose ended shapers are a and b, given that
// they differ.
kinds kindof(const shaper &a, const shaper &b);

// The last line feed of p[0, n) splits a span of bytes both inputs share: the line in
// which they may part starts after it. Feeds what of it is in the span to s, first
// starting s again when the span holds a line feed, and notes a CR LF anywhere in it.
void sharedspan(shaper &s, const char *p, size_t n);

}  // namespace linecmp::engine

#endif
