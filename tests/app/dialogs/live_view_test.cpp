// SPDX-License-Identifier: GPL-3.0-or-later
// Misc > "Live View in Browser...": the dialog starts the server on the address
// and port in its fields, shows the address to open and the viewers counted as a
// browser connects, keeps the choice in WINQ47V.INI section "Live View", and the
// menu item's check mark follows the server.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app_fixture.h"
#include "dialogs/live_view_dialog.h"
#include "../../webview/raw_client.h"
#include "settings/ini_file.h"

namespace {

LiveViewDialog* FindDialog(MainWindow& w) { return w.findChild<LiveViewDialog*>("LiveViewDialog"); }

}  // namespace

TEST_F(AppTest, LiveViewDialogStartsShowsViewersAndStops) {
  WriteIni("RunMode=1\n");
  Open();
  ASSERT_TRUE(window->Menu().Has(2100));
  EXPECT_EQ(window->Menu().Text(2100).toStdString(), "&Live View in Browser...");
  window->OnCommand(2100);
  LiveViewDialog* d = FindDialog(*window);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(d->AddressField()->text().toStdString(), "127.0.0.1");
  EXPECT_EQ(d->PortField()->value(), 8047);
  d->PortField()->setValue(0);  // any free port, so that tests never collide
  d->StartStopButton()->click();
  ASSERT_TRUE(d->Server().Running()) << d->MessageLabel()->text().toStdString();
  EXPECT_TRUE(window->Menu().IsChecked(2100));
  const std::string url = d->UrlField()->text().toStdString();
  EXPECT_EQ(url, "http://127.0.0.1:" + std::to_string(d->Server().Port()) + "/");
  EXPECT_FALSE(d->AddressField()->isEnabled());

  RawClient viewer;
  ASSERT_TRUE(viewer.Connect(d->Server().Port()));
  ASSERT_EQ(viewer.Handshake().rfind("HTTP/1.1 101", 0), 0u);
  EXPECT_TRUE(QTest::qWaitFor([&] { return d->ViewersLabel()->text() == "1"; }, 5000));

  // Closing the dialog leaves the server running; the menu brings the same one back.
  d->hide();
  window->OnCommand(2100);
  EXPECT_EQ(FindDialog(*window), d);
  EXPECT_TRUE(d->Server().Running());

  d->StartStopButton()->click();
  EXPECT_FALSE(d->Server().Running());
  EXPECT_FALSE(window->Menu().IsChecked(2100));
  EXPECT_TRUE(d->UrlField()->text().isEmpty());
  EXPECT_TRUE(viewer.PeerClosed());

  IniFile ini;
  ASSERT_TRUE(IniFile::Load(state.SettingsPath.get(), ini));
  EXPECT_EQ(ini.GetString("Live View", "Address", ""), "127.0.0.1");
  EXPECT_EQ(ini.GetString("Live View", "Port", ""), "0");
}

TEST_F(AppTest, LiveViewBeyondTheLoopbackNeedsTheTokenInTheAddress) {
  Open();
  LiveViewDialog* d = ShowLiveViewDialog(window.get(), state, clock);
  d->AddressField()->setText("0.0.0.0");
  d->PortField()->setValue(0);
  ASSERT_TRUE(d->StartServer()) << d->MessageLabel()->text().toStdString();
  ASSERT_TRUE(d->Server().TokenRequired());
  const std::string url = d->UrlField()->text().toStdString();
  EXPECT_NE(url.find("/?token=" + d->Server().Token()), std::string::npos) << url;
  // Only the loopback is used to check it: no traffic leaves this machine.
  RawClient without;
  ASSERT_TRUE(without.Connect(d->Server().Port()));
  without.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(without.ReadAll(3000).rfind("HTTP/1.1 403", 0), 0u);
  d->StopServer();
}

TEST_F(AppTest, LiveViewReportsAnAddressItCannotUse) {
  Open();
  LiveViewDialog* d = ShowLiveViewDialog(window.get(), state, clock);
  d->AddressField()->setText("203.0.113.250");  // not an address of this machine
  d->PortField()->setValue(0);
  EXPECT_FALSE(d->StartServer());
  EXPECT_FALSE(d->Server().Running());
  EXPECT_TRUE(d->MessageLabel()->text().startsWith("The live view cannot start")) << d->MessageLabel()->text().toStdString();
  EXPECT_TRUE(d->AddressField()->isEnabled());
}
