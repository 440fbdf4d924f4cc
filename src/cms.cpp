// linecmp-cms: a checker for the CMS protocol:
//
//   linecmp-cms input correct_output contestant_output
//
// It prints the score, 1.0 or 0.0, as one line on standard output, and exactly one line
// on standard error, translate:success or translate:wrong, which CMS shows the contestant
// in their language; no answer text reaches them. A failure exits 1, with the reason on
// standard error.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "judge.h"

int main(int argc, char **argv) {
  if (argc != 4) {
    std::fputs("linecmp-cms: usage: linecmp-cms input correct_output contestant_output\n", stderr);
    return 1;
  }
  std::string message;
  verdict v = judge(argv[2], argv[3], message);
  if (v == FAILED) {
    std::fprintf(stderr, "linecmp-cms: %s\n", message.c_str());
    return 1;
  }
  std::puts(v == SAME ? "1.0" : "0.0");
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "linecmp-cms: cannot write standard output: %s\n", std::strerror(errno));
    return 1;
  }
  std::fputs(v == SAME ? "translate:success\n" : "translate:wrong\n", stderr);
  return 0;
}
