// SPDX-License-Identifier: GPL-3.0-or-later
// A progress line for long batch runs over files: after the first second, once a
// second, "<what>: 45 % (12345 records)" on one line of the given stream.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "clock.h"

class ProgressMeter {
 public:
  ProgressMeter(const Clock& clock, std::FILE* out, std::string what)
      : clock_(clock), out_(out), what_(std::move(what)), next_(clock.Monotonic() + std::chrono::seconds(1)) {}

  void Update(int64_t done, int64_t total, int64_t records) {
    if (clock_.Monotonic() < next_) return;
    next_ = clock_.Monotonic() + std::chrono::seconds(1);
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
    std::fprintf(out_, "\r%s: %d %% (%lld records)", what_.c_str(), percent, static_cast<long long>(records));
    std::fflush(out_);
    shown_ = true;
  }
  // Ends the line if one was shown.
  void Finish() {
    if (shown_) std::fputc('\n', out_);
    shown_ = false;
  }

 private:
  const Clock& clock_;
  std::FILE* out_;
  std::string what_;
  std::chrono::steady_clock::time_point next_;
  bool shown_ = false;
};
