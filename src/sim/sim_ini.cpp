// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_ini.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace q47vsim {
namespace {
std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
std::string Trim(const std::string& s) {
  std::size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t\r");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}
// Section name of a "[name]" line, or empty.
bool SectionOf(const std::string& line, std::string& name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  auto close = t.find(']');
  if (close == std::string::npos) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}
}  // namespace

std::string ApplyIniValues(const std::string& text, const std::vector<IniValue>& values) {
  std::vector<std::string> lines;
  std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  {
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t nl = text.find('\n', pos);
      std::string l = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
      if (!l.empty() && l.back() == '\r') l.pop_back();
      lines.push_back(l);
      if (nl == std::string::npos) break;
      pos = nl + 1;
    }
  }
  for (const auto& v : values) {
    const std::string want_sec = Lower(v.section), want_key = Lower(v.key);
    std::string cur;
    bool in = false, done = false;
    std::size_t last_in_section = std::string::npos;
    for (std::size_t i = 0; i < lines.size() && !done; ++i) {
      std::string name;
      if (SectionOf(lines[i], name)) {
        in = Lower(name) == want_sec;
        if (in) last_in_section = i;
        continue;
      }
      if (!in) continue;
      if (!Trim(lines[i]).empty()) last_in_section = i;
      auto eq = lines[i].find('=');
      if (eq == std::string::npos) continue;
      if (Lower(Trim(lines[i].substr(0, eq))) == want_key) {
        lines[i] = lines[i].substr(0, eq + 1) + v.value;
        done = true;
      }
    }
    if (done) continue;
    if (last_in_section != std::string::npos) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last_in_section + 1), v.key + "=" + v.value);
    } else {
      if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back("");
      lines.push_back("[" + v.section + "]");
      lines.push_back(v.key + "=" + v.value);
    }
  }
  std::string out;
  for (const auto& l : lines) out += l + eol;
  // Keep a file that had no final line end without one only if it was empty.
  return out;
}

namespace {

// The file the path finally names: a settings file behind a symbolic link (or a
// dangling one) is written where the link points, so that it stays linked.
std::string FollowLinks(std::string path) {
  namespace fs = std::filesystem;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec)) || ec) return path;
    const fs::path target = fs::read_symlink(path, ec);
    if (ec) return path;
    path = target.is_absolute() ? target.string() : (fs::path(path).parent_path() / target).string();
  }
  return path;
}

constexpr std::uintmax_t kMaxIniBytes = 1 << 20;  // a settings file is a few kB

}  // namespace

bool UpdateIniFile(const std::string& given_path, const std::vector<IniValue>& values, std::string* error) {
  namespace fs = std::filesystem;
  const std::string path = FollowLinks(given_path);
  std::string text;
  {
    // Only a regular file of a sane size is read: /dev/zero would never end and a
    // FIFO would block.
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (!ec && fs::exists(st)) {
      if (!fs::is_regular_file(st)) {
        if (error) *error = given_path + " is not a regular file";
        return false;
      }
      if (fs::file_size(path, ec) > kMaxIniBytes) {
        if (error) *error = given_path + " is too large for a settings file";
        return false;
      }
    }
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::ostringstream ss;
      ss << in.rdbuf();
      text = ss.str();
    }
  }
  // A trailing empty piece after the last line end is not a line of its own.
  if (!text.empty() && text.back() == '\n') {
    text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
  }
  std::string out = ApplyIniValues(text, values);
  std::string tmp = path + ".sim-tmp";
  {
    std::ofstream o(tmp, std::ios::binary | std::ios::trunc);
    o << out;
    if (!o) {
      if (error) *error = "cannot write " + tmp;
      return false;
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    if (error) *error = "cannot replace " + path;
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace q47vsim
