#include "judge.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine.h"
#include "fix.h"
#include "open.h"

verdict judge(const char *answer, const char *output, std::string &message) {
  std::unique_ptr<std::istream> f1, f2;
  if (const char *failed = openinputs(answer, output, f1, f2)) {
    message = std::string("Cannot open file ") + failed + ".";
    return FAILED;
  }
  // Labelled as "linecmp answer output expected output" labels them.
  char *args[] = {const_cast<char *>("linecmp"), const_cast<char *>(answer), const_cast<char *>(output),
                  const_cast<char *>("expected"), const_cast<char *>("output")};
  setlabels(5, args);
  fillreplace();
  src a, b;
  attach(a, *f1, BLOCK);
  attach(b, *f2, BLOCK);
  // The report is a few dozen lines at most, so it is kept whole until the verdict is known.
  char *text = nullptr;
  size_t length = 0;
  FILE *out = open_memstream(&text, &length);
  if (!out) {
    message = std::string("cannot keep the report: ") + std::strerror(errno);
    return FAILED;
  }
  outcome o = compare(a, b, answer, output, out);
  if (o.differ && !o.unreadable) showfirst(o, out);
  std::fclose(out);
  message.assign(text, length);
  std::free(text);
  if (o.unreadable) {
    message = std::string("Cannot read file ") + (o.unreadable == 1 ? answer : output) + ".";
    return FAILED;
  }
  return o.differ ? DIFFERS : SAME;
}
