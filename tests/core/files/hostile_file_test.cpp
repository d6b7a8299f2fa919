// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged and hostile files: bad sizes, bad reply lengths, bad back links, garbage
// between records and at the end. Playback forward, backward and by seeking ends
// every step, reads only whole records and comes back to the good ones.
#include <gtest/gtest.h>

#include <random>

#include "file_fixtures.h"
#include "files/playback.h"
#include "files/sonar_file.h"

namespace {

void PutU16(std::vector<uint8_t>& b, size_t at, int v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}

struct Damage {
  const char* name;
  void (*apply)(std::vector<uint8_t>&);  // on a file of 6 records of 640 bytes
  int good_records;                       // records forward playback still reads per pass
};

const Damage kDamages[] = {
    {"size 0", [](auto& b) { PutU16(b, 640 + 4, 0); }, 5},
    {"size below 100 + N", [](auto& b) { PutU16(b, 640 + 4, 300); }, 5},
    {"size beyond the end", [](auto& b) { PutU16(b, 5 * 640 + 4, 8000); }, 5},
    {"size beyond the largest record", [](auto& b) { PutU16(b, 640 + 4, 65535); }, 5},
    {"reply length beyond the size", [](auto& b) { PutU16(b, 640 + 6, 4000); }, 5},
    {"reply length 0", [](auto& b) { PutU16(b, 2 * 640 + 6, 0); }, 5},
    {"back link 0", [](auto& b) { PutU16(b, 3 * 640 + 638, 0); }, 6},
    {"back link before the start", [](auto& b) { PutU16(b, 3 * 640 + 638, 60000); }, 6},
    {"back link into garbage", [](auto& b) { PutU16(b, 3 * 640 + 638, 700); }, 6},
    {"last back link into garbage", [](auto& b) { PutU16(b, 5 * 640 + 638, 333); }, 6},
    {"garbage between records", [](auto& b) { b.insert(b.begin() + 1280, 777, 0x47); }, 6},
    {"magic in the garbage", [](auto& b) { b.insert(b.begin() + 1280, {'4', '7', 'V', 0xFF, 0xFF, 0xFF}); }, 6},
    {"truncated last record", [](auto& b) { b.resize(b.size() - 100); }, 5},
    {"garbage at the end", [](auto& b) { b.insert(b.end(), 5000, 0x34); }, 6},
    {"no magic after the first", [](auto& b) { b.assign({'4', '7', 'V'}); b.resize(5000, 0x37); }, 0},
};

TEST(HostileFiles, EveryStepEndsAndGoodRecordsStillPlay) {
  for (const Damage& d : kDamages) {
    SCOPED_TRACE(d.name);
    AppState state;
    RecordGFile("h.47v", 6, state);
    std::vector<uint8_t> bytes = ReadWholeFile("h.47v");
    d.apply(bytes);
    WriteWholeFile("h.47v", bytes);

    FileDisplay display;
    ASSERT_TRUE(OpenPlayback(state, display, "h.47v"));
    int processed = 0;
    PlaybackHooks hooks;
    hooks.process_reply = [&](AppState&, std::span<uint8_t> reply, const ReplyExpectation& e) {
      EXPECT_EQ(static_cast<int>(reply.size()), e.Length);
      ++processed;
      return true;
    };
    // Two passes forward: each pass reads the good records and one end of file.
    int ends = 0;
    for (int step = 0; step < 40 && ends < 3; ++step)
      if (PlaybackStep(state, display, hooks).outcome == PlaybackOutcome::kEndOfFile) ++ends;
    EXPECT_EQ(ends, 3);
    // The first pass processes every good record; the later ones skip the first
    // record after the rewind.
    EXPECT_EQ(processed, d.good_records > 0 ? 3 * d.good_records - 2 : 0);

    // Backward: every step ends, positions stay inside the file.
    state.ReversePlayback = 1;
    for (int step = 0; step < 30; ++step) {
      PlaybackStep(state, display, hooks);
      EXPECT_GE(state.PlaybackPosition, 0);
      EXPECT_LE(state.PlaybackPosition, static_cast<int64_t>(bytes.size()));
    }
    state.ReversePlayback = 0;
    // Seeking anywhere lands on a record start or leaves the position alone.
    for (int percent = 1; percent < 100; percent += 7) {
      SeekPlayback(state, display, percent);
      EXPECT_LE(state.PlaybackPosition, static_cast<int64_t>(bytes.size()));
      PlaybackStep(state, display, hooks);
    }
  }
}

TEST(HostileFiles, RandomBytesAfterTheMagic) {
  std::mt19937 rng(47);
  for (int round = 0; round < 40; ++round) {
    std::vector<uint8_t> bytes(3 + rng() % 20000);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng() % 5 == 0 ? "47V"[rng() % 3] : rng());
    bytes[0] = '4';
    bytes[1] = '7';
    bytes[2] = 'V';
    WriteWholeFile("r.47v", bytes);
    AppState state;
    FileDisplay display;
    ASSERT_TRUE(OpenPlayback(state, display, "r.47v"));
    PlaybackHooks hooks;
    hooks.process_reply = [](AppState&, std::span<uint8_t>, const ReplyExpectation&) { return true; };
    for (int step = 0; step < 50; ++step) {
      if (step == 20) state.ReversePlayback = 1;
      if (step == 35) SeekPlayback(state, display, static_cast<int>(rng() % 100));
      PlaybackStep(state, display, hooks);
    }
  }
}

}  // namespace
