#include "read/open.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ios>
#include <streambuf>
#include <string>
#include <system_error>

namespace linecmp::engine {

namespace {

// A stream buffer over a descriptor. It keeps no buffer of its own: the block reader asks
// for whole blocks, through sgetn() alone.
class fdbuf : public std::streambuf {
 public:
  // stop, when set, is asked while a read waits; waits says that a read may wait at all.
  fdbuf(int fd, bool own, cancel *stop, bool waits) : fd_(fd), own_(own), stop_(waits ? stop : nullptr) {}
  fdbuf(const fdbuf &) = delete;
  fdbuf &operator=(const fdbuf &) = delete;
  ~fdbuf() override {
    if (own_) ::close(fd_);
  }

 protected:
  // What one read(2) gives, up to n bytes, and 0 only at the end of the file. A failed
  // read throws its errno, which the stream turns into badbit.
  std::streamsize xsgetn(char *s, std::streamsize n) override {
    if (stop_) wait();
    for (;;) {
      ssize_t r = ::read(fd_, s, size_t(n));
      if (r >= 0) return r;
      if (errno == EAGAIN || errno == EWOULDBLOCK)
        wait();
      else if (errno != EINTR)
        throw std::system_error(errno, std::generic_category());
    }
  }

 private:
  // Waits until a read will not block: for a descriptor that is non-blocking (set so by
  // whoever made it, or a FIFO opened here) and has nothing yet, and before every read
  // when stop_ is set, which is asked each time the wait is interrupted or WAIT ms pass.
  void wait() const {
    pollfd p = {fd_, POLLIN, 0};
    for (;;) {
      int r = ::poll(&p, 1, stop_ ? WAIT : -1);
      if (r > 0) return;
      if (r < 0 && errno != EINTR) throw std::system_error(errno, std::generic_category());
      if (stop_ && stop_->now()) throw std::system_error(ECANCELED, std::generic_category());
    }
  }

  int fd_;
  bool own_;  // opened here, so closed here; a descriptor handed over stays the caller's
  cancel *stop_;
};

// An input stream over an fdbuf that it owns.
class fdstream : public std::istream {
 public:
  fdstream(int fd, bool own, cancel *stop, bool waits) : std::istream(nullptr), buf_(fd, own, stop, waits) {
    rdbuf(&buf_);
  }

 private:
  fdbuf buf_;
};

// The descriptor that path names (0 for /dev/stdin), or -1 when it names none. name gets
// the path as Linux opens it, without leading zeros, which it does not take.
int descriptor(const char *path, std::string &name) {
  if (std::strcmp(path, "/dev/stdin") == 0) {
    name = path;
    return 0;
  }
  for (const char *dir : {"/dev/fd/", "/proc/self/fd/"}) {
    size_t len = std::strlen(dir);
    if (std::strncmp(path, dir, len) != 0 || path[len] == '\0') continue;
    long n = 0;
    for (const char *p = path + len; *p; p++) {
      if (*p < '0' || *p > '9') return -1;
      n = n * 10 + (*p - '0');
      if (n > INT_MAX) return -1;
    }
    name = dir + std::to_string(n);
    return int(n);
  }
  return -1;
}

// Whether path names a descriptor that is not open in this process.
bool unopened(const char *path) {
  std::string name;
  int fd = descriptor(path, name);
  return fd >= 0 && ::fcntl(fd, F_GETFD) < 0;
}

// Whether fd reads as a byte stream: anything but a datagram or packet socket. When not,
// errno says why. st gets its status.
bool bytestream(int fd, struct stat &st) {
  if (::fstat(fd, &st) != 0) return false;
  if (!S_ISSOCK(st.st_mode)) return true;
  int type = 0;
  socklen_t len = sizeof type;
  if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) != 0) return false;
  if (type == SOCK_STREAM) return true;
  errno = EPROTOTYPE;
  return false;
}

// fd itself, or, when it is 0 to 2, a copy of it above them, with the low one closed;
// -1 with errno set when there is no room.
int high(int fd) {
  if (fd < 0 || fd > 2) return fd;
  int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  int saved = errno;
  ::close(fd);
  errno = saved;
  return moved;
}

// A stream over fd, if it reads as a byte stream; one opened here is closed when it is not.
// One opened here without blocking is made blocking again unless it is a FIFO, whose
// reads then wait in poll().
std::unique_ptr<std::istream> stream(int fd, bool own, cancel *stop) {
  struct stat st = {};
  if (!bytestream(fd, st)) {
    int saved = errno;
    if (own) ::close(fd);
    errno = saved;
    return nullptr;
  }
  if (own && !S_ISFIFO(st.st_mode)) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0 && (flags & O_NONBLOCK)) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  }
  // Regular files and block devices never keep a read waiting for input.
  bool waits = !S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode);
  return std::make_unique<fdstream>(fd, own, stop, waits);
}

}  // namespace

std::unique_ptr<std::istream> openfile(const char *path, cancel *stop) {
  std::string name = path;
  int named = descriptor(path, name);
  // A FIFO opened for reading waits in open() for a writer, where nothing can ask stop;
  // opened without blocking, it waits in poll() instead, which a writer wakes.
  int fd = high(::open(name.c_str(), O_RDONLY | O_CLOEXEC | (stop ? O_NONBLOCK : 0)));
  if (fd >= 0) return stream(fd, true, stop);
  // Linux opens these names afresh, which fails for a socket (ENXIO) even though the
  // descriptor itself reads fine.
  if (named < 0) return nullptr;
  return openfd(named, stop);
}

std::unique_ptr<std::istream> openfd(int fd, cancel *stop) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return nullptr;
  if ((flags & O_ACCMODE) == O_WRONLY || (flags & O_PATH)) {
    errno = EBADF;
    return nullptr;
  }
  return stream(fd, false, stop);
}

const char *openinputs(const char *path1, const char *path2, std::unique_ptr<std::istream> &f1,
                       std::unique_ptr<std::istream> &f2, int *err) {
  bool shut1 = unopened(path1), shut2 = unopened(path2);
  int err1 = EBADF, err2 = EBADF;
  if (!shut1 && !(f1 = openfile(path1))) err1 = errno;
  if (!shut2 && !(f2 = openfile(path2))) err2 = errno;
  if (err) *err = !f1 ? err1 : err2;
  if (!f1) return path1;
  if (!f2) return path2;
  return nullptr;
}

FILE *create(const char *path) {
  int fd = high(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (fd < 0) return nullptr;
  FILE *f = ::fdopen(fd, "w");
  if (!f) {
    int saved = errno;
    ::close(fd);
    errno = saved;
  }
  return f;
}

}  // namespace linecmp::engine
