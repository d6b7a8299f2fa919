// Run-time fields of XYZ export, auto-profile, auto-azimuth and screen capture, part of AppState.
// Fields read across threads are atomic or behind a lock.
#pragma once

#include <atomic>

struct OutputsState {
};
