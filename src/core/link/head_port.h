// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port as the head link uses it: modem lines, whole writes, purges, the
// queued byte count with the error flags, short reads and a poll-based wait. The
// termios port implements it for real devices and ptys; tests use a fake.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

// Line error flags as shown in the diagnostics window ("Serial Rxd").
inline constexpr std::uint32_t kPortErrorOverrun = 0x0001;   // receive queue overflow
inline constexpr std::uint32_t kPortErrorHardwareOverrun = 0x0002;
inline constexpr std::uint32_t kPortErrorParity = 0x0004;
inline constexpr std::uint32_t kPortErrorFraming = 0x0008;
inline constexpr std::uint32_t kPortErrorBreak = 0x0010;
inline constexpr std::uint32_t kPortErrorIo = 0x8000;        // the device failed (unplugged)

struct PortStatus {
  bool Ok = true;                 // false when the device could not be queried
  std::uint32_t ErrorFlags = 0;   // errors since the last call (reading clears them)
  int QueuedBytes = 0;            // bytes waiting in the receive queue
};

class HeadPort {
 public:
  virtual ~HeadPort() = default;

  virtual bool IsOpen() const = 0;
  // Modem lines; a pty has none and reports success.
  virtual bool SetRts(bool on) = 0;
  virtual bool SetDtr(bool on) = 0;
  // Writes all bytes (waits briefly for the driver to take them); false on failure.
  virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
  // Discards both queues and aborts pending reads and writes.
  virtual void Purge() = 0;
  // Error flags and queue status; reading clears the error flags.
  virtual PortStatus Status() = 0;
  // Reads up to bytes.size() bytes that are queued now; returns the count, -1 on error.
  virtual int Read(std::span<std::uint8_t> bytes) = 0;
  // Blocks (poll) until input arrives or the time-out passes; true when input waits.
  virtual bool WaitForInput(std::chrono::milliseconds timeout) = 0;

  int QueuedBytes() { return Status().QueuedBytes; }
};
