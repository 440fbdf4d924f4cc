// Opening an input file. Every file is read through its descriptor, one read(2) at a time,
// so that a pipe or socket gives what it has rather than being waited on until a whole
// block is full: a caller that feeds both inputs in turn cannot deadlock with the program.
#ifndef LINECMP_OPEN_H
#define LINECMP_OPEN_H

#include <cstdio>
#include <istream>
#include <memory>

#include "read/block.h"

namespace linecmp::engine {

// The longest wait, in ms, between two questions to a cancel while a read waits for input.
// Not a speed constant: a waiting read costs a wake-up per WAIT ms, and a Python caller
// checks for signals every 20 ms at most, so that Ctrl-C stops a wait within 0.1 s.
constexpr int WAIT = 20;

// The stream that reads path, or null, with errno set, when it cannot be opened. /dev/stdin, /dev/fd/N and
// /proc/self/fd/N (leading zeros allowed) name a descriptor of this process: they open as
// Linux opens them, and where it cannot (a socket), the stream reads that descriptor from
// where it stands, waiting on a non-blocking one. A socket that is not a byte stream is
// refused, since a read shorter than a datagram loses the rest of it. The stream's read()
// returns what one read(2) gives; a short read is not the end of the file, and a read that
// fails leaves the stream bad. With stop, nothing waits without asking it at least every
// WAIT ms: a FIFO opens without waiting for a writer, and each read of anything but a
// regular file or block device waits in poll() first; a read after it says to stop fails
// with ECANCELED.
std::unique_ptr<std::istream> openfile(const char *path, cancel *stop = nullptr);

// Opens the two inputs of a comparison into f1 and f2 and returns the path of the first
// one that cannot be opened, or null; err then gets its errno value. A path that names a
// descriptor not open here fails before either file is opened: opening the other file
// could take its number, and the path would then name that file.
const char *openinputs(const char *path1, const char *path2, std::unique_ptr<std::istream> &f1,
                       std::unique_ptr<std::istream> &f2, int *err = nullptr);

// The stream that reads the descriptor fd from where it stands, without taking it over:
// the caller keeps it open while the stream is used, and closes it. Null, with errno set,
// when fd cannot be read as a byte stream. stop is as for openfile().
std::unique_ptr<std::istream> openfd(int fd, cancel *stop = nullptr);

// Creates (or empties) the file at path for writing, as a stream, or null with errno
// set. Like every file opened here, it never takes descriptors 0 to 2: with one of those
// closed, a file opened on it would stand for standard input, output or error.
FILE *create(const char *path);

}  // namespace linecmp::engine

#endif
