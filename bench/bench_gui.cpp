// SPDX-License-Identifier: GPL-3.0-or-later
// The program's display rate: pings per second played from a file and drawn by
// the real main window (offscreen platform) at PlotSpeed 100, and pings per second
// from the simulator over a pty in live mode, every ping drawn into the image.
#include <benchmark/benchmark.h>

#include <QProcess>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

// Qt's X11 interface declares a global typedef "Display" that the core's Display
// class would clash with; it is not used here.
#define Display QtX11DisplayUnused
#include <QApplication>
#undef Display

#include "bridge/core_bridge.h"
#include "files/recorder.h"
#include "window/main_window.h"
#include "dialogs/prompts.h"
#include "bridge/qt_display.h"
#include "app_state.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_gui";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Answers the playback dialog with one file; no boxes.
class OnePrompt : public Prompts {
 public:
  explicit OnePrompt(std::string f) : file_(std::move(f)) {}
  void Warning(const std::string&, const std::string&) override {}
  void Info(const std::string&, const std::string&) override {}
  std::string AskFile(const FileDialogRequest& request) override { return request.save ? "" : std::exchange(file_, ""); }

 private:
  std::string file_;
};

std::filesystem::path WorkDir(const char* name) {
  auto dir = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  return dir;
}

// `count` sweeping "G" pings of 513 bytes (640-byte records).
void MakeSonarFile(const std::string& path, int count) {
  AppState s;
  FileDisplay quiet;
  StartRecording(s, quiet, path);
  std::vector<uint8_t> r(513, 0);
  for (int i = 0; i < count; ++i) {
    const int pos = 300 + (i * 3) % 600;
    r[0] = 'I'; r[1] = 'G'; r[2] = 'X'; r[3] = 0x10;
    r[5] = static_cast<uint8_t>(pos & 0x7F);
    r[6] = static_cast<uint8_t>((pos >> 7) & 0x3F);
    r[7] = 50;
    r[10] = 500 & 0x7F;
    r[11] = (500 >> 7) & 0x7F;
    for (int k = 12; k < 512; ++k) r[static_cast<size_t>(k)] = static_cast<uint8_t>((k * 7 + i * 13) % 100);
    r[512] = 0xFC;
    RecordedPing ping;
    ping.reply = r;
    ping.type_code = 3;
    ping.time = LocalTime{2026, 12, 8, 1, 2, i % 60, 0};
    WriteSonarRecord(s, quiet, ping);
  }
  StopRecording(s, quiet);
}

void BM_FilePlaybackDisplayed(benchmark::State& st) {
  App();
  WorkDir("q47v-bench-gui-file");
  constexpr int kRecords = 4000;
  MakeSonarFile("bench.47v", kRecords);
  std::ofstream("WINQ47V.INI") << "[Settings]\nRunMode=1\nPlotSpeed=100\nGridMode=1\n";
  AppState state;
  Clock clock;
  QtDisplay display;
  CoreBridge core(state, display, clock);
  MainWindow window(state, core, std::make_unique<OnePrompt>("bench.47v"));
  display.SetWindow(&window);
  window.show();
  window.Start();
  const int64_t length = int64_t{kRecords} * 640;
  int64_t records = 0;
  int paints_before = window.PaintCount();
  for (auto _ : st) {
    const int64_t before = state.PlayedBytes;
    QCoreApplication::processEvents();
    int64_t delta = state.PlayedBytes - before;
    if (delta < 0) delta += length;  // the file wrapped to its start
    records += delta / 640;
  }
  st.SetItemsProcessed(records);
  st.counters["pings_per_s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  st.counters["paints"] = window.PaintCount() - paints_before;
  window.SetQuietClose(true);
  window.close();
}
BENCHMARK(BM_FilePlaybackDisplayed)->UseRealTime()->MinTime(3.0);

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Live: the simulator on a pty, the comm thread sending and drawing each ping.
void BM_LivePingsDisplayed(benchmark::State& st, bool fast) {
  App();
  WorkDir(fast ? "q47v-bench-gui-live-fast" : "q47v-bench-gui-live");
  // Shortest link timing the settings allow.
  std::ofstream("WINQ47V.INI") << "[Settings]\nRunMode=0\nGridMode=1\nRange=5\nSpeed=4\nTxDelay=0\nSwitchDelay=0\n";
  QProcess sim;
  QStringList args{"--ini", "WINQ47V.INI", "--quiet", "--no-gps"};
  if (fast) args << "--fast";
  sim.start(Q47V_BINARY_DIR "/src/sim/q47v-sim", args);
  sim.waitForStarted();
  for (int i = 0; i < 200 && ReadText("WINQ47V.INI").find("COM1=") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  AppState state;
  Clock clock;
  QtDisplay display;
  CoreBridge core(state, display, clock);
  MainWindow window(state, core, std::make_unique<OnePrompt>(""));
  display.SetWindow(&window);
  window.show();
  window.Start();
  const long start_pings = state.PingsProcessed;
  for (auto _ : st) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const long pings = state.PingsProcessed - start_pings;
  st.counters["pings_per_s"] = benchmark::Counter(static_cast<double>(pings), benchmark::Counter::kIsRate);
  st.counters["pings"] = static_cast<double>(pings);
  window.SetQuietClose(true);
  window.close();
  sim.terminate();
  sim.waitForFinished(5000);
}
BENCHMARK_CAPTURE(BM_LivePingsDisplayed, fast, true)->UseRealTime()->Iterations(600);
BENCHMARK_CAPTURE(BM_LivePingsDisplayed, real_pace, false)->UseRealTime()->Iterations(600);

}  // namespace

BENCHMARK_MAIN();
