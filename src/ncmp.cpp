// linecmp-ncmp: testlib's ncmp, the output's 64-bit integers the same as the answer's, as
// many of them:
//
//   linecmp-ncmp input output answer [result_file [-appes]]
#include "testlib.h"

int main(int argc, char **argv) { return linecmp::protocol::testlib(argc, argv, "ncmp"); }
