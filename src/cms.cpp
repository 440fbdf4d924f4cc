// linecmp-cms: a checker for the CMS protocol:
//
//   linecmp-cms input correct_output contestant_output [kind]
//
// It prints the score, 1.0 or 0.0, as one line on standard output, and on standard error
// first translate:success or translate:wrong, which CMS shows the contestant in their
// language, so no answer text reaches them; then, for a wrong answer, ADMIN_MESSAGE lines
// that CMS shows the admins only: where the outputs first differ, and what each holds
// there. kind (batch or outputonly, as CMS passes for some task types) is not needed.
// A failure exits 1, with the reason on standard error.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "judge.h"

using namespace linecmp::engine;

// s with every byte outside printable ASCII written as a backslash and two hex digits:
// CMS refuses a message with control characters or code points from U+007F to U+00BF.
static std::string ascii(const std::string &s) {
  std::string res;
  for (unsigned char c : s) {
    if (c >= 32 && c < 127) {
      res += char(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\%02x", c);
      res += hex;
    }
  }
  return res;
}

// A failure: the reason on standard error, status 1.
static int fail(const std::string &reason) {
  std::fprintf(stderr, "linecmp-cms: %s\n", ascii(reason).c_str());
  return 1;
}

int main(int argc, char **argv) {
  if (argc != 4 && argc != 5) return fail("usage: linecmp-cms input correct_output contestant_output [kind]");
  judged j;
  std::string why;
  if (!openjudged(argv[2], argv[3], j, why)) return fail(why);
  judgement r = judge(j);
  if (r.v == FAILED) return fail(r.message);
  std::puts(r.v == SAME ? "1.0" : "0.0");
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    return fail(std::string("cannot write standard output: ") + std::strerror(errno));
  std::fputs(r.v == SAME ? "translate:success\n" : "translate:wrong\n", stderr);
  if (r.v == DIFFERS) std::fprintf(stderr, "ADMIN_MESSAGE: %s\n", ascii(placed(r.where)).c_str());
  // CMS needs these lines: without them it cannot tell the contestant anything.
  if (std::fflush(stderr) != 0 || std::ferror(stderr)) return 1;
  return 0;
}
