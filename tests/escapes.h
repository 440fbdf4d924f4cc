// The escapes of the tables of cases read by the tests (rules.cases, kinds.cases).
#ifndef LINECMP_ESCAPES_H
#define LINECMP_ESCAPES_H

#include <array>
#include <cctype>
#include <fstream>
#include <string>
#include <vector>

// Undoes in s the escapes that the top of rules.cases describes; false if s is not so written.
inline bool unescape(const std::string &s, std::string &out) {
  static const std::string from = "ntrvf\\", to = "\n\t\r\v\f\\";
  out.clear();
  for (size_t i = 0; i < s.size(); i++) {
    size_t k = i + 1 < s.size() ? from.find(s[i + 1]) : from.npos, star = s.find('*', i);
    size_t close = star == s.npos ? s.npos : s.find('}', star);
    std::string piece;
    if (s[i] < 32 || s[i] > 126) return false;
    if (s[i] != '\\')
      out += s[i];
    else if (k != from.npos)
      out += to[k], i++;
    else if (s.compare(i, 2, "\\x") == 0 && i + 3 < s.size() && std::isxdigit((unsigned char)s[i + 2]) &&
             std::isxdigit((unsigned char)s[i + 3]))
      out += char(std::stoi(s.substr(i + 2, 2), nullptr, 16)), i += 3;
    else if (s.compare(i, 2, "\\{") == 0 && star != s.npos && star > i + 2 && star < i + 9 && close != s.npos &&
             close > star + 1 && s.find_first_not_of("0123456789", i + 2) == star &&
             unescape(s.substr(star + 1, close - star - 1), piece))
      for (size_t n = std::stoul(s.substr(i + 2, star - i - 2)), j = (i = close, 0); j < n; j++) out += piece;
    else
      return false;
  }
  return true;
}

// The rows of the kinds table at path, each its two inputs and the kind's name; the line
// numbers of lines that are none of what the table's top says go to bad.
inline std::vector<std::array<std::string, 3>> kindrows(const char *path, std::vector<int> &bad) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::array<std::string, 3>> rows;
  std::string line;
  for (int n = 1; std::getline(in, line); n++) {
    if (line.empty() || line[0] == '#') continue;
    size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
    std::array<std::string, 3> &r = rows.emplace_back();
    bool ok = t2 != line.npos && line.find('\t', t2 + 1) == line.npos && unescape(line.substr(0, t1), r[0]) &&
              unescape(line.substr(t1 + 1, t2 - t1 - 1), r[1]);
    r[2] = line.substr(t2 + 1);
    if (!ok) bad.push_back(n);
  }
  return rows;
}

#endif
