// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up logo's place: centred on the main window's rectangle.
#include <gtest/gtest.h>

#include "splash.h"

namespace {

TEST(StartupLogo, CentredOnTheMainWindow) {
  // A 300 x 140 picture shown at 450 x 210 over a window at (100, 50), 810 x 615.
  EXPECT_EQ(LogoPosition(QRect(100, 50, 810, 615), QSize(450, 210)), QPoint(280, 252));
  // Odd sizes: halves truncated toward zero.
  EXPECT_EQ(LogoPosition(QRect(0, 0, 811, 615), QSize(451, 211)), QPoint(179, 201));
}

}  // namespace
