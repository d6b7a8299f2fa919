// SPDX-License-Identifier: GPL-3.0-or-later
// Short waits for the link timing and the playback pacing. Each wait lasts at least
// its time on the monotonic clock; it sleeps for the bulk and spins only the last
// stretch. `CalibrateDelayCount` measures the clock-read rate that the Diagnostics
// window shows as "Delay Count".
#pragma once

#include <chrono>
#include <cstdint>

#include "clock.h"

// The final stretch of a wait that is spun rather than slept.
inline constexpr std::chrono::microseconds kSpinWindow{100};

// Counts reads of the local clock within one whole second: waits for the second to
// change, then counts until it changes again (1 to 2 s with a real clock). Gives up and
// returns the count so far after `max_reads` reads (a clock that never moves).
int CalibrateDelayCount(const Clock& clock, std::int64_t max_reads = 4'000'000'000LL);

// Waits at least `duration` on the clock's monotonic time.
void MicrosecondWait(const Clock& clock, std::chrono::microseconds duration);
