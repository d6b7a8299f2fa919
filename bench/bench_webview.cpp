// SPDX-License-Identifier: GPL-3.0-or-later
// The live view's cost to the sonar: the link's ping rate against q47v-sim at a real
// head's pace, with the live view off, on without viewers, and with 20 viewers over
// the loopback (CivetWeb's own WebSocket client), one of them stalled (it upgrades
// and then never reads). Reported per run: pings per second, the picture and
// readout messages each reading viewer received per second (the slowest of them),
// the stalled viewer's skips to a whole picture, the most any viewer's queue held,
// and the growth of the process's resident memory. One viewer of "Fastest" 20 m
// Sector pings gives the bytes per second a viewer costs at a real head's pace.
//
// Beside it, the picture messages of the same kind of pings drawn one by one: the
// bytes per ping of the changed bounding box (what the live view sent before) and
// of the change against what the viewer holds (what it sends now), with their
// ratio and both at the pace the live job measured.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <civetweb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "display.h"
#include "link/comm_thread.h"
#include "link/live_ping_sink.h"
#include "app_state.h"
#include "clock.h"
#include "imaging/ping_pipeline.h"
#include "link/command_packet.h"
#include "link/reply_decoder.h"
#include "scene.h"
#include "sim_protocol.h"
#include "simulator.h"
#include "simulated_pings.h"
#include "sonar_head.h"
#include "webview/live_view_protocol.h"
#include "webview/live_view_server.h"

namespace {

using Steady = std::chrono::steady_clock;

long ResidentKb() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  long kb = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) break;
  std::fclose(f);
  return kb;
}

struct BenchViewer {
  std::atomic<long> messages{0};
  std::atomic<long long> bytes{0};
  std::atomic<bool> closed{false};
  mg_connection* conn = nullptr;
};

int ViewerData(mg_connection*, int bits, char*, size_t len, void* user) {
  auto* v = static_cast<BenchViewer*>(user);
  const int op = bits & 0x0f;
  if (op == MG_WEBSOCKET_OPCODE_TEXT || op == MG_WEBSOCKET_OPCODE_BINARY) {
    v->messages.fetch_add(1);
    v->bytes.fetch_add(static_cast<long long>(len));
  }
  return 1;
}
void ViewerClose(const mg_connection*, void* user) { static_cast<BenchViewer*>(user)->closed = true; }

// A viewer that upgrades and then never reads; its receive buffer is small.
int StalledViewer(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int small = 4096;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  const char req[] =
      "GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
  if (::send(fd, req, sizeof req - 1, MSG_NOSIGNAL) < 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Arg 0: -1 live view off, else the number of viewers; Arg 1: 1 when one of them
// is stalled.
void BM_LiveViewPingRate(benchmark::State& st) {
  const int viewers = static_cast<int>(st.range(0));
  const bool stall = st.range(1) != 0;
  const int range_index = st.range(2) ? static_cast<int>(st.range(2)) : 4;
  q47vsim::SimConfig cfg;
  cfg.gps = false;
  cfg.azimuth_drive = false;
  cfg.orientation = false;
  q47vsim::Simulator sim(cfg);
  std::string error;
  if (!sim.Start(&error)) {
    st.SkipWithError(error.c_str());
    return;
  }
  auto state = std::make_unique<AppState>();
  state->RunMode = 0;
  state->EnableOrientationModule = 0;
  state->GridMode = 0;
  state->Range = range_index;
  state->Speed = 4;
  NullDisplay display;
  LivePingSink sink(display);
  Clock clock;
  if (!OpenHeadPort(*state, sim.HeadPath()) || !StartLink(*state, display, sink, clock)) {
    st.SkipWithError("cannot start the link");
    return;
  }
  webview::LiveViewServer server(*state, clock);
  std::vector<std::unique_ptr<BenchViewer>> clients;
  int stalledFd = -1;
  if (viewers >= 0) {
    webview::ServerOptions o;
    o.port = 0;
    if (!server.Start(o, &error)) {
      st.SkipWithError(error.c_str());
      StopLink(*state);
      return;
    }
    const int reading = stall ? viewers - 1 : viewers;
    for (int i = 0; i < reading; ++i) {
      auto v = std::make_unique<BenchViewer>();
      char err[256] = {};
      v->conn = mg_connect_websocket_client("127.0.0.1", server.Port(), 0, err, sizeof err, "/stream", nullptr,
                                            ViewerData, ViewerClose, v.get());
      if (!v->conn) {
        st.SkipWithError(err);
        break;
      }
      clients.push_back(std::move(v));
    }
    if (stall) stalledFd = StalledViewer(server.Port());
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));  // every viewer has its first picture
  const long kb0 = ResidentKb();
  const long pings0 = state->PingsProcessed.load();
  std::vector<long> msgs0;
  for (auto& v : clients) msgs0.push_back(v->messages.load());
  double seconds = 0;
  for (auto _ : st) {
    const auto t0 = Steady::now();
    std::this_thread::sleep_for(std::chrono::seconds(8));
    seconds = std::chrono::duration<double>(Steady::now() - t0).count();
  }
  const long pings = state->PingsProcessed.load() - pings0;
  long slowest = clients.empty() ? 0 : (1L << 40);
  long closed = 0;
  for (size_t i = 0; i < clients.size(); ++i) {
    slowest = std::min(slowest, clients[i]->messages.load() - msgs0[i]);
    closed += clients[i]->closed.load();
  }
  const webview::ServerStats s = server.Stats();
  st.counters["pings_per_s"] = pings / seconds;
  st.counters["viewers"] = server.Viewers();
  st.counters["slowest_viewer_msgs_per_s"] = slowest / seconds;
  st.counters["viewers_closed"] = static_cast<double>(closed);
  st.counters["stalled_skips"] = static_cast<double>(s.skips);
  st.counters["max_queue_kB"] = static_cast<double>(s.maxQueuedBytes) / 1024.0;
  st.counters["sent_MB_per_s"] = static_cast<double>(s.bytesSent) / 1e6 / seconds;
  long long most = 0;
  for (auto& v : clients) most = std::max(most, v->bytes.load());
  if (!clients.empty()) st.counters["viewer_kB_per_s"] = static_cast<double>(most) / 1e3 / seconds;
  st.counters["rss_growth_kB"] = static_cast<double>(ResidentKb() - kb0);
  for (auto& v : clients) mg_close_connection(v->conn);
  if (stalledFd >= 0) ::close(stalledFd);
  server.Stop();
  StopLink(*state);
  sim.Stop();
}
BENCHMARK(BM_LiveViewPingRate)
    ->Args({-1, 0, 0})
    ->Args({0, 0, 0})
    ->Args({20, 0, 0})
    ->Args({20, 1, 0})
    ->Args({1, 0, 6})  // one viewer, "Fastest" Sector at 20 m
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// Picture bytes per ping: "Fastest" 8-bit Sector pings at 20 m drawn by ProcessPing,
// each ping's changes encoded as the bounding box and as the change.
void BM_PictureBytesPerPing(benchmark::State& st) {
  auto s = std::make_unique<AppState>();
  SetFastestSectorAt20m(*s);
  s->PixelZoom = 0;
  const auto scene = q47vsim::MakeScene("harbour");
  q47vsim::SonarHead head(0x10, *scene, 47);
  Clock clock;
  NullDisplay display;
  ClearImage(*s, display);
  std::vector<uint8_t> before(kImageBytes), after(kImageBytes);
  s->Image.CopyOut(before);
  s->Image.TakeViewDirty();
  double box_bytes = 0, change_bytes = 0;
  long pings = 0;
  for (auto _ : st) {
    BuildNormalCommand(*s);
    SetExpectedSonarReply(*s);
    q47vsim::Command cmd;
    if (!q47vsim::ParseCommand(CommandFrame(*s), cmd)) continue;
    std::vector<uint8_t> reply = head.Handle(cmd).reply;
    if (reply.empty() || !ProcessReplyBytes(*s, reply, CurrentExpectation(*s), clock).Accepted) continue;
    PingInput in;
    in.Valid = true;
    in.Kind = 'G';
    ProcessPing(*s, display, in);
    const DirtyRect area = s->Image.TakeViewDirty();
    s->Image.CopyOut(after);
    if (pings >= 150) {  // after the first sweep has covered the sector
      box_bytes += static_cast<double>(webview::EncodePicture(after.data(), area, 1, false).size());
      change_bytes += static_cast<double>(webview::EncodePictureChange(before.data(), after.data(), area, 1).size());
    }
    before.swap(after);
    ++pings;
  }
  const double counted = static_cast<double>(std::max<long>(pings - 150, 1));
  st.counters["box_B_per_ping"] = box_bytes / counted;
  st.counters["change_B_per_ping"] = change_bytes / counted;
}
BENCHMARK(BM_PictureBytesPerPing)->Iterations(900)->Unit(benchmark::kMillisecond);

// The console report, then the browser view's bytes per viewer at the pace of the
// one-viewer live job, before (bounding box) and now (change), with the ratio.
class BytesReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      for (const auto& [name, c] : r.counters) values_[r.benchmark_name() + " " + name] = c.value;
    ConsoleReporter::ReportRuns(runs);
  }
  void Print() const {
    const auto get = [this](const std::string& k) {
      const auto it = values_.find(k);
      return it == values_.end() ? 0.0 : it->second;
    };
    const double box = get("BM_PictureBytesPerPing/iterations:900 box_B_per_ping");
    const double change = get("BM_PictureBytesPerPing/iterations:900 change_B_per_ping");
    const std::string live = "BM_LiveViewPingRate/1/0/6/iterations:1/real_time";
    const double pace = get(live + " pings_per_s"), viewer = get(live + " viewer_kB_per_s");
    if (box <= 0 || change <= 0) return;
    std::printf("\npicture bytes per ping: bounding box %.0f, change %.0f, ratio %.1f\n", box, change, box / change);
    if (pace > 0)
      std::printf("per viewer at the live pace of %.1f pings/s: bounding box %.1f kB/s, change %.1f kB/s "
                  "(measured on the live view: %.1f kB/s with readouts)\n",
                  pace, box * pace / 1e3, change * pace / 1e3, viewer);
  }

 private:
  std::map<std::string, double> values_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  BytesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.Print();
  benchmark::Shutdown();
  return 0;
}
