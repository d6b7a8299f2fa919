// SPDX-License-Identifier: GPL-3.0-or-later
// A serial line opened by device path: exclusive, raw 8N1, non-blocking, with the
// queued-byte count, purges, RTS/DTR by hand and reads and writes that wait only
// for short bounded times (poll on the descriptor). Used for the head link and
// the GPS port; ptys work too (their missing modem lines are ignored).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "link/head_port.h"

class SerialPort final : public HeadPort {
 public:
  enum class Access { ReadWrite, ReadOnly };

  // Opens `path` exclusively (TIOCEXCL and an flock) and sets it raw 8N1 at
  // `baud`. Returns null when the device is missing, taken or not a terminal;
  // `error` (when given) then says why.
  static std::unique_ptr<SerialPort> Open(const std::string& path, int baud,
                                          Access access = Access::ReadWrite,
                                          std::string* error = nullptr);
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // True when the line parameters took (raw, 8N1, `baud`).
  bool Configure(int baud);

  // Bytes waiting in the receive queue; -1 once the device has gone away.
  int QueuedBytes();
  // Reads up to `size` bytes: what is queued at once, else waits at most
  // `waitMs` for the first bytes. Returns the count, 0 on time-out, -1 once the
  // device has gone away.
  long ReadSome(std::uint8_t* buffer, std::size_t size, int waitMs = 5);
  // Writes all bytes within 5 ms + 5 ms per byte. Returns the count written
  // (short on time-out), -1 once the device has gone away.
  long WriteSome(const std::uint8_t* data, std::size_t size);
  // Discards queued input and/or unsent output.
  void Purge(bool input, bool output);
  // Modem lines; a line without them (a pty) ignores the calls.
  bool SetRts(bool on) override;
  bool SetDtr(bool on) override;

  // The head link's view of the port.
  bool IsOpen() const override { return fd_ >= 0 && !lost_; }
  bool Write(std::span<const std::uint8_t> bytes) override;
  void Purge() override { Purge(true, true); }
  PortStatus Status() override;
  int Read(std::span<std::uint8_t> bytes) override;
  bool WaitForInput(std::chrono::milliseconds timeout) override;
  // Waits until bytes arrive, the device goes away or `timeoutMs` passes; `wakeFd`
  // (an eventfd or pipe, -1 for none) ends the wait early when readable.
  // Returns true when the port (not the wake descriptor) needs attention.
  bool WaitReadable(int timeoutMs, int wakeFd = -1);

  // Set once a hang-up, EIO or ENXIO has been seen: the port must be reopened.
  bool Lost() const { return lost_; }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

 private:
  SerialPort(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  void NoteError(int err);

  int fd_ = -1;
  std::string path_;
  bool lost_ = false;
};

// The termios speed constant for a rate in bit/s; 0 when the rate is not offered.
unsigned SerialSpeedConstant(int baud);

// The head link and GPS baud-rate index tables (0 9600/4800 ...).
int HeadBaudRate(int baudIndex);
int GpsBaudRate(int gpsBaudIndex);
