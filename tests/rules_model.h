// A plain model of the judges' rules, kept beside the tests: whole files in memory, token
// vectors, exact decimals and strtod, so that linecmp::judge() can be checked against it.
#ifndef LINECMP_RULES_MODEL_H
#define LINECMP_RULES_MODEL_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rules_model {

enum class verdict { accepted, wrong_answer, presentation_error, judge_error };

struct modelled {
  verdict v = verdict::accepted;
  // false when numbers' exponents lie over a million places apart, which the model does
  // not write out: it then says nothing (the tables keep clear of such numbers).
  bool known = true;
  bool allows(verdict w) const { return !known || w == v; }
};

// The verdict of the rules named as linecmp::judge() names them, with their flags, on
// the team's output against the answer.
modelled model(std::string_view rules, const std::vector<std::string> &flags, std::string_view answer,
               std::string_view output);

const char *name(verdict v);

// x + y, x - y or x * y (op), floats of the validator's grammar, exactly: as digits, "e"
// and the exponent.
std::string exact(const std::string &x, char op, const std::string &y);

// The longest message a rejection may carry under these rules: a few lines for a token's
// difference; under byte-for-byte rules, linecmp's whole report with its locator, up to
// 36 lines that each show 41 bytes of a line, escaped.
size_t longest_message(std::string_view rules, const std::vector<std::string> &flags);

// Rules with flags: every rules name, and the validator under several sets of flags, for
// the checks to take turns among.
struct ruleset {
  std::string rules;
  std::vector<std::string> flags;
};
const std::vector<ruleset> &rulesets();

}  // namespace rules_model

#endif
