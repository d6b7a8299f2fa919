// SPDX-License-Identifier: GPL-3.0-or-later
// Making videos of a simulated harbour recording (62 s, 620 Polar pings): how many
// times faster than real time the recording is played, drawn and encoded, as
// "x_real_time" (seconds of recording per second of wall-clock time).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app_state.h"
#include "video_export.h"

namespace {

const std::string& TempDir() {
  static const std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "q47v-bench-video-XXXXXX").string();
    const char* made = ::mkdtemp(pattern.data());
    std::atexit([] { std::filesystem::remove_all(TempDir()); });
    return std::string(made ? made : ".");
  }();
  return dir;
}

void MakeVideo(benchmark::State& st, const char* out_name, bool lossless) {
  q47v::video::VideoRequest req;
  req.input = std::string(Q47V_SOURCE_DIR) + "/tests/data/imaging/harbour_polar.47V";
  req.output = TempDir() + "/" + out_name;
  req.lossless = lossless;
  double recording = 0, wall = 0;
  for (auto _ : st) {
    auto state = std::make_unique<AppState>();
    const q47v::video::VideoOutcome out = q47v::video::MakeVideo(*state, req, nullptr);
    if (out.status != 0) {
      st.SkipWithError(out.error.c_str());
      return;
    }
    recording += out.recording_seconds;
    wall += out.wall_seconds;
  }
  st.counters["x_real_time"] = wall > 0 ? recording / wall : 0;
}

void BM_VideoH264Mp4(benchmark::State& st) { MakeVideo(st, "harbour.mp4", false); }
void BM_VideoLosslessMkv(benchmark::State& st) { MakeVideo(st, "harbour.mkv", true); }
void BM_VideoVp9Webm(benchmark::State& st) { MakeVideo(st, "harbour.webm", false); }

BENCHMARK(BM_VideoH264Mp4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_VideoLosslessMkv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_VideoVp9Webm)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
