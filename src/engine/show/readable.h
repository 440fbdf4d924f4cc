// The readable form: how bytes are shown to the people who read a judge's message or a
// library's explanation, in text that no page escapes again. Printable text, UTF-8
// included, prints as it is; whatever a reader cannot see, or what could change how the
// rest is shown, is escaped and named, each escape starting with a backslash. It is
// always valid UTF-8, whatever the bytes. The display form (fix.h) stays the report's.
#ifndef LINECMP_READABLE_H
#define LINECMP_READABLE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace linecmp::engine {

// Code points of a line that a readable window shows around a place, "…" marks aside.
constexpr size_t WIDTH = 80;

// One character of the readable form: how many bytes of the input it stands for, and
// what it shows.
struct unit {
  size_t bytes = 1;
  std::string shown;
};

// The first character of s (not empty): a valid UTF-8 character shown as it is or as
// its escape, or one byte that is not valid UTF-8 as \xHH.
unit readunit(std::string_view s);

// Code points in the valid UTF-8 text s.
size_t codepoints(std::string_view s);

// The readable form of all of s, as one line: spaces at its end shown as \s.
std::string readable(std::string_view s);

// The readable form of s cut to WIDTH code points, with "…" after it when bytes of s, or
// more beyond s (more), are left unshown.
std::string readablecut(std::string_view s, bool more);

// One side of a place in a line: the bytes before it that are kept (the last of col
// bytes before the place on its line), and the bytes from it on, with the line feed when
// the line ends among them; more: the line goes on past rest, unkept.
struct side {
  std::string_view before;
  int64_t col = 0;
  std::string_view rest;
  bool more = false;
};

// A line as a readable window shows it, and the code points in text before the place.
struct shownline {
  std::string text;
  size_t caret = 0;
};

// Both lines around the place where they first differ, a and b sharing the bytes before
// it, as windows of WIDTH code points at most with the place inside and "…" on each side
// cut; a line that ends without a line feed is marked, and one that does not exist at
// all shows as "(end of file)". Both carets are the same.
void around(const side &a, const side &b, shownline &x, shownline &y);

// One line around a place, as around() shows it.
shownline around(const side &a);

}  // namespace linecmp::engine

#endif
