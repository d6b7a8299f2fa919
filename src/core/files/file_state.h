// Run-time fields of recording, playback and copying of .47V files, part of AppState.
// Fields read across threads are atomic or behind a lock.
#pragma once

#include <atomic>

struct FileState {
};
