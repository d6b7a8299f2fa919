// SPDX-License-Identifier: GPL-3.0-or-later
// The window larger than its layout, as the X server shows it (Xvfb with openbox):
// maximised and full screen the layout is drawn scaled to fit; the picture's
// pixels are the image's scaled by nearest neighbour; the pointer, a click and a
// held panel arrow at scaled positions act on the layout point they cover; the
// captures keep the window's size at scale 1. On a high-density screen
// (QT_SCALE_FACTOR=2, a process of its own) the window is twice its layout and the
// picture pixel-exact at twice its size.
#include <QDir>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QWindow>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "app_fixture.h"
#include "bridge/screen_capture.h"
#include "window/menu_bar.h"
#include "x_display.h"
#include "x_server_test.h"

namespace {

XDisplay& FullHdServer() {
  static XDisplay server(true, 1920, 1080);
  return server;
}

// A 4K screen, where a window at twice its size fits.
XDisplay& UhdServer() {
  static XDisplay server(true, 3840, 2160);
  return server;
}

void PumpFor(int ms) {
  QElapsedTimer t;
  t.start();
  PumpUntil([&] { return t.elapsed() >= ms; }, ms + 1000);
}

// The image pixels a screen pixel may show when the image is scaled by `s`: the
// one its centre falls on, or either neighbour where the centre lies on a pixel
// boundary (within the painter's rounding).
std::vector<int> Sources(int device, double s, int size) {
  const double u = (device + 0.5) / s;
  const int i = static_cast<int>(std::floor(u));
  std::vector<int> out;
  const double frac = u - i;
  if (frac < 0.01 && i - 1 >= 0 && i - 1 < size) out.push_back(i - 1);
  if (i >= 0 && i < size) out.push_back(i);
  if (frac > 0.99 && i + 1 >= 0 && i + 1 < size) out.push_back(i + 1);
  return out;
}

class ScaledScreenTest : public XServerAppTest {
 protected:
  XDisplay& X() override { return FullHdServer(); }

  void OpenShown() {
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), 30000));
    window->raise();
    window->activateWindow();
    PumpFor(300);
  }

  // Playback of the harbour file until the picture holds echoes, then Hold.
  void PlayAndHold() {
    WriteIni("RunMode=1\nPlotSpeed=100\nAzimuthDriveEnable=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
    files.push_back(Q47V_TESTDATA_DIR "/imaging/harbour_sector.47V");
    OpenShown();
    ASSERT_TRUE(state.PlaybackFileOpen.load());
    ASSERT_TRUE(PumpUntil([&] {
      int lit = 0;
      for (uint8_t v : Snapshot()) lit += (v & 0x7F) != 0 && v < 108;
      return lit > 20000;
    }, 30000));
    Key('h');
    ASSERT_TRUE(state.HoldActive.load());
    PumpFor(300);
  }

  void Maximise() {
    window->showMaximized();
    ASSERT_TRUE(PumpUntil([&] { return window->Client()->Scale() > 1.6; }, 5000)) << window->Client()->Scale();
    PumpFor(500);
  }

  std::vector<uint8_t> Snapshot() {
    PingImage& img = core->Image();
    std::lock_guard lock(img.Lock());
    return std::vector<uint8_t>(img.Pixels(), img.Pixels() + kImageBytes);
  }

  // The client area as the X server holds it.
  QImage ScreenClient() {
    const ClientArea* c = window->Client();
    const QPoint at = c->mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, at.x(), at.y(), c->width(), c->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }

  // Picture pixels of `shot` (the client area at scale `s`) that are not the
  // image's pixel scaled by nearest neighbour; the picture's screen size in *shown.
  int WrongPicturePixels(const QImage& shot, double s, const std::vector<uint8_t>& image, QSize* shown,
                         bool report = true) {
    int wrong = 0, first_x = -1, last_x = -1, first_y = -1, last_y = -1;
    for (int dy = 0; dy < shot.height(); ++dy) {
      const std::vector<int> ys = Sources(dy, s, kImageWindowY + kImageHeight);
      if (ys.empty() || ys.front() < kImageWindowY) continue;
      if (first_y < 0) first_y = dy;
      last_y = dy;
      for (int dx = 0; dx < shot.width(); ++dx) {
        const std::vector<int> xs = Sources(dx, s, kImageWindowX + kImageWidth);
        if (xs.empty() || xs.front() < kImageWindowX) continue;
        if (first_x < 0) first_x = dx;
        last_x = std::max(last_x, dx);
        bool found = false;
        for (int y : ys)
          for (int x : xs) {
            const uint8_t v = image[static_cast<size_t>(y - kImageWindowY) * kImageWidth + (x - kImageWindowX)];
            found = found || (shot.pixel(dx, dy) & 0xFFFFFF) == (window->ImageColour(v) & 0xFFFFFF);
          }
        if (!found && ++wrong <= 5 && report)
          ADD_FAILURE() << "screen pixel " << dx << "," << dy << " shows " << std::hex << (shot.pixel(dx, dy) & 0xFFFFFF)
                        << std::dec << "; image pixels x " << xs.front() - kImageWindowX << "..." << xs.back() - kImageWindowX
                        << ", y " << ys.front() - kImageWindowY << "..." << ys.back() - kImageWindowY;
      }
    }
    *shown = QSize(last_x - first_x + 1, last_y - first_y + 1);
    if (wrong) shot.save("screen-scaled.png");
    return wrong;
  }

  // The screen point of a layout point, at the middle of its scaled pixel.
  QPoint ScreenPoint(int x, int y) const {
    const double s = window->Client()->Scale();
    const QPoint device(static_cast<int>(std::floor((x + 0.5) * s)), static_cast<int>(std::floor((y + 0.5) * s)));
    return window->Client()->mapToGlobal(device);
  }

  void Xdo(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    EXPECT_EQ(X().Run(args), 0);
    PumpFor(150);
  }
  void PointerTo(QPoint global) { Xdo({"mousemove", std::to_string(global.x()), std::to_string(global.y())}); }

  // The readout lines with the measurement from layout point `origin` to `target`,
  // the pointer moved and clicked by the X server.
  std::vector<std::string> MeasuredReadouts(QPoint origin, QPoint target) {
    PointerTo(ScreenPoint(origin.x(), origin.y()));
    Xdo({"click", "3"});  // origin
    PointerTo(ScreenPoint(target.x(), target.y()));
    PumpFor(150);
    std::vector<std::string> lines = window->ReadoutTexts();
    Xdo({"click", "3"});  // measuring off again
    return lines;
  }
};

TEST_F(ScaledScreenTest, MaximisedPictureIsTheImageScaledByNearestNeighbour) {
  PlayAndHold();
  const QRgb panel = window->ImageColour(121) & 0xFFFFFF;
  Maximise();
  const double s = window->Client()->Scale();
  // Fitted, aspect kept: the scaled layout fills the height or the width.
  const QSize area = window->centralWidget()->size();
  EXPECT_TRUE(std::abs(window->Client()->height() - area.height()) <= 1 ||
              std::abs(window->Client()->width() - area.width()) <= 1);
  EXPECT_EQ(window->Client()->width(), static_cast<int>(std::floor(kLayoutWidth * s)));
  // Centred on the panel colour.
  const int left = window->Client()->x(), right = area.width() - window->Client()->geometry().right() - 1;
  EXPECT_LE(std::abs(left - right), 1);
  const QImage whole = GrabFromScreen(*window, false);
  EXPECT_EQ(whole.pixel(whole.width() - 5, whole.height() / 2) & 0xFFFFFF, panel);

  const std::vector<uint8_t> image = Snapshot();
  const QImage shot = ScreenClient();
  X().Run({"import", "-window", "root", "maximised.png"});
  QSize shown;
  EXPECT_EQ(WrongPicturePixels(shot, s, image, &shown), 0);
  EXPECT_GE(shown.width(), 1.6 * kImageWidth);
  EXPECT_GE(shown.height(), 1.6 * kImageHeight);

  // Pings drawn while scaled reach the screen the same way, in the repaint of the
  // area they changed.
  Key('h');
  ASSERT_FALSE(state.HoldActive.load());
  const std::vector<uint8_t> held_image = Snapshot();
  ASSERT_TRUE(PumpUntil([&] { return Snapshot() != held_image; }, 20000));
  PumpFor(500);
  const QRect last = window->LastPaintRect();
  Key('h');
  PumpFor(300);
  EXPECT_NE(last, QRect(0, 0, kLayoutWidth, kLayoutHeight)) << "the pings repainted the whole window";
  EXPECT_EQ(WrongPicturePixels(ScreenClient(), s, Snapshot(), &shown), 0);

  // Smoothed at this factor when asked for; the pixels then blend.
  window->OnCommand(cmd::kSmoothScaling);
  EXPECT_TRUE(window->Menu().IsChecked(cmd::kSmoothScaling));
  PumpFor(300);
  EXPECT_GT(WrongPicturePixels(ScreenClient(), s, Snapshot(), &shown, false), 1000);
  window->OnCommand(cmd::kSmoothScaling);
  PumpFor(300);
  EXPECT_EQ(WrongPicturePixels(ScreenClient(), s, Snapshot(), &shown), 0);
}

// The pointer and the right button at scaled positions of the picture give the
// measurement of the same layout points unscaled.
TEST_F(ScaledScreenTest, MeasurementAtScaledPositionsReadsAsUnscaled) {
  WriteIni("RunMode=1\nRange=9\nGridMode=0\nAzimuthDriveEnable=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  OpenShown();
  ASSERT_EQ(window->Client()->Scale(), 1.0);
  const std::vector<std::pair<QPoint, QPoint>> pairs = {
      {{301, 408}, {120, 95}}, {{57, 300}, {590, 500}}, {{300, 200}, {301, 201}}};
  std::vector<std::vector<std::string>> unscaled;
  for (const auto& [o, t] : pairs) unscaled.push_back(MeasuredReadouts(o, t));
  Maximise();
  for (size_t i = 0; i < pairs.size(); ++i) {
    const std::vector<std::string> scaled = MeasuredReadouts(pairs[i].first, pairs[i].second);
    ASSERT_EQ(scaled.size(), 3u);
    EXPECT_EQ(scaled, unscaled[i]) << "pair " << i << ": " << scaled[2] << " against " << unscaled[i][2];
  }
  // The far corner of a scaled pixel still belongs to it.
  const double s = window->Client()->Scale();
  const QPoint corner = window->Client()->mapToGlobal(
      QPoint(static_cast<int>(std::ceil((302 * s))) - 1, static_cast<int>(std::ceil(409 * s)) - 1));
  PointerTo(corner);
  const std::vector<std::string> at_corner = window->ReadoutTexts();
  PointerTo(ScreenPoint(301, 408));
  EXPECT_EQ(at_corner, window->ReadoutTexts());
}

// A panel arrow held at its scaled place steps its value, and keeps stepping while
// the pointer stays on it; Hold at its scaled place toggles.
TEST_F(ScaledScreenTest, HeldPanelArrowAtItsScaledPlaceStepsTheValue) {
  WriteIni("RunMode=0\nGain=10\nAzimuthDriveEnable=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  OpenShown();
  Maximise();
  const LayoutRect& up = window->GetLayout().ButtonRects[kGainUp];
  PointerTo(ScreenPoint(up.left + 2, up.top + 2));
  Xdo({"mousedown", "1"});
  EXPECT_EQ(state.Gain, 11) << "the press did not reach the Gain up arrow";
  PointerTo(ScreenPoint(up.right - 2, up.bottom - 2));  // within the arrow
  PumpFor(900);
  Xdo({"mouseup", "1"});
  EXPECT_GE(state.Gain, 14) << "the held arrow did not repeat";
  const int gain = state.Gain;
  PumpFor(300);
  EXPECT_EQ(state.Gain, gain) << "the step went on after the release";
  // Just left of the arrow, in the value box: nothing.
  PointerTo(ScreenPoint(up.left - 1, up.top + 2));
  Xdo({"click", "1"});
  EXPECT_EQ(state.Gain, gain);
  const bool held = state.HoldActive.load();
  PointerTo(ScreenPoint(740, 9));
  Xdo({"click", "1"});
  EXPECT_NE(state.HoldActive.load(), held);
}

// F11 and the Options item take the window to full screen and back, remembered in
// the settings for the next start.
TEST_F(ScaledScreenTest, FullScreenOnAndOffAndRemembered) {
  WriteIni("RunMode=1\nAzimuthDriveEnable=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  OpenShown();
  const QRect normal = window->geometry();
  window->activateWindow();
  PumpFor(200);
  Xdo({"key", "F11"});
  ASSERT_TRUE(PumpUntil([&] { return window->isFullScreen() && window->geometry().size() == QSize(1920, 1080); }, 5000));
  PumpFor(400);
  EXPECT_TRUE(window->Menu().IsChecked(cmd::kFullScreen));
  const double s = window->Client()->Scale();
  EXPECT_GT(s, 1.6);
  X().Run({"import", "-window", "root", "full-screen.png"});
  // Nothing of the window manager's frame: the menu bar at the top of the screen.
  EXPECT_EQ(window->menuBar()->mapToGlobal(QPoint(0, 0)), QPoint(0, 0));
  Xdo({"key", "F11"});
  ASSERT_TRUE(PumpUntil([&] { return !window->isFullScreen() && window->geometry().size() == normal.size(); }, 5000));
  EXPECT_FALSE(window->Menu().IsChecked(cmd::kFullScreen));
  PumpFor(300);
  EXPECT_EQ(window->Client()->Scale(), 1.0);

  window->OnCommand(cmd::kFullScreen);  // the menu item
  ASSERT_TRUE(PumpUntil([&] { return window->isFullScreen(); }, 5000));
  window->SetQuietClose(true);
  window->close();
  EXPECT_NE(ReadText("WINQ47V.INI").find("FullScreen=1"), std::string::npos);
  window.reset();
  core.reset();
  OpenShown();
  EXPECT_TRUE(PumpUntil([&] { return window->isFullScreen(); }, 5000)) << "full screen not taken at the start";
}

// Save Screen while the window is scaled writes the window at scale 1: the menu
// bar and the client area as they are at scale 1, pixel for pixel.
TEST_F(ScaledScreenTest, SaveScreenWhileScaledWritesTheWindowAtScaleOne) {
  PlayAndHold();
  files.push_back("unscaled.bmp");
  window->OnCommand(cmd::kSaveScreen);
  const QImage unscaled("unscaled.bmp");
  ASSERT_FALSE(unscaled.isNull());
  // Where the menu bar starts in the capture with the frame.
  const QPoint inside = window->menuBar()->mapToGlobal(QPoint(0, 0)) - window->frameGeometry().topLeft();
  const int bar = window->menuBar()->height();
  const QImage own = unscaled.copy(QRect(inside, QSize(kLayoutWidth, bar + kLayoutHeight))).convertToFormat(QImage::Format_RGB32);
  Maximise();
  files.push_back("scaled.bmp");
  window->OnCommand(cmd::kSaveScreen);
  const QImage scaled = QImage("scaled.bmp").convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(scaled.size(), QSize(kLayoutWidth, bar + kLayoutHeight));
  const QImage client_scaled = scaled.copy(0, bar, kLayoutWidth, kLayoutHeight);
  const QImage client_unscaled = own.copy(0, bar, kLayoutWidth, kLayoutHeight);
  int differ = 0;
  for (int y = 0; y < kLayoutHeight; ++y)
    for (int x = 0; x < kLayoutWidth; ++x) differ += client_scaled.pixel(x, y) != client_unscaled.pixel(x, y);
  if (differ) {
    client_scaled.save("client-scaled.png");
    client_unscaled.save("client-unscaled.png");
  }
  EXPECT_EQ(differ, 0) << "the scaled window's capture differs from the unscaled one";
}

// ---------------------------------------------------------------- high density

constexpr const char* kChildMark = "Q47V_HIGH_DENSITY_CHILD";

class HighDensityScreenTest : public ScaledScreenTest {
 protected:
  XDisplay& X() override { return UhdServer(); }
  void SetUp() override {
    if (!qEnvironmentVariableIsSet(kChildMark)) GTEST_SKIP() << "runs in the process of HighDensity.ScaleFactorTwo";
    ScaledScreenTest::SetUp();
  }
};

// In the process of its own (QT_SCALE_FACTOR=2): the window on the screen is twice
// its layout, the picture each image pixel as a 2 x 2 block, and a capture the
// window at scale 1.
TEST_F(HighDensityScreenTest, WindowAndPictureAtTwiceTheSize) {
  ASSERT_EQ(qgetenv("QT_SCALE_FACTOR"), "2");
  PlayAndHold();
  ASSERT_EQ(window->devicePixelRatio(), 2.0);
  ASSERT_EQ(window->Client()->Scale(), 1.0);
  std::string out;
  ASSERT_EQ(X().Run({"xwininfo", "-id", std::to_string(window->winId())}, &out), 0);
  const int bar = window->menuBar()->height();
  EXPECT_NE(out.find("Width: " + std::to_string(2 * kLayoutWidth)), std::string::npos) << out;
  EXPECT_NE(out.find("Height: " + std::to_string(2 * (kLayoutHeight + bar))), std::string::npos) << out;

  const std::vector<uint8_t> image = Snapshot();
  ASSERT_EQ(X().Run({"import", "-window", "root", "screen-x2.png"}), 0);
  const QImage root = QImage("screen-x2.png").convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(root.size(), QSize(3840, 2160));
  // The window's place in the X server's own pixels: a logical place would round
  // an odd device pixel away.
  const auto number = [&](const std::string& label) {
    const size_t p = out.find(label);
    return p == std::string::npos ? -1 : std::atoi(out.c_str() + p + label.size());
  };
  const QPoint at = QPoint(number("Absolute upper-left X:"), number("Absolute upper-left Y:")) +
                    window->Client()->mapTo(window.get(), QPoint(kImageWindowX, kImageWindowY)) * 2;
  int wrong = 0;
  for (int y = 0; y < 2 * kImageHeight; ++y)
    for (int x = 0; x < 2 * kImageWidth; ++x) {
      const uint8_t v = image[static_cast<size_t>(y / 2) * kImageWidth + x / 2];
      const QRgb shown = root.pixel(at.x() + x, at.y() + y) & 0xFFFFFF;
      if (shown != (window->ImageColour(v) & 0xFFFFFF) && ++wrong <= 5)
        ADD_FAILURE() << "device " << x << "," << y << " shows " << std::hex << shown << " for "
                      << (window->ImageColour(v) & 0xFFFFFF);
    }
  EXPECT_EQ(wrong, 0) << "picture pixels not at twice the image";

  files.push_back("x2.bmp");
  window->OnCommand(cmd::kSaveScreen);
  EXPECT_EQ(QImage("x2.bmp").size(), QSize(kLayoutWidth, bar + kLayoutHeight));
}

// Runs the test above in a process of its own with QT_SCALE_FACTOR=2: the factor
// is taken once, when the application starts.
TEST(HighDensity, ScaleFactorTwo) {
  if (qEnvironmentVariableIsSet(kChildMark)) GTEST_SKIP();
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_SCALE_FACTOR", "2");
  env.insert(kChildMark, "1");
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string()),
              {"--gtest_filter=HighDensityScreenTest.WindowAndPictureAtTwiceTheSize"});
  ASSERT_TRUE(child.waitForStarted());
  ASSERT_TRUE(child.waitForFinished(240000));
  const QString text = QString::fromLocal8Bit(child.readAll());
  EXPECT_EQ(child.exitCode(), 0) << text.toStdString();
  EXPECT_TRUE(text.contains("[  PASSED  ] 1 test")) << text.toStdString();
}

}  // namespace
