// SPDX-License-Identifier: GPL-3.0-or-later
// The readouts of the live view, read from AppState: the same texts the main
// window's panels show, taken without disturbing any of them.
#pragma once

#include "clock.h"
#include "webview/live_view_protocol.h"

struct AppState;

namespace webview {

Readouts ReadReadouts(const AppState& state, const Clock& clock);

}  // namespace webview
