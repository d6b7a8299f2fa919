// SPDX-License-Identifier: GPL-3.0-or-later
// Head command packets: every variant's bytes from the settings, the bytes that keep
// their value, the one-shot requests and the choice of target on each turn.
#include "link/command_packet.h"

#include <gtest/gtest.h>

#include "link/reply_decoder.h"
#include "app_state.h"

namespace {

std::array<std::uint8_t, 27> Frame(const AppState& s) {
  std::array<std::uint8_t, 27> f{};
  std::copy_n(s.HeadCommand.begin(), 27, f.begin());
  return f;
}

void SectorMode(AppState& s) {
  s.GridMode = 0;
  s.SectorSectorSize = 90;
  s.EnableOrientationModule = 0;
}

TEST(CommandPacket, TrainCodeByAngleAndTransducer) {
  struct Case {
    int train;
    int xdcr;
    int byte11;
  } cases[] = {
      {0, 0, 60},  {0, 1, 60},   {90, 0, 90}, {90, 1, 30},  {180, 0, 0},
      {180, 1, 0}, {270, 0, 30}, {270, 1, 90}, {359, 0, 59}, {3, 0, 61},
  };
  for (const Case& c : cases) {
    AppState s;
    SectorMode(s);
    s.Train = c.train;
    s.Xdcr = c.xdcr;
    BuildNormalCommand(s);
    EXPECT_EQ(s.HeadCommand[11], c.byte11) << "train " << c.train << " xdcr " << c.xdcr;
    EXPECT_EQ(s.LastTrainCode, c.byte11) << "train " << c.train;
  }
  // The scan packet keeps 120 (no wrap rule).
  EXPECT_EQ(TrainCode(180, true, false), 120);
}

TEST(CommandPacket, SectorAndStepCodes) {
  struct Case {
    int grid_mode;
    int sector;   // SectorSectorSize
    int polar;    // PolarSectorSize
    bool auto_profile;
    int extension;
    int speed;
    int byte12;
    int byte13;
  } cases[] = {
      {1, 90, 360, false, 3, 2, 120, 3},  // Polar 360
      {1, 90, 360, true, 9, 4, 120, 8},   // 360 + extension stays 120
      {0, 180, 360, true, 9, 4, 63, 8},   // (180 + 9) / 3
      {0, 180, 360, false, 9, 0, 60, 1},
      {0, 30, 360, false, 3, 3, 10, 4},
      {2, 90, 360, false, 6, 2, 0, 0},    // SS: sector 0
      {2, 90, 360, true, 6, 2, 2, 0},     // SS during an auto-profile scan: extension only
      {3, 120, 360, false, 3, 1, 40, 2},  // Profile uses the Sector size
  };
  for (const Case& c : cases) {
    AppState s;
    s.GridMode = c.grid_mode;
    s.SectorSectorSize = c.sector;
    s.PolarSectorSize = c.polar;
    s.AutoProfileScanActive = c.auto_profile;
    s.ScanSectorExtension = c.extension;
    s.Speed = c.speed;
    BuildNormalCommand(s);
    EXPECT_EQ(s.HeadCommand[12], c.byte12) << "mode " << c.grid_mode << " sector " << c.sector;
    EXPECT_EQ(s.HeadCommand[13], c.byte13) << "mode " << c.grid_mode << " speed " << c.speed;
  }
}

TEST(CommandPacket, SwitchDelayMinimumRangeAndFrequencyCodes) {
  struct SwitchCase {
    int range_index;
    int delay;
    int code;
  } switch_cases[] = {{0, 10, 6}, {0, 1000, 250}, {1, 10, 5}, {9, 0, 0}, {0, 499, 250}, {5, 501, 250}};
  for (const auto& c : switch_cases) {
    AppState s;
    s.Range = c.range_index;
    s.SwitchDelay = c.delay;
    BuildNormalCommand(s);
    EXPECT_EQ(s.HeadCommand[24], c.code) << "range " << c.range_index << " delay " << c.delay;
  }

  struct MinCase {
    float value;
    int units;
    int code;
  } min_cases[] = {{30.0f, 0, 250}, {2.04f, 1, 6}, {0.0f, 0, 0}, {-3.0f, 0, 0}, {1.24f, 0, 12}, {1.25f, 0, 13}};
  for (const auto& c : min_cases) {
    AppState s;
    s.ProfileMinimumRange = c.value;
    s.Units = c.units;
    BuildNormalCommand(s);
    EXPECT_EQ(s.HeadCommand[15], c.code) << c.value << (c.units ? " ft" : " m");
  }

  struct FreqCase {
    int khz;
    int code;
  } freq_cases[] = {{675, 100}, {280, 21}, {1100, 185}, {700, 105}};
  for (const auto& c : freq_cases) {
    AppState s;
    s.Frequency = c.khz;
    BuildNormalCommand(s);
    EXPECT_EQ(s.HeadCommand[25], c.code) << c.khz << " kHz";
  }
}

TEST(CommandPacket, NormalPacketBytes) {
  AppState s;
  SectorMode(s);
  s.Range = 3;  // 4 m
  s.Gain = 22;
  s.Absorption = 35;
  s.PulseLength = 155;
  s.DataBits = 16;
  s.Profile = 1;
  s.HoldActive = true;
  s.RangeOffset = 7;
  s.HeadCommand.fill(0xAA);
  BuildNormalCommand(s);
  const std::array<std::uint8_t, 27> expected = {0xFE, 0x44, 0x10, 4,  0,  0x01, 0x43, 0,   22,
                                                 1,    35,   60,   30, 3,  15,   0,    0,   0,
                                                 0,    50,   16,   6,  1,  0,    5,    100, 0xFD};
  EXPECT_EQ(Frame(s), expected);
  for (int i = 27; i < kHeadCommandBufferSize; ++i) EXPECT_EQ(s.HeadCommand[static_cast<std::size_t>(i)], 0) << i;
  EXPECT_EQ(s.RangeOffset, 0);
  EXPECT_EQ(s.RangeInUseMetres, 4);
  EXPECT_EQ(s.GainSent, 22);
}

TEST(CommandPacket, DataPointsByteKeptInProfileMode) {
  AppState s;
  struct Step {
    int grid_mode;
    int ss_train;
    int byte19;
  } steps[] = {{0, 0, 50}, {3, 0, 50}, {1, 0, 25}, {3, 0, 25}, {2, 1, 25}, {2, 0, 50}, {2, 2, 50}, {3, 2, 50}};
  for (const Step& st : steps) {
    s.GridMode = st.grid_mode;
    s.SSTrain = st.ss_train;
    BuildNormalCommand(s);
    EXPECT_EQ(s.HeadCommand[19], st.byte19) << "mode " << st.grid_mode << " ss " << st.ss_train;
  }
}

TEST(CommandPacket, BaudCodeByIndexAndIndexOneKeepsTheByte) {
  struct Case {
    int index;
    int code;
  } cases[] = {{0, 11}, {2, 3}, {3, 12}, {4, 5}, {5, 6}};
  for (const auto& c : cases) {
    AppState s;
    s.HeadBaudIndex = c.index;
    BuildNormalCommand(s);
    EXPECT_EQ(s.HeadCommand[21], c.code) << "index " << c.index;
  }
  AppState s;
  BuildNormalCommand(s);
  s.HeadBaudIndex = 1;
  s.HeadCommand[21] = 77;
  BuildNormalCommand(s);
  EXPECT_EQ(s.HeadCommand[21], 77);
}

TEST(CommandPacket, OneShotRequestsClearedByNormalPacketOnly) {
  AppState s;
  s.ReverseRequest = true;
  s.CalibrateRequest = true;
  s.HeadScanActive = true;
  BuildScanCommand(s);
  EXPECT_EQ(s.HeadCommand[5] & 0x40, 0x40);
  EXPECT_EQ(s.HeadCommand[23], 1);
  EXPECT_TRUE(s.ReverseRequest);
  EXPECT_TRUE(s.CalibrateRequest);

  BuildNormalCommand(s);
  EXPECT_EQ(s.HeadCommand[5], 0x40);
  EXPECT_EQ(s.HeadCommand[23], 1);
  EXPECT_FALSE(s.ReverseRequest);
  EXPECT_FALSE(s.CalibrateRequest);
  BuildNormalCommand(s);
  EXPECT_EQ(s.HeadCommand[5], 0);
  EXPECT_EQ(s.HeadCommand[23], 0);
}

TEST(CommandPacket, ScanPacketBytes) {
  AppState s;
  SectorMode(s);
  s.SectorSectorSize = 360;
  s.Train = 180;
  s.Xdcr = 1;
  s.SwitchDelay = 10;
  s.Range = 0;  // 1 m: no addition in the scan packet
  s.ScanId = 0x13;
  s.LastTrainCode = 42;
  s.ScanCommandsUnanswered = -1;
  BuildScanCommand(s);
  EXPECT_EQ(s.HeadCommand[2], 0x13);
  EXPECT_EQ(s.HeadCommand[4], 0);
  EXPECT_EQ(s.HeadCommand[7], 1);
  EXPECT_EQ(s.HeadCommand[10], 0);
  EXPECT_EQ(s.HeadCommand[11], 120);
  EXPECT_EQ(s.HeadCommand[12], 120);
  EXPECT_EQ(s.HeadCommand[13], 0);
  EXPECT_EQ(s.HeadCommand[15], 0);
  EXPECT_EQ(s.HeadCommand[16], 0);
  EXPECT_EQ(s.HeadCommand[18], 0);
  EXPECT_EQ(s.HeadCommand[21], 0);
  EXPECT_EQ(s.HeadCommand[24], 5);
  EXPECT_EQ(s.HeadCommand[26], 0xFD);
  EXPECT_EQ(s.LastTrainCode, 42);
  EXPECT_EQ(s.ScanCommandsUnanswered, 0);
}

TEST(CommandPacket, NewIdAndProgrammingConsumedByOneScanPacket) {
  AppState s;
  s.AnsweredHeadId = 0x10;
  s.NewIdRequest = true;
  s.NewHeadId = 2 + 16;  // "3" chosen in the dialog
  s.ProgramHeadRequest = true;
  s.ProgramSerialNumber = 1234;
  s.ProgramDepthRating = 1;
  EXPECT_TRUE(BuildScanCommand(s));
  EXPECT_EQ(s.HeadCommand[2], 0x10);  // the head's present ID
  EXPECT_EQ(s.HeadCommand[16], 0x92);
  EXPECT_EQ(s.HeadCommand[10], 0x80);
  EXPECT_EQ(s.HeadCommand[15], 1234 & 0x7F);
  EXPECT_EQ(s.HeadCommand[18], 1234 >> 7);
  EXPECT_EQ(s.HeadCommand[21], 1);
  EXPECT_EQ(s.MasterHeadID, 0x12);
  EXPECT_EQ(s.ScanId, 0x12);
  EXPECT_EQ(s.ShownAnsweredHeadId, 0x10);
  EXPECT_FALSE(s.NewIdRequest);
  EXPECT_FALSE(s.ProgramHeadRequest);

  EXPECT_FALSE(BuildScanCommand(s));
  EXPECT_EQ(s.HeadCommand[2], 0x12);
  EXPECT_EQ(s.HeadCommand[16], 0);
  EXPECT_EQ(s.HeadCommand[10], 0);
  BuildNormalCommand(s);
  EXPECT_EQ(s.HeadCommand[2], 0x12);  // normal pings go to the new master ID
}

TEST(CommandPacket, AzimuthAndOrientationPackets) {
  AppState s;
  s.HeadCommand.fill(0x55);
  s.AzimuthAngle = 900;
  s.HoldActive = true;
  s.SwitchDelay = 30;
  s.Range = 0;
  BuildAzimuthCommand(s);
  const std::array<std::uint8_t, 27> az = {0xFE, 0x44, 0x1F, 0, 0, 1, 0x43, 0, 0, 0, 0, 900 & 0x7F, (900 >> 7) & 0x0F,
                                           0,    0,    0,    0, 0, 0, 0,    0, 6, 0, 0, 15, 0, 0xFD};
  EXPECT_EQ(Frame(s), az);

  s.HeadCommand.fill(0x55);
  BuildOrientationCommand(s);
  std::array<std::uint8_t, 27> om{};
  om[0] = 0xFE;
  om[1] = 0x44;
  om[2] = 0x18;
  om[24] = 16;  // (30 + 2 for 1 m) / 2
  om[26] = 0xFD;
  EXPECT_EQ(Frame(s), om);
  for (int i = 27; i < kHeadCommandBufferSize; ++i) EXPECT_EQ(s.HeadCommand[static_cast<std::size_t>(i)], 0);
}

TEST(CommandPacket, FixedAngleReplacesOnlyItsBytes) {
  AppState s;
  SectorMode(s);
  BuildNormalCommand(s);
  auto before = Frame(s);
  ApplyFixedAngle(s, 33);
  auto after = Frame(s);
  before[11] = 33;
  before[12] = 0;
  before[13] = 1;
  EXPECT_EQ(after, before);
}

TEST(CommandPacket, ExpectedReplyByModeAndWidth) {
  struct Case {
    int grid_mode;
    int ss_train;
    int profile;
    int bits;
    char kind;
    int length;
    int samples;
    int record_type;
  } cases[] = {
      {0, 0, 0, 4, 'G', 265, 499, 2},  {0, 0, 0, 8, 'G', 513, 499, 3},  {0, 0, 0, 16, 'G', 513, 250, 3},
      {1, 0, 0, 4, 'M', 141, 250, 1},  {1, 0, 0, 8, 'M', 265, 250, 2},  {1, 0, 0, 16, 'M', 513, 250, 3},
      {2, 1, 0, 8, 'M', 265, 250, 2},  {2, 0, 0, 8, 'G', 513, 499, 3},  {2, 2, 0, 4, 'G', 265, 499, 2},
      {3, 0, 0, 8, 'P', 13, 123, 0},   {0, 0, 1, 8, 'P', 13, 123, 0},   {0, 0, 2, 8, 'G', 513, 499, 3},
  };
  for (const Case& c : cases) {
    AppState s;
    s.GridMode = c.grid_mode;
    s.SSTrain = c.ss_train;
    s.Profile = c.profile;
    s.DataBits = c.bits;
    s.ExpectedSampleCount = 123;
    SetExpectedSonarReply(s);
    EXPECT_EQ(s.ExpectedReplyType, c.kind) << "mode " << c.grid_mode << " bits " << c.bits;
    EXPECT_EQ(s.ExpectedReplyLength, c.length) << "mode " << c.grid_mode << " bits " << c.bits;
    EXPECT_EQ(s.ExpectedSampleCount, c.samples) << "mode " << c.grid_mode << " bits " << c.bits;
    EXPECT_EQ(s.RecordTypeCode, c.record_type) << "mode " << c.grid_mode << " bits " << c.bits;
  }
  AppState s;
  s.HeadScanActive = true;
  SetExpectedSonarReply(s);
  EXPECT_EQ(s.ExpectedReplyType, 'T');
  EXPECT_EQ(s.ExpectedReplyLength, 77);
  EXPECT_EQ(s.RecordTypeCode, 1);
  s.AzimuthPositioning = true;  // later rules win
  SetExpectedSonarReply(s);
  EXPECT_EQ(s.ExpectedReplyType, 'A');
  EXPECT_EQ(s.ExpectedReplyLength, 13);
  SetExpectedOrientationReply(s);
  EXPECT_EQ(s.ExpectedReplyType, 'O');
  EXPECT_EQ(s.ExpectedReplyLength, 29);
}

TEST(CommandChoice, OrientationInterleavedOncePerSecond) {
  AppState s;
  SectorMode(s);
  s.EnableOrientationModule = 1;
  FakeClock clock;
  LocalTime t{2026, 1, 1, 10, 0, 5, 0};
  clock.SetLocal(t);

  // A new second after a sonar packet: the orientation module.
  CommandChoice c = ChooseAndBuildCommand(s, clock);
  EXPECT_EQ(c.Target, CommandTarget::OrientationModule);
  EXPECT_EQ(s.HeadCommand[2], 0x18);
  EXPECT_EQ(s.ExpectedReplyType, 'O');
  EXPECT_EQ(s.ExpectedReplyLength, 29);
  EXPECT_EQ(s.OrientationUnanswered, 6);
  EXPECT_TRUE(c.OrientationLost);

  // Same second: back to the sonar head.
  c = ChooseAndBuildCommand(s, clock);
  EXPECT_EQ(c.Target, CommandTarget::SonarHead);
  EXPECT_EQ(s.HeadCommand[2], 0x10);
  EXPECT_EQ(s.ExpectedReplyType, 'G');
  c = ChooseAndBuildCommand(s, clock);
  EXPECT_EQ(c.Target, CommandTarget::SonarHead);

  // Next second: one query again.
  t.second = 6;
  clock.SetLocal(t);
  s.OrientationUnanswered = 0;
  c = ChooseAndBuildCommand(s, clock);
  EXPECT_EQ(c.Target, CommandTarget::OrientationModule);
  EXPECT_FALSE(c.OrientationLost);

  // Module disabled: always the head.
  s.EnableOrientationModule = 0;
  t.second = 7;
  clock.SetLocal(t);
  c = ChooseAndBuildCommand(s, clock);
  EXPECT_EQ(c.Target, CommandTarget::SonarHead);
}

TEST(CommandChoice, AzimuthScanAndFixedAngleVariants) {
  FakeClock clock;
  {
    AppState s;
    s.AzimuthPositioning = true;
    s.AzimuthAngle = 300;
    const CommandChoice c = ChooseAndBuildCommand(s, clock);
    EXPECT_EQ(c.Target, CommandTarget::AzimuthDrive);
    EXPECT_EQ(s.HeadCommand[2], 0x1F);
    EXPECT_EQ(s.ExpectedReplyType, 'A');
  }
  {
    AppState s;
    s.HeadScanActive = true;
    s.ScanId = 20;
    ChooseAndBuildCommand(s, clock);  // a scan never yields to the orientation query
    EXPECT_EQ(s.HeadCommand[2], 20);
    EXPECT_EQ(s.HeadCommand[7], 1);
    EXPECT_EQ(s.ExpectedReplyType, 'T');
  }
  {
    AppState s;
    SectorMode(s);
    ChooseAndBuildCommand(s, clock);
    s.FixedAnglePending = true;
    s.FixedAngleTrainCode = 45;
    s.Gain = 30;  // not rebuilt: the fixed angle rides on the last packet
    ChooseAndBuildCommand(s, clock);
    EXPECT_EQ(s.HeadCommand[8], 6);
    EXPECT_EQ(s.HeadCommand[11], 45);
    EXPECT_EQ(s.HeadCommand[12], 0);
    EXPECT_EQ(s.HeadCommand[13], 1);
    EXPECT_FALSE(s.FixedAnglePending);
  }
}

}  // namespace
