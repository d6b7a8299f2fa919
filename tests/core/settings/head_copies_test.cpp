// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/head_copies.h"

#include <gtest/gtest.h>

// A played file overwrites the working settings; the head's own values come back
// when the program returns to the head.
TEST(HeadCopiesTest, PlaybackValuesDoNotReachTheHeadSettings) {
  SettingsState s;
  s.Range = 7;
  s.Gain = 12;
  s.SectorSize = 90;
  s.SoundVelocityMeters = 1480.0f;
  s.OrientationHeadingOffset = 2.5f;
  s.UserText = "harbour survey";
  SwapHeadCopies(s, true);

  // What a played file sets.
  s.Range = 3;
  s.Gain = 30;
  s.SectorSize = 360;
  s.SoundVelocityMeters = 1530.0f;
  s.OrientationHeadingOffset = -1.0f;
  s.UserText = "from the file";
  SwapHeadCopies(s, false);

  EXPECT_EQ(s.Range, 7);
  EXPECT_EQ(s.Gain, 12);
  EXPECT_EQ(s.SectorSize, 90);
  EXPECT_FLOAT_EQ(s.SoundVelocityMeters, 1480.0f);
  EXPECT_FLOAT_EQ(s.OrientationHeadingOffset, 2.5f);
  EXPECT_EQ(s.UserText.get(), "harbour survey");
}

TEST(HeadCopiesTest, EveryHeadCopyIsWrittenAndRead) {
  SettingsState s;
  s.Xdcr = 1; s.Range = 2; s.GridMode = 0; s.Gain = 3; s.Speed = 4; s.PulseLength = 55;
  s.Train = 120; s.RangeOffset = 6; s.LogF = 0; s.Absorption = 33; s.DataBits = 4; s.SectorSize = 45;
  s.ProfileChainage = 1.5f; s.ProfileElevation = 2.5f; s.ProfileXOffset = 3.5f; s.ProfileDredgeDepth = 4.5f;
  s.AzimuthPitchOffset = 5.5f; s.AzimuthRollOffset = 6.5f; s.AzimuthHeadingOffset = 7.5f;
  s.VerticalAngleOffset = 8.5f; s.OrientationPitchOffset = 9.5f; s.OrientationRollOffset = 10.5f;
  SwapHeadCopies(s, true);
  EXPECT_EQ(s.XdcrHead, 1); EXPECT_EQ(s.RangeHead, 2); EXPECT_EQ(s.GridModeHead, 0);
  EXPECT_EQ(s.GainHead, 3); EXPECT_EQ(s.SpeedHead, 4); EXPECT_EQ(s.PulseLengthHead, 55);
  EXPECT_EQ(s.TrainHead, 120); EXPECT_EQ(s.RangeOffsetHead, 6); EXPECT_EQ(s.LogFHead, 0);
  EXPECT_EQ(s.AbsorptionHead, 33); EXPECT_EQ(s.DataBitsHead, 4); EXPECT_EQ(s.SectorSizeHead, 45);
  EXPECT_FLOAT_EQ(s.ProfileChainageHead, 1.5f); EXPECT_FLOAT_EQ(s.ProfileElevationHead, 2.5f);
  EXPECT_FLOAT_EQ(s.ProfileXOffsetHead, 3.5f); EXPECT_FLOAT_EQ(s.ProfileDredgeDepthHead, 4.5f);
  EXPECT_FLOAT_EQ(s.AzimuthPitchOffsetHead, 5.5f); EXPECT_FLOAT_EQ(s.AzimuthRollOffsetHead, 6.5f);
  EXPECT_FLOAT_EQ(s.AzimuthHeadingOffsetHead, 7.5f); EXPECT_FLOAT_EQ(s.VerticalAngleOffsetHead, 8.5f);
  EXPECT_FLOAT_EQ(s.OrientationPitchOffsetHead, 9.5f); EXPECT_FLOAT_EQ(s.OrientationRollOffsetHead, 10.5f);

  SettingsState back;
  back.XdcrHead = 0; back.RangeHead = 14; back.SectorSizeHead = 180; back.VerticalAngleOffsetHead = -3.0f;
  SwapHeadCopies(back, false);
  EXPECT_EQ(back.Xdcr, 0);
  EXPECT_EQ(back.Range, 14);
  EXPECT_EQ(back.SectorSize, 180);
  EXPECT_FLOAT_EQ(back.VerticalAngleOffset, -3.0f);
}
