// SPDX-License-Identifier: GPL-3.0-or-later
// Sending a command on the head link: the choice and build of the packet, then the
// wire sequence (send delay, RTS up, 27 bytes, RTS down after fixed waits, purge),
// run with raised thread priority.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>

#include "clock.h"
#include "link/command_packet.h"
#include "link/head_port.h"

struct AppState;

// Waits of the wire sequence, in microseconds.
inline constexpr int kRtsLeadMicros = 200;
inline constexpr int kRtsHoldMicros = 2500;
inline constexpr int kTxDelayBaseMicros = 500;

struct SendResult {
  bool Sent = false;         // the frame went out
  bool WriteFailed = false;  // the port refused the write
  CommandChoice Choice;
};

// One send turn: clears SendRequest; with an open port chooses and builds the packet
// (or takes the pending fixed-angle packet) and sends it.
SendResult SendCommand(AppState& state, HeadPort* port, const Clock& clock);

// The wire part alone (steps 6 to 11): waits `send_delay_ms`, raises RTS, waits 200 us,
// writes the frame, waits 2500 us, drops RTS, waits tx_delay x 100 + 500 us, purges.
bool SendFrame(HeadPort& port, std::span<const std::uint8_t> frame, int send_delay_ms,
               int tx_delay, const Clock& clock);

// Raises the calling thread's scheduling priority for the life of the object (real-time
// FIFO when allowed, else a lower nice value, else nothing) and restores it.
class SendPriorityBoost {
 public:
  SendPriorityBoost();
  ~SendPriorityBoost();
  SendPriorityBoost(const SendPriorityBoost&) = delete;
  SendPriorityBoost& operator=(const SendPriorityBoost&) = delete;
  bool Raised() const { return raised_; }

 private:
  bool raised_ = false;
  bool realtime_ = false;
  int old_policy_ = 0;
  int old_priority_ = 0;
  int old_nice_ = 0;
  bool niced_ = false;
  long old_slack_ = -1;
};
