// SPDX-License-Identifier: GPL-3.0-or-later
// Where the comm thread hands accepted replies: recording and ping processing, and
// the per-turn work of the outputs (auto-profile advance, snapshot and auto-azimuth
// requests). The program wires the real ones; tests count what arrives.
#pragma once

#include <cstdint>
#include <span>

#include "link/reply_decoder.h"

struct AppState;

class LinkSink {
 public:
  virtual ~LinkSink() = default;
  // An accepted live reply other than "T", already decoded into the state: write
  // the record when recording, then run ping processing.
  virtual void ReplyAccepted(AppState& /*state*/, std::span<const std::uint8_t> /*reply*/,
                             const ReplyExpectation& /*expected*/) {}
  // Every loop turn in live mode after the reply step (`accepted`: a reply was
  // accepted in this turn): auto-profile advance, snapshot and auto-azimuth requests.
  virtual void AfterReplyStep(AppState& /*state*/, bool /*accepted*/) {}
};
