// linecmp: compares two text files line by line and prints a short report of the first
// differing pairs of lines, in display form. The command line; the comparison is the
// engine's.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "compare/engine.h"
#include "read/open.h"

using namespace linecmp::engine;

// A report that could not be written is a failure, said on standard error since
// standard output is gone. Returns the exit status.
static int finish(int status) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  std::fprintf(stderr, "linecmp: cannot write standard output: %s\n", std::strerror(errno));
  return 1;
}

// The whole program, reading in blocks of the given size: returns its exit status, 1 for
// a usage error, a file that cannot be opened or read, a report that cannot be written,
// or a kernel version in LINECMP_KERNEL that cannot be used; 0 otherwise, whether or not
// the files differ. Like every message, those of failures go to standard output.
int linecmp::engine::linecmpmain(int argc, char **argv, size_t block) {
  if (argc < 3) {
    std::printf("Usage: %s file1 file2 [label1 [label2]]\n", argc > 0 && argv[0] ? argv[0] : "linecmp");
    return finish(1);
  }
  std::string why;
  comparison c;
  c.k = chosen(&why);
  if (!c.k) {
    std::printf("%s.\n", why.c_str());
    return finish(1);
  }
  std::unique_ptr<std::istream> f1, f2;
  if (const char *failed = openinputs(argv[1], argv[2], f1, f2)) {
    std::printf("Cannot open file %s.\n", failed);
    return finish(1);
  }

  c.path1 = argv[1];
  c.path2 = argv[2];
  c.names = setlabels(argv[1], argv[2], argc > 3 ? argv[3] : nullptr, argc > 4 ? argv[4] : nullptr);
  attach(c.a, *f1, block);
  attach(c.b, *f2, block);
  return finish(compare(c, stdout).unreadable ? 1 : 0);
}

#ifndef LINECMP_NO_MAIN
int main(int argc, char **argv) { return linecmpmain(argc, argv, BLOCK); }
#endif
