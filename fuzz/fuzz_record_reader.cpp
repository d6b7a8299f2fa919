// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness for the .47V reader and playback: any bytes (after the magic)
// are played forward, backward and by seeking through the real reply checks and
// decoder. Every step must end, stay inside the file and read whole records only.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "clock.h"
#include "files/file_display.h"
#include "files/playback.h"
#include "files/sonar_scan.h"
#include "app_state.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static AppState* state = new AppState;
  static FakeClock clock;
  static const PlaybackHooks hooks = LinkPlaybackHooks(clock, nullptr);
  static FileDisplay display;

  const int fd = ::memfd_create("fuzz.47v", MFD_CLOEXEC);
  if (fd < 0) return 0;
  const bool has_magic = size >= 3 && std::memcmp(data, "47V", 3) == 0;
  if ((!has_magic && ::write(fd, "47V", 3) != 3) ||
      (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size))) {
    ::close(fd);
    return 0;
  }
  const int64_t length = static_cast<int64_t>(size) + (has_magic ? 0 : 3);
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  state->RunMode = 1;
  state->ReversePlayback = 0;
  if (!OpenPlaybackFile(*state, display, path)) {
    ::close(fd);
    return 0;
  }
  ::close(fd);  // the reader holds its own descriptor

  auto step = [&] {
    const PlaybackStepResult r = PlaybackStep(*state, display, hooks);
    Check(r.outcome != PlaybackOutcome::kNotOpen);
    if (r.outcome == PlaybackOutcome::kPlayed) {
      Check(r.record_offset >= 0 && r.record_offset + r.record_size <= length);
      Check(r.record_size >= kRecordHeaderSize && r.record_size <= kMaxRecordSize);
    }
    Check(state->PlaybackPosition >= 0 && state->PlaybackPosition <= length);
    Check(state->PlaybackPercent >= 0 && state->PlaybackPercent <= 100);
  };
  for (int i = 0; i < 24; ++i) step();
  state->ReversePlayback = 1;
  for (int i = 0; i < 24; ++i) step();
  state->ReversePlayback = 0;
  for (size_t i = 0; i < 6 && i < size; ++i) {
    SeekPlayback(*state, display, data[i] % 101);
    step();
    step();
  }

  // The scanner sees the same records as forward playback, each inside the file.
  SonarFileScanner scanner(state->PlaybackReader);
  ScannedRecord rec;
  int64_t last_end = 0;
  while (scanner.Next(rec)) {
    Check(rec.offset >= last_end && rec.offset + state->PlaybackReader.fields().record_size <= length);
    last_end = rec.offset + state->PlaybackReader.fields().record_size;
  }
  Check(scanner.trailing_bytes() >= 0 && last_end + scanner.trailing_bytes() == length);
  ClosePlayback(*state);
  return 0;
}
