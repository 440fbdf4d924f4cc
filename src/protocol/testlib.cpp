#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "read/open.h"
#include "rules/judge.h"
#include "rules/rules.h"
#include "show/readable.h"
#include "testlib.h"

namespace linecmp::protocol {

using namespace engine;

namespace {

// testlib's exit statuses.
enum { OK = 0, WRONG = 1, PE = 2, FAIL = 3 };

// Writes s with the characters XML gives a meaning escaped, and every other byte outside
// printable ASCII (a path may hold any) as a backslash and two hex digits, so the result
// always parses; but for the characters the readable form prints as they are, which
// stay, so that a message in it reads the same here.
void xmltext(FILE *out, const std::string &s) {
  for (size_t i = 0; i < s.size(); i++) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    unit u = c > 126 ? readunit(std::string_view(s).substr(i)) : unit{};
    if (u.bytes > 1 && u.shown.size() == u.bytes) {
      std::fwrite(s.data() + i, 1, u.bytes, out);
      i += u.bytes - 1;
    } else if (c == '&')
      std::fputs("&amp;", out);
    else if (c == '<')
      std::fputs("&lt;", out);
    else if (c == '>')
      std::fputs("&gt;", out);
    else if (c == '"')
      std::fputs("&quot;", out);
    else if ((c < 32 && c != '\n') || c > 126)
      std::fprintf(out, "\\%02x", c);
    else
      std::fputc(c, out);
  }
}

// Writes the result, a status and its message, to out as testlib does, and returns the
// status. The report of a wrong answer starts on a line of its own.
int result(FILE *out, bool appes, int status, const std::string &text) {
  static const char *const words[] = {"ok", "wrong answer", "wrong output format", "FAIL"};
  static const char *const outcomes[] = {"accepted", "wrong-answer", "presentation-error", "fail"};
  if (appes) {
    std::fprintf(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<result outcome=\"%s\">", outcomes[status]);
    xmltext(out, text);
    std::fputs("</result>\n", out);
    return status;
  }
  std::fputs(words[status], out);
  if (!text.empty()) std::fprintf(out, "%s%s", status == WRONG || status == PE ? "\n" : " ", text.c_str());
  if (text.empty() || text.back() != '\n') std::fputc('\n', out);
  return status;
}

}  // namespace

int testlib(int argc, char **argv, const char *name) {
  bool appes = argc == 6 && std::strcmp(argv[5], "-appes") == 0;
  if (argc < 4 || argc > 6 || (argc == 6 && !appes)) {
    std::fprintf(stderr, "FAIL usage: linecmp-%s input output answer [result_file [-appes]]\n", name);
    return FAIL;
  }
  // The inputs are settled before the result file is created, which could otherwise take
  // the number of a closed standard input that the output is read from.
  judged j;
  std::string why;
  bool opened = openjudged(argv[3], argv[2], j, why);
  const char *target = argc >= 5 ? argv[4] : "standard error";
  FILE *out = stderr;
  if (argc >= 5 && !(out = create(argv[4]))) {
    std::fprintf(stderr, "FAIL cannot write %s: %s\n", target, std::strerror(errno));
    return FAIL;
  }
  rules how;
  judgement r;
  if (!makerules(name, {}, how, why) || !opened) {
    r.v = FAILED;
    r.message = why;
  } else {
    r = judge(j, how);
  }
  static const int statuses[] = {OK, WRONG, PE, FAIL};
  int status = result(out, appes, statuses[r.v], r.message);
  if (std::fflush(out) != 0 || std::ferror(out) || (out != stderr && std::fclose(out) != 0)) {
    std::fprintf(stderr, "FAIL cannot write %s: %s\n", target, std::strerror(errno));
    return FAIL;
  }
  return status;
}

}  // namespace linecmp::protocol
