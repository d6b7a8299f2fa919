// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/output_file.h"

namespace {

std::string ErrorText(const std::string& what, const std::string& path, int err) {
  return what + " " + path + ": " + std::strerror(err);
}

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

namespace {

// The file a path finally names: symbolic links followed (a dangling one to the
// name it points at), so that a linked settings file stays linked and is the one
// written.
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) return path;
    target.resize(static_cast<std::size_t>(n));
    if (target[0] != '/') {
      const std::size_t slash = path.rfind('/');
      if (slash != std::string::npos) target = path.substr(0, slash + 1) + target;
    }
    path = target;
  }
  return path;
}

}  // namespace

bool WriteFileAtomically(const std::string& given_path, std::string_view data, std::string* error) {
  const std::string path = FollowLinks(given_path);
  // A device or a FIFO under the name is never replaced by a file.
  const std::string refused = RefusedOutputReason(path);
  if (!refused.empty()) {
    if (error) *error = refused;
    return false;
  }
  std::string temp = path + ".XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = ErrorText("cannot create a temporary file for", path, errno);
    return false;
  }
  // Keep the old file's permissions; a new file gets the usual 0666 less umask.
  struct stat st {};
  mode_t mode;
  if (::stat(path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  auto fail = [&](const char* what) {
    int err = errno;
    ::close(fd);
    ::unlink(temp.c_str());
    if (error) *error = ErrorText(what, path, err);
    return false;
  };
  if (::fchmod(fd, mode) != 0) return fail("cannot set the permissions of");
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail("cannot write");
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) return fail("cannot flush");
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    if (error) *error = ErrorText("cannot write", path, err);
    return false;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    if (error) *error = ErrorText("cannot replace", path, err);
    return false;
  }
  // Make the rename itself durable; failure here does not lose data.
  int dir = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& out, std::size_t max_bytes,
                   bool* missing, std::string* error, bool* truncated) {
  out.clear();
  if (truncated) *truncated = false;
  if (missing) *missing = false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (missing) *missing = (errno == ENOENT);
    if (error) *error = ErrorText("cannot open", path, errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (error) *error = "cannot read " + path + ": not a regular file";
    return false;
  }
  char buffer[8192];
  while (out.size() < max_bytes) {
    std::size_t want = std::min(sizeof buffer, max_bytes - out.size());
    ssize_t n = ::read(fd, buffer, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      if (error) *error = ErrorText("cannot read", path, err);
      return false;
    }
    if (n == 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  if (truncated && out.size() >= max_bytes) {
    char extra;
    ssize_t n;
    do n = ::read(fd, &extra, 1);
    while (n < 0 && errno == EINTR);
    *truncated = n > 0;
  }
  ::close(fd);
  return true;
}
