// SPDX-License-Identifier: GPL-3.0-or-later
// q47v record --serve takes only addresses it can listen on exactly as written.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "files_tool_support.h"
#include "webview/live_view_settings.h"

namespace {

TEST(ServeAddressTest, LooseAndUnservableAddressesAreRefused) {
  std::ofstream("WINQ47V.INI") << "[Settings]\n";
  for (const char* bad : {"999.1.1.1:0", "127.0.0.300:0", "[::]:0", "[::1]:0"}) {
    const FilesToolRun run = RunQ47v(std::string("record --ini WINQ47V.INI --out x.47v --serve ") + bad);
    EXPECT_EQ(run.status, 2) << bad << ": " << run.err;
    const bool v6 = bad[0] == '[';
    if (v6 && webview::IPv6Served()) continue;  // a library built with IPv6 serves them
    EXPECT_NE(run.err.find(v6 ? "IPv6" : "is not an IPv4 address"), std::string::npos) << bad << ": " << run.err;
  }
  const FilesToolRun help = RunQ47v("record --help");
  EXPECT_EQ(help.out.find("IPv6"), std::string::npos) << "IPv6 offered";
}

}  // namespace
