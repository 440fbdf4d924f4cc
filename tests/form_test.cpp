// The forms the kind compares: a table of what each row keeps, and every version on the
// same random inputs, cut into random spans, against the byte at a time one.
#include "kind/form.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "reference.h"

using namespace linecmp::engine;

namespace {

// The form of x under row r, made in spans of at most cut bytes by f.
std::string formof(formfn f, int r, const std::string &x, size_t cut, formstate &s) {
  s = formstate();
  s.row = r;
  formout o;
  for (size_t at = 0; at < x.size(); at += cut) f(s, x.data() + at, std::min(cut, x.size() - at), o);
  return o.out.substr(0, o.len);
}

TEST(Forms, KeepWhatEachRowKeeps) {
  struct {
    int row;
    const char *in, *form;
  } rows[] = {
      {1, "a\r\nb\r\r\n\r", "a\nb\r\n\r"},
      {2, "a \t\r\nb c \n  \n", "a\nb c\n\n"},
      {2, "a  b \r", "a  b \r"},  // a run no line feed has ended yet stays, pending
      {3, "a \n\n \t\r\n\v\nb\n", "a\n\v\nb\n"},
      {4, "  a\t\tb  \n\n \v\nc\rd\n", "a b\nc d\n"},
      {5, "Ab  CD\nx\fY\n", "ab cd\nx y\n"},
  };
  for (const auto &t : rows) {
    formstate s;
    EXPECT_EQ(formof(formbytes, t.row, t.in, 100, s), t.form) << t.row << ": " << t.in;
  }
}

TEST(Forms, EveryVersionMakesTheSame) {
  std::vector<formfn> versions = {formwords};
#if defined(__x86_64__)
  for (const kernels *k : usable()) versions.push_back(formfor(*k));
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2")) {
    versions.push_back(formavx2);
    versions.push_back(formavx2bits);
  }
#endif
  std::mt19937 rng(20261209);
  const char alphabet[] = "ab  \t\t\r\r\n\n\n\v\fAZ\x01\x80";
  for (int iter = 0; iter < 3000; iter++) {
    std::string x(rng() % 400, ' ');
    size_t kinds = 2 + rng() % (sizeof alphabet - 2);  // some inputs of a few bytes only
    for (char &c : x) c = alphabet[rng() % kinds];
    if (iter % 7 == 0) x.insert(rng() % (x.size() + 1), std::string(64 + rng() % 200, " \t\n"[rng() % 3]));
    int row = int(rng() % 6);
    formstate want;
    std::string form = formof(formbytes, row, x, x.size() + 1, want);
    for (formfn f : versions) {
      size_t cut = 1 + rng() % (iter % 3 ? 300 : 70);
      formstate got;
      ASSERT_EQ(formof(f, row, x, cut, got), form) << "row " << row << " cut " << cut << " iteration " << iter;
      EXPECT_EQ(got.pend, want.pend);
      EXPECT_EQ(got.seen, want.seen);
      EXPECT_EQ(got.lastws, want.lastws);
      EXPECT_EQ(got.blanks, want.blanks);
    }
  }
}

}  // namespace
