// SPDX-License-Identifier: GPL-3.0-or-later
// The orientation module (ID 0x18) from the link's side: switching it on and off,
// the reset of its values, and when its read-out shows "n/a".
#pragma once

struct AppState;
class LinkDisplay;

// Values to 0, 5 unanswered queries, window redrawn (menu toggle, playback open, end of file).
void ResetOrientation(AppState& state, LinkDisplay& display);
// The menu toggle: resets, then switches the module and its window.
void SetOrientationModuleEnabled(AppState& state, LinkDisplay& display, bool on);
// More than 4 queries went unanswered: the window shows "n/a".
bool OrientationNotAvailable(const AppState& state);
