// The order row's line kernels with the AES finish and the portable canonical bytes, for
// any x86-64 CPU with AES-NI. Like the scan kernels' files, this one sets its own target
// after the standard headers, so that it builds with one plain compiler command.
#if defined(__x86_64__)
#include <immintrin.h>

#include <cstring>

#include "kind/lines.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("sse4.1,aes"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("sse4.1,aes")
#endif

namespace linecmp::engine {

namespace aeslinesbase {
#include "kind/lines_body.h"
// The finish uses the body's NH sums.
#include "kind/lines_aesround.h"
}  // namespace aeslinesbase

namespace aeslinesbase {
using hash = nhwords<aesfinish>;
}  // namespace aeslinesbase

const linekernel aeslines = {"aes", aeslinesbase::lineone<aeslinesbase::hash>,
                             aeslinesbase::linesfeed<aeslinesbase::scalarcanon, aeslinesbase::hash>,
                             aeslinesbase::aesprepare};

}  // namespace linecmp::engine

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace linecmp::engine {

bool aesrunnable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.1");
}

}  // namespace linecmp::engine
#endif
