// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/microsecond_wait.h"

namespace {
// Identical monotonic readings in a row after which the clock counts as stopped (a test
// clock): the rest of the wait is then handed to SleepFor, which advances it.
constexpr int kStalledReads = 1000;
}  // namespace

int CalibrateDelayCount(const Clock& clock, std::int64_t max_reads) {
  std::int64_t reads = 0;
  const int first = clock.Now().second;
  int second = first;
  while (second == first && reads < max_reads) {
    second = clock.Now().second;
    ++reads;
  }
  std::int64_t count = 0;
  const int start = second;
  while (clock.Now().second == start && reads < max_reads) {
    ++count;
    ++reads;
  }
  return count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(count);
}

void MicrosecondWait(const Clock& clock, std::chrono::microseconds duration) {
  if (duration <= std::chrono::microseconds::zero()) return;
  const auto deadline = clock.Monotonic() + duration;
  auto last = clock.Monotonic();
  int same = 0;
  for (;;) {
    const auto now = clock.Monotonic();
    if (now >= deadline) return;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
    if (left > kSpinWindow) {
      // Sleep the bulk; the spin below covers the sleep's wake-up lateness.
      clock.SleepFor(left - kSpinWindow);
      same = 0;
    } else if (now == last && ++same >= kStalledReads) {
      clock.SleepFor(left + std::chrono::microseconds(1));
      same = 0;
    } else if (now != last) {
      same = 0;
    }
    last = now;
  }
}
