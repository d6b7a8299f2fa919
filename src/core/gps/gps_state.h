// Run-time fields of the GPS reader and its texts, part of AppState.
// Fields read across threads are atomic or behind a lock.
#pragma once

#include <atomic>

struct GpsState {
};
