// SPDX-License-Identifier: GPL-3.0-or-later
// The head copies of the settings that playback overwrites: FILE mode works on the
// values of the played file, and going back to the head brings the head's own
// values back.
#pragma once

#include "settings/settings_state.h"

// Copies every setting that has a head copy into that copy (`to_head`), or the head
// copies back into the working settings.
void SwapHeadCopies(SettingsState& s, bool to_head);
