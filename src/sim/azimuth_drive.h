// SPDX-License-Identifier: GPL-3.0-or-later
// The azimuth drive (ID 0x1F) that turns the head about a vertical axis, and the
// orientation module (ID 0x18) that reports pitch, roll and heading.
#pragma once

#include <cstdint>
#include <vector>

#include "sim_protocol.h"
#include "sonar_head.h"

namespace q47vsim {

class AzimuthDrive {
 public:
  // rate_deg_s: turning rate; tilt: the drive has a tilt sensor and reports it.
  AzimuthDrive(double rate_deg_s, bool tilt);

  // Answers a command at time now_s (seconds on any steady clock): an "A" reply with
  // the position reached so far, or a "T" reply to a head-ID scan.
  std::vector<std::uint8_t> Handle(const Command& command, double now_s);
  // Moves the drive toward its target up to time now_s.
  void Advance(double now_s);

  double Position() const { return position_; }
  int Target() const { return target_; }
  bool Moving() const { return static_cast<int>(position_ + 0.5) != target_; }
  HeadMemory& Memory() { return memory_; }

 private:
  double rate_steps_s_;
  bool tilt_;
  double position_ = kPositionAhead;
  int target_ = kPositionAhead;
  double last_s_ = -1;
  HeadMemory memory_;
};

class OrientationModule {
 public:
  // The "O" reply at time now_s: slow swell-like pitch and roll, a wandering heading.
  std::vector<std::uint8_t> Handle(const Command& command, double now_s) const;
  static void AnglesAt(double now_s, double& pitch, double& roll, double& heading);
};

}  // namespace q47vsim
