#include "rules/rules.h"

#include "rules/numbers.h"
#include "show/fix.h"

namespace linecmp::engine {

namespace {

// Reads a tolerance's value: a float in the format's own form, not negative. False when
// there is none.
bool tolerance(const std::string &text, double &v) {
  numeral n;
  for (unsigned char c : text) n.add(c);
  if (text.empty() || !n.isfloat()) return false;
  v = n.value();
  // not negative by its digits: -1e-400 reads as the double -0 (one past what doubles
  // hold reads as infinite, which takes any number)
  return !n.neg || n.sig.empty();
}

// The validator's rules from its flags: tokens, any whitespace and any case by default.
// A flag given again takes its last value, as the judges take a problem's flags followed
// by a group's: float_tolerance sets both tolerances, and a later absolute or relative
// one sets its own again.
bool validator(const std::vector<std::string> &flags, rules &r, std::string &why) {
  bool sensitive = false, spaced = false;
  for (size_t i = 0; i < flags.size(); i++) {
    const std::string &f = flags[i];
    if (f == "case_sensitive") {
      sensitive = true;
    } else if (f == "space_change_sensitive") {
      spaced = true;
    } else if (f == "float_tolerance" || f == "float_absolute_tolerance" || f == "float_relative_tolerance") {
      double v = 0;
      if (i + 1 >= flags.size()) {
        why = f;
        why += " has no value: it takes a number, such as " + f + " 1e-6";
        return false;
      }
      if (!tolerance(flags[++i], v)) {
        why = f;
        why += " takes a number that is not negative, such as " + f + " 1e-6, not \"" + printable(flags[i]) + "\"";
        return false;
      }
      if (f != "float_relative_tolerance") r.abs = v, r.abstext = flags[i];
      if (f != "float_absolute_tolerance") r.rel = v, r.reltext = flags[i];
    } else {
      why = "unknown flag \"" + printable(f) +
            "\": the flags are case_sensitive, space_change_sensitive, float_tolerance, "
            "float_absolute_tolerance and float_relative_tolerance";
      return false;
    }
  }
  r.fold = !sensitive;
  if (spaced) r.space = spacing::exact;
  if (r.abs >= 0 || r.rel >= 0) r.num = numbers::floats;
  r.exact = sensitive && spaced && r.num == numbers::none;
  return true;
}

}  // namespace

bool makerules(std::string_view name, const std::vector<std::string> &flags, rules &r, std::string &why) {
  r = rules();
  r.name = std::string(name);
  if (name == "validator") return validator(flags, r, why);
  if (!flags.empty()) {
    why = "linecmp-" + printable(r.name) + " takes no flags";
    return false;
  }
  if (name == "checker" || name == "cms-exact") {
    r.exact = true;
  } else if (name == "cms") {
    r.space = spacing::lines;
  } else if (name == "wcmp" || name == "lcmp" || name == "ncmp" || name == "rcmp4" || name == "rcmp6" ||
             name == "rcmp9") {
    r.testlib = true;
    if (name == "lcmp") r.space = spacing::lcmp;
    if (name == "ncmp") r.num = numbers::integers;
    if (name[0] == 'r') {
      r.num = numbers::reals;
      r.abs = (name == "rcmp4" ? 1e-4 : name == "rcmp6" ? 1e-6 : 1e-9) + 1e-15;
      r.abstext = std::string("1e-") + name.back();
    }
  } else {
    why = "no such rules: \"" + printable(r.name) +
          "\"; the rules are validator, checker, cms, cms-exact, wcmp, lcmp, ncmp, " + "rcmp4, rcmp6 and rcmp9";
    return false;
  }
  return true;
}

}  // namespace linecmp::engine
