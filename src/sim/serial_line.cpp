// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace q47vsim {
namespace {
speed_t SpeedFor(int baud) {
  switch (baud) {
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    default: return B115200;
  }
}
std::string Err(const char* what) { return std::string(what) + ": " + std::strerror(errno); }
}  // namespace

bool MakeRaw(int fd, int baud) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, SpeedFor(baud));
  cfsetospeed(&t, SpeedFor(baud));
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool SerialLine::OpenPty(int baud, const std::string& link, std::string* error) {
  Close();
  int m = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (m < 0) return error && (*error = Err("posix_openpt"), false);
  if (grantpt(m) != 0 || unlockpt(m) != 0) {
    if (error) *error = Err("grantpt/unlockpt");
    ::close(m);
    return false;
  }
  char name[128];
  if (ptsname_r(m, name, sizeof name) != 0) {
    if (error) *error = Err("ptsname");
    ::close(m);
    return false;
  }
  int s = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (s < 0) {
    if (error) *error = Err(name);
    ::close(m);
    return false;
  }
  MakeRaw(s, baud);
  fd_ = m;
  slave_fd_ = s;
  is_pty_ = true;
  path_ = name;
  if (!link.empty()) {
    // Replace an old link atomically: make a new one beside it and rename it over.
    std::string tmp = link + ".new";
    ::unlink(tmp.c_str());
    if (::symlink(name, tmp.c_str()) != 0 || ::rename(tmp.c_str(), link.c_str()) != 0) {
      if (error) *error = Err(link.c_str());
      Close();
      return false;
    }
    link_ = link;
  }
  return true;
}

bool SerialLine::OpenDevice(const std::string& path, int baud, std::string* error) {
  Close();
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return error && (*error = Err(path.c_str()), false);
  if (!MakeRaw(fd, baud)) {
    if (error) *error = Err(path.c_str());
    ::close(fd);
    return false;
  }
  fd_ = fd;
  is_pty_ = false;
  path_ = path;
  return true;
}

int SerialLine::Unread() const {
  int n = 0;
  if (is_pty_ && slave_fd_ >= 0) return ::ioctl(slave_fd_, FIONREAD, &n) == 0 ? n : -1;
  if (fd_ >= 0) return ::ioctl(fd_, TIOCOUTQ, &n) == 0 ? n : -1;
  return -1;
}

bool SerialLine::SetPacketMode(bool on) {
  if (!is_pty_ || fd_ < 0) return false;
  int flag = on ? 1 : 0;
  if (::ioctl(fd_, TIOCPKT, &flag) != 0) return false;
  packet_ = on;
  return true;
}

ssize_t SerialLine::Read(std::uint8_t* buf, std::size_t size, bool* purged) {
  *purged = false;
  if (!packet_) return ::read(fd_, buf, size);
  // Each read starts with a control byte: 0 before data, else the status flags of
  // the other side (and then no data).
  std::uint8_t packet[4097];
  const std::size_t want = std::min(size, sizeof packet - 1) + 1;
  const ssize_t n = ::read(fd_, packet, want);
  if (n <= 0) return n;
  if (packet[0] != TIOCPKT_DATA) {
    *purged = (packet[0] & TIOCPKT_FLUSHREAD) != 0;
    return 0;
  }
  std::memcpy(buf, packet + 1, static_cast<std::size_t>(n - 1));
  return n - 1;
}

void SerialLine::Close() {
  if (slave_fd_ >= 0) ::close(slave_fd_);
  if (fd_ >= 0) ::close(fd_);
  slave_fd_ = fd_ = -1;
  packet_ = false;
  // The link stays until the line is opened again or the simulator ends, so a
  // program that reopens during a hang-up finds a dead line, not a missing file.
}

}  // namespace q47vsim
