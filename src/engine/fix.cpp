#include "fix.h"

#include <cstdio>
#include <cstring>

std::string _replace[300];  // NOLINT(bugprone-reserved-identifier): see fix.h
char bb[10];

// Later steps overwrite earlier ones, so the hex escape is only the default.
void fillreplace() {
  for (int i = 0; i < 256; i++) {
    std::snprintf(bb, sizeof bb, "\\%02x", i);
    _replace[i] = bb;
  }
  for (int i = 33; i <= 127; i++) _replace[i] = std::string(1, char(i));
  _replace[int(' ')] = "_";
  _replace[int('\\')] = "\\\\";
  _replace[int('_')] = "\\_";
  _replace[int('<')] = "&lt;";
  _replace[int('>')] = "&gt;";
  _replace[int('&')] = "&amp;";
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
    res += _replace[(unsigned char)buf[kde]];
  }
  if (!eol) res += missing;
  buf.swap(res);
}
