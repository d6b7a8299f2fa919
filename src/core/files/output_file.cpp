// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* KindOf(mode_t mode) {
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISDIR(mode)) return "a directory";
  return "not a plain file";
}

std::string NotRegular(const std::string& path, mode_t mode) {
  return path + " is " + KindOf(mode) + ", not a regular file; it is left as it is";
}

}  // namespace

void SyncDirectoryOf(const std::string& path) {
  const int dir = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

std::string OutputTarget(const std::string& given) {
  std::string path = given;
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

std::string RefusedOutputReason(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return "";
  return NotRegular(path, st.st_mode);
}

int OpenRegularOutput(const std::string& path, std::string* error) {
  const std::string target = OutputTarget(path);
  struct stat before {};
  if (::stat(target.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
    if (error) *error = NotRegular(path, before.st_mode);
    return -1;
  }
  // Opened without truncation and without blocking; what was opened is checked
  // before anything is changed, so a node put in place meanwhile is not touched.
  const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (error) *error = NotRegular(path, st.st_mode);
    ::close(fd);
    return -1;
  }
  if (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, 0) != 0) {
    if (error) *error = std::strerror(errno);
    ::close(fd);
    return -1;
  }
  return fd;
}

bool WholeOutputFile::Open(const std::string& path, OutputMode mode, std::string* error) {
  Abandon();
  mode_ = mode;
  // Only a replacement through links follows them; otherwise the name itself is
  // the file made, and a link planted under it is never followed.
  target_ = mode == OutputMode::kThroughLinks ? OutputTarget(path) : path;
  struct stat st {};
  const bool exists = ::lstat(target_.c_str(), &st) == 0;
  const bool link = exists && S_ISLNK(st.st_mode);
  if (exists && !S_ISREG(st.st_mode) && !(link && mode != OutputMode::kThroughLinks)) {
    if (error) *error = NotRegular(path, st.st_mode);
    return false;
  }
  if (exists && mode == OutputMode::kNewName) {
    if (error) *error = path + " exists already; it is left as it is";
    return false;
  }
  temp_ = DirectoryOf(target_) + "/." + BaseOf(target_) + ".XXXXXX";
  fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    if (error) *error = "cannot create a file beside " + path + ": " + std::strerror(errno);
    temp_.clear();
    return false;
  }
  mode_t permissions;
  if (exists && !link) {
    permissions = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    permissions = 0666 & ~mask;
  }
  ::fchmod(fd_, permissions);
  return true;
}

bool WholeOutputFile::Write(std::string_view data, std::string* error) {
  if (fd_ < 0) return false;
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (error) *error = n < 0 ? std::strerror(errno) : "nothing could be written";
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WholeOutputFile::Commit(std::string* error, bool* exists) {
  if (exists) *exists = false;
  if (fd_ < 0) {
    if (error && error->empty()) *error = "the file was not open";
    return false;
  }
  auto fail = [&](int err) {
    if (error) *error = std::strerror(err);
    Abandon();
    return false;
  };
  if (::fsync(fd_) != 0) return fail(errno);
  const int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0 && errno != EINTR) return fail(errno);
  if (mode_ != OutputMode::kNewName) {
    // A node put in the target's place meanwhile is still not replaced.
    struct stat st {};
    if (::lstat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode) &&
        !(S_ISLNK(st.st_mode) && mode_ == OutputMode::kReplaceName)) {
      if (error) *error = NotRegular(target_, st.st_mode);
      Abandon();
      return false;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return fail(errno);
  } else if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) != 0) {
    int err = errno;
    // File systems without the flag: a hard link is made only where no name is.
    if (err == EINVAL || err == ENOSYS) err = ::link(temp_.c_str(), target_.c_str()) == 0 ? 0 : errno;
    if (err == EEXIST) {
      if (exists) *exists = true;
      if (error) *error = target_ + " exists already; it is left as it is";
      Abandon();
      return false;
    }
    if (err != 0) return fail(err);
    ::unlink(temp_.c_str());
  }
  temp_.clear();
  SyncDirectoryOf(target_);
  return true;
}

void WholeOutputFile::Abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

bool WriteWholeOutput(const std::string& path, std::string_view data, OutputMode mode, std::string* error) {
  WholeOutputFile file;
  return file.Open(path, mode, error) && file.Write(data, error) && file.Commit(error);
}
