// Run-time fields of the ping pipeline, PingImage, palette, profile points, grid and measurement, part of AppState.
// Fields read across threads are atomic or behind a lock.
#pragma once

#include <atomic>

struct ImagingState {
};
