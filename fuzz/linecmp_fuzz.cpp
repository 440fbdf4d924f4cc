// libFuzzer target: the whole program on two files and up to two labels chosen by the
// input, at a block size the input chooses, checked against the line-at-a-time reference.
//
// Input: byte 0 picks the block size, byte 1 the number of labels (mod 3), bytes 2-3 the
// length of the first file (little-endian, cut to what is there); then the first file;
// then for each label a length byte and its bytes; the rest is the second file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine.h"
#include "reference.h"

namespace {

int report = -1;  // standard output is redirected here, to read back what was printed
int files[2] = {-1, -1};

int memfile(const char *name) {
  int fd = memfd_create(name, 0);
  if (fd < 0) std::abort();
  return fd;
}

void put(int fd, const std::string &s) {
  if (ftruncate(fd, 0) != 0 || pwrite(fd, s.data(), s.size(), 0) != ssize_t(s.size())) std::abort();
}

std::string take(size_t &at, size_t n, const uint8_t *data, size_t size) {
  n = std::min(n, size - at);
  std::string s(reinterpret_cast<const char *>(data) + at, n);
  at += n;
  return s;
}

// The label as printed: argv strings end at a zero byte, are cut to 8 bytes, and two
// equal labels become first and second.
void settle(std::string &a, std::string &b) {
  for (std::string *s : {&a, &b}) *s = s->substr(0, std::min(s->find('\0'), size_t(8)));
  if (a == b) {
    a = "first";
    b = "second";
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  report = memfile("report");
  files[0] = memfile("file1");
  files[1] = memfile("file2");
  std::fflush(stdout);
  if (dup2(report, STDOUT_FILENO) < 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 4) return 0;
  static const size_t sizes[] = {1, 2, 3, 5, 7, 16, 64, 4096, 65536};
  size_t block = sizes[data[0] % std::size(sizes)];
  int labels = data[1] % 3;
  size_t at = 4;
  std::string x = take(at, data[2] | size_t(data[3]) << 8, data, size);
  std::string lab[2];
  for (int i = 0; i < labels && at < size; i++) {
    size_t n = data[at++];
    lab[i] = take(at, n, data, size);
  }
  std::string y = take(at, size, data, size);
  put(files[0], x);
  put(files[1], y);

  std::string path[2] = {"/proc/self/fd/" + std::to_string(files[0]), "/proc/self/fd/" + std::to_string(files[1])};
  std::vector<char *> argv{const_cast<char *>("linecmp"), path[0].data(), path[1].data()};
  for (int i = 0; i < labels; i++) argv.push_back(lab[i].data());
  argv.push_back(nullptr);
  int status = linecmp(int(argv.size() - 1), argv.data(), block);

  std::fflush(stdout);
  std::string got(size_t(lseek(report, 0, SEEK_CUR)), '\0');
  if (pread(report, got.data(), got.size(), 0) != ssize_t(got.size())) std::abort();
  if (ftruncate(report, 0) != 0 || lseek(report, 0, SEEK_SET) != 0) std::abort();

  std::string l1 = labels > 0 ? lab[0] : path[0], l2 = labels > 1 ? lab[1] : path[1];
  settle(l1, l2);
  std::string want = reference(x, y, l1, l2);
  if (status != 0 || got != want) {
    std::fprintf(stderr, "block %zu, status %d\n--- expected\n%s--- got\n%s---\n", block, status, want.c_str(),
                 got.c_str());
    std::abort();
  }
  return 0;
}
