// SPDX-License-Identifier: GPL-3.0-or-later
// A bare TCP client for the live view tests: it sends exactly the bytes a test
// chooses (well-formed or not), performs a WebSocket handshake by hand and reads
// frames, so that what the server gets is not tidied by any client library.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

class RawClient {
 public:
  RawClient() = default;
  ~RawClient() { Close(); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;
  RawClient(RawClient&& o) noexcept : fd_(o.fd_), pending_(std::move(o.pending_)) { o.fd_ = -1; }

  bool Connect(int port, int receiveBuffer = 0) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  bool Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      pollfd p{fd_, POLLOUT, 0};
      if (::poll(&p, 1, 10000) <= 0) return false;
      const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }
  // Reads until the peer closes or `ms` pass without data; returns what came.
  std::string ReadAll(int ms = 5000) {
    std::string out = std::move(pending_);
    pending_.clear();
    char buf[65536];
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, ms) <= 0) break;
      const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) break;
      out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
  }
  // True when the peer closed the connection (or reset it) within `ms`.
  bool PeerClosed(int ms = 10000) {
    char buf[65536];
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 200) < 0) return true;
      if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return true;
    }
    return false;
  }
  // Sends the upgrade request; returns the status line and headers.
  std::string Handshake(const std::string& path = "/stream", const std::string& extraHeaders = "") {
    const std::string req = "GET " + path +
                            " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n" +
                            extraHeaders + "\r\n";
    if (!Send(req)) return {};
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) break;
      const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) break;
      head.append(buf, static_cast<std::size_t>(n));
    }
    const auto end = head.find("\r\n\r\n");
    if (end != std::string::npos) {
      pending_ = head.substr(end + 4);
      head.resize(end + 4);
    }
    return head;
  }
  // One masked client frame with the given opcode and payload.
  static std::string Frame(int opcode, const std::string& payload) {
    std::string f;
    f.push_back(static_cast<char>(0x80 | opcode));
    const std::size_t n = payload.size();
    if (n < 126) {
      f.push_back(static_cast<char>(0x80 | n));
    } else if (n < 65536) {
      f.push_back(static_cast<char>(0x80 | 126));
      f.push_back(static_cast<char>(n >> 8));
      f.push_back(static_cast<char>(n & 0xff));
    } else {
      f.push_back(static_cast<char>(0x80 | 127));
      for (int k = 7; k >= 0; --k) f.push_back(static_cast<char>((static_cast<uint64_t>(n) >> (8 * k)) & 0xff));
    }
    const char mask[4] = {0x12, 0x34, 0x56, 0x78};
    f.append(mask, 4);
    for (std::size_t i = 0; i < n; ++i) f.push_back(static_cast<char>(payload[i] ^ mask[i % 4]));
    return f;
  }
  // Reads one server frame (unmasked); false on close, error or time-out.
  bool ReadFrame(int& opcode, std::string& payload, int ms = 5000) {
    auto need = [&](std::size_t n) {
      char buf[65536];
      while (pending_.size() < n) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0) return false;
        const ssize_t r = ::recv(fd_, buf, sizeof buf, 0);
        if (r <= 0) {
          eof_ = true;
          return false;
        }
        pending_.append(buf, static_cast<std::size_t>(r));
      }
      return true;
    };
    if (!need(2)) return false;
    opcode = static_cast<uint8_t>(pending_[0]) & 0x0f;
    uint64_t len = static_cast<uint8_t>(pending_[1]) & 0x7f;
    std::size_t at = 2;
    if (len == 126) {
      if (!need(4)) return false;
      len = (static_cast<uint64_t>(static_cast<uint8_t>(pending_[2])) << 8) | static_cast<uint8_t>(pending_[3]);
      at = 4;
    } else if (len == 127) {
      if (!need(10)) return false;
      len = 0;
      for (int k = 0; k < 8; ++k) len = (len << 8) | static_cast<uint8_t>(pending_[2 + k]);
      at = 10;
    }
    if (len > (64u << 20)) {
      eof_ = true;
      return false;
    }
    if (!need(at + len)) return false;
    payload = pending_.substr(at, len);
    pending_.erase(0, at + len);
    return true;
  }
  // Closes with a reset instead of an orderly shutdown: what a crashed browser or a
  // pulled cable looks like to the server.
  void Abort() {
    if (fd_ < 0) return;
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    Close();
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd() const { return fd_; }
  // ReadFrame met the end of the stream (not a mere time-out).
  bool Eof() const { return eof_; }

 private:
  int fd_ = -1;
  std::string pending_;
  bool eof_ = false;
};
