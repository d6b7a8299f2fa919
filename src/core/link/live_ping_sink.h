// SPDX-License-Identifier: GPL-3.0-or-later
// The program's hand-off for accepted live replies: ping processing (which records
// the ping when a recording file is open, then draws it), and after each reply step
// the survey outputs (auto-profile sweeps and the scan dialogs).
#pragma once

#include "link/link_sink.h"

class Display;
class Clock;

class LivePingSink : public LinkSink {
 public:
  // `clock` dates the survey files; the local clock when none is given.
  explicit LivePingSink(Display& display, const Clock* clock = nullptr);
  void ReplyAccepted(AppState& state, std::span<const std::uint8_t> reply,
                     const ReplyExpectation& expected) override;
  void AfterReplyStep(AppState& state, bool accepted) override;

 private:
  Display& display_;
  const Clock& clock_;
};
