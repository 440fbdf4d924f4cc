// linecmp-validator: an output validator for the problem package format, as Kattis,
// DOMjudge and the tools around them run it:
//
//   linecmp-validator input answer feedback_dir [flags...] < team_output
//
// It exits 42 when the team's output is the same as the answer and 43 when it differs,
// and then writes the jury's message to feedback_dir/judgemessage.txt. Any other status
// is a judge error, with the reason on standard error and in judgemessage.txt.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "judge.h"
#include "open.h"

using namespace linecmp::engine;

// A judge error: the reason goes to standard error and, when msg is open, into it.
static int fail(FILE *msg, const std::string &reason) {
  std::fprintf(stderr, "linecmp-validator: judge error: %s\n", reason.c_str());
  if (msg) {
    std::fprintf(msg, "judge error: %s\n", reason.c_str());
    std::fclose(msg);
  }
  return 1;
}

int main(int argc, char **argv) {
  if (argc < 4) return fail(nullptr, "usage: linecmp-validator input answer feedback_dir [flags...] < team_output");
  // An empty folder name would put the message at the root of the file system.
  if (argv[3][0] == '\0') return fail(nullptr, "feedback_dir is empty: it must name the feedback folder");
  // The inputs are settled before the message file is created, which could otherwise
  // take the number of a closed standard input and be read as the team's output.
  judged j;
  std::string why;
  bool opened = openjudged(argv[2], "/dev/stdin", j, why);
  std::string path = argv[3];
  if (path.back() != '/') path += '/';
  path += "judgemessage.txt";
  FILE *msg = create(path.c_str());
  if (!msg) return fail(nullptr, "cannot write " + path + ": " + std::strerror(errno));
  // The comparison is exact, which both of these flags ask for; any other asks for a
  // comparison this validator does not make, and judging without it would be wrong.
  for (int i = 4; i < argc; i++)
    if (std::strcmp(argv[i], "case_sensitive") != 0 && std::strcmp(argv[i], "space_change_sensitive") != 0)
      return fail(msg, std::string("flag ") + argv[i] +
                           " is not supported: the comparison is exact, and takes only case_sensitive and "
                           "space_change_sensitive");
  if (!opened) return fail(msg, why);
  judgement r = judge(j);
  if (r.v == FAILED) return fail(msg, r.message);
  std::fwrite(r.message.data(), 1, r.message.size(), msg);
  if (std::fflush(msg) != 0 || std::ferror(msg)) {
    std::string reason = "cannot write " + path + ": " + std::strerror(errno);
    std::fclose(msg);
    return fail(nullptr, reason);
  }
  if (std::fclose(msg) != 0) return fail(nullptr, "cannot write " + path + ": " + std::strerror(errno));
  return r.v == SAME ? 42 : 43;
}
