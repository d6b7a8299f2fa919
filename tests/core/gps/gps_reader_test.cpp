// SPDX-License-Identifier: GPL-3.0-or-later
// The GPS reader over a real pty: sentences from real receiver logs, the selected
// type, discarding in playback and Hold, the age of the fix and the read-out.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "../link/pty_pair.h"
#include "gps/gps_reader.h"
#include "link/serial_port.h"
#include "app_state.h"
#include "test_text.h"

namespace {

class RecordingGpsDisplay : public GpsDisplay {
 public:
  void DrawGpsReadout(const GpsReadout& r) override {
    std::lock_guard lock(mutex_);
    readouts_.push_back(r);
    changed_.notify_all();
  }
  // Waits (bounded, as a guard against a hang) until `count` read-outs arrived.
  bool WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20),
                             [&] { return readouts_.size() >= count; });
  }
  std::vector<GpsReadout> Readouts() {
    std::lock_guard lock(mutex_);
    return readouts_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<GpsReadout> readouts_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The position text worked out field by field from a comma-split sentence.
std::string ExpectedPosition(const std::string& lat, char latH, const std::string& lon, char lonH) {
  std::string t(24, ' ');
  t[3] = t[6] = t[15] = t[18] = '.';
  auto place = [&](const std::string& field, std::vector<int> slots, int fracPos) {
    const auto dot = field.find('.');
    const std::string whole = field.substr(0, dot);
    const std::string frac = dot == std::string::npos ? "" : field.substr(dot + 1);
    for (std::size_t i = 0; i < whole.size() && i < slots.size(); ++i)
      t[static_cast<std::size_t>(slots[i])] = whole[whole.size() - 1 - i];
    const std::size_t n = frac.size() > 2 ? 3 : frac.size();
    for (std::size_t i = 0; i < n; ++i) t[static_cast<std::size_t>(fracPos) + i] = frac[i];
  };
  place(lat, {5, 4, 2, 1}, 7);
  place(lon, {17, 16, 14, 13, 12}, 19);
  t[11] = latH;
  t[23] = lonH;
  return t;
}

// Every sentence of the type that the reader must show, in order.
std::vector<std::string> ExpectedFixes(const std::string& log, bool gga) {
  std::vector<std::string> out;
  for (std::string line : Split(log, '\n')) {
    if (line.empty() || line.back() != '\r') continue;  // a bare line feed ends nothing
    line.pop_back();
    if (line.size() > 80 || line.size() < 6 || line[0] != '$') continue;
    if (line.substr(3, 3) != (gga ? "GGA" : "GLL")) continue;
    const auto f = Split(line, ',');
    const std::size_t at = gga ? 2 : 1;
    if (f.size() < at + 4) continue;
    const char latH = f[at + 1].empty() ? ' ' : f[at + 1][0];
    const char lonH = f[at + 3].empty() ? ' ' : f[at + 3][0];
    if ((latH != 'N' && latH != 'S') || (lonH != 'E' && lonH != 'W')) continue;
    out.push_back(ExpectedPosition(f[at], latH, f[at + 2], lonH));
  }
  return out;
}

bool SerialPort_OpenForTest(const std::string& path) {
  return SerialPort::Open(path, 9600) != nullptr;
}

class GpsReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    state.UseGPS = 1;
    state.GPSBaudRate = 5;
  }
  void TearDown() override { CloseGpsPort(state); }
  void Start() {
    ASSERT_TRUE(OpenGpsPort(state, pty.path()));
    ASSERT_TRUE(StartGpsThread(state, display));
  }

  AppState state;
  PtyPair pty;
  RecordingGpsDisplay display;
};

const char* const kLogs[] = {"garmin48.log",   "blumax-gps009.log",  "ublox-lea-4h.log",
                             "neo-m8n.log",    "nmea-rtk.log",       "ch-4711.log",
                             "humminbird-M37.log", "triton400.log", "firefly-II.log",
                             "hp58534a.log"};

TEST_F(GpsReaderTest, RealReceiverLogsGiveEverySelectedSentence) {
  Start();
  const std::string sentinel = "$GPGLL,0000.00,N,00000.00,E\r\n$GPGGA,000000,0000.00,N,00000.00,E,1,1,1,1,M,,M,,\r\n";
  int total = 0;
  for (int type : {1, 0}) {
    for (const char* name : kLogs) {
      SCOPED_TRACE(std::string(name) + (type ? " GGA" : " GLL"));
      const std::string log = ReadFile(std::string(Q47V_NMEA_LOG_DIR) + "/" + name);
      ASSERT_FALSE(log.empty());
      state.GPSType = type;
      const auto before = display.Readouts().size();
      std::vector<std::string> expected = ExpectedFixes(log, type == 1);
      total += static_cast<int>(expected.size());
      expected.push_back(ExpectedPosition("0000.00", 'N', "00000.00", 'E'));
      ASSERT_TRUE(pty.WriteAll(log + "\r\n" + sentinel));
      ASSERT_TRUE(display.WaitFor(before + expected.size()));
      const auto got = display.Readouts();
      ASSERT_EQ(got.size(), before + expected.size());
      for (std::size_t i = 0; i < expected.size(); ++i) {
        const GpsReadout& r = got[before + i];
        EXPECT_EQ(r.kind, GpsReadout::Kind::Position);
        EXPECT_EQ(r.latitudeText, expected[i].substr(0, 12) + ",") << i;
        EXPECT_EQ(r.longitudeText, expected[i].substr(12)) << i;
      }
    }
  }
  EXPECT_GT(total, 90);  // the CRLF logs carry plenty of fixes
}

TEST_F(GpsReaderTest, PlaybackAndHoldDiscardBytes) {
  state.GPSType = 0;
  Start();
  const std::string gll = "$GPGLL,4916.45,N,12311.12,W,225444,A\r\n";
  for (int round = 0; round < 2; ++round) {
    if (round == 0) state.RunMode = 1;
    else state.HoldActive = true;
    const long before = state.GpsBytesDiscarded.load();
    ASSERT_TRUE(pty.WriteAll(gll));
    // Wait until the reader has taken and discarded those bytes.
    for (int i = 0; i < 2000 && state.GpsBytesDiscarded.load() < before + static_cast<long>(gll.size()); ++i)
      ::usleep(5000);
    ASSERT_EQ(state.GpsBytesDiscarded.load(), before + static_cast<long>(gll.size()));
    state.RunMode = 0;
    state.HoldActive = false;
  }
  EXPECT_TRUE(display.Readouts().empty());
  ASSERT_TRUE(pty.WriteAll(gll));
  ASSERT_TRUE(display.WaitFor(1));
  const auto r = display.Readouts();
  EXPECT_EQ(r[0].latitudeText, " 49.16.45  N,");
  EXPECT_EQ(r[0].longitudeText, "123.11.12  W");
}

TEST_F(GpsReaderTest, WrongTypeAndBadHemispheres) {
  RecordingGpsDisplay d;
  state.GPSType = 1;
  state.GpsAge = 7;
  TakeGpsSentence(state, d, "$GPGLL,4916.45,N,12311.12,W,225444,A\r\n");
  EXPECT_EQ(state.GpsAge.load(), 7);  // GLL while GGA is selected: ignored
  TakeGpsSentence(state, d, "$GPGGA,123519,4807.038,X,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
  EXPECT_EQ(state.GpsAge.load(), 0);  // taken: age reset and texts stored ...
  EXPECT_EQ(std::string(state.GpsSnapshot().GpsPositionText.data()), " 48.07.038 X011.31.000 E");
  EXPECT_TRUE(d.Readouts().empty());  // ... but not shown
}

TEST_F(GpsReaderTest, AgeDecidesTheReadout) {
  RecordingGpsDisplay d;
  state.GPSType = 0;
  TakeGpsSentence(state, d, "$GPGLL,4916.45,N,12311.12,W,225444,A\r\n");
  ASSERT_EQ(d.Readouts().size(), 1u);
  EXPECT_TRUE(d.Readouts()[0].mark);  // blink toggled from 0
  for (int s = 1; s <= 12; ++s) {
    TickGps(state, d);
    EXPECT_EQ(state.GpsAge.load(), s);
    const GpsReadout paint = MakeGpsReadout(state, GpsInUse(state, false), false);
    EXPECT_EQ(paint.kind, s < 5 ? GpsReadout::Kind::Position : GpsReadout::Kind::NotAvailable) << s;
  }
  // Exactly one draw from the ticks: at 10 seconds, "not available".
  ASSERT_EQ(d.Readouts().size(), 2u);
  EXPECT_EQ(d.Readouts()[1].kind, GpsReadout::Kind::NotAvailable);
  // A fresh fix shows the position whatever the age; without UseGPS nothing ages.
  EXPECT_EQ(MakeGpsReadout(state, true, true).kind, GpsReadout::Kind::Position);
  state.UseGPS = 0;
  TickGps(state, d);
  EXPECT_EQ(state.GpsAge.load(), 12);
  EXPECT_EQ(MakeGpsReadout(state, GpsInUse(state, false), true).kind, GpsReadout::Kind::Hidden);
  state.RunMode = 1;
  EXPECT_TRUE(GpsInUse(state, true));
}

TEST_F(GpsReaderTest, OpenNeedsUseGpsAndCloseWaitsForTheThread) {
  state.UseGPS = 0;
  EXPECT_FALSE(OpenGpsPort(state, pty.path()));
  state.UseGPS = 1;
  EXPECT_FALSE(OpenGpsPort(state, "/nonexistent/tty"));
  EXPECT_FALSE(StartGpsThread(state, display));
  Start();
  EXPECT_EQ(state.GpsThreadRunning.load(), 1);
  // A second opener is refused while the port is held.
  EXPECT_EQ(SerialPort_OpenForTest(pty.path()), false);
  CloseGpsPort(state);
  EXPECT_EQ(state.GpsThreadRunning.load(), 0);
  EXPECT_EQ(SerialPort_OpenForTest(pty.path()), true);
}

}  // namespace
