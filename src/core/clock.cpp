// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock.h"

#include <ctime>
#include <thread>

LocalTime Clock::Now() const {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  ::localtime_r(&ts.tv_sec, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                   tm.tm_min,         tm.tm_sec,     static_cast<int>(ts.tv_nsec / 10'000'000)};
}

std::chrono::steady_clock::time_point Clock::Monotonic() const {
  return std::chrono::steady_clock::now();
}

void Clock::SleepFor(std::chrono::microseconds duration) const {
  std::this_thread::sleep_for(duration);
}
