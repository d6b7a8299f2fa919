// SPDX-License-Identifier: GPL-3.0-or-later
// Keyboard entry of range and gain, held panel buttons, the SS and FILE mode
// rules, Hold, and the panel texts.
#include "app_fixture.h"
#include "window/control_panels.h"
#include "window/entry_box.h"
#include "window/layout.h"
#include "settings/user_config.h"

namespace {

TEST_F(AppTest, RangeEntryKeepsThreeDigits) {
  WriteIni("Range=9\nUnits=0\n");
  Open();
  Type("R1000\r");
  EXPECT_EQ(state.Range, 12);  // 100 m
  EXPECT_EQ(window->PanelText(0), "100 M");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(window->Entry().Mode(), 0);
}

TEST_F(AppTest, RangeEntryOutsideTheListWarns) {
  WriteIni("Range=9\nUnits=0\n");
  Open();
  Type("R7\r");
  EXPECT_EQ(state.Range, 9);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].warning);
  EXPECT_EQ(boxes[0].title, "Keyboard Range");
  EXPECT_EQ(boxes[0].text,
            "Please use one of the following ranges:\n 1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 60, 80, 100, 150, or "
            "200 Meters    ");
}

TEST_F(AppTest, RangeEntryInFeet) {
  WriteIni("Range=9\nUnits=1\n");
  Open();
  Type("r600\r");
  EXPECT_EQ(state.Range, 14);
  Type("r100\r");
  EXPECT_EQ(state.Range, 14);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "Please use one of the following ranges:\n 3, 6, 9, 12, 15, 30, 60, 90, 120, 150, 180, 240, 300, 450, or "
            "600 Feet    ");
}

TEST_F(AppTest, EmptyEntryAndEscapeChangeNothing) {
  WriteIni("Range=9\nGain=6\n");
  Open();
  Type("R\r");
  EXPECT_EQ(state.Range, 9);
  Type("G3");
  EXPECT_EQ(window->EntryBoxText(), "Gain: 3 dB");
  QTest::keyClick(window->Client(), Qt::Key_Escape);
  EXPECT_EQ(state.Gain, 6);
  EXPECT_EQ(window->Entry().Mode(), 0);
  Type("R");
  EXPECT_EQ(window->EntryBoxText(), "Range: ? M");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(AppTest, GainEntries) {
  WriteIni("Gain=6\n");
  Open();
  Type("G45\r");
  EXPECT_EQ(state.Gain, 6);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Keyboard Gain");
  EXPECT_EQ(boxes[0].text, "Entered Gain is out of range!\nUse 0 to 40 dB");
  Type("G40\r");
  EXPECT_EQ(state.Gain, 40);
  Type("G1.9\r");
  EXPECT_EQ(state.Gain, 1);  // truncated
  EXPECT_EQ(window->PanelText(2), "1 dB");
}

TEST_F(AppTest, ReopeningAnEntryDiscardsTheFirst) {
  WriteIni("Gain=6\nRange=9\n");
  Open();
  Type("R2G1");
  EXPECT_EQ(window->EntryBoxText(), "Gain: 1 dB");
  Type("0\r");
  EXPECT_EQ(state.Gain, 10);
  EXPECT_EQ(state.Range, 9);
}

TEST_F(AppTest, HeldRangeUpFromThirteenStopsAtFourteen) {
  WriteIni("Range=13\n");
  Open();
  const QPoint c = ButtonCentre(kRangeUp);
  PressAt(c.x(), c.y());
  EXPECT_EQ(state.Range, 14);
  EXPECT_FALSE(window->RepeatActive());  // limit reached: no repetition
  EXPECT_EQ(window->Panels().ButtonPressed(kRangeUp), 1);
  ReleaseAt(c.x(), c.y());
  EXPECT_EQ(state.Range, 14);
}

TEST_F(AppTest, HeldGainUpFromZeroStopsAtForty) {
  WriteIni("Gain=0\n");
  Open();
  const QPoint c = ButtonCentre(kGainUp);
  PressAt(c.x(), c.y());
  EXPECT_EQ(state.Gain, 1);
  EXPECT_TRUE(window->RepeatActive());
  EXPECT_EQ(window->RepeatIntervalMs(), 500);  // first repeat after 500 ms
  EXPECT_EQ(window->Panels().ButtonPressed(kGainUp), 0);
  window->RepeatTick();
  EXPECT_EQ(window->RepeatIntervalMs(), 50);  // then every 50 ms
  const int ticks = DriveRepeat(100);
  EXPECT_EQ(state.Gain, 40);
  EXPECT_EQ(ticks, 38);
  EXPECT_FALSE(window->RepeatActive());
  EXPECT_EQ(window->Panels().ButtonPressed(kGainUp), 1);
  EXPECT_EQ(window->Panels().RepeatDelay(), 500);
}

TEST_F(AppTest, ReleaseOrLeavingTheButtonEndsRepetition) {
  WriteIni("Gain=10\n");
  Open();
  const QPoint c = ButtonCentre(kGainDown);
  PressAt(c.x(), c.y());
  window->RepeatTick();
  EXPECT_EQ(state.Gain, 8);
  QTest::mouseMove(window->Client(), QPoint(c.x() + 40, c.y()));
  window->HandleMouseMove(c.x() + 40, c.y());
  EXPECT_FALSE(window->RepeatActive());
  window->RepeatTick();
  EXPECT_EQ(state.Gain, 8);
}

TEST_F(AppTest, SectorAndSpeedArrowsInertInSideScan) {
  WriteIni("GridMode=2\nSpeed=2\nSSTrain=0\n");
  Open();
  for (int b : {kSectorUp, kSectorDown, kSpeedUp, kSpeedDown}) {
    const QPoint c = ButtonCentre(b);
    ClickAt(c.x(), c.y());
  }
  EXPECT_EQ(state.Speed, 2);
  EXPECT_EQ(state.SectorSize, 0);
  EXPECT_EQ(window->PanelText(3), "N / A");
  EXPECT_EQ(window->PanelText(4), "N / A");
  EXPECT_EQ(window->PanelText(5), "Port");
  const QPoint t = ButtonCentre(kTrainUp);
  ClickAt(t.x(), t.y());
  EXPECT_EQ(state.SSTrain, 2);
  EXPECT_EQ(state.Train, 90);
  EXPECT_EQ(window->PanelText(5), "Stbd");
}

TEST_F(AppTest, FileModeInertControls) {
  WriteIni("RunMode=1\nRange=5\nGain=6\nPlotSpeed=80\n");
  Open();
  Type("R1\rG3\r");
  EXPECT_EQ(state.Range, 5);
  EXPECT_EQ(state.Gain, 6);
  EXPECT_EQ(window->Entry().Mode(), 0);
  for (int b = kRangeUp; b <= kModeDown; ++b) {
    const QPoint c = ButtonCentre(b);
    ClickAt(c.x(), c.y());
  }
  EXPECT_EQ(state.Range, 5);
  EXPECT_EQ(state.Gain, 6);
  EXPECT_FALSE(state.ReverseRequest);
  ClickAt(740, 28);  // the Rev box is not there in FILE mode
  EXPECT_FALSE(state.ReverseRequest);
  // The playback speed arrows work.
  const QPoint r = ButtonCentre(kPlayRight);
  PressAt(r.x(), r.y());
  EXPECT_EQ(state.PlotSpeed, 90);
  DriveRepeat(10);
  EXPECT_EQ(state.PlotSpeed, 100);
  EXPECT_FALSE(window->RepeatActive());
  ReleaseAt(r.x(), r.y());
  // H works.
  Key('h');
  EXPECT_TRUE(state.HoldActive);
}

TEST_F(AppTest, HoldMakesButtonsInert) {
  WriteIni("Range=5\n");
  Open();
  Key('H');
  const QPoint c = ButtonCentre(kRangeUp);
  ClickAt(c.x(), c.y());
  EXPECT_EQ(state.Range, 5);
  const Layout& L = window->GetLayout();
  ClickAt(L.FileButtonRect.left + 2, L.FileButtonRect.top + 2);
  EXPECT_EQ(state.RunMode, 0);
  Key('H');
  ClickAt(c.x(), c.y());
  EXPECT_EQ(state.Range, 6);
}

TEST_F(AppTest, RevAndSpaceInHeadMode) {
  Open();
  Key(' ');
  EXPECT_TRUE(state.ReverseRequest);
  EXPECT_TRUE(state.SendRequest);
}

TEST_F(AppTest, SectorAndTrainWrap) {
  WriteIni("GridMode=0\nSectorSectorSize=180\nTrain=0\n");
  Open();
  ASSERT_EQ(state.SectorSize, 180);
  QPoint c = ButtonCentre(kSectorUp);
  ClickAt(c.x(), c.y());
  EXPECT_EQ(state.SectorSize, 0);
  c = ButtonCentre(kTrainDown);
  ClickAt(c.x(), c.y());
  EXPECT_EQ(state.Train, 357);
  c = ButtonCentre(kTrainUp);
  ClickAt(c.x(), c.y());
  EXPECT_EQ(state.Train, 0);
}

TEST_F(AppTest, PolarSectorDownFromZeroGivesFullCircle) {
  WriteIni("GridMode=1\nPolarSectorSize=3\n");
  Open();
  const QPoint c = ButtonCentre(kSectorDown);
  ClickAt(c.x(), c.y());
  EXPECT_EQ(state.SectorSize, 0);
  ClickAt(c.x(), c.y());
  EXPECT_EQ(state.SectorSize, 360);
  EXPECT_EQ(window->PanelText(4), "360 Dg");
}

TEST_F(AppTest, ModeButtonsStepOncePerPress) {
  WriteIni("GridMode=0\n");
  Open();
  const QPoint c = ButtonCentre(kModeUp);
  PressAt(c.x(), c.y());
  EXPECT_EQ(state.GridMode, 1);
  window->RepeatTick();
  EXPECT_EQ(state.GridMode, 1);
  ReleaseAt(c.x(), c.y());
  ClickAt(c.x(), c.y());
  EXPECT_EQ(state.GridMode, 2);
  EXPECT_EQ(window->PanelText(1), "SS");
  ClickAt(c.x(), c.y());
  EXPECT_EQ(state.GridMode, 2);
  EXPECT_FALSE(window->Menu().IsEnabled(1000));
}

// Pure layout and text rules.
TEST(LayoutTest, EightPixelFont) {
  const Layout l = ComputeLayout(8, 16, 16, 16);
  EXPECT_EQ(l.BoxW, 52);
  EXPECT_EQ(l.RightCol, 683 + 16);
  EXPECT_EQ(l.Row2, 83 + 32 + 16 + 3);
  EXPECT_EQ(l.ButtonRects[kPlayRight].left, 336);
  EXPECT_EQ(l.ButtonRects[kPlayLeft].left, 251);
}

TEST(LayoutTest, PanelTexts) {
  EXPECT_EQ(FrequencyText(1100), "1.100 MHz");
  EXPECT_EQ(FrequencyText(675), "675 kHz");
  EXPECT_EQ(PlotSpeedBarLength(100), 68);
  EXPECT_EQ(PlotSpeedBarLength(0), 0);
  EXPECT_EQ(RangeText(14, 1), "600 FT");
  EXPECT_EQ(RangeText(0, 0), "1 M");
  EXPECT_EQ(SpeedText(4, 0), "Fastest");
  EXPECT_EQ(SpeedText(4, 2), "N / A");
  EXPECT_EQ(TrainText(0, 2, 2), "Stbd");
  EXPECT_EQ(TrainText(357, 0, 1), "357 Dg");
  EXPECT_EQ(DateTimeText(8, 12, 2026, 1, 2, 3), "08-DEC-2026  01:02:03");
}

TEST_F(AppTest, FrequencyReadoutWithAuto) {
  WriteIni("ConfigType=1\n");
  Open();
  state.Frequency = 1100;
  EXPECT_EQ(window->FrequencyReadout(), "1.100 MHz (Auto)");
  state.ConfigType = 0;
  state.Frequency = 675;
  EXPECT_EQ(window->FrequencyReadout(), "675 kHz");
}

}  // namespace

namespace {

TEST_F(AppTest, RangeStepAppliesTheRangeConfiguration) {
  WriteIni("ConfigType=1\nRange=9\nGridMode=0\n");
  Open();
  const int before = state.Frequency;
  // Walk the whole range list: the default table gives each range its frequency.
  const QPoint c = ButtonCentre(kRangeDown);
  for (int i = 0; i < 9; ++i) ClickAt(c.x(), c.y());
  EXPECT_EQ(state.Range, 0);
  AppState reference;
  BuildDefaultConfig(reference);
  reference.Range = 0;
  reference.GridMode = 0;
  ApplyRangeConfig(reference);
  EXPECT_EQ(state.Frequency, reference.Frequency.load());
  (void)before;
}

TEST_F(AppTest, SpeedSetsTheScanSectorExtension) {
  WriteIni("Speed=2\nGridMode=0\n");
  Open();
  EXPECT_EQ(state.ScanSectorExtension, 3);
  const QPoint c = ButtonCentre(kSpeedUp);
  ClickAt(c.x(), c.y());
  EXPECT_EQ(state.ScanSectorExtension, 6);
  ClickAt(c.x(), c.y());
  EXPECT_EQ(state.ScanSectorExtension, 9);
  EXPECT_EQ(window->PanelText(3), "Fastest");
}

}  // namespace
