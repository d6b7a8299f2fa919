// SPDX-License-Identifier: GPL-3.0-or-later
// Menu texts, check marks and grey states after start-up in both data sources and
// after switching between them with the FILE and HEAD buttons.
#include "app_fixture.h"

namespace {

struct Item {
  int id;
  const char* text;
};

TEST_F(AppTest, EveryMenuItemHasItsTextAndId) {
  Open();
  const Item items[] = {
      {10, "&Playback..."}, {15, "&Record Start..."}, {16, "&Copy Start..."}, {207, "&Save Screen..."},
      {208, "&Auto Frame Capture Start..."}, {18, "E&xit"}, {2000, "Disable &Sonar Head"},
      {2001, "Enable &Azimuth Drive"}, {2004, "&Simulate Azimuth Drive (no drive connected)"},
      {2002, "&Change Azimuth..."}, {2005, "Disable &Orientation Module"}, {960, "&Calibrate Sonar Head"},
      {80, "Norm &Hi"}, {81, "Norm &Lo"}, {82, "Gr&een"}, {83, "&Grey"}, {84, "&Rev Grey"},
      {85, "&Brown/Yellow"}, {86, "Green/Bl&ue"}, {87, "Green/&Yellow"}, {88, "Blu&e"},
      {810, "&Meters"}, {811, "&Feet"}, {200, "&Up"}, {201, "&Down"}, {820, "&Sound Velocity..."},
      {830, "User &Text..."}, {700, "Pixel &Zoom (x2)"}, {650, "&Sonar On When Minimized"},
      {105, "Com Po&rts"}, {310, "&Settings"}, {205, "&Clear Screen Now"}, {600, "&Diagnostics"},
      {950, "&Off"}, {951, "&Points Only"}, {952, "&Low Mix"}, {953, "&Med Mix"}, {954, "&High Mix"},
      {1000, "Profile &Grid"}, {1010, "&Zero Down"}, {970, "&Profile Setup..."},
      {980, "&Vertical Scan (Chainage) ..."}, {982, "&Horizontal Scan (Borehole) ..."},
      {981, "Auto-Azimu&th..."}, {206, "&Grid On/Off"}, {100, "&About"}};
  for (const Item& it : items) {
    ASSERT_TRUE(window->Menu().Has(it.id)) << it.id;
    EXPECT_EQ(window->Menu().Text(it.id).toStdString(), it.text) << it.id;
  }
  // The commands without a classic menu item are reachable too.
  for (int id : {20, 655, 825}) EXPECT_TRUE(window->Menu().Has(id)) << id;
  // The test page has no menu item: its key reaches it.
  EXPECT_FALSE(window->Menu().InAMenu(20));
  EXPECT_TRUE(window->Menu().InAMenu(655));
}

TEST_F(AppTest, HeadModeStartChecksAndGreys) {
  WriteIni("RunMode=0\nColors=3\nUnits=1\nXdcr=1\nGrid=1\nPixelZoom=0\nProfile=2\nOnWhenMinimized=1\n");
  Open();
  MenuBar& m = window->Menu();
  for (int i = 0; i < 9; ++i) EXPECT_EQ(m.IsChecked(80 + i), i == 3) << i;
  EXPECT_TRUE(m.IsChecked(811));
  // Plain commands show no check box at all; an unchecked item shows none either.
  for (int plain : {18, 820, 10, 207}) EXPECT_FALSE(m.ShowsCheckBox(plain)) << plain;
  EXPECT_TRUE(m.ShowsCheckBox(811));
  EXPECT_FALSE(m.ShowsCheckBox(810));
  EXPECT_FALSE(m.IsChecked(810));
  EXPECT_TRUE(m.IsChecked(200));
  EXPECT_FALSE(m.IsChecked(201));
  EXPECT_TRUE(m.IsChecked(206));
  EXPECT_FALSE(m.IsChecked(700));
  EXPECT_TRUE(m.IsChecked(952));
  EXPECT_TRUE(m.IsChecked(650));
  EXPECT_FALSE(m.IsEnabled(2000));
  EXPECT_FALSE(m.IsEnabled(1010));  // until the profile grid is on
  for (int id : {10, 16, 208}) EXPECT_FALSE(m.IsEnabled(id)) << id;
  for (int id : {15, 200, 201, 650, 960, 980, 105}) EXPECT_TRUE(m.IsEnabled(id)) << id;
  // Azimuth drive disabled: its items are grey.
  for (int id : {2002, 2004, 981}) EXPECT_FALSE(m.IsEnabled(id)) << id;
  EXPECT_EQ(window->windowTitle().toStdString(), "WinQ47V Digital Sonar");
}

TEST_F(AppTest, FileModeStartGreysHeadItemsAndAsksForAFile) {
  WriteIni("RunMode=1\nAzimuthDriveEnable=1\n");
  Open();
  MenuBar& m = window->Menu();
  for (int id : {10, 16, 208}) EXPECT_TRUE(m.IsEnabled(id)) << id;
  for (int id : {15, 200, 201, 105, 650, 960, 980, 981, 2002, 2004}) EXPECT_FALSE(m.IsEnabled(id)) << id;
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].title, "Open a Sonar File For Playback");
  EXPECT_EQ(asked[0].filter, "Q47V Sonar Files (*.47V)");
  EXPECT_EQ(asked[0].default_ext, "47V");
  EXPECT_FALSE(asked[0].save);
  EXPECT_EQ(window->windowTitle().toStdString(), "WinQ47V Digital Sonar - [No File]");
}

TEST_F(AppTest, ProfileGridAtStartRenamesTheTransducerItems) {
  WriteIni("ProfileGrid=1\nZeroDown=0\nXdcr=0\nGridMode=0\n");
  Open();
  MenuBar& m = window->Menu();
  EXPECT_TRUE(m.IsChecked(1000));
  EXPECT_TRUE(m.IsEnabled(1010));
  EXPECT_TRUE(m.IsChecked(1010));
  EXPECT_EQ(m.Text(200).toStdString(), "&Aft");
  EXPECT_EQ(m.Text(201).toStdString(), "&Fwd");
  EXPECT_TRUE(m.IsChecked(201));
  window->OnCommand(1000);
  EXPECT_FALSE(m.IsChecked(1000));
  EXPECT_FALSE(m.IsEnabled(1010));
  EXPECT_EQ(m.Text(200).toStdString(), "&Up");
}

TEST_F(AppTest, SwitchingDataSourceFollowsInMenus) {
  Open();
  MenuBar& m = window->Menu();
  const Layout& L = window->GetLayout();
  ClickAt(L.FileButtonRect.left + 3, L.FileButtonRect.top + 3);
  EXPECT_EQ(state.RunMode, 1);
  EXPECT_TRUE(m.IsEnabled(10));
  EXPECT_FALSE(m.IsEnabled(15));
  EXPECT_FALSE(m.IsEnabled(105));
  EXPECT_EQ(asked.size(), 1u);
  // FILE again opens another file dialog.
  ClickAt(L.FileButtonRect.left + 3, L.FileButtonRect.top + 3);
  EXPECT_EQ(asked.size(), 2u);
  ClickAt(L.HeadButtonRect.left + 3, L.HeadButtonRect.top + 3);
  EXPECT_EQ(state.RunMode, 0);
  EXPECT_FALSE(m.IsEnabled(10));
  EXPECT_TRUE(m.IsEnabled(15));
  EXPECT_TRUE(m.IsEnabled(105));
  EXPECT_EQ(window->windowTitle().toStdString(), "WinQ47V Digital Sonar");
}

TEST_F(AppTest, ColourCommandMovesTheCheckAndRecolours) {
  Open();
  MenuBar& m = window->Menu();
  const QRgb before = window->Capture().pixel(300, 400);
  (void)before;
  window->OnCommand(85);
  EXPECT_EQ(state.Colors, 5);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(m.IsChecked(80 + i), i == 5);
}

TEST_F(AppTest, UnitsAndToggles) {
  Open();
  MenuBar& m = window->Menu();
  window->OnCommand(811);
  EXPECT_EQ(state.Units, 1);
  EXPECT_TRUE(m.IsChecked(811));
  EXPECT_FALSE(m.IsChecked(810));
  const int grid = state.Grid;
  window->OnCommand(206);
  EXPECT_EQ(state.Grid, 1 - grid);
  EXPECT_EQ(m.IsChecked(206), state.Grid == 1);
  window->OnCommand(2001);
  EXPECT_EQ(state.AzimuthDriveEnable, 1);
  EXPECT_EQ(m.Text(2001).toStdString(), "Disable &Azimuth Drive");
  EXPECT_TRUE(m.IsEnabled(2002));
  window->OnCommand(2001);
  EXPECT_EQ(m.Text(2001).toStdString(), "Enable &Azimuth Drive");
  EXPECT_FALSE(m.IsEnabled(981));
  window->OnCommand(2005);
  EXPECT_EQ(m.Text(2005).toStdString(), "Enable &Orientation Module");
}

TEST_F(AppTest, HoldGreysTransducerItems) {
  Open();
  Key('h');
  EXPECT_TRUE(state.HoldActive);
  EXPECT_FALSE(window->Menu().IsEnabled(200));
  EXPECT_FALSE(window->Menu().IsEnabled(201));
  ClickAt(740, 10);  // the Hold box
  EXPECT_FALSE(state.HoldActive);
  EXPECT_TRUE(window->Menu().IsEnabled(200));
}

TEST_F(AppTest, AutoFrameCaptureToggleShowsItsMessages) {
  WriteIni("RunMode=1\n");
  Open();
  window->OnCommand(208);
  EXPECT_EQ(window->Menu().Text(208).toStdString(), "&Auto Frame Capture Stop...");
  window->OnCommand(208);
  EXPECT_EQ(window->Menu().Text(208).toStdString(), "&Auto Frame Capture Start...");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, "Auto Frame Capture");
  EXPECT_EQ(boxes[0].text, "Capture Started...");
  EXPECT_EQ(boxes[1].text, "Capture Stopped!");
}

}  // namespace
