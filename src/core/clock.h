// SPDX-License-Identifier: GPL-3.0-or-later
// Time sources: the local wall clock with hundredths of a second (time stamps,
// status texts, once-a-second logic) and the monotonic clock (waits, time-outs).
// Code that decides on time takes a Clock& so that tests can drive it.
#pragma once

#include <chrono>

struct LocalTime {
  int year = 0;  // four digits
  int month = 0;  // 1..12
  int day = 0;  // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int hundredths = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() const;
  virtual std::chrono::steady_clock::time_point Monotonic() const;
  // Blocks for at least `duration` (tests may advance a fake clock instead).
  virtual void SleepFor(std::chrono::microseconds duration) const;
};

// A clock for tests: time moves only when the test says so.
class FakeClock : public Clock {
 public:
  LocalTime Now() const override { return local_; }
  std::chrono::steady_clock::time_point Monotonic() const override { return mono_; }
  void SleepFor(std::chrono::microseconds duration) const override { mono_ += duration; }
  void SetLocal(const LocalTime& t) { local_ = t; }
  void Advance(std::chrono::microseconds d) { mono_ += d; }

 private:
  LocalTime local_{2026, 1, 1, 0, 0, 0, 0};
  mutable std::chrono::steady_clock::time_point mono_{};
};
