// Captures of the window for looking at: HEAD mode at start-up and FILE mode.
// Written into the build tree (screenshots/), never into the source tree.
#include <QDir>

#include "app_fixture.h"

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

}  // namespace
