// SPDX-License-Identifier: GPL-3.0-or-later
// q47v export and q47v track against recordings of q47v-sim surveys: every format
// read back through OGR and compared with the .XYZ of the same recording (point
// counts less the points without an echo, x/y/z, lat/lon, the map grid placement
// against pyproj), with and without GPS and the orientation module's heading,
// in metres and feet, for the three geometries; the GPS track; the SVG pictures
// without the no-echo points.
#include <gdal_priv.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include "channel_survey_test.h"
#include "child_process.h"
#include "files/sonar_file.h"
#include "files/sonar_record.h"
#include "files_tool_support.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteIni(const std::string& text) { std::ofstream("WINQ47V.INI") << "[Settings]\n" << text; }

// scripts/check-export.py with its arguments; skips when pandas or pyproj is missing.
int CheckExport(const std::string& args) {
  const std::string command =
      "/usr/bin/python3 " + std::string(Q47V_SOURCE_DIR) + "/scripts/check-export.py " + args + " >check.txt 2>&1";
  const int rc = std::system(command.c_str());
  if (!WIFEXITED(rc)) return -1;
  return WEXITSTATUS(rc);
}

struct Dataset {
  explicit Dataset(const std::string& path) {
    GDALAllRegister();
    ds.reset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  }
  std::unique_ptr<GDALDataset> ds;
};

// "hh:mm:ss" (with ".hh" after it, kept) moved on by `seconds`, within the day.
std::string Later(const std::string& t, int seconds) {
  int h = 0, m = 0, sec = 0;
  if (std::sscanf(t.c_str(), "%d:%d:%d", &h, &m, &sec) != 3) return t;
  const int total = ((h * 3600 + m * 60 + sec + seconds) % 86400 + 86400) % 86400;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", total / 3600, total / 60 % 60, total % 60);
  return buf + t.substr(std::min<std::size_t>(8, t.size()));
}

// Copies a recording with every record from the `from`-th on stamped `seconds`
// later (the computer's clock and the receiver's), as a pause in the logging
// would leave it. The number of records copied.
int ShiftTimesFrom(const std::string& in, const std::string& out, int from, int seconds) {
  SonarFileReader reader;
  std::string error;
  if (!reader.Open(in, error)) return -1;
  std::vector<uint8_t> bytes;
  int n = 0;
  for (int64_t at = 0; reader.ReadRecordAt(at) == RecordRead::kOk; ++n) {
    SonarRecordFields f = reader.fields();
    std::vector<uint8_t> record(static_cast<std::size_t>(f.record_size));
    if (n >= from) {
      f.time_text = Later(f.time_text, seconds);
      if (f.gps && !f.gps->utc_time.empty()) f.gps->utc_time = Later(f.gps->utc_time, seconds);
    }
    if (!EncodeSonarRecord(f, reader.reply(), record)) return -1;
    bytes.insert(bytes.end(), record.begin(), record.end());
    at += f.record_size;
  }
  WriteBytes(out, bytes);
  return n;
}

class Export : public ChannelSurveyTest {
 protected:
  void Check(const std::string& args) {
    const int rc = CheckExport(args);
    if (rc == 77) GTEST_SKIP() << "pandas or pyproj (python3-pandas, python3-pyproj) not installed";
    EXPECT_EQ(rc, 0) << ReadText("check.txt");
  }
};

// A channel cross-section with GPS and the orientation module, in metres: every
// format on the UTM grid of the first fix with the module's heading; without the
// module's heading the export refuses until --heading is given; another CRS and
// an antenna offset; the local frame on request; the survey row's counts.
TEST_F(Export, VerticalSurveyWithGpsOnTheMapGrid) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\nUnits=0\nProfileChainage=25.5\n"
           "ProfileElevation=0\nProfileXOffset=1.25\nXYZTimestamp=1\nXYZRangeHorVer=1\nXYZLatLongElevation=1\n"
           "XYZPitchRollHeading=1\nUseGPS=1\nComPortGPS=1\n[Orientation Module Settings]\nEnableOrientationModule=1\n");
  StartSim({"--gps-link", "gps", "--gps-baud", "9600", "--gps-rate", "5", "--no-azimuth"});
  ASSERT_TRUE(sim.WaitForOutput("Q47V_SIM_GPS"));
  Record({"--auto-profile", "vertical", "--sweeps", "3", "--xyz-dir", "live"});
  const std::string base = "run.47V --geometry vertical --ini WINQ47V.INI";
  ASSERT_EQ(RunQ47v("xyz " + base + " --out re").status, 0);

  // On a loaded machine the first pings may be recorded before the module's
  // first reply: they have no heading of it, and --heading 0 stands in, as the
  // .XYZ shows them (0 until the module answers).
  std::string others;
  for (const char* ext : {"gpkg", "geojson", "dxf", "kml", "shp"}) {
    const FilesToolRun run = RunQ47v("export " + base + " --heading 0 --out s." + ext);
    ASSERT_EQ(run.status, 0) << ext << ": " << run.err;
    EXPECT_NE(run.out.find("placed in EPSG:32610 (WGS 84 / UTM zone 10N), heading from orientation module"),
              std::string::npos)
        << run.out;
    others += std::string(" s.") + ext;
  }
  const FilesToolRun csv = RunQ47v("export " + base + " --heading 0 --out s.csv");
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_TRUE(fs::exists("s-sections.csv") && fs::exists("s-survey.csv"));
  Check("--xyz-dir re --geometry vertical --csv s.csv --crs EPSG:32610 --heading module --other" + others);

  // The survey row and the sections of the GeoPackage.
  Dataset gpkg("s.gpkg");
  ASSERT_TRUE(gpkg.ds);
  OGRLayer* survey = gpkg.ds->GetLayerByName("survey");
  OGRLayer* points = gpkg.ds->GetLayerByName("points");
  OGRLayer* sections = gpkg.ds->GetLayerByName("sections");
  ASSERT_TRUE(survey && points && sections);
  // A line for each sweep with placed points (the first pings may precede the
  // receiver's first fix).
  std::map<int, int> per_sweep;
  for (auto& f : *points) ++per_sweep[f->GetFieldAsInteger("sweep")];
  GIntBig lines = 0;
  for (const auto& [sweep, count] : per_sweep) lines += count >= 2 ? 1 : 0;
  EXPECT_EQ(sections->GetFeatureCount(), lines);
  EXPECT_GE(lines, 2);
  EXPECT_EQ(wkbFlatten(sections->GetGeomType()), wkbLineString);
  EXPECT_TRUE(wkbHasZ(points->GetGeomType()));
  std::unique_ptr<OGRFeature> row(survey->GetNextFeature());
  ASSERT_TRUE(row);
  EXPECT_STREQ(row->GetFieldAsString("crs"), "EPSG:32610");
  EXPECT_STREQ(row->GetFieldAsString("units"), "metres");
  EXPECT_EQ(std::string(row->GetFieldAsString("heading_source")).rfind("orientation module", 0), 0u);
  EXPECT_EQ(row->GetFieldAsInteger("points_written"), points->GetFeatureCount());
  EXPECT_EQ(row->GetFieldAsInteger("sweeps"), 3);
  EXPECT_DOUBLE_EQ(row->GetFieldAsDouble("chainage"), 25.5);

  // Without the module's heading: refused, then placed with the one given.
  const std::string bare = base + " --set EnableOrientationModule=0";
  ASSERT_EQ(RunQ47v("xyz " + bare + " --out bare").status, 0);
  const FilesToolRun refused = RunQ47v("export " + bare + " --out h.csv");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("give the heading with --heading DEG"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists("h.csv"));
  const FilesToolRun given =
      RunQ47v("export " + bare + " --out h.csv --heading 30 --antenna-offset 1.5,-2,0.5 --crs EPSG:3157");
  ASSERT_EQ(given.status, 0) << given.err;
  EXPECT_NE(given.out.find("heading from --heading 30"), std::string::npos) << given.out;
  Check("--xyz-dir bare --geometry vertical --csv h.csv --crs EPSG:3157 --heading 30 --offset 1.5,-2,0.5");
  // The checker itself catches a wrong heading.
  EXPECT_EQ(CheckExport("--xyz-dir bare --geometry vertical --csv h.csv --crs EPSG:3157 --heading 31 "
                        "--offset 1.5,-2,0.5"),
            1);

  const FilesToolRun local = RunQ47v("export " + base + " --out l.csv --crs local");
  ASSERT_EQ(local.status, 0) << local.err;
  EXPECT_NE(local.out.find("the layers are in the local survey frame"), std::string::npos);
  Check("--xyz-dir re --geometry vertical --csv l.csv");

  // The same recording as an azimuth survey: the plan already turned by the
  // module's heading goes onto the grid as it is.
  ASSERT_EQ(RunQ47v("xyz run.47V --geometry azimuth --ini WINQ47V.INI --out az").status, 0);
  ASSERT_EQ(RunQ47v("export run.47V --geometry azimuth --ini WINQ47V.INI --heading 0 --out az.csv").status, 0);
  Check("--xyz-dir az --geometry azimuth --csv az.csv --crs EPSG:32610 --heading module");

  // The GPS track of the same recording.
  for (const char* ext : {"gpkg", "gpx", "geojson", "kml", "csv"}) {
    const FilesToolRun track = RunQ47v(std::string("track run.47V --out t.") + ext);
    ASSERT_EQ(track.status, 0) << ext << ": " << track.err;
    EXPECT_NE(track.out.find(" in 1 runs"), std::string::npos) << track.out;
  }
  Dataset track("t.gpkg");
  ASSERT_TRUE(track.ds);
  OGRLayer* fixes = track.ds->GetLayerByName("fixes");
  OGRLayer* line = track.ds->GetLayerByName("track");
  ASSERT_TRUE(fixes && line);
  EXPECT_GT(fixes->GetFeatureCount(), 20);
  EXPECT_EQ(line->GetFeatureCount(), 1);
  std::unique_ptr<OGRFeature> fix(fixes->GetNextFeature());
  ASSERT_TRUE(fix);
  // The simulator's receiver sits off Vancouver: 49 degrees 16 minutes N, 123 11 W.
  EXPECT_NEAR(fix->GetFieldAsDouble("lat"), 49.0 + 16.45 / 60.0, 0.01);
  EXPECT_NEAR(fix->GetFieldAsDouble("lon"), -(123.0 + 11.11 / 60.0), 0.01);
  EXPECT_EQ(std::string(fix->GetFieldAsString("time_utc")).back(), 'Z');
  const OGRPoint* p = fix->GetGeometryRef()->toPoint();
  EXPECT_DOUBLE_EQ(p->getX(), fix->GetFieldAsDouble("lon"));
  EXPECT_DOUBLE_EQ(p->getY(), fix->GetFieldAsDouble("lat"));
  // A pause of 10 s in the middle of the logging splits the line in two.
  const int copied = ShiftTimesFrom("run.47V", "gap.47V", 50, 10);
  ASSERT_GT(copied, 60);
  const FilesToolRun gap = RunQ47v("track gap.47V --out gap.gpkg");
  ASSERT_EQ(gap.status, 0) << gap.err;
  EXPECT_NE(gap.out.find(" in 2 runs"), std::string::npos) << gap.out;
  Dataset gapped("gap.gpkg");
  ASSERT_TRUE(gapped.ds);
  EXPECT_EQ(gapped.ds->GetLayerByName("track")->GetFeatureCount(), 2);
  EXPECT_EQ(gapped.ds->GetLayerByName("fixes")->GetFeatureCount(), fixes->GetFeatureCount());
  Dataset gpx("t.gpx");
  ASSERT_TRUE(gpx.ds);
  EXPECT_EQ(gpx.ds->GetLayerByName("track_points")->GetFeatureCount(), fixes->GetFeatureCount());
  EXPECT_EQ(gpx.ds->GetLayerByName("tracks")->GetFeatureCount(), 1);
}

// A borehole survey in feet with GPS and the orientation module: x/y/z as in the
// .XYZ (feet), placed in metres on the grid.
TEST_F(Export, HorizontalSurveyInFeetOnTheMapGrid) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\nUnits=1\nProfileChainage=3\n"
           "ProfileElevation=10\nProfileXOffset=2\nXYZTimestamp=1\nXYZRangeHorVer=1\nXYZLatLongElevation=1\n"
           "XYZPitchRollHeading=1\nUseGPS=1\nComPortGPS=1\n[Orientation Module Settings]\nEnableOrientationModule=1\n");
  StartSim({"--gps-link", "gps", "--gps-baud", "9600", "--gps-rate", "5", "--no-azimuth"});
  ASSERT_TRUE(sim.WaitForOutput("Q47V_SIM_GPS"));
  Record({"--auto-profile", "horizontal", "--sweeps", "2", "--payout", "0.6096", "--xyz-dir", "live"});
  const std::string base = "run.47V --geometry horizontal --ini WINQ47V.INI --prompt";
  const FilesToolRun xyz = RunQ47v("xyz " + base + " --out re");
  ASSERT_EQ(xyz.status, 0) << xyz.err;
  const FilesToolRun csv = RunQ47v("export " + base + " --out b.csv");
  ASSERT_EQ(csv.status, 0) << csv.err;
  ASSERT_EQ(RunQ47v("export " + base + " --out b.gpkg").status, 0);
  Check("--xyz-dir re --geometry horizontal --feet --csv b.csv --crs EPSG:32610 --heading module --other b.gpkg");
  // Without the module's heading: the plan turned by the heading given, less the
  // one the .XYZ took.
  const FilesToolRun given =
      RunQ47v("export " + base + " --set EnableOrientationModule=0 --heading 200 --out g.csv");
  ASSERT_EQ(given.status, 0) << given.err;
  Check("--xyz-dir re --geometry horizontal --feet --csv g.csv --crs EPSG:32610 --heading 200");
  Dataset gpkg("b.gpkg");
  ASSERT_TRUE(gpkg.ds);
  std::unique_ptr<OGRFeature> row(gpkg.ds->GetLayerByName("survey")->GetNextFeature());
  ASSERT_TRUE(row);
  EXPECT_STREQ(row->GetFieldAsString("units"), "feet");
  EXPECT_STREQ(row->GetFieldAsString("geometry"), "horizontal");
}

// A half-circle cross-section without GPS: points without an echo (range 0) are
// left out of the layers and the SVG and counted; the layers in the local frame.
TEST_F(Export, NoEchoPointsLeftOutInTheLocalFrame) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=180\nUnits=0\nProfileChainage=10\n"
           "ProfileElevation=0\nProfileXOffset=0\nXYZTimestamp=1\nXYZRangeHorVer=1\nUseGPS=0\n"
           "[Orientation Module Settings]\nEnableOrientationModule=0\n");
  StartSim({"--no-gps", "--no-azimuth", "--no-orientation"});
  Record({"--auto-profile", "vertical", "--sweeps", "2", "--xyz-dir", "live"});
  const std::string base = "run.47V --geometry vertical --ini WINQ47V.INI";
  const FilesToolRun xyz = RunQ47v("xyz " + base + " --out re --svg");
  ASSERT_EQ(xyz.status, 0) << xyz.err;
  const FilesToolRun csv = RunQ47v("export " + base + " --out n.csv");
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_NE(csv.out.find("no GPS in the recording: the layers are in the local survey frame"), std::string::npos);
  ASSERT_EQ(RunQ47v("export " + base + " --out n.gpkg").status, 0);
  ASSERT_EQ(RunQ47v("export " + base + " --out n.dxf").status, 0);
  Check("--xyz-dir re --geometry vertical --csv n.csv --other n.gpkg n.dxf");
  EXPECT_NE(ReadText("check.txt").find("no echo"), std::string::npos);

  Dataset gpkg("n.gpkg");
  ASSERT_TRUE(gpkg.ds);
  std::unique_ptr<OGRFeature> row(gpkg.ds->GetLayerByName("survey")->GetNextFeature());
  ASSERT_TRUE(row);
  const int no_echo = row->GetFieldAsInteger("points_no_echo");
  EXPECT_GT(no_echo, 0);
  EXPECT_STREQ(row->GetFieldAsString("crs"), "local");
  const OGRSpatialReference* srs = gpkg.ds->GetLayerByName("points")->GetSpatialRef();
  ASSERT_TRUE(srs);
  EXPECT_TRUE(srs->IsLocal());

  // No GPS, no track: said, and nothing written.
  const FilesToolRun track = RunQ47v("track run.47V --out t.gpkg");
  EXPECT_EQ(track.status, 0) << track.err;
  EXPECT_NE(track.out.find("no GPS fix in run.47V"), std::string::npos) << track.out;
  EXPECT_FALSE(fs::exists("t.gpkg"));

  // Each picture draws the points with an echo and says how many it left out.
  int left_out = 0;
  for (const auto& e : fs::directory_iterator("re")) {
    if (e.path().extension() != ".svg") continue;
    const std::string svg = ReadText(e.path().string());
    const std::size_t at = svg.find(" without an echo left out");
    if (at == std::string::npos) continue;
    const std::size_t comma = svg.rfind(", ", at);
    left_out += std::atoi(svg.c_str() + comma + 2);
  }
  EXPECT_EQ(left_out, no_echo);
}

// An auto-azimuth run without GPS: the local frame, one section per sweep.
TEST_F(Export, AzimuthRunInTheLocalFrame) {
  WriteIni("RunMode=0\nGridMode=0\nRange=6\nSpeed=4\nSectorSectorSize=90\nUnits=0\nAzimuthDriveEnable=1\n"
           "AzimuthAngle=600\nXYZRangeHorVer=1\nXYZTimestamp=1\nUseGPS=0\n"
           "[Orientation Module Settings]\nEnableOrientationModule=0\n");
  StartSim({"--no-gps", "--no-orientation", "--azimuth-rate", "300"});
  Record({"--auto-azimuth", "0:60:30", "--xyz-dir", "live"});
  const std::string base = "run.47V --geometry azimuth --ini WINQ47V.INI";
  const FilesToolRun xyz = RunQ47v("xyz " + base + " --out re");
  ASSERT_EQ(xyz.status, 0) << xyz.err;
  const FilesToolRun csv = RunQ47v("export " + base + " --out a.csv");
  ASSERT_EQ(csv.status, 0) << csv.err;
  const FilesToolRun json = RunQ47v("export " + base + " --out a.geojson");
  ASSERT_EQ(json.status, 0) << json.err;
  Check("--xyz-dir re --geometry azimuth --csv a.csv --other a.geojson");
  // A section per sweep of the .XYZ ("... points in N sweeps").
  const std::size_t in = xyz.out.find(" points in ");
  ASSERT_NE(in, std::string::npos) << xyz.out;
  const int sweeps = std::atoi(xyz.out.c_str() + in + 11);
  EXPECT_GE(sweeps, 2) << xyz.out;
  Dataset sections("a-sections.geojson");
  ASSERT_TRUE(sections.ds);
  EXPECT_EQ(sections.ds->GetLayer(0)->GetFeatureCount(), sweeps) << xyz.out << csv.out;
  // KML needs positions on the earth.
  const FilesToolRun kml = RunQ47v("export " + base + " --out a.kml");
  EXPECT_EQ(kml.status, 1);
  EXPECT_NE(kml.err.find("the recording has no GPS"), std::string::npos);
}

TEST(ExportVerb, HelpAndUsageErrors) {
  const FilesToolRun help = RunQ47v("export --help");
  EXPECT_EQ(help.status, 0);
  for (const char* text : {"--format F", "--crs CRS", "--heading DEG", "--antenna-offset DX,DY,DZ",
                           "easting = E + x*cos h,  northing = N - x*sin h", "points", "sections", "survey"})
    EXPECT_NE(help.out.find(text), std::string::npos) << text;
  const FilesToolRun track = RunQ47v("track --help");
  EXPECT_EQ(track.status, 0);
  EXPECT_NE(track.out.find("more than 5 s"), std::string::npos);
  EXPECT_EQ(RunQ47v("export x.47V --geometry vertical --out o.gpkg --format dwg").status, 2);
  EXPECT_EQ(RunQ47v("export x.47V --geometry vertical --out o.gpkg --heading north").status, 2);
  EXPECT_EQ(RunQ47v("export x.47V --geometry vertical --out o.gpkg --antenna-offset 1,2").status, 2);
  EXPECT_EQ(RunQ47v("export x.47V --out o.gpkg").status, 2);
  EXPECT_EQ(RunQ47v("track x.47V --out t.gpkg --format dxf").status, 2);
  EXPECT_EQ(RunQ47v("export missing.47V --geometry vertical --out o.gpkg").status, 1);
}

// The outputs of q47v export and q47v track on hostile ground, with a recording
// of the harbour (no GPS: the survey's own frame).
const std::string kHarbour = std::string(Q47V_TESTDATA_DIR) + "/imaging/harbour_polar.47V";

std::vector<std::string> Listing(const std::string& dir = ".") {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A FIFO at the output's name, or at the name of a layer's file beside it, is
// refused before the recording is read and left as it is, with nothing made; a
// symbolic link is written through, at the file it names.
TEST(ExportOutputs, NodesAreRefusedAndLinksWrittenThrough) {
  ASSERT_EQ(::mkfifo("fifo.gpkg", 0644), 0);
  for (const std::string& verb : {"export " + kHarbour + " --geometry vertical", "track " + kHarbour}) {
    const FilesToolRun run = RunQ47v(verb + " --out fifo.gpkg");
    EXPECT_EQ(run.status, 1) << verb;
    EXPECT_NE(run.err.find("fifo.gpkg is a FIFO, not a regular file"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_fifo("fifo.gpkg"));
  }
  ASSERT_EQ(::mkfifo("s-sections.geojson", 0644), 0);
  const FilesToolRun side = RunQ47v("export " + kHarbour + " --geometry vertical --out s.geojson");
  EXPECT_EQ(side.status, 1);
  EXPECT_NE(side.err.find("s-sections.geojson is a FIFO"), std::string::npos) << side.err;
  EXPECT_EQ(Listing(), (std::vector<std::string>{"fifo.gpkg", "s-sections.geojson", "stderr.txt"}));

  fs::create_symlink("real.gpkg", "link.gpkg");
  const FilesToolRun linked = RunQ47v("export " + kHarbour + " --geometry vertical --out link.gpkg");
  ASSERT_EQ(linked.status, 0) << linked.err;
  EXPECT_TRUE(fs::is_symlink("link.gpkg"));
  Dataset real("real.gpkg");
  ASSERT_TRUE(real.ds);
  ASSERT_NE(real.ds->GetLayerByName("points"), nullptr);
  EXPECT_GT(real.ds->GetLayerByName("points")->GetFeatureCount(), 0);
}

// A full disk (a file size limit of 20 KB) fails the export of every format with
// the reason, leaves the file it would have replaced as it was and nothing else
// behind, not even a part of a Shapefile or a hidden temporary file.
TEST(ExportOutputs, AFullDiskLeavesNothing) {
  std::ofstream("full.gpkg") << "the survey of yesterday";
  for (const char* name : {"full.gpkg", "full.shp", "full.geojson", "full.dxf", "full.csv"}) {
    const std::string command = "ulimit -f 40; " + Bin("/src/cli/q47v") + " export " + kHarbour +
                                " --geometry vertical --out " + name + " >out.txt 2>err.txt; echo $? >status.txt";
    ASSERT_EQ(std::system(("/bin/sh -c '" + command + "'").c_str()), 0);
    EXPECT_EQ(ReadText("status.txt"), "1\n") << name << ReadText("out.txt");
    EXPECT_NE(ReadText("err.txt").find("File too large"), std::string::npos) << name << ReadText("err.txt");
    EXPECT_EQ(ReadText("full.gpkg"), "the survey of yesterday");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"err.txt", "full.gpkg", "out.txt", "status.txt"})) << name;
  }
}

// A Shapefile shortens field names to ten letters: the survey row still has
// every value (they were set by their long names and lost).
TEST(ExportOutputs, ShapefileSurveyRowHasEveryValue) {
  const FilesToolRun run = RunQ47v("export " + kHarbour + " --geometry vertical --out s.shp");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("s-survey.dbf\n"), std::string::npos) << run.out;
  Dataset row("s-survey.dbf");
  ASSERT_TRUE(row.ds);
  OGRLayer* layer = row.ds->GetLayer(0);
  ASSERT_NE(layer, nullptr);
  std::unique_ptr<OGRFeature> f(layer->GetNextFeature());
  ASSERT_TRUE(f);
  ASSERT_EQ(f->GetFieldCount(), 15);
  for (int i = 0; i < f->GetFieldCount(); ++i)
    EXPECT_TRUE(f->IsFieldSetAndNotNull(i)) << f->GetFieldDefnRef(i)->GetNameRef();
  EXPECT_EQ(f->GetFieldAsDouble(3), 1500.0);  // sound velocity
  const std::size_t words = run.out.find(" points in ");
  ASSERT_NE(words, std::string::npos);
  EXPECT_EQ(f->GetFieldAsInteger(12), std::stoi(run.out.substr(run.out.rfind('\n', words) + 1)));
}

}  // namespace
