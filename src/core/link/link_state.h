// Run-time fields of the head link (command packet, reply and PingData, comm thread, head scan, azimuth drive, orientation module), part of AppState.
// Fields read across threads are atomic or behind a lock.
#pragma once

#include <atomic>

struct LinkState {
};
