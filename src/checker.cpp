// linecmp-checker: a testlib checker that compares the output with the answer exactly,
// byte for byte and line by line, and tells the jury linecmp's report and where they
// first differ:
//
//   linecmp-checker input output answer [result_file [-appes]]
#include "testlib.h"

int main(int argc, char **argv) { return linecmp::protocol::testlib(argc, argv, "checker"); }
