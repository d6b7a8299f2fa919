// SPDX-License-Identifier: GPL-3.0-or-later
#include "webview/live_view_server.h"

#include <civetweb.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "app_state.h"
#include "webview/live_view_page.h"
#include "webview/live_view_protocol.h"
#include "webview/live_view_readouts.h"
#include "webview/live_view_settings.h"

namespace webview {

namespace {

constexpr const char* kStreamPath = "/stream";
// Viewers send nothing but control frames; anything larger than this is hostile.
constexpr std::size_t kLargestViewerMessage = 4096;
// Connections that may wait for their request at once besides the viewers.
constexpr int kIdleConnectionRoom = 200;

struct Message {
  std::string data;
  int opcode = MG_WEBSOCKET_OPCODE_BINARY;
};
using MessagePtr = std::shared_ptr<const Message>;

MessagePtr MakeMessage(std::string data, int opcode) {
  auto m = std::make_shared<Message>();
  m->data = std::move(data);
  m->opcode = opcode;
  return m;
}

std::string NewToken() {
  unsigned char bytes[16] = {};
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got < sizeof bytes) {
    // getrandom cannot fail on a running Linux system; fall back to the
    // random device all the same rather than hand out a predictable token.
    std::FILE* f = std::fopen("/dev/urandom", "rb");
    if (f) {
      got = std::fread(bytes, 1, sizeof bytes, f);
      std::fclose(f);
    }
  }
  static const char kHex[] = "0123456789abcdef";
  std::string t;
  for (unsigned char b : bytes) {
    t.push_back(kHex[b >> 4]);
    t.push_back(kHex[b & 15]);
  }
  return t;
}

bool SameText(const std::string& a, const std::string& b) {
  // Constant time in the content, so the token cannot be found a byte at a time.
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  const std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
    const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
    diff |= static_cast<unsigned char>(x ^ y);
  }
  return diff == 0;
}

}  // namespace

bool IsLoopbackAddress(const std::string& address) {
  if (address == "localhost" || address == "::1" || address == "[::1]") return true;
  unsigned a = 0, b = 0, c = 0, d = 0;
  char tail = 0;
  return std::sscanf(address.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) == 4 && a == 127 && b < 256 &&
         c < 256 && d < 256;
}

struct Viewer {
  mg_connection* conn = nullptr;
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<MessagePtr> queue;   // under mutex
  std::size_t queuedBytes = 0;    // under mutex
  bool needsWhole = true;         // under mutex: send palette, whole picture, readouts next
  bool closing = false;           // under mutex
  bool failed = false;            // under mutex: a write failed; the connection is going
  std::thread sender;
};

struct LiveViewServer::Impl {
  Impl(AppState& s, const Clock& c) : state(s), clock(c) {}

  AppState& state;
  const Clock& clock;
  ServerOptions options;
  mg_context* ctx = nullptr;
  int port = 0;
  std::string token;
  bool tokenRequired = false;
  std::string urlHost;
  std::atomic<bool> starting{false};
  std::string startError;  // the library's complaint while starting (under `starting`)

  // Viewers.
  mutable std::mutex viewersMutex;
  std::vector<std::shared_ptr<Viewer>> viewers;  // under viewersMutex
  std::atomic<int> viewerCount{0};

  // Publishing thread.
  std::thread publisher;
  std::mutex publishMutex;
  std::condition_variable publishWake;
  std::condition_variable flushDone;
  bool stopping = false;           // under publishMutex
  bool joinPending = false;        // under publishMutex
  uint64_t flushRequests = 0;      // under publishMutex
  uint64_t flushesDone = 0;        // under publishMutex
  uint32_t lastFlushSequence = 0;  // under publishMutex

  // Publishing thread only.
  std::vector<uint8_t> shadow = std::vector<uint8_t>(kImageBytes, 0);  // the picture as published
  std::vector<uint8_t> incoming = std::vector<uint8_t>(kImageBytes, 0);  // the changed rows, newly copied
  uint32_t sequence = 0;
  std::string lastPalette;
  Readouts lastReadouts;
  bool haveReadouts = false;

  // Counters.
  std::atomic<long> joined{0}, left{0}, refused{0}, oversized{0}, ticks{0}, pictures{0}, wholes{0}, skips{0};
  std::atomic<long long> bytesSent{0};
  std::atomic<std::size_t> maxQueued{0};

  // --- Requests ---------------------------------------------------------------
  bool Authorised(const mg_request_info* ri) const {
    if (!tokenRequired) return true;
    if (!ri->query_string) return false;
    char given[80] = {};
    const int n = mg_get_var(ri->query_string, std::strlen(ri->query_string), "token", given, sizeof given);
    return n > 0 && SameText(given, token);
  }

  // A page elsewhere may not open the stream of a viewer's browser (the Origin of a
  // browser's request names the page that asks).
  static bool SameOrigin(const mg_connection* conn) {
    const char* origin = mg_get_header(conn, "Origin");
    if (!origin) return true;  // not a browser, or a browser on our own page without CORS
    const char* host = mg_get_header(conn, "Host");
    if (!host) return false;
    std::string o = origin;
    for (const char* scheme : {"http://", "https://"})
      if (o.rfind(scheme, 0) == 0) {
        o.erase(0, std::strlen(scheme));
        break;
      }
    return o == host;
  }

  static void SendBody(mg_connection* conn, const char* type, const char* body, std::size_t size, bool head) {
    mg_printf(conn,
              "HTTP/1.1 200 OK\r\n"
              "Content-Type: %s\r\n"
              "Content-Length: %zu\r\n"
              "Cache-Control: no-store\r\n"
              "X-Content-Type-Options: nosniff\r\n"
              "X-Frame-Options: DENY\r\n"
              "Referrer-Policy: no-referrer\r\n"
              "Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self' 'unsafe-inline'; "
              "connect-src 'self'; img-src 'self' data:\r\n"
              "Connection: close\r\n\r\n",
              type, size);
    if (!head) mg_write(conn, body, size);
  }

  int HandleHttp(mg_connection* conn) {
    const mg_request_info* ri = mg_get_request_info(conn);
    const std::string method = ri->request_method ? ri->request_method : "";
    const bool head = method == "HEAD";
    if (method != "GET" && !head) {
      mg_send_http_error(conn, 405, "Only GET and HEAD are served here.\n");
      return 405;
    }
    if (!Authorised(ri)) {
      refused.fetch_add(1);
      mg_send_http_error(conn, 403, "This live view needs the full address with its token.\n");
      return 403;
    }
    const std::string path = ri->local_uri ? ri->local_uri : "";
    if (path == "/" || path == "/index.html") {
      // The script is fetched with the same token as the page.
      std::string page = kLivePage;
      if (tokenRequired) {
        const std::string src = "src=\"live.js\"";
        const auto at = page.find(src);
        if (at != std::string::npos) page.replace(at, src.size(), "src=\"live.js?token=" + token + "\"");
      }
      SendBody(conn, "text/html; charset=utf-8", page.data(), page.size(), head);
      return 200;
    }
    if (path == "/live.js") {
      SendBody(conn, "text/javascript; charset=utf-8", kLiveScript, std::strlen(kLiveScript), head);
      return 200;
    }
    mg_send_http_error(conn, 404, "Not found.\n");
    return 404;
  }

  // --- Viewers ----------------------------------------------------------------
  int WebSocketConnect(const mg_connection* conn) {
    const mg_request_info* ri = mg_get_request_info(conn);
    if (!Authorised(ri) || !SameOrigin(conn) || viewerCount.load() >= options.maxViewers) {
      refused.fetch_add(1);
      return 1;  // refused: the library answers without upgrading
    }
    return 0;
  }

  void WebSocketReady(mg_connection* conn) {
    auto v = std::make_shared<Viewer>();
    v->conn = conn;
    {
      std::lock_guard lock(viewersMutex);
      viewers.push_back(v);
      viewerCount = static_cast<int>(viewers.size());
    }
    mg_set_user_connection_data(conn, v.get());
    joined.fetch_add(1);
    v->sender = std::thread([this, v] { SendLoop(*v); });
    {
      std::lock_guard lock(publishMutex);
      joinPending = true;
    }
    publishWake.notify_all();
  }

  int WebSocketData(mg_connection* conn, int bits, char* data, std::size_t size) {
    const int opcode = bits & 0x0f;
    if (opcode == MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE) return 0;
    if (opcode == MG_WEBSOCKET_OPCODE_PING) {
      if (size <= 125) mg_websocket_write(conn, MG_WEBSOCKET_OPCODE_PONG, data, size);
      return 1;
    }
    if (opcode == MG_WEBSOCKET_OPCODE_PONG) return 1;
    // Viewers only watch. A short message is ignored; a long one is not from our
    // page, and the connection is closed.
    if (size > kLargestViewerMessage) {
      oversized.fetch_add(1);
      return 0;
    }
    return 1;
  }

  void WebSocketClose(const mg_connection* conn) {
    auto* raw = static_cast<Viewer*>(mg_get_user_connection_data(conn));
    if (!raw) return;
    std::shared_ptr<Viewer> v;
    {
      std::lock_guard lock(viewersMutex);
      auto it = std::find_if(viewers.begin(), viewers.end(), [&](const auto& p) { return p.get() == raw; });
      if (it == viewers.end()) return;
      v = *it;
      viewers.erase(it);
      viewerCount = static_cast<int>(viewers.size());
    }
    {
      std::lock_guard lock(v->mutex);
      v->closing = true;
      v->queue.clear();
      v->queuedBytes = 0;
    }
    v->wake.notify_all();
    // The connection is freed when this returns: the sender must be done with it.
    if (v->sender.joinable()) v->sender.join();
    left.fetch_add(1);
  }

  void SendLoop(Viewer& v) {
    for (;;) {
      MessagePtr m;
      {
        std::unique_lock lock(v.mutex);
        v.wake.wait(lock, [&] { return v.closing || !v.queue.empty(); });
        if (v.closing) return;
        m = std::move(v.queue.front());
        v.queue.pop_front();
        v.queuedBytes -= m->data.size();
      }
      const int n = mg_websocket_write(v.conn, m->opcode, m->data.data(), m->data.size());
      if (n <= 0) {
        // The peer is gone or stopped reading past the write time-out; the
        // library's reader notices and closes the connection.
        std::lock_guard lock(v.mutex);
        v.failed = true;
        v.queue.clear();
        v.queuedBytes = 0;
        return;
      }
      bytesSent.fetch_add(n);
    }
  }

  // Hands one publication to a viewer. A viewer that needs the whole picture
  // (just joined, or fell behind) gets `whole` instead of the changes.
  void Deliver(Viewer& v, const std::vector<MessagePtr>& changes, const std::vector<MessagePtr>& whole,
               bool wholeReady) {
    {
      std::lock_guard lock(v.mutex);
      if (v.closing || v.failed) return;
      const bool sendWhole = v.needsWhole;
      if (sendWhole && !wholeReady) return;  // caller builds it and comes back
      const auto& list = sendWhole ? whole : changes;
      if (list.empty()) return;
      std::size_t bytes = 0;
      for (const auto& m : list) bytes += m->data.size();
      if (!v.queue.empty() && (v.queuedBytes + bytes > options.viewerQueueBytes ||
                               v.queue.size() + list.size() > options.viewerQueueMessages)) {
        // Behind: what is queued is out of date anyway. Drop it and send the whole
        // picture at the next publication.
        v.queue.clear();
        v.queuedBytes = 0;
        v.needsWhole = true;
        skips.fetch_add(1);
        return;
      }
      for (const auto& m : list) v.queue.push_back(m);
      v.queuedBytes += bytes;
      v.needsWhole = false;
      std::size_t seen = maxQueued.load();
      while (v.queuedBytes > seen && !maxQueued.compare_exchange_weak(seen, v.queuedBytes)) {
      }
    }
    v.wake.notify_one();
  }

  // --- Publishing -------------------------------------------------------------
  void TakeWholePicture() {
    PingImage& image = state.Image;
    std::lock_guard lock(image.Lock());
    image.Dirty.TakeView();
    std::memcpy(shadow.data(), image.Pixels(), kImageBytes);
  }

  uint32_t Publish(bool forceReadouts) {
    ++sequence;
    ticks.fetch_add(1);
    // 1. What changed in the picture: copied out under the image lock, encoded
    //    after it is released.
    DirtyRect area;
    {
      PingImage& image = state.Image;
      std::lock_guard lock(image.Lock());
      area = image.Dirty.TakeView();
      if (!area.Empty()) {
        area.MinX = std::max(0, area.MinX);
        area.MinY = std::max(0, area.MinY);
        area.MaxX = std::min(kImageWidth - 1, area.MaxX);
        area.MaxY = std::min(kImageHeight - 1, area.MaxY);
        const int w = area.MaxX - area.MinX + 1;
        for (int y = area.MinY; y <= area.MaxY; ++y) {
          const std::size_t at = static_cast<std::size_t>(y) * kImageWidth + static_cast<std::size_t>(area.MinX);
          std::memcpy(incoming.data() + at, image.Pixels() + at, static_cast<std::size_t>(w));
        }
      }
    }
    // Every viewer that follows the changes holds `shadow`: what it is sent is the
    // change from there, pixel by pixel, and the shadow then takes the new pixels.
    std::string change;
    const auto adopt = [&] {
      if (area.Empty()) return;
      const int w = area.MaxX - area.MinX + 1;
      for (int y = area.MinY; y <= area.MaxY; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * kImageWidth + static_cast<std::size_t>(area.MinX);
        std::memcpy(shadow.data() + at, incoming.data() + at, static_cast<std::size_t>(w));
      }
    };
    std::vector<std::shared_ptr<Viewer>> targets;
    {
      std::lock_guard lock(viewersMutex);
      targets = viewers;
    }
    // 2. Colours and readouts, sent when they change.
    std::string palette = EncodePalette(state.Palette());
    const bool paletteChanged = palette != lastPalette;
    if (paletteChanged) lastPalette = palette;
    const Readouts readouts = ReadReadouts(state, clock);
    const bool readoutsChanged = !haveReadouts || !(readouts == lastReadouts);
    lastReadouts = readouts;
    haveReadouts = true;
    if (targets.empty()) {
      adopt();
      return sequence;
    }
    if (!area.Empty()) change = EncodePictureChange(shadow.data(), incoming.data(), area, sequence);
    adopt();

    std::vector<MessagePtr> changes;
    const MessagePtr paletteMsg = MakeMessage(palette, MG_WEBSOCKET_OPCODE_BINARY);
    const MessagePtr readoutsMsg = MakeMessage(ReadoutsJson(readouts, sequence), MG_WEBSOCKET_OPCODE_TEXT);
    if (paletteChanged) changes.push_back(paletteMsg);
    if (!change.empty()) {
      changes.push_back(MakeMessage(std::move(change), MG_WEBSOCKET_OPCODE_BINARY));
      pictures.fetch_add(1);
    }
    if (readoutsChanged || forceReadouts) changes.push_back(readoutsMsg);

    std::vector<MessagePtr> whole;
    std::vector<Viewer*> waiting;
    for (const auto& v : targets) {
      bool needs = false;
      {
        std::lock_guard lock(v->mutex);
        needs = v->needsWhole && !v->closing && !v->failed;
      }
      if (needs)
        waiting.push_back(v.get());
      else
        Deliver(*v, changes, whole, false);
    }
    if (!waiting.empty()) {
      whole.push_back(paletteMsg);
      whole.push_back(MakeMessage(EncodePicture(shadow.data(), DirtyRect::Whole(), sequence, true),
                                  MG_WEBSOCKET_OPCODE_BINARY));
      whole.push_back(readoutsMsg);
      wholes.fetch_add(1);
      for (Viewer* v : waiting) Deliver(*v, changes, whole, true);
    }
    return sequence;
  }

  void PublishLoop() {
    std::unique_lock lock(publishMutex);
    while (!stopping) {
      publishWake.wait_for(lock, options.interval,
                           [&] { return stopping || joinPending || flushRequests > flushesDone; });
      if (stopping) break;
      const uint64_t requested = flushRequests;
      const bool force = requested > flushesDone;
      joinPending = false;
      lock.unlock();
      const uint32_t s = Publish(force);
      lock.lock();
      if (force) {
        flushesDone = requested;
        lastFlushSequence = s;
        flushDone.notify_all();
      }
    }
    flushDone.notify_all();
  }
};

namespace {

int HttpHandler(mg_connection* conn, void* cb) { return static_cast<LiveViewServer::Impl*>(cb)->HandleHttp(conn); }
int WsConnect(const mg_connection* conn, void* cb) {
  return static_cast<LiveViewServer::Impl*>(cb)->WebSocketConnect(conn);
}
void WsReady(mg_connection* conn, void* cb) { static_cast<LiveViewServer::Impl*>(cb)->WebSocketReady(conn); }
int WsData(mg_connection* conn, int bits, char* data, size_t size, void* cb) {
  return static_cast<LiveViewServer::Impl*>(cb)->WebSocketData(conn, bits, data, size);
}
void WsClose(const mg_connection* conn, void* cb) { static_cast<LiveViewServer::Impl*>(cb)->WebSocketClose(conn); }

int LogMessage(const mg_connection* conn, const char* message) {
  // The library's own complaints (bad requests, time-outs) are the viewers'
  // business; only what happens while starting is kept, as the reason it failed.
  auto* impl = static_cast<LiveViewServer::Impl*>(mg_get_user_data(mg_get_context(conn)));
  if (impl && impl->starting.load() && message) impl->startError = message;
  return 1;
}

}  // namespace

LiveViewServer::LiveViewServer(AppState& state, const Clock& clock) : impl_(std::make_unique<Impl>(state, clock)) {}

LiveViewServer::~LiveViewServer() { Stop(); }

bool LiveViewServer::Start(const ServerOptions& options, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (Running()) return fail("the live view is already running");
  Impl& d = *impl_;
  if (options.port < 0 || options.port > 65535) return fail("the port must lie in 0..65535");
  if (options.address.empty() || options.address.find_first_of(" ,\t") != std::string::npos)
    return fail("the address is not valid");
  // The library reads what it does not know loosely (999.1.1.1 as 231.1.1.1):
  // only an address taken exactly is listened on.
  if (std::string why; !ValidListenAddress(options.address, &why)) return fail(why);
  if (options.maxViewers < 1 || options.interval.count() < 1) return fail("invalid limits");
  d.options = options;
  d.tokenRequired = options.requireToken || !IsLoopbackAddress(options.address);
  d.token = d.tokenRequired ? NewToken() : std::string();
  d.startError.clear();

  std::string address = options.address == "localhost" ? "127.0.0.1" : options.address;
  const bool v6 = address.find(':') != std::string::npos;
  if (v6 && address.front() != '[') address = "[" + address + "]";
  const std::string listening = address + ":" + std::to_string(options.port);
  // Every connection holds a worker thread until its request is in: beyond one
  // per viewer and a few for pages, room for many connections that say nothing,
  // each dropped after two seconds, so that idle ones cannot keep a viewer out.
  const std::string threads = std::to_string(options.maxViewers + 8 + kIdleConnectionRoom);
  const char* config[] = {"listening_ports", listening.c_str(),
                          "num_threads", threads.c_str(),
                          "request_timeout_ms", "2000",
                          "websocket_timeout_ms", "5000",
                          "enable_websocket_ping_pong", "yes",
                          "enable_keep_alive", "no",
                          "max_request_size", "8192",
                          nullptr};
  mg_init_library(0);
  mg_callbacks callbacks{};
  callbacks.log_message = LogMessage;
  d.starting = true;
  mg_context* ctx = mg_start(&callbacks, &d, config);
  d.starting = false;
  if (!ctx) {
    mg_exit_library();
    return fail("cannot listen on " + listening + (d.startError.empty() ? "" : ": " + d.startError));
  }
  mg_server_port ports[4] = {};
  const int n = mg_get_server_ports(ctx, 4, ports);
  d.port = n > 0 ? ports[0].port : options.port;
  mg_set_request_handler(ctx, "/", HttpHandler, &d);
  mg_set_websocket_handler(ctx, kStreamPath, WsConnect, WsReady, WsData, WsClose, &d);

  if (options.address == "0.0.0.0" || options.address == "::") {
    char host[256] = {};
    d.urlHost = gethostname(host, sizeof host - 1) == 0 && host[0] ? host : options.address;
  } else {
    d.urlHost = v6 ? address : options.address;
  }
  d.TakeWholePicture();
  d.lastPalette.clear();
  d.haveReadouts = false;
  {
    std::lock_guard lock(d.publishMutex);
    d.stopping = false;
  }
  d.ctx = ctx;
  d.publisher = std::thread([&d] { d.PublishLoop(); });
  return true;
}

void LiveViewServer::Stop() {
  Impl& d = *impl_;
  if (!d.ctx) return;
  {
    std::lock_guard lock(d.publishMutex);
    d.stopping = true;
  }
  d.publishWake.notify_all();
  if (d.publisher.joinable()) d.publisher.join();
  // Closes every connection; each viewer's close handler ends its sender.
  mg_stop(d.ctx);
  d.ctx = nullptr;
  mg_exit_library();
  std::lock_guard lock(d.viewersMutex);
  for (auto& v : d.viewers) {  // any the library did not close (it closes all)
    {
      std::lock_guard vl(v->mutex);
      v->closing = true;
    }
    v->wake.notify_all();
    if (v->sender.joinable()) v->sender.join();
  }
  d.viewers.clear();
  d.viewerCount = 0;
}

bool LiveViewServer::Running() const { return impl_->ctx != nullptr; }
int LiveViewServer::Port() const { return impl_->port; }
bool LiveViewServer::TokenRequired() const { return impl_->tokenRequired; }
std::string LiveViewServer::Token() const { return impl_->token; }
int LiveViewServer::Viewers() const { return impl_->viewerCount.load(); }

std::string LiveViewServer::Url() const {
  const Impl& d = *impl_;
  std::string url = "http://" + d.urlHost + ":" + std::to_string(d.port) + "/";
  if (d.tokenRequired) url += "?token=" + d.token;
  return url;
}

ServerStats LiveViewServer::Stats() const {
  const Impl& d = *impl_;
  ServerStats s;
  s.viewers = d.viewerCount.load();
  s.viewersJoined = d.joined.load();
  s.viewersLeft = d.left.load();
  s.refused = d.refused.load();
  s.oversizedMessages = d.oversized.load();
  s.ticks = d.ticks.load();
  s.pictureMessages = d.pictures.load();
  s.wholePictures = d.wholes.load();
  s.skips = d.skips.load();
  s.bytesSent = d.bytesSent.load();
  s.maxQueuedBytes = d.maxQueued.load();
  std::lock_guard lock(d.viewersMutex);
  for (const auto& v : d.viewers) {
    std::lock_guard vl(v->mutex);
    s.queuedBytes += v->queuedBytes;
  }
  return s;
}

uint32_t LiveViewServer::Flush() {
  Impl& d = *impl_;
  std::unique_lock lock(d.publishMutex);
  if (!d.ctx || d.stopping) return 0;
  const uint64_t want = ++d.flushRequests;
  d.publishWake.notify_all();
  d.flushDone.wait(lock, [&] { return d.flushesDone >= want || d.stopping; });
  return d.lastFlushSequence;
}

}  // namespace webview
