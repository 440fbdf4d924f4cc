// linecmp-lcmp: testlib's lcmp, each line of the answer holding the same tokens as the
// output's line at the same place; output lines past the answer's may only be blank:
//
//   linecmp-lcmp input output answer [result_file [-appes]]
#include "testlib.h"

int main(int argc, char **argv) { return linecmp::protocol::testlib(argc, argv, "lcmp"); }
