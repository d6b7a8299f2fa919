// SPDX-License-Identifier: GPL-3.0-or-later
// End to end through real pseudo-terminals: the test opens the slave path with
// plain termios like the program does, writes hand-built frames and reads replies.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "sim_test_util.h"
#include "simulator.h"

using namespace q47vsim;
using simtest::Frame;

namespace {

// Generous safety net for I/O only; every wait ends as soon as the bytes are there.
constexpr int kIoLimitMs = 10000;

int OpenRaw(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  cfsetspeed(&t, B115200);
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

std::vector<std::uint8_t> ReadN(int fd, std::size_t n, int limit_ms = kIoLimitMs) {
  std::vector<std::uint8_t> out;
  while (out.size() < n) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, limit_ms) <= 0) break;
    std::uint8_t buf[1024];
    ssize_t got = ::read(fd, buf, std::min(sizeof buf, n - out.size()));
    if (got <= 0) break;
    out.insert(out.end(), buf, buf + got);
  }
  return out;
}

// True when nothing arrives within a short look; used only after a reply that
// would have come first has been read.
bool NothingWaiting(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) == 0;
}

void Write(int fd, const std::vector<std::uint8_t>& bytes) {
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

SimConfig FastConfig() {
  SimConfig c;
  c.fast = true;
  c.gps = false;
  c.seed = 5;
  return c;
}

struct PtyFixture : ::testing::Test {
  void StartSim(SimConfig cfg) {
    sim = std::make_unique<Simulator>(std::move(cfg));
    std::string err;
    ASSERT_TRUE(sim->Start(&err)) << err;
    fd = OpenRaw(sim->HeadPath());
    ASSERT_GE(fd, 0) << sim->HeadPath();
  }
  void TearDown() override {
    if (fd >= 0) ::close(fd);
    if (sim) sim->Stop();
  }
  std::unique_ptr<Simulator> sim;
  int fd = -1;
};

}  // namespace

TEST_F(PtyFixture, NormalPingIsAnsweredWithAWholeReply) {
  StartSim(FastConfig());
  Write(fd, Frame().Bytes());
  auto r = ReadN(fd, 513);
  ASSERT_EQ(r.size(), 513u);
  EXPECT_EQ(r[0], 'I');
  EXPECT_EQ(r[1], 'G');
  EXPECT_EQ(r[2], 'X');
  EXPECT_EQ(r[3], 0x10);
  EXPECT_EQ(r[7], 10);
  EXPECT_EQ(simtest::Seven(r, 10), 500u);
  EXPECT_EQ(r[512], 0xFC);
  // Sector 90 degrees ahead, step 1: 601, 602, ... with the direction bit set.
  EXPECT_EQ(simtest::Position(r), 601);
  EXPECT_TRUE(simtest::DirectionUp(r));
  Write(fd, Frame().Bytes());
  auto r2 = ReadN(fd, 513);
  ASSERT_EQ(r2.size(), 513u);
  EXPECT_EQ(simtest::Position(r2), 602);
  EXPECT_TRUE(NothingWaiting(fd));
}

// In fast mode a reply waits for the purge of the program's input queue after its
// command, however late that comes, so that the purge can never throw it away (the
// program would wait seconds for its resend); a purge it missed costs a short wait.
TEST_F(PtyFixture, FastRepliesWaitForThePurgeAfterTheirCommand) {
  SimConfig cfg = FastConfig();
  cfg.fast_purge_wait_ms = 1500;
  StartSim(cfg);
  Write(fd, Frame().Bytes());
  pollfd p{fd, POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 100), 0) << "the reply came before the purge";
  ASSERT_EQ(::tcflush(fd, TCIOFLUSH), 0);
  auto r = ReadN(fd, 513, 1000);
  ASSERT_EQ(r.size(), 513u);
  EXPECT_EQ(r[0], 'I');
  EXPECT_EQ(r[512], 0xFC);
  Write(fd, Frame().Bytes());
  EXPECT_EQ(ReadN(fd, 513).size(), 513u);  // no purge at all: it comes all the same
}

// Every reply kind and width through the line, byte by byte where the format fixes
// them: envelope, ID, range, data byte count, terminator; then the stepping with the
// direction bit across both sector edges, and the "T" memory.
TEST_F(PtyFixture, EveryReplyThroughTheLine) {
  StartSim(FastConfig());
  struct Case {
    int points, bits, points_only;
    char kind;
    std::size_t length;
  } cases[] = {{50, 4, 0, 'G', 265}, {50, 8, 0, 'G', 513}, {50, 16, 0, 'G', 513}, {25, 4, 0, 'M', 141},
               {25, 8, 0, 'M', 265}, {25, 16, 0, 'M', 513}, {50, 8, 1, 'P', 13}};
  for (const auto& c : cases) {
    Write(fd, Frame().Set(3, 20).Set(19, c.points).Set(20, c.bits).Set(22, c.points_only).Bytes());
    auto r = ReadN(fd, c.length);
    ASSERT_EQ(r.size(), c.length) << c.kind << c.bits;
    EXPECT_EQ(r[0], 0x49);
    EXPECT_EQ(r[1], static_cast<std::uint8_t>(c.kind));
    EXPECT_EQ(r[2], 0x58);
    EXPECT_EQ(r[3], 0x10);
    EXPECT_EQ(r[7], 20);
    EXPECT_EQ(simtest::Seven(r, 10), c.length - 13);
    EXPECT_EQ(r.back(), 0xFC);
  }
  EXPECT_TRUE(NothingWaiting(fd));

  // Train ahead, sector 6 degrees (code 2: 590..610), step code 4.
  const int expected[][2] = {{604, 1}, {608, 1}, {610, 1}, {606, 0}, {602, 0}, {598, 0},
                             {594, 0}, {590, 0}, {594, 1}, {598, 1}};
  // The head is somewhere after the pings above: bring it to 600 with a fixed beam.
  Write(fd, Frame().Set(12, 0).Set(13, 1).Set(22, 1).Bytes());
  ASSERT_EQ(ReadN(fd, 13).size(), 13u);
  for (const auto& e : expected) {
    Write(fd, Frame().Set(12, 2).Set(13, 4).Set(22, 1).Bytes());
    auto r = ReadN(fd, 13);
    ASSERT_EQ(r.size(), 13u);
    EXPECT_EQ(simtest::Position(r), e[0]);
    EXPECT_EQ(simtest::DirectionUp(r), e[1] == 1) << e[0];
  }

  Write(fd, Frame().Set(7, 1).Set(13, 0).Bytes());
  auto t = ReadN(fd, 77);
  ASSERT_EQ(t.size(), 77u);
  EXPECT_EQ(std::string(t.begin(), t.begin() + 3), "ITX");
  EXPECT_EQ(t[3], 0x10);
  EXPECT_EQ(simtest::Seven(t, 10), 64u);
  EXPECT_EQ(t[12 + 0], 2);   // EPROM revision 2.14
  EXPECT_EQ(t[12 + 1], 14);
  EXPECT_EQ(t[12 + 5], 0);   // scanning sonar
  EXPECT_EQ((t[12 + 7] << 7) | t[12 + 6], 1200 + 0x10);  // serial number
  EXPECT_EQ(t[12 + 8], 0);   // fan beam
  EXPECT_EQ(t[12 + 10], 0);  // 1000 m
  EXPECT_EQ(t[76], 0xFC);
}

TEST_F(PtyFixture, OnlyTheAddressedHeadAnswers) {
  SimConfig cfg = FastConfig();
  cfg.heads = {0x10, 0x12};
  StartSim(cfg);
  for (std::uint8_t id : {0x12, 0x10}) {
    Write(fd, Frame(id).Set(20, 4).Bytes());
    auto r = ReadN(fd, 265);
    ASSERT_EQ(r.size(), 265u);
    EXPECT_EQ(r[3], id);
  }
  // Nobody is 0x11: its ping goes unanswered, the next ping's reply comes alone.
  Write(fd, Frame(0x11).Bytes());
  Write(fd, Frame(0x12).Set(22, 1).Bytes());
  auto r = ReadN(fd, 13);
  ASSERT_EQ(r.size(), 13u);
  EXPECT_EQ(r[1], 'P');
  EXPECT_EQ(r[3], 0x12);
  EXPECT_TRUE(NothingWaiting(fd));
  auto k = sim->Counters();
  EXPECT_EQ(k.commands, 4u);
  EXPECT_EQ(k.replies, 3u);
  EXPECT_EQ(k.unanswered, 1u);
}

TEST_F(PtyFixture, FramesInPiecesAndJunkBetweenThem) {
  StartSim(FastConfig());
  auto f = Frame().Set(19, 25).Bytes();
  std::vector<std::uint8_t> stream = {0x00, 0xFC, 0xFE, 0x13};
  stream.insert(stream.end(), f.begin(), f.end());
  for (std::size_t i = 0; i < stream.size(); i += 5)
    Write(fd, std::vector<std::uint8_t>(stream.begin() + static_cast<std::ptrdiff_t>(i),
                                        stream.begin() + static_cast<std::ptrdiff_t>(std::min(i + 5, stream.size()))));
  auto r = ReadN(fd, 265);
  ASSERT_EQ(r.size(), 265u);
  EXPECT_EQ(r[1], 'M');
  EXPECT_EQ(sim->Counters().junk_bytes, 4u);
}

TEST_F(PtyFixture, AzimuthDriveAndOrientationModuleAnswerAndCanBeSwitchedOff) {
  StartSim(FastConfig());
  Write(fd, simtest::AzimuthFrame(700).Bytes());
  auto a = ReadN(fd, 13);
  ASSERT_EQ(a.size(), 13u);
  EXPECT_EQ(a[1], 'A');
  EXPECT_EQ(a[3], 0x1F);
  EXPECT_EQ(a[12], 0xFC);
  Write(fd, simtest::OrientationFrame().Bytes());
  auto o = ReadN(fd, 29);
  ASSERT_EQ(o.size(), 29u);
  EXPECT_EQ(o[1], 'O');
  EXPECT_EQ(o[28], 0xFC);
  ::close(fd);
  fd = -1;
  sim->Stop();

  SimConfig off = FastConfig();
  off.azimuth_drive = false;
  off.orientation = false;
  StartSim(off);
  Write(fd, simtest::AzimuthFrame(700).Bytes());
  Write(fd, simtest::OrientationFrame().Bytes());
  Write(fd, Frame().Set(22, 1).Bytes());
  auto r = ReadN(fd, 13);
  ASSERT_EQ(r.size(), 13u);
  EXPECT_EQ(r[1], 'P') << "only the head answered";
  EXPECT_EQ(sim->Counters().unanswered, 2u);
}

TEST_F(PtyFixture, NewHeadIdOverTheLine) {
  StartSim(FastConfig());
  Write(fd, Frame(0x10).Set(7, 1).Set(13, 0).Set(16, 0x80 | 0x13).Set(10, 0x80).Set(15, 77).Set(18, 3).Set(21, 1).Bytes());
  auto t = ReadN(fd, 77);
  ASSERT_EQ(t.size(), 77u);
  EXPECT_EQ(t[1], 'T');
  EXPECT_EQ(t[3], 0x13);
  Write(fd, Frame(0x10).Set(22, 1).Bytes());  // the old ID is gone
  Write(fd, Frame(0x13).Set(22, 1).Bytes());
  auto p = ReadN(fd, 13);
  ASSERT_EQ(p.size(), 13u);
  EXPECT_EQ(p[3], 0x13);
  auto heads = sim->Heads();
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0].id, 0x13);
  EXPECT_EQ(heads[0].serial_number, 3 * 128 + 77);
  EXPECT_EQ(heads[0].depth_rating, 1);
}

TEST_F(PtyFixture, FaultsDropEverythingOrAddGarbage) {
  SimConfig cfg = FastConfig();
  cfg.faults.garbage = 1.0;
  StartSim(cfg);
  Write(fd, Frame().Set(22, 1).Bytes());
  // 1..16 garbage bytes, then the 13-byte reply: read until its terminator.
  std::vector<std::uint8_t> got;
  while (got.size() < 13 + 16) {
    auto more = ReadN(fd, 1);
    if (more.empty()) break;
    got.push_back(more[0]);
    if (got.size() >= 14 && got.back() == 0xFC && got[got.size() - 13] == 'I' && got[got.size() - 12] == 'P') break;
  }
  ASSERT_GE(got.size(), 14u);
  EXPECT_EQ(got[got.size() - 13], 'I');
  EXPECT_EQ(sim->Counters().faults.garbage_bursts, 1u);
  ::close(fd);
  fd = -1;
  sim->Stop();

  SimConfig drop = FastConfig();
  drop.faults.drop = 1.0;
  drop.commands = 3;
  StartSim(drop);
  for (int i = 0; i < 3; ++i) Write(fd, Frame().Set(22, 1).Bytes());
  sim->Wait();  // ends by itself after three commands
  EXPECT_TRUE(NothingWaiting(fd));
  EXPECT_EQ(sim->Counters().faults.dropped, 39u);
}

TEST(PtyGps, SentencesArriveWithCheckedChecksums) {
  SimConfig cfg = FastConfig();
  cfg.gps = true;
  cfg.gps_rate_hz = 20;
  cfg.gps_gga = cfg.gps_gll = true;
  cfg.ini = "WINQ47V.INI";
  cfg.gps_com = 4;
  Simulator sim(cfg);
  std::string err;
  ASSERT_TRUE(sim.Start(&err)) << err;
  int fd = OpenRaw(sim.GpsPath());
  ASSERT_GE(fd, 0);
  std::string text;
  while (text.find("GGA") == std::string::npos || text.find("GLL") == std::string::npos || text.back() != '\n') {
    auto b = ReadN(fd, 1);
    ASSERT_EQ(b.size(), 1u);
    text += static_cast<char>(b[0]);
  }
  ::close(fd);
  sim.Stop();
  std::istringstream in(text);
  std::string line;
  int checked = 0;
  while (std::getline(in, line)) {
    auto start = line.find('$');
    if (start == std::string::npos || line.back() != '\r') continue;  // a sentence met halfway
    auto star = line.find('*', start);
    ASSERT_NE(star, std::string::npos) << line;
    unsigned x = 0;
    for (std::size_t i = start + 1; i < star; ++i) x ^= static_cast<unsigned char>(line[i]);
    EXPECT_EQ(std::stoul(line.substr(star + 1, 2), nullptr, 16), x) << line;
    ++checked;
  }
  EXPECT_GE(checked, 2);
  std::ifstream ini("WINQ47V.INI");
  std::stringstream ss;
  ss << ini.rdbuf();
  EXPECT_NE(ss.str().find("COM1=" + sim.HeadPath()), std::string::npos) << ss.str();
  EXPECT_NE(ss.str().find("COM4=" + sim.GpsPath()), std::string::npos) << ss.str();
  EXPECT_NE(ss.str().find("ComPortGPS=3"), std::string::npos) << ss.str();
}

TEST_F(PtyFixture, SilentLineAnswersNothing) {
  SimConfig cfg = FastConfig();
  cfg.silent_at_s = 0;
  cfg.silent_for_s = 3600;
  cfg.commands = 2;
  StartSim(cfg);
  Write(fd, Frame().Bytes());
  Write(fd, simtest::OrientationFrame().Bytes());
  sim->Wait();  // ends by itself after two commands
  EXPECT_TRUE(NothingWaiting(fd));
  EXPECT_EQ(sim->Counters().unanswered, 2u);
  EXPECT_EQ(sim->Counters().replies, 0u);
}

TEST(PtyGps, ReplaysALogLineByLine) {
  {
    std::ofstream f("track.nmea", std::ios::binary);
    f << "$GPGLL,4916.45,N,12311.12,W,225444,A,*1D\n$GPGGA,225445,4916.46,N,12311.13,W,1,05,1.2,3.4,M,,M,,*7F\n";
  }
  SimConfig cfg = FastConfig();
  cfg.gps = true;
  cfg.gps_rate_hz = 50;
  cfg.nmea_replay = "track.nmea";
  Simulator sim(cfg);
  std::string err;
  ASSERT_TRUE(sim.Start(&err)) << err;
  int fd = OpenRaw(sim.GpsPath());
  ASSERT_GE(fd, 0);
  // Read until a whole GLL line, then the GGA line after it, then GLL again.
  std::string text;
  while (text.size() < 400) {
    auto b = ReadN(fd, 1);
    ASSERT_EQ(b.size(), 1u);
    text += static_cast<char>(b[0]);
    auto at = text.find("$GPGLL");
    if (at != std::string::npos && text.find("$GPGLL", at + 1) != std::string::npos) break;
  }
  ::close(fd);
  sim.Stop();
  auto at = text.find("$GPGLL");
  EXPECT_EQ(text.substr(at, 107),
            "$GPGLL,4916.45,N,12311.12,W,225444,A,*1D\r\n"
            "$GPGGA,225445,4916.46,N,12311.13,W,1,05,1.2,3.4,M,,M,,*7F\r\n$GPGLL")
      << text;
}

TEST(PtyHangup, LineComesBackUnderItsLink) {
  SimConfig cfg = FastConfig();
  cfg.head_link = "head-line";
  cfg.hangup_at_s = 0;
  cfg.hangup_for_s = 0.2;
  std::mutex mu;
  std::condition_variable cv;
  bool back = false;
  cfg.on_event = [&](const std::string& s) {
    std::lock_guard lock(mu);
    if (s.find("back") != std::string::npos) back = true;
    cv.notify_all();
  };
  Simulator sim(cfg);
  std::string err;
  ASSERT_TRUE(sim.Start(&err)) << err;
  {
    std::unique_lock lock(mu);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::milliseconds(kIoLimitMs), [&] { return back; }));
  }
  EXPECT_EQ(sim.HeadPath(), "head-line");
  int fd = OpenRaw("head-line");
  ASSERT_GE(fd, 0);
  Write(fd, Frame().Set(22, 1).Bytes());
  EXPECT_EQ(ReadN(fd, 13).size(), 13u);
  EXPECT_EQ(sim.Counters().hangups, 1u);
  ::close(fd);
  sim.Stop();
}

TEST_F(PtyFixture, RealisticPaceStillAnswers) {
  SimConfig cfg = FastConfig();
  cfg.fast = false;
  StartSim(cfg);
  Write(fd, Frame().Set(3, 5).Set(24, 0).Bytes());
  auto r = ReadN(fd, 513);
  ASSERT_EQ(r.size(), 513u);
  EXPECT_EQ(r[512], 0xFC);
}

// The program, spawned as tests and scripts do: it prints the path, answers, logs
// and ends after the given number of commands.
TEST(SimProgram, SpawnTalkAndStopAfterCommands) {
  const std::string bin = std::string(Q47V_BINARY_DIR) + "/src/sim/q47v-sim";
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::execl(bin.c_str(), bin.c_str(), "--fast", "--quiet", "--no-gps", "--commands", "2", "--log", "sim.log",
            "--seed", "4", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string first;
  char ch;
  while (::read(out[0], &ch, 1) == 1 && ch != '\n') first += ch;
  ASSERT_EQ(first.rfind("Q47V_SIM_HEAD=", 0), 0u) << first;
  int fd = OpenRaw(first.substr(14));
  ASSERT_GE(fd, 0);
  Write(fd, Frame().Bytes());
  EXPECT_EQ(ReadN(fd, 513).size(), 513u);
  Write(fd, Frame().Set(20, 16).Set(19, 25).Bytes());
  EXPECT_EQ(ReadN(fd, 513).size(), 513u);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ::close(fd);
  ::close(out[0]);
  std::ifstream log("sim.log");
  std::vector<std::string> lines;
  for (std::string l; std::getline(log, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[0].find(" RX head FE 44 10 0A"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(" TX head 49 47 58 10"), std::string::npos) << lines[1];
  EXPECT_NE(lines[3].find(" TX head 49 4D 58 10"), std::string::npos) << lines[3];
  EXPECT_LE(std::stod(lines[0]), std::stod(lines[3])) << "monotonic time stamps";
}

TEST(SimProgram, HelpAndBadOptions) {
  const std::string bin = std::string(Q47V_BINARY_DIR) + "/src/sim/q47v-sim";
  FILE* p = ::popen((bin + " --help").c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string help;
  char buf[512];
  while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) help.append(buf, n);
  EXPECT_EQ(::pclose(p), 0);
  for (const char* opt : {"--ini", "--head-com", "--gps-com", "--head-device", "--gps-device", "--head-link", "--no-gps",
                          "--heads", "--no-head", "--no-azimuth", "--azimuth-rate", "--azimuth-tilt", "--no-orientation",
                          "--chirp", "--scene", "--drift", "--sound-speed", "--fast", "--fast-holdoff-us", "--seed", "--gps-sentences", "--gps-baud",
                          "--gps-rate", "--gps-start", "--gps-speed", "--gps-course", "--nmea-replay", "--seconds",
                          "--commands", "--log", "--quiet", "--fault-rate", "--drop", "--corrupt", "--duplicate",
                          "--split", "--split-gap", "--garbage", "--delay", "--delay-ms", "--silent", "--hangup"})
    EXPECT_NE(help.find(opt), std::string::npos) << opt;
  for (const char* bad : {" --heads 0x20", " --scene moon", " --bogus", " --gps-baud 1234", " --drop 2", " --seconds", " --gps-com 1"}) {
    int rc = std::system((bin + bad + " >/dev/null 2>&1").c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 2) << bad;
  }
}
