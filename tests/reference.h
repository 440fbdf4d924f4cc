// A straightforward linecmp kept beside the tests: whole lines, one pair at a time, as
// the report is defined, so the block engine can be checked against it.
#ifndef LINECMP_REFERENCE_H
#define LINECMP_REFERENCE_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/scan.h"

// The report for files x and y under the (already settled) labels lab1 and lab2.
std::string reference(std::string_view x, std::string_view y, const std::string &lab1, const std::string &lab2);

// Where x and y first differ, as the engine finds it: the line and the byte in it, from 1
// (0 when they are the same), and the bytes before it; the line's last BEFORE bytes before
// that byte; and each file's bytes from it on, AFTER at most and not past the line's end.
struct place {
  int64_t line = 0, byte = 0, offset = 0;
  std::string near, rest1, rest2;
};
place firstplace(std::string_view x, std::string_view y);

// The lines of x and y (a last one without a line feed counts), and the pairs of lines by
// number that differ.
struct counts {
  int64_t lines1 = 0, lines2 = 0, differing = 0;
};
counts paircounts(std::string_view x, std::string_view y);

// The name of the kind of difference between x and y, from each row's normalisation of
// the whole of both.
std::string kindof(std::string_view x, std::string_view y);

// The versions of the scan kernels this CPU runs, for checks to take turns among.
std::vector<const linecmp::engine::kernels *> usable();

#endif
