// The program reads what a caller hands over on a descriptor, named as /dev/stdin,
// /dev/fd/N or /proc/self/fd/N, even where Linux cannot open it again (a socket), and
// waits for a slow writer on a non-blocking one. Each case runs the built program with
// the data on a descriptor, and expects the report it prints for the same data in a
// regular file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct outcome {
  std::string out;
  int status;
};

std::string tempfile(const std::string &data) {
  char name[] = "/tmp/linecmp-fd-XXXXXX";
  int fd = mkstemp(name);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(write(fd, data.data(), data.size()), ssize_t(data.size()));
  close(fd);
  return name;
}

std::string slurp(const std::string &path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// Runs the program on args. When at >= 0, the read end of a socket pair (or a pipe) is
// descriptor at in the program, and data is written to it, in slices with a pause
// before each when slow.
outcome run(std::vector<std::string> args, int at = -1, const std::string &data = "", bool pipe = false,
            bool nonblocking = false, bool slow = false) {
  signal(SIGPIPE, SIG_IGN);  // a program that stops reading early fails the case, not the test
  int ends[2] = {-1, -1};
  if (at >= 0) {
    if (pipe)
      EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
    else
      EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    if (nonblocking) fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
  }
  std::string out = tempfile("");
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(out.c_str(), O_WRONLY);
    dup2(fd, 1);
    if (at >= 0) {
      if (ends[0] == at)
        fcntl(at, F_SETFD, 0);
      else
        dup2(ends[0], at);
    }
    std::vector<char *> argv = {const_cast<char *>("linecmp")};
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(LINECMP_PROGRAM, argv.data());
    _exit(127);
  }
  if (at >= 0) {
    close(ends[0]);
    size_t slices = slow ? 4 : 1, size = (data.size() + slices - 1) / slices;
    for (size_t off = 0; off < data.size(); off += size) {
      if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(30));
      size_t n = std::min(size, data.size() - off);
      EXPECT_EQ(write(ends[1], data.data() + off, n), ssize_t(n));
    }
    close(ends[1]);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  outcome o = {slurp(out), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  std::remove(out.c_str());
  return o;
}

struct handover {
  const char *name;
  const char *path;  // how the program is told of the descriptor
  int at;            // the descriptor
  bool second;       // given as the second file rather than the first
  bool pipe, nonblocking, slow;
};

const handover handovers[] = {
    {"socket_as_dev_stdin", "/dev/stdin", 0, false, false, false, false},
    {"socket_as_dev_stdin_second", "/dev/stdin", 0, true, false, false, false},
    {"socket_as_dev_fd", "/dev/fd/5", 5, false, false, false, false},
    {"socket_as_proc_self_fd_second", "/proc/self/fd/7", 7, true, false, false, false},
    {"nonblocking_socket_slow_writer", "/dev/stdin", 0, false, false, true, true},
    {"nonblocking_socket_slow_writer_second", "/dev/fd/6", 6, true, false, true, true},
    {"pipe_as_dev_stdin_slow_writer", "/dev/stdin", 0, false, true, false, true},
};

void PrintTo(const handover &h, std::ostream *os) { *os << h.name; }

class Handover : public testing::TestWithParam<handover> {};

TEST_P(Handover, ReportsAsForARegularFile) {
  const handover &h = GetParam();
  // Enough to span reads, with more than ten differing pairs and a tail.
  std::string data, expected;
  for (int i = 1; i <= 20000; i++) {
    data += "line " + std::to_string(i) + (i % 7 == 0 ? " changed\n" : "\n");
    if (i <= 19990) expected += "line " + std::to_string(i) + "\n";
  }
  std::string file = tempfile(data), other = tempfile(expected);
  auto argsfor = [&](const std::string &input) {
    return h.second ? std::vector<std::string>{other, input, "expected", "output"}
                    : std::vector<std::string>{input, other, "output", "expected"};
  };
  outcome want = run(argsfor(file));
  outcome got = run(argsfor(h.path), h.at, data, h.pipe, h.nonblocking, h.slow);
  EXPECT_EQ(want.status, 0);
  EXPECT_NE(want.out, "");
  EXPECT_EQ(got.status, want.status);
  EXPECT_EQ(got.out, want.out);
  std::remove(file.c_str());
  std::remove(other.c_str());
}

INSTANTIATE_TEST_SUITE_P(Descriptors, Handover, testing::ValuesIn(handovers),
                         [](const testing::TestParamInfo<handover> &p) { return std::string(p.param.name); });

TEST(Descriptors, UnopenedDescriptorCannotBeOpened) {
  std::string other = tempfile("a\n");
  outcome got = run({"/dev/fd/37", other});
  EXPECT_EQ(got.status, 1);
  EXPECT_EQ(got.out, "Cannot open file /dev/fd/37.\n");
  std::remove(other.c_str());
}

}  // namespace
