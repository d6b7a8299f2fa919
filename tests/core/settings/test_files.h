// SPDX-License-Identifier: GPL-3.0-or-later
// Small file helpers for the settings tests; every test runs in its own
// temporary working directory.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
