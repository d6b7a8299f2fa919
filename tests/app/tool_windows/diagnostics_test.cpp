// SPDX-License-Identifier: GPL-3.0-or-later
// The Diagnostics window's rows for the last replies and settings.
#include "app_fixture.h"
#include "tool_windows/diagnostics_window.h"

namespace {

TEST(DiagnosticsTest, BeforeAnyReplyRowsShowNa) {
  AppState s;
  const auto rows = DiagnosticsRows(s, 1234);
  ASSERT_EQ(rows.size(), 20u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(rows[i].head, "n/a") << i;
  for (const auto& r : rows) EXPECT_TRUE(r.azimuth.empty());  // drive disabled: no column
  EXPECT_EQ(rows[11].label, "Delay Count");
  EXPECT_EQ(rows[11].head, "1234");
  EXPECT_EQ(rows[9].head, "1000 us");  // TxDelay 10
  EXPECT_EQ(rows[8].head, "0 ms");
  EXPECT_EQ(rows[10].head, "10 ms");
  EXPECT_EQ(rows[13].head, "0x0000 - 0");
  EXPECT_EQ(rows[17].head, " 0.0 M");
}

TEST(DiagnosticsTest, SonarReplyFieldsAndChirp) {
  AppState s;
  s.Units = 1;
  LinkShown shown;
  shown.Ping.Decoded = true;
  shown.Ping.ReplyHeader[0] = 'I';
  shown.Ping.ReplyHeader[1] = 'G';
  shown.Ping.ReplyHeader[2] = 'X';
  shown.Ping.ReplyHeadId = 0x10;
  shown.Ping.HeadStatus = 2;
  shown.Ping.HeadPosition = 612;
  shown.Ping.RangeMetres = 10;
  shown.Ping.DataByteCount = 500;
  shown.Ping.Termination = 0xFC;
  s.PublishShown(shown);
  const auto rows = DiagnosticsRows(s, 0);
  EXPECT_EQ(rows[0].head, "IGX");
  EXPECT_EQ(rows[1].head, "0x10");
  EXPECT_EQ(rows[2].head, "0x02CHIRP");
  EXPECT_EQ(rows[3].head, "612");
  EXPECT_EQ(rows[4].head, "30 FT");
  EXPECT_EQ(rows[6].head, "500");
  EXPECT_EQ(rows[7].head, "0xFC");
  EXPECT_EQ(rows[17].head, " 0.0 FT");
}

TEST(DiagnosticsTest, AzimuthColumnWhileTheDriveIsEnabled) {
  AppState s;
  s.AzimuthDriveEnable = 1;
  auto rows = DiagnosticsRows(s, 0);
  EXPECT_EQ(rows[0].azimuth, "n/a");
  LinkShown shown;
  shown.Azimuth.Decoded = true;
  shown.Azimuth.Header = {'I', 'A', 'X'};
  shown.Azimuth.Id = 0x1F;
  shown.Azimuth.TiltPresent = true;
  shown.Azimuth.Pitch = 1.5f;
  s.PublishShown(shown);
  rows = DiagnosticsRows(s, 0);
  EXPECT_EQ(rows[0].azimuth, "IAX - MRK II");
  EXPECT_EQ(rows[1].azimuth, "0x1F");
  EXPECT_EQ(rows[4].azimuth, "---");
  EXPECT_EQ(rows[6].azimuth, "1.5, 0.0, 0.0");
}

TEST_F(AppTest, DiagnosticsMenuShowsAndCloseHides) {
  Open();
  window->OnCommand(600);
  EXPECT_EQ(window->Shell().DiagnosticsShown, 1);
  EXPECT_TRUE(window->Diagnostics()->isVisible());
  EXPECT_EQ(window->Diagnostics()->windowTitle().toStdString(), "Diagnostics");
  window->Diagnostics()->close();
  EXPECT_EQ(window->Shell().DiagnosticsShown, 0);
  EXPECT_FALSE(window->Diagnostics()->isVisible());
}

}  // namespace
