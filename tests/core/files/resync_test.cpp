// SPDX-License-Identifier: GPL-3.0-or-later
// Resynchronisation over hostile stretches: runs of magic bytes, headers with type
// codes no record has, files cut off at the front, and files that are not regular
// files. Speed over 1 GiB of each kind of junk is measured in bench_files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_fixtures.h"
#include "files/playback.h"
#include "files/sonar_file.h"

namespace {

std::vector<uint8_t> MagicRun(size_t bytes) {
  std::vector<uint8_t> run(bytes);
  for (size_t i = 0; i < bytes; ++i) run[i] = static_cast<uint8_t>(kRecordMagic[i % 3]);
  return run;
}

PlaybackHooks CountingHooks(int& processed) {
  PlaybackHooks hooks;
  hooks.process_reply = [&processed](AppState&, std::span<uint8_t>, const ReplyExpectation&) {
    ++processed;
    return true;
  };
  return hooks;
}

// The window bounds each step's search: a long run of magic bytes is passed over in
// steps that each look at no more than the bound, and the records after it play.
TEST(Resync, BoundedStepsCrossALongRunOfMagicBytes) {
  AppState state;
  RecordGFile("m.47v", 6, state);
  std::vector<uint8_t> bytes = ReadWholeFile("m.47v");
  const std::vector<uint8_t> run = MagicRun(8 << 20);
  bytes.insert(bytes.begin() + 3 * 640, run.begin(), run.end());
  WriteWholeFile("m.47v", bytes);

  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "m.47v"));
  int processed = 0;
  PlaybackHooks hooks = CountingHooks(processed);
  hooks.search_limit = 1 << 20;
  int searching = 0, steps = 0;
  int64_t skipped = 0;
  while (processed < 6 && steps < 100) {
    const PlaybackStepResult r = PlaybackStep(state, display, hooks);
    ++steps;
    ASSERT_NE(r.outcome, PlaybackOutcome::kEndOfFile) << "after " << processed << " records";
    EXPECT_LE(r.skipped_bytes, (1 << 20) + 1);
    skipped += r.skipped_bytes;
    if (r.outcome == PlaybackOutcome::kSearching) ++searching;
  }
  EXPECT_EQ(processed, 6);
  EXPECT_EQ(skipped, 8 << 20);
  EXPECT_GE(searching, 7);

  // Without a bound (the tools) one step crosses the whole run.
  AppState tool;
  ASSERT_TRUE(OpenPlayback(tool, display, "m.47v"));
  processed = 0;
  const PlaybackHooks unbounded = CountingHooks(processed);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(PlaybackStep(tool, display, unbounded).outcome, PlaybackOutcome::kPlayed);
  EXPECT_EQ(tool.DamagedBytesSkipped.load(), 8 << 20);
}

// A magic run ending right before a record, and one split by every chunk boundary
// of the search, still finds the record at its exact offset.
TEST(Resync, FindsTheRecordAfterMagicRunsOfEveryPhase) {
  AppState state;
  RecordGFile("one.47v", 1, state);
  const std::vector<uint8_t> record = ReadWholeFile("one.47v");
  for (size_t junk : {size_t{1}, size_t{2}, size_t{3}, size_t{99}, size_t{100}, size_t{(1 << 20) - 101},
                      size_t{(1 << 20) - 100}, size_t{(1 << 20) - 2}, size_t{(1 << 20) + 5}}) {
    SCOPED_TRACE(junk);
    std::vector<uint8_t> bytes = MagicRun(junk);
    bytes.insert(bytes.end(), record.begin(), record.end());
    WriteWholeFile("phase.47v", bytes);
    SonarFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open("phase.47v", error)) << error;
    EXPECT_EQ(reader.FindForward(1), std::optional<int64_t>(static_cast<int64_t>(junk)));
    EXPECT_EQ(reader.FindBackward(static_cast<int64_t>(bytes.size())), std::optional<int64_t>(static_cast<int64_t>(junk)));
  }
}

// A header whose type code is not 0 to 10 is damage, not a record.
TEST(Resync, TypeCodesOutsideTheTableAreDamage) {
  AppState state;
  RecordGFile("t.47v", 4, state);
  std::vector<uint8_t> bytes = ReadWholeFile("t.47v");
  bytes[640 + 3] = 16;
  bytes[2 * 640 + 3] = 255;
  WriteWholeFile("t.47v", bytes);
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "t.47v"));
  int processed = 0;
  const PlaybackHooks hooks = CountingHooks(processed);
  std::vector<int64_t> offsets;
  for (int i = 0; i < 2; ++i) {
    const PlaybackStepResult r = PlaybackStep(state, display, hooks);
    ASSERT_EQ(r.outcome, PlaybackOutcome::kPlayed);
    offsets.push_back(r.record_offset);
    EXPECT_GE(state.PlaybackReader.fields().type_code, 0);
    EXPECT_LE(state.PlaybackReader.fields().type_code, 10);
  }
  EXPECT_EQ(offsets, (std::vector<int64_t>{0, 3 * 640}));
  EXPECT_EQ(state.DamagedBytesSkipped.load(), 2 * 640);
}

// A file cut off at the front plays from its first whole record and tells how many
// bytes came before it.
TEST(Resync, AFileStartingInsideARecordPlaysFromTheFirstWholeOne) {
  AppState state;
  RecordGFile("cut.47v", 20, state);
  std::vector<uint8_t> bytes = ReadWholeFile("cut.47v");
  bytes.erase(bytes.begin(), bytes.begin() + 300);
  WriteWholeFile("cut.47v", bytes);
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "cut.47v"));
  EXPECT_EQ(state.LeadingBytesSkipped.load(), 340);
  int processed = 0;
  const PlaybackHooks hooks = CountingHooks(processed);
  int played = 0;
  while (PlaybackStep(state, display, hooks).outcome == PlaybackOutcome::kPlayed) ++played;
  EXPECT_EQ(played, 19);

  // No record anywhere: still the wrong-format message.
  WriteWholeFile("none.47v", std::vector<uint8_t>(5000, 0x37));
  AppState other;
  EXPECT_FALSE(OpenPlayback(other, display, "none.47v"));
}

class MessageKeeper : public FileDisplay {
 public:
  void ShowFileMessage(const std::string& text, const std::string&, FileMessageIcon) override { message = text; }
  std::string message;
};

// Devices, FIFOs and directories are refused at once with their own message: a FIFO
// without a writer must not block and /dev/zero must not be read for ever.
TEST(Resync, OnlyRegularFilesAreOpened) {
  ASSERT_EQ(::mkfifo("pipe.47v", 0600), 0);
  ASSERT_EQ(::mkdir("dir.47v", 0700), 0);
  for (const char* path : {"/dev/zero", "pipe.47v", "dir.47v"}) {
    SCOPED_TRACE(path);
    AppState state;
    MessageKeeper display;
    EXPECT_FALSE(OpenPlaybackFile(state, display, path));
    EXPECT_EQ(display.message.find("Data type is incorrect"), std::string::npos) << display.message;
    EXPECT_NE(display.message.find(std::string(path) == "dir.47v" ? "directory" : "not a regular file"),
              std::string::npos)
        << display.message;
  }
}

}  // namespace
