// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a .47V file for the file verbs, with the reason printed when it fails.
#pragma once

#include <string>

struct AppState;

namespace q47v::cli {

// Opens `path` for playback whatever its name (the magic decides). On failure
// prints "q47v <verb>: <path>: <reason>" to stderr. True when open.
bool OpenForReading(AppState& state, const std::string& path, const char* verb);

}  // namespace q47v::cli
