// SPDX-License-Identifier: GPL-3.0-or-later
// Imaging speed: ProcessPing of one 8-bit Sector ping at "Fastest" (41 sub-rays x
// 499 samples) and "Fast", beside a bare loop making the same number of scattered
// byte stores into a 596 x 506 buffer (the bound the wedge drawer is held to), the
// wedges of a whole "Fastest" sweep drawn directly (sub-ray by sub-ray, the drawer
// without plans) and from their plans, and playback-and-render throughput in
// records per second, of a "Fastest" 20 m Sector recording among them. After the
// run each job is printed beside its reference with the ratio of their rates.
//
// `bench_imaging --write-samples DIR` instead writes two .47V files recorded from
// the simulator's harbour scene (a Sector sweep, a Polar turn and a port side-scan)
// for rendering.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>
#include <fcntl.h>
#include <unistd.h>

#include "clock.h"
#include "display.h"
#include "files/playback.h"
#include "files/recorder.h"
#include "files/sonar_record.h"
#include "imaging/ping_pipeline.h"
#include "link/command_packet.h"
#include "link/reply_decoder.h"
#include "scene.h"
#include "app_state.h"
#include "sim_protocol.h"
#include "simulated_pings.h"
#include "sonar_head.h"

namespace {

// Settings of a recording: display mode, range index, speed, sector.
struct Survey {
  int grid_mode;
  int range_index;
  int speed;
  int sector;
};

void Configure(AppState& s, const Survey& v) {
  s.GridMode = v.grid_mode;
  s.Range = v.range_index;
  s.Speed = v.speed;
  s.DataBits = 8;
  s.Gain = 12;
  if (v.grid_mode == 0) s.SectorSectorSize = v.sector;
  else s.PolarSectorSize = v.sector;
  s.SectorSize = v.sector;
  s.Train = v.grid_mode == 2 ? 270 : 0;  // side-scan to port
  s.SSTrain = 0;
  s.Grid = 1;
  s.RunMode = 0;
}

bool WriteSample(const std::string& path, const Survey& v, int pings) {
  auto s = std::make_unique<AppState>();
  Configure(*s, v);
  const auto scene = q47vsim::MakeScene("harbour");
  q47vsim::SonarHead head(0x10, *scene, 47);
  FakeClock clock;
  clock.SetLocal({2026, 12, 8, 1, 30, 0, 0});
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  int previous = 0;
  int64_t length = 0;
  for (int k = 0; k < pings; ++k) {
    LocalTime t{2026, 12, 8, 1, 30, (k / 10) % 60, (k % 10) * 10};
    t.minute = 30 + k / 600;
    clock.SetLocal(t);
    std::vector<uint8_t> reply = SimulatedPing(*s, head, clock);
    if (reply.empty()) continue;
    const std::vector<uint8_t> rec = PingRecord(*s, reply, t, previous);
    std::string error;
    if (rec.empty() || !AppendRecord(fd, rec, length, error)) break;
    length += static_cast<int64_t>(rec.size());
  }
  ::close(fd);
  return true;
}

// A state holding one realistic 8-bit Sector ping at the speed given.
std::unique_ptr<AppState> SectorPingState(int speed) {
  auto s = std::make_unique<AppState>();
  Configure(*s, {0, 9, speed, 180});
  const auto scene = q47vsim::MakeScene("harbour");
  q47vsim::SonarHead head(0x10, *scene, 47);
  Clock clock;
  for (int k = 0; k < 40; ++k) SimulatedPing(*s, head, clock);  // away from the start
  // Drawn straight ahead, so that the whole wedge lands inside the picture.
  s->Ping.HeadPosition = 600;
  s->Ping.BeamAngleRad = 0.0f;
  s->Ping.BeamAngleDeg = 0.0f;
  s->SpeedInUse = speed;
  s->PixelZoom = 0;
  return s;
}

void BM_ProcessPing(benchmark::State& st, int speed) {
  auto s = SectorPingState(speed);
  NullDisplay display;
  ClearImage(*s, display);
  PingInput in;
  in.Valid = true;
  in.Kind = 'G';
  const int n = SelectWedgeGeometry({speed, 0, false, true, 180, 0, false, 499, true}).SubRays;
  for (auto _ : st) {
    ProcessPing(*s, display, in);
    benchmark::ClobberMemory();
  }
  st.counters["pings/s"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
  st.counters["stores/ping"] = n * 499.0;
}
void BM_ProcessPingFastest(benchmark::State& st) { BM_ProcessPing(st, 4); }
void BM_ProcessPingFast(benchmark::State& st) { BM_ProcessPing(st, 2); }
BENCHMARK(BM_ProcessPingFastest);
BENCHMARK(BM_ProcessPingFast);

// The bound: 41 x 499 byte stores per "ping" at scattered (wedge-like) places of a
// 596 x 506 buffer, addresses precomputed.
void BM_ScatteredStores(benchmark::State& st) {
  const int n = 41 * 499;
  std::vector<uint8_t> image(kImageBytes, 0);
  std::vector<int> where(n);
  std::mt19937 rng(7);
  for (int i = 0; i < 499; ++i)
    for (int j = 0; j < 41; ++j) {
      const double t = (j - 20) * 0.001 + (rng() % 100) * 1e-5;
      const int x = 298 + static_cast<int>(i * std::sin(t));
      const int y = 505 - static_cast<int>(i * std::cos(t));
      where[i * 41 + j] = y * kImageWidth + x;
    }
  uint8_t v = 0;
  for (auto _ : st) {
    ++v;
    for (int k = 0; k < n; ++k) image[where[k]] = static_cast<uint8_t>(v + k);
    benchmark::ClobberMemory();
  }
  st.counters["pings/s"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScatteredStores);

// The echo lines of a sweep of real pings and their head angles, for the wedge jobs.
struct SweepPings {
  std::vector<EchoLines> lines;
  std::vector<WedgeParams> params;
};

// "Fastest" 8-bit Sector pings at 20 m over a 180-degree sector, back and forth: the
// worst case of the wedge (41 sub-rays x 499 samples).
const SweepPings& FastestSweep() {
  static const SweepPings sweep = [] {
    SweepPings out;
    auto s = std::make_unique<AppState>();
    Configure(*s, {0, 6, 4, 180});
    const auto scene = q47vsim::MakeScene("harbour");
    q47vsim::SonarHead head(0x10, *scene, 47);
    Clock clock;
    bool first = true;
    EchoLines lines;
    for (int k = 0; k < 300; ++k) {
      if (SimulatedPing(*s, head, clock).empty()) continue;
      lines.Shift(s->Ping.Samples.data(), s->Ping.SampleCount, first);
      WedgeParams p;
      p.Speed = 4;
      p.SectorSize = 180;
      p.BeamAngleRad = s->Ping.BeamAngleRad;
      p.ImageFlip = s->Ping.ImageFlip != 0;
      p.SampleCount = s->Ping.SampleCount;
      out.lines.push_back(lines);
      out.params.push_back(p);
    }
    return out;
  }();
  return sweep;
}

void BM_WedgeSweep(benchmark::State& st, bool planned) {
  const SweepPings& sweep = FastestSweep();
  PingImage image;
  WedgePlans plans;
  // Every position seen twice, so that the planned job draws from plans only.
  for (int round = 0; round < 2 && planned; ++round)
    for (size_t k = 0; k < sweep.lines.size(); ++k) DrawWedge(image, sweep.lines[k], sweep.params[k], &plans);
  size_t k = 0;
  long pixels = 0;
  for (auto _ : st) {
    const DirtyRect box = planned ? DrawWedge(image, sweep.lines[k], sweep.params[k], &plans)
                                  : DrawWedgeDirect(image, sweep.lines[k], sweep.params[k]);
    benchmark::DoNotOptimize(box);
    image.Dirty.Reset();
    if (++k == sweep.lines.size()) k = 0;
  }
  if (planned) pixels = static_cast<long>(plans.Bytes());
  st.counters["pings/s"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
  if (planned) st.counters["plan_kB"] = static_cast<double>(pixels) / 1024.0;
  if (planned) st.counters["plans"] = static_cast<double>(plans.Plans());
}
void BM_WedgeSweepDirect(benchmark::State& st) { BM_WedgeSweep(st, false); }
void BM_WedgeSweepPlanned(benchmark::State& st) { BM_WedgeSweep(st, true); }
BENCHMARK(BM_WedgeSweepDirect);
BENCHMARK(BM_WedgeSweepPlanned);

// Playback and drawing of a recorded file, as `q47v render` does, per record.
void RenderRecords(benchmark::State& st, const Survey& survey, int pings) {
  char dir[] = "/tmp/bench_imagingXXXXXX";
  if (!::mkdtemp(dir)) {
    st.SkipWithError("mkdtemp");
    return;
  }
  const std::string path = std::string(dir) + "/sector.47v";
  WriteSample(path, survey, pings);
  long records = 0;
  for (auto _ : st) {
    auto s = std::make_unique<AppState>();
    NullDisplay display;
    s->RunMode = 1;
    s->PlotSpeed = 100;
    if (!OpenPlayback(*s, display, path)) {
      st.SkipWithError("open");
      break;
    }
    Clock clock;
    const PlaybackHooks hooks = LinkPlaybackHooks(clock, [&display](AppState& a) { ProcessPlaybackPing(a, display); });
    for (;;) {
      const PlaybackStepResult r = PlaybackStep(*s, display, hooks);
      if (r.outcome != PlaybackOutcome::kPlayed) break;
      ++records;
    }
    ClosePlayback(*s);
  }
  st.counters["records/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  st.counters["pings/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  std::remove(path.c_str());
  ::rmdir(dir);
}
void BM_RenderRecords(benchmark::State& st) { RenderRecords(st, {0, 9, 2, 180}, 400); }
BENCHMARK(BM_RenderRecords)->Unit(benchmark::kMillisecond);
// The worst case: "Fastest" 8-bit Sector pings at 20 m, played round and round as
// in a long recording (the geometries of the sweep repeat): one record per
// iteration, the per-record cost of rendering a long file.
void BM_RenderFastestSector(benchmark::State& st) {
  char dir[] = "/tmp/bench_imagingXXXXXX";
  if (!::mkdtemp(dir)) {
    st.SkipWithError("mkdtemp");
    return;
  }
  const std::string path = std::string(dir) + "/fastest.47v";
  WriteSample(path, {0, 6, 4, 180}, 600);
  auto s = std::make_unique<AppState>();
  NullDisplay display;
  s->RunMode = 1;
  s->PlotSpeed = 100;
  if (!OpenPlayback(*s, display, path)) {
    st.SkipWithError("open");
    return;
  }
  Clock clock;
  const PlaybackHooks hooks = LinkPlaybackHooks(clock, [&display](AppState& a) { ProcessPlaybackPing(a, display); });
  for (auto _ : st) {
    if (PlaybackStep(*s, display, hooks).outcome != PlaybackOutcome::kPlayed) PlaybackStep(*s, display, hooks);
  }
  ClosePlayback(*s);
  st.counters["pings/s"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
  st.counters["plans"] = static_cast<double>(s->WedgePlanCache.Plans());
  std::remove(path.c_str());
  ::rmdir(dir);
}
BENCHMARK(BM_RenderFastestSector);

// The console report, then each job beside its reference with the ratio of their
// rates (above 1: the job is faster than its reference), the best run of each.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.error_occurred) continue;
      const auto c = r.counters.find("pings/s");
      // The best of the repetitions (--benchmark_repetitions): the machine is shared.
      if (c != r.counters.end()) {
        double& best = rates_[r.run_name.function_name];
        best = std::max(best, c->second.value);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    const char* const pairs[][2] = {
        {"BM_WedgeSweepPlanned", "BM_WedgeSweepDirect"},
        {"BM_WedgeSweepPlanned", "BM_ScatteredStores"},
        {"BM_WedgeSweepDirect", "BM_ScatteredStores"},
        {"BM_ProcessPingFastest", "BM_ScatteredStores"},
        {"BM_RenderFastestSector", "BM_ScatteredStores"},
    };
    std::printf("\n%-26s %-22s %12s %12s %7s\n", "job", "reference", "job/s", "ref/s", "ratio");
    for (const auto& [job, ref] : pairs) {
      const auto j = rates_.find(job), f = rates_.find(ref);
      if (j == rates_.end() || f == rates_.end()) continue;
      std::printf("%-26s %-22s %12.0f %12.0f %7.2f\n", job, ref, j->second, f->second, j->second / f->second);
    }
  }

 private:
  std::map<std::string, double> rates_;
};

// Fixed work for instruction counts (valgrind --tool=callgrind with
// --toggle-collect on these), which unlike times do not depend on the other loads
// of a shared machine: `rounds` passes over the sweep, or as many bare store loops.
__attribute__((noinline)) void CountDirectWedges(PingImage& image, const SweepPings& sweep, int rounds) {
  for (int r = 0; r < rounds; ++r)
    for (size_t k = 0; k < sweep.lines.size(); ++k) DrawWedgeDirect(image, sweep.lines[k], sweep.params[k]);
}
__attribute__((noinline)) void CountPlannedWedges(PingImage& image, const SweepPings& sweep, int rounds,
                                                  WedgePlans& plans) {
  for (int r = 0; r < rounds; ++r)
    for (size_t k = 0; k < sweep.lines.size(); ++k) DrawWedge(image, sweep.lines[k], sweep.params[k], &plans);
}
__attribute__((noinline)) void CountBareStores(std::vector<uint8_t>& image, const std::vector<int>& where, long pings) {
  for (long p = 0; p < pings; ++p)
    for (size_t k = 0; k < where.size(); ++k) image[static_cast<size_t>(where[k])] = static_cast<uint8_t>(p + k);
}

int CountInstructions(int rounds) {
  const SweepPings& sweep = FastestSweep();
  PingImage image;
  WedgePlans plans;
  for (int r = 0; r < 2; ++r)  // every position planned, not counted
    for (size_t k = 0; k < sweep.lines.size(); ++k) DrawWedge(image, sweep.lines[k], sweep.params[k], &plans);
  CountDirectWedges(image, sweep, rounds);
  CountPlannedWedges(image, sweep, rounds, plans);
  std::vector<uint8_t> bare(kImageBytes);
  std::vector<int> where(41 * 499);
  for (size_t k = 0; k < where.size(); ++k) where[k] = static_cast<int>((k * 7919) % kImageBytes);
  CountBareStores(bare, where, static_cast<long>(rounds) * static_cast<long>(sweep.lines.size()));
  std::printf("%d wedges per function (%zu plans); divide each function's count by it\n",
              rounds * static_cast<int>(sweep.lines.size()), plans.Plans());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--count") == 0) return CountInstructions(std::atoi(argv[2]));
  if (argc == 3 && std::strcmp(argv[1], "--write-samples") == 0) {
    const std::string dir = argv[2];
    const bool ok = WriteSample(dir + "/harbour_sector.47V", {0, 7, 2, 120}, 300) &&
                    WriteSample(dir + "/harbour_polar.47V", {1, 7, 3, 360}, 620) &&
                    WriteSample(dir + "/harbour_ss.47V", {2, 7, 2, 0}, 300);
    std::fprintf(stderr, ok ? "samples written to %s\n" : "cannot write samples to %s\n", dir.c_str());
    return ok ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
