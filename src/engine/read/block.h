// The block reader: a file read in large blocks, or contents already in memory taken a
// block at a time in place, so lines can be compared, skipped and counted in bulk, and
// only a bounded head of any line is ever kept.
#ifndef LINECMP_BLOCK_H
#define LINECMP_BLOCK_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

#include "kind/kind.h"
#include "scan/scan.h"
#include "show/fix.h"

namespace linecmp::engine {

// The bytes of a line that are kept: fix() walks at most CUT bytes before it cuts, and
// the next only tells that something is cut, so a head of CUT + 1 bytes (plus the line
// feed, kept when the line has one) has the same display form as the whole line.
constexpr size_t HEAD = CUT + 1;

// Bytes kept on each side of where two files first differ, to show that place whatever the
// line's length: each byte shows as one character at least, and NEAR - 1 characters are
// shown, so the last byte kept only tells that something is cut.
constexpr size_t NEAR = 31;

// Bytes kept of each input around where two files first differ, 512 in all, for the
// readable form's window of WIDTH code points: the line's last BEFORE bytes before that
// place, the same in both, and AFTER bytes from it on, so that the last only tells that
// the line goes on. A character takes 4 bytes at most and an invalid byte shows as 4
// code points, so a window of either side alone seldom needs more.
constexpr size_t BEFORE = 255, AFTER = 257;

// How a comparison is given up: ask, when set, is asked whether to, on the comparing
// thread; once it says so, every read after fails with ECANCELED, and stopped stays set.
struct cancel {
  const std::function<bool()> *ask = nullptr;
  bool stopped = false;
  // Whether the comparison is to stop, asking ask() unless it already said so.
  bool now() {
    if (!stopped && ask && *ask && (*ask)()) stopped = true;
    return stopped;
  }
};

// Read state of one input file.
struct src {
  std::istream *in = nullptr;   // where blocks are read from; null for contents in memory
  std::unique_ptr<char[]> own;  // the block read into, for a stream
  std::string_view mem;         // contents in memory, and how far they have been taken
  size_t taken = 0;
  const char *blk = nullptr;  // the current block: blk[0, len), read up to pos
  size_t cap = 0, pos = 0, len = 0;
  int64_t done = 0;        // bytes of the blocks before the current one: done + pos is the offset
  bool eof = false;        // a read gave nothing: the stream has given its last byte (or failed)
  bool bad = false;        // a read failed: the file is unreadable, not finished
  int err = 0;             // why, as an errno value, when known
  bool ended = false;      // a line read met the end of the file: no more lines
  cancel *stop = nullptr;  // asked before each block is read, when set
  // When set, fed every byte taken, from blk[fed] on, as each block is left (watched()
  // feeds the rest), for the kind of difference.
  shaper *watch = nullptr;
  size_t fed = 0;
};

// Sets f up to read in from its current position, in blocks of cap bytes. A read that
// fails makes f bad, with the errno of a std::system_error it throws.
void attach(src &f, std::istream &in, size_t cap);

// Sets f up to read bytes where they lie, a block of up to cap bytes at a time, so that
// the kernels see the same spans as from a file.
void attach(src &f, std::string_view bytes, size_t cap);

// True when f has unread bytes in its block, reading the next block if needed; false, with
// f bad, once f.stop says to stop.
bool more(src &f);

// Feeds f.watch what f has taken since it was last fed.
void watched(src &f);

// Where skipequal() stopped, in the line it stopped in: the line's head, as readrest()
// keeps it; its last bytes before the stop, up to BEFORE; and the number of its bytes before
// the stop. Before the stop the two files hold the same bytes.
struct stop {
  std::string head, near;
  int64_t col = 0;
  shaper *line = nullptr;  // when set, fed the shared bytes of the line the stop falls in
};

// Appends p[0, n) to res, keeping only its last keep bytes.
void keeplast(std::string &res, const char *p, size_t n, size_t keep = NEAR);

// Appends the rest of the current line of f to res, keeping res to at most cap bytes
// before the line feed; sets f.ended when the file's end is met instead of a line feed.
void readrest(src &f, std::string &res, size_t cap = HEAD);

// Reads the next line of f into res as its head; res is empty when f has no more lines.
src &mygetline(src &f, std::string &res);

// From a line start, reads f to its end and returns how many lines it had; f has ended.
int64_t countlines(src &f, const kernels &k);

// From line starts in a and b, skips the longest run of bytes the two files share.
// Adds the complete lines in it to rows and tells in at where, in the line in which it
// stopped, it stopped. True when it stopped because both files ended together.
bool skipequal(src &a, src &b, const kernels &k, int64_t &rows, stop &at);

// From line starts in a and b, reads on while both files have lines, adding each pair
// to row and each differing pair to errors, without keeping any line. Afterwards at least
// one file has no more lines (or could not be read).
void countpairs(src &a, src &b, const kernels &k, int64_t &row, int64_t &errors);

}  // namespace linecmp::engine

#endif
