// testlib's checker protocol, which linecmp-checker and the programs named after
// testlib's standard checkers speak around the engine's rules:
//
//   PROGRAM input output answer [result_file [-appes]]
//
// exit 0 ok, 1 wrong answer, 2 presentation error, 3 failure; the message on standard
// error, or in result_file, as testlib's XML with -appes.
#ifndef LINECMP_PROTOCOL_TESTLIB_H
#define LINECMP_PROTOCOL_TESTLIB_H

namespace linecmp::protocol {

// The whole program named linecmp-NAME, judging by the rules of that name; returns its
// exit status.
int testlib(int argc, char **argv, const char *name);

}  // namespace linecmp::protocol

#endif
