// The program's entry points below main(), which the tests and the fuzz target call
// in-process: the whole program at a chosen block size, the labels, and the comparison.
#ifndef LINECMP_ENGINE_H
#define LINECMP_ENGINE_H

#include <cstddef>

#include "block.h"

// The whole program, reading in blocks of the given size; returns the exit status.
int linecmp(int argc, char **argv, size_t block);

// The labels of the first and second file, settled from the command line (argc >= 3) by
// setlabels(): label arguments or paths, cut to 8 bytes, "first" and "second" when equal.
extern char l1[20], l2[20];
void setlabels(int argc, char **argv);

// Compares the files read by a and b (named path1 and path2 in messages) and prints the
// report under the labels l1 and l2. Returns 1 if a file could not be read, else 0.
int compare(src &a, src &b, const char *path1, const char *path2);

#endif
