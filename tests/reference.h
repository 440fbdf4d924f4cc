// A straightforward linecmp kept beside the tests: whole lines, one pair at a time, as
// the report is defined, so the block engine can be checked against it.
#ifndef LINECMP_REFERENCE_H
#define LINECMP_REFERENCE_H

#include <string>
#include <string_view>
#include <vector>

#include "scan.h"

// The report for files x and y under the (already settled) labels lab1 and lab2.
std::string reference(std::string_view x, std::string_view y, const std::string &lab1, const std::string &lab2);

// The versions of the scan kernels this CPU runs, for checks to take turns among.
std::vector<const kernels *> usable();

#endif
