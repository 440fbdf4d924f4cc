// The library as a caller sees it, through include/linecmp.h alone: the end-to-end cases
// again on files, descriptors and contents, errors that never pass for a report, and
// comparisons in many threads at once, each giving what it gives alone.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linecmp.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace {

std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// An input on the file at path, by kind: 'f' the file, 'd' a descriptor open on it, 'b'
// its contents. What the input needs lives in its holder.
struct holder {
  std::string contents;
  int fd = -1;
  holder() = default;
  holder(const holder &) = delete;
  ~holder() {
    if (fd >= 0) close(fd);
  }
};
linecmp::input make(char kind, const std::string &path, holder &h) {
  if (kind == 'f') return linecmp::file(path);
  if (kind == 'd') return linecmp::descriptor(h.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC));
  h.contents = slurp(path);
  return linecmp::bytes(h.contents);
}

// The end-to-end cases of linecmp on two files and their labels.
std::vector<std::string> casenames() {
  std::vector<std::string> names;
  auto has = [](const std::string &name, const char *file) {
    return access((std::string(CASES_DIR) + "/" + name + "/" + file).c_str(), F_OK) == 0;
  };
  if (DIR *d = opendir(CASES_DIR)) {
    while (dirent *e = readdir(d))
      if (e->d_name[0] != '.' && !has(e->d_name, "program") && !has(e->d_name, "stdin") &&
          !has(e->d_name, "stdout_to") && std::string(e->d_name).rfind("usage-", 0) != 0)
        names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class Case : public ::testing::TestWithParam<std::string> {};

// Every kind of input gives the program's report; a file it cannot open or read is the
// error it names, never a report.
TEST_P(Case, SameReportFromEveryKindOfInput) {
  std::string dir = std::string(CASES_DIR) + "/" + GetParam(), expected = slurp(dir + "/expected");
  std::vector<std::string> args;
  std::istringstream lines(slurp(dir + "/args"));
  for (std::string arg; std::getline(lines, arg);) args.push_back(arg);
  std::string l1 = args.size() > 2 ? args[2] : args[0], l2 = args.size() > 3 ? args[3] : args[1];
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  if (slurp(dir + "/status") != "0\n") {
    std::string last = expected.substr(expected.rfind('\n', expected.size() - 2) + 1);
    try {
      linecmp::compare(linecmp::file(args[0]), linecmp::file(args[1]), l1, l2);
      ADD_FAILURE() << "no error";
    } catch (const linecmp::error &e) {
      EXPECT_EQ((e.opening() ? "Cannot open file " : "Cannot read file ") + e.path() + ".\n", last);
    }
  }
  for (std::string kinds : {"ff", "dd", "bb", "bd"}) {
    if (slurp(dir + "/status") != "0\n") break;
    holder x, y;
    linecmp::input a = make(kinds[0], args[0], x), b = make(kinds[1], args[1], y);
    linecmp::result r = kinds == "ff" && args.size() == 2 ? linecmp::compare(a, b) : linecmp::compare(a, b, l1, l2);
    EXPECT_EQ(r.report, expected) << kinds;
    EXPECT_EQ(r.same, expected.empty()) << kinds;
  }
  ASSERT_EQ(chdir(here), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Case, ::testing::ValuesIn(casenames()), [](const auto &info) {
  std::string name;
  for (char c : info.param) name += std::isalnum((unsigned char)c) ? c : '_';
  return name;
});

// Labels default to a file's path, and to "first" and "second" for anything else.
TEST(Labels, DefaultToPathsOrFirstAndSecond) {
  const std::string dir = std::string(CASES_DIR) + "/example-of-the-readme/";
  const struct {
    const char *kinds, *shown;
  } table[] = {{"ff", "   file1 0002: 3_4\n   file2 0002: 3_5\n"},
               {"fd", "   file1 0002: 3_4\n  second 0002: 3_5\n"},
               {"bb", "   first 0002: 3_4\n  second 0002: 3_5\n"},
               {"bf", "   first 0002: 3_4\n   file2 0002: 3_5\n"}};
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  for (const auto &row : table) {
    holder x, y;
    std::string report = linecmp::compare(make(row.kinds[0], "file1", x), make(row.kinds[1], "file2", y)).report;
    EXPECT_EQ(report.substr(0, std::strlen(row.shown)), row.shown) << row.kinds;
  }
  ASSERT_EQ(chdir(here), 0);
}

// An input that cannot be opened or read throws its errno, named as messages name it.
TEST(Errors, CarryTheirErrnoAndName) {
  int writeonly = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const struct {
    linecmp::input in;
    int err;
    const char *name;
    bool opening;
  } table[] = {{linecmp::file("/nonexistent/x"), ENOENT, "/nonexistent/x", true},
               {linecmp::file("/"), EISDIR, "/", false},
               {linecmp::file("/proc/self/mem"), EIO, "/proc/self/mem", false},
               {linecmp::descriptor(-1), EBADF, "second", true},
               {linecmp::descriptor(writeonly), EBADF, "second", true}};
  for (const auto &row : table) {
    try {
      linecmp::compare(linecmp::bytes(""), row.in);
      ADD_FAILURE() << row.name << ": no error";
    } catch (const linecmp::error &e) {
      EXPECT_EQ(e.code().value(), row.err) << row.name;
      EXPECT_EQ(e.path(), row.name);
      EXPECT_EQ(e.opening(), row.opening) << row.name;
    }
  }
  close(writeonly);
  EXPECT_THROW(linecmp::judge("no-such-rules", linecmp::bytes(""), linecmp::bytes("")), linecmp::judge_error);
}

// A kernel version that cannot be used is a judge_error. The version is chosen once per
// process, so CTest runs this again alone with LINECMP_KERNEL=none.
TEST(Kernel, UnusableIsAJudgeError) {
  const char *asked = std::getenv("LINECMP_KERNEL");
  if (!asked || std::string(asked) != "none") GTEST_SKIP() << "needs LINECMP_KERNEL=none";
  try {
    linecmp::compare(linecmp::bytes("a"), linecmp::bytes("a"));
    ADD_FAILURE() << "no error";
  } catch (const linecmp::judge_error &e) {
    EXPECT_EQ(std::string(e.what()).rfind("LINECMP_KERNEL=none: no such kernel version", 0), 0u) << e.what();
  }
  EXPECT_THROW(linecmp::judge("checker", linecmp::bytes("a"), linecmp::bytes("a")), linecmp::judge_error);
}

// Comparisons and judgements in several threads at once, on contents and on files, each
// give what they give alone.
TEST(Threads, EachGivesWhatItGivesAlone) {
  std::mt19937 rng(5);
  std::string base;
  for (int i = 0; i < 3000; i++) base += std::string(rng() % 60, char('a' + rng() % 26)) + (i % 7 ? "\n" : " x\n");
  std::vector<std::string> texts = {base, base, base.substr(0, base.size() / 2), "inserted\n" + base, base + "more"};
  texts[1][base.size() / 3] ^= 1;
  char dir[] = "/tmp/linecmp-threads-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::vector<std::string> paths;
  for (size_t i = 0; i < texts.size(); i++) {
    paths.push_back(std::string(dir) + "/" + std::to_string(i));
    std::ofstream(paths.back(), std::ios::binary) << texts[i];
  }
  // Every pair, as contents and as files, and what each gives alone.
  auto run = [&](size_t n) {
    size_t i = n % texts.size(), j = n / texts.size() % texts.size();
    linecmp::result r = n < texts.size() * texts.size()
                            ? linecmp::compare(linecmp::bytes(texts[i]), linecmp::bytes(texts[j]))
                            : linecmp::compare(linecmp::file(paths[i]), linecmp::file(paths[j]));
    return r.report + r.locator + linecmp::judge("checker", linecmp::bytes(texts[i]), linecmp::file(paths[j])).message;
  };
  const size_t runs = 2 * texts.size() * texts.size();
  std::vector<std::string> alone;
  for (size_t n = 0; n < runs; n++) alone.push_back(run(n));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < 4; t++)
    threads.emplace_back([&, t] {
      for (size_t n = 0; n < 3 * runs; n++)
        if (run((n * 7 + t) % runs) != alone[(n * 7 + t) % runs]) wrong++;
    });
  for (auto &t : threads) t.join();
  EXPECT_EQ(wrong, 0);
  for (const auto &path : paths) unlink(path.c_str());
  rmdir(dir);
}

}  // namespace
