// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's traffic log: one line per command frame received and per reply
// or sentence sent, "<seconds since start> <RX|TX> <line> <hex bytes>"; "TXF" lines
// show a reply's pieces as damaged by the fault options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace q47vsim {

class HexLog {
 public:
  HexLog() = default;
  ~HexLog();
  HexLog(const HexLog&) = delete;
  HexLog& operator=(const HexLog&) = delete;
  bool Open(const std::string& path, std::string* error);
  void Line(double t_s, const char* dir, const char* line, const std::uint8_t* bytes, std::size_t n);

 private:
  std::FILE* f_ = nullptr;
};

// "FE 44 10 ..." for a span of bytes.
std::string HexBytes(const std::uint8_t* bytes, std::size_t n);

}  // namespace q47vsim
