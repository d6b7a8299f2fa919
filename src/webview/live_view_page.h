// SPDX-License-Identifier: GPL-3.0-or-later
// The page and the script of the live view, served from the program itself.
#pragma once

namespace webview {
extern const char kLivePage[];
extern const char kLiveScript[];
}  // namespace webview
