#include "cms.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "rules/judge.h"
#include "rules/rules.h"
#include "show/fix.h"

namespace linecmp::protocol {

using namespace engine;

namespace {

// A failure: the reason on standard error, status 1.
int fail(const char *program, const std::string &reason) {
  std::fprintf(stderr, "%s: %s\n", program, printable(reason).c_str());
  return 1;
}

}  // namespace

int cms(int argc, char **argv, const char *name) {
  std::string program = std::string("linecmp-") + name;
  const char *me = program.c_str();
  if (argc != 4 && argc != 5) return fail(me, "usage: " + program + " input correct_output contestant_output [kind]");
  rules r;
  std::string why;
  if (!makerules(name, {}, r, why)) return fail(me, why);
  judged j;
  if (!openjudged(argv[2], argv[3], j, why)) return fail(me, why);
  judgement v = judge(j, r);
  if (v.v == FAILED) return fail(me, v.message);
  std::puts(v.v == SAME ? "1.0" : "0.0");
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    return fail(me, std::string("cannot write standard output: ") + std::strerror(errno));
  std::fputs(v.v == SAME ? "translate:success\n" : "translate:wrong\n", stderr);
  if (v.v != SAME) std::fprintf(stderr, "ADMIN_MESSAGE: %s\n", printable(v.brief).c_str());
  // CMS needs these lines: without them it cannot tell the contestant anything.
  if (std::fflush(stderr) != 0 || std::ferror(stderr)) return 1;
  return 0;
}

}  // namespace linecmp::protocol
