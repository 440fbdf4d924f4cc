// grader OUTPUT EXPECTED: compares a program's output with the expected output in-process
// and says "same", or "differs" with the report and where they first differ. Exits 0 for
// either verdict, and 1 when a file cannot be opened or read: that is no verdict.
#include <linecmp.h>

#include <cstdio>
#include <iostream>

int main(int argc, char **argv) {
  if (argc != 3) {
    std::cerr << "usage: grader OUTPUT EXPECTED\n";
    return 1;
  }
  try {
    linecmp::result r = linecmp::compare(linecmp::file(argv[1]), linecmp::file(argv[2]), "output", "expected");
    if (r.same) {
      std::cout << "same\n";
    } else {
      std::cout << "differs at line " << r.first.line << ", byte " << r.first.byte << "\n" << r.report << r.locator;
    }
  } catch (const linecmp::error &e) {
    std::cerr << "judge error: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
