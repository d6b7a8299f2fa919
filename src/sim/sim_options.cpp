// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_options.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/signalfd.h>
#include <unistd.h>

namespace q47vsim {
namespace {

bool ToDouble(const std::string& s, double& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  v = std::strtod(s.c_str(), &end);
  return errno == 0 && end && *end == '\0';
}
bool ToU64(const std::string& s, std::uint64_t& v) {
  if (s.empty() || s[0] == '-') return false;
  char* end = nullptr;
  errno = 0;
  v = std::strtoull(s.c_str(), &end, 0);
  return errno == 0 && end && *end == '\0';
}
bool ToPair(const std::string& s, char sep, double& a, double& b) {
  auto p = s.find(sep);
  return p != std::string::npos && ToDouble(s.substr(0, p), a) && ToDouble(s.substr(p + 1), b);
}
bool Rate(const std::string& s, double& v) { return ToDouble(s, v) && v >= 0 && v <= 1; }

}  // namespace

const char* HelpText() {
  return R"(Usage: q47v-sim [options]
Simulates the devices of a Q47V sonar system for WinQ47V: sonar heads, the azimuth
drive (ID 0x1F) and the orientation module (ID 0x18) on the head line at 115200 bit/s,
and a GPS receiver on a second line. Each line is a pseudo-terminal whose path is
printed at start (or a real serial device). Runs until Ctrl-C / SIGTERM, or a limit.

Lines
  --ini FILE            write the line paths into this WINQ47V.INI: [Serial Ports]
                        COM<n>=<path> for both lines, [Settings] ComPort/ComPortGPS,
                        UseGPS=1, GPSBaudRate and GPSType to match; other lines kept
  --head-com N          COM number (1..8) the head line is written as (default 1)
  --gps-com N           COM number (1..8) the GPS line is written as (default 2)
  --head-device PATH    use this serial device for the head line instead of a pty
  --gps-device PATH     use this serial device for the GPS line instead of a pty
  --head-link PATH      keep a symbolic link PATH pointing at the head pty (it
                        survives --hangup; the INI then names the link)
  --gps-link PATH       the same for the GPS pty
  --no-gps              no GPS line

Devices
  --heads LIST          sonar head IDs, comma separated, 0x10..0x1F (default 0x10)
  --no-head             no sonar head on the line
  --no-azimuth          no azimuth drive (ID 0x1F stays silent)
  --azimuth-rate DEG    azimuth drive turning rate in degrees per second (default 10)
  --azimuth-tilt        the azimuth drive reports pitch, roll and heading
  --no-orientation      no orientation module (ID 0x18 stays silent)
  --chirp               heads set status bit 1 (the long-range blanking figures)

Scene and timing
  --scene NAME          harbour (default): quay walls, pilings, pipe, tyre, crate,
                        rocks and rippled sand around a head 2.5 m above the floor;
                        channel: cross-section of a dredged channel for vertical
                        profiling, the head 1 m below the surface, 0 deg = down
  --drift M_S           move the head's frame to and fro along the harbour at this
                        speed (side-scan pictures with the pilings passing by)
  --sound-speed M_S     sound speed for the echo timing (default 1500)
  --fast                answer as soon as the program can take the reply (benchmarks):
                        on a pty just after the program purges its input queue
                        following the command, on a serial device --fast-holdoff-us
                        after the command; the default is a real head's pace: switch
                        delay, two-way travel time over the range, and the reply's
                        time at 115200 bit/s
  --fast-holdoff-us US  the wait of --fast on a serial device before a reply leaves
                        (default 4400, just after the program's purge at its default
                        TxDelay)
  --seed N              seed of noise and faults (default 1): same seed and same
                        commands, same head replies (the drive, the orientation
                        module, --drift and the GPS follow the clock)

GPS
  --gps-sentences KIND  gga (default), gll or both
  --gps-baud N          4800 (default), 9600, 19200, 38400, 57600 or 115200
  --gps-rate HZ         sentences per second (default 1)
  --gps-start LAT,LON   start of the survey track in degrees (default 49.27417,-123.18533)
  --gps-speed KNOTS     boat speed (default 2)
  --gps-course DEG      direction of the survey lines (default 45)
  --nmea-replay FILE    send the "$" lines of this NMEA log in turn instead (looping)

Limits and log
  --seconds S           stop after S seconds
  --commands N          stop after N command frames (once their replies are out)
  --log FILE            log every frame received and every reply or sentence sent:
                        "<seconds> RX|TX head|gps <hex bytes>"; with faults on,
                        "TXF head" lines show the damaged pieces as sent
  --quiet               print only the paths

Faults (head line replies; rates are fractions 0..1)
  --fault-rate R        shorthand for --drop R --corrupt R --split R
  --drop R              lose bytes
  --corrupt R           flip one bit in bytes
  --duplicate R         send bytes twice
  --split R             after a byte, send the rest of the reply late
  --split-gap MS        how late (default 20)
  --garbage R           put 1..16 random bytes before replies
  --delay R             hold whole replies back
  --delay-ms MS         by this long (default 300)
  --silent AT:FOR       answer nothing from AT seconds after start for FOR seconds
  --hangup AT:FOR       close the head line at AT seconds, open it again FOR seconds
                        later (a pty comes back under a new name; use --head-link)

  --help                this text
  --version             the version

Printed at start, one per line, for scripts:
  Q47V_SIM_HEAD=<path>
  Q47V_SIM_GPS=<path>
)";
}

bool ParseOptions(const std::vector<std::string>& args, ParsedOptions& out, std::string* error) {
  SimConfig& c = out.config;
  auto fail = [&](const std::string& m) {
    if (error) *error = m;
    return false;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& v) {
      if (i + 1 >= args.size()) return false;
      v = args[++i];
      return true;
    };
    std::string v;
    double d = 0, d2 = 0;
    std::uint64_t u = 0;
    if (a == "--help" || a == "-h") {
      out.help = true;
    } else if (a == "--version") {
      out.version = true;
    } else if (a == "--fast") {
      c.fast = true;
    } else if (a == "--quiet") {
      out.quiet = true;
    } else if (a == "--no-gps") {
      c.gps = false;
    } else if (a == "--no-head") {
      c.heads.clear();
    } else if (a == "--no-azimuth") {
      c.azimuth_drive = false;
    } else if (a == "--azimuth-tilt") {
      c.azimuth_tilt = true;
    } else if (a == "--no-orientation") {
      c.orientation = false;
    } else if (a == "--chirp") {
      c.chirp = true;
    } else if (!value(v)) {
      return fail(a.rfind("--", 0) == 0 ? "option " + a + " is unknown or needs a value" : "unexpected argument " + a);
    } else if (a == "--ini") {
      c.ini = v;
    } else if (a == "--fast-holdoff-us") {
      if (!ToDouble(v, d) || d < 0 || d > 1e6) return fail(a + " takes 0..1000000");
      c.fast_holdoff_us = d;
    } else if (a == "--head-com" || a == "--gps-com") {
      if (!ToU64(v, u) || u < 1 || u > 8) return fail(a + " takes 1..8");
      (a == "--head-com" ? c.head_com : c.gps_com) = static_cast<int>(u);
    } else if (a == "--head-device") {
      c.head_device = v;
    } else if (a == "--gps-device") {
      c.gps_device = v;
    } else if (a == "--head-link") {
      c.head_link = v;
    } else if (a == "--gps-link") {
      c.gps_link = v;
    } else if (a == "--heads") {
      c.heads.clear();
      std::size_t p = 0;
      while (p <= v.size()) {
        auto comma = v.find(',', p);
        std::string item = v.substr(p, comma == std::string::npos ? std::string::npos : comma - p);
        if (!ToU64(item, u) || u < 0x10 || u > 0x1F) return fail("--heads takes IDs 0x10..0x1F (16..31)");
        c.heads.push_back(static_cast<std::uint8_t>(u));
        if (comma == std::string::npos) break;
        p = comma + 1;
      }
    } else if (a == "--azimuth-rate") {
      if (!ToDouble(v, d) || d <= 0 || d > 360) return fail("--azimuth-rate takes degrees per second, 0..360");
      c.azimuth_rate_deg_s = d;
    } else if (a == "--scene") {
      if (v != "harbour" && v != "channel") return fail("--scene takes harbour or channel");
      c.scene = v;
    } else if (a == "--drift") {
      if (!ToDouble(v, d) || d < 0 || d > 10) return fail("--drift takes 0..10 m/s");
      c.drift_m_s = d;
    } else if (a == "--sound-speed") {
      if (!ToDouble(v, d) || d < 1300 || d > 1700) return fail("--sound-speed takes 1300..1700 m/s");
      c.sound_speed = d;
    } else if (a == "--seed") {
      if (!ToU64(v, u)) return fail("--seed takes a number");
      c.seed = u;
    } else if (a == "--gps-sentences") {
      if (v == "gga") c.gps_gga = true, c.gps_gll = false;
      else if (v == "gll") c.gps_gga = false, c.gps_gll = true;
      else if (v == "both") c.gps_gga = c.gps_gll = true;
      else return fail("--gps-sentences takes gga, gll or both");
    } else if (a == "--gps-baud") {
      if (!ToU64(v, u) || (u != 4800 && u != 9600 && u != 19200 && u != 38400 && u != 57600 && u != 115200))
        return fail("--gps-baud takes 4800, 9600, 19200, 38400, 57600 or 115200");
      c.gps_baud = static_cast<int>(u);
    } else if (a == "--gps-rate") {
      if (!ToDouble(v, d) || d < 0.05 || d > 50) return fail("--gps-rate takes 0.05..50 per second");
      c.gps_rate_hz = d;
    } else if (a == "--gps-start") {
      if (!ToPair(v, ',', d, d2) || d < -85 || d > 85 || d2 < -180 || d2 > 180)
        return fail("--gps-start takes LAT,LON in degrees");
      c.track.start_lat = d, c.track.start_lon = d2;
    } else if (a == "--gps-speed") {
      if (!ToDouble(v, d) || d < 0 || d > 50) return fail("--gps-speed takes 0..50 knots");
      c.track.speed_knots = d;
    } else if (a == "--gps-course") {
      if (!ToDouble(v, d)) return fail("--gps-course takes degrees");
      c.track.course_deg = d;
    } else if (a == "--nmea-replay") {
      c.nmea_replay = v;
    } else if (a == "--seconds") {
      if (!ToDouble(v, d) || d <= 0) return fail("--seconds takes a positive number");
      c.seconds = d;
    } else if (a == "--commands") {
      if (!ToU64(v, u) || u == 0) return fail("--commands takes a positive number");
      c.commands = u;
    } else if (a == "--log") {
      c.log = v;
    } else if (a == "--fault-rate") {
      if (!Rate(v, d)) return fail(a + " takes a fraction 0..1");
      c.faults.drop = c.faults.corrupt = c.faults.split = d;
    } else if (a == "--drop" || a == "--corrupt" || a == "--duplicate" || a == "--split" || a == "--garbage" ||
               a == "--delay") {
      if (!Rate(v, d)) return fail(a + " takes a fraction 0..1");
      double& dst = a == "--drop" ? c.faults.drop
                    : a == "--corrupt" ? c.faults.corrupt
                    : a == "--duplicate" ? c.faults.duplicate
                    : a == "--split" ? c.faults.split
                    : a == "--garbage" ? c.faults.garbage
                                       : c.faults.delay;
      dst = d;
    } else if (a == "--split-gap" || a == "--delay-ms") {
      if (!ToDouble(v, d) || d < 0 || d > 60000) return fail(a + " takes milliseconds");
      (a == "--split-gap" ? c.faults.split_gap_ms : c.faults.delay_ms) = d;
    } else if (a == "--silent" || a == "--hangup") {
      if (!ToPair(v, ':', d, d2) || d < 0 || d2 < 0) return fail(a + " takes AT:FOR in seconds");
      if (a == "--silent") c.silent_at_s = d, c.silent_for_s = d2;
      else c.hangup_at_s = d, c.hangup_for_s = d2;
    } else {
      return fail("unknown option " + a);
    }
  }
  if (c.gps && c.head_com == c.gps_com)
    return fail("the head line and the GPS line need different COM numbers (--head-com, --gps-com)");
  return true;
}

int Main(int argc, char** argv) {
  ParsedOptions opts;
  std::string error;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!ParseOptions(args, opts, &error)) {
    std::fprintf(stderr, "q47v-sim: %s (see --help)\n", error.c_str());
    return 2;
  }
  if (opts.help) {
    std::fputs(HelpText(), stdout);
    return 0;
  }
  if (opts.version) {
    std::printf("q47v-sim %s\n", Q47V_VERSION);
    return 0;
  }
  // Signals arrive on a descriptor the simulator polls, so it stops between events.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  int sfd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  SimConfig cfg = opts.config;
  cfg.stop_fd = sfd;
  const bool quiet = opts.quiet;
  cfg.on_event = [quiet](const std::string& s) {
    if (!quiet) std::fprintf(stdout, "q47v-sim: %s\n", s.c_str());
    std::fflush(stdout);
  };
  Simulator sim(cfg);
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "q47v-sim: %s\n", error.c_str());
    return 1;
  }
  if (!quiet) {
    std::printf("q47v-sim: head line %s (COM%d)", sim.HeadPath().c_str(), cfg.head_com);
    std::printf(", %zu head(s):", cfg.heads.size());
    for (auto id : cfg.heads) std::printf(" 0x%02X", id);
    std::printf("%s%s, scene %s%s\n", cfg.azimuth_drive ? ", azimuth drive 0x1F" : "",
                cfg.orientation ? ", orientation module 0x18" : "", cfg.scene.c_str(), cfg.fast ? ", fast" : "");
    if (cfg.gps)
      std::printf("q47v-sim: GPS line %s (COM%d), %d bit/s, %s\n", sim.GpsPath().c_str(), cfg.gps_com, cfg.gps_baud,
                  !cfg.nmea_replay.empty() ? ("replaying " + cfg.nmea_replay).c_str()
                  : cfg.gps_gga && cfg.gps_gll ? "GGA and GLL"
                  : cfg.gps_gga ? "GGA" : "GLL");
    if (!cfg.ini.empty()) std::printf("q47v-sim: wrote the COM port mapping into %s\n", cfg.ini.c_str());
  }
  std::printf("Q47V_SIM_HEAD=%s\n", sim.HeadPath().c_str());
  if (cfg.gps) std::printf("Q47V_SIM_GPS=%s\n", sim.GpsPath().c_str());
  std::fflush(stdout);
  sim.Wait();
  sim.Stop();
  SimCounters k = sim.Counters();
  if (!quiet)
    std::printf("q47v-sim: %llu commands, %llu replies, %llu unanswered, %llu junk bytes in, %llu GPS sentences\n",
                static_cast<unsigned long long>(k.commands), static_cast<unsigned long long>(k.replies),
                static_cast<unsigned long long>(k.unanswered), static_cast<unsigned long long>(k.junk_bytes),
                static_cast<unsigned long long>(k.gps_sentences));
  if (sfd >= 0) ::close(sfd);
  return 0;
}

}  // namespace q47vsim
