// SPDX-License-Identifier: GPL-3.0-or-later
// A small INI editor for the simulator: sets keys in WINQ47V.INI so that the
// program opens the simulator's lines, and leaves every other line as it was.
#pragma once

#include <string>
#include <vector>

namespace q47vsim {

struct IniValue {
  std::string section, key, value;
};

// Applies `values` to the text of an INI file: an existing key (section and key
// matched without regard to case) gets the new value; a missing key is added at the
// end of its section; a missing section is added at the end. Line ends are kept.
std::string ApplyIniValues(const std::string& text, const std::vector<IniValue>& values);

// Reads `path` (missing is fine), applies the values and writes it back through a
// temporary file, so a reader never sees half a file.
bool UpdateIniFile(const std::string& path, const std::vector<IniValue>& values, std::string* error);

}  // namespace q47vsim
