// The program's hand-off for accepted live replies: ping processing (which records
// the ping when a recording file is open, then draws it).
#pragma once

#include "link/link_sink.h"

class Display;

class LivePingSink : public LinkSink {
 public:
  explicit LivePingSink(Display& display) : display_(display) {}
  void ReplyAccepted(AppState& state, std::span<const std::uint8_t> reply,
                     const ReplyExpectation& expected) override;

 private:
  Display& display_;
};
