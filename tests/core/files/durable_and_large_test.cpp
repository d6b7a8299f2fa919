// SPDX-License-Identifier: GPL-3.0-or-later
// Durable writing (a full device, a file-size limit hit in the middle of a record)
// and files beyond 2 and 4 GiB (sparse, with real records at known places).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "file_fixtures.h"
#include "files/file_texts.h"
#include "files/playback.h"
#include "files/sonar_file.h"

namespace {

// A device under the name (here through a link) is refused with its own message
// and left as it is; a full disk is the file size limit below.
TEST(DurableRecording, DeviceIsRefusedWithAMessage) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::filesystem::create_symlink("/dev/full", "full.47v");
  AppState state;
  RecordingFileDisplay display;
  EXPECT_FALSE(StartRecording(state, display, "full.47v"));
  EXPECT_FALSE(state.RecordFileOpen);
  ASSERT_EQ(display.messages.size(), 1u);
  EXPECT_NE(display.messages[0].text.find("/dev/full is a character device, not a regular file"), std::string::npos)
      << display.messages[0].text;
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

// In a child process with a 1000-byte file-size limit: the second 640-byte record
// is cut short by the limit; recording stops and the file keeps the first record.
TEST(DurableRecording, ShortWriteLeavesAWholeFile) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    AppState state;
    RecordingFileDisplay display;
    if (!StartRecording(state, display, "limit.47v")) ::_exit(10);
    const auto reply = MakeReply('G', 513);
    if (!WriteSonarRecord(state, display, PingOf(reply, 3))) ::_exit(11);
    if (WriteSonarRecord(state, display, PingOf(reply, 3))) ::_exit(12);
    if (state.RecordFileOpen || display.messages.size() != 1) ::_exit(13);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(std::filesystem::file_size("limit.47v"), 640u);
  SonarFileReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open("limit.47v", error));
  EXPECT_EQ(reader.ReadRecordAt(0), RecordRead::kOk);
  EXPECT_EQ(reader.ReadRecordAt(640), RecordRead::kEnd);
}

// A copy onto a full disk (a file size limit below one record, in a child
// process): copying stops with its message, playback goes on.
TEST(DurableCopying, FullDiskStopsCopyingWithAMessage) {
  AppState source;
  RecordGFile("src.47v", 3, source);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100, 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    AppState state;
    RecordingFileDisplay display;
    if (!OpenPlayback(state, display, "src.47v")) ::_exit(10);
    if (!StartCopy(state, display, "fullcopy.47v")) ::_exit(11);
    PlaybackHooks hooks;
    if (PlaybackStep(state, display, hooks).outcome != PlaybackOutcome::kPlayed) ::_exit(12);
    if (state.CopyFileOpen || display.messages.empty()) ::_exit(13);
    if (display.messages.back().caption != "Copy File Error") ::_exit(14);
    if (display.titles.back() != "WinQ47V Digital Sonar - Playback of src.47v") ::_exit(15);
    if (PlaybackStep(state, display, hooks).outcome != PlaybackOutcome::kPlayed) ::_exit(16);  // playback goes on
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(DurableCopying, DeviceIsRefused) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::filesystem::create_symlink("/dev/full", "fullcopy.47v");
  AppState state;
  RecordGFile("src.47v", 3, state);
  RecordingFileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "src.47v"));
  EXPECT_FALSE(StartCopy(state, display, "fullcopy.47v"));
  EXPECT_FALSE(state.CopyFileOpen);
  ASSERT_FALSE(display.messages.empty());
  EXPECT_NE(display.messages.back().text.find("is a character device"), std::string::npos);
}

// Writes `count` 640-byte "G" records at `offset`, positions from `first_position`.
void WriteRecordsAt(int fd, int64_t offset, int count, int first_position) {
  AppState state;
  for (int i = 0; i < count; ++i) {
    const auto reply = MakeReply('G', 513, first_position + i, i + 1);
    SonarRecordFields f = RecordFieldsFor(state, PingOf(reply, 3), 640);
    std::vector<uint8_t> rec(f.record_size);
    ASSERT_TRUE(EncodeSonarRecord(f, reply, rec));
    ASSERT_EQ(::pwrite(fd, rec.data(), rec.size(), static_cast<off_t>(offset + i * 640)), 640);
  }
}

// A sparse 5 GiB file with three records just after 10 %, 50 % and 90 % of it (the
// last two beyond 2 and 4 GiB), three at the start and three ending the file.
TEST(LargeFiles, PlaySeekAndReverseBeyondFourGiB) {
  const int64_t length = 5LL << 30;
  const int fd = ::open("big.47v", O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  if (::ftruncate(fd, static_cast<off_t>(length)) != 0) {
    ::close(fd);
    GTEST_SKIP() << "file system without large sparse files";
  }
  const int64_t at10 = length / 10 + 1000, at50 = length / 2 + 1000, at90 = length / 10 * 9 + 1000;
  const int64_t at_end = length - 3 * 640;
  WriteRecordsAt(fd, 0, 3, 10);
  WriteRecordsAt(fd, at10, 3, 100);
  WriteRecordsAt(fd, at50, 3, 500);
  WriteRecordsAt(fd, at90, 3, 900);
  WriteRecordsAt(fd, at_end, 3, 1000);
  ::close(fd);

  AppState state;
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "big.47v"));
  EXPECT_EQ(state.PlaybackFileLength, length);
  std::vector<int> positions;
  PlaybackHooks hooks;
  hooks.process_reply = [&](AppState&, std::span<uint8_t> r, const ReplyExpectation&) {
    positions.push_back(((r[6] & 0x3F) << 7) | (r[5] & 0x7F));
    return true;
  };
  const struct {
    int percent;
    int64_t offset;
  } seeks[] = {{10, at10}, {50, at50}, {90, at90}};
  for (const auto& s : seeks) {
    ASSERT_TRUE(SeekPlayback(state, display, s.percent));
    EXPECT_EQ(state.PlaybackPosition, s.offset) << s.percent;
  }
  // From the records after 90 % forward over the hole to the last three records.
  positions.clear();
  for (int i = 0; i < 6; ++i) EXPECT_EQ(PlaybackStep(state, display, hooks).outcome, PlaybackOutcome::kPlayed);
  EXPECT_EQ(positions, (std::vector<int>{900, 901, 902, 1000, 1001, 1002}));
  EXPECT_EQ(state.PlaybackPercent, 100);
  EXPECT_EQ(state.DamagedBytesSkipped, at_end - (at90 + 3 * 640));
  // Backward: from the first record after 90 % the back link points into the hole
  // and no record starts within the search distance, so playback wraps to the last
  // record and follows the chain; at the first of the last three the same happens.
  ASSERT_TRUE(SeekPlayback(state, display, 90));
  state.ReversePlayback = 1;
  positions.clear();
  for (int i = 0; i < 5; ++i) PlaybackStep(state, display, hooks);
  EXPECT_EQ(positions, (std::vector<int>{900, 1002, 1001, 1000, 1002}));
  std::filesystem::remove("big.47v");
}

}  // namespace

namespace {

// The comm thread records while the GUI thread stops and starts recording: every
// file made is whole records with a sound back-link chain.
TEST(RecordingThreads, StopAndStartWhileTheCommThreadWrites) {
  AppState state;
  FileDisplay display;
  ASSERT_TRUE(StartRecording(state, display, "take0.47v"));
  std::atomic<bool> done{false};
  std::thread comm([&] {
    const auto reply = MakeReply('G', 513);
    while (!done) WriteSonarRecord(state, display, PingOf(reply, 3));
  });
  for (int i = 1; i <= 20; ++i) {
    while (state.RecordBytes.load() < 640 * 5) std::this_thread::yield();
    StopRecording(state, display);
    ASSERT_TRUE(StartRecording(state, display, "take" + std::to_string(i) + ".47v"));
  }
  done = true;
  comm.join();
  StopRecording(state, display);
  for (int i = 0; i <= 20; ++i) {
    const std::vector<uint8_t> bytes = ReadWholeFile("take" + std::to_string(i) + ".47v");
    ASSERT_EQ(bytes.size() % 640, 0u) << i;
    if (i < 20) {
      ASSERT_GE(bytes.size(), 640u * 5) << i;
    }
    for (size_t at = 0; at < bytes.size(); at += 640) {
      ASSERT_EQ(bytes[at], '4');
      EXPECT_EQ(bytes[at + 638] * 256 + bytes[at + 639], at == 0 ? 640 : 1280) << i << " " << at;
    }
  }
}

}  // namespace
