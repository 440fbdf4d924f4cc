// The alignment of two inputs' lines: from the first line in which they differ on, which
// runs of lines one input adds, lacks or replaces, and where they agree again. Lines are
// given one at a time, each as a keyed hash of the whole line, so it streams: each input
// is read once, and only a window of each one's line hashes is held.
//
// Inside a window the search is exact: Myers' O(ND) search, in linear space, finds a
// shortest edit script (the fewest lines deleted plus inserted) of up to EDITS edits. Where
// the inputs go on past the windows, what the windows show is settled only up to their
// middle, so that half a window of lines is still seen past anything settled. Past EDITS
// edits, or past a budget of steps that keeps the cost near that of reading, lines that
// occur once in each window anchor the search: it runs between them, and a stretch
// between two anchors that still needs more is one change; windows that share almost no
// line, or hold no anchor, are one change, which the next may join. The result then says
// it is not exact, and matched is a lower bound.
#ifndef LINECMP_ALIGN_H
#define LINECMP_ALIGN_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace linecmp::engine {

// Lines of each input a window holds: at least 65,536, so that a change of a few thousand
// lines is still seen whole, in 512 KiB of hashes an input.
constexpr size_t LINEWINDOW = size_t{1} << 16;

// The edits the exact search goes to in one window before it turns to anchors.
constexpr int64_t EDITS = 2000;

// Changes kept, in order; the rest are only counted.
constexpr size_t CHANGESKEPT = 10;

// A run of lines that stands in one input where another run stands in the other: lines
// [first, firstend) of the first input for [second, secondend) of the second, counted
// from 1. An insertion has first == firstend, the line before which it goes; a deletion
// has second == secondend.
struct change {
  int64_t first = 0, firstend = 0, second = 0, secondend = 0;
};

// What an alignment found.
struct aligned {
  std::vector<change> kept;  // the first CHANGESKEPT changes
  int64_t changes = 0;       // all of them, the kept included
  int64_t matched = 0;       // lines paired as equal, those before the first difference included
  // False where a window or a bound cut the search: matched is then a lower bound. True,
  // each stretch settled is a shortest script of the windows it was settled in.
  bool exact = true;
};

// A line's hash in the anchors' table: how often it occurs in each window's part of a
// stretch (up to 2), and where it last did.
struct slot {
  uint64_t hash = 0;
  uint32_t pos[2] = {0, 0};
  uint8_t count[2] = {0, 0};
};

// The state of one alignment: each input's window of line hashes, from line base[i] on,
// whether it has ended, and the change last found, which the next may join.
struct aligner {
  size_t window = LINEWINDOW;  // the windows' size, and the exact search's edits: smaller only in tests
  int64_t dmax = EDITS;
  std::array<std::vector<uint64_t>, 2> win;
  int64_t base[2] = {1, 1};
  int64_t lines[2] = {0, 0};  // lines given so far, those before the start included
  bool ended[2] = {false, false};
  bool open = false;  // last holds a change not yet counted
  change last;
  int64_t removed = 0;  // lines of the first input in the changes counted
  aligned out;
  std::vector<int64_t> scratch;  // the searches' diagonals
  std::vector<slot> slots;       // the anchors' hash table
  std::vector<uint64_t> bits;    // the second window's lines, a bit each, to count those shared
};

// Sets a up to align from line line (counted from 1) of both inputs, every line before it
// paired as equal, with windows of window lines and an exact search of up to dmax edits.
void startalign(aligner &a, int64_t line, size_t window = LINEWINDOW, int64_t dmax = EDITS);

// Gives a the next line of input side (0 or 1), as its hash; may settle changes.
void addline(aligner &a, int side, uint64_t hash);

// Tells a that input side has no more lines.
void endlines(aligner &a, int side);

// Settles what is left once both inputs have ended, and returns what was found.
const aligned &finishalign(aligner &a);

}  // namespace linecmp::engine

#endif
