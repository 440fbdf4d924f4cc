#include "judge.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "open.h"

namespace linecmp::engine {

bool openjudged(const char *answer, const char *output, judged &j, std::string &why) {
  j.answer = answer;
  j.output = output;
  if (const char *failed = openinputs(answer, output, j.a, j.b)) {
    why = std::string("Cannot open file ") + failed + ".";
    return false;
  }
  return true;
}

judgement judge(const judged &j, const rules &r) {
  comparison c;
  std::string why;
  c.k = chosen(&why);
  if (!c.k) {
    judgement r;
    r.v = FAILED;
    r.message = why;
    return r;
  }
  c.path1 = j.answer;
  c.path2 = j.output;
  attach(c.a, *j.a, BLOCK);
  attach(c.b, *j.b, BLOCK);
  return judge(c, r);
}

// The place where two files first differ, as one line for a judge that shows no more: the
// line and byte, then what each file holds there, in display form.
static std::string placed(const outcome &w);

judgement judge(comparison &c, const rules &how) {
  if (!how.exact) return judgetokens(c, how);
  judgement r;
  c.names = setlabels(c.path1, c.path2, "expected", "output");
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
    r.message = std::string("Cannot read file ") + (r.where.unreadable == 1 ? c.path1 : c.path2) + ".";
  } else {
    r.v = r.where.differ ? DIFFERS : SAME;
    if (r.v == DIFFERS) r.brief = placed(r.where);
  }
  return r;
}

static std::string placed(const outcome &w) {
  std::string shared = before(w.near, w.byte - 1);
  char head[80];
  std::snprintf(head, sizeof head, "first difference at line %" PRId64 ", byte %" PRId64 ": ", w.line, w.byte);
  return head + ("expected \"" + shared + past(w.rest1, w.byte == 1) + "\", output \"" + shared +
                 past(w.rest2, w.byte == 1) + "\"");
}

}  // namespace linecmp::engine
