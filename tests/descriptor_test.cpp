// The program reads what a caller hands over on a descriptor, named as /dev/stdin,
// /dev/fd/N or /proc/self/fd/N, even where Linux cannot open it again (a socket); waits
// for a slow writer on a non-blocking one; and keeps up with one writer that feeds both
// inputs in turn. Each case runs the built program with the data on descriptors, and
// expects the report it prints for the same data in regular files. What it cannot read
// whole (a datagram socket) or was never handed (a closed descriptor) it refuses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
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

constexpr int PIPE = -1, FILE = -2;  // kinds of feed besides the socket types

// One input handed to the program on descriptor at: a socket pair of the given type, a
// pipe, or a regular file whose offset stands mid-way (the path must still read it whole).
struct feed {
  int at, kind;
  std::string data;
};

enum writing { whole, slow, turns };  // at once; in quarters with pauses; a line of each in turn

// Writes all of s to fd, failing the test if the program takes nothing for 10 s.
bool put(int fd, const char *s, size_t n) {
  while (n > 0) {
    pollfd p = {fd, POLLOUT, 0};
    if (poll(&p, 1, 10000) != 1) {
      ADD_FAILURE() << "the program stopped reading descriptor " << fd;
      return false;
    }
    ssize_t w = write(fd, s, n);
    if (w < 0) return false;
    s += w;
    n -= size_t(w);
  }
  return true;
}

// Runs the program on args with the feeds on its descriptors and closed closed.
outcome run(std::vector<std::string> args, std::vector<feed> feeds = {}, writing how = whole, bool nonblocking = false,
            std::vector<int> closed = {}) {
  signal(SIGPIPE, SIG_IGN);  // a program that stops reading early fails the case, not the test
  std::vector<int> reader, writer;
  for (feed &f : feeds) {
    int ends[2] = {-1, -1};
    if (f.kind == FILE) {
      std::string name = tempfile(f.data);
      ends[0] = open(name.c_str(), O_RDONLY | O_CLOEXEC);
      std::remove(name.c_str());  // the descriptor keeps it, and /dev/fd/N still opens it
      lseek(ends[0], off_t(f.data.size() / 2), SEEK_SET);
    } else if (f.kind == PIPE) {
      EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
    } else {
      EXPECT_EQ(socketpair(AF_UNIX, f.kind | SOCK_CLOEXEC, 0, ends), 0);
    }
    if (nonblocking) fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    if (ends[1] >= 0) fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK);
    reader.push_back(ends[0]);
    writer.push_back(ends[1]);
  }
  std::string out = tempfile("");
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(out.c_str(), O_WRONLY);
    dup2(fd, 1);
    for (size_t i = 0; i < feeds.size(); i++) {
      int at = feeds[i].at;
      if (reader[i] == at)
        fcntl(at, F_SETFD, 0);
      else
        dup2(reader[i], at);
    }
    for (int fd : closed) close(fd);
    alarm(20);  // kept across exec: a program that hangs is killed, and the case fails
    std::vector<char *> argv = {const_cast<char *>("linecmp")};
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(LINECMP_PROGRAM, argv.data());
    _exit(127);
  }
  for (int fd : reader) close(fd);
  // Each feed in pieces: the whole, quarters, or lines; piece k of every feed in turn.
  std::vector<size_t> at(feeds.size(), 0);
  bool going = true;
  while (going) {
    going = false;
    for (size_t i = 0; i < feeds.size(); i++) {
      const std::string &d = feeds[i].data;
      if (writer[i] < 0 || at[i] >= d.size()) continue;
      size_t n = d.size() - at[i];
      if (how == slow) n = std::min(n, (d.size() + 3) / 4);
      if (how == turns) n = std::min(d.find('\n', at[i]), d.size() - 1) + 1 - at[i];
      if (how == slow) std::this_thread::sleep_for(std::chrono::milliseconds(30));
      if (!put(writer[i], d.data() + at[i], n)) {
        kill(pid, SIGKILL);
        going = false;
        break;
      }
      at[i] += n;
      going = true;
    }
  }
  for (int fd : writer)
    if (fd >= 0) close(fd);
  int status = 0;
  waitpid(pid, &status, 0);
  outcome o = {slurp(out), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  std::remove(out.c_str());
  return o;
}

// Enough to span reads, with more than ten differing pairs and a tail.
std::string sample(const std::string &more, int lines, int every) {
  std::string s;
  for (int i = 1; i <= lines; i++) s += "line " + std::to_string(i) + (i % every == 0 ? more : "") + "\n";
  return s;
}

struct handover {
  const char *name;
  const char *path;  // how the program is told of the descriptor
  int at;            // the descriptor
  bool second;       // given as the second file rather than the first
  int kind;
  bool nonblocking, slow;
};

const handover handovers[] = {
    {"socket_as_dev_stdin", "/dev/stdin", 0, false, SOCK_STREAM, false, false},
    {"socket_as_dev_stdin_second", "/dev/stdin", 0, true, SOCK_STREAM, false, false},
    {"socket_as_dev_fd", "/dev/fd/5", 5, false, SOCK_STREAM, false, false},
    {"socket_as_proc_self_fd_second", "/proc/self/fd/7", 7, true, SOCK_STREAM, false, false},
    {"nonblocking_socket_slow_writer", "/dev/stdin", 0, false, SOCK_STREAM, true, true},
    {"nonblocking_socket_slow_writer_second", "/dev/fd/6", 6, true, SOCK_STREAM, true, true},
    {"pipe_as_dev_stdin_slow_writer", "/dev/stdin", 0, false, PIPE, false, true},
    {"file_as_dev_fd_with_leading_zero", "/dev/fd/05", 5, false, FILE, false, false},
};

void PrintTo(const handover &h, std::ostream *os) { *os << h.name; }

class Handover : public testing::TestWithParam<handover> {};

TEST_P(Handover, ReadsAsAFile) {
  const handover &h = GetParam();
  std::string data = sample(" changed", 20000, 7), expected = sample("", 19990, 1);
  std::string file = tempfile(data), other = tempfile(expected);
  auto argsfor = [&](const std::string &input) {
    return h.second ? std::vector<std::string>{other, input, "expected", "output"}
                    : std::vector<std::string>{input, other, "output", "expected"};
  };
  outcome want = run(argsfor(file));
  outcome got = run(argsfor(h.path), {{h.at, h.kind, data}}, h.slow ? slow : whole, h.nonblocking);
  EXPECT_EQ(want.status, 0);
  EXPECT_NE(want.out, "");
  EXPECT_EQ(got.status, want.status);
  EXPECT_EQ(got.out, want.out);
  std::remove(file.c_str());
  std::remove(other.c_str());
}

INSTANTIATE_TEST_SUITE_P(Descriptors, Handover, testing::ValuesIn(handovers),
                         [](const testing::TestParamInfo<handover> &p) { return std::string(p.param.name); });

// One writer feeds both inputs a line at a time, in turn, as a harness that streams a
// program's output and the expected output does; the lines of the two differ in length.
TEST(Descriptors, OneWriterFeedingBothInTurn) {
  std::string x = sample("", 30000, 1), y = sample(" and longer on this side", 30000, 3);
  std::string fx = tempfile(x), fy = tempfile(y);
  outcome want = run({fx, fy});
  for (int kind : {PIPE, int(SOCK_STREAM)}) {
    SCOPED_TRACE(kind == PIPE ? "pipes" : "sockets");
    outcome got = run({"/dev/fd/3", "/dev/fd/4"}, {{3, kind, x}, {4, kind, y}}, turns);
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.out, want.out);
  }
  std::remove(fx.c_str());
  std::remove(fy.c_str());
}

// Paths the program must refuse: a socket whose reads would cut messages short, and
// descriptors the caller never opened, whose number another file would otherwise take.
TEST(Descriptors, RefusesWhatItCannotReadWhole) {
  std::string other = tempfile("a\n");
  struct refusal {
    std::vector<std::string> args;
    std::vector<feed> feeds;
    std::vector<int> closed;
    std::string out;
  } refusals[] = {
      {{"/dev/stdin", other}, {{0, SOCK_DGRAM, ""}}, {}, "Cannot open file /dev/stdin.\n"},
      {{other, "/dev/fd/5"}, {{5, SOCK_SEQPACKET, ""}}, {}, "Cannot open file /dev/fd/5.\n"},
      {{"/dev/fd/37", other}, {}, {}, "Cannot open file /dev/fd/37.\n"},
      {{other, "/dev/fd/3"}, {}, {3}, "Cannot open file /dev/fd/3.\n"},
      {{other, "/dev/stdin"}, {}, {0}, "Cannot open file /dev/stdin.\n"},
      {{"/dev/stdin", "/proc/self/fd/0"}, {}, {0}, "Cannot open file /dev/stdin.\n"},
  };
  for (refusal &r : refusals) {
    SCOPED_TRACE(r.out);
    outcome got = run(r.args, r.feeds, whole, false, r.closed);
    EXPECT_EQ(got.status, 1);
    EXPECT_EQ(got.out, r.out);
  }
  std::remove(other.c_str());
}

}  // namespace
