// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of the head link over real ptys: live pings per second against the
// bound that the mandated send waits set (200 + 2500 + TxDelay x 100 + 500 us per
// command), with every ping decoded, drawn and counted; and the engine's CPU time
// per second of wall time while a simulated head answers at a real head's pace.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "clock.h"
#include "display.h"
#include "link/comm_thread.h"
#include "link/live_ping_sink.h"
#include "app_state.h"
#include "simulator.h"

namespace {

using Steady = std::chrono::steady_clock;

double BoundMicros(int txDelay) { return 200.0 + 2500.0 + txDelay * 100.0 + 500.0; }

void SetUpState(AppState& state) {
  state.RunMode = 0;
  state.EnableOrientationModule = 0;
  state.GridMode = 0;
  state.DataBits = 8;
  state.Range = 4;
  state.TxDelay = 10;
  state.SendDelay = 0;
}

// Margin the prompt device keeps after the sender's purge: an answer that comes
// before the purge is discarded and costs a resend seconds later.
constexpr int kAnswerMarginUs = 400;

// A device on the master side of a pty that answers each 27-byte command with a
// 513-byte "G" reply as early as the link allows: just after the sender's purge.
class PromptHead {
 public:
  explicit PromptHead(int txDelay)
      : waitUs_(static_cast<int>(BoundMicros(txDelay)) - 200 + kAnswerMarginUs) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ::grantpt(master_);
    ::unlockpt(master_);
    char name[128];
    ::ptsname_r(master_, name, sizeof name);
    path_ = name;
    termios tio{};
    ::tcgetattr(master_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master_, TCSANOW, &tio);
    reply_.assign(513, 0x30);
    reply_[0] = 'I';
    reply_[1] = 'G';
    reply_[2] = 'X';
    reply_[3] = 0x10;
    reply_[4] = 0;
    reply_[5] = 600 & 0x7F;
    reply_[6] = 600 >> 7;
    reply_[7] = 5;
    reply_[8] = reply_[9] = 0;
    reply_[10] = 500 & 0x7F;
    reply_[11] = 500 >> 7;
    reply_[512] = 0xFC;
    thread_ = std::thread([this] { Run(); });
  }
  ~PromptHead() {
    stop_ = true;
    thread_.join();
    ::close(master_);
  }
  const std::string& path() const { return path_; }
  // Median time between commands over the gaps seen since the last call.
  double MedianGapMicros() {
    std::lock_guard lock(mutex_);
    if (gaps_.empty()) return 0;
    std::sort(gaps_.begin(), gaps_.end());
    const double m = gaps_[gaps_.size() / 2];
    gaps_.clear();
    return m;
  }

 private:
  void Run() {
    std::vector<std::uint8_t> pending;
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      std::uint8_t buf[256];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) continue;
      for (ssize_t i = 0; i < n; ++i) {
        pending.push_back(buf[i]);
        if (buf[i] != 0xFD || pending.size() < 27) continue;
        pending.clear();
        const auto now = Steady::now();
        if (haveLast_) {
          std::lock_guard lock(mutex_);
          gaps_.push_back(std::chrono::duration<double, std::micro>(now - last_).count());
        }
        last_ = now;
        haveLast_ = true;
        // Answer once the sender's waits and purge are over.
        const auto due = Steady::now() + std::chrono::microseconds(waitUs_);
        while (Steady::now() < due) {
        }
        reply_[5] = static_cast<std::uint8_t>(position_ & 0x7F);
        reply_[6] = static_cast<std::uint8_t>(position_ >> 7);
        position_ = position_ >= 1200 ? 0 : position_ + 3;
        (void)!::write(master_, reply_.data(), reply_.size());
      }
    }
  }

  int waitUs_;
  int master_ = -1;
  std::string path_;
  std::vector<std::uint8_t> reply_;
  int position_ = 0;
  Steady::time_point last_{};
  bool haveLast_ = false;
  std::mutex mutex_;
  std::vector<double> gaps_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Live pings per second through the whole engine against the mandated-wait bound.
void BM_LivePingsVersusSendWaitBound(benchmark::State& st) {
  PromptHead head(10);
  AppState state;
  SetUpState(state);
  NullDisplay display;
  LivePingSink sink(display);
  Clock clock;
  if (!OpenHeadPort(state, head.path()) || !StartLink(state, display, sink, clock)) {
    st.SkipWithError("cannot start the link");
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // settle
  for (auto _ : st) {
    const long p0 = state.PingsProcessed.load();
    const long c0 = state.CommandsSent.load();
    head.MedianGapMicros();
    const auto t0 = Steady::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const double s = std::chrono::duration<double>(Steady::now() - t0).count();
    const double pings = static_cast<double>(state.PingsProcessed.load() - p0) / s;
    const double bound = 1e6 / BoundMicros(10);
    st.counters["pings_per_s"] = pings;
    st.counters["bound_per_s"] = bound;
    st.counters["percent_of_bound"] = 100.0 * pings / bound;
    st.counters["percent_of_bound_with_margin"] = 100.0 * pings * (BoundMicros(10) + kAnswerMarginUs) / 1e6;
    st.counters["commands_per_s"] = static_cast<double>(state.CommandsSent.load() - c0) / s;
    st.counters["rejected"] = static_cast<double>(state.RepliesRejected.load());
    // The typical cycle shows what the engine does when the machine lets it run;
    // the mean above includes every scheduling delay of a loaded machine.
    const double median = head.MedianGapMicros();
    st.counters["median_cycle_us"] = median;
    st.counters["median_percent_of_bound"] = median > 0 ? 100.0 * BoundMicros(10) / median : 0;
  }
  StopLink(state);
}
BENCHMARK(BM_LivePingsVersusSendWaitBound)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The same against q47v-sim --fast (in process), which answers just after the
// sender's purge.
void BM_LivePingsSimFast(benchmark::State& st) {
  q47vsim::SimConfig cfg;
  cfg.fast = true;
  cfg.gps = false;
  cfg.azimuth_drive = false;
  cfg.orientation = false;
  q47vsim::Simulator sim(cfg);
  std::string error;
  if (!sim.Start(&error)) {
    st.SkipWithError(error.c_str());
    return;
  }
  AppState state;
  SetUpState(state);
  NullDisplay display;
  LivePingSink sink(display);
  Clock clock;
  if (!OpenHeadPort(state, sim.HeadPath()) || !StartLink(state, display, sink, clock)) {
    st.SkipWithError("cannot start the link");
    return;
  }
  for (auto _ : st) {
    const auto t0 = Steady::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const double s = std::chrono::duration<double>(Steady::now() - t0).count();
    st.counters["pings_per_s"] = static_cast<double>(state.PingsProcessed.load()) / s;
    st.counters["bound_per_s"] = 1e6 / BoundMicros(10);
    st.counters["sim_replies"] = static_cast<double>(sim.Counters().replies);
  }
  StopLink(state);
  sim.Stop();
}
BENCHMARK(BM_LivePingsSimFast)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The q47v-sim program of the same build tree.
std::string SimBinary() {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "q47v-sim";
  std::string path(self, static_cast<std::size_t>(n));
  path = path.substr(0, path.rfind('/'));
  return path + "/../src/sim/q47v-sim";
}

double ProcessCpuSeconds() {
  rusage r{};
  ::getrusage(RUSAGE_SELF, &r);
  return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) * 1e-6;
}

// CPU per wall second of the link engine (comm thread, decoding, drawing) while the
// q47v-sim program answers at a real head's pace (a separate process, so its own
// CPU time is not counted).
void BM_EngineCpuAtHeadPace(benchmark::State& st) {
  char dir[] = "/tmp/q47v-bench-link-XXXXXX";
  if (!::mkdtemp(dir)) {
    st.SkipWithError("no temporary folder");
    return;
  }
  const std::string link = std::string(dir) + "/head";
  const std::string cmd = SimBinary() + " --quiet --no-gps --head-link " + link +
                          " --seconds 12 >/dev/null 2>&1 &";
  if (std::system(cmd.c_str()) != 0) {
    st.SkipWithError("cannot start q47v-sim");
    return;
  }
  for (int i = 0; i < 500 && ::access(link.c_str(), F_OK) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  AppState state;
  SetUpState(state);
  state.EnableOrientationModule = 1;
  state.Range = 9;  // 50 m
  NullDisplay display;
  LivePingSink sink(display);
  Clock clock;
  if (!OpenHeadPort(state, link) || !StartLink(state, display, sink, clock)) {
    st.SkipWithError("cannot start the link");
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  for (auto _ : st) {
    const double cpu0 = ProcessCpuSeconds();
    const long p0 = state.PingsProcessed.load();
    const auto t0 = Steady::now();
    std::this_thread::sleep_for(std::chrono::seconds(8));
    const double wall = std::chrono::duration<double>(Steady::now() - t0).count();
    st.counters["cpu_percent_of_core"] = 100.0 * (ProcessCpuSeconds() - cpu0) / wall;
    st.counters["pings_per_s"] = static_cast<double>(state.PingsProcessed.load() - p0) / wall;
  }
  StopLink(state);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_EngineCpuAtHeadPace)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
