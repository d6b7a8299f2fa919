// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/file_texts.h"

#include <cctype>

namespace {

std::string Join(const std::string& a, const std::string& b) { return std::string(kProgramTitle) + a + b; }

std::string KbText(int64_t bytes) { return std::to_string(bytes / 1024) + " kB"; }

}  // namespace

std::string PlaybackTitle(const std::string& path) { return Join(" - Playback of ", path); }
std::string NoFileTitle() { return Join(" - [", "No File]"); }
std::string RecordingTitle(const std::string& path) { return Join(" - Recording to ", path); }
std::string RecordingTitleWithSize(const std::string& path, int64_t bytes) {
  return RecordingTitle(path) + " - " + KbText(bytes);
}
std::string CopyingTitle(const std::string& path) { return Join(" - Copying to ", path); }
std::string CopyingTitleWithSize(const std::string& path, int64_t bytes) {
  return CopyingTitle(path) + " - " + KbText(bytes);
}

std::string LowerCasePath(const std::string& path) {
  std::string lower = path;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool HasSonarExtension(const std::string& path) {
  const std::string lower = LowerCasePath(path);
  const size_t dot = lower.rfind('.');
  const size_t slash = lower.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return lower.substr(dot + 1) == "47v";
}
