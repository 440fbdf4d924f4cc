// What the tests and the fuzz target reach inside the program: its entry with a chosen
// block size, the comparison over two block readers, and the labels it prints under.
#ifndef LINECMP_ENGINE_H
#define LINECMP_ENGINE_H

#include <cstddef>

#include "block.h"

int linecmp(int argc, char **argv, size_t block);
int compare(src &a, src &b, const char *path1, const char *path2);
extern char l1[20], l2[20];

#endif
