// SPDX-License-Identifier: GPL-3.0-or-later
// The mouse on the picture: readouts follow the cursor, the right button anchors a
// measurement, the left button freezes the zoom inset.
#include "app_fixture.h"
#include "window/picture_mouse.h"

namespace {

TEST_F(AppTest, ReadoutsFollowTheCursorAndMeasure) {
  WriteIni("GridMode=0\nRange=9\nUnits=0\nTrain=0\nProfileGrid=0\n");
  Open();
  EXPECT_TRUE(window->ReadoutTexts().empty());
  // Sector display: the transducer is at (301, 508); 100 pixels straight up is 10 m at 50 m.
  window->HandleMouseMove(301, 408);
  auto lines = window->ReadoutTexts();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Org: 000.00 M, 000.0 Deg");
  EXPECT_EQ(lines[1].rfind("Tar: 010.", 0), 0u) << lines[1];
  // Right button anchors the measurement there; moving right measures 90 degrees.
  window->HandleRightDown(301, 408);
  EXPECT_EQ(window->Mouse().MeasureMode(), 1);
  window->HandleMouseMove(351, 408);
  lines = window->ReadoutTexts();
  EXPECT_EQ(lines[2].rfind("Diff: 005.", 0), 0u) << lines[2];
  EXPECT_NE(lines[2].find("090.0 Deg"), std::string::npos) << lines[2];
  window->HandleRightDown(351, 408);
  EXPECT_EQ(window->Mouse().MeasureMode(), 0);
}

TEST_F(AppTest, LeftClickFreezesTheZoom) {
  WriteIni("PixelZoom=1\n");
  Open();
  window->HandleMouseMove(200, 200);
  window->HandleLeftDown(200, 200);
  EXPECT_EQ(window->Mouse().ZoomFrozen(), 1);
  const auto frozen = window->ReadoutTexts();
  window->HandleMouseMove(250, 260);
  EXPECT_EQ(window->ReadoutTexts(), frozen);
  window->HandleLeftDown(250, 260);
  EXPECT_EQ(window->Mouse().ZoomFrozen(), 0);
  window->OnCommand(700);  // zoom off unfreezes too
  EXPECT_EQ(state.PixelZoom, 0);
}

TEST_F(AppTest, ArrowKeysAccelerate) {
  Open();
  EXPECT_FLOAT_EQ(window->Mouse().ArrowStep(), 1.0f);
  for (int i = 0; i < 40; ++i) window->HandleKeyDown(Qt::Key_Left);
  EXPECT_FLOAT_EQ(window->Mouse().ArrowStep(), 16.0f);
  window->HandleKeyUp();
  EXPECT_FLOAT_EQ(window->Mouse().ArrowStep(), 1.0f);
}

}  // namespace
