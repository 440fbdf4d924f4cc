// The library as a caller sees it, through include/linecmp.h alone: the end-to-end cases
// again on files, descriptors and contents, errors that never pass for a report, and
// comparisons in many threads at once, each giving what it gives alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linecmp.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// What an input made by make() needs while it is read.
struct holder {
  std::string contents;
  int fd = -1;
  ~holder() {
    if (fd >= 0) close(fd);
  }
};

// An input on the file at path, by kind: 'f' the file, 'd' a descriptor on it, 'b' its contents.
linecmp::input make(char kind, const std::string &path, holder &h) {
  if (kind == 'f') return linecmp::file(path);
  if (kind == 'd') return linecmp::descriptor(h.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC));
  return linecmp::bytes(h.contents = slurp(path));
}

// The end-to-end cases of linecmp on two files and their labels.
std::vector<std::string> casenames() {
  std::vector<std::string> names;
  for (const auto &dir : fs::directory_iterator(CASES_DIR)) {
    auto has = [&](const char *file) { return fs::exists(dir.path() / file); };
    if (!has("program") && !has("stdin") && !has("stdout_to") && dir.path().filename().string().rfind("usage-", 0) != 0)
      names.push_back(dir.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class Case : public ::testing::TestWithParam<std::string> {};

// Every kind of input gives the program's report; a file it cannot open or read is the
// error it names, never a report.
TEST_P(Case, SameReportFromEveryKindOfInput) {
  fs::path dir = fs::path(CASES_DIR) / GetParam(), here = fs::current_path();
  std::string expected = slurp(dir / "expected");
  std::vector<std::string> args;
  std::istringstream lines(slurp(dir / "args"));
  for (std::string arg; std::getline(lines, arg);) args.push_back(arg);
  std::string l1 = args.size() > 2 ? args[2] : args[0], l2 = args.size() > 3 ? args[3] : args[1];
  fs::current_path(dir);
  if (slurp(dir / "status") != "0\n") {
    try {
      linecmp::compare(linecmp::file(args[0]), linecmp::file(args[1]), l1, l2);
      ADD_FAILURE() << "no error";
    } catch (const linecmp::error &e) {
      std::string said = (e.opening() ? "Cannot open file " : "Cannot read file ") + e.path() + ".\n";
      EXPECT_EQ(said, expected.substr(expected.size() - std::min(said.size(), expected.size())));
    }
  } else {
    for (std::string kinds : {"ff", "dd", "bb", "bd"}) {
      holder x, y;
      linecmp::input a = make(kinds[0], args[0], x), b = make(kinds[1], args[1], y);
      linecmp::result r = kinds == "ff" && args.size() == 2 ? linecmp::compare(a, b) : linecmp::compare(a, b, l1, l2);
      EXPECT_EQ(r.report, expected) << kinds;
      EXPECT_EQ(r.same, expected.empty()) << kinds;
    }
  }
  fs::current_path(here);
}

INSTANTIATE_TEST_SUITE_P(Cases, Case, ::testing::ValuesIn(casenames()), [](const auto &info) {
  std::string name;
  for (char c : info.param) name += std::isalnum((unsigned char)c) ? c : '_';
  return name;
});

// An input that cannot be opened or read throws its errno, under the name messages give it.
TEST(Errors, CarryTheirErrnoAndName) {
  int writeonly = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const struct {
    linecmp::input in;
    int err;
    const char *name;
  } table[] = {{linecmp::file("/"), EISDIR, "/"},
               {linecmp::descriptor(-1), EBADF, "second"},
               {linecmp::descriptor(writeonly), EBADF, "second"}};
  for (const auto &row : table) {
    try {
      linecmp::compare(linecmp::bytes(""), row.in);
      ADD_FAILURE() << row.name << ": no error";
    } catch (const linecmp::error &e) {
      EXPECT_EQ(e.code().value(), row.err) << row.name;
      EXPECT_EQ(e.path(), row.name);
    }
  }
  close(writeonly);
  EXPECT_THROW(linecmp::judge("no-such-rules", linecmp::bytes(""), linecmp::bytes("")), linecmp::judge_error);
}

// A kernel version that cannot be used is a judge_error. The version is chosen once per
// process, so CTest runs this again alone with LINECMP_KERNEL=none.
TEST(Kernel, UnusableIsAJudgeError) {
  if (std::string(getenv("LINECMP_KERNEL") ? getenv("LINECMP_KERNEL") : "") != "none") GTEST_SKIP();
  EXPECT_THROW(linecmp::compare(linecmp::bytes("a"), linecmp::bytes("a")), linecmp::judge_error);
  EXPECT_THROW(linecmp::judge("checker", linecmp::bytes("a"), linecmp::bytes("a")), linecmp::judge_error);
}

// Comparisons and judgements in several threads at once, of the cases' files and their
// contents, each give what they give alone.
TEST(Threads, EachGivesWhatItGivesAlone) {
  std::vector<fs::path> dirs;
  for (const auto &name : casenames())
    if (fs::exists(fs::path(CASES_DIR) / name / "file1") && fs::exists(fs::path(CASES_DIR) / name / "file2"))
      dirs.push_back(fs::path(CASES_DIR) / name);
  auto run = [&](size_t n) {
    holder x, y, z;
    fs::path dir = dirs[n % dirs.size()];
    char kind = "fbd"[n / dirs.size() % 3];
    linecmp::result r = linecmp::compare(make(kind, dir / "file1", x), make(kind, dir / "file2", y), "exp", "out");
    return r.report + r.locator +
           linecmp::judge("checker", make('b', dir / "file1", z), linecmp::file(dir / "file2")).message;
  };
  std::vector<std::string> alone;
  for (size_t n = 0; n < 3 * dirs.size(); n++) alone.push_back(run(n));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (size_t t = 0; t < 4; t++)
    threads.emplace_back([&, t] {
      for (size_t n = t; n < 4 * alone.size(); n += 4) wrong += run(n % alone.size()) != alone[n % alone.size()];
    });
  for (auto &t : threads) t.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
