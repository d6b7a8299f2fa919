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

// What one line of the file is.
struct LineKind {
  enum { Other, Section, Key } kind = Other;
  std::string_view name;   // section or key name
  std::string_view value;  // key value, trimmed
};

LineKind Classify(std::string_view line, bool first_line) {
  if (first_line && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
  std::string_view t = Trim(line);
  LineKind k;
  if (t.empty() || t.front() == ';' || t.front() == '#') return k;
  if (t.front() == '[') {
    std::size_t close = t.find(']');
    k.kind = LineKind::Section;
    k.name = Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    return k;
  }
  std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return k;
  k.kind = LineKind::Key;
  k.name = Trim(t.substr(0, eq));
  k.value = Trim(t.substr(eq + 1));
  return k;
}

}  // namespace

bool IniNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
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
    ini.lines_.emplace_back(line);
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
  bool in_section = false;
  bool seen_section = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    LineKind k = Classify(lines_[i], i == 0);
    if (k.kind == LineKind::Section) {
      // Only the first section of a name counts.
      if (in_section) return std::nullopt;
      in_section = !seen_section && IniNamesEqual(k.name, section);
      if (in_section) seen_section = true;
    } else if (in_section && k.kind == LineKind::Key && IniNamesEqual(k.name, key)) {
      // A value enclosed in a pair of quotation marks is read without them.
      std::string_view v = k.value;
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
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    LineKind k = Classify(lines_[i], i == 0);
    if (k.kind == LineKind::Section && IniNamesEqual(k.name, section)) return true;
  }
  return false;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  // A line break inside a value would split it into lines of its own.
  std::string clean(value);
  for (char& c : clean)
    if (c == '\n' || c == '\r') c = ' ';

  std::size_t header = lines_.size();  // index of the section's header line
  std::size_t last_content = 0;        // last non-blank line of the section
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    LineKind k = Classify(lines_[i], i == 0);
    if (header == lines_.size()) {
      if (k.kind == LineKind::Section && IniNamesEqual(k.name, section)) {
        header = i;
        last_content = i;
      }
      continue;
    }
    if (k.kind == LineKind::Section) break;
    if (k.kind == LineKind::Key && IniNamesEqual(k.name, key)) {
      bool cr = !lines_[i].empty() && lines_[i].back() == '\r';
      lines_[i] = std::string(k.name) + "=" + clean + (cr ? "\r" : "");
      return;
    }
    if (!Trim(lines_[i]).empty()) last_content = i;
  }
  const char* cr = crlf_ ? "\r" : "";
  std::string line = std::string(key) + "=" + clean + cr;
  if (header == lines_.size()) {
    lines_.push_back("[" + std::string(section) + "]" + cr);
    lines_.push_back(std::move(line));
    return;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last_content + 1), std::move(line));
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
