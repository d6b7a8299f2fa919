// SPDX-License-Identifier: GPL-3.0-or-later
// The orderly close during a survey: the real program (winq47v-demo --survey, live
// against q47v-sim) gets SIGTERM in the middle of an auto-azimuth run, and while
// the prompt for another scan waits for an answer. Either way it ends at once with
// the settings saved and the .XYZ files holding whole lines.
#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <thread>

#include "app_fixture.h"
#include "test_text.h"

namespace {

template <typename Fn>
bool WaitFor(Fn done, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class SurveyClose : public ::testing::Test {
 protected:
  void StartBoth(const std::string& ini, const QStringList& sim_extra, const QString& survey) {
    std::ofstream("WINQ47V.INI") << ini;
    QStringList args{"--ini", "WINQ47V.INI", "--quiet", "--no-gps", "--fast", "--scene", "channel"};
    args << sim_extra;
    sim.start(Q47V_BINARY_DIR "/src/sim/q47v-sim", args);
    ASSERT_TRUE(sim.waitForStarted());
    ASSERT_TRUE(WaitFor([] { return ReadText("WINQ47V.INI").find("COM1=") != std::string::npos; },
                        std::chrono::seconds(20)));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    app.setProcessEnvironment(env);
    app.start(Q47V_BINARY_DIR "/src/app/winq47v-demo", {"--seconds", "600", "--survey", survey});
    ASSERT_TRUE(app.waitForStarted());
  }
  // SIGTERM; the program must be gone within a few seconds, in order.
  void Terminate() {
    ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
    const bool ended = app.waitForFinished(10000);
    if (!ended) app.kill();
    ASSERT_TRUE(ended) << "the program did not close on SIGTERM";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
  }
  void TearDown() override {
    if (app.state() != QProcess::NotRunning) {
      app.kill();
      app.waitForFinished(5000);
    }
    sim.terminate();
    sim.waitForFinished(5000);
  }
  QProcess sim, app;
};

TEST_F(SurveyClose, SigtermInTheMiddleOfAnAutoAzimuthRun) {
  StartBoth("[Settings]\nRunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\n"
            "AzimuthDriveEnable=1\nAzimuthAngle=600\nXYZRangeHorVer=1\nXYZTimestamp=1\n"
            "AutoProfileXYZ=1\nAutoProfilePromptForScan=1\n"
            "[Orientation Module Settings]\nEnableOrientationModule=0\n",
            {"--no-orientation", "--azimuth-rate", "60"}, "azimuth");
  // The run's file has its first block, and the run goes on (0 to 330 by 30).
  ASSERT_TRUE(WaitFor(
      [] {
        const auto files = SortedFileNames(".", ".xyz");
        return !files.empty() && ReadText(files[0]).find("\r\n\r\n") != std::string::npos;
      },
      std::chrono::seconds(60)));
  Terminate();
  const auto files = SortedFileNames(".", ".xyz");
  ASSERT_EQ(files.size(), 1u);
  const std::string text = ReadText(files[0]);
  ASSERT_GE(text.size(), 4u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << "the file ends in a torn line";
  std::size_t at = 0;
  int points = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    if (line.empty()) continue;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 7) << line;
    ++points;
  }
  EXPECT_GT(points, 10);
  // The settings were saved, as the run left them: its angles, and the auto-profile
  // outputs it turned off.
  const std::string ini = ReadText("WINQ47V.INI");
  for (const char* key : {"AutoAzimuthStartAngle=600", "AutoAzimuthStopAngle=500", "AutoAzimuthIncAngle=100",
                          "AutoProfileXYZ=0", "AutoProfilePromptForScan=0", "AzimuthDriveEnable=1", "PlotSpeed="})
    EXPECT_NE(ini.find(key), std::string::npos) << key << "\n" << ini;
}

TEST_F(SurveyClose, SigtermWhileThePromptForAnotherScanIsOpen) {
  StartBoth("[Settings]\nRunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\n"
            "AutoProfileBMP=1\n[Orientation Module Settings]\nEnableOrientationModule=0\n",
            {"--no-orientation", "--no-azimuth"}, "vertical");
  // The first scan is written; the dialog for the next one then waits for the user
  // (the comm thread with it).
  ASSERT_TRUE(WaitFor([] { return !SortedFileNames(".", ".xyz").empty(); }, std::chrono::seconds(60)));
  std::this_thread::sleep_for(std::chrono::seconds(1));
  Terminate();
  EXPECT_EQ(SortedFileNames(".", ".xyz").size(), 1u);
  const std::string ini = ReadText("WINQ47V.INI");
  for (const char* key : {"AutoProfileBMP=0", "AutoProfileXYZ=1", "AutoProfilePromptForScan=1", "PlotSpeed="})
    EXPECT_NE(ini.find(key), std::string::npos) << key << "\n" << ini;
}

}  // namespace
