// SPDX-License-Identifier: GPL-3.0-or-later
// The scan toggle (command 655), the azimuth and orientation windows.
#include <QScreen>

#include "app_fixture.h"
#include "tool_windows/tool_windows.h"
#include "link/reply_decoder.h"
#include "dialogs/setup_dialogs.h"

namespace {

TEST_F(AppTest, HeadScanToggleShowsWindowAndStatus) {
  Open();
  window->OnCommand(655);
  EXPECT_TRUE(state.HeadScanActive);
  EXPECT_TRUE(window->Menu().IsChecked(655));
  EXPECT_EQ(window->StatusText(), "Scanning Head ID's . . .");
  ASSERT_TRUE(window->Tool(0)->isVisible());
  EXPECT_EQ(window->Tool(0)->windowTitle().toStdString(), "Scan For Connected Heads");
  EXPECT_EQ(ScanWindowLines(state).front(), "Scanning ID: 0x10");
  window->OnCommand(655);
  EXPECT_FALSE(state.HeadScanActive);
  EXPECT_FALSE(window->Menu().IsChecked(655));
  EXPECT_FALSE(window->Tool(0)->isVisible());
  EXPECT_EQ(window->StatusText(), "");
}

TEST_F(AppTest, OrientationWindowFollowsTheMenu) {
  WriteIni("EnableOrientationModule=1\n");
  Open();
  EXPECT_TRUE(window->Tool(2)->isVisible());
  EXPECT_EQ(OrientationWindowLines(state).front(), "Heading: n/a");  // nothing answered yet
  window->Tool(2)->close();
  EXPECT_EQ(state.EnableOrientationModule, 0);
  EXPECT_EQ(window->Menu().Text(2005).toStdString(), "Enable &Orientation Module");
  window->OnCommand(2005);
  EXPECT_EQ(state.EnableOrientationModule, 1);
  EXPECT_TRUE(window->Tool(2)->isVisible());
}

TEST_F(AppTest, AzimuthDriveEnableShowsItsWindow) {
  WriteIni("AzimuthDriveEnable=0\nAzimuthWindow=1\n");
  Open();
  EXPECT_EQ(state.AzimuthWindow, 0);  // the drive is off: the stored window flag goes
  window->OnCommand(2001);
  EXPECT_EQ(state.AzimuthWindow, 1);
  EXPECT_TRUE(window->Tool(1)->isVisible());
  // Inside the screen (beside the main window where the screen has room: the
  // screen tests check that on a real display).
  const QRect area = window->screen()->availableGeometry(), f = window->Tool(1)->frameGeometry();
  EXPECT_TRUE(area.contains(f)) << f.x() << "," << f.y() << " " << f.width() << "x" << f.height() << " in " << area.width() << "x" << area.height();
  window->OnCommand(2001);
  EXPECT_EQ(state.AzimuthWindow, 0);
  EXPECT_FALSE(window->Tool(1)->isVisible());
  state.AzimuthPosition = 600;
  EXPECT_EQ(AzimuthWindowLines(state).front(), "  0.0 Deg");
}

}  // namespace

namespace {

TEST_F(AppTest, MinimizingClosesThePortsUnlessSonarOnWhenMinimized) {
  WriteIni("OnWhenMinimized=0\nRunMode=0\n");
  Open();
  window->setWindowState(Qt::WindowMinimized);
  QCoreApplication::processEvents();
  EXPECT_EQ(window->Shell().MinimizedPortsClosed, 1);
  window->setWindowState(Qt::WindowNoState);
  QCoreApplication::processEvents();
  EXPECT_EQ(window->Shell().MinimizedPortsClosed, 0);
}

TEST_F(AppTest, SonarOnWhenMinimizedKeepsThePorts) {
  WriteIni("OnWhenMinimized=1\nRunMode=0\n");
  Open();
  window->setWindowState(Qt::WindowMinimized);
  QCoreApplication::processEvents();
  EXPECT_EQ(window->Shell().MinimizedPortsClosed, 0);
  window->OnCommand(650);
  EXPECT_EQ(state.OnWhenMinimized, 0);
  EXPECT_FALSE(window->Menu().IsChecked(650));
}

}  // namespace

namespace {

// The scan window and the File-mode Settings show the ID the head answered with,
// from the "T" reply itself.
TEST(ScanWindowText, ShowsTheHeadThatAnswered) {
  AppState s;
  FakeClock clock;
  s.HeadScanActive = true;
  const ReplyExpectation e = ExpectationFor('T', 8, 500);
  std::vector<std::uint8_t> reply(static_cast<size_t>(e.Length), 0x33);
  reply[0] = 'I';
  reply[1] = 'T';
  reply[2] = 'X';
  reply[3] = 0x12;
  reply.back() = 0xFC;
  ASSERT_TRUE(ProcessReplyBytes(s, reply, e, clock).Accepted);
  const auto lines = ScanWindowLines(s);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "Head ID: 0x12");
  EXPECT_EQ(DisplaySwitchesLines(s)[0], "Head ID: 3");
}

}  // namespace
