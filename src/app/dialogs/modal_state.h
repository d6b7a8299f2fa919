// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a modal dialog or message box of the program is open. Playback reads the
// next record only from the main loop, never from inside a dialog's own loop, so a
// file does not play on (and stack further messages or capture frames) while the
// user answers a box.
#pragma once

bool ModalDialogOpen();

// Closes every open modal dialog and message box (as their Cancel would): a
// termination signal must not wait for the user.
void CloseModalDialogs();
