#include "show/fix.h"

#include <cstring>

namespace linecmp::engine {

std::string printable(std::string_view s) {
  static const char hex[] = "0123456789abcdef";
  std::string res;
  for (unsigned char c : s) {
    if (c >= 32 && c < 127) {
      res += char(c);
    } else {
      res += '\\';
      res += hex[c >> 4];
      res += hex[c & 15];
    }
  }
  return res;
}

// The cut is tested on characters already written, before each byte, so the text
// before "..." is CUT to CUT + 4 characters and "..." means at least one byte is unshown.
void fix(std::string &buf) {
  const char *missing = " (missing end-of-line character)";
  std::string res;
  res.reserve(CUT + 4 + 3 + std::strlen(missing));  // the longest display form, in one allocation
  int eol = 0;
  size_t n = buf.size();
  if (n > 0 && buf[n - 1] == '\n') {
    n--;
    eol = 1;
  }
  for (size_t kde = 0; kde < n; kde++) {
    if (res.size() >= CUT) {
      res += "...";
      break;
    }
    res += shown(buf[kde]);
  }
  if (!eol) res += missing;
  buf.swap(res);
}

}  // namespace linecmp::engine
