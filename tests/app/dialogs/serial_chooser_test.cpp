// SPDX-License-Identifier: GPL-3.0-or-later
// The serial device chooser of "ComPort Setup": the devices present (pseudo-
// terminals made here, and whatever else the machine has), the choice written to
// WINQ47V.INI, and what a user who may not open the chosen device is told.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../../core/link/pty_pair.h"
#include "app_fixture.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/setup_dialogs.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Contains(const std::vector<std::string>& v, const std::string& x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

TEST_F(AppTest, ComPortSetupChoosesADevicePresentAndWritesItToTheIni) {
  PtyPair head;
  ASSERT_TRUE(head.ok());
  WriteIni("ComPort=0\nUseGPS=0\n");
  Open();
  const std::string pty_label = head.path() + " (Pseudo-terminal, software line)";
  std::string plugged_in;
  window->SetDialogHook([&](QDialog& dialog) {
    auto& d = static_cast<ComPortDialog&>(dialog);
    // COM3 names the default device, which this machine lacks; the pty is offered.
    EXPECT_EQ(d.DeviceText(2), "/dev/ttyUSB2 (missing)");
    EXPECT_TRUE(d.IsPushedIn(1002));
    EXPECT_TRUE(Contains(d.DeviceChoices(2), head.path()));
    EXPECT_FALSE(d.ChooseDevice(2, "/dev/not-offered"));
    ASSERT_TRUE(d.ChooseDevice(2, head.path()));
    EXPECT_EQ(d.DeviceText(2), pty_label);
    // The missing device is no longer offered once another is chosen.
    EXPECT_FALSE(Contains(d.DeviceChoices(2), "/dev/ttyUSB2"));
    EXPECT_FALSE(d.IsPushedIn(1002));  // now it can be the head port
    d.Click(1002);
    EXPECT_TRUE(d.IsChecked(1002));
    // A device plugged in while the dialog is open shows on the next listing.
    PtyPair later;
    ASSERT_TRUE(later.ok());
    plugged_in = later.path();
    // (The dialog watches /dev and /dev/pts; the listing follows on its own.)
    QTRY_VERIFY_WITH_TIMEOUT(Contains(d.DeviceChoices(4), plugged_in), 10000);
    EXPECT_EQ(d.DeviceText(2), pty_label);  // the choice survives the listing
    EXPECT_EQ(d.AccessNote(), "");
    d.PressOk();
    EXPECT_TRUE(d.Stored());
  });
  window->OnCommand(105);
  EXPECT_TRUE(boxes.empty()) << boxes[0].text;
  EXPECT_EQ(state.ComPort, 2);
  EXPECT_EQ(core->PortPaths()[2], head.path());
  EXPECT_EQ(state.HeadPortPath.get(), head.path());  // the link reopened on it
  // Written at once, only the port that changed, the settings kept.
  const std::string ini = ReadFile("WINQ47V.INI");
  EXPECT_NE(ini.find("[Serial Ports]\nCOM3=" + head.path() + "\n"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("COM1="), std::string::npos) << ini;
  EXPECT_NE(ini.find("[Settings]\nComPort=0\n"), std::string::npos) << ini;
  // And read back on the next start.
  EXPECT_EQ(LoadComPortPaths(std::string("WINQ47V.INI"))[2], head.path());
}

TEST_F(AppTest, ComPortSetupCancelLeavesTheMappingAlone) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  WriteIni("ComPort=0\n");
  Open();
  window->SetDialogHook([&](QDialog& dialog) {
    auto& d = static_cast<ComPortDialog&>(dialog);
    ASSERT_TRUE(d.ChooseDevice(0, pty.path()));
    d.reject();
  });
  window->OnCommand(105);
  EXPECT_EQ(core->PortPaths()[0], DefaultComPortPath(0));
  EXPECT_EQ(ReadFile("WINQ47V.INI").find("Serial Ports"), std::string::npos);
}

// Needs a user who may be refused: root may open any device. As root, CTest runs
// this test again as the user "nobody" (tests/CMakeLists.txt).
TEST_F(AppTest, ComPortWithoutPermissionSaysHowToGetAccess) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may open any device; run as another user";
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  ASSERT_EQ(::chmod(pty.path().c_str(), 0), 0);
  std::ofstream("WINQ47V.INI") << "[Settings]\nComPort=0\n[Serial Ports]\nCOM1=" << pty.path() << "\n";
  Open();
  // The start-up open of the head port was refused: a box says why and what to do.
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "ComPort Setup");
  EXPECT_EQ(boxes[0].text.find(pty.path() + " cannot be opened: permission denied."), 0u) << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("sudo usermod -aG "), std::string::npos) << boxes[0].text;
  EXPECT_FALSE(core->HeadLinkRunning());
  // The dialog marks the device and repeats the advice under the list.
  window->SetDialogHook([&](QDialog& dialog) {
    auto& d = static_cast<ComPortDialog&>(dialog);
    EXPECT_NE(d.DeviceText(0).find("no permission"), std::string::npos) << d.DeviceText(0);
    EXPECT_EQ(d.AccessNote().find("COM1: " + pty.path() + " cannot be opened: permission denied."), 0u)
        << d.AccessNote();
    d.reject();
  });
  window->OnCommand(105);
}

// A head port that does not open says why, once, in the status line under the
// picture (no box): with no link running nothing else would tell the operator
// why the picture stays empty. A missing device, a file that is no terminal, a
// line another program holds.
TEST_F(AppTest, HeadPortThatDoesNotOpenSaysWhyInTheStatusLine) {
  const std::string here = std::filesystem::current_path().string();
  const std::string gone = here + "/ttyGONE";
  {
    std::ofstream ini("WINQ47V.INI");
    ini << "[Settings]\nRunMode=0\nComPort=0\nAzimuthDriveEnable=0\n[Serial Ports]\nCOM1=" << gone << "\n";
    for (int i = 2; i <= 8; ++i) ini << "COM" << i << "=" << here << "/ttyNONE" << i << "\n";
  }
  Open();
  EXPECT_FALSE(core->HeadLinkRunning());
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(window->StatusText(), "COM1: " + gone + " does not exist");

  std::ofstream("plain.txt") << "not a line\n";
  ComPortPaths paths = core->PortPaths();
  paths[0] = here + "/plain.txt";
  core->SetPortPaths(paths);
  window->ApplyRunMode();
  EXPECT_EQ(window->StatusText(), "COM1: " + paths[0] + " cannot be opened: not a serial device");

  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  const int holder = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  paths[0] = pty.path();
  core->SetPortPaths(paths);
  window->ApplyRunMode();
  EXPECT_EQ(window->StatusText(), "COM1: " + pty.path() + " cannot be opened: in use");
  EXPECT_TRUE(boxes.empty());
  ::close(holder);
  // Once it opens, the line is the link's again.
  window->ApplyRunMode();
  EXPECT_TRUE(core->HeadLinkRunning());
  EXPECT_EQ(window->StatusText(), "");
}

// When the head port's own device is missing and the start-up probe moves the
// head port to another line, the status line says so once the link runs there.
TEST_F(AppTest, HeadPortMovedByTheProbeSaysWhy) {
  const std::string here = std::filesystem::current_path().string();
  PtyPair other;
  ASSERT_TRUE(other.ok());
  {
    std::ofstream ini("WINQ47V.INI");
    ini << "[Settings]\nRunMode=0\nComPort=0\nAzimuthDriveEnable=0\n[Serial Ports]\n";
    for (int i = 1; i <= 8; ++i) ini << "COM" << i << "=" << (i == 3 ? other.path() : here + "/ttyNONE" + std::to_string(i)) << "\n";
  }
  Open();
  EXPECT_EQ(state.ComPort, 2);
  EXPECT_TRUE(core->HeadLinkRunning());
  EXPECT_EQ(window->StatusText(), "COM1: " + here + "/ttyNONE1 does not exist; the head port is COM3");
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
