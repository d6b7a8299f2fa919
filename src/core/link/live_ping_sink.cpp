// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/live_ping_sink.h"

#include <algorithm>

#include "display.h"
#include "clock.h"
#include "imaging/ping_pipeline.h"
#include "outputs/auto_profile.h"
#include "app_state.h"

namespace {
const Clock kLocalClock;
}

LivePingSink::LivePingSink(Display& display, const Clock* clock)
    : display_(display), clock_(clock ? *clock : kLocalClock) {}

void LivePingSink::AfterReplyStep(AppState& state, bool accepted) {
  OutputsTurn(state, display_, clock_, accepted);
}

void LivePingSink::ReplyAccepted(AppState& state, std::span<const std::uint8_t> reply,
                                 const ReplyExpectation& expected) {
  // The next command may already be out with another expectation (the head pings
  // while this one is drawn): the recorder and the pipeline read the reply buffer
  // and the expectation, so both describe this reply while it is processed.
  const ReplyExpectation next = CurrentExpectation(state);
  std::copy(reply.begin(), reply.end(), state.ReplyBuffer.begin());
  SetExpectation(state, expected);
  PingInput in;
  in.Valid = true;
  in.Kind = expected.Kind;
  ProcessPing(state, display_, in);
  SetExpectation(state, next);
}
