// SPDX-License-Identifier: GPL-3.0-or-later
// Command frames in, reply frames out: parsing, framing in a byte stream, and the
// length and envelope of every reply kind at every data width.
#include <gtest/gtest.h>

#include "scene.h"
#include "sim_protocol.h"
#include "sim_test_util.h"
#include "sonar_head.h"

using namespace q47vsim;
using simtest::Frame;

TEST(CommandParse, AcceptsOnlyWholeFramesWithHeaderAndTerminator) {
  auto short_frame = Frame().Bytes();
  short_frame.pop_back();
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool ok;
  } cases[] = {
      {"normal ping", Frame().Bytes(), true},
      {"wrong first byte", Frame().Set(0, 0xFF).Bytes(), false},
      {"wrong D byte", Frame().Set(1, 0x45).Bytes(), false},
      {"0xFC terminator", Frame().Set(26, 0xFC).Bytes(), false},
      {"one byte short", short_frame, false},
      {"empty", {}, false},
  };
  for (const auto& c : cases) {
    Command cmd;
    EXPECT_EQ(ParseCommand(c.bytes, cmd), c.ok) << c.name;
  }
}

TEST(CommandParse, NamesEveryByte) {
  Frame f(0x13);
  f.Set(3, 50).Set(5, 0x41).Set(7, 1).Set(8, 33).Set(10, 0x80).Set(11, 90).Set(12, 120).Set(13, 8).Set(14, 25);
  f.Set(15, 0x55).Set(16, 0x92).Set(18, 0x21).Set(19, 25).Set(20, 16).Set(21, 1).Set(22, 1).Set(23, 1).Set(24, 6);
  f.Set(25, 21);
  Command c;
  ASSERT_TRUE(ParseCommand(f.Bytes(), c));
  EXPECT_EQ(c.id, 0x13);
  EXPECT_EQ(c.range_m, 50);
  EXPECT_TRUE(c.hold);
  EXPECT_TRUE(c.reverse);
  EXPECT_TRUE(c.scan);
  EXPECT_EQ(c.gain_db, 33);
  EXPECT_EQ(c.absorption, 0x80);
  EXPECT_EQ(c.train_code, 90);
  EXPECT_EQ(c.sector_code, 120);
  EXPECT_EQ(c.step_code, 8);
  EXPECT_EQ(c.PulseMicros(), 250);
  EXPECT_EQ(c.profile_min, 0x55);
  EXPECT_EQ(c.new_id, 0x92);
  EXPECT_EQ(c.byte18, 0x21);
  EXPECT_EQ(c.data_points, 25);
  EXPECT_EQ(c.data_bits, 16);
  EXPECT_TRUE(c.points_only);
  EXPECT_TRUE(c.calibrate);
  EXPECT_EQ(c.switch_delay, 6);
  EXPECT_EQ(c.FrequencyKhz(), 280);
  EXPECT_EQ(simtest::AzimuthFrame(1199).b[11], 1199 & 0x7F);
  Command a;
  ASSERT_TRUE(ParseCommand(simtest::AzimuthFrame(1199).Bytes(), a));
  EXPECT_EQ(a.AzimuthTarget(), 1199);
}

namespace {
std::vector<std::vector<std::uint8_t>> FeedAll(CommandFramer& fr, const std::vector<std::uint8_t>& bytes) {
  std::vector<std::vector<std::uint8_t>> out;
  std::array<std::uint8_t, kCommandLength> f;
  for (auto b : bytes)
    if (fr.Feed(b, f)) out.emplace_back(f.begin(), f.end());
  return out;
}
std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> v;
  for (auto& p : parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}
}  // namespace

TEST(CommandFramer, FindsFramesBetweenJunkAndAfterBrokenOnes) {
  auto good = Frame().Bytes();
  auto good2 = Frame(0x11).Bytes();
  auto broken = Frame().Bytes();
  broken.resize(15);  // cut short: the next frame begins inside it
  struct Case {
    const char* name;
    std::vector<std::uint8_t> stream;
    std::size_t frames;
    std::uint64_t junk;
  } cases[] = {
      {"one frame", good, 1, 0},
      {"junk before", Cat({{0x00, 0x13, 0xFD}, good}), 1, 3},
      {"FE not followed by D", Cat({{0xFE, 0x00}, good}), 1, 2},
      {"FE FE D...", Cat({{0xFE}, good}), 1, 1},
      {"cut frame then a good one", Cat({broken, good2}), 1, 15},
      {"two back to back", Cat({good, good2}), 2, 0},
      {"garbage only", {1, 2, 3, 0xFE, 0x44, 9}, 0, 3},
  };
  for (const auto& c : cases) {
    CommandFramer fr;
    auto frames = FeedAll(fr, c.stream);
    EXPECT_EQ(frames.size(), c.frames) << c.name;
    EXPECT_EQ(fr.JunkBytes(), c.junk) << c.name;
    for (auto& f : frames) {
      Command cmd;
      EXPECT_TRUE(ParseCommand(f, cmd)) << c.name;
    }
  }
}

TEST(CommandFramer, GainOf0xFEInsideAFrameDoesNotBreakIt) {
  CommandFramer fr;
  auto frames = FeedAll(fr, Frame().Set(10, 0xFE).Set(11, 0x44).Bytes());
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0][10], 0xFE);
}

TEST(ReplyForm, SevenBitNumbersLowFirst) {
  std::uint8_t b[2];
  Put14(b, 1200);
  EXPECT_EQ(b[0], 1200 & 0x7F);
  EXPECT_EQ(b[1], 1200 >> 7);
  EXPECT_EQ(Get14(b), 1200u);
  Put14(b, 16383);
  EXPECT_EQ(b[0], 0x7F);
  EXPECT_EQ(b[1], 0x7F);
}

TEST(ReplyForm, EchoPackingPerWidth) {
  // 4 bits: first sample in the low nibble.
  std::vector<std::uint8_t> out4(2);
  PackEchoData(std::vector<std::uint16_t>{0xA0 * 64, 0x30 * 64, 0x10 * 64, 0xF0 * 64}, 4, out4);
  EXPECT_EQ(out4[0], 0x3A);
  EXPECT_EQ(out4[1], 0xF1);
  std::vector<std::uint8_t> out8(3);
  PackEchoData(std::vector<std::uint16_t>{0, 100 * 64 + 63, 255 * 64}, 8, out8);
  EXPECT_EQ(out8, (std::vector<std::uint8_t>{0, 100, 255}));
  std::vector<std::uint8_t> out16(4);
  PackEchoData(std::vector<std::uint16_t>{0x1234, 16383}, 16, out16);
  EXPECT_EQ(out16, (std::vector<std::uint8_t>{0x34, 0x12, 0xFF, 0x3F}));
  // Past the samples: zeros.
  std::vector<std::uint8_t> pad(4, 0xAA);
  PackEchoData(std::vector<std::uint16_t>{}, 8, pad);
  EXPECT_EQ(pad, std::vector<std::uint8_t>(4, 0));
}

// Every reply kind at every width: the length, "I" kind "X" ... 0xFC, the ID, and
// the data byte count equal to what lies between header and terminator.
TEST(ReplyForm, LengthsAndEnvelopesOfEveryKindAndWidth) {
  auto scene = MakeScene("harbour");
  struct Case {
    int points, bits, points_only, scan;
    char kind;
    std::size_t length;
  } cases[] = {
      {50, 4, 0, 0, 'G', 265}, {50, 8, 0, 0, 'G', 513}, {50, 16, 0, 0, 'G', 513},
      {25, 4, 0, 0, 'M', 141}, {25, 8, 0, 0, 'M', 265}, {25, 16, 0, 0, 'M', 513},
      {50, 8, 1, 0, 'P', 13},  {25, 16, 1, 0, 'P', 13}, {50, 4, 1, 0, 'P', 13},
      {50, 8, 0, 1, 'T', 77},  {25, 4, 0, 1, 'T', 77},  {50, 16, 1, 1, 'T', 77},
  };
  for (const auto& c : cases) {
    SonarHead head(0x14, *scene, 7);
    Command cmd;
    ASSERT_TRUE(ParseCommand(Frame(0x14).Set(19, c.points).Set(20, c.bits).Set(22, c.points_only).Set(7, c.scan).Bytes(), cmd));
    auto r = head.Handle(cmd).reply;
    std::string name = std::string(1, c.kind) + " " + std::to_string(c.bits) + " bits";
    ASSERT_EQ(r.size(), c.length) << name;
    EXPECT_EQ(r.size(), ReplyLength(c.kind, c.bits)) << name;
    EXPECT_EQ(r[0], 0x49) << name;
    EXPECT_EQ(r[1], static_cast<std::uint8_t>(c.kind)) << name;
    EXPECT_EQ(r[2], 0x58) << name;
    EXPECT_EQ(r[3], 0x14) << name;
    EXPECT_EQ(r.back(), 0xFC) << name;
    EXPECT_EQ(simtest::Seven(r, 10), c.length - 13) << name;
    EXPECT_EQ(r[7], 10) << name;  // range echoed back
    for (std::size_t i = 3; i < 12; ++i)
      if (i != 4) {
        EXPECT_LT(r[i], 0x80) << name << " header byte " << i;
      }
  }
}

TEST(ReplyForm, AzimuthAndOrientationLayouts) {
  AzimuthReplyFields f;
  f.position = 1199;
  f.tilt = true;
  f.pitch_raw = 0x5A5;   // 11 bits
  f.roll_raw = 0x3C7;    // 11 bits
  f.heading_raw = 0xBCD; // 12 bits
  auto r = FormAzimuthReply(f);
  ASSERT_EQ(r.size(), 13u);
  EXPECT_EQ(r[1], 'A');
  EXPECT_EQ(r[3], 0x1F);
  EXPECT_EQ(simtest::Position(r), 1199);
  EXPECT_TRUE(r[7] & 0x40);
  unsigned pitch = (r[7] & 0x3F) | (((r[8] >> 2) & 0x1F) << 6);
  unsigned roll = (r[8] & 0x03) | ((r[9] & 0x7F) << 2) | (((r[10] >> 5) & 0x03) << 9);
  unsigned heading = (r[10] & 0x1F) | ((r[11] & 0x7F) << 5);
  EXPECT_EQ(pitch, 0x5A5u);
  EXPECT_EQ(roll, 0x3C7u);
  EXPECT_EQ(heading, 0xBCDu);
  EXPECT_EQ(r[12], 0xFC);
  f.tilt = false;
  EXPECT_EQ(FormAzimuthReply(f)[7], 0);

  auto o = FormOrientationReply(0x18, 0, 930, 880, 1240);
  ASSERT_EQ(o.size(), 29u);
  EXPECT_EQ(o[0], 'I');
  EXPECT_EQ(o[1], 'O');
  EXPECT_EQ(o[2], 'X');
  EXPECT_EQ(simtest::Seven(o, 18), 930u);
  EXPECT_EQ(simtest::Seven(o, 20), 880u);
  EXPECT_EQ(simtest::Seven(o, 22), 1240u);
  EXPECT_EQ(o[28], 0xFC);
}
