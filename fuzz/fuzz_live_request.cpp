// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness for the live view's request handling: each input is sent as
// the bytes of one connection to a running server (token required; the text
// TOKEN in the input is replaced by the server's token so that the authorised
// paths are reached too). The server must answer or close, and keep serving.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "app_state.h"
#include "clock.h"
#include "webview/live_view_server.h"

namespace {

// Sends `bytes` on a fresh connection and reads until the server closes it or a
// short time passes; false when the server could not be reached.
bool Exchange(int port, const std::string& bytes) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::shutdown(fd, SHUT_WR);
  char buffer[65536];
  for (int rounds = 0; rounds < 50; ++rounds) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) break;
    if (::recv(fd, buffer, sizeof buffer, 0) <= 0) break;
  }
  ::close(fd);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static AppState* state = new AppState;
  static Clock* clock = new Clock;
  static webview::LiveViewServer* server = [] {
    auto* s = new webview::LiveViewServer(*state, *clock);
    webview::ServerOptions o;
    o.port = 0;
    o.requireToken = true;
    o.maxViewers = 4;
    if (!s->Start(o)) std::abort();
    return s;
  }();
  if (size > 16384) return 0;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string token = server->Token();
  for (std::size_t at = bytes.find("TOKEN"); at != std::string::npos; at = bytes.find("TOKEN", at + token.size()))
    bytes.replace(at, 5, token);
  if (!Exchange(server->Port(), bytes)) std::abort();
  if (!server->Running()) std::abort();
  return 0;
}
