// SPDX-License-Identifier: GPL-3.0-or-later
// The record reader reads the file in blocks: forwards, backwards along the back
// links and after a seek it visits the same records as record-by-record reading did,
// with records that straddle block ends, damage at a block end, a file that grows
// while it is read and a caller that changes the record it was given; and the number
// of reads stays near one per block, not one or two per record.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "file_fixtures.h"
#include "files/playback.h"
#include "files/sonar_file.h"
#include "files/sonar_scan.h"

namespace {

constexpr int kRecord = 640;        // the "G" records of RecordGFile
constexpr int kCount = 5000;        // about 3 MiB: blocks end inside records
constexpr int64_t kBlock = 1 << 20;

int PositionOf(std::span<const uint8_t> reply) { return ((reply[6] & 0x3F) << 7) | (reply[5] & 0x7F); }

class BlockReader : public ::testing::Test {
 protected:
  void SetUp() override {
    AppState state;
    RecordGFile("blocks.47v", kCount, state);
    bytes_ = ReadWholeFile("blocks.47v");
    ASSERT_EQ(bytes_.size(), static_cast<size_t>(kCount) * kRecord);
  }
  std::vector<uint8_t> bytes_;
};

TEST_F(BlockReader, ForwardReadsEveryRecordWithOneReadPerBlock) {
  SonarFileReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open("blocks.47v", error)) << error;
  SonarFileScanner scanner(reader);
  ScannedRecord rec;
  int n = 0;
  while (scanner.Next(rec)) {
    ASSERT_EQ(rec.offset, static_cast<int64_t>(n) * kRecord);
    ASSERT_EQ(rec.skipped_before, 0);
    ASSERT_EQ(PositionOf(reader.reply()), 100 + n);
    ASSERT_TRUE(std::equal(reader.record().begin(), reader.record().end(), bytes_.begin() + rec.offset));
    ++n;
  }
  EXPECT_EQ(n, kCount);
  EXPECT_EQ(scanner.trailing_bytes(), 0);
  const int64_t blocks = static_cast<int64_t>(bytes_.size()) / kBlock + 1;
  EXPECT_LE(reader.reads(), blocks + 2);
}

TEST_F(BlockReader, ReversePlaybackVisitsEveryRecordBackwardsWithFewReads) {
  AppState state;
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "blocks.47v"));
  std::vector<int> positions;
  PlaybackHooks hooks;
  hooks.process_reply = [&](AppState&, std::span<uint8_t> r, const ReplyExpectation&) {
    positions.push_back(PositionOf(r));
    return true;
  };
  PlaybackStep(state, display, hooks);  // the first record, forwards
  ToggleReversePlayback(state, display);
  PlaybackStep(state, display, hooks);  // the second, then back to the first
  PlaybackStep(state, display, hooks);
  EXPECT_EQ(positions, (std::vector<int>{100, 101, 100}));
  positions.clear();
  // Back over the wrap to the last record and down to the first again.
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(PlaybackStep(state, display, hooks).outcome, PlaybackOutcome::kPlayed);
  ASSERT_EQ(positions.size(), static_cast<size_t>(kCount));
  EXPECT_EQ(positions[0], 100 + kCount - 1);  // wrapped from the first to the last
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(positions[i], 100 + kCount - 1 - i) << i;
  const int64_t blocks = static_cast<int64_t>(bytes_.size()) / (kBlock - kMaxRecordSize) + 1;
  EXPECT_LE(state.PlaybackReader.reads(), 2 * blocks + 4);
}

TEST_F(BlockReader, SeekThenForwardAndBack) {
  AppState state;
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "blocks.47v"));
  std::vector<int> positions;
  PlaybackHooks hooks;
  hooks.process_reply = [&](AppState&, std::span<uint8_t> r, const ReplyExpectation&) {
    positions.push_back(PositionOf(r));
    return true;
  };
  for (const int percent : {73, 10, 50, 99}) {
    ASSERT_TRUE(SeekPlayback(state, display, percent));
    const int64_t target = static_cast<int64_t>(bytes_.size()) / 100 * percent;
    const int first = static_cast<int>((target + kRecord - 1) / kRecord);
    EXPECT_EQ(state.PlaybackPosition, static_cast<int64_t>(first) * kRecord) << percent;
    positions.clear();
    state.ReversePlayback = 0;
    PlaybackStep(state, display, hooks);
    PlaybackStep(state, display, hooks);
    state.ReversePlayback = 1;
    PlaybackStep(state, display, hooks);
    PlaybackStep(state, display, hooks);
    EXPECT_EQ(positions, (std::vector<int>{100 + first, 101 + first, 102 + first, 101 + first})) << percent;
  }
}

TEST_F(BlockReader, DamageAcrossABlockEndIsPassedOverAndReported) {
  // Garbage from the second byte of record 1637 (which straddles the first block end at
  // 1048576 = 1638.4 x 640) to inside record 1640.
  const int64_t from = 1637 * kRecord + 1, to = 1640 * kRecord + 300;
  for (int64_t k = from; k < to; ++k) bytes_[static_cast<size_t>(k)] = static_cast<uint8_t>(k * 31 + 7);
  WriteWholeFile("damaged.47v", bytes_);
  SonarFileReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open("damaged.47v", error));
  SonarFileScanner scanner(reader);
  ScannedRecord rec;
  std::vector<int64_t> after_damage;
  int n = 0;
  while (scanner.Next(rec)) {
    ++n;
    if (rec.skipped_before) after_damage = {rec.offset, rec.skipped_before};
  }
  EXPECT_EQ(n, kCount - 4);  // records 1637..1640 are gone
  EXPECT_EQ(after_damage, (std::vector<int64_t>{1641 * kRecord, 4 * kRecord}));
}

TEST(BlockReaderGrowth, RecordsAppendedAfterTheEndWasReadAreSeen) {
  AppState state;
  RecordGFile("grow.47v", 10, state);
  std::vector<uint8_t> more;
  {
    AppState other;
    RecordGFile("more.47v", 20, other);
    more = ReadWholeFile("more.47v");
  }
  SonarFileReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open("grow.47v", error));
  ASSERT_EQ(reader.ReadRecordAt(9 * kRecord), RecordRead::kOk);
  EXPECT_EQ(reader.ReadRecordAt(10 * kRecord), RecordRead::kEnd);
  // Half a record arrives, then the rest and another one.
  const int fd = ::open("grow.47v", O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, more.data() + 10 * kRecord, 300), 300);
  EXPECT_EQ(reader.ReadRecordAt(10 * kRecord), RecordRead::kEnd);
  ASSERT_EQ(::write(fd, more.data() + 10 * kRecord + 300, 2 * kRecord - 300), 2 * kRecord - 300);
  ::close(fd);
  ASSERT_EQ(reader.ReadRecordAt(10 * kRecord), RecordRead::kOk);
  EXPECT_EQ(PositionOf(reader.reply()), 110);
  ASSERT_EQ(reader.ReadRecordAt(11 * kRecord), RecordRead::kOk);
  EXPECT_EQ(PositionOf(reader.reply()), 111);
  EXPECT_TRUE(reader.ValidRecordAt(11 * kRecord));
  EXPECT_FALSE(reader.ValidRecordAt(12 * kRecord));
}

TEST(BlockReaderCopy, ChangingTheRecordLeavesTheFileBytesForTheNextRead) {
  AppState state;
  RecordGFile("copy.47v", 10, state);
  const std::vector<uint8_t> bytes = ReadWholeFile("copy.47v");
  SonarFileReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open("copy.47v", error));
  ASSERT_EQ(reader.ReadRecordAt(3 * kRecord), RecordRead::kOk);
  for (uint8_t& b : reader.mutable_record()) b = 0x55;  // as the copy command sets its back link
  ASSERT_EQ(reader.ReadRecordAt(3 * kRecord), RecordRead::kOk);
  EXPECT_TRUE(std::equal(reader.record().begin(), reader.record().end(), bytes.begin() + 3 * kRecord));
}

}  // namespace
