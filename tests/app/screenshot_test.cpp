// SPDX-License-Identifier: GPL-3.0-or-later
// Captures of the window for looking at: HEAD mode at start-up and FILE mode.
// Written into the build tree (screenshots/), never into the source tree.
#include <QDir>
#include <QLabel>

#include "../core/link/pty_pair.h"
#include "app_fixture.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/setup_dialogs.h"

namespace {

QString ShotPath(const char* name) {
  QDir().mkpath(Q47V_BINARY_DIR "/screenshots");
  return QString(Q47V_BINARY_DIR "/screenshots/") + name;
}

TEST_F(AppTest, CaptureHeadAndFileMode) {
  WriteIni("RunMode=0\nGridMode=0\nRange=9\nGain=12\n");
  Open();
  window->HandleMouseMove(350, 300);
  window->HandleRightDown(350, 300);
  window->HandleMouseMove(420, 200);
  Type("R2");
  QCoreApplication::processEvents();
  QImage head = window->Capture();
  EXPECT_EQ(head.width(), 810);
  EXPECT_TRUE(head.save(ShotPath("head_offscreen.png")));
  Type("\r");
  const Layout& L = window->GetLayout();
  ClickAt(L.FileButtonRect.left + 2, L.FileButtonRect.top + 2);
  QImage file = window->Capture();
  EXPECT_TRUE(file.save(ShotPath("file_offscreen.png")));
  // The panel column differs between the modes (no Rev box, playback strip).
  EXPECT_NE(head.copy(600, 0, 210, 560), file.copy(600, 0, 210, 560));
}

TEST_F(AppTest, CaptureComPortSetupAndAboutBox) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  WriteIni("RunMode=0\n");
  Open();
  window->SetDialogHook([&](QDialog& dialog) {
    auto& d = static_cast<ComPortDialog&>(dialog);
    ASSERT_TRUE(d.ChooseDevice(1, pty.path()));
    d.adjustSize();
    EXPECT_TRUE(d.grab().save(ShotPath("comport_setup_offscreen.png")));
  });
  window->OnCommand(105);
  std::unique_ptr<QDialog> about(MakeAboutDialog(window.get()));
  about->adjustSize();
  // The logo is compiled in: the box shows the whole picture, frame and all.
  auto* logo = about->findChild<QLabel*>("logo");
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(logo->pixmap().size(), QSize(315, 202));
  EXPECT_TRUE(about->grab().save(ShotPath("about_offscreen.png")));
}

}  // namespace
