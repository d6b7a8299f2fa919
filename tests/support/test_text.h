// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the texts and folders the programs write, for the tests' checks.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

// The lines of a CR LF text, without their ends; a last line without its CR LF
// (a torn write) is returned with a marker so that it cannot pass for whole.
inline std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back("<torn>" + text.substr(at));
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// Every field between separators, empty ones and a last empty one included ("a,,"
// gives three fields, "" one).
inline std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == separator) fields.emplace_back();
    else fields.back().push_back(c);
  }
  return fields;
}

// The tab-separated columns of a line of a .XYZ file.
inline std::vector<std::string> Columns(const std::string& line) { return Split(line, '\t'); }

// The names of the files in `dir` ending in `extension` (every file when it is
// empty), sorted; none when the folder does not exist.
inline std::vector<std::string> SortedFileNames(const std::string& dir, const std::string& extension = "") {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (extension.empty() || e.path().extension() == extension) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
