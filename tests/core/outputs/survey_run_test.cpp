// SPDX-License-Identifier: GPL-3.0-or-later
// The end of a sweep, the after-scan actions in their order, the scan dialogs'
// effects and an auto-azimuth run, headless.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "clock.h"
#include "link/comm_thread.h"
#include "outputs/auto_azimuth.h"
#include "outputs/auto_profile.h"
#include "outputs_fixture.h"

namespace {

struct Survey : ::testing::Test {
  std::unique_ptr<AppState> state = std::make_unique<AppState>();
  RecordingDisplay display;
  FakeClock clock;
  void SetUp() override {
    clock.SetLocal({2024, 3, 14, 14, 3, 59, 27});
    state->SectorSize = 90;
    state->GridMode = 0;
  }
  // n stored points of a sweep, as the ping pipeline leaves them.
  void Collect(int n) {
    state->ProfilePoints.Reset();
    for (int i = 0; i < n; ++i)
      state->ProfilePoints.Records[static_cast<std::size_t>(i)] = MakePoint(8.0f, 140.0f + i);
    state->ProfilePoints.Count = n;
  }
  void Ping(int position, int direction) {
    state->Ping.HeadPosition = position;
    state->Ping.StepDirection = direction;
    CheckScanComplete(*state, display, clock);
  }
  std::vector<std::string> XyzFiles() {
    std::vector<std::string> v;
    for (const auto& e : std::filesystem::directory_iterator("."))
      if (e.path().extension() == ".xyz") v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
  }
};

SnapshotAnswer Ok(const SnapshotForm& f, bool enabled) {
  SnapshotAnswer a;
  a.Accepted = true;
  a.Enabled = enabled;
  a.Values = f.Values;
  a.Xyz = f.Xyz;
  a.Bmp = f.Bmp;
  a.Prompt = f.Prompt;
  a.Confirm = f.Confirm ? 1 : 0;
  return a;
}

TEST_F(Survey, SectorSweepEndsWhenTheHeadTurnsAndTheReturnSweepIsTheNext) {
  state->AutoProfileXYZ = 1;
  state->AutoProfileBMP = 0;
  state->AutoProfileSaveConfirmation = 0;
  state->AutoProfilePromptForScan = 0;
  state->AutoProfileScanActive = true;
  state->Ping.StepDirection = 0;  // the head sweeps down when the scan starts
  StartFreshScan(*state, display);
  EXPECT_TRUE(state->ClearRequest);
  EXPECT_EQ(state->AutoProfileStartPosition, 450);  // the sector's lower edge
  Ping(500, 0);
  Ping(450, 1);  // turned while awaited: no scan ends
  EXPECT_TRUE(XyzFiles().empty());
  // The pipeline found the sweep start, going up.
  state->AutoProfileWaitSweepStart = false;
  state->PreviousSweepDirection = 1;
  Collect(40);
  Ping(460, 1);
  Ping(740, 1);
  EXPECT_TRUE(XyzFiles().empty());
  Ping(735, 0);  // the head turned: the sweep is complete
  EXPECT_EQ(XyzFiles(), std::vector<std::string>{"14mar2024-0001.xyz"});
  EXPECT_EQ(CrLfLines(ReadFile("14mar2024-0001.xyz")).size(), 4u + 38u);
  // Collection goes straight on: the return sweep is the next file.
  EXPECT_FALSE(state->AutoProfileWaitSweepStart);
  EXPECT_EQ(state->ProfilePoints.Count, 0);
  Collect(30);
  Ping(600, 0);
  Ping(455, 0);
  EXPECT_EQ(XyzFiles().size(), 1u);
  Ping(450, 1);
  EXPECT_EQ(XyzFiles().size(), 2u);
  EXPECT_EQ(CrLfLines(ReadFile("14mar2024-0002.xyz")).size(), 4u + 28u);
}

// An auto-azimuth run keeps its file while the link stops and starts again (the
// window minimised, ports chosen again); a switch to a file ends the run with its
// message and the file whole.
TEST_F(Survey, AutoAzimuthFileOutlivesALinkStopAndEndsWithTheRun) {
  state->AzimuthDriveEnable = 1;
  AzimuthAnswer a;
  a.Accepted = true;
  a.Enabled = true;
  a.Start = 0.0;
  a.Stop = 90.0;
  a.Increment = 30.0;
  a.Xyz = true;
  ApplyAzimuthAnswer(*state, display, clock, a);
  ASSERT_EQ(state->XyzFileOpen, 1);
  state->AzimuthPosition = 600;
  Collect(7);
  AfterScanActions(*state, display, clock);
  StopLink(*state);
  EXPECT_EQ(state->XyzFileOpen, 1);
  EXPECT_TRUE(state->Xyz.IsOpen());
  state->AzimuthPosition = 700;
  Collect(7);
  AfterScanActions(*state, display, clock);
  EXPECT_EQ(CrLfLines(ReadFile("14mar2024-0001.xyz")).size(), 2u * 6u);  // both blocks written
  EXPECT_EQ(state->AutoAzimuthEnabled, 1);

  display.calls.clear();
  EndAutoAzimuthRun(*state, display);
  EXPECT_EQ(state->AutoAzimuthEnabled, 0);
  EXPECT_FALSE(state->AutoProfileScanActive);
  EXPECT_EQ(state->XyzFileOpen, 0);
  EXPECT_EQ(state->VerticalScanMenuEnabled, 1);
  EXPECT_EQ(display.calls.back(), "scan complete");
  // Once only: no run, nothing to end.
  display.calls.clear();
  EndAutoAzimuthRun(*state, display);
  EXPECT_TRUE(display.calls.empty());
}

TEST_F(Survey, FullCircleEndsAtStepZeroAfterMoreThan100Points) {
  state->SectorSize = 360;
  state->GridMode = 1;
  state->AutoProfileSaveConfirmation = 0;
  state->AutoProfilePromptForScan = 0;
  state->AutoProfileBMP = 0;
  state->AutoProfileScanActive = true;
  Collect(100);
  Ping(1195, 1);
  Ping(3, 1);
  EXPECT_TRUE(XyzFiles().empty());  // only 100 points
  Collect(101);
  Ping(1195, 1);
  Ping(9, 1);
  EXPECT_TRUE(XyzFiles().empty());  // past step 8
  Ping(1193, 1);
  Ping(2, 1);
  EXPECT_EQ(XyzFiles().size(), 1u);
}

TEST_F(Survey, AfterScanActionsRunInOrder) {
  state->AutoProfileScanActive = true;
  state->AutoProfileVertical = 1;
  Collect(12);
  display.snapshot_answers.push_back({});  // Cancel the prompt: the scan goes on
  AfterScanActions(*state, display, clock);
  ASSERT_EQ(display.calls.size(), 3u);
  EXPECT_EQ(display.calls[0], "save?");
  EXPECT_EQ(display.calls[1], "capture 14mar2024-0001.bmp");
  EXPECT_EQ(display.calls[2], "snapshot");
  EXPECT_EQ(XyzFiles(), std::vector<std::string>{"14mar2024-0001.xyz"});
  EXPECT_EQ(state->AutoProfileEnabledBefore, 1);
  // "No" saves nothing.
  display.calls.clear();
  display.save_answer = false;
  Collect(12);
  AfterScanActions(*state, display, clock);
  EXPECT_EQ(display.calls, (std::vector<std::string>{"save?", "snapshot"}));
  EXPECT_EQ(XyzFiles().size(), 1u);
}

TEST_F(Survey, HorizontalPromptLowersTheElevationByThePayout) {
  state->ProfileElevation = 10.0f;
  state->PayoutIncrement = 2.0f;
  SnapshotForm f = MakeSnapshotForm(*state, false);
  EXPECT_FLOAT_EQ(f.Values[1], 8.0f);
  ApplySnapshotAnswer(*state, display, Ok(f, true), false);
  EXPECT_FLOAT_EQ(state->ProfileElevation, 8.0f);
  f = MakeSnapshotForm(*state, false);
  EXPECT_FLOAT_EQ(f.Values[1], 6.0f);
}

TEST_F(Survey, EnablingStartsAFreshScanOnce) {
  SnapshotForm f = MakeSnapshotForm(*state, true);
  ApplySnapshotAnswer(*state, display, Ok(f, true), true);
  EXPECT_TRUE(state->AutoProfileScanActive);
  EXPECT_TRUE(state->AutoProfileWaitSweepStart);
  EXPECT_EQ(display.calls.back(), std::string("status ") + kAdjustingTransducerText);
  state->AutoProfileWaitSweepStart = false;
  state->ClearRequest = false;
  ApplySnapshotAnswer(*state, display, Ok(MakeSnapshotForm(*state, true), true), true);
  EXPECT_FALSE(state->ClearRequest);  // already enabled: the scan goes on
  ApplySnapshotAnswer(*state, display, Ok(MakeSnapshotForm(*state, true), false), true);
  EXPECT_FALSE(state->AutoProfileScanActive);
}

TEST_F(Survey, ConfirmationNeedsAFileOrACapture) {
  state->AutoProfileXYZ = 0;
  state->AutoProfileBMP = 0;
  state->AutoProfileSaveConfirmation = 1;
  const SnapshotForm f = MakeSnapshotForm(*state, true);
  EXPECT_FALSE(f.Confirm);
  EXPECT_EQ(state->AutoProfileSaveConfirmation, 0);
  SnapshotAnswer a = Ok(f, false);
  a.Xyz = true;
  a.Confirm = 2;  // the third state stores 0
  ApplySnapshotAnswer(*state, display, a, true);
  EXPECT_EQ(state->AutoProfileSaveConfirmation, 0);
  // Defaults take effect even when the dialog is then cancelled.
  SnapshotAnswer d;
  d.DefaultsPressed = true;
  state->AutoProfileScanActive = true;
  ApplySnapshotAnswer(*state, display, d, true);
  EXPECT_FALSE(state->AutoProfileScanActive);
  EXPECT_EQ(state->AutoProfileXYZ, 1);
  EXPECT_EQ(state->AutoProfileBMP, 1);
  EXPECT_EQ(state->AutoProfileSaveConfirmation, 1);
  EXPECT_EQ(state->AutoProfilePromptForScan, 1);
}

TEST_F(Survey, FailedWritesAreToldOncePerScanAndPingingGoesOn) {
  state->AutoProfileScanActive = true;
  state->AutoProfileSaveConfirmation = 0;
  state->AutoProfilePromptForScan = 0;
  state->AutoProfileBMP = 0;
  // A file size limit makes the write short, as a full disk would.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction old {};
  sigaction(SIGXFSZ, &ignore, &old);
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  rlimit small = before;
  small.rlim_cur = 200;
  setrlimit(RLIMIT_FSIZE, &small);
  Collect(50);
  AfterScanActions(*state, display, clock);
  Collect(50);
  AfterScanActions(*state, display, clock);
  setrlimit(RLIMIT_FSIZE, &before);
  sigaction(SIGXFSZ, &old, nullptr);
  ASSERT_EQ(display.failures.size(), 2u);
  EXPECT_NE(display.failures[0].find("Auto-Profile: "), std::string::npos);
  EXPECT_NE(display.failures[0].find("14mar2024-0001.xyz"), std::string::npos);
  EXPECT_TRUE(state->AutoProfileScanActive);
}

TEST(AzimuthAngles, ShownTexts) {
  EXPECT_EQ(ShownAzimuthText(600), "  0.0");
  EXPECT_EQ(ShownAzimuthText(0), "180.0");
  EXPECT_EQ(ShownAzimuthText(500), "330.0");
  EXPECT_EQ(ShownAzimuthText(1199), "179.7");
  EXPECT_EQ(IncrementText(100), " 30.0");
  EXPECT_EQ(IncrementText(1), "  0.3");
}

TEST(AzimuthAngles, StepsAndTotalSweep) {
  EXPECT_EQ(AzimuthSteps(0.0), 600);
  EXPECT_EQ(AzimuthSteps(330.0), 500);
  EXPECT_EQ(TotalSweep(600, 500), 1100);
  EXPECT_EQ(AzimuthSteps(300.0), 400);
  EXPECT_EQ(AzimuthSteps(30.0), 700);
  EXPECT_EQ(TotalSweep(400, 700), 300);
  EXPECT_EQ(TotalSweep(700, 400), 900);
  EXPECT_EQ(TotalSweep(250, 250), 1200);
  EXPECT_EQ(IncrementSteps(0.3), 1);
  EXPECT_EQ(IncrementSteps(30.0), 100);
  EXPECT_EQ(IncrementSteps(180.0), 600);
}

TEST(AzimuthAngles, ChecksAndTheirOrder) {
  EXPECT_TRUE(CheckAzimuthAngles(0.0, 330.0, 30.0).empty());
  EXPECT_EQ(CheckAzimuthAngles(359.8, 10.0, 30.0), std::vector<std::string>{kStartAngleMessage});
  EXPECT_EQ(CheckAzimuthAngles(359.7, 10.0, 30.0), std::vector<std::string>{});
  // A negative stop with a bad start shows only the start message.
  EXPECT_EQ(CheckAzimuthAngles(359.8, -5.0, 30.0), std::vector<std::string>{kStartAngleMessage});
  EXPECT_EQ(CheckAzimuthAngles(10.0, -5.0, 30.0), std::vector<std::string>{kStopAngleMessage});
  EXPECT_EQ(CheckAzimuthAngles(10.0, 20.0, 0.1), std::vector<std::string>{kIncrementAngleMessage});
  EXPECT_EQ(CheckAzimuthAngles(10.0, 400.0, 0.1), std::vector<std::string>{kStopAngleMessage});
  EXPECT_EQ(CheckAzimuthAngles(400.0, 400.0, 200.0),
            (std::vector<std::string>{kStartAngleMessage, kStopAngleMessage, kIncrementAngleMessage}));
}

TEST(AzimuthAngles, EstimateTexts) {
  // One increment at a 360-degree sector: t = T + 0.0709 per sweep.
  EXPECT_EQ(EstimateScanTime(0, 30, 30, 3725 - 0.0709, 360), "1 hr 2 min");
  EXPECT_EQ(EstimateScanTime(0, 30, 30, 7300 - 0.0709, 360), "2 hrs 2 min");
  EXPECT_EQ(EstimateScanTime(0, 30, 30, 59.9 - 0.0709, 360), "60 sec");
  EXPECT_EQ(EstimateScanTime(0, 30, 30, 90 - 0.0709, 360), "2 min");
  // The defaults: n = 11 sweeps of a 180-degree sector at 50 m, Fast.
  // (180 x 38.0 / 360 + 0.0709) x 11 = 209.8 s, shown as 3 min.
  EXPECT_EQ(EstimateScanTime(0, 330, 30, SweepSeconds(9, 2, false), 180), "3 min");
  // Start above stop goes clockwise through 0.
  EXPECT_EQ(EstimateScanTime(300, 30, 30, 10 - 0.0709, 360), "30 sec");
}

TEST_F(Survey, AutoAzimuthRunWritesOneFileWithABlockPerAngle) {
  state->AzimuthDriveEnable = 1;
  state->EnableOrientationModule = 0;
  AzimuthAnswer a;
  a.Accepted = true;
  a.Enabled = true;
  a.Start = 0.0;
  a.Stop = 60.0;
  a.Increment = 30.0;
  a.Xyz = true;
  ApplyAzimuthAnswer(*state, display, clock, a);
  EXPECT_EQ(state->AzimuthAngle, 600);
  EXPECT_TRUE(state->AzimuthMoveRequest);
  EXPECT_EQ(state->AutoAzimuthTotalSweep, 200);
  EXPECT_EQ(state->AutoProfilePromptForScan, 0);
  EXPECT_EQ(XyzFiles(), std::vector<std::string>{"14mar2024-0001.xyz"});
  std::vector<int> angles;
  for (int sweep = 0; sweep < 3; ++sweep) {
    state->AzimuthPosition = state->AzimuthAngle.load();
    angles.push_back(state->AzimuthAngle);
    Collect(7);
    AfterScanActions(*state, display, clock);
  }
  EXPECT_EQ(angles, (std::vector<int>{600, 700, 800}));
  EXPECT_FALSE(state->AutoProfileScanActive);
  EXPECT_EQ(state->AutoAzimuthEnabled, 0);
  EXPECT_EQ(display.calls.back(), "scan complete");
  const auto lines = CrLfLines(ReadFile("14mar2024-0001.xyz"));
  ASSERT_EQ(lines.size(), 3u * 6u);
  for (int b = 0; b < 3; ++b) {
    EXPECT_EQ(lines[static_cast<std::size_t>(b * 6 + 5)], "") << b;
    EXPECT_EQ(Columns(lines[static_cast<std::size_t>(b * 6)])[3], b == 0 ? " 000.000" : b == 1 ? " 030.000" : " 060.000");
  }
  EXPECT_EQ(XyzFiles().size(), 1u);
  EXPECT_EQ(state->XyzFileOpen, 0);
}

TEST_F(Survey, AutoAzimuthDefaultsStopARunAtOnce) {
  state->AutoAzimuthEnabled = 1;
  state->AutoProfileScanActive = true;
  state->VerticalScanMenuEnabled = 0;
  ASSERT_TRUE(OpenXyzFile(*state, display, "14-MAR-2024", "Auto-Azimuth"));
  AzimuthAnswer d;
  d.DefaultsPressed = true;
  ApplyAzimuthAnswer(*state, display, clock, d);
  EXPECT_EQ(state->AutoAzimuthEnabled, 0);
  EXPECT_FALSE(state->AutoProfileScanActive);
  EXPECT_EQ(state->AutoAzimuthXYZ, 1);
  // The run is over: its file closed, the vertical scan offered again.
  EXPECT_EQ(state->XyzFileOpen, 0);
  EXPECT_EQ(state->VerticalScanMenuEnabled, 1);
  EXPECT_EQ(display.calls.back(), "menu on");
}

TEST_F(Survey, MenuRequestsOpenTheDialogsOnTheCommThreadsTurn) {
  state->AutoProfileRequest = 1;
  state->AutoProfileVertical = 0;
  OutputsTurn(*state, display, clock, false);
  EXPECT_EQ(display.calls, std::vector<std::string>{"snapshot2"});
  EXPECT_EQ(state->AutoProfileRequest, 0);
  // Auto-azimuth only with the drive enabled.
  state->AutoAzimuthRequest = 1;
  OutputsTurn(*state, display, clock, false);
  EXPECT_EQ(display.calls.size(), 1u);
  state->AzimuthDriveEnable = 1;
  state->AutoAzimuthRequest = 1;
  OutputsTurn(*state, display, clock, false);
  EXPECT_EQ(display.calls.back(), "autoazimuth");
  EXPECT_EQ(display.azimuth_forms.back().IncSteps, 100);
}

}  // namespace

namespace {

// The numbering of a date used up, with a link planted under the last number: the
// window replaces the link (never its target) and says so once in the status
// strip; with replacement off (the tools) nothing is written and the sweeps are
// counted.
TEST_F(Survey, UsedUpNumberingReplacesTheLastNameOrStops) {
  std::ofstream("target.txt") << "keep";
  std::filesystem::create_symlink("target.txt", "14mar2024-9999.xyz");
  auto statuses = [&] {
    return std::count_if(display.calls.begin(), display.calls.end(),
                         [](const std::string& c) { return c.find("used up") != std::string::npos; });
  };
  state->AutoProfileXYZ = 1;
  state->AutoProfileBMP = 0;
  state->AutoProfileSaveConfirmation = 0;
  state->AutoProfilePromptForScan = 0;
  for (int sweep = 0; sweep < 2; ++sweep) {
    Collect(5);
    AfterScanActions(*state, display, clock);
  }
  EXPECT_EQ(statuses(), 1);
  EXPECT_FALSE(std::filesystem::is_symlink("14mar2024-9999.xyz"));
  EXPECT_EQ(CrLfLines(ReadFile("14mar2024-9999.xyz")).size(), 4u + 3u);
  EXPECT_EQ(ReadFile("target.txt"), "keep");
  EXPECT_EQ(state->XyzFilesWritten, 2);

  std::filesystem::remove("14mar2024-9999.xyz");
  std::filesystem::create_symlink("target.txt", "14mar2024-9999.xyz");
  state->ReplaceLastNumber = false;
  state->LastNumberShown = false;
  for (int sweep = 0; sweep < 3; ++sweep) {
    Collect(5);
    AfterScanActions(*state, display, clock);
  }
  EXPECT_EQ(state->XyzSweepsNotNumbered, 3);
  EXPECT_EQ(state->XyzFilesWritten, 2);
  ASSERT_EQ(display.failures.size(), 1u);
  EXPECT_NE(display.failures[0].find("The numbering of 14mar2024 is used up"), std::string::npos)
      << display.failures[0];
  EXPECT_TRUE(std::filesystem::is_symlink("14mar2024-9999.xyz"));
  EXPECT_EQ(ReadFile("target.txt"), "keep");
}

}  // namespace
