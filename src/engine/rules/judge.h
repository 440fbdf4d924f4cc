// What the judges' front-ends share: a team's output compared with the answer, and the
// message a jury reads about it. Each front-end speaks one judge's protocol around it.
#ifndef LINECMP_JUDGE_H
#define LINECMP_JUDGE_H

#include <istream>
#include <memory>
#include <string>

#include "compare/engine.h"
#include "rules/rules.h"

namespace linecmp::engine {

enum verdict { SAME, DIFFERS, PRESENTATION, FAILED };

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
  // The jury's message: for exact rules, the report exactly as "linecmp answer output
  // expected output" prints it, then where the files first differ and both lines around
  // that byte in the readable form, then a line that names the kind of difference
  // (kindline()) unless it is content; for other rules, why the output is wrong, naming
  // tokens in the readable form, then both places in it. FAILED: the reason alone.
  std::string message;
  // The reason and the place, in one line, for a judge that shows the admins no more; for
  // exact rules, then the kind's line after "; ".
  std::string brief;
  outcome where;  // exact rules: where the files first differ, when they do
  // DIFFERS and PRESENTATION: the bytes of the answer and of the output before the place
  // judged, as a token judge finds it: the start of the tokens that part, or where the
  // whitespace parts or a file ends.
  int64_t answerat = 0, outputat = 0;
  // Pairs of tokens of at most 64 bytes, each with 64 more bytes of its block after it,
  // that the streaming token reader read and found alike: the token kernel's to take, so
  // none but those it cannot settle exactly (numbers of over 19 digits, or of scales
  // over 38 places apart) and lcmp's lines with a carriage return.
  int64_t streamed = 0;
};

// The line that names the kind of difference w found, for the jury, from the answer's
// side (first file) and the output's (second): "only the line endings differ: the output
// ends its lines with CR LF", and so on; empty for content and for same.
std::string kindline(const outcome &w);

// Judges the output of j against its answer by r, once both are open.
judgement judge(const judged &j, const rules &r);

// The same on a comparison whose first file is the answer and second the output, set up
// but for its labels.
judgement judge(comparison &c, const rules &r);

// Judges by tokens, for rules that are not exact.
judgement judgetokens(comparison &c, const rules &r);

}  // namespace linecmp::engine

#endif
