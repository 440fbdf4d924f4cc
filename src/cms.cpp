// linecmp-cms: a CMS checker that judges as CMS's white-diff does: each line the same as
// the answer's once whitespace at its ends is dropped and every run of it inside is one
// space; past the end of one file, the other may only have blank lines:
//
//   linecmp-cms input correct_output contestant_output [kind]
#include "cms.h"

int main(int argc, char **argv) { return linecmp::protocol::cms(argc, argv, "cms"); }
