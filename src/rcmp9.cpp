// linecmp-rcmp9: testlib's rcmp9, each of the output's numbers within 1e-9 (absolute or
// relative) of the answer's:
//
//   linecmp-rcmp9 input output answer [result_file [-appes]]
#include "testlib.h"

int main(int argc, char **argv) { return linecmp::protocol::testlib(argc, argv, "rcmp9"); }
