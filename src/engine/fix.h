// The display form: how a raw line is shown in a report, escaped, cut and marked
// so that any bytes at all print as one readable line.
#ifndef LINECMP_FIX_H
#define LINECMP_FIX_H

#include <cstddef>
#include <string>

// Characters of display form after which fix() cuts a line, marking the cut with "...".
constexpr size_t CUT = 40;

// Escape table indexed by byte value; filled by fillreplace() and only read afterwards.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the table's established name, clear of any the library uses
extern std::string _replace[300];

// Fills _replace; runs once before the first line is formatted.
void fillreplace();

// Replaces the non-empty line buf (line feed included when it has one) by its display form.
void fix(std::string &buf);

#endif
