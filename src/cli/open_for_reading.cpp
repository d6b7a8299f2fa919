// SPDX-License-Identifier: GPL-3.0-or-later
#include "open_for_reading.h"

#include <cstdio>

#include "files/file_display.h"
#include "files/playback.h"
#include "app_state.h"

namespace q47v::cli {

namespace {

// Keeps the message that tells why opening failed.
class MessageCatcher : public FileDisplay {
 public:
  void ShowFileMessage(const std::string& text, const std::string&, FileMessageIcon) override { message = text; }
  std::string message;
};

}  // namespace

bool OpenForReading(AppState& state, const std::string& path, const char* verb) {
  MessageCatcher display;
  if (OpenPlaybackFile(state, display, path)) {
    if (const int64_t leading = state.LeadingBytesSkipped.load(); leading > 0)
      std::fprintf(stderr, "q47v %s: %s: the file does not start with a record; %lld bytes skipped to the first one\n",
                   verb, path.c_str(), static_cast<long long>(leading));
    return true;
  }
  std::fprintf(stderr, "q47v %s: %s: %s\n", verb, path.c_str(), display.message.c_str());
  return false;
}

}  // namespace q47v::cli
