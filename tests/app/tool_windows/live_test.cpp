// SPDX-License-Identifier: GPL-3.0-or-later
// The window live against the simulator on a pty: pings arrive on the comm thread,
// are drawn into the image and reach the screen through the coalesced repaint; the
// clock, the diagnostics and the GPS read-out follow.
#include <QElapsedTimer>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <fstream>
#include <iterator>

#include "app_fixture.h"
#include "tool_windows/diagnostics_window.h"
#include "dialogs/setup_dialogs.h"
#include "tool_windows/tool_windows.h"

namespace {

TEST_F(AppTest, LivePingsAreDrawnAndShown) {
  WriteIni("RunMode=0\nGridMode=1\nRange=5\nSpeed=4\n");
  QProcess sim;
  sim.start(Q47V_BINARY_DIR "/src/sim/q47v-sim", {"--ini", "WINQ47V.INI", "--quiet"});
  ASSERT_TRUE(sim.waitForStarted());
  ASSERT_TRUE(PumpUntil([] { return ReadText("WINQ47V.INI").find("COM2=") != std::string::npos; }, 20000));
  Open();
  window->OnCommand(600);  // diagnostics open while pings arrive
  ASSERT_TRUE(PumpUntil([this] { return state.PingsProcessed >= 10; }, 30000)) << state.PingsProcessed;
  const int paints = window->PaintCount();
  ASSERT_TRUE(PumpUntil([&] { return window->PaintCount() > paints; }, 5000));
  // Echoes reached the image.
  int lit = 0;
  {
    PingImage& img = core->Image();
    std::lock_guard lock(img.Lock());
    for (int i = 0; i < kImageBytes; ++i) lit += (img.Pixels()[i] & 0x7F) != 0;
  }
  EXPECT_GT(lit, 100);
  EXPECT_EQ(DiagnosticsRows(state, 0)[0].head.substr(0, 1), "I");
  EXPECT_EQ(window->StatusText().find("No Data"), std::string::npos);
  // The GPS line of the simulator shows a position.
  EXPECT_TRUE(PumpUntil([this] { return state.GpsPortAvailable != 0; }, 100));
  window->SetQuietClose(true);
  window->close();
  sim.terminate();
  sim.waitForFinished(5000);
}

}  // namespace

namespace {

// Change Azimuth live: the drive of the simulator turns to 90 degrees, the status
// line says so while it turns, and the Azimuth window follows its replies.
TEST_F(AppTest, ChangeAzimuthWindowFollowsTheDrive) {
  WriteIni("RunMode=0\nGridMode=0\nRange=3\nSpeed=4\nAzimuthDriveEnable=1\nAzimuthWindow=1\nAzimuthAngle=600\n"
           "[Orientation Module Settings]\nEnableOrientationModule=0\n");
  QProcess sim;
  sim.start(Q47V_BINARY_DIR "/src/sim/q47v-sim", {"--ini", "WINQ47V.INI", "--quiet", "--no-gps"});
  ASSERT_TRUE(sim.waitForStarted());
  ASSERT_TRUE(PumpUntil([] { return ReadText("WINQ47V.INI").find("COM1=") != std::string::npos; }, 20000));
  Open();
  ASSERT_TRUE(PumpUntil([this] { return state.AzimuthDriveFound.load(); }, 30000)) << "drive not found";
  ASSERT_TRUE(PumpUntil([this] { return state.AzimuthPosition == 600; }, 30000)) << state.AzimuthPosition;
  window->SetDialogHook([](QDialog& dialog) {
    auto& d = static_cast<ValueDialog&>(dialog);
    d.Field()->setText("90");
    d.PressOk();
  });
  window->ChangeAzimuth();
  EXPECT_EQ(state.AzimuthAngle, 900);
  bool adjusting_shown = false;
  ASSERT_TRUE(PumpUntil([&] {
    adjusting_shown |= window->StatusText() == "Wait - Adjusting Azimuth";
    return state.AzimuthPosition == 900;
  }, 60000)) << state.AzimuthPosition;
  EXPECT_TRUE(adjusting_shown);
  EXPECT_EQ(AzimuthWindowLines(state).front(), " 90.0 Deg");
  window->SetQuietClose(true);
  window->close();
  sim.terminate();
  sim.waitForFinished(5000);
}

}  // namespace

namespace {

// A live start with the drive enabled detects it afresh: while it has not
// answered, the status line says so.
TEST_F(AppTest, LiveStartShowsTheDriveBeingDetected) {
  WriteIni("RunMode=0\nRange=3\nAzimuthDriveEnable=1\nAzimuthWindow=1\n"
           "[Orientation Module Settings]\nEnableOrientationModule=0\n");
  QProcess sim;
  sim.start(Q47V_BINARY_DIR "/src/sim/q47v-sim", {"--ini", "WINQ47V.INI", "--quiet", "--no-gps", "--no-azimuth"});
  ASSERT_TRUE(sim.waitForStarted());
  ASSERT_TRUE(PumpUntil([] { return ReadText("WINQ47V.INI").find("COM1=") != std::string::npos; }, 20000));
  Open();
  EXPECT_EQ(state.AzimuthPosition, 0);
  EXPECT_TRUE(PumpUntil([this] { return window->StatusText() == "Detecting Azimuth Drive..."; }, 20000))
      << window->StatusText();
  window->SetQuietClose(true);
  window->close();
  sim.terminate();
  sim.waitForFinished(5000);
}

}  // namespace

namespace {

// Program Head from the scan window, against a simulated head 0x13 alone on the
// line: the programming frame goes to the head that answered, with its new ID, so
// that head comes back under ID 0x15 with the serial number written.
TEST_F(AppTest, ProgramHeadGoesToTheHeadThatAnswered) {
  WriteIni("RunMode=0\nRange=3\nMasterHeadID=19\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  QProcess sim;
  sim.start(Q47V_BINARY_DIR "/src/sim/q47v-sim",
            {"--ini", "WINQ47V.INI", "--quiet", "--no-gps", "--heads", "0x13", "--no-azimuth", "--no-orientation"});
  ASSERT_TRUE(sim.waitForStarted());
  ASSERT_TRUE(PumpUntil([] { return ReadText("WINQ47V.INI").find("COM1=") != std::string::npos; }, 20000));
  Open();
  window->OnCommand(cmd::kHeadScan);
  ASSERT_TRUE(PumpUntil([this] { return state.Shown().ScanReplyValid && state.AnsweredHeadId == 0x13; }, 30000));
  {
    HeadIdDialog d(state, true, window.get());
    d.IdBox()->setCurrentIndex(5);  // "6": ID 0x15
    d.SerialField()->setText("0042");
    d.DepthBox()->setCurrentIndex(1);
    d.PressOk();
  }
  ASSERT_TRUE(PumpUntil([this] { return state.AnsweredHeadId == 0x15; }, 40000))
      << "the head never answered under its new ID";
  bool serial = false;
  ASSERT_TRUE(PumpUntil([&] {
    for (const std::string& l : ScanWindowLines(state)) serial |= l.find("Serial Number: 42") != std::string::npos ||
                                                                   l.find("Serial Number: 0042") != std::string::npos;
    return serial;
  }, 20000)) << ScanWindowLines(state)[3];
  window->SetQuietClose(true);
  window->close();
  sim.terminate();
  sim.waitForFinished(5000);
}

}  // namespace
