#include "show/readable.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

namespace linecmp::engine {

namespace {

// Code points that print as nothing, or that turn the text after them around: no-break
// space, soft hyphen, the zero-width and direction marks, the line and paragraph
// separators, the embeddings and overrides, word joiner to the isolates, and the byte
// order mark; the Arabic letter mark; the noncharacters, which XML refuses; and "…",
// which the readable form keeps for its cuts.
bool hidden(uint32_t c) {
  return c == 0xa0 || c == 0xad || c == 0x61c || (c >= 0x200b && c <= 0x200f) || (c >= 0x2028 && c <= 0x202e) ||
         (c >= 0x2060 && c <= 0x2069) || c == 0xfeff || (c >= 0xfdd0 && c <= 0xfdef) || (c & 0xfffe) == 0xfffe ||
         c == 0x2026;
}

// The bytes a UTF-8 character that starts with lead takes, and the least and greatest
// second byte it allows (no overlong forms, no surrogates, nothing past U+10FFFF); 0 when
// lead starts none.
struct leadinfo {
  size_t size;
  unsigned char lo, hi;
};
leadinfo lead(unsigned char b) {
  if (b >= 0xc2 && b <= 0xdf) return {2, 0x80, 0xbf};
  if (b == 0xe0) return {3, 0xa0, 0xbf};
  if (b == 0xed) return {3, 0x80, 0x9f};
  if (b >= 0xe1 && b <= 0xef) return {3, 0x80, 0xbf};
  if (b == 0xf0) return {4, 0x90, 0xbf};
  if (b >= 0xf1 && b <= 0xf3) return {4, 0x80, 0xbf};
  if (b == 0xf4) return {4, 0x80, 0x8f};
  return {0, 0, 0};
}

// How many bytes at the end of s start a UTF-8 character that they do not finish: the
// bytes that following ones could still make valid.
size_t unfinished(std::string_view s) {
  for (size_t k = 1; k <= 3 && k <= s.size(); k++) {
    unsigned char b = static_cast<unsigned char>(s[s.size() - k]);
    if ((b & 0xc0) == 0x80) continue;
    leadinfo l = lead(b);
    if (l.size <= k) return 0;
    if (k >= 2) {
      unsigned char second = static_cast<unsigned char>(s[s.size() - k + 1]);
      if (second < l.lo || second > l.hi) return 0;
    }
    return k;
  }
  return 0;
}

// The escape of one byte: a backslash, x and two hex digits.
std::string hexbyte(unsigned char b) {
  char t[8];
  std::snprintf(t, sizeof t, "\\x%02x", b);
  return t;
}

// Code points a unit's text shows: an escape is ASCII, any other a character.
size_t width(const unit &u) { return u.shown[0] == '\\' ? u.shown.size() : 1; }

// The units of s, in order.
std::vector<unit> units(std::string_view s) {
  std::vector<unit> v;
  for (size_t i = 0; i < s.size();) {
    v.push_back(readunit(s.substr(i)));
    i += v.back().bytes;
  }
  return v;
}

// Shows the spaces that end v as \s, where v ends a line.
void endspaces(std::vector<unit> &v) {
  for (size_t i = v.size(); i > 0 && v[i - 1].shown == " "; i--) v[i - 1].shown = "\\s";
}

// Code points the units of v show.
size_t widths(const std::vector<unit> &v) {
  return std::accumulate(v.begin(), v.end(), size_t(0), [](size_t n, const unit &u) { return n + width(u); });
}

// One line's bytes from the place on, as units: the unfinished character of the shared
// bytes first, then rest without its line feed and, where it goes on unkept, without an
// unfinished last character. Sets ends when the line ends there.
std::vector<unit> right(std::string_view tail, const side &s, bool &ends, bool &eol) {
  std::string_view rest = s.rest;
  eol = !rest.empty() && rest.back() == '\n';
  if (eol) rest.remove_suffix(1);
  if (s.more) rest.remove_suffix(unfinished(rest));
  ends = !s.more;
  std::vector<unit> v = units(std::string(tail) + std::string(rest));
  if (ends) endspaces(v);
  return v;
}

// The text of right units after the place, within room code points, and the mark at
// its end.
std::string rightshown(const std::vector<unit> &v, size_t room, const side &s, bool eol, bool &cut) {
  std::string text;
  size_t used = 0, i = 0;
  for (; i < v.size() && used + width(v[i]) <= room; i++) {
    used += width(v[i]);
    text += v[i].shown;
  }
  cut = i < v.size() || s.more;
  if (cut) return text + "…";
  if (eol) return text;
  if (v.empty() && s.col == 0 && s.before.empty()) return "(end of file)";
  return text + " (missing end-of-line character)";
}

}  // namespace

unit readunit(std::string_view s) {
  unsigned char b = static_cast<unsigned char>(s[0]);
  if (b < 0x80) {
    switch (b) {
      case '\\': return {1, "\\\\"};
      case 0: return {1, "\\0"};
      case '\t': return {1, "\\t"};
      case '\r': return {1, "\\r"};
      case '\n': return {1, "\\n"};
      case 27: return {1, "\\e"};
      default: break;
    }
    if (b < 32 || b == 127) return {1, hexbyte(b)};
    return {1, std::string(1, char(b))};
  }
  leadinfo l = lead(b);
  if (l.size == 0 || s.size() < l.size) return {1, hexbyte(b)};
  uint32_t c = b & (0xff >> (l.size + 1));
  for (size_t i = 1; i < l.size; i++) {
    unsigned char t = static_cast<unsigned char>(s[i]);
    bool ok = i == 1 ? t >= l.lo && t <= l.hi : (t & 0xc0) == 0x80;
    if (!ok) return {1, hexbyte(b)};
    c = (c << 6) | (t & 0x3f);
  }
  if (c < 0xa0 || hidden(c)) {
    char t[16];
    std::snprintf(t, sizeof t, "\\u{%x}", unsigned(c));
    return {l.size, t};
  }
  return {l.size, std::string(s.substr(0, l.size))};
}

size_t codepoints(std::string_view s) {
  // Every byte but a continuation byte starts a code point.
  return size_t(
      std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xc0) != 0x80; }));
}

std::string readable(std::string_view s) {
  std::vector<unit> v = units(s);
  endspaces(v);
  std::string text;
  for (const unit &u : v) text += u.shown;
  return text;
}

std::string readablecut(std::string_view s, bool more) {
  if (more) s.remove_suffix(unfinished(s));
  std::vector<unit> v = units(s);
  std::string text;
  size_t used = 0, i = 0;
  for (; i < v.size() && used + width(v[i]) <= WIDTH; i++) {
    used += width(v[i]);
    text += v[i].shown;
  }
  return i < v.size() || more ? text + "…" : text;
}

void around(const side &a, const side &b, shownline &x, shownline &y) {
  std::string_view before = a.before;
  bool leftcut = a.col > int64_t(before.size());
  // Bytes kept from inside a character whose start was not kept show nothing true.
  if (leftcut)
    for (int k = 0; k < 3 && !before.empty() && (static_cast<unsigned char>(before[0]) & 0xc0) == 0x80; k++)
      before.remove_prefix(1);
  // A character the place falls inside goes with the bytes after the place.
  size_t open = unfinished(before);
  std::string_view tail = before.substr(before.size() - open);
  before.remove_suffix(open);
  bool ends1, ends2, eol1, eol2;
  std::vector<unit> r1 = right(tail, a, ends1, eol1), r2 = right(tail, b, ends2, eol2);
  std::vector<unit> left = units(before);
  // Spaces before the place end a line that ends there.
  if ((ends1 && r1.empty()) || (ends2 && r2.empty())) endspaces(left);
  size_t lw = widths(left), rw = std::max(widths(r1), widths(r2));
  size_t budget = lw + rw <= WIDTH ? lw : std::min(lw, std::max(WIDTH / 2, WIDTH > rw ? WIDTH - rw : 0));
  size_t used = 0, i = left.size();
  while (i > 0 && used + width(left[i - 1]) <= budget) used += width(left[--i]);
  std::string lead = i > 0 || leftcut ? "…" : "";
  for (size_t k = i; k < left.size(); k++) lead += left[k].shown;
  bool cut;
  x.text = lead + rightshown(r1, WIDTH - used, a, eol1, cut);
  y.text = lead + rightshown(r2, WIDTH - used, b, eol2, cut);
  x.caret = y.caret = codepoints(lead);
}

shownline around(const side &a) {
  shownline x, y;
  around(a, a, x, y);
  return x;
}

}  // namespace linecmp::engine
