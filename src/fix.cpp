#include "fix.h"

#include <cstdio>

std::string _replace[300];
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
// before "..." is 40 to 44 characters and "..." means at least one byte is unshown.
void fix(std::string &buf) {
  std::string res;
  int eol = 0;
  size_t n = buf.size();
  if (n > 0 && buf[n - 1] == '\n') {
    n--;
    eol = 1;
  }
  for (size_t kde = 0; kde < n; kde++) {
    if (res.size() > 39) {
      res += "...";
      break;
    }
    res += _replace[(unsigned char)buf[kde]];
  }
  if (!eol) res += " (missing end-of-line character)";
  buf.swap(res);
}
