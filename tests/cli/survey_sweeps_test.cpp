// SPDX-License-Identifier: GPL-3.0-or-later
// The sweeps and points of surveys, checked from the outside: recordings of the
// simulator cut to start at the sector start, in the middle of a sweep going up and
// going down, full circles over several revolutions, ranges below and above 5 m.
// What `q47v xyz` writes is compared with what `q47v dump --csv` says of the same
// records: one file for every sweep, each point's range, beam angle and X, Y, Z
// recomputed here from the dump with the survey formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "files_tool_support.h"
#include "test_text.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> XyzFiles(const std::string& dir) {
  std::vector<std::string> paths;
  for (const std::string& name : SortedFileNames(dir, ".xyz")) paths.push_back(dir + "/" + name);
  return paths;
}

// One sonar record as the dump tells it.
struct DumpRecord {
  int record = 0;
  int position = 0;
  int direction = 0;
  int range_m = 0;
  int code = 0;
  double blank_m = 0;
  double sound_velocity = 1500;
  std::string time;
};

// The accepted sonar records of a recording, from `q47v dump --csv`.
std::vector<DumpRecord> DumpSonarRecords(const std::string& file) {
  const FilesToolRun dump = RunQ47v("dump --csv " + file);
  EXPECT_EQ(dump.status, 0) << dump.err;
  std::stringstream lines(dump.out);
  std::string line;
  std::getline(lines, line);
  std::map<std::string, std::size_t> column;
  const std::vector<std::string> names = Split(line, ',');
  for (std::size_t i = 0; i < names.size(); ++i) column[names[i]] = i;
  for (const char* needed : {"record", "kind", "accepted", "head_position", "direction", "range_m", "profile_range",
                             "blank_m", "time", "sound_velocity"})
    EXPECT_TRUE(column.count(needed)) << "dump --csv has no column " << needed << ": " << names.size();
  std::vector<DumpRecord> records;
  while (std::getline(lines, line)) {
    const std::vector<std::string> c = Split(line, ',');
    if (c.size() < names.size()) continue;
    const std::string kind = c[column["kind"]];
    if (c[column["accepted"]] != "1" || (kind != "G" && kind != "M" && kind != "P")) continue;
    DumpRecord r;
    r.record = std::stoi(c[column["record"]]);
    r.position = std::stoi(c[column["head_position"]]);
    r.direction = std::stoi(c[column["direction"]]);
    r.range_m = std::stoi(c[column["range_m"]]);
    r.code = std::stoi(c[column["profile_range"]]);
    r.blank_m = std::stod(c[column["blank_m"]]);
    r.sound_velocity = std::stod(c[column["sound_velocity"]]);
    r.time = c[column["time"]];
    records.push_back(r);
  }
  return records;
}

// The sweeps a survey over these records must give, each as the indices of its
// stored points, by the survey rules: the first record of the replay only clears
// the picture; the scan then awaits a head position above the previous one and at
// or beyond the sector start (the previous is 1200 at first), storing every point
// meanwhile; a sector sweep ends when the direction bit differs from the last one
// seen (the first record's at the start), a full circle when the head comes to
// steps 0..8 from at least its upper limit minus 8 with more than 100 points; every
// sweep is one file and the next begins at once.
std::vector<std::vector<std::size_t>> ExpectedSweeps(const std::vector<DumpRecord>& recs, int sector, int train) {
  std::vector<std::vector<std::size_t>> sweeps;
  if (recs.empty()) return sweeps;
  const double middle = train > 180 ? train - 360 : train;
  const int start = static_cast<int>((middle - sector / 2.0 + 180) * 10 / 3);
  const int upper = static_cast<int>((middle + sector / 2.0 + 180) * 10 / 3);
  bool waiting = true;
  int previous_position = 1200, previous_direction = recs[0].direction, previous_head = 0;
  std::vector<std::size_t> points;
  for (std::size_t i = 1; i < recs.size(); ++i) {
    const DumpRecord& r = recs[i];
    if (waiting) {
      const bool starts = r.position > previous_position && r.position >= start;
      previous_position = starts ? 1200 : r.position;
      if (starts) waiting = false;
    }
    points.push_back(i);
    if (waiting) continue;
    bool complete;
    if (sector == 360) {
      complete = r.position >= 0 && r.position <= 8 && previous_head >= upper - 8 && points.size() > 100;
      previous_head = r.position;
    } else {
      complete = r.direction != previous_direction;
    }
    previous_direction = r.direction;
    if (complete) {
      sweeps.push_back(points);
      points.clear();
    }
  }
  return sweeps;
}

struct Frame {
  double chainage = 0, elevation = 0, x_offset = 0;
};

// Every file of `dir` against the sweeps expected from the dump: as many files as
// sweeps, N-2 point lines for N points (the first and last left out), and each
// line's time, range, beam angle and coordinates recomputed from its record.
void ExpectFilesFollowTheDump(const std::string& dir, const std::vector<DumpRecord>& recs,
                              const std::vector<std::vector<std::size_t>>& sweeps, const Frame& frame,
                              int* near_points = nullptr) {
  const std::vector<std::string> files = XyzFiles(dir);
  ASSERT_EQ(files.size(), sweeps.size()) << dir;
  for (std::size_t f = 0; f < files.size(); ++f) {
    const std::vector<std::string> lines = CrLfLines(ReadText(files[f]));
    const std::vector<std::size_t>& sweep = sweeps[f];
    const std::size_t expected_rows = sweep.size() > 2 ? sweep.size() - 2 : 0;
    ASSERT_EQ(lines.size(), 4 + expected_rows) << files[f];
    for (std::size_t k = 0; k < expected_rows; ++k) {
      const DumpRecord& r = recs[sweep[k + 1]];
      const std::vector<std::string> c = Split(lines[4 + k], '\t');
      ASSERT_EQ(c.size(), 8u) << files[f] << ": " << lines[4 + k];
      SCOPED_TRACE(files[f] + " line " + std::to_string(5 + k) + " record " + std::to_string(r.record) + ": " +
                   lines[4 + k]);
      EXPECT_EQ(c[1].substr(0, 8), r.time.substr(0, 8));
      // Range: the code in 2 mm units at ranges below 5 m, in centimetres from 5 m
      // on, plus the blanking distance; 0 for no point.
      double range = 0;
      if (r.code > 0 && r.code < 10000) range = (r.range_m < 5 ? r.code * 0.002 : r.code * 0.01) + r.blank_m;
      const double a = range * r.sound_velocity / 1500.0;
      double angle = (r.position - 600) * 0.3;
      if (angle < 0) angle += 360;
      const double d = angle * 3.141592654 / 180;
      EXPECT_NEAR(std::stod(c[2]), a, 0.0015);
      const double shown = std::stod(c[4]);
      EXPECT_NEAR(std::fmod(shown + 360.0 - angle + 180.0, 360.0) - 180.0, 0.0, 0.0015);
      EXPECT_NEAR(std::stod(c[5]), a * std::sin(d) + frame.x_offset, 0.002);
      EXPECT_NEAR(std::stod(c[6]), frame.chainage, 0.0005);
      EXPECT_NEAR(std::stod(c[7]), frame.elevation + a * std::cos(d), 0.002);
      if (near_points && a > 0.5 && a < 5.0) ++*near_points;
    }
  }
}

class SurveySweeps : public ::testing::Test {
 protected:
  void Record(const std::string& settings, int pings) {
    std::ofstream("WINQ47V.INI") << "[Settings]\nRunMode=0\nSpeed=4\nUnits=0\nTrain=0\nZeroDown=1\n"
                                 << "ProfileChainage=25.5\nProfileElevation=-2\nProfileXOffset=1.25\n"
                                 << "XYZTimestamp=1\nXYZRangeHorVer=1\nXYZLatLongElevation=0\nUseGPS=0\n"
                                 << settings << "[Orientation Module Settings]\nEnableOrientationModule=0\n";
    ASSERT_TRUE(sim.Start({Bin("/src/sim/q47v-sim"), "--quiet", "--ini", "WINQ47V.INI", "--fast", "--scene",
                           "channel", "--no-gps", "--no-azimuth", "--no-orientation"}));
    ASSERT_TRUE(sim.WaitForOutput("Q47V_SIM_HEAD"));
    Child rec;
    ASSERT_TRUE(rec.Start({Bin("/src/cli/q47v"), "record", "--ini", "WINQ47V.INI", "--out", "run.47V", "--pings",
                           std::to_string(pings)}));
    ASSERT_EQ(rec.Wait(), 0) << rec.Output();
  }
  // Records from..to of the recording into `out`.
  // Records `from` to `to` as dump numbers them.
  void Cut(int from, int to, const std::string& out) {
    const FilesToolRun cut = RunQ47v("cut run.47V --records " + std::to_string(from) + "-" + std::to_string(to) +
                                     " " + out);
    ASSERT_EQ(cut.status, 0) << cut.err;
  }
  // q47v xyz on `file` compared with the dump of the same file.
  void Check(const std::string& file, int sector, std::size_t at_least, int* near_points = nullptr) {
    const std::string dir = file.substr(0, file.size() - 4);
    const FilesToolRun run = RunQ47v("xyz " + file + " --geometry vertical --ini WINQ47V.INI --out " + dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<DumpRecord> recs = DumpSonarRecords(file);
    const auto sweeps = ExpectedSweeps(recs, sector, 0);
    EXPECT_GE(sweeps.size(), at_least) << file << ": " << recs.size() << " sonar records";
    ExpectFilesFollowTheDump(dir, recs, sweeps, Frame{25.5, -2, 1.25}, near_points);
  }
  Child sim;
};

// A 90-degree sector at 20 m: the whole recording, and pieces of it starting at the
// sector start, in the middle going up and in the middle going down. Every sweep
// is a file, the return sweeps included.
TEST_F(SurveySweeps, EverySectorSweepIsAFileWhereverTheRecordingStarts) {
  Record("GridMode=0\nRange=6\nSectorSectorSize=90\n", 500);
  const std::vector<DumpRecord> recs = DumpSonarRecords("run.47V");
  ASSERT_GT(recs.size(), 400u);
  Check("run.47V", 90, 3);

  // Where the head turns at the sector start, and the middle of the sector on the
  // way up and on the way down.
  int at_start = -1, mid_up = -1, mid_down = -1;
  for (std::size_t i = 1; i + 1 < recs.size() && i < 300; ++i) {
    const int p = recs[i].position, before = recs[i - 1].position, after = recs[i + 1].position;
    if (at_start < 0 && p < before && p < after) at_start = recs[i].record;
    if (mid_up < 0 && before < 600 && p >= 600) mid_up = recs[i].record;
    if (mid_down < 0 && before > 600 && p <= 600) mid_down = recs[i].record;
  }
  ASSERT_GE(at_start, 0);
  ASSERT_GE(mid_up, 0);
  ASSERT_GE(mid_down, 0);
  const int last = recs.back().record;
  Cut(at_start, std::min(last, at_start + 399), "start.47V");
  Cut(mid_up, std::min(last, mid_up + 399), "up.47V");
  Cut(mid_down, std::min(last, mid_down + 399), "down.47V");
  for (const char* file : {"start.47V", "up.47V", "down.47V"}) {
    SCOPED_TRACE(file);
    Check(file, 90, 2);
  }
}

// Full circles in Polar display at 10 m and at 4 m: every revolution is a file,
// and the points of the water surface above the head, nearer than 5 m, lie where
// the dump's range codes put them (centimetres at 10 m, 2 mm units at 4 m).
TEST_F(SurveySweeps, EveryRevolutionIsAFileAndNearPointsHaveTheirRange) {
  Record("GridMode=1\nRange=5\nPolarSectorSize=360\n", 1300);
  const std::vector<DumpRecord> recs = DumpSonarRecords("run.47V");
  ASSERT_GT(recs.size(), 1200u);
  int near = 0;
  Check("run.47V", 360, 3, &near);
  EXPECT_GT(near, 20) << "points nearer than 5 m at 10 m range";
  Cut(recs[recs.size() / 3].record, recs.back().record, "later.47V");
  Check("later.47V", 360, 2);
}

TEST_F(SurveySweeps, RangesBelowFiveMetresCountTwoMillimetreUnits) {
  Record("GridMode=1\nRange=3\nPolarSectorSize=360\n", 1000);
  int near = 0;
  Check("run.47V", 360, 2, &near);
  EXPECT_GT(near, 20) << "surface points at 4 m range";
}

}  // namespace
