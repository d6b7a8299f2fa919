// SPDX-License-Identifier: GPL-3.0-or-later
// The file commands on long recordings, each beside its reference in one run:
// `q47v render` (one picture at the end: every ping drawn) against a bare loop of
// 19,508 scattered byte stores per ping (41 sub-rays x 499 samples), `q47v xyz`
// against `q47v info` on the same file, and `q47v info` against `cat` reading it.
// The recordings are worst-case "Fastest" 8-bit Sector pings at 20 m, sweeping a
// 180-degree sector, made from the simulator's harbour scene and repeated to pieces
// of 10 MB and 100 MB (`--sizes 10,100,1000` for others, in MB): time per ping and
// peak memory show whether either grows with the file.
//
// Times are CPU seconds (user + system) of each command, since the machine is
// shared; the wall times are printed beside them. `--write FILE MB` only writes a
// piece (for profiling a command on it); `--before Q47V` runs the same commands with
// another build of q47v beside this one's.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app_state.h"
#include "clock.h"
#include "files/recorder.h"
#include "files/sonar_file.h"
#include "files/sonar_record.h"
#include "imaging/ping_image.h"
#include "link/command_packet.h"
#include "link/reply_decoder.h"
#include "scene.h"
#include "sim_protocol.h"
#include "simulated_pings.h"
#include "sonar_head.h"

namespace {

struct Cost {
  double cpu = 0;   // user + system seconds
  double wall = 0;  // seconds
  long max_rss_kb = 0;
  int status = -1;
};

// Runs `argv` with standard output to /dev/null (or `out`), waits and measures it.
Cost Run(const std::vector<std::string>& argv, const std::string& out = "/dev/null") {
  Cost c;
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) ::dup2(fd, 1);
    const int err = ::open("/dev/null", O_WRONLY);
    if (err >= 0) ::dup2(err, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  rusage ru{};
  ::wait4(pid, &status, 0, &ru);
  c.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  c.cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
          static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  c.max_rss_kb = ru.ru_maxrss;
  c.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return c;
}

// The records of a few sweeps: the first one, then the others (all of one size, so
// that the others can be repeated with their back links sound).
std::vector<std::vector<uint8_t>> FastestSectorRecords(int pings) {
  auto s = std::make_unique<AppState>();
  SetFastestSectorAt20m(*s);
  const auto scene = q47vsim::MakeScene("harbour");
  q47vsim::SonarHead head(0x10, *scene, 47);
  FakeClock clock;
  std::vector<std::vector<uint8_t>> records;
  int previous = 0;
  for (int k = 0; k < pings; ++k) {
    LocalTime t{2026, 12, 9, 1, 30 + k / 600, (k / 10) % 60, (k % 10) * 10};
    clock.SetLocal(t);
    std::vector<uint8_t> reply = SimulatedPing(*s, head, clock);
    if (reply.empty()) continue;
    std::vector<uint8_t> rec = PingRecord(*s, reply, t, previous);
    if (rec.empty()) break;
    records.push_back(std::move(rec));
  }
  return records;
}

// A piece of about `megabytes` MB; returns its record count.
long WritePiece(const std::string& path, const std::vector<std::vector<uint8_t>>& records, long megabytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return 0;
  const long target = megabytes * 1000 * 1000;
  std::vector<uint8_t> buffer;
  long written = 0, count = 0;
  size_t k = 0;
  long rounds = 0;
  while (written < target) {
    const std::vector<uint8_t>& r = records[k];
    const size_t at = buffer.size();
    buffer.insert(buffer.end(), r.begin(), r.end());
    // A day of the month per 400 rounds (about 5,000 sweeps): the .XYZ files of
    // one date are numbered up to 9999 only, and a 1 GB piece holds 20,000 sweeps.
    const int day = 9 + static_cast<int>(rounds / 400);
    buffer[at + 8] = static_cast<uint8_t>('0' + day / 10 % 10);
    buffer[at + 9] = static_cast<uint8_t>('0' + day % 10);
    written += static_cast<long>(r.size());
    ++count;
    if (k + 1 == records.size()) ++rounds;
    k = k + 1 < records.size() ? k + 1 : 1;  // the first record once, then the others round
    if (buffer.size() >= (4u << 20) || written >= target) {
      if (::write(fd, buffer.data(), buffer.size()) != static_cast<ssize_t>(buffer.size())) break;
      buffer.clear();
    }
  }
  ::close(fd);
  return count;
}

// The bare loop: 19,508 byte stores per ping at wedge-like scattered places.
double BareLoopCpuSeconds(long pings) {
  const int n = 41 * 499;
  std::vector<uint8_t> image(kImageBytes, 0);
  std::vector<int> where(n);
  std::mt19937 rng(7);
  for (int i = 0; i < 499; ++i)
    for (int j = 0; j < 41; ++j) {
      const double t = (j - 20) * 0.001 + (rng() % 100) * 1e-5;
      where[i * 41 + j] = (505 - static_cast<int>(i * std::cos(t))) * kImageWidth + 298 + static_cast<int>(i * std::sin(t));
    }
  timespec a{}, b{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
  for (long p = 0; p < pings; ++p) {
    for (int k = 0; k < n; ++k) image[static_cast<size_t>(where[k])] = static_cast<uint8_t>(p + k);
    asm volatile("" : : "r"(image.data()) : "memory");
  }
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
  return static_cast<double>(b.tv_sec - a.tv_sec) + static_cast<double>(b.tv_nsec - a.tv_nsec) / 1e9;
}

std::string Q47v() {
#ifdef Q47V_BINARY_DIR
  return std::string(Q47V_BINARY_DIR) + "/src/cli/q47v";
#else
  return "q47v";
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--write") == 0) {  // a piece for other tools
    const long pings = WritePiece(argv[2], FastestSectorRecords(900), std::atol(argv[3]));
    std::printf("%s: %ld records\n", argv[2], pings);
    return pings > 0 ? 0 : 1;
  }
  std::vector<long> sizes = {10, 100};
  std::string before;  // another build of q47v, run beside this one
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--before") == 0 && i + 1 < argc) {
      before = argv[++i];
    } else if (std::strcmp(argv[i], "--sizes") == 0 && i + 1 < argc) {
      sizes.clear();
      for (char* p = argv[++i]; *p;) {
        sizes.push_back(std::strtol(p, &p, 10));
        if (*p == ',') ++p;
        else if (*p) break;
      }
    }
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "q47v-bench-commands-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return 1;
  const std::string dir = pattern;
  const std::string q47v = Q47v();
  const auto records = FastestSectorRecords(900);
  if (records.size() < 2) return 1;
  std::printf("recordings: %zu simulated Fastest 8-bit Sector pings at 20 m of %zu bytes, repeated\n",
              records.size(), records[1].size());
  std::printf("%8s %9s | %-7s %9s %9s %8s %9s\n", "piece", "pings", "job", "cpu s", "wall s", "us/ping", "max kB");
  struct Ratios {
    long mb;
    double render_vs_bare, xyz_vs_info, info_vs_cat;
  };
  std::vector<Ratios> ratios;
  bool failed = false;
  for (const long mb : sizes) {
    const std::string file = dir + "/piece.47V";
    const long pings = WritePiece(file, records, mb);
    Run({"/bin/cat", file});  // into the page cache, as for every job after
    const Cost cat = Run({"/bin/cat", file});
    const Cost info = Run({q47v, "info", file});
    std::filesystem::create_directories(dir + "/xyz");
    const Cost xyz = Run({q47v, "xyz", file, "--geometry", "vertical", "--out", dir + "/xyz"});
    std::filesystem::remove_all(dir + "/xyz");
    const Cost render = Run({q47v, "render", file, "--out", dir + "/render"});
    std::filesystem::remove_all(dir + "/render");
    if (!before.empty()) {
      const Cost old_info = Run({before, "info", file});
      std::filesystem::create_directories(dir + "/xyz");
      const Cost old_xyz = Run({before, "xyz", file, "--geometry", "vertical", "--out", dir + "/xyz"});
      std::filesystem::remove_all(dir + "/xyz");
      const Cost old_render = Run({before, "render", file, "--out", dir + "/render"});
      std::filesystem::remove_all(dir + "/render");
      for (const auto& [name, c] : {std::pair<const char*, const Cost&>{"info<", old_info}, {"xyz<", old_xyz},
                                    {"render<", old_render}})
        std::printf("%6ldMB %9ld | %-7s %9.3f %9.3f %8.3f %9ld   (--before)\n", mb, pings, name, c.cpu, c.wall,
                    c.cpu * 1e6 / static_cast<double>(pings), c.max_rss_kb);
      std::printf("%6ldMB %9ld | speed-up over --before: info %.2f, xyz %.2f, render %.2f; before: xyz vs info "
                  "%.2f, info / cat %.2f\n",
                  mb, pings, old_info.cpu / info.cpu, old_xyz.cpu / xyz.cpu, old_render.cpu / render.cpu,
                  old_info.cpu / old_xyz.cpu, old_info.cpu / cat.cpu);
    }
    const double bare = BareLoopCpuSeconds(std::min<long>(pings, 200000));
    const double bare_per_ping = bare / static_cast<double>(std::min<long>(pings, 200000));
    for (const auto& [name, c] : {std::pair<const char*, const Cost&>{"cat", cat}, {"info", info}, {"xyz", xyz},
                                  {"render", render}}) {
      std::printf("%6ldMB %9ld | %-7s %9.3f %9.3f %8.3f %9ld%s\n", mb, pings, name, c.cpu, c.wall,
                  c.cpu * 1e6 / static_cast<double>(pings), c.max_rss_kb, c.status == 0 ? "" : "  FAILED");
      failed = failed || c.status != 0;
    }
    std::printf("%6ldMB %9ld | %-7s %9.3f %9s %8.3f\n", mb, pings, "bare", bare_per_ping * static_cast<double>(pings),
                "-", bare_per_ping * 1e6);
    ratios.push_back({mb, bare_per_ping * static_cast<double>(pings) / render.cpu, info.cpu / xyz.cpu,
                      info.cpu / cat.cpu});
    std::filesystem::remove(file);
  }
  std::printf("\n%8s %28s %22s %22s\n", "piece", "render vs bare loop (>=1)", "xyz vs info (>=0.5)",
              "info / cat (<=3)");
  for (const Ratios& r : ratios)
    std::printf("%6ldMB %28.2f %22.2f %22.2f\n", r.mb, r.render_vs_bare, r.xyz_vs_info, r.info_vs_cat);
  std::filesystem::remove_all(dir);
  return failed ? 1 : 0;
}
