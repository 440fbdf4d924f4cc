// linecmp-checker: a checker for the testlib protocol (Codeforces, Polygon and judges in
// the style of ejudge):
//
//   linecmp-checker input output answer [result_file [-appes]]
//
// It exits 0 when the output is the same as the answer, 1 when it differs (wrong answer)
// and 3 when the checker itself fails. The message, "ok" or "wrong answer" and the report,
// goes to standard error, or to result_file; with -appes, as testlib's XML result.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "judge.h"
#include "open.h"

using namespace linecmp::engine;

// testlib's exit statuses.
enum { OK = 0, WRONG = 1, FAIL = 3 };

// Writes s with the characters XML gives a meaning escaped, and every byte outside
// printable ASCII (a path may hold any) as a backslash and two hex digits, so the result
// always parses.
static void xmltext(FILE *out, const std::string &s) {
  for (unsigned char c : s) {
    if (c == '&')
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
static int result(FILE *out, bool appes, int status, const std::string &text) {
  static const char *const words[] = {"ok", "wrong answer", "", "FAIL"};
  static const char *const outcomes[] = {"accepted", "wrong-answer", "", "fail"};
  if (appes) {
    std::fprintf(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<result outcome=\"%s\">", outcomes[status]);
    xmltext(out, text);
    std::fputs("</result>\n", out);
    return status;
  }
  std::fputs(words[status], out);
  if (!text.empty()) std::fprintf(out, "%s%s", status == WRONG ? "\n" : " ", text.c_str());
  if (text.empty() || text.back() != '\n') std::fputc('\n', out);
  return status;
}

int main(int argc, char **argv) {
  bool appes = argc == 6 && std::strcmp(argv[5], "-appes") == 0;
  if (argc < 4 || argc > 6 || (argc == 6 && !appes)) {
    std::fputs("FAIL usage: linecmp-checker input output answer [result_file [-appes]]\n", stderr);
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
  judgement r;
  if (opened) {
    r = judge(j);
  } else {
    r.v = FAILED;
    r.message = why;
  }
  int status = result(out, appes, r.v == SAME ? OK : r.v == DIFFERS ? WRONG : FAIL, r.message);
  if (std::fflush(out) != 0 || std::ferror(out) || (out != stderr && std::fclose(out) != 0)) {
    std::fprintf(stderr, "FAIL cannot write %s: %s\n", target, std::strerror(errno));
    return FAIL;
  }
  return status;
}
