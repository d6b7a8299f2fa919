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
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app_fixture.h"
#include "bridge/screen_capture.h"
#include "files/file_display.h"
#include "files/recorder.h"
#include "imaging/color_tables.h"
#include "tool_windows/diagnostics_window.h"
#include "tool_windows/tool_windows.h"
#include "window/entry_box.h"
#include "x_display.h"
#include "x_server_test.h"

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

// A smaller screen, where the tool windows do not all fit beside the main window.
XDisplay& SmallServer() {
  static XDisplay server(true, 1280, 1000);
  return server;
}

class ScreenTest : public XServerAppTest {
 protected:
  XDisplay& X() override { return Server(); }
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
// the menus: a menu title clicked, Esc, Alt+R opens Com Ports, Cancel; then
// Rotate, Profile Setup and a profile mode.
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
  x({"key", "alt+r"});
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

// The one-key commands reach the sonar whatever was opened or clicked before. A
// menu opened with the mouse and closed with Escape gives the keys back: H H
// toggles Hold twice instead of opening the Heads menu and starting the head scan,
// R opens the range entry instead of Com Ports. Alt still opens the menus. After a
// click into a tool window H still toggles Hold.
TEST_F(ScreenTest, OneKeyCommandsReachTheSonarAfterAMenuOrAToolWindow) {
  WriteIni("RunMode=0\nAzimuthDriveEnable=0\n[Orientation Module Settings]\nEnableOrientationModule=1\n");
  OpenShown();
  QWidget* orientation = window->Tool(2);
  ASSERT_TRUE(PumpUntil([&] { return orientation->isVisible(); }, 10000));
  std::vector<std::string> dialogs;
  window->SetDialogHook([&](QDialog& d) {
    dialogs.push_back(d.windowTitle().toStdString());
    d.reject();
  });
  auto x = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    EXPECT_EQ(Server().Run(args), 0);
    PumpFor(300);
  };
  auto at = [&](QPoint p) {
    x({"mousemove", std::to_string(p.x()), std::to_string(p.y())});
    x({"click", "1"});
  };
  QMenuBar* bar = window->menuBar();
  const QPoint file_title = bar->mapToGlobal(bar->actionGeometry(bar->actions().at(0)).center());
  const bool held = state.HoldActive.load();

  at(file_title);
  ASSERT_NE(QApplication::activePopupWidget(), nullptr) << "the File menu did not open";
  x({"key", "Escape"});
  ASSERT_EQ(QApplication::activePopupWidget(), nullptr);
  x({"key", "h"});
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "H opened a menu";
  EXPECT_NE(state.HoldActive.load(), held) << "H did not reach the main window";
  x({"key", "h"});
  EXPECT_EQ(state.HoldActive.load(), held);
  EXPECT_FALSE(state.HeadScanActive.load()) << "the second H started the head scan";
  Server().Run({"import", "-window", "root", "after-menu-h-h.png"});

  at(file_title);
  x({"key", "Escape"});
  x({"key", "r"});
  EXPECT_EQ(window->Entry().Mode(), 1) << "R did not open the range entry";
  EXPECT_TRUE(dialogs.empty()) << dialogs.front();
  x({"key", "Escape"});
  EXPECT_EQ(window->Entry().Mode(), 0);

  x({"key", "alt+h"});
  EXPECT_NE(QApplication::activePopupWidget(), nullptr) << "Alt+H did not open the Heads menu";
  x({"key", "Escape"});
  x({"key", "Escape"});
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

  at(orientation->mapToGlobal(orientation->rect().center()));
  x({"key", "h"});
  EXPECT_NE(state.HoldActive.load(), held) << "H after a click into the Orientation window";
  x({"key", "space"});
  x({"key", "h"});
  EXPECT_EQ(state.HoldActive.load(), held);
  Server().Run({"import", "-window", "root", "after-tool-window-h.png"});
}

// The colour table stored in WINQ47V.INI is the one on the screen from the start:
// with Colors=5 the played echoes show in Brown/Yellow, not in Norm Hi.
TEST_F(ScreenTest, StoredColourTableIsOnTheScreenFromTheStart) {
  WriteIni("RunMode=1\nColors=5\nPlotSpeed=10\nAzimuthDriveEnable=0\n"
           "[Orientation Module Settings]\nEnableOrientationModule=0\n");
  files.push_back(Q47V_TESTDATA_DIR "/imaging/harbour_sector.47V");
  OpenShown();
  ASSERT_TRUE(state.PlaybackFileOpen.load());
  ASSERT_TRUE(PumpUntil([&] {
    int lit = 0;
    for (uint8_t v : Snapshot()) lit += (v & 0x7F) != 0 && v < 108;
    return lit > 2000;
  }, 30000));
  ClickAt(750, 9);  // Hold: the picture stands still
  PumpFor(300);
  const std::vector<uint8_t> image = Snapshot();
  const QImage shot = ScreenPicture();
  ASSERT_EQ(shot.size(), QSize(kImageWidth, kImageHeight));
  shot.save("screen-colors5.png");
  const PaletteTable brown = BuildPalette(5);
  int brown_pixels = 0, other = 0;
  for (int y = 0; y < kImageHeight; ++y) {
    for (int x = 0; x < kImageWidth; ++x) {
      const uint8_t v = image[static_cast<size_t>(y) * kImageWidth + x];
      if ((v & 0x7F) == 0 || v >= 108) continue;  // echo levels only
      const QRgb want = qRgb(brown[v].Red, brown[v].Green, brown[v].Blue);
      if ((shot.pixel(x, y) & 0xFFFFFF) == (want & 0xFFFFFF)) ++brown_pixels; else ++other;
    }
  }
  EXPECT_GT(brown_pixels, 2000);
  EXPECT_EQ(other, 0) << "echo pixels not in Brown/Yellow";
}

// An "O" reply of the orientation module with raw pitch, roll and heading.
std::vector<uint8_t> OReply(int pitch, int roll, int heading) {
  std::vector<uint8_t> r(29, 0);
  r[0] = 'I';
  r[1] = 'O';
  r[2] = 'X';
  r[3] = 0x18;
  const int raw[3] = {pitch, roll, heading};
  for (int i = 0; i < 3; ++i) {
    r[static_cast<size_t>(18 + 2 * i)] = static_cast<uint8_t>(raw[i] & 0x7F);
    r[static_cast<size_t>(19 + 2 * i)] = static_cast<uint8_t>((raw[i] >> 7) & 0x7F);
  }
  r[28] = 0xFC;
  return r;
}

// A played file's "O" records reach the Orientation window on the screen: it shows
// their pitch, roll and heading, as it does live, and what the X server holds of
// the window is what the window paints for them.
TEST_F(ScreenTest, PlayedOrientationRecordsShowInTheOrientationWindow) {
  {
    AppState rec;
    rec.DataBits = 8;
    rec.GridMode = 0;
    FileDisplay quiet;
    ASSERT_TRUE(StartRecording(rec, quiet, "attitude.47V"));
    for (int i = 0; i < 400; ++i) {
      const std::vector<uint8_t> g = GReply(400 + i % 400, i);
      RecordedPing ping;
      ping.reply = g;
      ASSERT_TRUE(WriteSonarRecord(rec, quiet, ping));
      if (i % 4 == 0) {
        // Pitch 12.5 to 20.4, roll -7.5, heading 123.4 to 202.4 degrees.
        const std::vector<uint8_t> o = OReply(1025 + i / 5, 825, 1234 + 2 * i);
        RecordedPing att;
        att.reply = o;
        ASSERT_TRUE(WriteSonarRecord(rec, quiet, att));
      }
    }
    StopRecording(rec, quiet);
  }
  WriteIni("RunMode=1\nPlotSpeed=60\nAzimuthDriveEnable=0\n"
           "[Orientation Module Settings]\nEnableOrientationModule=1\n");
  files.push_back("attitude.47V");
  OpenShown();
  ASSERT_TRUE(state.PlaybackFileOpen.load());
  QWidget* orientation = window->Tool(2);
  ASSERT_TRUE(PumpUntil([&] { return orientation->isVisible() && state.OrientationUnanswered.load() == 0; }, 30000));
  PumpFor(1500);
  ClickAt(750, 9);  // Hold: the window's values stand still
  PumpFor(400);
  const std::vector<std::string> lines = OrientationWindowLines(state);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].find("n/a"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("-7.5 Deg"), std::string::npos) << lines[2];
  const QImage painted = orientation->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QPoint at = orientation->mapToGlobal(QPoint(0, 0));
  const QImage screen = QGuiApplication::primaryScreen()
                            ->grabWindow(0, at.x(), at.y(), orientation->width(), orientation->height())
                            .toImage()
                            .convertToFormat(QImage::Format_RGB32);
  Server().Run({"import", "-window", "root", "orientation-playback.png"});
  EXPECT_EQ(screen, painted) << "the Orientation window on the screen is not what it paints for "
                             << lines[0] << ", " << lines[1] << ", " << lines[2];
}

class SmallScreenTest : public ScreenTest {
 protected:
  XDisplay& X() override { return SmallServer(); }
};

// On a 1280 x 1000 screen, with the other tool windows open down the side of the
// main window, the head-scan window has no room beside it: it opens inside the
// screen over the picture (which the scan freezes), not over the panels or another
// tool window. While the scan runs the status line under the picture shows its
// message or, when the no-data blink erases it, nothing: never the grid label.
TEST_F(SmallScreenTest, HeadScanWindowOpensInsideTheScreenOverThePicture) {
  WriteIni("RunMode=1\nAzimuthDriveEnable=1\nAzimuthWindow=1\n"
           "[Orientation Module Settings]\nEnableOrientationModule=1\n");
  OpenShown();
  ASSERT_EQ(window->screen()->geometry().size(), QSize(1280, 1000));
  window->OnCommand(cmd::kDiagnostics);
  PumpFor(500);
  window->OnCommand(cmd::kHeadScan);
  QWidget* scan = window->Tool(0);
  ASSERT_TRUE(PumpUntil([&] { return scan->isVisible() && scan->frameGeometry() != scan->geometry(); }, 10000));
  PumpFor(500);
  const QRect area = window->screen()->availableGeometry();
  const QRect f = scan->frameGeometry();
  const QRect panels(window->Client()->mapToGlobal(QPoint(600, 0)), QSize(210, 569));
  EXPECT_TRUE(area.contains(f)) << "scan window at " << f.x() << "," << f.y() << " " << f.width() << "x"
                                << f.height();
  const QRect menus(window->menuBar()->mapToGlobal(QPoint(0, 0)), window->menuBar()->size());
  EXPECT_FALSE(f.intersects(menus)) << "over the menu bar";
  EXPECT_FALSE(f.intersects(panels)) << "over the panels: " << f.x() << "," << f.y() << " " << f.width() << "x"
                                     << f.height();
  for (QWidget* other : {static_cast<QWidget*>(window->Diagnostics()), static_cast<QWidget*>(window->Tool(1)),
                         static_cast<QWidget*>(window->Tool(2))}) {
    ASSERT_TRUE(other->isVisible()) << other->windowTitle().toStdString();
    EXPECT_FALSE(f.intersects(other->frameGeometry())) << "over " << other->windowTitle().toStdString();
  }
  X().Run({"import", "-window", "root", "head-scan-window.png"});

  EXPECT_EQ(window->StatusText(), "Scanning Head ID's . . .");
  // The line under the picture, uncovered.
  scan->move(area.right() + 1 - f.width(), area.bottom() + 1 - f.height());
  PumpFor(300);
  display.EraseStatus();  // as the no-data blink does each other second
  PumpFor(400);
  const QRect label(200, 512, 203, window->GetLayout().LineH + 2);  // where the label is drawn
  const QPoint at = window->Client()->mapToGlobal(label.topLeft());
  const QImage shot = QGuiApplication::primaryScreen()
                          ->grabWindow(0, at.x(), at.y(), label.width(), label.height())
                          .toImage()
                          .convertToFormat(QImage::Format_RGB32);
  int not_panel = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) not_panel += (shot.pixel(x, y) & 0xFFFFFF) != (window->ImageColour(121) & 0xFFFFFF);
  EXPECT_EQ(not_panel, 0) << "the grid label is drawn during the head scan";
}

// A 1024 x 768 screen: the main window leaves a strip too narrow for the wider
// tool windows.
XDisplay& XgaServer() {
  static XDisplay server(true, 1024, 768);
  return server;
}

class XgaScreenTest : public ScreenTest {
 protected:
  XDisplay& X() override { return XgaServer(); }
};

// On a 1024 x 768 screen the tool windows that find no room beside the main
// window (Diagnostics, Azimuth, Orientation) cover the least of it: not the
// panels (Mode, Speed, Train), not the menu bar, nor each other, and they stay
// inside the screen.
TEST_F(XgaScreenTest, ToolWindowsCoverTheLeastOfTheMainWindow) {
  WriteIni("RunMode=1\nAzimuthDriveEnable=1\nAzimuthWindow=1\n"
           "[Orientation Module Settings]\nEnableOrientationModule=1\n");
  OpenShown();
  ASSERT_EQ(window->screen()->geometry().size(), QSize(1024, 768));
  window->OnCommand(cmd::kDiagnostics);
  const std::vector<QWidget*> tools = {window->Diagnostics(), window->Tool(1), window->Tool(2)};
  ASSERT_TRUE(PumpUntil([&] {
    for (QWidget* w : tools)
      if (!w->isVisible() || w->frameGeometry() == w->geometry()) return false;
    return true;
  }, 10000));
  PumpFor(500);
  X().Run({"import", "-window", "root", "tool-windows-1024x768.png"});
  const QRect area = window->screen()->availableGeometry();
  const QRect panels(window->Client()->mapToGlobal(QPoint(600, 0)), QSize(210, 569));
  const QRect menus(window->menuBar()->mapToGlobal(QPoint(0, 0)), window->menuBar()->size());
  for (size_t i = 0; i < tools.size(); ++i) {
    const QRect f = tools[i]->frameGeometry();
    const std::string name = tools[i]->windowTitle().toStdString();
    EXPECT_TRUE(area.contains(f)) << name << " at " << f.x() << "," << f.y();
    EXPECT_FALSE(f.intersects(panels)) << name << " over the panels at " << f.x() << "," << f.y();
    EXPECT_FALSE(f.intersects(menus)) << name << " over the menu bar";
    for (size_t j = i + 1; j < tools.size(); ++j)
      EXPECT_FALSE(f.intersects(tools[j]->frameGeometry())) << name << " over " << tools[j]->windowTitle().toStdString();
  }
}

// Openbox placing new windows in the middle of the free screen, as most desktops
// do: the main window is then nowhere near the top left corner.
XDisplay& CentringServer() {
  static XDisplay server(true, 1920, 1080,
                         "<?xml version=\"1.0\"?>\n<openbox_config xmlns=\"http://openbox.org/3.4/rc\">"
                         "<placement><policy>Smart</policy><center>yes</center></placement></openbox_config>\n");
  return server;
}

struct ListedWindow {
  QRect place;
  std::string title;
};

// The windows the window manager holds, as wmctrl lists them with their places.
std::vector<ListedWindow> ListWindows(const XDisplay& x) {
  std::string out;
  std::vector<ListedWindow> list;
  if (x.Run({"wmctrl", "-lG"}, &out) != 0) return list;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream in(line);
    std::string id, desktop, host;
    int px = 0, py = 0, w = 0, h = 0;
    if (!(in >> id >> desktop >> px >> py >> w >> h >> host)) continue;
    std::string title;
    std::getline(in, title);
    title.erase(0, title.find_first_not_of(' '));
    list.push_back({QRect(px, py, w, h), title});
  }
  return list;
}

const ListedWindow* Find(const std::vector<ListedWindow>& list, const std::string& prefix) {
  for (const ListedWindow& w : list)
    if (w.title.rfind(prefix, 0) == 0) return &w;
  return nullptr;
}

// Runs the program until a window titled `wanted` is listed (at most 20 s); the
// main window's place as listed then, and the first other window seen meanwhile
// (the logo) in *logo.
struct StartUpSeen {
  QRect main, wanted, logo;
};

StartUpSeen WatchStartUp(const XDisplay& x, pid_t app, const std::string& wanted) {
  StartUpSeen seen;
  for (int i = 0; i < 400 && seen.wanted.isNull(); ++i) {
    const std::vector<ListedWindow> list = ListWindows(x);
    if (const ListedWindow* m = Find(list, "WinQ47V Digital Sonar")) seen.main = m->place;
    if (const ListedWindow* w = Find(list, wanted)) seen.wanted = w->place;
    for (const ListedWindow& w : list)
      if (seen.logo.isNull() && w.title.rfind("WinQ47V", 0) != 0 && w.title.rfind(wanted, 0) != 0) seen.logo = w.place;
    if (WaitExit(app, 0) != -1) break;
    if (seen.wanted.isNull()) QTest::qSleep(50);
  }
  return seen;
}

void ExpectOver(const QRect& box, const QRect& main, const char* what) {
  const QRect screen(0, 0, 1920, 1080);
  EXPECT_TRUE(screen.contains(box)) << what << " at " << box.x() << "," << box.y();
  EXPECT_TRUE(main.contains(box.center())) << what << " centred at " << box.center().x() << "," << box.center().y()
                                           << ", the main window at " << main.x() << "," << main.y() << " "
                                           << main.width() << "x" << main.height();
}

// The windows of the start-up are centred on the main window where the window
// manager put it (here in the middle of the screen), not where it would be at the
// top left: the logo and the playback dialog of a start in playback.
TEST(ScreenProgramTest, LogoAndPlaybackDialogOpenOverThePlacedMainWindow) {
  const XDisplay& x = CentringServer();
  ASSERT_TRUE(x.ok()) << x.why();
  std::ofstream("WINQ47V.INI") << "[Settings]\nRunMode=1\nAzimuthDriveEnable=0\n"
                                  "[Orientation Module Settings]\nEnableOrientationModule=0\n";
  const pid_t app = Spawn({Q47V_BINARY_DIR "/src/app/winq47v"}, x.name());
  ASSERT_GT(app, 0);
  const StartUpSeen seen = WatchStartUp(x, app, "Open a Sonar File For Playback");
  x.Run({"import", "-window", "root", "start-up-dialog.png"});
  ASSERT_FALSE(seen.main.isNull());
  ASSERT_FALSE(seen.wanted.isNull()) << "no playback dialog";
  EXPECT_GT(seen.main.left(), 200) << "the window manager did not centre the main window";
  ExpectOver(seen.wanted, seen.main, "the playback dialog");
  ASSERT_FALSE(seen.logo.isNull()) << "no logo seen";
  EXPECT_LT((seen.logo.center() - seen.main.center()).manhattanLength(), 60)
      << "logo centred at " << seen.logo.center().x() << "," << seen.logo.center().y() << ", the main window at "
      << seen.main.center().x() << "," << seen.main.center().y();
  x.Run({"wmctrl", "-c", "Open a Sonar File For Playback"});
  QTest::qSleep(300);
  x.Run({"wmctrl", "-c", "WinQ47V Digital Sonar"});
  if (WaitExit(app, 10000) == -1) StopProcess(app);
}

// The boxes about a file named at start (missing, or not a sonar file) open over the
// main window too.
TEST(ScreenProgramTest, BoxesAboutTheStartFileOpenOverThePlacedMainWindow) {
  const XDisplay& x = CentringServer();
  ASSERT_TRUE(x.ok()) << x.why();
  std::ofstream("WINQ47V.INI") << "[Settings]\nRunMode=1\nAzimuthDriveEnable=0\n"
                                  "[Orientation Module Settings]\nEnableOrientationModule=0\n";
  std::ofstream("notsonar.47V") << "this is not a sonar recording\n";
  std::ofstream("notes") << "this is not a sonar recording either\n";
  for (const char* file : {"missing.47V", "notsonar.47V", "/dev/zero", "notes"}) {
    const pid_t app = Spawn({Q47V_BINARY_DIR "/src/app/winq47v", file}, x.name());
    ASSERT_GT(app, 0);
    const StartUpSeen seen = WatchStartUp(x, app, "Open a Sonar File For Playback");
    std::string shot = file;
    std::replace(shot.begin(), shot.end(), '/', '_');
    x.Run({"import", "-window", "root", "start-up-box-" + shot + ".png"});
    ASSERT_FALSE(seen.main.isNull()) << file;
    ASSERT_FALSE(seen.wanted.isNull()) << "no box about " << file;
    ExpectOver(seen.wanted, seen.main, file);
    x.Run({"wmctrl", "-c", "Open a Sonar File For Playback"});
    QTest::qSleep(300);
    x.Run({"wmctrl", "-c", "WinQ47V Digital Sonar"});
    if (WaitExit(app, 10000) == -1) StopProcess(app);
  }
}

// A recording named without its extension plays from the start, its name in
// the title, with no box.
TEST(ScreenProgramTest, RecordingWithoutTheExtensionPlaysFromTheStart) {
  const XDisplay& x = CentringServer();
  ASSERT_TRUE(x.ok()) << x.why();
  std::ofstream("WINQ47V.INI") << "[Settings]\nRunMode=0\nAzimuthDriveEnable=0\n"
                                  "[Orientation Module Settings]\nEnableOrientationModule=0\n";
  std::filesystem::copy_file(Q47V_TESTDATA_DIR "/imaging/harbour_sector.47V", "harbour");
  const pid_t app = Spawn({Q47V_BINARY_DIR "/src/app/winq47v", "harbour"}, x.name());
  ASSERT_GT(app, 0);
  const StartUpSeen seen = WatchStartUp(x, app, "WinQ47V Digital Sonar - Playback of");
  QTest::qSleep(1500);  // a few records drawn
  x.Run({"import", "-window", "root", "start-up-noext.png"});
  ASSERT_FALSE(seen.wanted.isNull()) << "the file was not played";
  const std::vector<ListedWindow> list = ListWindows(x);
  const ListedWindow* main = Find(list, "WinQ47V Digital Sonar - Playback of");
  ASSERT_NE(main, nullptr);
  EXPECT_NE(main->title.find("harbour"), std::string::npos) << main->title;
  EXPECT_EQ(Find(list, "Open a Sonar File For Playback"), nullptr) << "a box or dialog is open";
  x.Run({"wmctrl", "-c", "WinQ47V Digital Sonar"});
  if (WaitExit(app, 10000) == -1) StopProcess(app);
}

}  // namespace
