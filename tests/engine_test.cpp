// The whole program in-process: the end-to-end cases again at tiny block sizes, a
// differential test against the straightforward reference, and read errors mid-run.
#include "compare/engine.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "escapes.h"
#include "reference.h"
#include "rules/judge.h"
#include "scan/scan.h"
#include "show/fix.h"

using namespace linecmp::engine;

namespace {

// Runs compare() on c, set up but for its labels, paths and kernels: under the labels
// "exp" and "out", the paths "a" and "b", and the kernels k. Returns what it printed; o
// gets what it found.
std::string run(comparison &c, outcome &o, const kernels *k = chosen()) {
  c.names = setlabels("a", "b", "exp", "out");
  c.path1 = "a";
  c.path2 = "b";
  c.k = k;
  char *text = nullptr;
  size_t length = 0;
  FILE *out = open_memstream(&text, &length);
  o = compare(c, out);
  std::fclose(out);
  std::string printed(text, length);
  std::free(text);
  return printed;
}

// The same over two in-memory streams, in blocks of the given size.
std::string run(std::istream &x, std::istream &y, size_t block, outcome &o) {
  comparison c;
  attach(c.a, x, block);
  attach(c.b, y, block);
  return run(c, o);
}

// The same over two strings, read in place or as streams, checking where the comparison
// found them to differ first.
std::string run(const std::string &x, const std::string &y, size_t block, const kernels *k = chosen(),
                bool inplace = false, size_t lead = LEAD) {
  std::istringstream sx(x), sy(y);
  comparison c;
  c.findkind = true;
  c.lead = lead;
  if (inplace) {
    attach(c.a, x, block);
    attach(c.b, y, block);
  } else {
    attach(c.a, sx, block);
    attach(c.b, sy, block);
  }
  outcome o;
  std::string out = run(c, o, k);
  EXPECT_EQ(o.unreadable, 0);
  place p = firstplace(x, y);
  EXPECT_EQ(o.differ, p.line > 0);
  EXPECT_EQ(o.line, p.line);
  EXPECT_EQ(o.byte, p.byte);
  if (o.differ) {
    EXPECT_EQ(o.offset, p.offset);
  }
  EXPECT_EQ(o.near, p.near);
  EXPECT_EQ(o.rest1.substr(0, p.rest1.size()), p.rest1);
  EXPECT_EQ(o.rest2.substr(0, p.rest2.size()), p.rest2);
  counts n = paircounts(x, y);
  EXPECT_EQ(o.lines1, n.lines1);
  EXPECT_EQ(o.lines2, n.lines2);
  EXPECT_EQ(o.differing, n.differing);
  EXPECT_EQ(kindname(o.kind), kindof(x, y));
  return out;
}

const size_t blocks[] = {1, 2, 3, 7, 64, 65536};

std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A kind found within a budget of bytes past where the inputs part, and not past it,
// where a judge leaves it out rather than name a wrong one.
TEST(Kinds, WithinTheBudget) {
  struct {
    std::string x, y;
    int64_t budget;
    bool known;
  } rows[] = {{"a\nb\n", "a\r\nb\r\n", 100, true},
              {"a\nb\n", "a\r\nb\r\n", 3, false},
              {"a\nb\n", "a\nb\n", 0, true},
              {std::string(5000, 'x'), std::string(5000, 'y'), 4999, false}};
  for (const auto &r : rows) {
    std::istringstream sx(r.x), sy(r.y);
    comparison c;
    c.findkind = true;
    c.kindbudget = r.budget;
    attach(c.a, sx, 7);
    attach(c.b, sy, 7);
    outcome o;
    run(c, o);
    EXPECT_EQ(o.kindknown, r.known) << r.x << " | " << r.y << " within " << r.budget;
    if (r.known) {
      EXPECT_EQ(kindname(o.kind), kindof(r.x, r.y));
    }
  }
}

// Feeds x to s from start under key: its first cut bytes through the rows before order,
// the rest by the order row alone (from 6), in chunks of 1 to most bytes; then ends it.
void orderfeed(shaper &s, const hashkey &key, const std::string &x, size_t cut, size_t most, std::mt19937 &rng) {
  start(s, key);
  feed(s, x.data(), std::min(cut, x.size()));
  s.from = 6;
  for (size_t at = std::min(cut, x.size()), n; at < x.size(); at += n) {
    n = std::min(x.size() - at, 1 + size_t(rng() % most));
    feed(s, x.data() + at, n);
  }
  finished(s);
}

// The order row fed alone, as a shaper is where the rows before it are known to differ:
// with each version of its line kernels, at any chunk boundaries and taking over from the
// other rows mid-line, it sums the same line fingerprints as the rows' path, keeps the
// same facts of the input, and finds order where the reference does. The table's pairs
// collide under any sum of linear line hashes, or cross the lengths where a line's hash
// changes its way (128 and 1,024 bytes of folded tokens and spaces).
TEST(Kinds, OrderAloneMatchesTheRows) {
  std::mt19937 rng(20261209);
  auto pick = [&](size_t n) { return size_t(rng() % n); };
  const std::string pieces[] = {"a",
                                "Bc",
                                " ",
                                "  ",
                                "\t",
                                "\v\f",
                                "\r",
                                "\r\n",
                                "\n",
                                "\n",
                                "\n\n",
                                std::string(1, '\0'),
                                "\xff",
                                std::string(60, 'x'),
                                std::string(127, 'y'),
                                std::string(1023, 'z'),
                                std::string(1500, 'Q')};
  const std::string y127(127, 'y'), z1023(1023, 'z');
  const struct {
    std::string x, y;
    bool order;
  } rows[] = {{"ab\ncd\n", "cb\nad\n", false},
              {"ab\ncd\n", "ad\ncb\n", false},
              {"ab\ncd\n", "cd\nab\n", true},
              {"ab cd\nef\n", "ef\n\tAB  cd \r\n", true},
              {"ab cd\nef\n", "ab\ncd ef\n", false},
              {"a\na\n", "b\nb\n", false},
              {"a\n\n \nb", "b\n\v\na\n", true},
              {y127 + "\nb\n", "b\n" + y127 + "\n", true},
              {y127 + "y\nb\n", "b\n" + y127 + "\n", false},
              {z1023 + "\nb\n", "B\n" + z1023, true},
              {z1023 + "z\nb\n", "b\n" + z1023 + "Z\n", true},
              {z1023 + "z\nb\n", "b\n" + z1023 + "\n", false}};
  for (const kernels *k : usable()) {
    hashkey key = randomkey(*k);
    SCOPED_TRACE(std::string(k->name) + " kernels");
    shaper a, b, whole;
    for (const auto &r : rows)
      for (size_t most : {1, 3, 100000}) {
        orderfeed(a, key, r.x, 0, most, rng);
        orderfeed(b, key, r.y, 0, most, rng);
        EXPECT_EQ(kindof(a, b, 6), r.order ? kinds::order : kinds::content) << r.x << " | " << r.y << " in " << most;
      }
    for (int iter = 0; iter < 400; iter++) {
      std::string x, y;
      for (size_t i = pick(60); i > 0; i--) x += pieces[pick(std::size(pieces))];
      // y: x's lines shuffled, and now and then a byte changed, a letter's case or a space.
      std::vector<std::string> lines;
      for (size_t at = 0; at < x.size();) {
        size_t lf = std::min(x.find('\n', at), x.size());
        lines.push_back(x.substr(at, lf - at));
        at = lf + 1;
      }
      std::shuffle(lines.begin(), lines.end(), rng);
      for (const std::string &l : lines) y += l + "\n";
      if (!y.empty() && pick(2)) y[pick(y.size())] = "aAb \t\n"[pick(7)];
      SCOPED_TRACE("iteration " + std::to_string(iter));
      size_t cut = pick(x.size() + 1), most = 1 + pick(iter % 2 ? 9 : 5000);
      start(whole, key);
      feed(whole, x.data(), x.size());
      finished(whole);
      orderfeed(a, key, x, cut, most, rng);
      ASSERT_TRUE(a.lines == whole.lines);
      EXPECT_EQ(a.crlf, whole.crlf);
      EXPECT_EQ(a.any, whole.any);
      EXPECT_EQ(a.last, whole.last);
      orderfeed(b, key, y, pick(y.size() + 1), most, rng);
      // The rows before order may hold where it does not (spacing reads line feeds as spaces).
      std::string want = kindof(x, y);
      if (want == "order" || want == "content") {
        EXPECT_EQ(kindname(kindof(a, b, 6)), want) << x << " | " << y;
      }
    }
  }
}

// The AVX2 and AVX-512 line kernels share one NH and one finish, so they sum the same
// fingerprints, for lines of every length (within one vector, two, or past them to
// SipHash) fed together, each with the next one's bytes past its end; and one line by
// itself, whatever bytes lie past it.
TEST(Kinds, VectorLineKernelsAgree) {
#if defined(__x86_64__)
  if (!runnable(avx512) || !avx512linesrunnable()) GTEST_SKIP() << "needs the AVX-512 line kernels";
  std::mt19937 rng(20261210);
  hashkey wide = randomkey(avx512), narrow = wide;
  narrow.lines = &avx2lines;
  avx2lines.prepare(narrow);
  std::string text;
  for (size_t m = 1; m <= 200; m++)
    for (size_t i = 0; i <= m; i++) text += i == m ? '\n' : "abXY \t"[rng() % 6];
  auto sum = [&](const linekernel &lk, const hashkey &key) {
    orderline l;
    bool token = false, crlf = false;
    digest d;
    lk.feed(key, l, token, crlf, reinterpret_cast<const unsigned char *>(text.data()), text.size(), d);
    return d;
  };
  EXPECT_TRUE(sum(avx2lines, narrow) == sum(avx512lines, wide));
  unsigned char line[300];
  for (size_t m = 1; m <= 160; m++) {
    for (unsigned char &c : line) c = static_cast<unsigned char>(rng());
    EXPECT_TRUE(avx2lines.one(narrow, line, m) == avx512lines.one(wide, line, m)) << m << " bytes";
  }
#endif
}

// The kinds table's rows, read in blocks as short as a byte, so that the forms part, pend
// and take over across every edge; but for the rows of a few MiB, read in 64 KiB ones.
TEST(Kinds, TheTableAtEveryBlockSize) {
  std::vector<int> bad;
  for (const auto &r : kindrows(KINDS_CASES, bad))
    for (size_t block : blocks) {
      if (block < 65536 && r[0].size() + r[1].size() > 8192) continue;
      SCOPED_TRACE("block " + std::to_string(block));
      run(r[0], r[1], block);
      EXPECT_EQ(kindof(r[0], r[1]), r[2]);
    }
  EXPECT_TRUE(bad.empty());
}

TEST(CommandLine, NoProgramNameStillNamesTheProgram) {
  char *argv[] = {nullptr};
  testing::internal::CaptureStdout();
  int status = linecmpmain(0, argv, 64);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Usage: linecmp file1 file2 [label1 [label2]]\n");
  EXPECT_EQ(status, 1);
}

// The end-to-end cases that linecmp itself runs on its two files and arguments alone: not
// those of another program, nor those that read a pipe, whose output goes elsewhere or
// that set the environment, which only run end to end.
std::vector<std::string> casenames() {
  std::vector<std::string> names;
  auto has = [](const std::string &name, const char *file) {
    return access((std::string(CASES_DIR) + "/" + name + "/" + file).c_str(), F_OK) == 0;
  };
  if (DIR *d = opendir(CASES_DIR)) {
    while (dirent *e = readdir(d))
      if (e->d_name[0] != '.' && !has(e->d_name, "program") && !has(e->d_name, "stdin") &&
          !has(e->d_name, "stdout_to") && !has(e->d_name, "env"))
        names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class Case : public ::testing::TestWithParam<std::string> {};

// Lines, differences and line feeds that straddle block boundaries give the same report.
TEST_P(Case, SameAtEveryBlockSize) {
  std::string dir = std::string(CASES_DIR) + "/" + GetParam();
  std::vector<std::string> args{"linecmp"};
  std::istringstream lines(slurp(dir + "/args"));
  for (std::string arg; std::getline(lines, arg);) args.push_back(arg);
  std::vector<char *> argv;
  for (auto &a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string expected = slurp(dir + "/expected");
  int want = std::stoi(slurp(dir + "/status"));

  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  for (size_t block : blocks) {
    testing::internal::CaptureStdout();
    int status = linecmpmain(int(args.size()), argv.data(), block);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected) << "block " << block;
    EXPECT_EQ(status, want) << "block " << block;
  }
  ASSERT_EQ(chdir(here), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Case, ::testing::ValuesIn(casenames()), [](const auto &info) {
  std::string name;
  for (char c : info.param) name += std::isalnum((unsigned char)c) ? c : '_';
  return name;
});

// Lines on both sides of the 41-byte head, and far past it, show as their whole selves.
TEST(Head, LinesAroundTheCutShowAsWhole) {
  const size_t lengths[] = {0, 1, 38, 39, 40, 41, 42, 43, 80, 70000};
  const std::string fills[] = {"x", "&", "\xff", "_ "};
  for (size_t n : lengths)
    for (const std::string &fill : fills)
      for (const char *end : {"\n", ""}) {
        std::string line;
        while (line.size() < n) line += fill;
        line.resize(n);
        // differ in the last byte, beyond any cut; and against a shorter line
        std::string x = "same\n" + line + "a" + end + "tail\n";
        std::string y = "same\n" + line + "b" + end;
        std::string z = "same\n" + line + end;
        for (size_t block : {size_t(3), size_t(64), size_t(65536)}) {
          SCOPED_TRACE("length " + std::to_string(n) + " block " + std::to_string(block));
          EXPECT_EQ(run(x, y, block), reference(x, y, "exp", "out"));
          EXPECT_EQ(run(y, z, block), reference(y, z, "exp", "out"));
          EXPECT_EQ(run(z, x, block), reference(z, x, "exp", "out"));
        }
      }
}

// Random pairs: a file and a mutated copy, at random block sizes and with every version
// of the scan kernels, against the reference. Whole-file changes (every line changed,
// shifted by a line, CR LF line ends) give more than ten differing pairs, which are then
// counted in bulk.
TEST(Differential, MatchesTheReference) {
  std::mt19937 rng(20261207);
  auto pick = [&](size_t n) { return size_t(rng() % n); };
  const std::string pieces[] = {"a",
                                "b",
                                " ",
                                "\n",
                                "\n",
                                "\r\n",
                                std::string(1, '\0'),
                                "\xff",
                                "&<>",
                                "\tA\r",
                                std::string(45, 'x'),
                                std::string(300, 'y')};
  // Thousands of short lines that rarely line up once shifted, as the passes that pair such
  // lines in bulk take them many rounds in a row: numbers; lines of 5 or 6 bytes with a
  // longer one every 20 to 80; and lines of 2 to 4 bytes that turn longer after the first
  // 200, where those passes judge by the first lines seen.
  auto numbers = [&](size_t lines) {
    std::string x;
    size_t shape = pick(3);
    for (size_t i = 0, next = 20 + pick(61); i < lines; i++) {
      if (shape == 0) x += std::to_string(pick(1000));
      if (shape == 1) x += std::string(i == next ? 9 + pick(4) : 5 + pick(2), 'a');
      if (shape == 2) x += std::string(i < 200 ? 1 + pick(3) : 1 + pick(12), "ab"[pick(2)]);
      x += '\n';
      if (i == next) next += 20 + pick(61);
    }
    return x;
  };
  const std::vector<const kernels *> turns = usable();
  for (int iter = 0; iter < 4000; iter++) {
    std::string x;
    bool big = iter % 40 == 0;
    size_t parts = pick(iter % 10 == 0 ? 400 : 40);
    for (size_t i = 0; i < parts; i++) x += pieces[pick(std::size(pieces))];
    if (big) x = numbers(2000 + pick(4000));
    std::string y = x;
    switch (big ? 3 : pick(7)) {
      case 3: y.erase(0, y.find('\n') + 1); break;
      case 0:
        for (char &c : y) c = c == 'a' ? 'b' : c == 'b' ? 'a' : c;
        break;
      case 4:
        for (char &c : y) c = c == 'a' ? 'A' : c == '\n' && pick(2) ? ' ' : c;
        break;
      case 1: y = pieces[pick(std::size(pieces))] + "\n" + y; break;
      case 2:
        y.clear();
        for (char c : x) y += c == '\n' ? std::string("\r\n") : std::string(1, c);
        break;
      case 5: {  // the lines in another order, so that only order may hold
        std::vector<std::string> lines;
        for (size_t at = 0; at < y.size();) {
          size_t lf = std::min(y.find('\n', at), y.size() - 1);
          lines.push_back(y.substr(at, lf + 1 - at));
          at = lf + 1;
        }
        std::shuffle(lines.begin(), lines.end(), rng);
        y.clear();
        for (const std::string &l : lines) y += l;
        break;
      }
      default: break;
    }
    for (size_t m = pick(4); m > 0; m--) {
      size_t at = y.empty() ? 0 : pick(y.size() + 1);
      switch (pick(5)) {
        case 0: y.insert(at, pieces[pick(std::size(pieces))]); break;
        case 1:
          if (at < y.size()) y.erase(at, 1 + pick(3));
          break;
        case 2:
          if (at < y.size()) y[at] = "a\nz"[pick(3)];
          break;
        case 3: y.resize(at); break;
        default: y += std::string(pick(30), '\n') + "extra"; break;
      }
    }
    if (pick(2)) std::swap(x, y);
    size_t block = big ? 1024 + pick(65536 - 1023) : 1 + pick(iter % 3 == 0 ? 8 : 200);
    const kernels *k = turns[size_t(big ? iter / 40 : iter) % turns.size()];
    SCOPED_TRACE("iteration " + std::to_string(iter) + " block " + std::to_string(block) + " " + k->name);
    // Now and then the kind's forms may hold a few bytes at most, so that the hashes take over.
    size_t lead = iter % 5 == 0 ? pick(100) : LEAD;
    ASSERT_EQ(run(x, y, block, k, iter % 2 == 1, lead), reference(x, y, "exp", "out"));
  }
}

// A stream that serves its bytes and then fails, as a disk read error does.
struct failing : std::streambuf {
  std::string data;
  explicit failing(std::string d) : data(std::move(d)) { setg(data.data(), data.data(), data.data() + data.size()); }
  int_type underflow() override { throw std::runtime_error("read error"); }
};

// A read error stops the run with the report so far and the status of a failure, in the
// lockstep part and in the tail alike.
TEST(ReadError, StopsWithTheReportSoFar) {
  const std::string x = "l1\nl2\nl3\n";
  const std::string ys[] = {"l1\nL2\nl3\n" + std::string(30, '\n'), "l1\nl2\nl3\nmore\n" + std::string(30, 'm')};
  for (const std::string &y : ys)
    for (size_t block : blocks) {
      SCOPED_TRACE("block " + std::to_string(block));
      std::istringstream sx(x);
      failing fb(y);
      std::istream sy(&fb);
      outcome o;
      std::string out = run(sx, sy, block, o);
      EXPECT_EQ(o.unreadable, 2);
      const std::string msg = "Cannot read file b.\n";
      ASSERT_GE(out.size(), msg.size());
      EXPECT_EQ(out.substr(out.size() - msg.size()), msg);
      std::string before = out.substr(0, out.size() - msg.size());
      std::string whole = reference(x, y, "exp", "out");
      EXPECT_EQ(whole.compare(0, before.size(), before), 0) << before;
      if (block < 10) {
        EXPECT_NE(before, "");
      }
    }
}

// Serves size bytes of 'x' and then the text end, without holding them.
struct endless : std::streambuf {
  char chunk[65536];
  size_t left;
  std::string head, end;
  bool started = false, served = false;
  endless(size_t size, std::string e, char fill = 'x', std::string h = "")
      : left(size), head(std::move(h)), end(std::move(e)) {
    std::memset(chunk, fill, sizeof chunk);
  }
  int_type underflow() override {
    if (!started && !head.empty()) {
      setg(head.data(), head.data(), head.data() + head.size());
      started = true;
    } else if (left > 0) {
      size_t n = std::min(left, sizeof chunk);
      left -= n;
      setg(chunk, chunk, chunk + n);
    } else if (!served) {
      setg(end.data(), end.data(), end.data() + end.size());
      served = true;  // clearing end instead would write a zero byte over what is served
    } else {
      return traits_type::eof();
    }
    return traits_type::to_int_type(*gptr());
  }
};

long peakkib() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// Contents that another thread changes while they are compared give some report, never
// a crash: here kernels that count a line feed which is no longer there by the next look,
// under linecmp's comparison and under a judge's rules.
TEST(ChangingContents, GiveAReport) {
  kernels liar = *chosen();
  liar.countlf = [](const char *, size_t n) { return n; };
  comparison c;
  attach(c.a, std::string_view("abc\n"), 64);
  attach(c.b, std::string_view("abd\n"), 64);
  outcome o;
  EXPECT_FALSE(run(c, o, &liar).empty());
  rules validator;
  std::string why;
  ASSERT_TRUE(makerules("validator", {}, validator, why));
  comparison d;
  d.k = &liar;
  attach(d.a, std::string_view("a b c"), 64);
  attach(d.b, std::string_view("a b d"), 64);
  judgement j = judgetokens(d, validator);
  EXPECT_EQ(j.v, DIFFERS);
  EXPECT_NE(j.message.find("expected line 1, byte 5: "), std::string::npos) << j.message;
}

// Numbers of every notation the kernel settles itself, under every version: no pair of
// short tokens that it saw whole is left to the streaming token reader.
TEST(TokenKernel, SettlesShortNumbers) {
  std::mt19937 rng(27);
  auto number = [&](const char *format) {
    char t[64];
    std::snprintf(t, sizeof t, format, std::uniform_real_distribution<double>(-1e3, 1e3)(rng));
    return std::string(t);
  };
  auto last = [](std::string t) {  // the last digit before any exponent moved by one
    size_t k = std::min(t.find('e'), t.size()) - 1;
    t[k] = t[k] == '9' ? '8' : char(t[k] + 1);
    return t;
  };
  const char *const sets[][2] = {{"validator", "1e-6"}, {"validator", "1e-6"}, {"validator", "1e-6"},
                                 {"validator", "1e-6"}, {"rcmp9", nullptr},    {"rcmp6", nullptr},
                                 {"rcmp6", nullptr},    {"validator", "1e-9"}};
  std::string a[8], b[8];
  for (int i = 0; i < 12000; i++) {
    std::string e = number("%.9e"), f = number("%.6f"), g = number("%.6E"), p = number("%.4f").substr(1);
    const std::string pairs[][2] = {{e, last(e)},   {f, last(f)}, {"1", "1.0"}, {"0.1000000", "0.0999999"},
                                    {"1e0", "1e0"}, {g, g},       {e, last(e)}, {"+" + p, p + "000"}};
    for (size_t s = 0; s < 8; s++)
      a[s] += pairs[s][0] + (i % 3 ? " " : "\n"), b[s] += pairs[s][1] + (i % 3 ? " " : "\n");
  }
  for (const kernels *const *k = versions; *k; k++)
    for (size_t s = 0; s < 8 && runnable(**k); s++) {
      rules r;
      std::string why;
      auto flags = sets[s][1] ? std::vector<std::string>{"float_tolerance", sets[s][1]} : std::vector<std::string>{};
      ASSERT_TRUE(makerules(sets[s][0], flags, r, why));
      comparison c;
      c.k = *k;
      attach(c.a, std::string_view(a[s]), 65536);
      attach(c.b, std::string_view(b[s]), 65536);
      judgement j = judgetokens(c, r);
      EXPECT_EQ(j.v, SAME) << (*k)->name << " " << sets[s][0] << ": " << j.message;
      EXPECT_EQ(j.streamed, 0) << (*k)->name << " " << sets[s][0] << " on " << a[s].substr(0, 40);
    }
}

// One line of 512 MiB on each side, differing in its last byte: memory stays small.
TEST(Memory, DoesNotGrowWithLineLength) {
  const size_t size = size_t(512) << 20;
  endless bx(size, "a"), by(size, "b\nand a tail line\n");
  std::istream x(&bx), y(&by);
  outcome o;
  long before = peakkib();
  std::string out = run(x, y, 65536, o);
  EXPECT_EQ(o.unreadable, 0);
  EXPECT_EQ(o.byte, int64_t(size) + 1);
  const std::string cut = std::string(40, 'x') + "...";
  EXPECT_EQ(out, "     exp 0001: " + cut + " (missing end-of-line character)\n     out 0001: " + cut +
                     "\nexp terminated, out continues:\n     out 0002: and_a_tail_line\n");
  EXPECT_LT(peakkib() - before, 64 * 1024) << "KiB";
}

// Nor with a run of spaces that the kind's rows may yet drop, past where the inputs part.
TEST(Memory, DoesNotGrowWithAPendingRun) {
  const size_t size = size_t(96) << 20;
  endless bx(size, "\n", ' ', "a\nb"), by(size, "c\n", ' ', "a\r\nb");
  std::istream x(&bx), y(&by);
  comparison c;
  c.findkind = true;
  attach(c.a, x, 65536);
  attach(c.b, y, 65536);
  outcome o;
  long before = peakkib();
  run(c, o);
  EXPECT_EQ(o.lines1, 2);
  EXPECT_EQ(kindname(o.kind), std::string("content"));
  EXPECT_LT(peakkib() - before, 32 * 1024) << "KiB";
}

}  // namespace
