// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's end of a serial line: a pseudo-terminal pair (the program opens
// the slave path) or a real serial device, raw 8N1, non-blocking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace q47vsim {

class SerialLine {
 public:
  SerialLine() = default;
  ~SerialLine() { Close(); }
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;

  // Creates a pty pair; the slave is set raw at `baud` and kept open by us as well,
  // so that the master never reports a hang-up while the program has the port closed.
  // With a non-empty `link`, a symbolic link of that name points at the slave.
  bool OpenPty(int baud, const std::string& link, std::string* error);
  // Opens a real serial device raw at `baud`.
  bool OpenDevice(const std::string& path, int baud, std::string* error);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  int fd() const { return fd_; }  // the end the simulator reads and writes
  // The path the program should open: the link when there is one, else the slave.
  const std::string& path() const { return link_.empty() ? path_ : link_; }
  const std::string& device_path() const { return path_; }
  bool is_pty() const { return is_pty_; }
  // Bytes we wrote that the other side has not read yet (-1 when unknown).
  int Unread() const;

  // Packet mode on a pty: the kernel tells us when the program purges its input
  // queue (tcflush), so that a reply can leave just after the purge instead of
  // racing it. False on a real device or when the pty refuses.
  bool SetPacketMode(bool on);
  bool packet_mode() const { return packet_; }
  // Reads what the other side wrote, at most `size` bytes into `buf`. Returns the
  // number of data bytes (0 when only a purge was reported), or -1 when nothing is
  // there (errno EAGAIN) or on an error. `*purged` is set when, in packet mode, the
  // other side purged its input queue since the previous read.
  ssize_t Read(std::uint8_t* buf, std::size_t size, bool* purged);

 private:
  int fd_ = -1;
  int slave_fd_ = -1;
  bool is_pty_ = false;
  bool packet_ = false;
  std::string path_;
  std::string link_;
};

// Sets raw 8N1 at the given baud (unknown rates fall back to 115200).
bool MakeRaw(int fd, int baud);

}  // namespace q47vsim
