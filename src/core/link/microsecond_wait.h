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

// How long the clock-read rate is measured at start-up.
inline constexpr std::chrono::milliseconds kCalibrationWindow{250};

// Reads of the local clock per second, measured over `kCalibrationWindow` of the
// monotonic clock. Every wait here runs on the monotonic clock, so the figure only
// tells how fast this machine reads its clock; measuring it briefly keeps start-up
// from spinning a core for a whole second. Returns 0 when the monotonic clock does
// not move (a test clock) or after `max_reads` reads.
int CalibrateDelayCount(const Clock& clock, std::int64_t max_reads = 4'000'000'000LL);

// Waits at least `duration` on the clock's monotonic time.
void MicrosecondWait(const Clock& clock, std::chrono::microseconds duration);
