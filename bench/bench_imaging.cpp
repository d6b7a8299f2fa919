// SPDX-License-Identifier: GPL-3.0-or-later
// Imaging speed: ProcessPing of one 8-bit Sector ping at "Fastest" (41 sub-rays x
// 499 samples) and "Fast", beside a bare loop making the same number of scattered
// byte stores into a 596 x 506 buffer (the bound the wedge drawer is held to), and
// playback-and-render throughput in records per second.
//
// `bench_imaging --write-samples DIR` instead writes two .47V files recorded from
// the simulator's harbour scene (a Sector sweep, a Polar turn and a port side-scan)
// for rendering.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
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

// Asks the simulated head for one ping with the current settings; the reply is
// decoded into s.Ping. Returns the reply bytes.
std::vector<uint8_t> SimulatedPing(AppState& s, q47vsim::SonarHead& head, const Clock& clock) {
  BuildNormalCommand(s);
  SetExpectedSonarReply(s);
  const auto frame = CommandFrame(s);
  q47vsim::Command cmd;
  if (!q47vsim::ParseCommand(frame, cmd)) return {};
  std::vector<uint8_t> reply = head.Handle(cmd).reply;
  if (reply.empty()) return reply;
  ProcessReplyBytes(s, reply, CurrentExpectation(s), clock);
  return reply;
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
    RecordedPing rp;
    rp.reply = reply;
    rp.type_code = s->RecordTypeCode.load();
    rp.time = t;
    rp.step_direction = s->Ping.StepDirection != 0;
    SonarRecordFields f = RecordFieldsFor(*s, rp, previous);
    std::vector<uint8_t> rec(f.record_size);
    if (!EncodeSonarRecord(f, reply, rec)) break;
    std::string error;
    if (!AppendRecord(fd, rec, length, error)) break;
    length += f.record_size;
    previous = f.record_size;
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

// Playback and drawing of a recorded file, as `q47v render` does, per record.
void BM_RenderRecords(benchmark::State& st) {
  char dir[] = "/tmp/bench_imagingXXXXXX";
  if (!::mkdtemp(dir)) {
    st.SkipWithError("mkdtemp");
    return;
  }
  const std::string path = std::string(dir) + "/sector.47v";
  WriteSample(path, {0, 9, 2, 180}, 400);
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
  std::remove(path.c_str());
  ::rmdir(dir);
}
BENCHMARK(BM_RenderRecords)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-samples") == 0) {
    const std::string dir = argv[2];
    const bool ok = WriteSample(dir + "/harbour_sector.47V", {0, 7, 2, 120}, 300) &&
                    WriteSample(dir + "/harbour_polar.47V", {1, 7, 3, 360}, 620) &&
                    WriteSample(dir + "/harbour_ss.47V", {2, 7, 2, 0}, 300);
    std::fprintf(stderr, ok ? "samples written to %s\n" : "cannot write samples to %s\n", dir.c_str());
    return ok ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
