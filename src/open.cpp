#include "open.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <ios>
#include <streambuf>

namespace {

// A stream buffer that reads a descriptor of this process as it stands, and leaves it
// open. It keeps no buffer of its own: the block reader asks for whole blocks.
class fdbuf : public std::streambuf {
 public:
  explicit fdbuf(int fd) : fd_(fd) {}

 protected:
  // Fills s[0, n) unless the file ends first; a failed read throws, which the stream
  // turns into badbit.
  std::streamsize xsgetn(char *s, std::streamsize n) override {
    std::streamsize got = 0;
    while (got < n) {
      ssize_t r = ::read(fd_, s + got, size_t(n - got));
      if (r > 0) {
        got += r;
      } else if (r == 0) {
        break;
      } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
        wait();
      } else if (errno != EINTR) {
        throw std::ios_base::failure(std::strerror(errno));
      }
    }
    return got;
  }

  // One byte at a time, for any reader other than the block reader.
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (xsgetn(&byte_, 1) == 0) return traits_type::eof();
    setg(&byte_, &byte_, &byte_ + 1);
    return traits_type::to_int_type(byte_);
  }

 private:
  // A non-blocking descriptor set so by whoever made it has nothing yet: wait for it.
  void wait() const {
    pollfd p = {fd_, POLLIN, 0};
    while (::poll(&p, 1, -1) < 0)
      if (errno != EINTR) throw std::ios_base::failure(std::strerror(errno));
  }

  int fd_;
  char byte_ = 0;
};

// An input stream over an fdbuf that it owns.
class fdstream : public std::istream {
 public:
  explicit fdstream(int fd) : std::istream(nullptr), buf_(fd) { rdbuf(&buf_); }

 private:
  fdbuf buf_;
};

// The descriptor that path names (0 for /dev/stdin), or -1 when it names none.
int descriptor(const char *path) {
  if (std::strcmp(path, "/dev/stdin") == 0) return 0;
  const char *digits = nullptr;
  for (const char *dir : {"/dev/fd/", "/proc/self/fd/"})
    if (std::strncmp(path, dir, std::strlen(dir)) == 0) digits = path + std::strlen(dir);
  if (!digits || !*digits) return -1;
  long n = 0;
  for (const char *p = digits; *p; p++) {
    if (*p < '0' || *p > '9') return -1;
    n = n * 10 + (*p - '0');
    if (n > INT_MAX) return -1;
  }
  return int(n);
}

}  // namespace

std::unique_ptr<std::istream> openfile(const char *path) {
  auto file = std::make_unique<std::ifstream>(path);
  if (!file->fail()) return file;
  // Linux opens these names afresh, which fails for a socket (ENXIO) even though the
  // descriptor itself reads fine.
  int fd = descriptor(path);
  if (fd < 0) return nullptr;
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || (flags & O_ACCMODE) == O_WRONLY || (flags & O_PATH)) return nullptr;
  return std::make_unique<fdstream>(fd);
}
