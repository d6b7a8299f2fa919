// SPDX-License-Identifier: GPL-3.0-or-later
// The data source switch and what it must leave behind: no GPS fix of a played
// file in live records, a closed Azimuth window stays closed, a new playback file
// starts on a clear picture, FILE mode without a file has no slider, and the GPS
// read-out after Com Ports and on a repaint of its own.
#include <pty.h>
#include <unistd.h>

#include <QLineEdit>
#include <QProcess>
#include <fstream>
#include <iterator>

#include "app_fixture.h"
#include "files/recorder.h"
#include "files/sonar_file.h"
#include "gps/gps_reader.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/setup_dialogs.h"
#include "settings/ini_file.h"
#include "tool_windows/tool_windows.h"

namespace {

// A file of `count` records, each with a GPS fix.
void MakeGpsFile(const std::string& path, int count) {
  AppState s;
  FileDisplay quiet;
  ASSERT_TRUE(StartRecording(s, quiet, path));
  for (int i = 0; i < count; ++i) {
    const auto reply = GReply(300 + i * 6);
    RecordedPing ping;
    ping.reply = reply;
    ping.type_code = 3;
    ping.time = LocalTime{2026, 12, 8, 1, 2, i % 60, 0};
    RecordGps g;
    g.latitude = " 4916.452 N";
    g.longitude = " 12311.115 W";
    g.utc_time = "01:02:03.00";
    g.fix_quality = 1;
    g.satellites = 9;
    ping.gps = g;
    WriteSonarRecord(s, quiet, ping);
  }
  StopRecording(s, quiet);
}

int LitPixels(CoreBridge& core) {
  PingImage& img = core.Image();
  std::lock_guard lock(img.Lock());
  int lit = 0;
  for (int i = 0; i < kImageBytes; ++i) lit += (img.Pixels()[i] & 0x7F) != 0 && img.Pixels()[i] < 108;
  return lit;
}

// Played with GPS, then live with a GPS receiver that says nothing: the live
// records must not carry the played file's fix.
TEST_F(AppTest, LiveRecordsAfterPlaybackCarryNoPlayedGpsFix) {
  MakeGpsFile("played.47V", 40);
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);  // a silent GPS line
  WriteIni("RunMode=1\nUseGPS=1\nGPSType=0\nComPortGPS=4\nPlotSpeed=100\nGrid=0\n"
           "[Orientation Module Settings]\nEnableOrientationModule=0\n");
  QProcess sim;
  sim.start(Q47V_BINARY_DIR "/src/sim/q47v-sim", {"--ini", "WINQ47V.INI", "--quiet", "--no-gps"});
  ASSERT_TRUE(sim.waitForStarted());
  ASSERT_TRUE(PumpUntil([] { return ReadText("WINQ47V.INI").find("COM1=") != std::string::npos; }, 20000));
  {
    IniFile ini;
    ASSERT_TRUE(IniFile::Load("WINQ47V.INI", ini));
    ini.Set("Serial Ports", "COM5", name);
    ASSERT_TRUE(ini.Save("WINQ47V.INI"));
  }
  files.push_back("played.47V");
  Open();
  ASSERT_TRUE(PumpUntil([this] { return state.GpsSnapshot().GpsPositionText[1] != '\0'; }, 20000))
      << "the played file's fix never arrived";
  // HEAD, then record a few live pings.
  const LayoutRect& head = window->GetLayout().HeadButtonRect;
  ClickAt((head.left + head.right) / 2, (head.top + head.bottom) / 2);
  ASSERT_EQ(state.RunMode, 0);
  ASSERT_TRUE(core->StartRecording("live.47V"));
  const long pings = state.PingsProcessed;
  ASSERT_TRUE(PumpUntil([&] { return state.PingsProcessed >= pings + 10; }, 30000));
  core->StopRecording();
  window->SetQuietClose(true);
  window->close();
  sim.terminate();
  sim.waitForFinished(5000);
  ::close(master);
  ::close(slave);

  SonarFileReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open("live.47V", error)) << error;
  int records = 0;
  for (int64_t at = 0; at < reader.Length(); at += reader.fields().record_size) {
    ASSERT_EQ(reader.ReadRecordAt(at), RecordRead::kOk);
    ++records;
    ASSERT_TRUE(reader.fields().gps.has_value());  // GPS is in use: the block is there
    EXPECT_EQ(reader.fields().gps->latitude.find_first_not_of(' '), std::string::npos)
        << "record " << records << " carries " << reader.fields().gps->latitude;
    EXPECT_EQ(reader.fields().gps->satellites, 0);
  }
  EXPECT_GE(records, 10);
}

TEST_F(AppTest, LiveStartKeepsAClosedAzimuthWindowClosed) {
  WriteIni("RunMode=0\nAzimuthDriveEnable=1\nAzimuthWindow=0\n");
  Open();
  EXPECT_EQ(state.AzimuthWindow, 0);
  EXPECT_FALSE(window->Tool(1)->isVisible());
  EXPECT_EQ(state.AzimuthPosition, 0);  // detected afresh from position 0
  EXPECT_FALSE(state.AzimuthDriveFound.load());
  window->SetQuietClose(true);
  window->close();
  EXPECT_NE(ReadText("WINQ47V.INI").find("AzimuthWindow=0"), std::string::npos);
}

TEST_F(AppTest, OpeningAnotherPlaybackFileClearsThePicture) {
  WriteIni("RunMode=1\nPlotSpeed=100\nGrid=0\n");
  files.push_back(Q47V_TESTDATA_DIR "/imaging/harbour_polar.47V");
  Open();
  ASSERT_TRUE(PumpUntil([this] { return LitPixels(*core) > 5000; }, 20000));
  files.push_back(Q47V_TESTDATA_DIR "/imaging/harbour_sector.47V");
  window->OnCommand(cmd::kPlayback);
  EXPECT_EQ(LitPixels(*core), 0);
}

TEST_F(AppTest, FileModeWithoutAFileHasNoSlider) {
  WriteIni("RunMode=1\n");
  Open();  // the open dialog is cancelled
  EXPECT_FALSE(state.PlaybackFileOpen.load());
  EXPECT_EQ(window->Slider(), nullptr);
}

// GPS switched off and on again in Com Ports with no receiver: the read-out says
// so instead of disappearing.
TEST_F(AppTest, ComPortsGpsOffAndOnShowsNotAvailable) {
  WriteIni("RunMode=0\nUseGPS=1\n");
  Open();
  auto press = [&](int button) {
    window->SetDialogHook([button](QDialog& dialog) {
      auto& d = static_cast<ComPortDialog&>(dialog);
      d.Click(button);
      d.PressOk();
    });
    window->OnCommand(cmd::kComPorts);
  };
  press(116);  // Disable
  EXPECT_EQ(state.UseGPS, 0);
  press(117);  // Enable
  EXPECT_EQ(state.UseGPS, 1);
  window->Client()->repaint();
  EXPECT_EQ(window->GpsReadoutShown(), "GPS Lat / Lng Not Available");
}

// A repaint of its own looks at the age of the fix: five seconds without a
// sentence give the message.
TEST_F(AppTest, RepaintShowsTheGpsMessageOnceTheFixIsOld) {
  WriteIni("RunMode=0\nUseGPS=1\nGPSType=0\n");
  Open();
  TakeGpsSentence(state, display, "$GPGLL,4916.45,N,12311.12,W,225444,A,*1D\r\n");
  window->Client()->repaint();
  EXPECT_NE(window->GpsReadoutShown().find("49.16.45  N"), std::string::npos) << window->GpsReadoutShown();
  for (int i = 0; i < 6; ++i) core->TickGps();  // six seconds without a sentence
  window->Client()->repaint();
  EXPECT_EQ(window->GpsReadoutShown(), "GPS Lat / Lng Not Available");
}

}  // namespace
