// SPDX-License-Identifier: GPL-3.0-or-later
// The client area scaled to a window larger than the layout: where it sits, input
// mapped back to the layout pixel under the pointer, repaints of the layout area
// that changed only, the drawing at scale 1 for captures, and the window options
// of the Options menu kept in WINQ47V.INI.
#include <QAction>
#include <QMenuBar>
#include <cmath>

#include "app_fixture.h"
#include "window/menu_bar.h"

namespace {

class ScalingTest : public AppTest {
 protected:
  // Resizes the window so that its client area is `w` x `h`.
  void ClientAreaOf(int w, int h) {
    window->resize(w, h + window->menuBar()->height());
    PumpUntil([&] { return window->centralWidget()->size() == QSize(w, h); }, 3000);
    ASSERT_EQ(window->centralWidget()->size(), QSize(w, h));
  }
  void ClickDevice(int x, int y) { QTest::mouseClick(window->Client(), Qt::LeftButton, {}, QPoint(x, y)); }
  // Paints what is pending; the layout rectangle the last paint covered.
  QRect Painted() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    return window->LastPaintRect();
  }
};

TEST_F(ScalingTest, LayoutSizedWindowIsAtScaleOneAtTheTopLeft) {
  Open();
  EXPECT_EQ(window->Client()->Scale(), 1.0);
  EXPECT_EQ(window->Client()->geometry(), QRect(0, 0, kLayoutWidth, kLayoutHeight));
  // Only wider: still scale 1, centred across.
  ClientAreaOf(1000, kLayoutHeight);
  EXPECT_EQ(window->Client()->Scale(), 1.0);
  EXPECT_EQ(window->Client()->geometry(), QRect(95, 0, kLayoutWidth, kLayoutHeight));
}

TEST_F(ScalingTest, TwiceTheLayoutScalesByTwoAndMapsClicksAndRepaints) {
  Open();
  ClientAreaOf(2 * kLayoutWidth + 40, 2 * kLayoutHeight);
  ASSERT_EQ(window->Client()->Scale(), 2.0);
  EXPECT_EQ(window->Client()->geometry(), QRect(20, 0, 2 * kLayoutWidth, 2 * kLayoutHeight));
  // Hold is hit for x > 734: the device pixels 1469 and 1470 are layout 734 and 735.
  const bool held = state.HoldActive.load();
  ClickDevice(2 * 734 + 1, 2 * 9);
  EXPECT_EQ(state.HoldActive.load(), held);
  ClickDevice(2 * 735, 2 * 9);
  EXPECT_NE(state.HoldActive.load(), held);
  // A layout rectangle's repaint paints that rectangle of the layout.
  Painted();
  window->UpdateRect(100, 100, 109, 119);
  EXPECT_EQ(Painted(), QRect(100, 100, 10, 20));
  // What a ping drew: its area, not the window.
  DirtyRect ping;
  ping.Add(200, 40);
  ping.Add(260, 90);
  window->QueueImageRepaint(ping);
  window->FlushDirty();
  EXPECT_EQ(Painted(), QRect(kImageWindowX + 200, kImageWindowY + 40, 61, 51));
}

TEST_F(ScalingTest, FractionalScaleMapsToTheLayoutPixelUnderThePointer) {
  Open();
  ClientAreaOf(1215, 854);
  const double s = window->Client()->Scale();
  ASSERT_DOUBLE_EQ(s, 1.5);
  // Device 1102 is layout 734.67 (pixel 734), device 1103 layout 735.33.
  const bool held = state.HoldActive.load();
  ClickDevice(1102, 14);
  EXPECT_EQ(state.HoldActive.load(), held);
  ClickDevice(1103, 14);
  EXPECT_NE(state.HoldActive.load(), held);
  EXPECT_EQ(window->Client()->ToLayout(QPointF(1102.9, 14)), QPoint(735, 9));
  // Repaints cover the layout rectangle, rounded outwards to whole pixels.
  Painted();
  window->UpdateRect(101, 101, 110, 120);
  const QRect painted = Painted();
  EXPECT_TRUE(painted.contains(QRect(101, 101, 10, 20))) << painted.x() << "," << painted.y() << " "
                                                         << painted.width() << "x" << painted.height();
  EXPECT_LE(painted.width(), 12);
  EXPECT_LE(painted.height(), 22);
}

TEST_F(ScalingTest, ScaledWindowDrawsTheLayoutAtScaleOneAsUnscaled) {
  WriteIni("RunMode=1\nPlotSpeed=100\nAzimuthDriveEnable=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  files.push_back(Q47V_TESTDATA_DIR "/imaging/harbour_sector.47V");
  Open();
  ASSERT_TRUE(PumpUntil([&] {
    PingImage& img = core->Image();
    std::lock_guard lock(img.Lock());
    int lit = 0;
    for (int i = 0; i < kImageBytes; ++i) lit += (img.Pixels()[i] & 0x7F) != 0 && img.Pixels()[i] < 108;
    return lit > 20000;
  }, 20000));
  Key('h');
  ASSERT_TRUE(state.HoldActive.load());
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  ASSERT_NE(window->Slider(), nullptr);
  const QImage unscaled = window->Capture().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(unscaled.size(), QSize(kLayoutWidth, kLayoutHeight));
  ClientAreaOf(1500, 1000);
  ASSERT_GT(window->Client()->Scale(), 1.7);
  const QRect slider = window->Slider()->geometry();
  const QImage at_one = window->Client()->RenderAtLayoutScale();
  EXPECT_EQ(at_one, unscaled) << "the layout drawn at scale 1 differs from the unscaled window";
  // The slider follows the scale, and keeps its scaled place after the drawing.
  EXPECT_EQ(slider, window->Client()->ToWidget(QRect(620, 43, 154, 20)));
  EXPECT_EQ(window->Slider()->geometry(), slider);
}

TEST_F(ScalingTest, SmoothScalingAndFullScreenAreOptionsKeptInTheSettings) {
  WriteIni("RunMode=1\n[Window]\nSmoothPictureScaling=1\n[Window Positions]\nAzimuthX=5\nAzimuthY=7\n");
  Open();
  MenuBar& menu = window->Menu();
  EXPECT_EQ(menu.Text(cmd::kSmoothScaling), "Smooth Picture Scaling");
  EXPECT_TRUE(menu.InAMenu(cmd::kSmoothScaling));
  EXPECT_TRUE(menu.InAMenu(cmd::kFullScreen));
  EXPECT_EQ(menu.Action(cmd::kFullScreen)->shortcut(), QKeySequence(Qt::Key_F11));
  EXPECT_TRUE(menu.IsChecked(cmd::kSmoothScaling));
  EXPECT_TRUE(window->Options().SmoothScaling);
  EXPECT_FALSE(menu.IsChecked(cmd::kFullScreen));
  window->OnCommand(cmd::kSmoothScaling);
  EXPECT_FALSE(menu.IsChecked(cmd::kSmoothScaling));
  window->OnCommand(cmd::kFullScreen);
  EXPECT_TRUE(menu.IsChecked(cmd::kFullScreen));
  EXPECT_TRUE(window->isFullScreen());
  window->SetQuietClose(true);
  window->close();
  const std::string ini = ReadText("WINQ47V.INI");
  EXPECT_NE(ini.find("SmoothPictureScaling=0"), std::string::npos) << ini;
  EXPECT_NE(ini.find("FullScreen=1"), std::string::npos) << ini;
  EXPECT_NE(ini.find("AzimuthX=5"), std::string::npos) << "another section lost: " << ini;
  EXPECT_NE(ini.find("RunMode=1"), std::string::npos) << ini;
}

}  // namespace
