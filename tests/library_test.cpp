// The library as a caller sees it, through include/linecmp.h alone: the end-to-end cases
// again on files, descriptors and contents, errors that never pass for a report, and
// comparisons in many threads at once, each giving what it gives alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linecmp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "escapes.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// One end-to-end case of linecmp on two files: its folder, its arguments, what it prints,
// and whether it succeeds.
struct run {
  fs::path dir;
  std::vector<std::string> args;
  std::string expected;
  bool ok;
  explicit run(const std::string &name)
      : dir(fs::path(CASES_DIR) / name), expected(slurp(dir / "expected")), ok(slurp(dir / "status") == "0\n") {
    std::istringstream lines(slurp(dir / "args"));
    for (std::string arg; std::getline(lines, arg);) args.push_back(arg);
  }
  // The path of argument i, from anywhere.
  std::string at(size_t i) const { return args[i].empty() ? "" : (dir / args[i]).string(); }
};

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

// What the library gives on c's inputs, of the given kinds, under its labels: the report,
// or for an error the message the program gives, naming the path as c's arguments do.
std::string outcome(const run &c, const char *kinds) {
  holder x, y;
  std::string l1 = c.args.size() > 2 ? c.args[2] : c.args[0], l2 = c.args.size() > 3 ? c.args[3] : c.args[1];
  try {
    // With the kind found too, which must leave the report as it is (and, in many threads at
    // once, each call's own).
    linecmp::result r = linecmp::compare(make(kinds[0], c.at(0), x), make(kinds[1], c.at(1), y), l1, l2,
                                         linecmp::compare_options{true, {}});
    return r.same == r.report.empty() ? r.report : "same and the report disagree";
  } catch (const linecmp::error &e) {
    std::string name = e.path() == c.at(0) ? c.args[0] : e.path() == c.at(1) ? c.args[1] : "?";
    return (e.opening() ? "Cannot open file " : "Cannot read file ") + name + ".\n";
  }
}

// Each case of linecmp alone on two files (not those of another program or of a pipe),
// with the kinds of inputs to run it on: every kind for one that succeeds, files alone
// for one that fails.
std::vector<std::pair<run, std::string>> work() {
  std::vector<std::pair<run, std::string>> all;
  for (const auto &dir : fs::directory_iterator(CASES_DIR)) {
    auto has = [&](const char *file) { return fs::exists(dir.path() / file); };
    if (has("program") || has("stdin") || has("stdout_to") || has("env") ||
        dir.path().filename().string().rfind("usage-", 0) == 0)
      continue;
    run c(dir.path().filename());
    for (const char *kinds : {"ff", "dd", "bb", "bd", "db"})
      if (c.ok || kinds[0] == 'f') all.emplace_back(c, kinds);
  }
  return all;
}

// Every kind of input gives the program's report; a file it cannot open or read is the
// error it names, never a report. With no labels, those of files are their paths.
TEST(Cases, SameAsTheProgramFromEveryKindOfInput) {
  for (const auto &[c, kinds] : work()) {
    EXPECT_EQ(outcome(c, kinds.c_str()), c.expected) << c.dir << " " << kinds;
    if (kinds == "ff" && c.ok && c.args.size() == 2) {
      fs::path here = fs::current_path();
      fs::current_path(c.dir);
      EXPECT_EQ(linecmp::compare(linecmp::file(c.args[0]), linecmp::file(c.args[1])).report, c.expected) << c.dir;
      fs::current_path(here);
    }
  }
}

// The rows of kinds.cases; a line that is none of what the top of the file says fails the
// test.
std::vector<std::array<std::string, 3>> kindrows() {
  std::vector<int> bad;
  std::vector<std::array<std::string, 3>> rows = ::kindrows(KINDS_CASES, bad);
  for (int n : bad) ADD_FAILURE() << KINDS_CASES ":" << n << ": not a row";
  EXPECT_GT(rows.size(), 0u);
  return rows;
}

// The kind compare() finds on x, through a pipe that another thread writes, and y.
std::string piped(const std::string &x, const std::string &y) {
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) return "no pipe";
  fcntl(p[1], F_SETPIPE_SZ, 1 << 20);  // fewer turns between the threads, for a loaded machine or an emulator
  std::thread writer([&] {
    for (size_t at = 0; at < x.size();) {
      ssize_t n = write(p[1], x.data() + at, x.size() - at);
      if (n <= 0) break;
      at += size_t(n);
    }
    close(p[1]);
  });
  linecmp::result r =
      linecmp::compare(linecmp::descriptor(p[0]), linecmp::bytes(y), linecmp::compare_options{true, {}});
  writer.join();
  close(p[0]);
  return linecmp::name(r.kind.value());
}

// Each row's kind, both ways round, from every kind of input and through a pipe, and
// again after 10 MB of lines both inputs share, which the pipe gives a block at a time.
TEST(Kinds, FromTheTable) {
  std::string shared;
  for (int i = 0; shared.size() < 10u << 20; i++) shared += std::to_string(i) + " shared\n";
  fs::path dir = fs::temp_directory_path() / ("linecmp-kinds-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::string bx = shared, by = shared;  // each row after the shared lines, in the same room
  for (const auto &[x, y, want] : kindrows()) {
    std::ofstream(dir / "x", std::ios::binary) << x;
    std::ofstream(dir / "y", std::ios::binary) << y;
    for (const char *kinds : {"bb", "ff", "dd", "fb", "bd"}) {
      holder hx, hy;
      linecmp::result r = linecmp::compare(make(kinds[0], dir / "x", hx), make(kinds[1], dir / "y", hy),
                                           linecmp::compare_options{true, {}});
      EXPECT_EQ(linecmp::name(r.kind.value()), want)
          << testing::PrintToString(x) << " " << testing::PrintToString(y) << " " << kinds;
    }
    EXPECT_EQ(piped(y, x), want) << testing::PrintToString(y) << " " << testing::PrintToString(x);
    // An empty input gains a line feed at the end; after shared lines it has no end to gain.
    if (!x.empty() && !y.empty()) {
      bx.resize(shared.size());
      by.resize(shared.size());
      EXPECT_EQ(piped(bx += x, by += y), want)
          << "after 10 MB: " << testing::PrintToString(x) << " " << testing::PrintToString(y);
    }
  }
  fs::remove_all(dir);
}

// The explanation under labels whole and readable, the kind named when asked for, and the
// locator after its first line; "first" and "second" for equal labels.
TEST(Explanation, NamesTheKindAndThePlaceUnderWholeLabels) {
  linecmp::result r = linecmp::compare(linecmp::bytes("1\n2\n"), linecmp::bytes("1\n3\n"), "expected output",
                                       "your output\xff", linecmp::compare_options{true, {}});
  EXPECT_EQ(r.explanation,
            "expected output and your output\\xff differ in content at line 2, byte 1; 1 of 2 pairs of "
            "lines differ; expected output has 2 lines, your output\\xff has 2\nfirst difference at line "
            "2, byte 1:\nexpected output: 2\nyour output\\xff: 3\n" +
                std::string(17, ' ') + "^\n");
  EXPECT_EQ(r.locator, r.explanation.substr(r.explanation.find('\n') + 1));
  EXPECT_EQ(linecmp::compare(linecmp::bytes("x\n"), linecmp::bytes("x\ny\n"), "eq", "eq").locator.find("\n first: "),
            35u);
}

// A descriptor that cannot be read throws EBADF, under the name messages give it.
TEST(Errors, DescriptorsNotOpenForReading) {
  int writeonly = open("/dev/null", O_WRONLY | O_CLOEXEC);
  for (int fd : {-1, writeonly}) {
    try {
      linecmp::compare(linecmp::bytes(""), linecmp::descriptor(fd));
      ADD_FAILURE() << fd;
    } catch (const linecmp::error &e) {
      EXPECT_EQ(e.code().value(), EBADF);
      EXPECT_EQ(e.path(), "second");
    }
  }
  close(writeonly);
}

// A path with a null byte is refused before anything is opened, not read up to that byte.
TEST(Errors, NullByteInPath) { EXPECT_THROW(linecmp::file(std::string("/dev/null\0.out", 14)), linecmp::error); }

// A kernel version that cannot be used is a judge_error. The version is chosen once per
// process, so CTest runs this again alone with LINECMP_KERNEL=none.
TEST(Kernel, UnusableIsAJudgeError) {
  if (std::string(getenv("LINECMP_KERNEL") ? getenv("LINECMP_KERNEL") : "") != "none") GTEST_SKIP();
  EXPECT_THROW(linecmp::compare(linecmp::bytes("a"), linecmp::bytes("a")), linecmp::judge_error);
  EXPECT_THROW(linecmp::judge("checker", linecmp::bytes("a"), linecmp::bytes("a")), linecmp::judge_error);
}

// Every case, of every kind, compared and judged in four threads at once, gives what it
// gives alone.
TEST(Threads, EachGivesWhatItGivesAlone) {
  const std::vector<std::pair<run, std::string>> all = work();
  auto once = [&](size_t n) {
    const run &c = all[n].first;
    std::string got = outcome(c, all[n].second.c_str());
    return c.ok ? got + linecmp::judge("checker", linecmp::file(c.at(0)), linecmp::file(c.at(1))).message : got;
  };
  std::vector<std::string> alone;
  for (size_t n = 0; n < all.size(); n++) alone.push_back(once(n));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (size_t t = 0; t < 4; t++)
    threads.emplace_back([&, t] {
      for (size_t n = t; n < 4 * all.size(); n += 4) wrong += once(n % all.size()) != alone[n % all.size()];
    });
  for (auto &t : threads) t.join();
  EXPECT_EQ(wrong, 0);
}

// A call cancelled by another thread, or before it reads, throws cancelled soon, never a
// result: on endless inputs, a FIFO no one opens for writing, a pipe no one writes to.
TEST(Threads, CancelledFromAnotherThread) {
  fs::path fifo = fs::temp_directory_path() / ("linecmp-cancel-" + std::to_string(getpid()));
  int idle[2];
  ASSERT_TRUE(mkfifo(fifo.c_str(), 0600) == 0 && pipe(idle) == 0);
  for (const auto &[a, b] : {std::pair{linecmp::file("/dev/zero"), linecmp::file("/dev/zero")},
                             {linecmp::file(fifo), linecmp::bytes("")},
                             {linecmp::bytes("1\n"), linecmp::descriptor(idle[0])},
                             {linecmp::bytes("1\n"), linecmp::bytes("1\n")}})
    for (bool judged : {false, true}) {
      std::atomic<bool> stop{b.what() == linecmp::input::kind::bytes};
      std::thread stopper([&stop] { std::this_thread::sleep_for(std::chrono::milliseconds(30)), stop = true; });
      auto start = std::chrono::steady_clock::now();
      linecmp::cancel_check cancel = [&stop] { return stop.load(); };
      EXPECT_THROW(judged ? (void)linecmp::judge("wcmp", a, b, {}, cancel) : (void)linecmp::compare(a, b, cancel),
                   linecmp::cancelled);
      stopper.join();  // within 50 ms on a quiet machine; far more under an emulator
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << judged;
    }
  close(idle[0]), close(idle[1]), fs::remove(fifo);
}

}  // namespace
