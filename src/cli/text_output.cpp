// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace q47v::cli {

bool FinishOutput(const char* verb) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int err = errno;
  if (flushed && !std::ferror(stdout)) return true;
  std::fprintf(stderr, "q47v %s: writing the output failed: %s\n", verb,
               err != 0 ? std::strerror(err) : "write error on standard output");
  return false;
}

}  // namespace q47v::cli
