// SPDX-License-Identifier: GPL-3.0-or-later
// Head scan stepping and the decoded "T" fields; azimuth angle codes and the
// simulated drive's reply; the orientation reset.
#include <gtest/gtest.h>

#include <array>

#include "display.h"
#include "link/azimuth_drive.h"
#include "link/head_scan.h"
#include "link/orientation_module.h"
#include "app_state.h"

namespace {

std::array<std::uint8_t, 64> NvRam() {
  std::array<std::uint8_t, 64> d{};
  d[0] = 2;    // revision 2.07
  d[1] = 7;
  d[2] = 24;   // year
  d[3] = 11;   // NOV
  d[4] = 3;    // day
  d[5] = 0;    // scanning sonar
  d[6] = 1234 & 0x7F;
  d[7] = 1234 >> 7;
  d[8] = 1;    // pencil beam
  d[9] = 2;    // 15 : 1
  d[10] = 1;   // 3000 m
  d[12] = 0;
  d[13] = 0x4E;  // 12,345,678 as 7-bit groups: 0x4E, 0x3A, 0x70, 0x05
  d[14] = 0x3A;
  d[15] = 0x70;
  d[16] = 0x05;
  for (int i = 17; i < 64; ++i) d[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  return d;
}

TEST(HeadInfo, DecodedTexts) {
  auto d = NvRam();
  HeadInfoTexts t = DecodeHeadInfo(d);
  EXPECT_TRUE(t.hasFields);
  EXPECT_EQ(t.EpromRevision, "2.07 - 03NOV24");
  EXPECT_EQ(t.SerialNumber, "1234");
  EXPECT_EQ(t.SensorType, "Scanning Sonar");
  EXPECT_EQ(t.XdcrType, "Profiling - (Pencil Beam)");
  EXPECT_EQ(t.DepthRating, "3000 Meters");
  EXPECT_EQ(t.GearRatio, "15 : 1");
  EXPECT_EQ(t.SampleRate, "2.666us , 13.333us");
  EXPECT_EQ(t.ShotCount, "1,000,000,000");  // 1,234,567,800 is above the limit
  EXPECT_EQ(t.NvRam[0].label, "nv_ram [ 0 ]");
  EXPECT_EQ(t.NvRam[15].label, "nv_ram [ 15 ]");
  EXPECT_EQ(t.NvRam[1].values[0], "0x07");
  EXPECT_EQ(t.NvRam[1].values[1], "0x11");
  EXPECT_EQ(t.NvRam[15].values[3], "0x3F");

  for (int month : {0, 13}) {
    d[3] = static_cast<std::uint8_t>(month);
    EXPECT_EQ(DecodeHeadInfo(d).EpromRevision, "2.07 - 03JAN24") << month;
  }
  d[13] = 10;  // 10 x 100
  d[14] = d[15] = d[16] = 0;
  EXPECT_EQ(DecodeHeadInfo(d).ShotCount, "1,000");
  d[5] = 1;  // azimuth drive
  t = DecodeHeadInfo(d);
  EXPECT_EQ(t.SensorType, "Azimuth Drive");
  EXPECT_EQ(t.XdcrType, "n/a");
  EXPECT_EQ(t.SampleRate, "n/a");
  EXPECT_EQ(t.ShotCount, "n/a");
  d[5] = 2;  // echo sounder: no gear
  EXPECT_EQ(DecodeHeadInfo(d).GearRatio, "n/a");
  d[5] = 7;
  d[8] = 3;
  d[10] = 2;
  t = DecodeHeadInfo(d);
  EXPECT_EQ(t.SensorType, "n/a");
  EXPECT_EQ(t.XdcrType, "n/a");
  EXPECT_EQ(t.DepthRating, "n/a");
  d[0] = 0;
  EXPECT_FALSE(DecodeHeadInfo(d).hasFields);
}

TEST(HeadInfo, ThousandsCommas) {
  EXPECT_EQ(WithThousandsCommas(0), "0");
  EXPECT_EQ(WithThousandsCommas(999), "999");
  EXPECT_EQ(WithThousandsCommas(1000), "1,000");
  EXPECT_EQ(WithThousandsCommas(123456789), "123,456,789");
}

TEST(HeadScan, StepsOncePerSecondOnReplyOrSilence) {
  AppState state;
  StartHeadScan(state, 10);
  EXPECT_TRUE(state.HeadScanActive.load());
  EXPECT_EQ(state.ScanCommandsUnanswered.load(), -1);
  EXPECT_FALSE(HeadScanStep(state, 10));  // same second
  state.ScanCommandsUnanswered = 0;  // the first scan command went out
  EXPECT_FALSE(HeadScanStep(state, 11));  // waits for it
  state.ScanCommandsUnanswered = 1;
  EXPECT_TRUE(HeadScanStep(state, 12));
  EXPECT_EQ(state.ScanId.load(), 17);
  state.ScanReplySeen = true;
  EXPECT_TRUE(HeadScanStep(state, 13));
  EXPECT_EQ(state.ScanId.load(), 18);
  EXPECT_FALSE(state.ScanReplySeen.load());
  state.ScanId = 31;
  state.ScanCommandsUnanswered = 2;
  EXPECT_TRUE(HeadScanStep(state, 14));
  EXPECT_EQ(state.ScanId.load(), 16);
  StopHeadScan(state);
  EXPECT_FALSE(state.HeadScanActive.load());
  EXPECT_FALSE(HeadScanStep(state, 15));
}

TEST(AzimuthDrive, TypedAnglesBecomeCodes) {
  const struct {
    double degrees;
    int code;
  } cases[] = {{0, 600}, {90, 900}, {270, 300}, {359.7, 599}, {180, 0}, {179.9, 1200 - 1}, {0.1, 600}};
  for (const auto& c : cases) {
    const auto code = AzimuthCodeFromDegrees(c.degrees);
    ASSERT_TRUE(code.has_value()) << c.degrees;
    EXPECT_EQ(*code, c.code) << c.degrees;
  }
  EXPECT_FALSE(AzimuthCodeFromDegrees(359.8));
  EXPECT_FALSE(AzimuthCodeFromDegrees(-0.1));
  EXPECT_DOUBLE_EQ(AzimuthDegreesShown(600), 0.0);
  EXPECT_NEAR(AzimuthDegreesShown(900), 90.0, 1e-9);
  EXPECT_NEAR(AzimuthDegreesShown(300), 270.0, 1e-9);
  EXPECT_NEAR(AzimuthDegreesShown(0), 180.0, 1e-9);  // -180 shown as 180
}

TEST(AzimuthDrive, SimulatedReplyAndMenuSwitches) {
  const auto r = SimulatedAzimuthReply(900);
  EXPECT_EQ(r, (std::array<std::uint8_t, 13>{0x49, 0x41, 0x58, 0x1F, 0x40, 900 & 0x7F, 900 >> 7, 0, 0, 0, 0, 0, 0xFC}));
  AppState state;
  NullDisplay display;
  SetSimulateAzimuthDrive(state, true);  // only with the drive enabled
  EXPECT_EQ(state.SimulateAzimuthDrive.load(), 0);
  EnableAzimuthDrive(state, true);
  EXPECT_TRUE(state.AzimuthMoveRequest.load());
  SetSimulateAzimuthDrive(state, true);
  EXPECT_EQ(state.SimulateAzimuthDrive.load(), 1);
  state.AzimuthPositioning = true;
  DisableAzimuthDrive(state, display);
  EXPECT_FALSE(state.AzimuthPositioning.load());
  EXPECT_FALSE(state.AzimuthMoveRequest.load());
  EXPECT_EQ(state.AzimuthDriveEnable.load(), 0);
}

TEST(OrientationModule, ResetAndNotAvailable) {
  AppState state;
  NullDisplay display;
  state.OrientationPitch = 3.0f;
  state.OrientationUnanswered = 0;
  EXPECT_FALSE(OrientationNotAvailable(state));
  SetOrientationModuleEnabled(state, display, true);
  EXPECT_EQ(state.OrientationPitch.load(), 0.0f);
  EXPECT_EQ(state.OrientationUnanswered.load(), 5);
  EXPECT_TRUE(OrientationNotAvailable(state));
  EXPECT_EQ(state.EnableOrientationModule.load(), 1);
}

}  // namespace
