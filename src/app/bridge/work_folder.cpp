// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/work_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

bool EnterDesktopWorkFolder(std::string* error) {
  std::string home;
  if (const char* h = std::getenv("HOME"); h && *h) home = h;
  else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  if (home.empty()) {
    if (error) *error = "no home folder";
    return false;
  }
  const std::string dir = home + "/" + kDesktopWorkFolder;
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
    if (error) *error = dir + ": " + std::strerror(errno);
    return false;
  }
  if (::chdir(dir.c_str()) != 0) {
    if (error) *error = dir + ": " + std::strerror(errno);
    return false;
  }
  return true;
}
