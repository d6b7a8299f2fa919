// SPDX-License-Identifier: GPL-3.0-or-later
// File > "Export Video...": the dialog offers the recording playing, makes the
// video on a worker thread while playback goes on, and Cancel leaves no file.
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

#include "app_fixture.h"
#include "dialogs/export_video_dialog.h"

namespace {

namespace fs = std::filesystem;

ExportVideoDialog* FindDialog(MainWindow& w) { return w.findChild<ExportVideoDialog*>("ExportVideoDialog"); }

}  // namespace

TEST_F(AppTest, ExportVideoOfThePlayingFileWhilePlaybackGoesOn) {
  fs::copy_file(std::string(Q47V_TESTDATA_DIR) + "/imaging/harbour_sector.47V", "harbour.47v");
  WriteIni("RunMode=1\n");
  files.push_back("harbour.47v");
  Open();
  ASSERT_TRUE(window->Menu().Has(2110));
  EXPECT_EQ(window->Menu().Text(2110).toStdString(), "Export &Video...");
  window->OnCommand(2110);
  ExportVideoDialog* d = FindDialog(*window);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(d->RecordingField()->text().toStdString(), "harbour.47v");
  EXPECT_EQ(d->OutputField()->text().toStdString(), "harbour.mp4");
  d->SpeedField()->setValue(4.0);
  const long played = state.PlayedBytes.load();
  d->StartButton()->click();
  EXPECT_TRUE(d->Running());
  EXPECT_FALSE(d->StartButton()->isEnabled());
  ASSERT_TRUE(PumpUntil([&] { return !d->Running(); }, 120000));
  EXPECT_TRUE(fs::exists("harbour.mp4")) << d->MessageLabel()->text().toStdString();
  EXPECT_EQ(d->Progress()->value(), 100);
  // 29.9 s of recording at 4x, 25 fps: 29.9 / 0.16 = 186.9, so 188 frames.
  EXPECT_TRUE(d->MessageLabel()->text().contains("188 frames, 7.52 s of video"))
      << d->MessageLabel()->text().toStdString();
  EXPECT_NE(state.PlayedBytes.load(), played);  // the window's playback went on
  EXPECT_TRUE(d->StartButton()->isEnabled());
}

TEST_F(AppTest, ExportVideoCancelAndWrongFieldsLeaveNoFile) {
  fs::copy_file(std::string(Q47V_TESTDATA_DIR) + "/imaging/harbour_polar.47V", "polar.47v");
  Open();
  window->OnCommand(2110);
  ExportVideoDialog* d = FindDialog(*window);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->RecordingField()->text().isEmpty());  // nothing playing in HEAD mode
  d->RecordingField()->setText("polar.47v");
  d->OutputField()->setText("polar.avi");
  EXPECT_FALSE(d->StartExport());
  EXPECT_EQ(d->MessageLabel()->text().toStdString(), "The video name must end in .mp4, .mkv or .webm.");
  d->OutputField()->setText("polar.mkv");
  d->FromField()->setText("1:30");
  d->ToField()->setText("noon");
  EXPECT_FALSE(d->StartExport());
  EXPECT_EQ(d->MessageLabel()->text().toStdString(), "Times are HH:MM:SS (or HH:MM:SS.hh).");
  d->ToField()->clear();
  d->SpeedField()->setValue(0.1);  // ten minutes of video: long enough to cancel
  ASSERT_TRUE(d->StartExport());
  ASSERT_TRUE(PumpUntil([&] { return fs::exists("polar.mkv.part"); }, 30000));
  d->CancelButton()->click();
  ASSERT_TRUE(PumpUntil([&] { return !d->Running(); }, 30000));
  EXPECT_EQ(d->MessageLabel()->text().toStdString(), "Cancelled; no video written.");
  EXPECT_FALSE(fs::exists("polar.mkv"));
  EXPECT_FALSE(fs::exists("polar.mkv.part"));
}
