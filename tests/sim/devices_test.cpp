// SPDX-License-Identifier: GPL-3.0-or-later
// The azimuth drive's turning, the orientation module's angles, the GPS sentences
// and track, and the INI mapping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "azimuth_drive.h"
#include "nmea_source.h"
#include "sim_ini.h"
#include "sim_protocol.h"
#include "sim_test_util.h"

using namespace q47vsim;

namespace {
Command Cmd(const simtest::Frame& f) {
  Command c;
  EXPECT_TRUE(ParseCommand(f.Bytes(), c));
  return c;
}
}  // namespace

TEST(AzimuthDrive, TurnsAtItsRateAndStopsOnTarget) {
  AzimuthDrive drive(10.0, false);  // 10 deg/s = 33.3 steps/s
  auto r0 = drive.Handle(Cmd(simtest::AzimuthFrame(900)), 0.0);
  ASSERT_EQ(r0.size(), 13u);
  EXPECT_EQ(r0[1], 'A');
  EXPECT_EQ(r0[3], 0x1F);
  EXPECT_EQ(simtest::Position(r0), 600);
  EXPECT_EQ(r0[4] & 0x01, 1) << "turning";
  EXPECT_EQ(simtest::Position(drive.Handle(Cmd(simtest::AzimuthFrame(900)), 1.0)), 633);
  EXPECT_EQ(simtest::Position(drive.Handle(Cmd(simtest::AzimuthFrame(900)), 4.5)), 750);
  auto done = drive.Handle(Cmd(simtest::AzimuthFrame(900)), 60.0);
  EXPECT_EQ(simtest::Position(done), 900);
  EXPECT_EQ(done[4] & 0x01, 0);
  EXPECT_EQ(done[7], 0) << "no tilt sensor";
  // Back to 0 degrees across 600 without wrapping through the cable stop.
  EXPECT_EQ(simtest::Position(drive.Handle(Cmd(simtest::AzimuthFrame(100)), 60.0)), 900);
  EXPECT_EQ(simtest::Position(drive.Handle(Cmd(simtest::AzimuthFrame(100)), 63.0)), 800);
  // A target beyond 1199 stops at the last step.
  drive.Handle(Cmd(simtest::AzimuthFrame(2047)), 63.0);
  EXPECT_EQ(drive.Target(), 1199);
}

TEST(AzimuthDrive, TiltDataAndScanReply) {
  AzimuthDrive drive(10.0, true);
  auto r = drive.Handle(Cmd(simtest::AzimuthFrame(600)), 2.0);
  EXPECT_TRUE(r[7] & 0x40);
  unsigned pitch = (r[7] & 0x3F) | (((r[8] >> 2) & 0x1F) << 6);
  unsigned heading = (r[10] & 0x1F) | ((r[11] & 0x7F) << 5);
  EXPECT_NEAR(pitch, 900, 60) << "a few degrees at most";
  EXPECT_LT(heading, 3600u);
  auto t = drive.Handle(Cmd(simtest::Frame(0x1F).Set(7, 1).Set(13, 0)), 2.0);
  ASSERT_EQ(t.size(), 77u);
  EXPECT_EQ(t[1], 'T');
  EXPECT_EQ(t[12 + 5], 1) << "sensor type: azimuth drive";
}

TEST(OrientationModule, SlowlyVaryingAngles) {
  OrientationModule m;
  unsigned prev_pitch = 0;
  for (int i = 0; i < 20; ++i) {
    auto o = m.Handle(Cmd(simtest::OrientationFrame()), i * 0.5);
    ASSERT_EQ(o.size(), 29u);
    EXPECT_EQ(o[1], 'O');
    EXPECT_EQ(o[3], 0x18);
    unsigned pitch = simtest::Seven(o, 18), roll = simtest::Seven(o, 20), heading = simtest::Seven(o, 22);
    EXPECT_NEAR(pitch, 900, 40);
    EXPECT_NEAR(roll, 900, 30);
    EXPECT_NEAR(heading, 1240, 100);
    if (i > 0) {
      EXPECT_LE(std::abs(static_cast<int>(pitch) - static_cast<int>(prev_pitch)), 15) << "slow";
    }
    prev_pitch = pitch;
  }
}

namespace {
// Checks "$...*hh\r\n" with the checksum computed here, and returns the fields.
std::vector<std::string> CheckSentence(const std::string& s) {
  EXPECT_GE(s.size(), 6u);
  EXPECT_EQ(s[0], '$');
  EXPECT_EQ(s.substr(s.size() - 2), "\r\n");
  auto star = s.find('*');
  EXPECT_NE(star, std::string::npos);
  unsigned x = 0;
  for (std::size_t i = 1; i < star; ++i) x ^= static_cast<unsigned char>(s[i]);
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", x);
  EXPECT_EQ(s.substr(star + 1, 2), hex) << s;
  std::vector<std::string> fields;
  std::stringstream ss(s.substr(1, star - 1));
  std::string f;
  while (std::getline(ss, f, ',')) fields.push_back(f);
  return fields;
}
}  // namespace

TEST(Gps, SentencesWithChecksumsAndFields) {
  GpsFix fix;
  fix.lat = 49.2741667;  // 49 16.45 N
  fix.lon = -123.1853333;  // 123 11.12 W
  fix.hour = 9, fix.minute = 5, fix.second = 7.5;
  auto gga = CheckSentence(FormGga(fix));
  ASSERT_GE(gga.size(), 10u);
  EXPECT_EQ(gga[0], "GPGGA");
  EXPECT_EQ(gga[1], "090507.50");
  EXPECT_EQ(gga[2], "4916.4500");
  EXPECT_EQ(gga[3], "N");
  EXPECT_EQ(gga[4], "12311.1200");
  EXPECT_EQ(gga[5], "W");
  EXPECT_EQ(gga[6], "1");
  EXPECT_EQ(gga[7], "08");
  auto gll = CheckSentence(FormGll(fix));
  ASSERT_GE(gll.size(), 7u);
  EXPECT_EQ(gll[0], "GPGLL");
  EXPECT_EQ(gll[1], "4916.4500");
  EXPECT_EQ(gll[2], "N");
  EXPECT_EQ(gll[4], "W");
  EXPECT_EQ(gll[5], "090507.50");
  fix.lat = -0.5, fix.lon = 0.25;
  auto south = CheckSentence(FormGll(fix));
  EXPECT_EQ(south[1], "0030.0000");
  EXPECT_EQ(south[2], "S");
  EXPECT_EQ(south[3], "00015.0000");
  EXPECT_EQ(south[4], "E");
  EXPECT_EQ(NmeaChecksum("GPGLL,4916.45,N,12311.12,W,225444,A,"), "1D");
}

TEST(Gps, TrackMovesAtTheBoatsSpeed) {
  GpsTrack t;
  double lat0, lon0, lat1, lon1;
  TrackPosition(t, 0, lat0, lon0);
  EXPECT_DOUBLE_EQ(lat0, t.start_lat);
  TrackPosition(t, 60, lat1, lon1);
  double north = (lat1 - lat0) * 111320, east = (lon1 - lon0) * 111320 * std::cos(lat0 * 3.14159265 / 180);
  EXPECT_NEAR(std::hypot(north, east), 2.0 * 1852 / 3600 * 60, 0.5);
  EXPECT_NEAR(std::atan2(east, north) * 180 / 3.14159265, 45, 0.5);
  // After a line and the turn it comes back on a parallel line.
  double lat2, lon2;
  TrackPosition(t, (200 + 20 + 200) / (2.0 * 1852 / 3600), lat2, lon2);
  double n2 = (lat2 - lat0) * 111320, e2 = (lon2 - lon0) * 111320 * std::cos(lat0 * 3.14159265 / 180);
  EXPECT_NEAR(std::hypot(n2, e2), 20, 0.5);
}

TEST(Gps, ReplayLogTakesSentencesAndEndsThemWithCrLf) {
  {
    std::ofstream f("log.nmea", std::ios::binary);
    f << "garbage\n$GPGLL,4916.45,N,12311.12,W,225444,A*1D\n\n$GPGGA,1,2*00\r\n";
  }
  std::vector<std::string> lines;
  std::string err;
  ASSERT_TRUE(LoadNmeaLog("log.nmea", lines, &err)) << err;
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "$GPGLL,4916.45,N,12311.12,W,225444,A*1D\r\n");
  EXPECT_EQ(lines[1], "$GPGGA,1,2*00\r\n");
  EXPECT_FALSE(LoadNmeaLog("missing.nmea", lines, &err));
}

TEST(SimIni, WritesTheMappingAndKeepsEverythingElse) {
  const std::string before =
      "; settings\r\n[settings]\r\nGain=12\r\ncomport=5\r\n\r\n[SERIAL PORTS]\r\nCom3=/dev/ttyUSB7\r\ncom1=/dev/old\r\n"
      "[Other]\r\nX=1\r\n";
  std::string after = ApplyIniValues(before, {{"Serial Ports", "COM1", "/dev/pts/9"},
                                              {"Serial Ports", "COM2", "/dev/pts/10"},
                                              {"Settings", "ComPort", "0"},
                                              {"Settings", "ComPortGPS", "1"}});
  EXPECT_EQ(after,
            "; settings\r\n[settings]\r\nGain=12\r\ncomport=0\r\nComPortGPS=1\r\n\r\n[SERIAL PORTS]\r\n"
            "Com3=/dev/ttyUSB7\r\ncom1=/dev/pts/9\r\nCOM2=/dev/pts/10\r\n[Other]\r\nX=1\r\n");
  EXPECT_EQ(ApplyIniValues("", {{"Serial Ports", "COM4", "/dev/x"}}), "[Serial Ports]\nCOM4=/dev/x\n");
}

TEST(SimIni, UpdatesAFileOnDisk) {
  {
    std::ofstream f("WINQ47V.INI");
    f << "[Settings]\nRange=5\n";
  }
  std::string err;
  ASSERT_TRUE(UpdateIniFile("WINQ47V.INI", {{"Serial Ports", "COM1", "/dev/pts/3"}}, &err)) << err;
  std::ifstream in("WINQ47V.INI");
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), "[Settings]\nRange=5\n\n[Serial Ports]\nCOM1=/dev/pts/3\n");
  ASSERT_TRUE(UpdateIniFile("new.ini", {{"Settings", "ComPort", "2"}}, &err));
}

// The simulator writes its ports into a settings file kept behind a symbolic link
// (the link stays a link) and refuses what is not a regular file.
TEST(SimIni, WritesThroughALinkAndRefusesNonFiles) {
  std::filesystem::create_directory("shared");
  { std::ofstream("shared/real.ini") << "[Settings]\nGain=3\n"; }
  std::filesystem::create_symlink("shared/real.ini", "WINQ47V.INI");
  std::string err;
  ASSERT_TRUE(UpdateIniFile("WINQ47V.INI", {{"Serial Ports", "COM1", "/dev/pts/9"}}, &err)) << err;
  EXPECT_TRUE(std::filesystem::is_symlink("WINQ47V.INI"));
  std::ifstream in("shared/real.ini");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("COM1=/dev/pts/9"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("Gain=3"), std::string::npos);
  EXPECT_FALSE(UpdateIniFile("/dev/zero", {{"Settings", "Gain", "1"}}, &err));
  EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
}
