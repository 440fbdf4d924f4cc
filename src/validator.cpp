// linecmp-validator: an output validator for the problem package format, as Kattis,
// DOMjudge and the tools around them run it:
//
//   linecmp-validator input answer feedback_dir [flags...] < team_output
//
// It judges as the format's default output validator does, flag for flag: tokens, any
// whitespace and any case, unless case_sensitive, space_change_sensitive or a float
// tolerance says otherwise; with both of the first two alone it compares exactly. It
// exits 42 when the team's output is accepted and 43 when it is not, and then writes the
// jury's message to feedback_dir/judgemessage.txt and, for a tool that shows the jury
// both files at the place judged, its byte offset in the answer and in the output to
// feedback_dir/diffposition.txt. Any other status is a judge error, with the reason on
// standard error and in judgemessage.txt.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include <vector>

#include "read/open.h"
#include "rules/judge.h"
#include "rules/rules.h"

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
  std::string folder = argv[3];
  if (folder.back() != '/') folder += '/';
  std::string path = folder + "judgemessage.txt";
  FILE *msg = create(path.c_str());
  if (!msg) return fail(nullptr, "cannot write " + path + ": " + std::strerror(errno));
  rules how;
  if (!makerules("validator", std::vector<std::string>(argv + 4, argv + argc), how, why)) return fail(msg, why);
  if (!opened) return fail(msg, why);
  judgement r = judge(j, how);
  if (r.v == FAILED) return fail(msg, r.message);
  std::fwrite(r.message.data(), 1, r.message.size(), msg);
  if (std::fflush(msg) != 0 || std::ferror(msg)) {
    std::string reason = "cannot write " + path + ": " + std::strerror(errno);
    std::fclose(msg);
    return fail(nullptr, reason);
  }
  if (std::fclose(msg) != 0) return fail(nullptr, "cannot write " + path + ": " + std::strerror(errno));
  if (r.v == SAME) return 42;
  // Two offsets and no line feed, as the tools that read the file expect.
  std::string where = folder + "diffposition.txt";
  FILE *pos = create(where.c_str());
  if (!pos) return fail(nullptr, "cannot write " + where + ": " + std::strerror(errno));
  std::fprintf(pos, "%" PRId64 " %" PRId64, r.answerat, r.outputat);
  if (std::fflush(pos) != 0 || std::ferror(pos)) {
    std::string reason = "cannot write " + where + ": " + std::strerror(errno);
    std::fclose(pos);
    return fail(nullptr, reason);
  }
  if (std::fclose(pos) != 0) return fail(nullptr, "cannot write " + where + ": " + std::strerror(errno));
  return 43;
}
