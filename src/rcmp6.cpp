// linecmp-rcmp6: testlib's rcmp6, each of the output's numbers within 1e-6 (absolute or
// relative) of the answer's:
//
//   linecmp-rcmp6 input output answer [result_file [-appes]]
#include "testlib.h"

int main(int argc, char **argv) { return linecmp::protocol::testlib(argc, argv, "rcmp6"); }
