// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/readout_texts.h"

#include <gtest/gtest.h>

#include "clock.h"

// The values as the panels and the live view show them, at the edges of each.
TEST(ReadoutTextsTest, ValuesAtTheirLimits) {
  EXPECT_EQ(RangeText(-3, 0), "1 M");  // indices outside 0..14 take the nearest range
  EXPECT_EQ(RangeText(99, 1), "600 FT");
  EXPECT_EQ(ModeText(3), "Profile");
  EXPECT_EQ(ModeText(4), "");
  EXPECT_EQ(GainText(0), "0 dB");
  EXPECT_EQ(SpeedText(0, 1), "Slow");
  EXPECT_EQ(SpeedText(5, 0), "");
  EXPECT_EQ(FrequencyText(999), "999 kHz");
  EXPECT_EQ(FrequencyText(1000), "1.000 MHz");
}

// Side scan has no speed or sector, and its train is the side.
TEST(ReadoutTextsTest, SideScanShowsTheSide) {
  EXPECT_EQ(SectorText(90, 0), "90 Dg");
  EXPECT_EQ(SectorText(90, 2), "N / A");
  EXPECT_EQ(SpeedText(2, 2), "N / A");
  EXPECT_EQ(TrainText(45, 0, 2), "Port");
  EXPECT_EQ(TrainText(45, 1, 2), "Both");
  EXPECT_EQ(TrainText(45, 3, 2), "");
  EXPECT_EQ(TrainText(45, 1, 0), "45 Dg");
}

TEST(ReadoutTextsTest, DateAndTimeFromTheClock) {
  LocalTime t{};
  t.day = 31;
  t.month = 1;
  t.year = 2027;
  t.hour = 23;
  t.minute = 59;
  t.second = 7;
  EXPECT_EQ(DateTimeText(t), "31-JAN-2027  23:59:07");
  t.month = 13;
  EXPECT_EQ(DateTimeText(t), "31-\?\?\?-2027  23:59:07");
}
