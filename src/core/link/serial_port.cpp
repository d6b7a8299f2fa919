// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

bool IsLossError(int err) { return err == EIO || err == ENXIO || err == ENODEV || err == EBADF; }

int MonotonicMs() {
  using namespace std::chrono;
  return static_cast<int>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() & 0x3fffffff);
}

}  // namespace

unsigned SerialSpeedConstant(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return 0;
  }
}

int HeadBaudRate(int baudIndex) {
  switch (baudIndex) {
    case 0: return 9600;
    case 2: return 19200;
    case 3: return 38400;
    case 4: return 57600;
    default: return 115200;
  }
}

int GpsBaudRate(int gpsBaudIndex) {
  static constexpr int kRates[] = {4800, 9600, 19200, 38400, 57600, 115200};
  if (gpsBaudIndex < 0 || gpsBaudIndex > 5) return 4800;
  return kRates[gpsBaudIndex];
}

std::unique_ptr<SerialPort> SerialPort::Open(const std::string& path, int baud, Access access,
                                             std::string* error) {
  auto fail = [&](const std::string& why) -> std::unique_ptr<SerialPort> {
    if (error) *error = path + ": " + why;
    return nullptr;
  };
  if (path.empty()) return fail("no device path");
  const int mode = access == Access::ReadOnly ? O_RDONLY : O_RDWR;
  const int fd = ::open(path.c_str(), mode | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return fail(std::strerror(errno));
  if (!::isatty(fd)) {
    ::close(fd);
    return fail("not a serial device");
  }
  // Another program (or another part of this one) holding the line keeps it.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    return fail(err == EWOULDBLOCK ? "in use" : std::strerror(err));
  }
  // TIOCEXCL refuses further opens by others; a refusal here is not fatal.
  (void)::ioctl(fd, TIOCEXCL);
  std::unique_ptr<SerialPort> port(new SerialPort(fd, path));
  if (!port->Configure(baud)) return fail("cannot set the line parameters");
  port->Purge(true, true);
  return port;
}

SerialPort::~SerialPort() {
  if (fd_ >= 0) {
    (void)::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
}

bool SerialPort::Configure(int baud) {
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~(CSTOPB | PARENB | CSIZE | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  const unsigned speed = SerialSpeedConstant(baud);
  if (speed == 0) return false;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  return ::tcsetattr(fd_, TCSANOW, &tio) == 0;
}

void SerialPort::NoteError(int err) {
  if (IsLossError(err)) lost_ = true;
}

int SerialPort::QueuedBytes() {
  if (lost_) return -1;
  // A hang-up shows only in poll; FIONREAD on a hung-up pty still answers 0.
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) == 0 && n > 0) return n;  // drain what came before
    lost_ = true;
    return -1;
  }
  int n = 0;
  if (::ioctl(fd_, FIONREAD, &n) != 0) {
    NoteError(errno);
    return lost_ ? -1 : 0;
  }
  return n;
}

long SerialPort::ReadSome(std::uint8_t* buffer, std::size_t size, int waitMs) {
  if (lost_) return -1;
  if (size == 0) return 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n > 0) return n;
    // Raw mode with VMIN 0 gives 0 for "nothing yet"; a hang-up shows in poll below.
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      NoteError(errno);
      return lost_ ? -1 : 0;
    }
    if (attempt == 0 && waitMs > 0) {
      pollfd p{fd_, POLLIN, 0};
      const int r = ::poll(&p, 1, waitMs);
      if (r <= 0) return 0;
      if ((p.revents & POLLIN) == 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        lost_ = true;
        return -1;
      }
    }
  }
  return 0;
}

long SerialPort::WriteSome(const std::uint8_t* data, std::size_t size) {
  if (lost_) return -1;
  const int deadline = MonotonicMs() + 5 + 5 * static_cast<int>(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd_, data + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      NoteError(errno);
      return lost_ ? -1 : static_cast<long>(done);
    }
    const int left = deadline - MonotonicMs();
    if (left <= 0) break;
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, left) <= 0) break;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
      lost_ = true;
      return -1;
    }
  }
  return static_cast<long>(done);
}

void SerialPort::Purge(bool input, bool output) {
  if (fd_ < 0) return;
  if (input && output)
    ::tcflush(fd_, TCIOFLUSH);
  else if (input)
    ::tcflush(fd_, TCIFLUSH);
  else if (output)
    ::tcflush(fd_, TCOFLUSH);
}

bool SerialPort::SetRts(bool on) {
  int bits = TIOCM_RTS;
  (void)::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits);  // fails on a pty: no modem lines
  return true;
}

bool SerialPort::SetDtr(bool on) {
  int bits = TIOCM_DTR;
  (void)::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits);
  return true;
}

bool SerialPort::Write(std::span<const std::uint8_t> bytes) {
  return WriteSome(bytes.data(), bytes.size()) == static_cast<long>(bytes.size());
}

PortStatus SerialPort::Status() {
  PortStatus s;
  const int queued = QueuedBytes();
  if (queued < 0) {
    s.Ok = false;
    s.ErrorFlags = kPortErrorIo;
    return s;
  }
  s.QueuedBytes = queued;
  return s;
}

int SerialPort::Read(std::span<std::uint8_t> bytes) {
  return static_cast<int>(ReadSome(bytes.data(), bytes.size(), 5));
}

bool SerialPort::WaitForInput(std::chrono::milliseconds timeout) {
  return WaitReadable(static_cast<int>(timeout.count()));
}

bool SerialPort::WaitReadable(int timeoutMs, int wakeFd) {
  if (lost_) return true;
  pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFd, POLLIN, 0}};
  const int n = ::poll(p, wakeFd >= 0 ? 2 : 1, timeoutMs);
  if (n <= 0) return false;
  if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
    if ((p[0].revents & POLLIN) == 0) lost_ = true;
    return true;
  }
  return (p[0].revents & POLLIN) != 0;
}
