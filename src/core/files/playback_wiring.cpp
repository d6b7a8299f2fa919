// SPDX-License-Identifier: GPL-3.0-or-later
// The program's playback hooks: the link's reply checks and decoder, then ping
// processing. Kept apart so that tools and tests can play files with hooks of their own.
#include "files/playback.h"

#include "app_state.h"

PlaybackHooks LinkPlaybackHooks(const Clock& clock, std::function<void(AppState&)> process_ping) {
  PlaybackHooks hooks;
  const Clock* c = &clock;
  hooks.process_reply = [c](AppState& state, std::span<uint8_t> reply, const ReplyExpectation& expected) {
    const ReplyOutcome outcome = ProcessReplyBytes(state, reply, expected, *c);
    return outcome.Accepted;
  };
  hooks.process_ping = std::move(process_ping);
  return hooks;
}
