// SPDX-License-Identifier: GPL-3.0-or-later
// WINQ47V.INI and other private-profile files: sections "[Name]" holding
// "Key=Value" lines. Names match without regard to case, a missing key yields the
// caller's default text, and writing a key changes only its own line (or appends it
// to its section), so unknown keys, sections and comment lines survive a save.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniFile {
 public:
  IniFile() = default;

  // Builds the file from its text; never fails (lines that are neither a section
  // header nor a key line are kept as they are and ignored by lookups).
  static IniFile Parse(std::string_view text);

  // Reads the file at path. A missing file gives an empty IniFile and returns true
  // with *found = false; an unreadable one returns false and fills *error.
  static bool Load(const std::string& path, IniFile& out, bool* found = nullptr,
                   std::string* error = nullptr);

  // The value of key in section (first section and first key of that name win),
  // with white space around it and one enclosing pair of quotation marks removed;
  // nullopt when the key is missing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view default_text) const;
  bool HasSection(std::string_view section) const;

  // Replaces the key's value in place, or appends "Key=value" to the end of its
  // section, creating "[section]" at the end of the file when there is none.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // The whole file as text, line endings as they were read; new lines take the
  // ending of the file's first line ("\n" for a new file).
  std::string Text() const;

  // Writes the text to path through a temporary file in the same directory and a
  // rename, so an interrupted save leaves the old file whole. False and *error on
  // any failure.
  bool Save(const std::string& path, std::string* error = nullptr) const;

 private:
  // Where the name and value of a line lie, worked out once per line.
  struct LineInfo {
    enum Kind : uint8_t { Other, Section, Key } kind = Other;
    uint32_t name_pos = 0, name_len = 0;
    uint32_t value_pos = 0, value_len = 0;
  };
  static LineInfo Classify(std::string_view line, bool first_line);
  void Append(std::string line);
  std::string_view Name(std::size_t i) const;
  std::string_view Value(std::size_t i) const;
  // Index of the first section of that name, or lines_.size().
  std::size_t FindSection(std::string_view section) const;

  std::vector<std::string> lines_;  // raw line texts without "\n" (a '\r' is kept)
  std::vector<LineInfo> info_;      // one per line
  bool crlf_ = false;               // new lines end in "\r\n" like the file's first line
};

// Case-insensitive comparison of two ASCII names, as private-profile files do.
bool IniNamesEqual(std::string_view a, std::string_view b);
