// SPDX-License-Identifier: GPL-3.0-or-later
// A pseudo-terminal pair for tests: the program side opens the slave path like a
// serial device; the test plays the device on the master.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

class PtyPair {
 public:
  PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) return;
    path_ = name;
    // Raw on the master side too, so bytes pass unchanged.
    termios tio{};
    if (::tcgetattr(master_, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::tcsetattr(master_, TCSANOW, &tio);
    }
  }
  ~PtyPair() { Close(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0 && !path_.empty(); }
  const std::string& path() const { return path_; }
  int master() const { return master_; }
  void Close() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  // Writes everything, waiting for room as needed.
  bool WriteAll(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(master_, p + done, size - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      pollfd pf{master_, POLLOUT, 0};
      if (::poll(&pf, 1, 5000) <= 0) return false;
    }
    return true;
  }
  bool WriteAll(const std::string& s) { return WriteAll(s.data(), s.size()); }

  // Reads exactly `size` bytes or fails after `timeoutMs` without progress.
  std::vector<std::uint8_t> ReadExactly(std::size_t size, int timeoutMs = 5000) {
    std::vector<std::uint8_t> out;
    while (out.size() < size) {
      pollfd pf{master_, POLLIN, 0};
      if (::poll(&pf, 1, timeoutMs) <= 0) break;
      std::uint8_t buf[512];
      const std::size_t want = std::min(sizeof buf, size - out.size());
      const ssize_t n = ::read(master_, buf, want);
      if (n > 0) out.insert(out.end(), buf, buf + n);
      else if (n < 0 && errno != EAGAIN && errno != EINTR) break;
    }
    return out;
  }

 private:
  int master_ = -1;
  std::string path_;
};
