// SPDX-License-Identifier: GPL-3.0-or-later
// The live view's cost to the sonar: the link's ping rate against q47v-sim at a real
// head's pace, with the live view off, on without viewers, and with 20 viewers over
// the loopback (CivetWeb's own WebSocket client), one of them stalled (it upgrades
// and then never reads). Reported per run: pings per second, the picture and
// readout messages each reading viewer received per second (the slowest of them),
// the stalled viewer's skips to a whole picture, the most any viewer's queue held,
// and the growth of the process's resident memory.
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
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "display.h"
#include "link/comm_thread.h"
#include "link/live_ping_sink.h"
#include "app_state.h"
#include "simulator.h"
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
  state->Range = 4;
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
  st.counters["rss_growth_kB"] = static_cast<double>(ResidentKb() - kb0);
  for (auto& v : clients) mg_close_connection(v->conn);
  if (stalledFd >= 0) ::close(stalledFd);
  server.Stop();
  StopLink(*state);
  sim.Stop();
}
BENCHMARK(BM_LiveViewPingRate)
    ->Args({-1, 0})
    ->Args({0, 0})
    ->Args({20, 0})
    ->Args({20, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
