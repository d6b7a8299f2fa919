// SPDX-License-Identifier: GPL-3.0-or-later
// Survey runs through the real window against the simulator on a pty: vertical
// auto-profile over the simulated dredged channel (a file and a capture per sweep,
// the save question), a full-circle polar sweep, a horizontal scan with the
// orientation module and its payout, and an auto-azimuth run that turns the drive.
#include <QLineEdit>
#include <QDate>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>

#include "app_fixture.h"
#include "dialogs/auto_azimuth_dialog.h"
#include "window/menu_bar.h"
#include "dialogs/snapshot_dialog.h"
#include "test_text.h"

namespace {

double Num(const std::string& s) { return std::stod(s); }

class LiveSurvey : public AppTest {
 protected:
  void StartSim(const QStringList& extra) {
    QStringList args{"--ini", "WINQ47V.INI", "--quiet", "--no-gps", "--fast", "--scene", "channel"};
    args << extra;
    sim.start(Q47V_BINARY_DIR "/src/sim/q47v-sim", args);
    ASSERT_TRUE(sim.waitForStarted());
    ASSERT_TRUE(PumpUntil([] { return ReadText("WINQ47V.INI").find("COM1=") != std::string::npos; }, 20000));
  }
  void TearDown() override {
    AppTest::TearDown();
    sim.terminate();
    sim.waitForFinished(5000);
  }
  QProcess sim;
};

// Three saved sweeps of a vertical scan (one more answered "No"): a file and a
// capture each, under the dated names; N points give N-2 lines after the header;
// the points lie on the channel floor 11 m below the head.
TEST_F(LiveSurvey, VerticalScanWritesAFileAndACapturePerSweep) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\nUnits=0\n"
           "AutoProfileXYZ=1\nAutoProfileBMP=1\nAutoProfileSaveConfirmation=1\nAutoProfilePromptForScan=0\n"
           "XYZTimestamp=1\nXYZRangeHorVer=1\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  StartSim({"--no-azimuth", "--no-orientation"});
  Open();
  std::vector<int> saved_counts;
  int questions = 0;
  display.Outputs().SetDialogHook([&](QDialog& d) {
    if (auto* s = qobject_cast<SnapshotDialog*>(&d)) {
      s->SetBox(10, true);
      s->SetBox(500, true);
      s->SetBox(501, true);
      s->SetBox(502, true);
      s->SetBox(503, false);
      s->Field(100)->setText("25.5");
      s->Field(200)->setText("0");
      s->PressOk();
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(&d);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text().toStdString(), "Save This Profile?");
    // The comm thread waits for this answer: the sweep's points stand still.
    const bool yes = ++questions != 2;
    if (yes) saved_counts.push_back(state.ProfilePoints.Count);
    box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
  });
  window->OnCommand(cmd::kVerticalScan);
  // The capture follows the file of its sweep.
  ASSERT_TRUE(PumpUntil([&] { return questions >= 4 && SortedFileNames(".", ".bmp").size() >= 3; }, 90000))
      << questions << " questions, " << state.XyzFilesWritten << " files";
  window->SetQuietClose(true);
  window->close();

  const std::vector<std::string> xyz = SortedFileNames(".", ".xyz");
  ASSERT_EQ(xyz.size(), 3u);
  const QRegularExpression name("^\\d\\d[a-z]{3}\\d{4}-000[1-3]\\.(xyz|bmp)$");
  for (std::size_t i = 0; i < xyz.size(); ++i) {
    EXPECT_TRUE(name.match(QString::fromStdString(xyz[i])).hasMatch()) << xyz[i];
    const std::vector<std::string> lines = CrLfLines(ReadText(xyz[i]));
    if (i > 0) {
      ASSERT_GT(saved_counts[i], 10);
    }
    EXPECT_EQ(lines.size(), 4u + static_cast<std::size_t>(saved_counts[i]) - 2u) << xyz[i];
    EXPECT_EQ(lines[0], "0025.50,M");
    EXPECT_EQ(lines[3], "1500.00");
    int floor_points = 0;
    for (std::size_t k = 4; k < lines.size(); ++k) {
      const std::vector<std::string> c = Columns(lines[k]);
      ASSERT_EQ(c.size(), 8u) << lines[k];  // date, time, range, 0, beam angle, X, Y, Z
      const double x = Num(c[5]), y = Num(c[6]), z = Num(c[7]);
      EXPECT_DOUBLE_EQ(y, 25.5);
      EXPECT_LT(std::abs(x), 20.0) << lines[k];
      EXPECT_GT(z, 5.0) << lines[k];  // zero down: depths below the head
      EXPECT_LT(z, 15.0) << lines[k];
      if (std::abs(x) < 3.0) {
        ++floor_points;
        EXPECT_NEAR(z, 11.0, 0.5) << lines[k];  // the channel floor
      }
    }
    // The first sweep may be a part: the scan starts wherever the head is.
    if (i > 0) {
      EXPECT_GT(floor_points, 3) << xyz[i];
    }
  }
  // A capture for each saved sweep, and none for the one answered "No".
  const std::vector<std::string> bmp = SortedFileNames(".", ".bmp");
  ASSERT_EQ(bmp.size(), 3u);
  for (const std::string& b : bmp) {
    EXPECT_TRUE(name.match(QString::fromStdString(b)).hasMatch()) << b;
    const std::string data = ReadText(b);
    ASSERT_GT(data.size(), 54u);
    EXPECT_EQ(data.substr(0, 2), "BM");
    EXPECT_EQ(data[28], 24);  // bits per pixel
  }
  EXPECT_EQ(bmp.back().substr(0, 14), xyz.back().substr(0, 14));
}

// A full-circle polar sweep ends at the turn through step 0, and only once more
// than 100 points are in.
TEST_F(LiveSurvey, PolarSweepEndsAfterMoreThanAHundredPoints) {
  WriteIni("RunMode=0\nGridMode=1\nPolarSectorSize=360\nRange=6\nSpeed=4\nUnits=0\n"
           "AutoProfileXYZ=1\nAutoProfileBMP=0\nAutoProfileSaveConfirmation=1\nAutoProfilePromptForScan=0\n"
           "XYZRangeHorVer=1\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  StartSim({"--no-azimuth", "--no-orientation"});
  Open();
  std::vector<int> counts;
  display.Outputs().SetDialogHook([&](QDialog& d) {
    if (auto* s = qobject_cast<SnapshotDialog*>(&d)) {
      s->SetBox(10, true);
      s->SetBox(500, true);
      s->SetBox(502, true);
      s->PressOk();
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(&d);
    ASSERT_NE(box, nullptr);
    counts.push_back(state.ProfilePoints.Count);
    box->button(QMessageBox::Yes)->click();
  });
  window->OnCommand(cmd::kVerticalScan);
  ASSERT_TRUE(PumpUntil([&] { return state.XyzFilesWritten >= 1; }, 90000));
  window->SetQuietClose(true);
  window->close();
  ASSERT_EQ(counts.size(), 1u);
  EXPECT_GT(counts[0], 100);
  const std::vector<std::string> lines = CrLfLines(ReadText(SortedFileNames(".", ".xyz").at(0)));
  ASSERT_EQ(lines.size(), 4u + static_cast<std::size_t>(counts[0]) - 2u);
  // The points go round the circle.
  double lo = 360, hi = 0;
  for (std::size_t k = 4; k < lines.size(); ++k) {
    const std::vector<std::string> c = Columns(lines[k]);
    ASSERT_GE(c.size(), 6u);
    const double beam = Num(c[c.size() - 4]);
    lo = std::min(lo, beam);
    hi = std::max(hi, beam);
  }
  EXPECT_GT(hi - lo, 330.0);
}

// The window's own recording of a vertical scan, re-made by q47v xyz, gives the
// files the window wrote, byte for byte: the recording starts while the scan
// dialog is answered and ends while the third sweep's save question waits.
TEST_F(LiveSurvey, WindowScanEqualsTheSurveyReMadeFromItsRecording) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\nUnits=0\n"
           "AutoProfileXYZ=1\nAutoProfileBMP=0\nAutoProfileSaveConfirmation=1\nAutoProfilePromptForScan=0\n"
           "XYZTimestamp=1\nXYZRangeHorVer=1\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  StartSim({"--no-azimuth", "--no-orientation"});
  Open();
  int questions = 0;
  display.Outputs().SetDialogHook([&](QDialog& d) {
    if (auto* s = qobject_cast<SnapshotDialog*>(&d)) {
      s->SetBox(10, true);
      s->SetBox(500, true);
      s->SetBox(502, true);
      s->Field(100)->setText("12.5");
      ASSERT_TRUE(window->Core().StartRecording("scan.47V"));
      s->PressOk();
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(&d);
    ASSERT_NE(box, nullptr);
    const bool keep = ++questions <= 3;
    if (questions == 3) window->Core().StopRecording();
    box->button(keep ? QMessageBox::Yes : QMessageBox::No)->click();
  });
  window->OnCommand(cmd::kVerticalScan);
  ASSERT_TRUE(PumpUntil([&] { return state.XyzFilesWritten >= 3; }, 90000)) << state.XyzFilesWritten;
  window->SetQuietClose(true);
  window->close();
  const std::vector<std::string> live = SortedFileNames(".", ".xyz");
  ASSERT_EQ(live.size(), 3u);
  const std::string xyz = std::string(Q47V_BINARY_DIR) + "/src/cli/q47v xyz scan.47V --geometry vertical "
                          "--ini WINQ47V.INI --out re >xyz.out 2>&1";
  ASSERT_EQ(std::system(xyz.c_str()), 0) << ReadText("xyz.out");
  std::vector<std::string> remade;
  for (const auto& e : std::filesystem::directory_iterator("re")) remade.push_back(e.path().filename().string());
  std::sort(remade.begin(), remade.end());
  ASSERT_EQ(remade, live) << ReadText("xyz.out");
  for (const std::string& name : live) {
    const std::string a = ReadText(name), b = ReadText("re/" + name);
    EXPECT_EQ(a.size(), b.size()) << name;
    EXPECT_TRUE(a == b) << name << " differs";
  }
}

// A horizontal scan with the orientation module answering: X, Y, Z per point, and
// each Ok of the prompt lowers the elevation by the payout increment.
TEST_F(LiveSurvey, HorizontalScanWithTheOrientationModule) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\nUnits=0\nProfileElevation=10.0\n"
           "AutoProfileXYZ=1\nAutoProfileBMP=0\nAutoProfileSaveConfirmation=0\nAutoProfilePromptForScan=1\n"
           "XYZTimestamp=1\nXYZPitchRollHeading=1\n"
           "[Orientation Module Settings]\nEnableOrientationModule=1\n");
  StartSim({"--no-azimuth"});
  Open();
  std::vector<std::string> elevations;
  display.Outputs().SetDialogHook([&](QDialog& d) {
    auto* s = qobject_cast<SnapshotDialog*>(&d);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->windowTitle().toStdString(), "Auto-Profile (Horizontal Scan)");
    elevations.push_back(s->Field(200)->text().toStdString());
    if (elevations.size() == 1) {
      s->SetBox(10, true);
      s->SetBox(500, true);
      s->SetBox(501, false);
      s->SetBox(503, true);
      s->Field(400)->setText("2.0");
    }
    if (elevations.size() == 3) s->SetBox(10, false);  // enough
    s->PressOk();
  });
  window->OnCommand(cmd::kHorizontalScan);
  // The module's answers are watched during the run: a link that lost them for a
  // while (a loaded machine) shows zeros again until the next one.
  bool attitude = false;
  ASSERT_TRUE(PumpUntil(
      [&] {
        attitude = attitude || state.OrientationPitch.load() != 0.0f || state.OrientationRoll.load() != 0.0f;
        return elevations.size() >= 3;
      },
      90000))
      << elevations.size();
  window->SetQuietClose(true);
  window->close();
  EXPECT_TRUE(attitude) << "the orientation module never answered";
  EXPECT_EQ(elevations, (std::vector<std::string>{" 10.00", "  8.00", "  6.00"}));
  EXPECT_FLOAT_EQ(state.ProfileElevation, 6.0f);
  const std::vector<std::string> xyz = SortedFileNames(".", ".xyz");
  ASSERT_EQ(xyz.size(), 2u);
  double mean_z[2] = {0, 0};
  for (int f = 0; f < 2; ++f) {
    const std::vector<std::string> lines = CrLfLines(ReadText(xyz[static_cast<std::size_t>(f)]));
    ASSERT_GT(lines.size(), 10u);
    for (const std::string& l : lines) {
      const std::vector<std::string> c = Columns(l);
      ASSERT_EQ(c.size(), 5u) << l;  // date, time, X, Y, Z: no header, no angles
      for (int k = 2; k < 5; ++k) {
        EXPECT_EQ(c[static_cast<std::size_t>(k)].size(), 8u) << l;  // "% 08.3f"
        EXPECT_TRUE(std::isfinite(Num(c[static_cast<std::size_t>(k)]))) << l;
      }
      mean_z[f] += Num(c[4]) / static_cast<double>(lines.size());
    }
  }
  // The second scan was taken 2 m lower (10.0 then 8.0). The module's pitch and
  // roll (up to about 4 degrees either way) tilt each sweep's points, at these
  // ranges by up to about a metre, whichever way the head leaned at the time.
  EXPECT_NEAR(mean_z[0] - mean_z[1], 2.0, 1.5);
}

// Auto-azimuth from 0.0 to 60.0 by 30.0: the drive is commanded to each angle,
// one file holds three blocks of points separated by empty lines, the vertical
// scan item is grey during the run, and "Scan complete." ends it.
TEST_F(LiveSurvey, AutoAzimuthRunTurnsTheDriveAndWritesOneFile) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\nUnits=0\n"
           "AzimuthDriveEnable=1\nAzimuthWindow=1\nAzimuthAngle=600\nXYZRangeHorVer=1\nXYZTimestamp=1\n"
           "[Orientation Module Settings]\nEnableOrientationModule=0\n");
  StartSim({"--no-orientation", "--azimuth-rate", "300"});
  Open();
  ASSERT_TRUE(PumpUntil([this] { return state.AzimuthDriveFound.load(); }, 30000)) << "drive not found";
  std::vector<std::string> complete;
  display.Outputs().SetDialogHook([&](QDialog& d) {
    if (auto* a = qobject_cast<AutoAzimuthDialog*>(&d)) {
      a->SetBox(10, true);
      a->SetBox(500, true);
      a->Field(100)->setText("0.0");
      a->Field(200)->setText("60.0");
      a->Field(300)->setText("30.0");
      a->PressOk();
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(&d);
    ASSERT_NE(box, nullptr);
    complete.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
    box->button(QMessageBox::Ok)->click();
  });
  window->OnCommand(cmd::kAutoAzimuth);
  std::set<int> commanded;
  bool greyed = false;
  ASSERT_TRUE(PumpUntil([&] {
    commanded.insert(state.AzimuthAngle.load());
    greyed |= !window->Menu().IsEnabled(cmd::kVerticalScan);
    return !complete.empty();
  }, 120000)) << "no end of the run";
  EXPECT_TRUE(PumpUntil([&] { return window->Menu().IsEnabled(cmd::kVerticalScan); }, 5000));
  window->SetQuietClose(true);
  window->close();
  EXPECT_EQ(complete, std::vector<std::string>{"Auto-Azimuth: Scan complete."});
  EXPECT_TRUE(greyed);
  EXPECT_TRUE(commanded.count(600) && commanded.count(700) && commanded.count(800))
      << "angles commanded: " << commanded.size();
  EXPECT_FALSE(state.AutoAzimuthEnabled.load());
  EXPECT_FALSE(state.AutoProfileScanActive.load());
  const std::vector<std::string> xyz = SortedFileNames(".", ".xyz");
  ASSERT_EQ(xyz.size(), 1u);
  // Blocks of point lines, each closed by one empty line.
  std::vector<std::vector<std::vector<std::string>>> blocks(1);
  const std::vector<std::string> lines = CrLfLines(ReadText(xyz[0]));
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(lines.back().empty());
  for (const std::string& l : lines) {
    if (l.empty()) {
      blocks.emplace_back();
      continue;
    }
    blocks.back().push_back(Columns(l));
  }
  blocks.pop_back();  // after the last empty line
  ASSERT_EQ(blocks.size(), 3u);
  const double expected[3] = {0.0, 30.0, 60.0};
  for (std::size_t b = 0; b < 3; ++b) {
    ASSERT_GT(blocks[b].size(), 10u) << b;
    for (const auto& c : blocks[b]) {
      ASSERT_EQ(c.size(), 8u);  // date, time, range, azimuth, beam angle, X, Y, Z
      double az = Num(c[3]);
      if (az > 180.0) az -= 360.0;
      EXPECT_NEAR(az, expected[b], 1.0) << "block " << b;
    }
  }
}

// A survey file that cannot be written (here its name is taken by a folder) is
// told once per scan, under the dialog's title; the pinging goes on.
TEST_F(LiveSurvey, UnwritableSurveyFileIsToldOncePerScan) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\n"
           "AutoProfileXYZ=1\nAutoProfileBMP=0\nAutoProfileSaveConfirmation=0\nAutoProfilePromptForScan=0\n"
           "[Orientation Module Settings]\nEnableOrientationModule=0\n");
  // The name the next file would take after number 9999 of today.
  static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
  const QDate today = QDate::currentDate();
  char stem[32];
  std::snprintf(stem, sizeof stem, "%02d%s%04d-9999.xyz", today.day(), kMonths[today.month() - 1], today.year());
  std::filesystem::create_directory(stem);
  StartSim({"--no-azimuth", "--no-orientation"});
  Open();
  display.Outputs().SetDialogHook([&](QDialog& d) {
    auto* s = qobject_cast<SnapshotDialog*>(&d);
    ASSERT_NE(s, nullptr);
    s->SetBox(10, true);
    s->PressOk();
  });
  window->OnCommand(cmd::kVerticalScan);
  ASSERT_TRUE(PumpUntil([&] { return state.SweepsCompleted >= 2 && boxes.size() >= 2; }, 60000))
      << state.SweepsCompleted << " sweeps, " << boxes.size() << " boxes";
  const int pings = state.PingsProcessed;
  EXPECT_TRUE(PumpUntil([&] { return state.PingsProcessed > pings + 10; }, 20000)) << "pinging stopped";
  const int sweeps = state.SweepsCompleted;
  window->SetQuietClose(true);
  window->close();
  EXPECT_TRUE(SortedFileNames(".", ".xyz").empty() || SortedFileNames(".", ".xyz") == std::vector<std::string>{stem});
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_LE(boxes.size(), static_cast<std::size_t>(sweeps));  // at most one a scan
  for (const ShownBox& b : boxes) {
    EXPECT_EQ(b.title, "Auto-Profile");
    EXPECT_TRUE(b.warning);
    EXPECT_NE(b.text.find(stem), std::string::npos) << b.text;
  }
}

}  // namespace
