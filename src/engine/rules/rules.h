// The rules by which a judge compares an output with its answer: what separates tokens,
// what whitespace must agree, whether letter case counts, and how numbers compare. Each
// judge program takes one set of rules; the validator builds its own from its flags.
#ifndef LINECMP_RULES_H
#define LINECMP_RULES_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace linecmp::engine {

// What whitespace must agree between the two files.
enum class spacing : uint8_t {
  free,   // none: whitespace only separates tokens
  exact,  // every run, leading and trailing ones too, byte for byte
  lines,  // runs hold as many line feeds on both sides; those at the end are free (CMS)
  lcmp,   // the same, line by line as testlib's lcmp reads: output lines past the
          // answer's must be blank, or the output is a presentation error
};

// How tokens that are numbers compare.
enum class numbers : uint8_t {
  none,      // as strings
  floats,    // an answer token that is a float is compared within tolerances
  integers,  // every token a 64-bit integer, compared as one (testlib's ncmp)
  reals,     // every token a double, compared within eps (testlib's rcmp)
};

struct rules {
  std::string name;      // the program's, without "linecmp-"
  bool exact = false;    // byte for byte, line by line: linecmp's comparison and report
  bool testlib = false;  // testlib's whitespace (space, tab, CR, LF) and its verdicts
  bool fold = false;     // ASCII letters of either case are equal
  spacing space = spacing::free;
  numbers num = numbers::none;
  double abs = -1, rel = -1;  // float tolerances (negative: none); eps for reals in abs
  // The tolerances as their flags spell them (empty: none), which numbers are judged by
  // exactly; eps for reals in abstext, without testlib's slack.
  std::string abstext, reltext;
};

// The rules of the judge program named name ("validator", "checker", "cms",
// "cms-exact", "wcmp", "lcmp", "ncmp", "rcmp4", "rcmp6", "rcmp9"), with the flags the
// validator takes (others take none). A tolerance given again takes its last value.
// False, with the reason in why, for an unknown name, a flag that is not one, or a
// tolerance without a value or with one that is not a number.
bool makerules(std::string_view name, const std::vector<std::string> &flags, rules &r, std::string &why);

}  // namespace linecmp::engine

#endif
