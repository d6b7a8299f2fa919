// SPDX-License-Identifier: GPL-3.0-or-later
// A real main window on the offscreen platform, in the test's own working
// directory, with message boxes and file dialogs replaced by a recording fake.
#pragma once

#include <gtest/gtest.h>

// Qt's X11 interface declares a global typedef "Display", which the core's Display
// class would clash with; the tests never use the X11 one, so it is renamed here.
#define Display QtX11DisplayUnused
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#undef Display
#include <cstdint>
#include <deque>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "window/client_area.h"
#include "clock.h"
#include "bridge/core_bridge.h"
#include "window/main_window.h"
#include "dialogs/prompts.h"
#include "bridge/qt_display.h"
#include "app_state.h"

struct ShownBox {
  std::string title, text;
  bool warning = false;
};

class FakePrompts : public Prompts {
 public:
  std::vector<ShownBox>* boxes;
  std::deque<std::string>* files;
  std::vector<FileDialogRequest>* asked;
  void Warning(const std::string& t, const std::string& x) override { boxes->push_back({t, x, true}); }
  void Info(const std::string& t, const std::string& x) override { boxes->push_back({t, x, false}); }
  std::string AskFile(const FileDialogRequest& request) override {
    asked->push_back(request);
    if (files->empty()) return {};
    std::string f = files->front();
    files->pop_front();
    return f;
  }
};

QApplication& TestApp();

// The whole text of a file (empty when there is none).
inline std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A "G" reply frame of 513 bytes at head position `pos`.
inline std::vector<uint8_t> GReply(int pos, int seed = 0) {
  std::vector<uint8_t> r(513, 0);
  r[0] = 'I';
  r[1] = 'G';
  r[2] = 'X';
  r[3] = 0x10;
  r[5] = static_cast<uint8_t>(pos & 0x7F);
  r[6] = static_cast<uint8_t>((pos >> 7) & 0x3F);
  r[7] = 50;
  r[10] = 500 & 0x7F;
  r[11] = (500 >> 7) & 0x7F;
  for (int i = 12; i < 512; ++i) r[static_cast<size_t>(i)] = static_cast<uint8_t>((i * 7 + seed * 13) & 0x7F);
  r[512] = 0xFC;
  return r;
}

// Runs the event loop until `done` holds or `limit_ms` passed: the simulator and
// the window run on their own clocks, so tests wait for conditions, not times.
template <typename Fn>
bool PumpUntil(Fn done, int limit_ms) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > limit_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QTest::qWait(5);
  }
  return true;
}

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override { TestApp(); }
  void TearDown() override {
    if (window) {
      window->SetQuietClose(true);
      window->close();
    }
    window.reset();
  }

  // Writes WINQ47V.INI lines (section "Settings") before the window is made.
  void WriteIni(const std::string& settings_lines);
  // Makes and starts the window.
  void Open();

  void Key(char c);
  void Enter() { QTest::keyClick(window->Client(), Qt::Key_Return); }
  void Type(const std::string& keys);
  void ClickAt(int x, int y);
  void PressAt(int x, int y);
  void ReleaseAt(int x, int y);
  QPoint ButtonCentre(int button) const;
  // Runs the repeat timer's ticks until the held button lets go (at most n).
  int DriveRepeat(int max_ticks);

  AppState state;
  Clock clock;
  QtDisplay display;
  std::unique_ptr<CoreBridge> core;
  std::unique_ptr<MainWindow> window;
  std::vector<ShownBox> boxes;
  std::deque<std::string> files;
  std::vector<FileDialogRequest> asked;
};
