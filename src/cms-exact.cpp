// linecmp-cms-exact: a CMS checker that compares the output with the answer exactly,
// byte for byte and line by line:
//
//   linecmp-cms-exact input correct_output contestant_output [kind]
#include "cms.h"

int main(int argc, char **argv) { return linecmp::protocol::cms(argc, argv, "cms-exact"); }
