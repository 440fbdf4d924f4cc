// The display form: how a raw line is shown in a report, escaped, cut and marked
// so that any bytes at all print as one readable line.
#ifndef LINECMP_FIX_H
#define LINECMP_FIX_H

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace linecmp::engine {

// Characters of display form after which fix() cuts a line, marking the cut with "...".
constexpr size_t CUT = 40;

// One entry of the escape table: the display form of one byte value, 1 to 5 characters.
struct replacement {
  char text[6] = {};
  size_t size = 0;
  constexpr std::string_view view() const { return {text, size}; }
};

// Builds the escape table; later steps overwrite earlier ones, so the hex escape is only
// the default. Entries 256 to 299 stay empty: only byte values index the table.
constexpr std::array<replacement, 300> fillreplace() {
  std::array<replacement, 300> t{};
  const char hex[] = "0123456789abcdef";
  for (size_t i = 0; i < 256; i++) t[i] = {{'\\', hex[i >> 4], hex[i & 15]}, 3};
  for (size_t i = 33; i <= 127; i++) t[i] = {{char(i)}, 1};
  t[' '] = {{'_'}, 1};
  t['\\'] = {{'\\', '\\'}, 2};
  t['_'] = {{'\\', '_'}, 2};
  t['<'] = {{'&', 'l', 't', ';'}, 4};
  t['>'] = {{'&', 'g', 't', ';'}, 4};
  t['&'] = {{'&', 'a', 'm', 'p', ';'}, 5};
  return t;
}

// The escape table indexed by byte value: a constant, shared by every comparison.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the table's established name, clear of any the library uses
inline constexpr std::array<replacement, 300> _replace = fillreplace();

// The display form of one byte.
inline std::string_view shown(char c) { return _replace[static_cast<unsigned char>(c)].view(); }

// s with every byte outside printable ASCII (32 to 126) written as a backslash and two hex
// digits: text that any reader takes as one line, such as a reason that quotes a flag, or a
// CMS admin message (CMS refuses control characters and code points U+007F to U+00BF).
std::string printable(std::string_view s);

// Replaces the non-empty line buf (line feed included when it has one) by its display form.
void fix(std::string &buf);

}  // namespace linecmp::engine

#endif
