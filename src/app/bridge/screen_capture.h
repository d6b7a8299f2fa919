// SPDX-License-Identifier: GPL-3.0-or-later
// Screen captures to 24-bit .BMP files: the window as shown, the file layout with
// the 40-byte information header and bottom-up rows, and the numbered names of the
// frames captured during playback ("survey-0012.bmp" beside "survey.47v").
#pragma once

#include <QImage>
#include <string>

class QWidget;

// What the display shows of the window `w`, read back from the screen (on X11 from
// the X server), not painted anew: with its frame and title bar where a window
// manager draws them (`with_frame`), else its own area. Falls back to painting the
// window itself where the platform cannot read the screen.
QImage GrabFromScreen(const QWidget& w, bool with_frame);

// Writes `image` as a 24-bit bottom-up BMP; false when the file cannot be written.
bool WriteBmp24(const std::string& path, const QImage& image);

// The wait cursor over all of the program's windows while a capture is under way
// (`busy`), the windows' own cursors again after.
void ShowCaptureCursor(bool busy);

// True when the three characters after the last dot are "bmp" (any case).
bool HasBmpExtension(const std::string& path);

// The next free numbered capture name for a played file: its path without the
// 4-character extension, "-", the largest number found among the matching files
// of its folder plus 1 (at most 9999) as "%04lu", ".bmp".
std::string NextPlaybackCaptureName(const std::string& played_path);
