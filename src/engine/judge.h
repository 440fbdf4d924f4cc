// What the judges' front-ends share: a team's output compared with the answer, and the
// message a jury reads about it. Each front-end speaks one judge's protocol around it.
#ifndef LINECMP_JUDGE_H
#define LINECMP_JUDGE_H

#include <istream>
#include <memory>
#include <string>

#include "engine.h"

enum verdict { SAME, DIFFERS, FAILED };

// The two files a judge compares, once opened: the answer and the team's output, with
// their paths for messages.
struct judged {
  const char *answer = "", *output = "";
  std::unique_ptr<std::istream> a, b;
};

// Opens the answer and the output into j. False, with the reason in why ("Cannot open
// file F."), when one cannot be opened. A front-end opens both before it creates any file
// of its own, so that no file of its own can stand in for an input.
bool openjudged(const char *answer, const char *output, judged &j, std::string &why);

// What a judge found.
struct judgement {
  verdict v = SAME;
  // DIFFERS: the report exactly as "linecmp answer output expected output" prints it,
  // then where they first differ and both lines around that byte. FAILED: the reason.
  std::string message;
  outcome where;  // where the files first differ, when they do
};

// Compares the answer of j, labelled expected, with its output, labelled output, exactly.
judgement judge(const judged &j);

// The place where, as a line or two of printable ASCII for a judge that takes nothing
// else: the line and byte, then what each file holds there, in display form.
std::string placed(const outcome &where);

#endif
