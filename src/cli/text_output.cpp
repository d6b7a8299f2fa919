// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace q47v::cli {

std::string PrintableText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

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
