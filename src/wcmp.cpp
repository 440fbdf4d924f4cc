// linecmp-wcmp: testlib's wcmp, the output's tokens (separated by spaces, tabs, carriage
// returns and line feeds) the same as the answer's, byte for byte and as many:
//
//   linecmp-wcmp input output answer [result_file [-appes]]
#include "testlib.h"

int main(int argc, char **argv) { return linecmp::protocol::testlib(argc, argv, "wcmp"); }
