// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/microsecond_wait.h"

namespace {
// Identical monotonic readings in a row after which the clock counts as stopped (a test
// clock): the rest of the wait is then handed to SleepFor, which advances it.
constexpr int kStalledReads = 1000;
}  // namespace

int CalibrateDelayCount(const Clock& clock, std::int64_t max_reads) {
  // The local clock is read in batches; the monotonic clock, read between batches,
  // ends the measurement after a quarter of a second and stays out of the count.
  constexpr int kBatch = 256;
  const auto start = clock.Monotonic();
  auto last = start;
  std::int64_t count = 0;
  int stalled = 0;
  for (;;) {
    if (count >= max_reads) return 0;
    for (int i = 0; i < kBatch; ++i) (void)clock.Now();
    count += kBatch;
    const auto now = clock.Monotonic();
    if (now - start >= kCalibrationWindow) break;
    if (now == last && ++stalled >= kStalledReads) return 0;  // a clock that never moves
    if (now != last) stalled = 0;
    last = now;
  }
  const double per_second =
      static_cast<double>(count) / std::chrono::duration<double>(clock.Monotonic() - start).count();
  return per_second >= 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(per_second + 0.5);
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
