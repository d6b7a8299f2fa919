// SPDX-License-Identifier: GPL-3.0-or-later
#include "hex_log.h"

namespace q47vsim {

std::string HexBytes(const std::uint8_t* b, std::size_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(n * 3);
  for (std::size_t i = 0; i < n; ++i) {
    if (i) s += ' ';
    s += kDigits[b[i] >> 4];
    s += kDigits[b[i] & 15];
  }
  return s;
}

HexLog::~HexLog() {
  if (f_) std::fclose(f_);
}

bool HexLog::Open(const std::string& path, std::string* error) {
  f_ = std::fopen(path.c_str(), "w");
  if (!f_ && error) *error = "cannot write log " + path;
  return f_ != nullptr;
}

void HexLog::Line(double t, const char* dir, const char* line, const std::uint8_t* b, std::size_t n) {
  if (!f_) return;
  std::fprintf(f_, "%.6f %s %s %s\n", t, dir, line, HexBytes(b, n).c_str());
  std::fflush(f_);
}

}  // namespace q47vsim
