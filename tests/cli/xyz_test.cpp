// SPDX-License-Identifier: GPL-3.0-or-later
// Headless surveys against q47v-sim (q47v record --auto-profile / --auto-azimuth)
// and their re-processing from the recording (q47v xyz): the files re-made from
// the .47V equal the live ones byte for byte; names, line counts, headers, the
// column groups, feet, ZeroDown, orientation and GPS; PLY and SVG pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app_state.h"
#include "channel_survey_test.h"
#include "child_process.h"
#include "files/sonar_file.h"
#include "files/sonar_record.h"
#include "files_tool_support.h"
#include "test_text.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteIni(const std::string& text) { std::ofstream("WINQ47V.INI") << "[Settings]\n" << text; }

std::vector<std::string> FilesIn(const std::string& dir, const std::string& ext) {
  std::vector<std::string> v;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.path().extension() == ext) v.push_back(e.path().filename().string());
  std::sort(v.begin(), v.end());
  return v;
}

// Point lines of a vertical-scan file (after the four header lines).
std::vector<std::vector<std::string>> PointRows(const std::string& path, std::size_t header = 4) {
  const std::vector<std::string> lines = CrLfLines(ReadText(path));
  std::vector<std::vector<std::string>> rows;
  for (std::size_t i = header; i < lines.size(); ++i)
    if (!lines[i].empty()) rows.push_back(Columns(lines[i]));
  return rows;
}

// Every file of `a` has its twin in `b`, byte for byte, and nothing more.
void ExpectSameFiles(const std::string& a, const std::string& b) {
  const std::vector<std::string> left = FilesIn(a, ".xyz"), right = FilesIn(b, ".xyz");
  ASSERT_EQ(left, right);
  for (const std::string& name : left) {
    const std::string x = ReadText(a + "/" + name), y = ReadText(b + "/" + name);
    EXPECT_EQ(x.size(), y.size()) << name;
    EXPECT_TRUE(x == y) << name << " differs";
  }
}

const std::regex kDatedName("^\\d\\d[a-z]{3}\\d{4}-\\d{4}\\.xyz$");

using Survey = ChannelSurveyTest;

// Three sweeps of a vertical scan: three dated files live, and the same three
// files, byte for byte, re-made from the recording; then the column groups,
// ZeroDown, orientation and the pictures over the same recording.
TEST_F(Survey, VerticalScanReprocessedEqualsLive) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\nUnits=0\nProfileChainage=25.5\n"
           "ProfileElevation=0\nProfileXOffset=1.25\nProfileDredgeDepth=11\nXYZTimestamp=1\nXYZRangeHorVer=1\n"
           "XYZLatLongElevation=1\nUseGPS=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  StartSim({"--no-gps", "--no-azimuth", "--no-orientation"});
  Record({"--auto-profile", "vertical", "--sweeps", "3", "--xyz-dir", "live"});
  EXPECT_NE(record_output.find("survey complete"), std::string::npos) << record_output;
  EXPECT_NE(record_output.find("3 sweeps, 3 .XYZ files in live"), std::string::npos) << record_output;
  const std::vector<std::string> live = FilesIn("live", ".xyz");
  ASSERT_EQ(live.size(), 3u);
  for (const std::string& name : live) EXPECT_TRUE(std::regex_match(name, kDatedName)) << name;

  const FilesToolRun re = RunQ47v("xyz run.47V --geometry vertical --ini WINQ47V.INI --out re");
  ASSERT_EQ(re.status, 0) << re.err;
  ExpectSameFiles("live", "re");

  // One line per file: its name and the count of its point lines.
  const std::vector<std::string> printed = Columns(re.out.substr(0, re.out.find('\n')));
  ASSERT_EQ(printed.size(), 2u) << re.out;
  EXPECT_EQ(printed[0], "re/" + live[0]);
  EXPECT_EQ(printed[1], std::to_string(CrLfLines(ReadText("re/" + live[0])).size() - 4) + " points");
  // The first sweep starts wherever the head was; the second is a whole one.
  const std::string& whole = live[1];
  const std::vector<std::string> lines = CrLfLines(ReadText("re/" + whole));
  ASSERT_GT(lines.size(), 20u);
  EXPECT_EQ(lines[0], "0025.50,M");
  EXPECT_EQ(lines[1], "0000.00");
  EXPECT_EQ(lines[2], "0001.25");
  // Date, time, range, 0.000, beam angle, X, Y, Z; no GPS, no attitude.
  const std::vector<std::vector<std::string>> full = PointRows("re/" + whole);
  for (const auto& row : full) {
    ASSERT_EQ(row.size(), 8u);
    EXPECT_EQ(row[3], " 00.000");
    EXPECT_EQ(std::stod(row[6]), 25.5);
  }

  // The column groups follow --set: coordinates only, then with the attitude.
  RunQ47v("xyz run.47V --geometry vertical --ini WINQ47V.INI --out bare --set XYZTimestamp=0 --set XYZRangeHorVer=0");
  ASSERT_EQ(FilesIn("bare", ".xyz"), live);
  const std::vector<std::vector<std::string>> bare = PointRows("bare/" + whole);
  ASSERT_EQ(bare.size(), full.size());
  for (std::size_t i = 0; i < bare.size(); ++i) {
    ASSERT_EQ(bare[i].size(), 3u);
    EXPECT_EQ(bare[i][2], full[i][7]);
  }
  const FilesToolRun attitude =
      RunQ47v("xyz run.47V --geometry vertical --ini WINQ47V.INI --out att --set EnableOrientationModule=1 "
              "--set XYZPitchRollHeading=1");
  ASSERT_EQ(attitude.status, 0) << attitude.err;
  for (const auto& row : PointRows("att/" + whole)) ASSERT_EQ(row.size(), 11u);

  // ZeroDown 0: elevations below the sonar instead of depths (z0 is 0 here).
  RunQ47v("xyz run.47V --geometry vertical --ini WINQ47V.INI --out up --set ZeroDown=0");
  const std::vector<std::vector<std::string>> up = PointRows("up/" + whole);
  ASSERT_EQ(up.size(), full.size());
  for (std::size_t i = 0; i < up.size(); ++i) {
    EXPECT_NEAR(std::stod(up[i][7]), -std::stod(full[i][7]), 0.0011) << i;
    EXPECT_EQ(up[i][5], full[i][5]);
  }
  // The channel floor lies below the sonar: depths positive.
  EXPECT_GT(std::stod(full[full.size() / 2][7]), 5.0);

  // Pictures beside each file: a PLY another reader takes, an SVG a parser takes.
  const FilesToolRun pictures = RunQ47v("xyz run.47V --geometry vertical --ini WINQ47V.INI --out pic --ply --svg");
  ASSERT_EQ(pictures.status, 0) << pictures.err;
  const std::string stem = "pic/" + whole.substr(0, whole.size() - 4);
  const std::string ply = ReadText(stem + ".ply");
  ASSERT_EQ(ply.rfind("ply\nformat binary_little_endian 1.0\n", 0), 0u);
  EXPECT_NE(ply.find("element vertex " + std::to_string(full.size()) + "\n"), std::string::npos);
  const std::string svg = ReadText(stem + ".svg");
  EXPECT_NE(svg.find("Cross-section at chainage 25.50 m, "), std::string::npos);
  EXPECT_NE(svg.find("Offset across (m)"), std::string::npos);
  EXPECT_NE(svg.find("Depth (m)"), std::string::npos);
  EXPECT_NE(svg.find("Dredge line 11.00 m"), std::string::npos);
  EXPECT_EQ(std::system(("xmllint --noout " + stem + ".svg").c_str()), 0);
  const int check = std::system(("/usr/bin/python3 " + std::string(Q47V_SOURCE_DIR) + "/scripts/check-ply.py " + stem +
                                 ".ply " + stem + ".xyz")
                                    .c_str());
  ASSERT_TRUE(WIFEXITED(check));
  if (WEXITSTATUS(check) == 77) GTEST_SKIP() << "no PLY reader (python3-meshio) installed";
  EXPECT_EQ(WEXITSTATUS(check), 0);
}

// A survey without a sweep limit stopped by SIGINT: status 0, the recording and
// every .XYZ file whole, and the files re-made from it equal.
TEST_F(Survey, InterruptedSurveyLeavesWholeFiles) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\nUnits=0\nXYZTimestamp=1\n"
           "XYZRangeHorVer=1\nUseGPS=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n");
  StartSim({"--no-gps", "--no-azimuth", "--no-orientation"});
  Child rec;
  ASSERT_TRUE(rec.Start({Bin("/src/cli/q47v"), "record", "--ini", "WINQ47V.INI", "--out", "run.47V",
                         "--auto-profile", "vertical"}));
  // Two sweeps or more on a status line (the count may pass 2 within a second).
  const std::regex two_sweeps("  sweeps ([2-9]|[1-9][0-9]+)  ");
  ASSERT_TRUE(rec.WaitUntil([&](const std::string& out) { return std::regex_search(out, two_sweeps); }))
      << rec.Output();
  rec.Signal(SIGINT);
  EXPECT_EQ(rec.Wait(), 0) << rec.Output();
  EXPECT_NE(rec.Output().find("interrupted"), std::string::npos) << rec.Output();
  const std::vector<std::string> live = FilesIn(".", ".xyz");  // the working directory
  ASSERT_GE(live.size(), 2u);
  for (const std::string& name : live) {
    const std::string text = ReadText(name);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << name;
  }
  fs::create_directory("live");
  for (const std::string& name : live) fs::rename(name, "live/" + name);
  const FilesToolRun re = RunQ47v("xyz run.47V --geometry vertical --ini WINQ47V.INI --out re");
  ASSERT_EQ(re.status, 0) << re.err;
  ExpectSameFiles("live", "re");
}

// Copies a recording with the GPS positions of the records stamped before `before`
// (time text with hundredths) taken out, as a receiver without a fix leaves them.
int DropPositionsBefore(const std::string& in, const std::string& out, const std::string& before) {
  SonarFileReader reader;
  std::string error;
  if (!reader.Open(in, error)) return -1;
  std::vector<uint8_t> bytes;
  int dropped = 0;
  for (int64_t at = 0; reader.ReadRecordAt(at) == RecordRead::kOk;) {
    SonarRecordFields f = reader.fields();
    std::vector<uint8_t> record(static_cast<std::size_t>(f.record_size));
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%s.%02d", f.time_text.c_str(), f.hundredths);
    if (f.gps && std::string(stamp) < before && !f.gps->latitude.empty()) {
      f.gps->latitude.clear();
      f.gps->longitude.clear();
      ++dropped;
    }
    if (!EncodeSonarRecord(f, reader.reply(), record)) return -1;
    bytes.insert(bytes.end(), record.begin(), record.end());
    at += f.record_size;
  }
  WriteBytes(out, bytes);
  return dropped;
}

// A horizontal (borehole) scan in feet with the orientation module and GPS: four
// sweeps, each 2 ft lower than the one before; the files re-made byte for byte;
// feet in the header of a vertical re-processing; positions present and absent in
// one file.
TEST_F(Survey, HorizontalScanInFeetWithOrientationAndGps) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\nUnits=1\nProfileChainage=3\n"
           "ProfileElevation=10\nProfileXOffset=0\nXYZTimestamp=1\nXYZRangeHorVer=1\nXYZLatLongElevation=1\n"
           "XYZPitchRollHeading=1\nUseGPS=1\nComPortGPS=1\n"
           "[Orientation Module Settings]\nEnableOrientationModule=1\n");
  StartSim({"--gps-link", "gps", "--gps-baud", "9600", "--gps-rate", "5", "--no-azimuth"});
  ASSERT_TRUE(sim.WaitForOutput("Q47V_SIM_GPS"));
  Record({"--auto-profile", "horizontal", "--sweeps", "4", "--payout", "0.6096", "--xyz-dir", "live"});
  const std::vector<std::string> live = FilesIn("live", ".xyz");
  ASSERT_EQ(live.size(), 4u) << record_output;
  // The recording begins with the module's last reply, so that the first sweep's
  // attitude is known however soon it starts.
  const FilesToolRun dump = RunQ47v("dump --csv run.47V");
  ASSERT_EQ(dump.status, 0) << dump.err;
  std::stringstream rows_text(dump.out);
  std::string heading, first_record;
  ASSERT_TRUE(std::getline(rows_text, heading) && std::getline(rows_text, first_record));
  EXPECT_NE(first_record.find(",O,"), std::string::npos) << first_record;  // record,offset,size,type,kind

  // The payout came with the prompt for another scan after every sweep.
  const FilesToolRun re = RunQ47v("xyz run.47V --geometry horizontal --ini WINQ47V.INI --out re --prompt");
  ASSERT_EQ(re.status, 0) << re.err;
  ExpectSameFiles("live", "re");
  // No header: date, time, latitude, longitude, GPS elevation, X, Y, Z. The first
  // pings of the survey may precede the receiver's first fix; the last sweep has it.
  for (const auto& row : PointRows("re/" + live[0], 0)) ASSERT_TRUE(row.size() == 8u || row.size() == 5u);
  const std::vector<std::vector<std::string>> rows = PointRows("re/" + live.back(), 0);
  ASSERT_GT(rows.size(), 10u);
  for (const auto& row : rows) ASSERT_EQ(row.size(), 8u);

  // The same sweeps as a vertical scan: the header in feet, the elevation of each
  // sweep as recorded (10 ft, then 2 ft lower), the sound velocity in ft/s.
  const FilesToolRun feet = RunQ47v("xyz run.47V --geometry vertical --ini WINQ47V.INI --out feet --prompt");
  ASSERT_EQ(feet.status, 0) << feet.err;
  ASSERT_EQ(FilesIn("feet", ".xyz"), live);
  const std::vector<std::string> first = CrLfLines(ReadText("feet/" + live[0]));
  const std::vector<std::string> second = CrLfLines(ReadText("feet/" + live[1]));
  EXPECT_EQ(first[0], "0003.00,F");
  EXPECT_EQ(first[1], "0010.00");
  EXPECT_EQ(second[1], "0008.00");
  const double velocity = std::stod(first[3]);
  EXPECT_GT(velocity, 4200.0);  // 1300 m/s and more, in ft/s
  // Range, 0.000, beam angle and pitch, roll, heading with the module on.
  const std::vector<std::vector<std::string>> vertical = PointRows("feet/" + live.back());
  ASSERT_FALSE(vertical.empty());
  EXPECT_EQ(vertical[0].size(), 2u + 3u + 3u + 3u + 3u);

  // Positions taken out of the records before the middle of the last sweep (the
  // earlier sweeps lose theirs too).
  const std::string t_first = rows.front()[1], t_last = rows.back()[1];
  const std::string middle = rows[rows.size() / 2][1];
  ASSERT_LT(t_first, middle);
  ASSERT_GT(DropPositionsBefore("run.47V", "gps.47V", middle), 0);
  const FilesToolRun gaps = RunQ47v("xyz gps.47V --geometry horizontal --ini WINQ47V.INI --out gaps --prompt");
  ASSERT_EQ(gaps.status, 0) << gaps.err;
  const std::vector<std::vector<std::string>> mixed = PointRows("gaps/" + live.back(), 0);
  ASSERT_EQ(mixed.size(), rows.size());
  std::size_t without = 0, with = 0;
  for (std::size_t i = 0; i < mixed.size(); ++i) {
    if (mixed[i].size() == 5u) {
      ++without;
      EXPECT_LT(mixed[i][1], middle);
      EXPECT_EQ(mixed[i][4], rows[i].back());  // the same Z
    } else {
      ASSERT_EQ(mixed[i].size(), 8u);
      ++with;
    }
  }
  EXPECT_GT(without, 0u);
  EXPECT_GT(with, 0u);
}

// An auto-azimuth run of three angles: one file, three blocks each closed by an
// empty line, the azimuth column 0, 30 and 60 degrees; re-made byte for byte.
TEST_F(Survey, AutoAzimuthRunReprocessedEqualsLive) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\nUnits=0\nAzimuthDriveEnable=1\n"
           "AzimuthAngle=600\nXYZRangeHorVer=1\nXYZTimestamp=1\nUseGPS=0\n"
           "[Orientation Module Settings]\nEnableOrientationModule=0\n");
  StartSim({"--no-gps", "--no-orientation", "--azimuth-rate", "300"});
  Record({"--auto-azimuth", "0:60:30", "--xyz-dir", "live"});
  EXPECT_NE(record_output.find("survey complete"), std::string::npos) << record_output;
  const std::vector<std::string> live = FilesIn("live", ".xyz");
  ASSERT_EQ(live.size(), 1u) << record_output;

  const FilesToolRun re = RunQ47v("xyz run.47V --geometry azimuth --ini WINQ47V.INI --out re --svg");
  ASSERT_EQ(re.status, 0) << re.err;
  EXPECT_NE(re.out.find(" in 3 sweeps"), std::string::npos) << re.out;
  ExpectSameFiles("live", "re");

  const std::vector<std::string> lines = CrLfLines(ReadText("re/" + live[0]));
  std::vector<std::set<std::string>> azimuths(1);
  for (const std::string& line : lines) {
    if (line.empty()) {
      azimuths.emplace_back();
      continue;
    }
    const std::vector<std::string> c = Columns(line);
    ASSERT_EQ(c.size(), 8u) << line;
    azimuths.back().insert(c[3]);
  }
  ASSERT_EQ(azimuths.size(), 4u);  // three blocks and what follows the last empty line
  // The first sweep of a run starts wherever the head is when the run starts: it may
  // be short, or hold no more than the two end points that are left out, when the
  // head was about to turn at the sector's edge. Every later sweep is whole.
  EXPECT_TRUE(azimuths[0].empty() || azimuths[0] == std::set<std::string>{" 000.000"}) << ReadText("re/" + live[0]);
  EXPECT_EQ(azimuths[1], std::set<std::string>{" 030.000"});
  EXPECT_EQ(azimuths[2], std::set<std::string>{" 060.000"});
  EXPECT_TRUE(azimuths[3].empty());
  const std::string svg = ReadText("re/" + live[0].substr(0, live[0].size() - 4) + ".svg");
  EXPECT_NE(svg.find("Auto-azimuth plan"), std::string::npos);
  EXPECT_EQ(std::system(("xmllint --noout re/" + live[0].substr(0, live[0].size() - 4) + ".svg").c_str()), 0);
}

// --- Without the simulator -------------------------------------------------------

TEST(XyzVerb, HelpDescribesEveryOption) {
  const FilesToolRun help = RunQ47v("xyz --help");
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--geometry", "vertical", "horizontal", "azimuth", "--out", "--ini", "--set", "--prompt",
                             "--ply", "--svg"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  const FilesToolRun record = RunQ47v("record --help");
  EXPECT_EQ(record.status, 0);
  for (const char* option : {"--auto-profile", "--sweeps", "--payout", "--auto-azimuth", "--xyz-dir"})
    EXPECT_NE(record.out.find(option), std::string::npos) << option;
}

TEST(XyzVerb, BadOptionsAndKeysFailClearly) {
  MakeToolFile("few.47V", 5);
  struct Case {
    const char* args;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"xyz few.47V --out o", 2, "--geometry"},
      {"xyz few.47V --geometry diagonal --out o", 2, "--geometry takes vertical, horizontal or azimuth"},
      {"xyz few.47V --geometry vertical --out o --bogus", 2, "unknown option '--bogus'"},
      {"xyz few.47V --geometry vertical --out o --set NoSuchKey=1", 2, "there is no setting 'NoSuchKey'"},
      {"xyz few.47V --geometry vertical --out o --set ZeroDown=yes", 2, "'yes' is not a whole number"},
      {"xyz few.47V --geometry vertical --out o --set ZeroDown", 2, "--set takes KEY=VALUE"},
      {"xyz few.47V --geometry vertical --out o --set ProfileChainage=1.2.3", 2, "is not a number"},
      {"xyz missing.47V --geometry vertical --out o", 1, "missing.47V"},
      {"xyz few.47V --geometry vertical --out few.47V", 1, "cannot use the directory few.47V: not a directory"},
      {"xyz few.47V --geometry vertical --out o --ini nothere.ini", 1, "cannot read the settings file nothere.ini"},
      {"record --ini x.ini --out r.47V --auto-azimuth 400:0:30", 2, "Start Angle is out of range!"},
      {"record --ini x.ini --out r.47V --auto-azimuth 10:20:0.1", 2, "Increment Angle is out of range!"},
      {"record --ini x.ini --out r.47V --auto-azimuth 10:20", 2, "START:STOP:INC"},
      {"record --ini x.ini --out r.47V --auto-profile diagonal", 2, "--auto-profile takes vertical or horizontal"},
      {"record --ini x.ini --out r.47V --auto-profile vertical --payout 2", 2, "--payout goes with"},
      {"record --ini x.ini --out r.47V --sweeps 2", 2, "--sweeps goes with --auto-profile"},
      {"record --ini x.ini --out r.47V --auto-profile vertical --sweeps 1.5", 2, "--sweeps takes a whole number from 1 to 2147483647, not 1.5"},
  };
  for (const Case& c : cases) {
    const FilesToolRun run = RunQ47v(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.args << "\n" << run.err;
  }
}

// A value out of range takes the fallback of loading the file, and says so.
TEST(XyzVerb, OutOfRangeSetTakesTheFallbackWithANote) {
  MakeToolFile("few.47V", 5);
  const FilesToolRun run = RunQ47v("xyz few.47V --geometry vertical --out o --set Units=7");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("note: --set Units=7: out of range"), std::string::npos) << run.err;
}

TEST(XyzVerb, RecordingWithoutACompleteSweepSaysSo) {
  MakeToolFile("few.47V", 5);
  for (const char* geometry : {"vertical", "azimuth"}) {
    const FilesToolRun run = RunQ47v(std::string("xyz few.47V --geometry ") + geometry + " --out o");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("no complete sweep in few.47V (5 records); no files written"), std::string::npos)
        << run.out;
    EXPECT_TRUE(FilesIn("o", ".xyz").empty()) << geometry;
  }
}

}  // namespace
