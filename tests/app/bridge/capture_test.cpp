// SPDX-License-Identifier: GPL-3.0-or-later
// "&Save Screen..." and the playback frame captures: dialog, extension check, the
// 24-bit BMP layout and the numbered names.
#include <QCursor>
#include <QImage>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app_fixture.h"
#include "bridge/screen_capture.h"
#include "window/menu_bar.h"

namespace {

uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

TEST_F(AppTest, SaveScreenWritesA24BitBmpOfTheWindow) {
  Open();
  files.push_back("shot.txt");
  window->OnCommand(207);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Save Screen As");
  EXPECT_EQ(boxes[0].text, "File extension must be .BMP");
  EXPECT_EQ(asked[0].filter, "BITMAP File    (*.BMP)");
  EXPECT_EQ(asked[0].default_ext, "BMP");
  files.push_back("Shot.BMP");
  window->OnCommand(207);
  std::ifstream in("Shot.BMP", std::ios::binary);
  const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), {});
  ASSERT_GT(b.size(), 54u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  const uint32_t w = U32(b, 18), h = U32(b, 22);
  // The whole window with its frame, as the window system shows it.
  EXPECT_EQ(w, static_cast<uint32_t>(window->frameGeometry().width()));
  EXPECT_EQ(h, static_cast<uint32_t>(window->frameGeometry().height()));
  const uint32_t row = (w * 3 + 3) / 4 * 4;
  EXPECT_EQ(U32(b, 2), row * h + 54);
  EXPECT_EQ(U32(b, 10), 54u);
  EXPECT_EQ(U32(b, 14), 40u);
  EXPECT_EQ(b[28], 24);
  EXPECT_EQ(U32(b, 34), row * h);
  EXPECT_EQ(b.size(), row * h + 54);
}

TEST(CaptureNameTest, NumbersFollowTheLargestInTheFolder) {
  std::filesystem::create_directories("data");
  EXPECT_EQ(NextPlaybackCaptureName("data/survey.47v"), "data/survey-0001.bmp");
  std::ofstream("data/SURVEY-0011.BMP") << "x";
  std::ofstream("data/survey-0003.bmp") << "x";
  std::ofstream("data/survey-00x9.bmp") << "x";
  std::ofstream("data/other-0050.bmp") << "x";
  EXPECT_EQ(NextPlaybackCaptureName("data/survey.47v"), "data/survey-0012.bmp");
  std::ofstream("data/survey-9999.bmp") << "x";
  EXPECT_EQ(NextPlaybackCaptureName("data/survey.47v"), "data/survey-9999.bmp");
  EXPECT_TRUE(HasBmpExtension("a.BmP"));
  EXPECT_FALSE(HasBmpExtension("a.bm"));
}

// Auto frame capture in playback: the frame's name shows for a second and a half
// with playback paused and the wait cursor up, then the frame is written and
// playback goes on with the arrow cursor.
TEST_F(AppTest, AutoFrameCaptureShowsTheNameForASecondAndAHalfWithTheWaitCursor) {
  std::filesystem::copy_file(Q47V_TESTDATA_DIR "/imaging/harbour_sector.47V", "sweep.47V");
  WriteIni("RunMode=1\nPlotSpeed=100\nAzimuthDriveEnable=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  files.push_back("sweep.47V");
  Open();
  ASSERT_TRUE(state.PlaybackFileOpen.load());
  window->OnCommand(cmd::kAutoFrameCapture);
  ASSERT_EQ(state.AutoFrameCaptureOn, 1);
  auto waiting = [] { return QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor; };
  ASSERT_TRUE(PumpUntil(waiting, 30000)) << "no wait cursor while a frame is captured";
  QElapsedTimer shown;
  shown.start();
  const int64_t position = state.PlaybackPosition.load();
  window->OnCommand(cmd::kAutoFrameCapture);  // off: this frame is the last, the cursor's return is its own
  ASSERT_EQ(state.AutoFrameCaptureOn, 0);
  EXPECT_FALSE(std::filesystem::exists("sweep-0001.bmp")) << "written before its name was shown";
  bool moved = false;
  ASSERT_TRUE(PumpUntil([&] {
    if (std::filesystem::exists("sweep-0001.bmp")) return true;
    moved = moved || state.PlaybackPosition.load() != position;
    return false;
  }, 5000));
  EXPECT_GE(shown.elapsed(), 1400) << "the name was not shown for a second and a half";
  EXPECT_FALSE(moved) << "playback went on while the name was shown";
  EXPECT_TRUE(PumpUntil([&] { return !waiting(); }, 1000));
  EXPECT_TRUE(PumpUntil([&] { return state.PlaybackPosition.load() != position; }, 3000)) << "playback did not go on";
  QImage frame("sweep-0001.bmp");
  EXPECT_FALSE(frame.isNull());
}

}  // namespace
