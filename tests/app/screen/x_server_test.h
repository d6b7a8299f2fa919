// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of what reaches a real X server: the window of the program on the Xvfb
// server (with a window manager) that X() gives, through Qt's xcb platform.
#pragma once

#include <QByteArray>
#include <QGuiApplication>

#include "app_fixture.h"
#include "x_display.h"

class XServerAppTest : public AppTest {
 protected:
  virtual XDisplay& X() = 0;
  void SetUp() override {
    ASSERT_TRUE(X().ok()) << X().why();
    qputenv("DISPLAY", QByteArray::fromStdString(X().name()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    AppTest::SetUp();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  }
};
