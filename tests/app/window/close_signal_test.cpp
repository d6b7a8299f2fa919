// SPDX-License-Identifier: GPL-3.0-or-later
// The orderly close on SIGTERM, as at a logout: the real program (winq47v-demo,
// live against q47v-sim, recording) is sent SIGTERM while it records; the settings
// file must then hold the state and the recording must be a whole file.
#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "app_fixture.h"
#include "files/sonar_file.h"

namespace {

int64_t FileSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  return in ? static_cast<int64_t>(in.tellg()) : -1;
}

// Polls `done` every 20 ms for at most `limit`: the child processes run on their
// own clocks, so this waits for a condition, not for a time.
template <typename Fn>
bool WaitFor(Fn done, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TEST(CloseSignalTest, SigtermSavesSettingsAndLeavesAWholeRecording) {
  {
    std::ofstream ini("WINQ47V.INI");
    ini << "[Settings]\nGain=17\nColors=4\nRange=8\n";
  }
  QProcess sim;
  sim.start(Q47V_BINARY_DIR "/src/sim/q47v-sim", {"--ini", "WINQ47V.INI", "--quiet", "--no-gps"});
  ASSERT_TRUE(sim.waitForStarted());
  ASSERT_TRUE(WaitFor([] { return ReadText("WINQ47V.INI").find("COM1=") != std::string::npos; },
                      std::chrono::seconds(20)));

  QProcess app;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  app.setProcessEnvironment(env);
  app.start(Q47V_BINARY_DIR "/src/app/winq47v-demo", {"--seconds", "600", "--record", "signal.47v"});
  ASSERT_TRUE(app.waitForStarted());
  // Wait until a few records are in the file, then log out.
  ASSERT_TRUE(WaitFor([] { return FileSize("signal.47v") >= 1500; }, std::chrono::seconds(60)));
  ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
  ASSERT_TRUE(app.waitForFinished(30000));
  EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(app.exitCode(), 0);
  sim.terminate();
  sim.waitForFinished(10000);

  // The settings were saved: every key is written, the loaded values kept.
  const std::string ini = ReadText("WINQ47V.INI");
  for (const char* key : {"Gain=17", "Colors=4", "Range=8", "PlotSpeed=", "RunMode=0", "COM1="})
    EXPECT_NE(ini.find(key), std::string::npos) << key << "\n" << ini;

  // The recording is a whole file: records back to back up to its end.
  SonarFileReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open("signal.47v", error)) << error;
  int64_t offset = 0;
  int records = 0;
  while (offset < reader.Length()) {
    ASSERT_EQ(reader.ReadRecordAt(offset), RecordRead::kOk) << "at " << offset;
    offset += reader.fields().record_size;
    ++records;
  }
  EXPECT_EQ(offset, reader.Length());
  EXPECT_GE(records, 3);
}

// SIGTERM while the start-up playback dialog is open (FILE mode, no file given):
// the dialog goes and the program closes in order, settings saved.
TEST(CloseSignalTest, SigtermDuringTheStartUpOpenDialog) {
  std::ofstream("WINQ47V.INI") << "[Settings]\nRunMode=1\nGain=21\n";
  QProcess app;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  app.setProcessEnvironment(env);
  app.start(Q47V_BINARY_DIR "/src/app/winq47v", {});
  ASSERT_TRUE(app.waitForStarted());
  // The logo and the calibration take one to two seconds; the dialog follows.
  std::this_thread::sleep_for(std::chrono::seconds(4));
  ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
  const bool ended = app.waitForFinished(15000);
  if (!ended) app.kill();
  ASSERT_TRUE(ended) << "SIGTERM lost while the open dialog was up";
  EXPECT_EQ(app.exitCode(), 0);
  EXPECT_NE(ReadText("WINQ47V.INI").find("Gain=21"), std::string::npos);
  EXPECT_NE(ReadText("WINQ47V.INI").find("PlotSpeed="), std::string::npos) << "settings not saved";
}

// A file named on the command line plays at once, with no dialog: the program runs
// in FILE mode and ends on SIGTERM with that choice saved.
TEST(CloseSignalTest, FileNamedOnTheCommandLinePlays) {
  std::ofstream("WINQ47V.INI") << "[Settings]\nRunMode=0\n";
  QProcess app;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  app.setProcessEnvironment(env);
  app.start(Q47V_BINARY_DIR "/src/app/winq47v", {Q47V_TESTDATA_DIR "/imaging/harbour_sector.47V"});
  ASSERT_TRUE(app.waitForStarted());
  std::this_thread::sleep_for(std::chrono::seconds(4));
  ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
  ASSERT_TRUE(app.waitForFinished(15000));
  EXPECT_EQ(app.exitCode(), 0);
  EXPECT_NE(ReadText("WINQ47V.INI").find("RunMode=1"), std::string::npos);
}

// The window plays a start file without asking for one.
TEST_F(AppTest, StartFileIsPlayedWithoutTheDialog) {
  WriteIni("RunMode=1\n");
  core = std::make_unique<CoreBridge>(state, display, clock);
  auto prompts = std::make_unique<FakePrompts>();
  prompts->boxes = &boxes;
  prompts->files = &files;
  prompts->asked = &asked;
  window = std::make_unique<MainWindow>(state, *core, std::move(prompts));
  display.SetWindow(window.get());
  window->SetStartFile(Q47V_TESTDATA_DIR "/imaging/harbour_sector.47V");
  window->show();
  window->Start();
  EXPECT_TRUE(asked.empty());
  EXPECT_TRUE(state.PlaybackFileOpen.load());
  EXPECT_NE(window->windowTitle().toStdString().find("harbour_sector.47V"), std::string::npos);
}

// An option the program does not know is named and refused (status 2); without a
// display the program says so and ends with status 1, instead of aborting inside
// Qt.
TEST(CloseSignalTest, UnknownOptionAndMissingDisplayAreReported) {
  QProcess app;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  app.setProcessEnvironment(env);
  app.start(Q47V_BINARY_DIR "/src/app/winq47v", {"--foo"});
  ASSERT_TRUE(app.waitForFinished(15000));
  EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(app.exitCode(), 2);
  EXPECT_NE(app.readAllStandardError().toStdString().find("unknown option '--foo'"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("WINQ47V.INI")) << "the program ran";

  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.insert("QT_QPA_PLATFORM", "xcb");
  app.setProcessEnvironment(env);
  app.start(Q47V_BINARY_DIR "/src/app/winq47v", {});
  ASSERT_TRUE(app.waitForFinished(15000));
  EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << "crashed";
  EXPECT_EQ(app.exitCode(), 1);
  EXPECT_NE(app.readAllStandardError().toStdString().find("winq47v: cannot open the display"), std::string::npos);
}

}  // namespace
