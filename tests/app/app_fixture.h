// A real main window on the offscreen platform, in the test's own working
// directory, with message boxes and file dialogs replaced by a recording fake.
#pragma once

#include <gtest/gtest.h>

// Qt's X11 interface declares a global typedef "Display", which the core's Display
// class would clash with; the tests never use the X11 one, so it is renamed here.
#define Display QtX11DisplayUnused
#include <QApplication>
#include <QTest>
#undef Display
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "client_area.h"
#include "clock.h"
#include "core_bridge.h"
#include "main_window.h"
#include "prompts.h"
#include "qt_display.h"
#include "settings/app_state.h"

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
