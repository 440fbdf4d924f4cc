// The comparison engine, on which every program here is built: it compares two opened
// files, prints linecmp's report to the stream it is given, and returns what it found,
// down to where the files first differ. A comparison keeps all its state in what it is
// given, so any number may run at once.
#ifndef LINECMP_ENGINE_H
#define LINECMP_ENGINE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "read/block.h"
#include "scan/scan.h"
#include "show/readable.h"

namespace linecmp::engine {

// Bytes read from each file at a time. On two identical 256 MiB files of short lines
// (2-core AMD EPYC, Debian 12, page cache, hyperfine means of 15 to 30 runs): 16 KiB took
// 106 ms, 32 KiB 76 ms, 64 KiB 59 ms, 128 KiB 53-56 ms, 256 KiB 49-59 ms, 512 KiB 62 ms and
// 1 MiB 57 ms. From 64 KiB on the gain is within the noise; the smallest block on that
// plateau keeps both blocks inside the 1 MiB cache the CPU reports, between the read,
// the compare and the count.
constexpr size_t BLOCK = size_t{64} * 1024;

// The labels of the first and second file, l1 and l2: zero-terminated, at most 8 bytes.
struct labels {
  char l1[20] = {}, l2[20] = {};
};

// The labels for two files: each its label when given (not null), else its path, cut to
// 8 bytes; "first" and "second" when they come out equal.
labels setlabels(const char *path1, const char *path2, const char *label1, const char *label2);

// One comparison: both files as read, their paths for messages, their labels, and the
// kernels that scan them.
struct comparison {
  src a, b;
  const char *path1 = "", *path2 = "";
  labels names;
  const kernels *k = nullptr;
  bool findkind = false;  // find the kind of difference too, reading on with both inputs' normalisers
  // When not negative, the bytes each input's normaliser may take past where they part;
  // past them it gives up, and the kind is not known.
  int64_t kindbudget = -1;
  hashkey key;            // the normalisers' hash key, drawn for each comparison
  shaper both, one, two;  // the normalisers: on the bytes both share, then each input's own
  pairing pairs;          // in front of one and two: the lines of each, paired by number
  size_t lead = LEAD;     // what pairs may hold of each input
};

// What a comparison found.
struct outcome {
  int unreadable = 0;   // 1 or 2 when that file could not be read, which ends the report; else 0
  bool differ = false;  // the files differ: the report is not empty
  // Where they first differ, counted from 1 as cmp counts: the line, and the byte in it;
  // and the bytes of each file before that byte.
  int64_t line = 0, byte = 0, offset = 0;
  // Around that byte: the line's last bytes before it, the same in both files, up to
  // BEFORE; and each file's bytes from it on, up to AFTER (or all the line has, if less),
  // with the line feed when the line has one. A file that has ended there has no bytes
  // from it on.
  std::string near, rest1, rest2;
  // The lines of each file, and the pairs of lines by number that differ.
  int64_t lines1 = 0, lines2 = 0, differing = 0;
  // Found when asked for (findkind): the kind of difference; whether each file holds a
  // CR LF, and whether its last line lacks a line feed.
  kinds kind = kinds::same;
  bool kindknown = true;  // false when a normaliser gave up past its budget
  bool crlf1 = false, crlf2 = false, open1 = false, open2 = false;
  // With the kind blanklines: the blank lines the second file has more than the first
  // (fewer when negative).
  int64_t moreblank = 0;
};

// Compares the files of c, from line starts, and prints the report to out under its
// labels. A file that cannot be read ends the report with a message that names it by
// its path.
outcome compare(comparison &c, FILE *out);

// One file's side of where the files of o first differ, for the readable form: the
// second's when second.
side sideof(const outcome &o, bool second);

// Where the files of o first differ, and both lines around that byte in the readable form
// under the labels, whole and aligned, with a mark beneath the place.
std::string readablefirst(const outcome &o, std::string_view label1, std::string_view label2);

// The display form of a line from where two files part, rest, as a judge's one line shows it:
// under NEAR characters of it, then "..." when a byte is left unshown, or, where the
// file ended there without a line feed, the end-of-line marker, or "(end of file)" when
// it had no such line at all (linestart: rest starts its line).
std::string past(std::string rest, bool linestart);

// The display form of the last bytes of near, as a judge's one line shows what comes before a
// place: under NEAR characters, after "..." when bytes before them, of the col bytes
// that precede the place on its line, are left unshown.
std::string before(const std::string &near, int64_t col);

// The whole linecmp program, reading in blocks of the given size; returns the exit status.
// It is the linecmp program's own (main.cpp), here for tests to run in-process.
int linecmpmain(int argc, char **argv, size_t block);

}  // namespace linecmp::engine

#endif
