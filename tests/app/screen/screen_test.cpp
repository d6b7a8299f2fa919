// SPDX-License-Identifier: GPL-3.0-or-later
// What a user sees, read back from a real X server (Xvfb with the openbox window
// manager): the sonar picture on the screen follows the program's image within a
// few repaint periods, live and in playback; closing the main window ends the
// program whatever tool windows are open; tool windows open inside the screen and
// beside the main window; a maximised window is filled with the panel colour.
#include <QElapsedTimer>
#include <QDialog>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "app_fixture.h"
#include "diagnostics_window.h"
#include "screen_capture.h"
#include "tool_windows.h"
#include "x_display.h"

namespace {

XDisplay& Server() {
  static XDisplay server(true);
  return server;
}

void PumpFor(int ms) {
  QElapsedTimer t;
  t.start();
  PumpUntil([&] { return t.elapsed() >= ms; }, ms + 1000);
}

class ScreenTest : public AppTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Server().ok()) << Server().why();
    qputenv("DISPLAY", QByteArray::fromStdString(Server().name()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    AppTest::SetUp();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  }
  void TearDown() override {
    AppTest::TearDown();
    if (sim_.state() != QProcess::NotRunning) {
      sim_.terminate();
      sim_.waitForFinished(5000);
    }
  }

  // Starts the simulator on ptys; it writes their paths into WINQ47V.INI.
  void StartSimulator() {
    sim_.start(Q47V_BINARY_DIR "/src/sim/q47v-sim", {"--ini", "WINQ47V.INI", "--quiet", "--no-gps"});
    ASSERT_TRUE(sim_.waitForStarted());
    ASSERT_TRUE(PumpUntil([] { return ReadText("WINQ47V.INI").find("COM1=") != std::string::npos; }, 20000));
  }

  void OpenShown() {
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), 30000));
    window->raise();
    window->activateWindow();
    PumpFor(300);
  }

  std::vector<uint8_t> Snapshot() {
    PingImage& img = core->Image();
    std::lock_guard lock(img.Lock());
    return std::vector<uint8_t>(img.Pixels(), img.Pixels() + kImageBytes);
  }

  // The picture area as the X server holds it.
  QImage ScreenPicture() {
    const QPoint at = window->Client()->mapToGlobal(QPoint(kImageWindowX, kImageWindowY));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, at.x(), at.y(), kImageWidth, kImageHeight)
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }

  // Pixels that held the same value from `before` to `after` but show another
  // colour on the screen in between: what the screen failed to show. *lit counts
  // the stable echo pixels compared.
  std::vector<size_t> StalePixels(const std::vector<uint8_t>& before, const QImage& shot,
                                  const std::vector<uint8_t>& after, int* lit) {
    std::vector<size_t> stale;
    EXPECT_EQ(shot.size(), QSize(kImageWidth, kImageHeight));
    if (shot.size() != QSize(kImageWidth, kImageHeight)) {
      for (size_t i = 0; i < static_cast<size_t>(kImageBytes); ++i) stale.push_back(i);
      return stale;
    }
    for (int y = 0; y < kImageHeight; ++y) {
      const QRgb* row = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
      for (int x = 0; x < kImageWidth; ++x) {
        const size_t i = static_cast<size_t>(y) * kImageWidth + x;
        if (before[i] != after[i]) continue;
        if ((before[i] & 0x7F) != 0 && before[i] < 108) ++*lit;
        if ((row[x] & 0xFFFFFF) != (window->ImageColour(before[i]) & 0xFFFFFF)) stale.push_back(i);
      }
    }
    if (!stale.empty()) {
      // Kept in the failed test's folder for a look.
      QImage expected(kImageWidth, kImageHeight, QImage::Format_RGB32);
      for (int y = 0; y < kImageHeight; ++y)
        for (int x = 0; x < kImageWidth; ++x)
          expected.setPixel(x, y, window->ImageColour(before[static_cast<size_t>(y) * kImageWidth + x]));
      expected.save("expected.png");
      shot.save("screen.png");
    }
    return stale;
  }

  // One look at the screen 40 ms (two and a half repaint periods) after a copy of
  // the image, between two copies.
  std::vector<size_t> Look(int* lit) {
    const std::vector<uint8_t> before = Snapshot();
    PumpFor(40);
    const QImage shot = ScreenPicture();
    const std::vector<uint8_t> after = Snapshot();
    return StalePixels(before, shot, after, lit);
  }

  // Several looks at the screen while pings arrive. A pixel the screen failed to
  // show stays wrong at the next look; one that a ping changed and the next ping
  // put back between the two copies of a look (a wedge overlapping the last) is
  // right again, so a pixel counts as stale only when two looks in a row find it.
  void ExpectScreenFollowsImage(int rounds) {
    int lit = 0;
    for (int r = 0; r < rounds; ++r) {
      std::vector<size_t> stale = Look(&lit);
      if (!stale.empty()) {
        int ignored = 0;
        const std::vector<size_t> again = Look(&ignored);
        std::vector<size_t> both;
        std::set_intersection(stale.begin(), stale.end(), again.begin(), again.end(), std::back_inserter(both));
        stale = both;
      }
      EXPECT_EQ(stale.size(), 0u) << "round " << r;
    }
    EXPECT_GT(lit, 500) << "too few echoes on the picture to compare";
  }

  QProcess sim_;
};

TEST_F(ScreenTest, LivePictureOnTheScreenFollowsTheImage) {
  WriteIni("RunMode=0\nGridMode=0\nRange=5\nSpeed=4\nAzimuthDriveEnable=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  StartSimulator();
  OpenShown();
  ASSERT_TRUE(PumpUntil([this] { return state.PingsProcessed >= 40; }, 60000)) << state.PingsProcessed;
  const long pings = state.PingsProcessed;
  ExpectScreenFollowsImage(6);
  EXPECT_GT(state.PingsProcessed, pings) << "the pings went on while the screen was compared";

  // Polar display: the same.
  const QPoint mode_up = ButtonCentre(kModeUp);
  ClickAt(mode_up.x(), mode_up.y());
  ASSERT_EQ(state.GridMode, 1);
  ASSERT_TRUE(PumpUntil([&] { return state.PingsProcessed >= pings + 40; }, 60000));
  ExpectScreenFollowsImage(4);

  // Held: nothing new is drawn, and the screen equals the image pixel for pixel.
  ClickAt(750, 9);
  ASSERT_TRUE(state.HoldActive.load());
  long last = -1;
  ASSERT_TRUE(PumpUntil([&] {
    const long now = state.PingsProcessed;
    const bool still = now == last;
    last = now;
    if (!still) PumpFor(300);
    return still;
  }, 10000));
  PumpFor(50);
  const std::vector<uint8_t> image = Snapshot();
  int lit = 0;
  EXPECT_EQ(StalePixels(image, ScreenPicture(), image, &lit).size(), 0u);
  EXPECT_GT(lit, 500);
}

// Echoes go on being drawn and shown after dialogs opened from the keyboard and
// the menus: a menu title clicked, Esc (the menu bar keeps the keyboard), R and
// Enter open Com Ports, Cancel; then Rotate, Profile Setup and a profile mode.
TEST_F(ScreenTest, EchoesGoOnAfterMenusAndDialogs) {
  WriteIni("RunMode=0\nGridMode=0\nRange=5\nSpeed=4\nAzimuthDriveEnable=0\n"
           "[Orientation Module Settings]\nEnableOrientationModule=0\n");
  StartSimulator();
  OpenShown();
  ASSERT_TRUE(PumpUntil([this] { return state.PingsProcessed >= 20; }, 60000));
  std::vector<std::string> dialogs;
  window->SetDialogHook([&](QDialog& d) {
    dialogs.push_back(d.windowTitle().toStdString());
    d.reject();
  });
  auto echoes_go_on = [&](const char* after) {
    const long pings = state.PingsProcessed;
    const std::vector<uint8_t> before = Snapshot();
    ASSERT_TRUE(PumpUntil([&] { return state.PingsProcessed >= pings + 30; }, 30000)) << after;
    EXPECT_NE(Snapshot(), before) << "no echo drawn after " << after;
    ExpectScreenFollowsImage(2);
  };
  // Real input through the X server, as a user's mouse and keyboard give it.
  QMenuBar* bar = window->menuBar();
  const QPoint title = bar->mapToGlobal(bar->actionGeometry(bar->actions().at(0)).center());
  auto x = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    EXPECT_EQ(Server().Run(args), 0);
    PumpFor(250);
  };
  x({"mousemove", std::to_string(title.x()), std::to_string(title.y())});
  x({"click", "1"});
  x({"key", "Escape"});
  x({"key", "r"});
  x({"key", "Return"});
  PumpUntil([&] { return !dialogs.empty(); }, 3000);
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0], "ComPort Setup");
  echoes_go_on("Com Ports cancelled from the keyboard");
  window->OnCommand(cmd::kOffsetAngle);
  window->OnCommand(cmd::kProfileSetup);
  window->OnCommand(cmd::kProfileMode + 1);
  window->OnCommand(cmd::kProfileMode);
  EXPECT_EQ(dialogs.size(), 3u);
  echoes_go_on("Rotate, Profile Setup and a profile mode");
}

TEST_F(ScreenTest, PlaybackPictureOnTheScreenFollowsTheImage) {
  WriteIni("RunMode=1\nPlotSpeed=10\nAzimuthDriveEnable=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  files.push_back(Q47V_TESTDATA_DIR "/imaging/harbour_sector.47V");
  OpenShown();
  ASSERT_TRUE(state.PlaybackFileOpen.load());
  int lit_now = 0;
  ASSERT_TRUE(PumpUntil([&] {
    const std::vector<uint8_t> px = Snapshot();
    lit_now = 0;
    for (uint8_t v : px) lit_now += (v & 0x7F) != 0 && v < 108;
    return lit_now > 2000;
  }, 30000)) << lit_now;
  ExpectScreenFollowsImage(6);
  ClickAt(750, 9);  // Hold: playback pauses
  PumpFor(200);
  const std::vector<uint8_t> image = Snapshot();
  int lit = 0;
  EXPECT_EQ(StalePixels(image, ScreenPicture(), image, &lit).size(), 0u);
}

TEST_F(ScreenTest, ToolWindowsOpenInsideTheScreenBesideTheWindow) {
  WriteIni("RunMode=1\nAzimuthDriveEnable=1\nAzimuthWindow=1\n[Orientation Module Settings]\nEnableOrientationModule=1\n");
  OpenShown();
  window->OnCommand(cmd::kDiagnostics);
  window->OnCommand(cmd::kHeadScan);
  PumpFor(500);
  const QRect area = window->screen()->availableGeometry();
  const QRect main = window->frameGeometry();
  int shown = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible() || w == window.get() || !w->isWindow()) continue;
    ++shown;
    const QRect f = w->frameGeometry();
    EXPECT_TRUE(area.contains(f)) << w->windowTitle().toStdString() << " at " << f.x() << "," << f.y();
    // Beside the main window: the menu bar and the picture stay uncovered.
    EXPECT_FALSE(f.intersects(main)) << w->windowTitle().toStdString() << " at " << f.x() << "," << f.y() << " "
                                     << f.width() << "x" << f.height() << "; main " << main.x() << "," << main.y()
                                     << " " << main.width() << "x" << main.height();
  }
  EXPECT_EQ(shown, 4);
  // Nor do they hide each other.
  const std::vector<QWidget*> tools = {window->Diagnostics(), window->Tool(0), window->Tool(1), window->Tool(2)};
  for (size_t i = 0; i < tools.size(); ++i)
    for (size_t j = i + 1; j < tools.size(); ++j)
      EXPECT_FALSE(tools[i]->frameGeometry().intersects(tools[j]->frameGeometry()))
          << tools[i]->windowTitle().toStdString() << " over " << tools[j]->windowTitle().toStdString();

  // A window the user moved opens there again in the next session.
  QWidget* az = window->Tool(1);
  const QPoint moved = az->frameGeometry().topLeft() + QPoint(0, 120);
  az->move(moved);
  PumpUntil([&] { return az->frameGeometry().topLeft() == moved; }, 3000);
  window->SetQuietClose(true);
  window->close();
  EXPECT_NE(ReadText("WINQ47V.INI").find("[Window Positions]"), std::string::npos);
  window.reset();
  core.reset();
  OpenShown();
  PumpFor(300);
  EXPECT_EQ(window->Tool(1)->frameGeometry().topLeft(), moved);
}

TEST_F(ScreenTest, MaximisedWindowShowsThePanelColourAroundTheLayout) {
  WriteIni("RunMode=1\nAzimuthDriveEnable=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  OpenShown();
  window->showMaximized();
  ASSERT_TRUE(PumpUntil([&] { return window->width() > 1000; }, 5000));
  PumpFor(500);
  const QImage shot = GrabFromScreen(*window, false);
  ASSERT_GT(shot.width(), 1000);
  const QRgb panel = window->ImageColour(121) & 0xFFFFFF;
  const int below = window->Client()->mapTo(window.get(), QPoint(0, window->Client()->height())).y() + 10;
  EXPECT_EQ(shot.pixel(shot.width() - 20, shot.height() / 2) & 0xFFFFFF, panel);
  EXPECT_EQ(shot.pixel(100, std::min(below, shot.height() - 5)) & 0xFFFFFF, panel);
}

TEST_F(ScreenTest, SaveScreenHoldsTheWindowWithItsFrame) {
  WriteIni("RunMode=1\nAzimuthDriveEnable=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  OpenShown();
  files.push_back("frame.bmp");
  window->OnCommand(cmd::kSaveScreen);
  QImage shot("frame.bmp");
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.size(), window->frameGeometry().size());
  EXPECT_GT(shot.height(), window->height() + 10) << "no title bar in the capture";
  // The panel colour of the client area, where the window manager's frame ends.
  const QPoint client = window->Client()->mapTo(window.get(), QPoint(700, 560)) + (window->geometry().topLeft() -
                                                                                  window->frameGeometry().topLeft());
  EXPECT_EQ(shot.pixel(client) & 0xFFFFFF, window->ImageColour(121) & 0xFFFFFF);
}

// The measurement readouts on the screen follow a range typed at the keyboard:
// R 2 0 Enter with the pointer on the picture repaints them.
TEST_F(ScreenTest, ReadoutsOnTheScreenFollowAKeyboardRange) {
  WriteIni("RunMode=1\nRange=5\nGridMode=0\nAzimuthDriveEnable=0\n"
           "[Orientation Module Settings]\nEnableOrientationModule=0\n");
  OpenShown();
  state.RunMode = 0;  // keys are taken live only; no head is needed for the readouts
  QTest::mouseMove(window->Client(), QPoint(301, 408));
  window->HandleMouseMove(301, 408);
  PumpFor(100);
  const std::vector<std::string> before = window->ReadoutTexts();
  ASSERT_FALSE(before.empty());
  Type("r20\r");
  PumpFor(150);
  ASSERT_EQ(state.Range, 6);
  const std::vector<std::string> after = window->ReadoutTexts();
  ASSERT_NE(after, before);
  // What the screen shows of the readouts equals what the window paints now.
  const QRect box = window->ReadoutRect();
  const QImage painted = window->Client()->grab(box).toImage().convertToFormat(QImage::Format_RGB32);
  const QPoint at = window->Client()->mapToGlobal(box.topLeft());
  const QImage screen = QGuiApplication::primaryScreen()
                            ->grabWindow(0, at.x(), at.y(), box.width(), box.height())
                            .toImage()
                            .convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(screen, painted) << "the readouts on the screen still read " << before[2];
}

// The real program under the window manager: the user closes the main window with
// the Azimuth window open, and the program ends with its settings saved.
TEST(ScreenProgramTest, ClosingTheMainWindowEndsTheProgramWithToolWindowsOpen) {
  ASSERT_TRUE(Server().ok()) << Server().why();
  std::ofstream("WINQ47V.INI") << "[Settings]\nRunMode=1\nAzimuthDriveEnable=1\nAzimuthWindow=1\n"
                                  "Gain=23\n[Orientation Module Settings]\nEnableOrientationModule=1\n";
  const pid_t app = Spawn({Q47V_BINARY_DIR "/src/app/winq47v"}, Server().name());
  ASSERT_GT(app, 0);
  // Wait for the start-up open dialog, and cancel it.
  std::string out;
  bool dialog = false;
  for (int i = 0; i < 300 && !dialog; ++i) {
    Server().Run({"wmctrl", "-l"}, &out);
    dialog = out.find("Open a Sonar File For Playback") != std::string::npos;
    if (!dialog) QTest::qSleep(50);
  }
  ASSERT_TRUE(dialog) << out;
  Server().Run({"wmctrl", "-c", "Open a Sonar File For Playback"});
  bool tools = false;
  for (int i = 0; i < 300 && !tools; ++i) {
    Server().Run({"wmctrl", "-l"}, &out);
    tools = out.find("Azimuth") != std::string::npos && out.find("Orientation") != std::string::npos &&
            out.find("Open a Sonar") == std::string::npos;
    if (!tools) QTest::qSleep(50);
  }
  ASSERT_TRUE(tools) << out;
  // The window manager's close of the main window (as its title bar button does).
  EXPECT_EQ(Server().Run({"wmctrl", "-F", "-c", "WinQ47V Digital Sonar - [No File]"}), 0);
  const int rc = WaitExit(app, 15000);
  if (rc == -1) StopProcess(app);
  EXPECT_EQ(rc, 0) << "the program did not end when its main window was closed";
  EXPECT_NE(ReadText("WINQ47V.INI").find("AzimuthWindow=1"), std::string::npos);
}

}  // namespace
