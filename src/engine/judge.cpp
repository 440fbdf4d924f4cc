#include "judge.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "open.h"

bool openjudged(const char *answer, const char *output, judged &j, std::string &why) {
  j.answer = answer;
  j.output = output;
  if (const char *failed = openinputs(answer, output, j.a, j.b)) {
    why = std::string("Cannot open file ") + failed + ".";
    return false;
  }
  return true;
}

judgement judge(const judged &j) {
  judgement r;
  std::string why;
  const kernels *k = chosen(&why);
  if (!k) {
    r.v = FAILED;
    r.message = why;
    return r;
  }
  comparison c;
  c.path1 = j.answer;
  c.path2 = j.output;
  c.names = setlabels(j.answer, j.output, "expected", "output");
  c.k = k;
  attach(c.a, *j.a, BLOCK);
  attach(c.b, *j.b, BLOCK);
  // The report is a few dozen lines at most, so it is kept whole until the verdict is known.
  char *text = nullptr;
  size_t length = 0;
  FILE *out = open_memstream(&text, &length);
  if (!out) {
    r.v = FAILED;
    r.message = std::string("cannot keep the report: ") + std::strerror(errno);
    return r;
  }
  r.where = compare(c, out);
  if (r.where.differ && !r.where.unreadable) showfirst(r.where, c.names, out);
  std::fclose(out);
  r.message.assign(text, length);
  std::free(text);
  if (r.where.unreadable) {
    r.v = FAILED;
    r.message = std::string("Cannot read file ") + (r.where.unreadable == 1 ? j.answer : j.output) + ".";
  } else {
    r.v = r.where.differ ? DIFFERS : SAME;
  }
  return r;
}

// The display form again, with byte 127 escaped too: it alone is not printable ASCII.
static std::string printable(const std::string &shown) {
  std::string res;
  for (char c : shown) res += c == '\x7f' ? std::string("\\7f") : std::string(1, c);
  return res;
}

std::string placed(const outcome &w) {
  std::string shared = before(w.near, w.byte - 1);
  char head[80];
  std::snprintf(head, sizeof head, "first difference at line %" PRId64 ", byte %" PRId64 ": ", w.line, w.byte);
  return head + printable("expected \"" + shared + past(w.rest1, w.byte == 1) + "\", output \"" + shared +
                          past(w.rest2, w.byte == 1) + "\"");
}
