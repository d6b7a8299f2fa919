// SPDX-License-Identifier: GPL-3.0-or-later
// A viewer for the tests: reads the live view's stream on its own thread through
// RawClient and rebuilds the picture and colours from it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "raw_client.h"
#include "webview/live_view_protocol.h"

class TestViewer {
 public:
  // Connects and upgrades; Ok() tells whether it worked.
  explicit TestViewer(int port, const std::string& query = "") {
    if (!client_.Connect(port)) return;
    const std::string head = client_.Handshake("/stream" + query);
    ok_ = head.rfind("HTTP/1.1 101", 0) == 0;
    if (ok_) thread_ = std::thread([this] { Run(); });
  }
  ~TestViewer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    client_.Abort();
  }
  bool Ok() const { return ok_; }
  // Waits until readouts of sequence `seq` or later arrived; false on time-out or close.
  bool WaitForSequence(uint32_t seq, int ms = 20000) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return readoutsSeq_ >= seq || closed_; }) &&
           readoutsSeq_ >= seq;
  }
  std::vector<uint8_t> Picture() {
    std::lock_guard lock(mutex_);
    return picture_;
  }
  std::string Palette() {
    std::lock_guard lock(mutex_);
    return palette_;
  }
  std::string LastReadouts() {
    std::lock_guard lock(mutex_);
    return readouts_;
  }
  long Messages() const { return messages_.load(); }
  long Wholes() const { return wholes_.load(); }
  bool Malformed() const { return malformed_.load(); }

 private:
  void Run() {
    int opcode = 0;
    std::string payload;
    while (!stop_) {
      if (!client_.ReadFrame(opcode, payload, 500)) {
        // A quiet moment is not an end; a closed socket is.
        if (stop_ || client_.Eof()) break;
        continue;
      }
      ++messages_;
      std::lock_guard lock(mutex_);
      if (opcode == 2 && !payload.empty() && payload[0] == 'P') {
        if (payload[1] & 1) ++wholes_;
        if (!webview::ApplyPicture(payload, picture_)) malformed_ = true;
      } else if (opcode == 2 && !payload.empty() && payload[0] == 'C') {
        palette_ = payload;
      } else if (opcode == 1) {
        readouts_ = payload;
        const auto at = payload.find("\"seq\":");
        if (at != std::string::npos) readoutsSeq_ = static_cast<uint32_t>(std::stoul(payload.substr(at + 6)));
      }
      changed_.notify_all();
    }
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }

  RawClient client_;
  bool ok_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<uint8_t> picture_ = std::vector<uint8_t>(kImageBytes, 0);
  std::string palette_, readouts_;
  uint32_t readoutsSeq_ = 0;
  bool closed_ = false;
  std::atomic<long> messages_{0}, wholes_{0};
  std::atomic<bool> malformed_{false};
};
