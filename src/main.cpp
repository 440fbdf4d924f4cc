// linecmp: compares two text files line by line and prints a short report of the first
// differing pairs of lines, in display form. The command line; the comparison is the
// engine's.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine.h"
#include "fix.h"
#include "open.h"

// A report that could not be written is a failure, said on standard error since
// standard output is gone. Returns the exit status.
static int finish(int status) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  std::fprintf(stderr, "linecmp: cannot write standard output: %s\n", std::strerror(errno));
  return 1;
}

// The whole program, reading in blocks of the given size: returns its exit status, 1 for
// a usage error, a file that cannot be opened or read, or a report that cannot be
// written; 0 otherwise, whether or not the files differ.
int linecmp(int argc, char **argv, size_t block) {
  if (argc < 3) {
    std::printf("Usage: %s file1 file2 [label1 [label2]]\n", argc > 0 && argv[0] ? argv[0] : "linecmp");
    return finish(1);
  }
  std::unique_ptr<std::istream> f1, f2;
  if (const char *failed = openinputs(argv[1], argv[2], f1, f2)) {
    std::printf("Cannot open file %s.\n", failed);
    return finish(1);
  }

  setlabels(argc, argv);
  fillreplace();

  src a, b;
  attach(a, *f1, block);
  attach(b, *f2, block);
  return finish(compare(a, b, argv[1], argv[2], stdout).unreadable ? 1 : 0);
}

#ifndef LINECMP_NO_MAIN
int main(int argc, char **argv) { return linecmp(argc, argv, BLOCK); }
#endif
