// linecmp-rcmp4: testlib's rcmp4, each of the output's numbers within 1e-4 (absolute or
// relative) of the answer's:
//
//   linecmp-rcmp4 input output answer [result_file [-appes]]
#include "testlib.h"

int main(int argc, char **argv) { return linecmp::protocol::testlib(argc, argv, "rcmp4"); }
