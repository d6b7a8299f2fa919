// SPDX-License-Identifier: GPL-3.0-or-later
#include "app_fixture.h"

#include <fstream>

QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "test_app";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

void AppTest::WriteIni(const std::string& lines) {
  std::ofstream("WINQ47V.INI") << "[Settings]\n" << lines;
}

void AppTest::Open() {
  core = std::make_unique<CoreBridge>(state, display, clock);
  auto prompts = std::make_unique<FakePrompts>();
  prompts->boxes = &boxes;
  prompts->files = &files;
  prompts->asked = &asked;
  window = std::make_unique<MainWindow>(state, *core, std::move(prompts));
  display.SetWindow(window.get());
  window->show();
  window->Start();
  QCoreApplication::processEvents();
}

void AppTest::Key(char c) { QTest::keyClick(window->Client(), c); }

void AppTest::Type(const std::string& keys) {
  for (char c : keys) {
    if (c == '\r') Enter();
    else Key(c);
  }
}

void AppTest::ClickAt(int x, int y) { QTest::mouseClick(window->Client(), Qt::LeftButton, {}, QPoint(x, y)); }
void AppTest::PressAt(int x, int y) { QTest::mousePress(window->Client(), Qt::LeftButton, {}, QPoint(x, y)); }
void AppTest::ReleaseAt(int x, int y) { QTest::mouseRelease(window->Client(), Qt::LeftButton, {}, QPoint(x, y)); }

QPoint AppTest::ButtonCentre(int b) const {
  const LayoutRect& r = window->GetLayout().ButtonRects[b];
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

int AppTest::DriveRepeat(int max_ticks) {
  int n = 0;
  while (window->RepeatActive() && n < max_ticks) {
    window->RepeatTick();
    ++n;
  }
  return n;
}
