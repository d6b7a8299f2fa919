// SPDX-License-Identifier: GPL-3.0-or-later
// The serial device listing on this machine: pseudo-terminals made by the test,
// whatever real ports there are, paths reached through links, missing devices and
// devices this user may not open.
#include "link/serial_devices.h"

#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "link/serial_port.h"
#include "pty_pair.h"

namespace {

const SerialDevice* Find(const std::vector<SerialDevice>& list, const std::string& node) {
  auto it = std::find_if(list.begin(), list.end(), [&](const SerialDevice& d) { return d.node == node; });
  return it == list.end() ? nullptr : &*it;
}

TEST(SerialDevices, ListsThePseudoTerminalsOfThisUserAfterTheRealPorts) {
  PtyPair a, b;
  ASSERT_TRUE(a.ok() && b.ok());
  const std::vector<SerialDevice> list = ListSerialDevices();
  const SerialDevice* da = Find(list, a.path());
  const SerialDevice* db = Find(list, b.path());
  ASSERT_NE(da, nullptr) << a.path() << " not listed";
  ASSERT_NE(db, nullptr) << b.path() << " not listed";
  EXPECT_TRUE(da->pseudo);
  EXPECT_EQ(da->path, a.path());
  EXPECT_EQ(da->access, DeviceAccess::kOpenable);
  EXPECT_EQ(DeviceLabel(*da), a.path() + " (Pseudo-terminal, software line)");
  // Real ports come first; every entry names a device node that exists, once.
  bool seen_pseudo = false;
  for (const SerialDevice& d : list) {
    SCOPED_TRACE(d.node);
    // Other tests running at the same time open and close pseudo-terminals of their
    // own: only ours and the real ports are stable enough to check.
    if (d.pseudo && d.path != a.path() && d.path != b.path()) {
      seen_pseudo = true;
      continue;
    }
    if (seen_pseudo) {
      EXPECT_TRUE(d.pseudo) << "a real port after the pseudo-terminals";
    }
    seen_pseudo = seen_pseudo || d.pseudo;
    EXPECT_EQ(d.node.rfind("/dev/", 0), 0u);
    EXPECT_FALSE(d.description.empty());
    EXPECT_EQ(std::count_if(list.begin(), list.end(), [&](const SerialDevice& o) { return o.node == d.node; }), 1);
    // A by-id path stands for the node itself.
    if (d.path != d.node) {
      EXPECT_EQ(d.path.rfind("/dev/serial/by-id/", 0), 0u);
      char real[4096];
      ASSERT_NE(::realpath(d.path.c_str(), real), nullptr);
      EXPECT_EQ(d.node, real);
    }
  }
  // A pseudo-terminal closed on its master side is gone from the next listing,
  // unless another program running now was given the same number at once.
  const std::string gone = b.path();
  b.Close();
  if (Find(ListSerialDevices(), gone) != nullptr) {
    EXPECT_EQ(::access(gone.c_str(), F_OK), 0) << gone << " listed after it was closed";
  }
}

TEST(SerialDevices, DescribesAPathThroughALinkAsTheDeviceItNames) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  ASSERT_EQ(::symlink(pty.path().c_str(), "head-line"), 0);
  const std::vector<SerialDevice> list = ListSerialDevices();
  const std::string link = (std::filesystem::current_path() / "head-line").string();
  const SerialDevice d = DescribeSerialPath(list, link);
  EXPECT_EQ(d.path, link);  // the stored path stays as it was chosen
  EXPECT_EQ(d.node, pty.path());
  EXPECT_TRUE(d.pseudo);
  EXPECT_EQ(d.access, DeviceAccess::kOpenable);

  const SerialDevice missing = DescribeSerialPath(list, "/dev/ttyUSB97");
  EXPECT_EQ(missing.access, DeviceAccess::kMissing);
  EXPECT_EQ(DeviceLabel(missing), "/dev/ttyUSB97 (missing)");
}

// What a user who may not open the device is told, checked as that user: the
// test's own uid with the device made unreadable, or, for root (who may open
// anything), a child process that has become "nobody".
TEST(SerialDevices, TellsAPermissionProblemFromAMissingDevice) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  ASSERT_EQ(::chmod(pty.path().c_str(), 0), 0);
  auto check = [&pty]() -> std::string {
    std::string out;
    if (CheckDeviceAccess(pty.path()) != DeviceAccess::kNoPermission) out += "access not refused; ";
    std::string error;
    if (SerialPort::Open(pty.path(), 115200, SerialPort::Access::ReadWrite, &error)) out += "opened; ";
    if (error.find("Permission denied") == std::string::npos) out += "open error '" + error + "'; ";
    const std::string advice = PermissionAdvice(pty.path());
    if (advice.find(pty.path() + " cannot be opened: permission denied.") != 0) out += "advice: " + advice;
    if (advice.find("sudo usermod -aG ") == std::string::npos) out += "no usermod in: " + advice;
    const std::vector<SerialDevice> list = ListSerialDevices();
    const SerialDevice d = DescribeSerialPath(list, pty.path());
    if (DeviceLabel(d).find("no permission") == std::string::npos) out += "label " + DeviceLabel(d);
    return out;
  };
  if (::geteuid() != 0) {
    EXPECT_EQ(check(), "");
    return;
  }
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(fds[0]);
    std::string out;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)
      out = "SKIP";
    else
      out = check();
    (void)!::write(fds[1], out.data(), out.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string got;
  char buf[512];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) got.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (got == "SKIP") GTEST_SKIP() << "cannot become another user here";
  EXPECT_EQ(got, "");
  // Root itself still may.
  EXPECT_EQ(CheckDeviceAccess(pty.path()), DeviceAccess::kOpenable);
}

}  // namespace
