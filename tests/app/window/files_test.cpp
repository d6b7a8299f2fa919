// SPDX-License-Identifier: GPL-3.0-or-later
// Record, playback and copy from the File menu with the dialogs answered by the
// fake: titles, messages, menu texts, the slider seek, Hold, and the real files.
#include <QDialog>
#include <QSlider>
#include <fstream>
#include <iterator>

#include "app_fixture.h"
#include "files/recorder.h"
#include "files/sonar_file.h"

namespace {

// Writes `count` live-looking records through the recorder.
void MakeSonarFile(const std::string& path, int count) {
  AppState s;
  FileDisplay quiet;
  ASSERT_TRUE(StartRecording(s, quiet, path));
  for (int i = 0; i < count; ++i) {
    const auto reply = GReply(300 + (i * 3) % 600, i);
    RecordedPing ping;
    ping.reply = reply;
    ping.type_code = 3;
    ping.time = LocalTime{2026, 12, 8, 1, 2, i % 60, 0};
    WriteSonarRecord(s, quiet, ping);
  }
  StopRecording(s, quiet);
}

// Reads a file record by record: the count of whole records, or -1 when a record
// is damaged or the records do not fill the file exactly.
int CountWholeRecords(const std::string& path) {
  SonarFileReader reader;
  std::string error;
  if (!reader.Open(path, error)) return -1;
  int64_t offset = 0;
  int n = 0;
  const int64_t length = reader.Length();
  while (offset < length) {
    if (reader.ReadRecordAt(offset) != RecordRead::kOk) return -1;
    offset += reader.fields().record_size;
    ++n;
  }
  return offset == length ? n : -1;
}

TEST_F(AppTest, PlaybackOpensWithTitleAndSlider) {
  MakeSonarFile("Dive.47V", 20);
  WriteIni("RunMode=1\nPlotSpeed=100\n");
  files.push_back("Dive.47V");
  Open();
  EXPECT_EQ(window->windowTitle().toStdString(), "WinQ47V Digital Sonar - Playback of Dive.47V");
  ASSERT_NE(window->Slider(), nullptr);
  EXPECT_EQ(window->Slider()->minimum(), 0);
  EXPECT_EQ(window->Slider()->maximum(), 100);
  EXPECT_EQ(window->Slider()->pageStep(), 10);
  EXPECT_EQ(window->Slider()->geometry(), QRect(620, 43, 154, 20));
  // Playback runs between events.
  for (int i = 0; i < 50 && state.PlayedBytes == 0; ++i) QTest::qWait(5);
  EXPECT_GT(state.PlayedBytes.load(), 0);
  // Back to HEAD: the slider goes.
  const Layout& L = window->GetLayout();
  ClickAt(L.HeadButtonRect.left + 2, L.HeadButtonRect.top + 2);
  QCoreApplication::processEvents();
  EXPECT_EQ(window->Slider(), nullptr);
}

TEST_F(AppTest, SliderSeekToHalfFindsTheNextRecord) {
  MakeSonarFile("seek.47v", 201);  // 201 records of 640 bytes: the middle is inside record 100
  WriteIni("RunMode=1\nPlotSpeed=0\n");
  files.push_back("seek.47v");
  Open();
  ASSERT_NE(window->Slider(), nullptr);
  window->Slider()->setValue(50);
  EXPECT_EQ(state.PlaybackPosition.load(), 101 * 640);
  window->Slider()->setValue(100);  // the ends do nothing
  EXPECT_EQ(state.PlaybackPosition.load(), 101 * 640);
}

TEST_F(AppTest, HoldStopsPlaybackButKeysStillWork) {
  MakeSonarFile("hold.47v", 50);
  WriteIni("RunMode=1\nPlotSpeed=100\n");
  files.push_back("hold.47v");
  Open();
  Key('h');
  const auto played = state.PlayedBytes.load();
  for (int i = 0; i < 5; ++i) QTest::qWait(5);
  EXPECT_EQ(state.PlayedBytes.load(), played);
  Key('c');  // clear still works
  Key('h');
  for (int i = 0; i < 50 && state.PlayedBytes == played; ++i) QTest::qWait(5);
  EXPECT_NE(state.PlayedBytes.load(), played);
}

// A message box (here "Capture Started...") is answered before the file plays on:
// playing inside the box's own loop stacked the end-of-file box over it.
TEST_F(AppTest, PlaybackWaitsWhileABoxIsOpen) {
  MakeSonarFile("boxed.47v", 50);
  WriteIni("RunMode=1\nPlotSpeed=100\n");
  files.push_back("boxed.47v");
  Open();
  QDialog box(window.get());
  box.setModal(true);
  box.show();
  QCoreApplication::processEvents();
  const auto played = state.PlayedBytes.load();
  for (int i = 0; i < 20; ++i) QTest::qWait(10);
  EXPECT_EQ(state.PlayedBytes.load(), played);
  box.close();
  for (int i = 0; i < 100 && state.PlayedBytes == played; ++i) QTest::qWait(10);
  EXPECT_NE(state.PlayedBytes.load(), played);
}

TEST_F(AppTest, PlaybackRefusesWrongExtensionAndWrongMagic) {
  std::ofstream("notes.txt") << "hello";
  std::ofstream("junk.47v") << "not a sonar file at all";
  WriteIni("RunMode=1\n");
  files.push_back("notes.txt");
  Open();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Open a Sonar File For Playback");
  EXPECT_EQ(boxes[0].text, "File extension must be .47V");
  EXPECT_TRUE(boxes[0].warning);
  files.push_back("junk.47v");
  window->OnCommand(10);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Data type is incorrect --> check file format");
  EXPECT_EQ(window->windowTitle().toStdString(), "WinQ47V Digital Sonar - [No File]");
}

TEST_F(AppTest, RecordFromTheMenu) {
  Open();
  files.push_back("Run1.TXT");
  window->OnCommand(15);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Open a Sonar File For Recording");
  EXPECT_EQ(boxes[0].text, "File extension must be .47V");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_TRUE(asked[0].save);
  files.push_back("Run1.47V");
  window->OnCommand(15);
  EXPECT_EQ(window->Menu().Text(15).toStdString(), "&Record Stop...");
  EXPECT_EQ(window->windowTitle().toStdString(), "WinQ47V Digital Sonar - Recording to Run1.47V");
  EXPECT_TRUE(state.SendRequest);
  window->OnCommand(15);
  EXPECT_EQ(window->Menu().Text(15).toStdString(), "&Record Start...");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].title, "Close Record File");
  EXPECT_EQ(boxes[1].text, "Run1.47V");
  EXPECT_EQ(window->windowTitle().toStdString(), "WinQ47V Digital Sonar");
  EXPECT_EQ(CountWholeRecords("Run1.47V"), 0);  // created under the name as chosen
}

TEST_F(AppTest, CopyWhilePlaying) {
  MakeSonarFile("src.47v", 30);
  WriteIni("RunMode=1\nPlotSpeed=100\n");
  files.push_back("src.47v");
  Open();
  files.push_back("copy.47v");
  window->OnCommand(16);
  EXPECT_EQ(window->Menu().Text(16).toStdString(), "&Copy Stop...");
  EXPECT_EQ(window->windowTitle().toStdString().rfind("WinQ47V Digital Sonar - Copying to copy.47v", 0), 0u);
  for (int i = 0; i < 100 && state.CopiedBytes < 640 * 5; ++i) QTest::qWait(5);
  window->OnCommand(16);
  EXPECT_EQ(window->Menu().Text(16).toStdString(), "&Copy Start...");
  EXPECT_EQ(boxes.back().title, "Close Copy File");
  EXPECT_GE(CountWholeRecords("copy.47v"), 5);
}

TEST_F(AppTest, CloseSavesSettingsAndClosesTheRecording) {
  MakeSonarFile("unused.47v", 1);
  Open();
  files.push_back("keep.47v");
  window->OnCommand(15);
  ASSERT_TRUE(state.RecordFileOpen);
  Type("G33\r");
  window->SetQuietClose(true);
  window->close();
  EXPECT_TRUE(window->Closed());
  EXPECT_FALSE(state.RecordFileOpen);
  EXPECT_TRUE(boxes.empty());  // a quiet close shows no boxes
  EXPECT_EQ(CountWholeRecords("keep.47v"), 0);
  std::ifstream ini("WINQ47V.INI");
  const std::string text((std::istreambuf_iterator<char>(ini)), {});
  EXPECT_NE(text.find("Gain=33"), std::string::npos) << text;
}

}  // namespace
