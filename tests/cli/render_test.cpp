// SPDX-License-Identifier: GPL-3.0-or-later
// `q47v render` run as a program on recorded harbour files (a Sector sweep and a
// Polar turn from the simulator, tests/data/imaging/).
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <sys/wait.h>

#include "test_text.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int status = -1;
  std::string out;
};

ToolRun Render(const std::string& args) {
  const std::string command = std::string(Q47V_BINARY_DIR) + "/src/cli/q47v render " + args + " 2>&1";
  ToolRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Sample(const std::string& name) { return std::string(Q47V_TESTDATA_DIR) + "/imaging/" + name; }

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// RGB rows of a PNG, top first; empty when it cannot be read.
std::vector<uint8_t> ReadPng(const std::string& path, int& w, int& h) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  w = static_cast<int>(image.width);
  h = static_cast<int>(image.height);
  return rgb;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

TEST(Render, SectorFileGivesOnePictureAfterTheLastRecord) {
  const ToolRun run = Render(Sample("harbour_sector.47V") + " --out out");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("300 records read, 300 drawn, 1 pictures"), std::string::npos) << run.out;
  ASSERT_EQ(SortedFileNames("out"), (std::vector<std::string>{"harbour_sector-0001.png"}));
  int w = 0, h = 0;
  const std::vector<uint8_t> rgb = ReadPng("out/harbour_sector-0001.png", w, h);
  ASSERT_EQ(w, 596);
  ASSERT_EQ(h, 506);
  // Grid colour on the baseline row 504, echoes (not black, not grid) in the fan.
  EXPECT_EQ(rgb[(504 * 596 + 10) * 3], 127);
  EXPECT_EQ(rgb[(504 * 596 + 10) * 3 + 1], 0);
  int echo = 0;
  for (int y = 100; y < 400; ++y)
    for (int x = 200; x < 400; ++x) {
      const uint8_t* p = &rgb[(y * 596 + x) * 3];
      echo += p[1] > 0;  // Norm Hi echoes have green; grid and black do not
    }
  EXPECT_GT(echo, 20000);
}

TEST(Render, BmpHasThe24BitLayoutBottomRowFirst) {
  const ToolRun run = Render(Sample("harbour_sector.47V") + " --out out --format bmp --colors 3");
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<uint8_t> b = ReadBytes("out/harbour_sector-0001.bmp");
  const uint32_t row = 596 * 3;  // 1788, already a multiple of 4
  ASSERT_EQ(b.size(), 54 + row * 506);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(Le32(b, 2), b.size());
  EXPECT_EQ(Le32(b, 10), 54u);
  EXPECT_EQ(Le32(b, 14), 40u);
  EXPECT_EQ(Le32(b, 18), 596u);
  EXPECT_EQ(Le32(b, 22), 506u);
  EXPECT_EQ(b[26], 1);
  EXPECT_EQ(b[28], 24);
  EXPECT_EQ(Le32(b, 30), 0u);
  EXPECT_EQ(Le32(b, 34), row * 506);
  // File row 1 is image row 504, the grid baseline: blue, green, red = 0, 0, 127.
  EXPECT_EQ(b[54 + row + 0], 0);
  EXPECT_EQ(b[54 + row + 1], 0);
  EXPECT_EQ(b[54 + row + 2], 127);
  // The Grey table: every echo pixel has equal channels.
  for (size_t k = 54; k + 2 < b.size(); k += 3)
    if (b[k + 2] != 127) {
      ASSERT_TRUE(b[k] == b[k + 1] && b[k + 1] == b[k + 2]) << k;
    }
}

TEST(Render, EveryNRecords) {
  const ToolRun run = Render(Sample("harbour_sector.47V") + " --out out --every 100");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(SortedFileNames("out"), (std::vector<std::string>{"harbour_sector-0001.png", "harbour_sector-0002.png",
                                                     "harbour_sector-0003.png"}));
}

TEST(Render, PerSweepFollowsTheAutoFrameCaptureRule) {
  // Sector: a 120-degree sweep at 0.9 degrees a ping turns round twice in 300 pings,
  // and the part-sweep after the last turn is written at the end.
  ToolRun run = Render(Sample("harbour_sector.47V") + " --out sector --per-sweep");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(SortedFileNames("sector").size(), 3u) << run.out;
  // Polar: 360 degrees at 1.2 degrees a ping, 620 pings: two full turns and the rest.
  run = Render(Sample("harbour_polar.47V") + " --out polar --per-sweep");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(SortedFileNames("polar").size(), 3u) << run.out;
}

TEST(Render, RecordAndTimeRanges) {
  ToolRun run = Render(Sample("harbour_sector.47V") + " --out a --records 10-20");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find(", 11 drawn"), std::string::npos) << run.out;
  EXPECT_EQ(SortedFileNames("a").size(), 1u);
  // The recording stamps ten pings a second from 01:30:00.
  run = Render(Sample("harbour_sector.47V") + " --out b --range-from 01:30:05 --range-to 01:30:09");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find(", 50 drawn"), std::string::npos) << run.out;
  run = Render(Sample("harbour_sector.47V") + " --out c --records 400-500");
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("no records in the chosen range"), std::string::npos);
}

TEST(Render, SideScanWaterfallScrollsDownFromTheTopRow) {
  const ToolRun run = Render(Sample("harbour_ss.47V") + " --out ss --format bmp");
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<uint8_t> b = ReadBytes("ss/harbour_ss-0001.bmp");
  ASSERT_EQ(b.size(), 54u + 1788u * 506u);
  auto red = [&](int x, int y) { return b[54 + (505 - y) * 1788 + x * 3 + 2]; };
  auto green = [&](int x, int y) { return b[54 + (505 - y) * 1788 + x * 3 + 1]; };
  // 300 port pings: rows 0..299 carry echoes left of the transducer column 595,
  // the rows below are still clear.
  int lit_top = 0, lit_bottom = 0;
  for (int x = 100; x < 590; ++x) {
    lit_top += green(x, 150) > 0;
    lit_bottom += green(x, 400) > 0 || red(x, 400) > 0;
  }
  EXPECT_GT(lit_top, 300);
  EXPECT_EQ(lit_bottom, 0);
  // Columns 0..95 are cleared on every line.
  for (int x = 0; x <= 95; ++x) EXPECT_EQ(green(x, 150), 0) << x;
  // The transducer column has the dashed grid line: 8 rows on, 8 off.
  EXPECT_EQ(red(595, 0), 127);
  EXPECT_EQ(red(595, 8), 0);
  EXPECT_EQ(red(595, 16), 127);
  EXPECT_EQ(red(595, 416), 127);  // over the whole height
  EXPECT_EQ(red(595, 424), 0);
}

// A write that fails (here a file size limit, as a full disk would) says why and
// leaves no cut-off image: each image is complete or absent.
TEST(Render, FailedWriteLeavesNoPartialImage) {
  for (const char* format : {"bmp", "png"}) {
    const std::string dir = std::string("lim-") + format;
    const std::string command = std::string("ulimit -f 64; ") + Q47V_BINARY_DIR + "/src/cli/q47v render " +
                                Sample("harbour_sector.47V") + " --out " + dir + " --format " + format + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    const int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << out;
    EXPECT_NE(out.find("cannot write"), std::string::npos) << out;
    EXPECT_NE(out.find("File too large"), std::string::npos) << out;
    for (const std::string& name : SortedFileNames(dir)) ADD_FAILURE() << format << ": left " << name;
  }
}

TEST(Render, RefusesBadArgumentsAndFiles) {
  const std::string f = Sample("harbour_sector.47V");
  EXPECT_EQ(Render(f).status, 2);                                   // no --out
  EXPECT_EQ(Render(f + " --out o --colors 9").status, 2);
  EXPECT_EQ(Render(f + " --out o --format gif").status, 2);
  EXPECT_EQ(Render(f + " --out o --every 0").status, 2);
  EXPECT_EQ(Render(f + " --out o --every 5 --per-sweep").status, 2);
  EXPECT_EQ(Render(f + " --out o --records 5-2").status, 2);
  EXPECT_EQ(Render(f + " --out o --range-from 25:00:00").status, 2);
  EXPECT_EQ(Render(f + " --out o --records 1-2 --range-to 01:00:00").status, 2);
  EXPECT_EQ(Render("missing.47V --out o").status, 1);
  std::ofstream("notsonar.47V") << "this is not a sonar file";
  const ToolRun bad = Render("notsonar.47V --out o");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("Data type is incorrect"), std::string::npos) << bad.out;
  std::ofstream("shot.txt") << "x";
  EXPECT_EQ(Render("shot.txt --out o").status, 1);
  EXPECT_EQ(Render("--help").status, 0);
}

}  // namespace
