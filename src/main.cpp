// linecmp: compares two text files line by line and prints a short report of
// the first differing pairs of lines, in display form.
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "fix.h"

char l1[20], l2[20];
std::string buf1, buf2;

// Reads the next line of sin into res, line feed included when it has one;
// res is empty when the file has no more lines.
std::istream &mygetline(std::istream &sin, std::string &res) {
  res.clear();
  for (;;) {
    int c = sin.get();
    if (c == std::char_traits<char>::eof()) break;
    res += char(c);
    if (c == '\n') break;
  }
  return sin;
}

// Prints one report line: the label, the line number and the display form of buf.
static void report(const char *label, int64_t row, std::string &buf) {
  fix(buf);
  std::printf("%8s %04" PRId64 ": %s\n", label, row, buf.c_str());
}

// A stream that stopped on a read error rather than at its end must not pass for a
// finished file: the caller prints this and fails.
static bool unreadable(const std::istream &sin, const char *path) {
  if (!sin.bad()) return false;
  std::printf("Cannot read file %s.\n", path);
  return true;
}

// Reads the rest of a file that has not ended, printing its first lines as tail lines
// numbered on from row and counting them all in nrows. False on a read error.
static bool tail(std::istream &sin, const char *path, const char *label, int64_t &row, int64_t &nrows,
                 std::string &buf) {
  while (!sin.fail()) {
    row++;
    mygetline(sin, buf);
    if (unreadable(sin, path)) return false;
    if (buf.empty()) break;
    if (++nrows <= 10) report(label, row, buf);
  }
  return true;
}

// A report that could not be written is a failure, said on standard error since
// standard output is gone. Returns the exit status.
static int finish(int status) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  std::fprintf(stderr, "linecmp: cannot write standard output: %s\n", std::strerror(errno));
  return 1;
}

// The whole program: returns its exit status, 1 for a usage error, a file that
// cannot be opened or read, or a report that cannot be written; 0 otherwise.
int linecmp(int argc, char **argv) {
  if (argc < 3) {
    std::printf("Usage: %s file1 file2 [label1 [label2]]\n", argc > 0 && argv[0] ? argv[0] : "linecmp");
    return finish(1);
  }
  std::ifstream f1(argv[1]), f2(argv[2]);
  if (f1.fail()) {
    std::printf("Cannot open file %s.\n", argv[1]);
    return finish(1);
  }
  if (f2.fail()) {
    std::printf("Cannot open file %s.\n", argv[2]);
    return finish(1);
  }

  std::memset(l1, 0, sizeof l1);
  std::memset(l2, 0, sizeof l2);
  std::strncpy(l1, argc > 3 ? argv[3] : argv[1], 8);
  std::strncpy(l2, argc > 4 ? argv[4] : argv[2], 8);
  if (std::strcmp(l1, l2) == 0) {
    std::strcpy(l1, "first");
    std::strcpy(l2, "second");
  }
  fillreplace();

  int64_t row = 0, errors = 0;
  for (;;) {
    mygetline(f1, buf1);
    if (unreadable(f1, argv[1])) return finish(1);
    mygetline(f2, buf2);
    if (unreadable(f2, argv[2])) return finish(1);
    if (buf1.empty() || buf2.empty()) break;
    row++;
    if (buf1 != buf2 && ++errors <= 10) {
      report(l1, row, buf1);
      report(l2, row, buf2);
    }
  }
  if (errors > 10) std::printf("(skipping the next %" PRId64 " errors)\n", errors - 10);

  // The end of input: at least one file has ended; the other, if any, is read to its end.
  if (f1.fail() && !f2.fail()) std::printf("%s terminated, %s continues:\n", l1, l2);
  if (!f1.fail() && f2.fail()) std::printf("%s terminated, %s continues:\n", l2, l1);
  if (!buf1.empty()) report(l1, ++row, buf1);
  if (!buf2.empty()) report(l2, ++row, buf2);
  int64_t nrows = 0;
  if (!tail(f1, argv[1], l1, row, nrows, buf1) || !tail(f2, argv[2], l2, row, nrows, buf2)) return finish(1);
  if (nrows > 10) std::printf("(skipping next %" PRId64 " lines)\n", nrows - 10);
  return finish(0);
}

#ifndef LINECMP_NO_MAIN
int main(int argc, char **argv) { return linecmp(argc, argv); }
#endif
