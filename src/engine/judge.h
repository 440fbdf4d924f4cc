// What the judges' front-ends share: a team's output compared with the answer, and the
// message a jury reads about it. Each front-end speaks one judge's protocol around it.
#ifndef LINECMP_JUDGE_H
#define LINECMP_JUDGE_H

#include <string>

enum verdict { SAME, DIFFERS, FAILED };

// Compares the answer, labelled expected, with the output, labelled output. When they
// differ, message gets the report exactly as "linecmp answer output expected output"
// prints it, then where they first differ and both lines around that byte. FAILED, with
// the reason in message, when a file cannot be opened or read.
verdict judge(const char *answer, const char *output, std::string &message);

#endif
