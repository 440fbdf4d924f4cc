// Opening an input file. A path opens as it always does; only where Linux cannot open
// again what a descriptor of this process holds (a socket behind /dev/stdin, say) is
// that descriptor read itself.
#ifndef LINECMP_OPEN_H
#define LINECMP_OPEN_H

#include <istream>
#include <memory>

// The stream that reads path, or null when it cannot be opened. When opening fails and
// path is /dev/stdin, /dev/fd/N or /proc/self/fd/N for a descriptor open for reading
// here, the stream reads that descriptor from where it stands, waiting on a non-blocking
// one; a read that fails leaves the stream bad.
std::unique_ptr<std::istream> openfile(const char *path);

#endif
