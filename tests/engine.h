// What the tests reach inside the program: its entry with a chosen block size, the
// comparison over two block readers, and the labels it prints under.
#ifndef LINECMP_ENGINE_H
#define LINECMP_ENGINE_H

#include <cstddef>
#include <string>

#include "block.h"

int linecmp(int argc, char **argv, size_t block);
int compare(src &a, src &b, const char *path1, const char *path2);
extern char l1[20], l2[20];

// Runs compare() over two in-memory streams, in blocks of the given size, under the labels
// "exp" and "out" and the paths "a" and "b". Returns what it printed; status gets its result.
std::string run(std::istream &x, std::istream &y, size_t block, int &status);
std::string run(const std::string &x, const std::string &y, size_t block);

#endif
