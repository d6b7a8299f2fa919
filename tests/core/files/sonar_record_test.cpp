// SPDX-License-Identifier: GPL-3.0-or-later
// The record layout: sizes, zero fill, header packing, floats by kind, GPS block,
// back links, the date rebuild, and write-then-read round trips field by field.
#include <gtest/gtest.h>

#include <cstring>

#include "file_fixtures.h"
#include "files/sonar_file.h"
#include "files/sonar_record.h"

namespace {

TEST(RecordSize, ByTypeCode) {
  const int sizes[] = {128, 256, 384, 640, 896, 1152, 1664, 2176, 3200, 4224, 8192};
  for (int code = 0; code < 11; ++code) EXPECT_EQ(RecordSizeForType(code), sizes[code]) << code;
  EXPECT_EQ(RecordSizeForType(-1), -1);
  EXPECT_EQ(RecordSizeForType(11), -1);
  EXPECT_EQ(SmallestTypeCodeFor(13), 0);
  EXPECT_EQ(SmallestTypeCodeFor(141), 1);
  EXPECT_EQ(SmallestTypeCodeFor(265), 2);
  EXPECT_EQ(SmallestTypeCodeFor(513), 3);
}

TEST(RecordWriter, G513WithoutGpsIs640BytesWithBackLinkAtTheEnd) {
  AppState state;
  const auto reply = MakeReply('G', 513);
  SonarRecordFields f = RecordFieldsFor(state, PingOf(reply, 3), 0);
  ASSERT_EQ(f.record_size, 640);
  std::vector<uint8_t> rec(640, 0xAA);
  ASSERT_TRUE(EncodeSonarRecord(f, reply, rec));
  EXPECT_EQ(std::memcmp(rec.data(), "47V", 3), 0);
  EXPECT_EQ(rec[3], 3);
  EXPECT_EQ(rec[4] * 256 + rec[5], 640);
  EXPECT_EQ(rec[6] * 256 + rec[7], 513);
  EXPECT_EQ(std::memcmp(rec.data() + 100, reply.data(), 513), 0);
  // Zero fill between the floats and the back link.
  for (int i = 100 + 513 + 12; i < 638; ++i) EXPECT_EQ(rec[i], 0) << i;
  EXPECT_EQ(rec[638] * 256 + rec[639], 640);  // first record: its own size
  for (int i : {35, 36, 84, 85, 86, 87, 88, 89, 90, 93, 94, 95, 96, 97, 98, 99}) EXPECT_EQ(rec[i], 0) << i;
  EXPECT_EQ(rec[33], 0x80);
  EXPECT_EQ(rec[34], 0);
}

TEST(RecordWriter, WithGpsTheSameRecordIs768BytesWithTheBlockFrom640) {
  AppState state;
  const auto reply = MakeReply('G', 513);
  RecordedPing ping = PingOf(reply, 3);
  ping.gps = RecordGps{"49.16.450 N", "123.11.120 W", "12:34:56.78", 2, 9, 0.9f, 12.5f, -17.25f};
  SonarRecordFields f = RecordFieldsFor(state, ping, 640);
  ASSERT_EQ(f.record_size, 768);
  std::vector<uint8_t> rec(768);
  ASSERT_TRUE(EncodeSonarRecord(f, reply, rec));
  EXPECT_EQ(rec[34], 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&rec[640])), "49.16.450 N");
  EXPECT_EQ(rec[651], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&rec[652])), "123.11.120 W");
  EXPECT_EQ(rec[664], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&rec[688])), "12:34:56.78");
  EXPECT_EQ(rec[700], 2);
  EXPECT_EQ(rec[701], 9);
  float alt;
  std::memcpy(&alt, &rec[706], 4);
  EXPECT_EQ(alt, 12.5f);
  EXPECT_EQ(rec[766] * 256 + rec[767], 768 + 640);
}

TEST(RecordWriter, HeaderPackingOfSettings) {
  AppState state;
  state.Units = 1;
  state.Xdcr = 1;
  state.GridMode = 3;
  state.Speed = 4;
  state.Gain = 21;
  state.SectorSize = 120;
  state.Train = 270;
  state.RangeOffset = 5;
  state.Absorption = 33;
  state.DataBits = 16;
  state.LogF = 5;
  state.ProfileGrid = 1;
  state.ZeroDown = 0;
  state.PulseLength = 250;
  state.Profile = 4;
  state.SoundVelocityMeters = 1487.36f;
  state.UserText = "Harbour wall survey";
  state.Frequency = 1100;
  state.VerticalAngleOffset = -12.35f;
  const auto reply = MakeReply('G', 513, 600, 1, true);
  RecordedPing ping = PingOf(reply, 3);
  ping.azimuth_position = 1150;
  SonarRecordFields f = RecordFieldsFor(state, ping, 0);
  std::vector<uint8_t> rec(f.record_size);
  ASSERT_TRUE(EncodeSonarRecord(f, reply, rec));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&rec[8])), "07-DEC-2026");
  EXPECT_EQ(rec[19], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&rec[20])), "13:45:07");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&rec[29])), ".42");
  EXPECT_EQ(rec[32], 0);
  EXPECT_EQ(rec[33], 0x81);
  EXPECT_EQ(rec[37], 0x80 | 0x40 | (3 << 3) | 4);
  EXPECT_EQ(rec[38], 21);
  EXPECT_EQ(rec[39], 40);
  EXPECT_EQ(rec[40], 90);
  EXPECT_EQ(rec[41], 5);
  EXPECT_EQ(rec[42], 33);
  EXPECT_EQ(rec[43], 0x80 | 0x40 | (2 << 3) | 5);
  EXPECT_EQ(rec[44], 25);
  EXPECT_EQ(rec[45], 4);
  // 1487.36 x 10 = 14873 = 0x3A19
  EXPECT_EQ(rec[46], 0x80 | 0x3A);
  EXPECT_EQ(rec[47], 0x19);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&rec[48])), "Harbour wall survey");
  EXPECT_EQ(rec[80] * 256 + rec[81], 1100);
  EXPECT_EQ(rec[82], 0x80 | (1150 >> 8));
  EXPECT_EQ(rec[83], 1150 & 0xFF);
  // (-12.35 + 180) x 10 = 1676.5 -> 1676
  EXPECT_EQ(rec[91] * 256 + rec[92], 1676);
  // ProfileGrid with ZeroDown on: bit 6 clear.
  state.ZeroDown = 1;
  f = RecordFieldsFor(state, ping, 0);
  ASSERT_TRUE(EncodeSonarRecord(f, reply, rec));
  EXPECT_EQ(rec[43], 0x80 | (2 << 3) | 5);
  // Vertical angle offset below -180 stores 0.
  state.VerticalAngleOffset = -200.0f;
  EXPECT_EQ(RecordFieldsFor(state, ping, 0).vertical_angle_code, 0);
}

TEST(RecordWriter, FloatsByReplyKind) {
  AppState state;
  state.OrientationPitchOffset = 1.5f;
  state.OrientationRollOffset = -2.5f;
  state.OrientationHeadingOffset = 3.25f;
  state.AzimuthPitchOffset = 4.5f;
  state.AzimuthRollOffset = 5.5f;
  state.AzimuthHeadingOffset = 6.5f;
  state.ProfileXOffset = 7.5f;
  state.ProfileChainage = 8.5f;
  state.ProfileElevation = 9.5f;
  struct Case {
    char kind;
    int length;
    std::array<float, 3> floats;
  } cases[] = {{'O', 29, {1.5f, -2.5f, 3.25f}}, {'A', 13, {4.5f, 5.5f, 6.5f}}, {'G', 265, {7.5f, 8.5f, 9.5f}},
               {'M', 141, {7.5f, 8.5f, 9.5f}}, {'P', 13, {7.5f, 8.5f, 9.5f}},     {'T', 77, {0, 0, 0}}};
  for (const Case& c : cases) {
    const auto reply = MakeReply(c.kind, c.length);
    SonarRecordFields f = RecordFieldsFor(state, PingOf(reply, -1), 0);
    std::vector<uint8_t> rec(f.record_size);
    ASSERT_TRUE(EncodeSonarRecord(f, reply, rec)) << c.kind;
    for (int i = 0; i < 3; ++i) {
      float v;
      std::memcpy(&v, &rec[100 + c.length + 4 * i], 4);
      EXPECT_EQ(v, c.floats[i]) << c.kind << i;
    }
  }
}

TEST(RecordWriter, TypeCodeTooSmallForTheReplyTakesOneThatHoldsIt) {
  AppState state;
  const auto reply = MakeReply('G', 513);
  SonarRecordFields f = RecordFieldsFor(state, PingOf(reply, 0), 0);
  EXPECT_EQ(f.type_code, 3);
  EXPECT_EQ(f.record_size, 640);
  // A simulated "A" reply carries code 0 and fits in 128 bytes.
  const auto a = MakeReply('A', 13);
  EXPECT_EQ(RecordFieldsFor(state, PingOf(a, 0), 0).record_size, 128);
  EXPECT_EQ(RecordFieldsFor(state, PingOf(a, 1), 0).record_size, 256);
}

TEST(RecordReader, DateFieldTakenAsWrittenOrWithTheYearRebuilt) {
  AppState state;
  const auto reply = MakeReply('P', 13);
  SonarRecordFields f = RecordFieldsFor(state, PingOf(reply, 0), 0);
  std::vector<uint8_t> rec(f.record_size);
  ASSERT_TRUE(EncodeSonarRecord(f, reply, rec));
  SonarRecordFields back;
  ASSERT_TRUE(ParseRecordHeader(std::span(rec).first(100), back));
  EXPECT_EQ(back.date_text, "07-DEC-2026");
  std::memcpy(&rec[8], "07-DEC-19100", 12);
  ASSERT_TRUE(ParseRecordHeader(std::span(rec).first(100), back));
  EXPECT_EQ(back.date_text, "07-DEC-2000");
  // An empty hundredths field reads as 0.
  std::memset(&rec[29], 0, 4);
  ASSERT_TRUE(ParseRecordHeader(std::span(rec).first(100), back));
  EXPECT_EQ(back.hundredths, 0);
}

TEST(RecordReader, HeaderChecks) {
  std::vector<uint8_t> h(100, 0);
  RecordFrame frame;
  EXPECT_EQ(CheckRecordHeader(h, frame), HeaderCheck::kNoMagic);
  std::memcpy(h.data(), "47V", 3);
  struct Case {
    int size, length;
    HeaderCheck expect;
  } cases[] = {{640, 513, HeaderCheck::kOk},        {0, 513, HeaderCheck::kBadSize},
               {626, 513, HeaderCheck::kBadSize},    {627, 513, HeaderCheck::kOk},
               {9000, 13, HeaderCheck::kBadSize},    {640, 0, HeaderCheck::kBadReplyLength},
               {640, 3, HeaderCheck::kBadReplyLength}, {65535, 65535, HeaderCheck::kBadReplyLength},
               {640, 600, HeaderCheck::kBadSize}};
  for (const Case& c : cases) {
    h[4] = static_cast<uint8_t>(c.size >> 8);
    h[5] = static_cast<uint8_t>(c.size);
    h[6] = static_cast<uint8_t>(c.length >> 8);
    h[7] = static_cast<uint8_t>(c.length);
    EXPECT_EQ(CheckRecordHeader(h, frame), c.expect) << c.size << " " << c.length;
  }
}

// Every reply kind and data width, with and without GPS: written by the recorder,
// read by the file reader, compared field by field.
TEST(RecordRoundTrip, EveryKindAndWidthWithAndWithoutGps) {
  struct Case {
    char kind;
    int data_bits;
    int length;
    int type_code;
  } cases[] = {{'G', 4, 265, 2}, {'G', 8, 513, 3}, {'G', 16, 513, 3}, {'M', 4, 141, 1}, {'M', 8, 265, 2},
               {'M', 16, 513, 3}, {'P', 8, 13, 0},  {'A', 8, 13, 1},   {'A', 8, 13, 0},  {'O', 8, 29, 1}};
  for (bool with_gps : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(1, c.kind) + " bits " + std::to_string(c.data_bits) + (with_gps ? " gps" : ""));
      AppState state;
      state.DataBits = c.data_bits;
      state.Gain = 17;
      state.Train = 33;
      state.SectorSize = 90;
      state.GridMode = c.kind == 'M' ? 1 : 0;
      state.ProfileXOffset = 1.25f;
      state.OrientationRollOffset = -3.0f;
      state.AzimuthHeadingOffset = 45.0f;
      state.UserText = "x";
      const auto reply = MakeReply(c.kind, c.length, 321, c.length, true);
      RecordedPing ping = PingOf(reply, c.type_code, 59);
      if (with_gps) ping.gps = RecordGps{"49.16.450 N", "123.11.120 W", "01:02:03.04", 1, 7, 1.5f, 3.0f, 4.0f};
      const SonarRecordFields written = RecordFieldsFor(state, ping, 256);
      std::vector<uint8_t> rec(written.record_size);
      ASSERT_TRUE(EncodeSonarRecord(written, reply, rec));
      EXPECT_EQ(written.record_size, RecordSizeForType(c.type_code) + (with_gps ? 128 : 0));
      WriteWholeFile("one.47v", rec);

      SonarFileReader reader;
      std::string error;
      ASSERT_TRUE(reader.Open("one.47v", error));
      ASSERT_EQ(reader.ReadRecordAt(0), RecordRead::kOk);
      const SonarRecordFields& r = reader.fields();
      EXPECT_EQ(r.type_code, written.type_code);
      EXPECT_EQ(r.record_size, written.record_size);
      EXPECT_EQ(r.reply_length, c.length);
      EXPECT_EQ(r.date_text, written.date_text);
      EXPECT_EQ(r.time_text, "13:45:59");
      EXPECT_EQ(r.seconds, 59);
      EXPECT_EQ(r.hundredths, 42);
      EXPECT_EQ(r.units_feet, written.units_feet);
      EXPECT_EQ(r.gps_present, with_gps);
      EXPECT_TRUE(r.step_direction);
      EXPECT_EQ(r.xdcr, written.xdcr);
      EXPECT_EQ(r.grid_mode, written.grid_mode);
      EXPECT_EQ(r.speed, written.speed);
      EXPECT_EQ(r.gain, 17);
      EXPECT_EQ(r.sector_code, 30);
      EXPECT_EQ(r.train_code, 11);
      EXPECT_EQ(r.range_offset, written.range_offset);
      EXPECT_EQ(r.absorption, written.absorption);
      EXPECT_EQ(r.data_bits_code, c.data_bits == 4 ? 0 : c.data_bits == 8 ? 1 : 2);
      EXPECT_EQ(r.log_f, written.log_f);
      EXPECT_EQ(r.profile_grid, written.profile_grid);
      EXPECT_EQ(r.pulse_code, written.pulse_code);
      EXPECT_EQ(r.profile_mode, written.profile_mode);
      EXPECT_EQ(r.sound_velocity_tenths, std::optional<int>(15000));
      EXPECT_EQ(r.user_text, "x");
      EXPECT_EQ(r.frequency, written.frequency);
      EXPECT_EQ(r.azimuth_position, std::nullopt);
      EXPECT_EQ(r.vertical_angle_code, 1800);
      EXPECT_EQ(r.floats, written.floats);
      EXPECT_EQ(r.gps, written.gps);
      EXPECT_EQ(r.back_link, written.record_size + 256);
      EXPECT_EQ(std::vector<uint8_t>(reader.reply().begin(), reader.reply().end()), reply);
    }
  }
}

}  // namespace
