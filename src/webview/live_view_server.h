// SPDX-License-Identifier: GPL-3.0-or-later
// The live view: a small HTTP and WebSocket server (CivetWeb) that shows the sonar
// picture and its readouts in any browser on the vessel's network. It serves one
// page and its script from the program itself and streams, to every viewer, the
// parts of PingImage that changed as palette indices, the colour table and the
// readouts. Viewers can only watch: nothing they send reaches the settings or the
// head.
//
// Cost to the sonar: one publishing thread copies the changed rectangle out of the
// picture under the image lock (a memcpy) a few dozen times a second, and encodes
// it once for all viewers. Each viewer has its own sending thread and a bounded
// queue; a viewer that falls behind loses its queue and is sent the whole picture
// when it catches up, so no viewer ever waits on another, and neither the comm
// thread nor the window waits on any of them.
//
// Safety: it listens on 127.0.0.1 unless told otherwise; on any other address each
// request must carry the token generated at start (shown in the address).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "clock.h"

struct AppState;

namespace webview {

struct ServerOptions {
  std::string address = "127.0.0.1";  // IPv4 or IPv6 literal; 0.0.0.0 for every interface
  int port = 8047;                      // 0: a free port chosen by the system
  bool requireToken = false;            // also require the token on the loopback
  int maxViewers = 32;
  std::size_t viewerQueueBytes = 2u << 20;  // beyond this a viewer skips to a whole picture
  std::size_t viewerQueueMessages = 512;
  std::chrono::milliseconds interval{40};   // publishing period
};

struct ServerStats {
  int viewers = 0;
  long viewersJoined = 0;
  long viewersLeft = 0;
  long refused = 0;           // wrong or missing token, foreign origin, too many viewers
  long oversizedMessages = 0; // messages from viewers too large to be anything legitimate
  long ticks = 0;
  long pictureMessages = 0;   // encoded change rectangles (once for all viewers)
  long wholePictures = 0;     // whole pictures encoded for joining or lagging viewers
  long skips = 0;             // a viewer's queue overflowed and was dropped
  long long bytesSent = 0;
  std::size_t queuedBytes = 0;     // in every viewer's queue now
  std::size_t maxQueuedBytes = 0;  // the most one viewer's queue ever held
};

// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackAddress(const std::string& address);

class LiveViewServer {
 public:
  // `state` and `clock` must outlive the server.
  LiveViewServer(AppState& state, const Clock& clock);
  ~LiveViewServer();
  LiveViewServer(const LiveViewServer&) = delete;
  LiveViewServer& operator=(const LiveViewServer&) = delete;

  // Starts listening and publishing; false and *error when the address cannot be
  // bound (in use, not an address of this machine) or the options are invalid.
  bool Start(const ServerOptions& options, std::string* error = nullptr);
  // Closes every viewer and stops; waits for its threads.
  void Stop();
  bool Running() const;

  int Port() const;                // the port listened on (the chosen one for port 0)
  std::string Url() const;         // the address to open, with the token when needed
  bool TokenRequired() const;
  std::string Token() const;
  int Viewers() const;
  ServerStats Stats() const;

  // Publishes now and sends the readouts to every viewer even when unchanged;
  // returns the sequence number of that publication. Everything drawn before the
  // call reaches each viewer before readouts carrying this number.
  uint32_t Flush();

  struct Impl;  // the library's callbacks reach it through their user data

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace webview
