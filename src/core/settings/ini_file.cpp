// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ini_file.h"

#include "settings/atomic_file.h"

namespace {

constexpr std::size_t kMaxIniFileBytes = 16 * 1024 * 1024;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

uint32_t Offset(std::string_view part, std::string_view whole) {
  return static_cast<uint32_t>(part.data() - whole.data());
}

}  // namespace

bool IniNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// A line is a section header "[name]", a key line "name=value", or anything else
// (blank, a comment starting with ';' or '#', text without '='), which lookups skip.
IniFile::LineInfo IniFile::Classify(std::string_view line, bool first_line) {
  LineInfo info;
  if (line.size() > UINT32_MAX) return info;
  std::string_view whole = line;
  if (first_line && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
  std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '#') return info;
  if (t.front() == '[') {
    std::size_t close = t.find(']');
    std::string_view name =
        Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    info.kind = LineInfo::Section;
    info.name_pos = name.empty() ? 0 : Offset(name, whole);
    info.name_len = static_cast<uint32_t>(name.size());
    return info;
  }
  std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return info;
  std::string_view name = Trim(t.substr(0, eq));
  std::string_view value = Trim(t.substr(eq + 1));
  info.kind = LineInfo::Key;
  info.name_pos = name.empty() ? 0 : Offset(name, whole);
  info.name_len = static_cast<uint32_t>(name.size());
  info.value_pos = value.empty() ? 0 : Offset(value, whole);
  info.value_len = static_cast<uint32_t>(value.size());
  return info;
}

void IniFile::Append(std::string line) {
  info_.push_back(Classify(line, lines_.empty()));
  lines_.push_back(std::move(line));
}

std::string_view IniFile::Name(std::size_t i) const {
  return std::string_view(lines_[i]).substr(info_[i].name_pos, info_[i].name_len);
}

std::string_view IniFile::Value(std::size_t i) const {
  return std::string_view(lines_[i]).substr(info_[i].value_pos, info_[i].value_len);
}

std::size_t IniFile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i)
    if (info_[i].kind == LineInfo::Section && IniNamesEqual(Name(i), section)) return i;
  return lines_.size();
}

IniFile IniFile::Parse(std::string_view text) {
  IniFile ini;
  bool first_ending = true;
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    // A line keeps its own '\r', so mixed line endings survive a save.
    std::string_view line = text.substr(0, nl);
    if (nl != std::string_view::npos && first_ending) {
      ini.crlf_ = !line.empty() && line.back() == '\r';
      first_ending = false;
    }
    ini.Append(std::string(line));
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  return ini;
}

bool IniFile::Load(const std::string& path, IniFile& out, bool* found, std::string* error) {
  std::string text;
  bool missing = false;
  bool truncated = false;
  out = IniFile();
  if (found) *found = false;
  if (!ReadWholeFile(path, text, kMaxIniFileBytes, &missing, error, &truncated)) {
    if (missing && error) error->clear();
    return missing;
  }
  // Refuse rather than cut: a cut file saved back would lose its end.
  if (truncated) {
    if (error) *error = "cannot read " + path + ": larger than 16 MiB";
    return false;
  }
  if (found) *found = true;
  out = Parse(text);
  return true;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  // Only the first section of a name counts.
  for (std::size_t i = FindSection(section) + 1; i < lines_.size(); ++i) {
    if (info_[i].kind == LineInfo::Section) break;
    if (info_[i].kind == LineInfo::Key && IniNamesEqual(Name(i), key)) {
      // A value enclosed in a pair of quotation marks is read without them.
      std::string_view v = Value(i);
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      return std::string(v);
    }
  }
  return std::nullopt;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view default_text) const {
  std::optional<std::string> v = Get(section, key);
  return v ? *v : std::string(default_text);
}

bool IniFile::HasSection(std::string_view section) const {
  return FindSection(section) < lines_.size();
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  // A line break inside a value would split it into lines of its own.
  std::string clean(value);
  for (char& c : clean)
    if (c == '\n' || c == '\r') c = ' ';
  const char* cr = crlf_ ? "\r" : "";

  std::size_t header = FindSection(section);
  if (header == lines_.size()) {
    Append("[" + std::string(section) + "]" + cr);
    Append(std::string(key) + "=" + clean + cr);
    return;
  }
  std::size_t last_content = header;  // last non-blank line of the section
  for (std::size_t i = header + 1; i < lines_.size(); ++i) {
    if (info_[i].kind == LineInfo::Section) break;
    if (info_[i].kind == LineInfo::Key && IniNamesEqual(Name(i), key)) {
      // Replaced in place, with the file's spelling of the key and its line ending.
      bool had_cr = !lines_[i].empty() && lines_[i].back() == '\r';
      lines_[i] = std::string(Name(i)) + "=" + clean + (had_cr ? "\r" : "");
      info_[i] = Classify(lines_[i], i == 0);
      return;
    }
    if (!Trim(lines_[i]).empty()) last_content = i;
  }
  std::string line = std::string(key) + "=" + clean + cr;
  auto at = static_cast<std::ptrdiff_t>(last_content + 1);
  info_.insert(info_.begin() + at, Classify(line, false));
  lines_.insert(lines_.begin() + at, std::move(line));
}

std::string IniFile::Text() const {
  std::string out;
  for (const std::string& line : lines_) {
    out += line;
    out += '\n';
  }
  return out;
}

bool IniFile::Save(const std::string& path, std::string* error) const {
  return WriteFileAtomically(path, Text(), error);
}
