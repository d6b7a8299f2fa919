// SPDX-License-Identifier: GPL-3.0-or-later
// Head replies: the four checks, sonar decoding into PingData (position, flip,
// blanking, profile index, beam angle, unpacking), azimuth and orientation replies,
// and random or cut-short frames that must never be read outside their bytes.
#include "link/reply_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "link/command_packet.h"
#include "app_state.h"

namespace {

struct ReplySpec {
  char kind = 'G';
  int length = 513;
  int status = 0;
  int position = 600;
  int direction = 0;
  int range = 50;
  int profile_code = 0;
  std::uint8_t fill = 0;
};

std::vector<std::uint8_t> MakeReply(const ReplySpec& r) {
  std::vector<std::uint8_t> b(static_cast<std::size_t>(r.length), r.fill);
  b[0] = 'I';
  b[1] = static_cast<std::uint8_t>(r.kind);
  b[2] = 'X';
  b[3] = 0x10;
  b[4] = static_cast<std::uint8_t>(r.status);
  b[5] = static_cast<std::uint8_t>(r.position & 0x7F);
  b[6] = static_cast<std::uint8_t>(((r.position >> 7) & 0x3F) | (r.direction ? 0x40 : 0));
  b[7] = static_cast<std::uint8_t>(r.range);
  b[8] = static_cast<std::uint8_t>(r.profile_code & 0x7F);
  b[9] = static_cast<std::uint8_t>((r.profile_code >> 7) & 0x7F);
  const int data = r.length - 13;
  b[10] = static_cast<std::uint8_t>(data & 0x7F);
  b[11] = static_cast<std::uint8_t>((data >> 7) & 0x7F);
  b[static_cast<std::size_t>(r.length - 1)] = 0xFC;
  return b;
}

// A state set up for live decoding in a display mode and width.
void Live(AppState& s, int grid_mode, int bits, int range_metres = 50) {
  s.RunMode = 0;
  s.GridMode = grid_mode;
  s.DataBits = bits;
  s.RangeInUseMetres = range_metres;
  s.EnableOrientationModule = 0;
  SetExpectedSonarReply(s);
}

ReplyOutcome Feed(AppState& s, std::vector<std::uint8_t>& reply, const Clock& clock) {
  return ProcessReplyBytes(s, reply, CurrentExpectation(s), clock);
}

TEST(ReplyChecks, EnvelopeKindMarkerAndTermination) {
  FakeClock clock;
  struct Case {
    int index;      // byte to spoil, -1 none
    std::uint8_t value;
    bool accepted;
  } cases[] = {{-1, 0, true}, {0, 'J', false}, {1, 'M', false}, {2, 'Y', false}, {512, 0xFD, false}};
  for (const Case& c : cases) {
    AppState s;
    Live(s, 0, 8);
    auto reply = MakeReply({.position = 700});
    if (c.index >= 0) reply[static_cast<std::size_t>(c.index)] = c.value;
    const ReplyOutcome out = Feed(s, reply, clock);
    EXPECT_EQ(out.Accepted, c.accepted) << "spoiled byte " << c.index;
    EXPECT_EQ(s.Ping.Decoded, c.accepted) << "spoiled byte " << c.index;
    EXPECT_EQ(s.Ping.HeadPosition, c.accepted ? 700 : 600) << "a dropped reply changes nothing";
    EXPECT_EQ(s.Shown().Ping.Decoded, c.accepted);
  }
  // A frame shorter than its expected length is refused without reading past it.
  AppState s;
  Live(s, 0, 8);
  std::vector<std::uint8_t> short_reply = MakeReply({.length = 265});
  EXPECT_FALSE(Feed(s, short_reply, clock).Accepted);
}

TEST(SonarDecoding, EightBitSectorReplyYieldsFiveHundredSamples) {
  FakeClock clock;
  AppState s;
  Live(s, 0, 8, 4);
  s.PulseLength = 100;
  auto reply = MakeReply({.range = 4, .fill = 0x50});
  reply[12] = 0x20;
  reply[511] = 0x21;
  ASSERT_TRUE(Feed(s, reply, clock).Accepted);
  const PingData& p = s.Ping;
  EXPECT_EQ(p.SampleCount, 499);
  EXPECT_EQ(p.BlankSamples, 19);
  for (int i = 0; i < 19; ++i) EXPECT_EQ(p.Samples[static_cast<std::size_t>(i)], 0) << i;
  EXPECT_EQ(p.Samples[19], 0x20);
  EXPECT_EQ(p.Samples[20], 0x50);
  EXPECT_EQ(p.Samples[19 + 499], 0x21);  // the 500th sample
  EXPECT_EQ(p.DataByteCount, 500);
  EXPECT_EQ(p.RangeMetres, 4);
  EXPECT_EQ(p.Termination, 0xFC);
  EXPECT_EQ(p.ReplyHeadId, 0x10);
  EXPECT_EQ(p.ReplyHeader[1], 'G');
}

TEST(SonarDecoding, UnpackingByWidthAndMix) {
  FakeClock clock;
  struct Case {
    const char* name;
    int grid_mode;
    int bits;
    int profile;
    std::vector<std::uint8_t> data;   // first data bytes
    std::vector<int> samples;         // first samples after the blanking
  } cases[] = {
      {"4-bit 0x3A", 0, 4, 0, {0x3A}, {107, 48}},
      {"4-bit low mix", 0, 4, 2, {0x3A, 0xF1}, {40, 12, 4, 60}},
      {"8-bit low mix 0xFF", 0, 8, 2, {0xFF}, {63}},
      {"8-bit med mix 0xFF", 0, 8, 3, {0xFF, 0x80}, {107, 64}},
      {"8-bit high mix", 0, 8, 4, {0x40}, {64}},
      {"8-bit limit", 0, 8, 0, {0x6B, 0x6C, 0xFF}, {107, 107, 107}},
      {"16-bit", 0, 16, 0, {0x00, 0x10, 0xFF, 0xFF, 0xC0, 0x03}, {64, 107, 15}},
      {"16-bit low mix", 0, 16, 2, {0x00, 0x10}, {16}},
      {"16-bit med mix has no shift", 0, 16, 3, {0x00, 0x10}, {64}},
      {"4-bit med mix has no shift", 0, 4, 3, {0x05}, {80, 0}},
  };
  for (const auto& c : cases) {
    AppState s;
    Live(s, c.grid_mode, c.bits, 50);
    s.Profile = c.profile;
    s.PulseLength = 100;
    SetExpectedSonarReply(s);
    auto reply = MakeReply({.length = s.ExpectedReplyLength});
    for (std::size_t i = 0; i < c.data.size(); ++i) reply[12 + i] = c.data[i];
    ASSERT_TRUE(Feed(s, reply, clock).Accepted) << c.name;
    const int b = s.Ping.BlankSamples;
    for (std::size_t i = 0; i < c.samples.size(); ++i) {
      EXPECT_EQ(s.Ping.Samples[static_cast<std::size_t>(b) + i], c.samples[i]) << c.name << " sample " << i;
    }
  }
}

TEST(SonarDecoding, PolarPairsAndTheZeroedTailOfM) {
  FakeClock clock;
  {
    // Playback of "G" data in Polar display: each pair gives its larger sample.
    AppState s;
    s.RunMode = 1;
    s.GridMode = 1;
    ReplyExpectation e = ExpectationFor('G', 8, 250);
    auto reply = MakeReply({.range = 50});
    reply[12] = 10;
    reply[13] = 90;
    reply[14] = 200;
    reply[15] = 3;
    ASSERT_TRUE(ProcessReplyBytes(s, reply, e, clock).Accepted);
    const int b = s.Ping.BlankSamples;
    EXPECT_EQ(s.Ping.Samples[static_cast<std::size_t>(b)], 90);
    EXPECT_EQ(s.Ping.Samples[static_cast<std::size_t>(b) + 1], 107);
  }
  {
    AppState s;
    Live(s, 1, 8);
    auto reply = MakeReply({.kind = 'M', .length = 265, .fill = 0x30});
    ASSERT_TRUE(Feed(s, reply, clock).Accepted);
    for (int i = 260; i <= 263; ++i) EXPECT_EQ(reply[static_cast<std::size_t>(i)], 0) << i;
    EXPECT_EQ(reply[259], 0x30);
    const int b = s.Ping.BlankSamples;
    EXPECT_EQ(s.Ping.Samples[static_cast<std::size_t>(b) + 247], 0x30);
    EXPECT_EQ(s.Ping.Samples[static_cast<std::size_t>(b) + 248], 0);
  }
}

TEST(SonarDecoding, PositionRuleAndMirroring) {
  FakeClock clock;
  struct Case {
    int xdcr;
    int profile_grid;
    int zero_down;
    int position;
    int direction;
    int expected_position;
    int expected_flip;
  } cases[] = {
      {0, 0, 1, 700, 1, 700, 1},   {1, 0, 1, 700, 1, 500, 0},  {1, 0, 1, 0, 0, 0, 1},
      {1, 0, 1, 1200, 0, 0, 1},    {0, 1, 0, 700, 0, 500, 1},  {0, 1, 1, 700, 0, 700, 0},
      {1, 1, 1, 100, 1, 1100, 0},  {1, 1, 0, 100, 1, 100, 1},
  };
  for (const Case& c : cases) {
    AppState s;
    Live(s, 0, 8);
    s.Xdcr = c.xdcr;
    s.ProfileGrid = c.profile_grid;
    s.ZeroDown = c.zero_down;
    auto reply = MakeReply({.position = c.position, .direction = c.direction});
    ASSERT_TRUE(Feed(s, reply, clock).Accepted);
    EXPECT_EQ(s.Ping.HeadPosition, c.expected_position) << "xdcr " << c.xdcr << " pos " << c.position;
    EXPECT_EQ(s.Ping.ImageFlip, c.expected_flip) << "xdcr " << c.xdcr << " pos " << c.position;
    EXPECT_EQ(s.Ping.StepDirection, c.direction);
  }

  // 0x7F, 0x3F (8191) keeps the previous position, also when mirrored.
  for (int xdcr : {0, 1}) {
    AppState s;
    Live(s, 0, 8);
    s.Xdcr = xdcr;
    auto first = MakeReply({.position = 300});
    ASSERT_TRUE(Feed(s, first, clock).Accepted);
    auto bad = MakeReply({.position = 300});
    bad[5] = 0x7F;
    bad[6] = 0x3F;
    ASSERT_TRUE(Feed(s, bad, clock).Accepted);
    EXPECT_EQ(s.Ping.HeadPosition, xdcr ? 900 : 300) << "xdcr " << xdcr;
  }
}

TEST(SonarDecoding, BlankingByStatusRangeAndMode) {
  struct Case {
    int pulse;
    int range;
    int status;
    bool polar;
    int samples;
    float distance;
  } cases[] = {
      {100, 4, 0, false, 19, 0.159f},   // t = 212, s = 0.008
      {100, 10, 0, false, 11, 0.2265f}, // t = 302
      {100, 4, 1, false, 7, 0.0615f},   // t = 82
      {100, 10, 1, false, 2, 0.04425f}, // t = 59
      {100, 10, 2, false, 7, 0.159f},   // L = 20: the fine formula at 10 m
      {100, 4, 0, true, 9, 0.159f},     // halved in Polar
      {1000, 1, 0, false, 0, 0.834f},   // 417 samples: above 99, no blanking
      {10, 20, 1, false, 0, 0.0f},      // negative time
  };
  for (const Case& c : cases) {
    const Blanking b = ComputeBlanking(c.pulse, c.range, c.status, c.polar);
    EXPECT_EQ(b.Samples, c.samples) << "pulse " << c.pulse << " range " << c.range << " status " << c.status;
    EXPECT_NEAR(b.Distance, c.distance, 1e-5) << "pulse " << c.pulse << " range " << c.range;
  }
  EXPECT_EQ(ComputeBlanking(100, 0, 0, false).Samples, 0);  // no range, no division
}

TEST(SonarDecoding, ProfileIndexFromHeadCode) {
  struct Case {
    int code;
    int blank;
    int range;
    int status;
    bool polar;
    int index;
  } cases[] = {
      {0, 19, 4, 0, false, 0},
      {361, 19, 3, 0, false, 139},   // 361 x 0.002 / 0.006 = 120.33
      {100, 10, 10, 0, false, 60},   // 1 cm units at 10 m
      {100, 10, 10, 2, false, 20},   // 2 mm units below 20 m with status bit 1
      {100, 10, 10, 0, true, 35},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProfileIndexFromCode(c.code, c.blank, c.range, c.status, c.polar), c.index) << "code " << c.code;
  }

  // Points Only without a point: no blanking either.
  FakeClock clock;
  AppState s;
  Live(s, 0, 8, 4);
  s.Profile = 1;
  SetExpectedSonarReply(s);
  auto reply = MakeReply({.kind = 'P', .length = 13, .range = 4});
  ASSERT_TRUE(Feed(s, reply, clock).Accepted);
  EXPECT_EQ(s.Ping.BlankSamples, 0);
  EXPECT_EQ(s.Ping.ProfileSampleIndex, 0);
  auto with_point = MakeReply({.kind = 'P', .length = 13, .range = 4, .profile_code = 500});
  ASSERT_TRUE(Feed(s, with_point, clock).Accepted);
  EXPECT_EQ(s.Ping.BlankSamples, 19);
  EXPECT_EQ(s.Ping.ProfileSampleIndex, 19 + 125);
  EXPECT_EQ(s.Ping.ProfileRangeCode, 500);
}

TEST(SonarDecoding, BeamAngle) {
  FakeClock clock;
  struct Case {
    int grid_mode;
    int profile_grid;
    int train;
    float rotate;
    int position;
    double rad;
    double deg;
  } cases[] = {
      {0, 0, 0, 0.0f, 900, M_PI / 2, 90.0},
      {0, 0, 90, 0.0f, 900, 0.0, 90.0},         // Sector subtracts the train
      {0, 1, 90, 0.0f, 900, M_PI / 2, 90.0},    // ... not with the profile grid
      {1, 0, 90, 0.0f, 900, M_PI / 2, 90.0},    // Polar keeps it
      {3, 0, 0, 0.0f, 600, M_PI, 180.0},        // Profile adds a half turn
      {1, 0, 0, 0.0f, 300, -M_PI / 2, 270.0},   // negative degrees + 360
      {1, 0, 0, -30.0f, 600, -M_PI / 6, 330.0},
      {1, 0, 0, 45.0f, 700, M_PI / 6 + M_PI / 4, 75.0},
  };
  for (const Case& c : cases) {
    AppState s;
    Live(s, c.grid_mode, 8);
    s.ProfileGrid = c.profile_grid;
    s.Train = c.train;
    s.RotateAngle = c.rotate;
    ReplyExpectation e = CurrentExpectation(s);
    auto reply = MakeReply({.kind = e.Kind, .length = e.Length, .position = c.position});
    ASSERT_TRUE(ProcessReplyBytes(s, reply, e, clock).Accepted);
    EXPECT_NEAR(s.Ping.BeamAngleRad, c.rad, 1e-5) << "mode " << c.grid_mode << " pos " << c.position;
    EXPECT_NEAR(s.Ping.BeamAngleDeg, c.deg, 1e-4) << "mode " << c.grid_mode << " pos " << c.position;
  }
}

TEST(SonarDecoding, RepRateEveryTenReplies) {
  FakeClock clock;
  AppState s;
  Live(s, 0, 8);
  for (int i = 0; i < 11; ++i) {
    auto reply = MakeReply({});
    ASSERT_TRUE(Feed(s, reply, clock).Accepted);
    if (i < 10) {
      EXPECT_EQ(s.Ping.RepRateText, "") << i;
    }
    clock.Advance(std::chrono::milliseconds(40 + i));
  }
  EXPECT_EQ(s.Ping.RepRateText, "44 ms");  // (40 + ... + 49) / 10
  EXPECT_EQ(s.Shown().Ping.RepRateText, "44 ms");
}

TEST(SonarDecoding, PlaybackTakesTheRangeFromTheReply) {
  FakeClock clock;
  AppState s;
  s.RunMode = 1;
  s.GridMode = 0;
  s.Range = 9;
  s.RangeInUseMetres = 50;
  s.PulseLength = 100;
  ReplyExpectation e = ExpectationFor('G', 8, 250);
  auto reply = MakeReply({.range = 4});
  ASSERT_TRUE(ProcessReplyBytes(s, reply, e, clock).Accepted);
  EXPECT_EQ(s.Range, 3);
  EXPECT_EQ(s.Ping.BlankSamples, 19);
  auto odd = MakeReply({.range = 7});  // not in the table: the index stays
  ASSERT_TRUE(ProcessReplyBytes(s, odd, e, clock).Accepted);
  EXPECT_EQ(s.Range, 3);
}

TEST(SonarDecoding, SoftwareProfilePointWrittenBackIntoTheReply) {
  FakeClock clock;
  AppState s;
  Live(s, 0, 8, 3);
  s.ProfileDigitizationSource = 1;
  s.Profile = 4;
  s.ProfileMinimumLevel = 70;
  s.PulseLength = 100;
  SetExpectedSonarReply(s);
  auto reply = MakeReply({.range = 3, .profile_code = 77, .fill = 10});
  reply[12 + 120] = 80;
  ASSERT_TRUE(Feed(s, reply, clock).Accepted);
  const int b = s.Ping.BlankSamples;
  EXPECT_EQ(s.Ping.ProfileSampleIndex, b + 120);
  EXPECT_EQ(s.Ping.ProfileRangeCode, 361);
  EXPECT_EQ(reply[8], 361 & 0x7F);
  EXPECT_EQ(reply[9], 361 >> 7);
}

TEST(SonarDecoding, ScanReplyNotesTheHeadAndDrawsNothing) {
  FakeClock clock;
  AppState s;
  s.HeadScanActive = true;
  Live(s, 0, 8);
  ASSERT_EQ(s.ExpectedReplyType, 'T');
  auto reply = MakeReply({.kind = 'T', .length = 77, .fill = 0x33});
  reply[3] = 0x14;
  ASSERT_TRUE(Feed(s, reply, clock).Accepted);
  EXPECT_TRUE(s.ScanReplySeen);
  EXPECT_EQ(s.AnsweredHeadId, 0x14);
  const LinkShown shown = s.Shown();
  EXPECT_TRUE(shown.ScanReplyValid);
  EXPECT_EQ(shown.ScanReply[12], 0x33);
  EXPECT_EQ(s.Ping.Samples[s.Ping.BlankSamples], 0);
}

std::vector<std::uint8_t> AzimuthReply(int position, bool tilt, int pitch, int roll, int heading) {
  std::vector<std::uint8_t> r = {'I', 'A', 'X', 0x1F, 0x40, 0, 0, 0, 0, 0, 0, 0, 0xFC};
  r[5] = static_cast<std::uint8_t>(position & 0x7F);
  r[6] = static_cast<std::uint8_t>((position >> 7) & 0x3F);
  if (tilt) {
    r[7] = static_cast<std::uint8_t>(0x40 | (pitch & 0x3F));
    r[8] = static_cast<std::uint8_t>(((pitch >> 6) & 0x1F) << 2 | (roll & 0x03));
    r[9] = static_cast<std::uint8_t>((roll >> 2) & 0x7F);
    r[10] = static_cast<std::uint8_t>(((roll >> 9) & 0x03) << 5 | (heading & 0x1F));
    r[11] = static_cast<std::uint8_t>((heading >> 5) & 0x7F);
  }
  return r;
}

TEST(AzimuthReply, PositionTiltAndOffsets) {
  struct Case {
    int pitch_raw, roll_raw, heading_raw;
    float pitch_offset, roll_offset, heading_offset;
    float pitch, roll, heading;
  } cases[] = {
      {900, 900, 0, 0, 0, 0, 0.0f, 0.0f, 0.0f},
      {2047, 0, 3599, 0, 0, 10, 90.0f, -90.0f, 9.9f},
      {1000, 800, 4095, -30, 30, -180, -20.0f, 20.0f, 179.9f},
      {1700, 100, 100, 30, -30, 0, 90.0f, -90.0f, 10.0f},
  };
  for (const Case& c : cases) {
    auto r = AzimuthReply(777, true, c.pitch_raw, c.roll_raw, c.heading_raw);
    const AzimuthReading a = DecodeAzimuthReply(r, c.pitch_offset, c.roll_offset, c.heading_offset);
    EXPECT_EQ(a.Position, 777);
    EXPECT_TRUE(a.TiltPresent);
    EXPECT_EQ(a.PitchRaw, c.pitch_raw);
    EXPECT_EQ(a.RollRaw, c.roll_raw);
    EXPECT_EQ(a.HeadingRaw, c.heading_raw);
    EXPECT_NEAR(a.Pitch, c.pitch, 1e-4) << c.pitch_raw;
    EXPECT_NEAR(a.Roll, c.roll, 1e-4) << c.roll_raw;
    EXPECT_NEAR(a.Heading, c.heading, 1e-3) << c.heading_raw;
  }

  FakeClock clock;
  AppState s;
  s.AzimuthPositioning = true;
  SetExpectedSonarReply(s);
  auto r = AzimuthReply(900, false, 0, 0, 0);
  const ReplyOutcome out = ProcessReply(s, clock);  // empty buffer: refused
  EXPECT_FALSE(out.Accepted);
  std::copy(r.begin(), r.end(), s.ReplyBuffer.begin());
  const ReplyOutcome ok = ProcessReply(s, clock);
  EXPECT_TRUE(ok.Accepted);
  EXPECT_TRUE(ok.AzimuthFirstFound);
  EXPECT_FALSE(s.AzimuthPositioning);
  EXPECT_EQ(s.AzimuthPosition, 900);
  EXPECT_FALSE(s.AzimuthTiltPresent);
  EXPECT_EQ(s.Shown().Azimuth.Status, 0x40);
  EXPECT_FALSE(s.Ping.Decoded);  // not a sonar ping
  EXPECT_FALSE(ProcessReply(s, clock).AzimuthFirstFound);
}

TEST(OrientationReply, AnglesFromSevenSevenFields) {
  std::vector<std::uint8_t> r(29, 0);
  r[0] = 'I';
  r[1] = 'O';
  r[2] = 'X';
  r[28] = 0xFC;
  auto put = [&](int at, int v) {
    r[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(v & 0x7F);
    r[static_cast<std::size_t>(at + 1)] = static_cast<std::uint8_t>((v >> 7) & 0x7F);
  };
  put(18, 1050);  // pitch 15.0
  put(20, 700);   // roll -20.0
  put(22, 3599);  // heading 359.9
  const OrientationReading o = DecodeOrientationReply(r, 1.0f, 0.0f, 10.0f);
  EXPECT_NEAR(o.Pitch, 16.0f, 1e-4);
  EXPECT_NEAR(o.Roll, -20.0f, 1e-4);
  EXPECT_NEAR(o.Heading, 9.9f, 1e-3);

  FakeClock clock;
  AppState s;
  SetExpectedOrientationReply(s);
  s.OrientationUnanswered = 7;
  s.OrientationHeadingOffset = 10.0f;
  ASSERT_TRUE(ProcessReplyBytes(s, r, CurrentExpectation(s), clock).Accepted);
  EXPECT_EQ(s.OrientationUnanswered, 0);
  EXPECT_NEAR(s.OrientationHeading, 9.9f, 1e-3);
}

// Decoding writes into the reply (the "M" tail, the software profile code) but never
// past its expected length, even in the larger receive buffer.
TEST(ReplyRobustness, WritesStayInsideTheExpectedLength) {
  FakeClock clock;
  for (int grid_mode : {0, 1}) {
    AppState s;
    Live(s, grid_mode, 8, 3);
    s.ProfileDigitizationSource = 1;
    s.Profile = 3;
    SetExpectedSonarReply(s);
    const int n = s.ExpectedReplyLength;
    s.ReplyBuffer.fill(0xEE);
    auto reply = MakeReply({.kind = s.ExpectedReplyType, .length = n, .range = 3, .fill = 0x70});
    std::copy(reply.begin(), reply.end(), s.ReplyBuffer.begin());
    ASSERT_TRUE(ProcessReply(s, clock).Accepted) << grid_mode;
    for (int i = n; i < kReplyBufferSize; ++i) ASSERT_EQ(s.ReplyBuffer[static_cast<std::size_t>(i)], 0xEE) << i;
    EXPECT_EQ(s.ReplyBuffer[static_cast<std::size_t>(n - 1)], 0xFC);
  }
}

// Random bytes, random kinds, widths and modes, frames cut anywhere: each frame sits in
// a buffer of exactly its own size, so a read past it is caught under AddressSanitizer.
TEST(ReplyRobustness, RandomAndTruncatedFramesStayInsideTheReply) {
  std::mt19937 rng(4711);
  FakeClock clock;
  AppState s;
  const char kinds[] = {'G', 'M', 'P', 'T', 'A', 'O', 'Z'};
  const int widths[] = {4, 8, 16, 12};
  int accepted = 0;
  for (int round = 0; round < 20000; ++round) {
    const char kind = kinds[rng() % 7];
    const int bits = widths[rng() % 4];
    s.GridMode = static_cast<int>(rng() % 5);
    s.Profile = static_cast<int>(rng() % 6);
    s.ProfileDigitizationSource = static_cast<int>(rng() % 2);
    s.RunMode = static_cast<int>(rng() % 2);
    s.Xdcr = static_cast<int>(rng() % 2);
    s.Units = static_cast<int>(rng() % 2);
    s.PulseLength = static_cast<int>(rng() % 1100);
    s.RangeInUseMetres = static_cast<int>(rng() % 220);
    s.ProfileMinimumRange = static_cast<float>(rng() % 300) * 0.1f;
    s.HeadScanActive = rng() % 8 == 0;
    ReplyExpectation e = ExpectationFor(kind, bits, 499);
    if (rng() % 4 == 0) e.Length = static_cast<int>(rng() % 700);  // a length from nowhere
    if (rng() % 4 == 0) e.SampleCount = static_cast<int>(rng() % 700);
    const int size = rng() % 3 == 0 ? static_cast<int>(rng() % 700) : std::max(e.Length, 0);
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(size));
    for (auto& b : frame) b = static_cast<std::uint8_t>(rng());
    if (rng() % 2 && size >= 3) {
      frame[0] = 'I';
      frame[1] = static_cast<std::uint8_t>(kind);
      frame[2] = 'X';
      if (e.Length >= 1 && e.Length <= size) frame[static_cast<std::size_t>(e.Length - 1)] = 0xFC;
    }
    const ReplyOutcome out = ProcessReplyBytes(s, frame, e, clock);
    if (out.Accepted) ++accepted;
    ASSERT_LE(s.Ping.BlankSamples, kMaxBlankSamples);
    ASSERT_GE(s.Ping.BlankSamples, 0);
    for (std::uint8_t v : s.Ping.Samples) ASSERT_LE(v, 107);
  }
  EXPECT_GT(accepted, 1000);
}

}  // namespace
