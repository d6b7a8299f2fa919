// SPDX-License-Identifier: GPL-3.0-or-later
// How the main window is shown, kept in a section of its own ("[Window]") of
// WINQ47V.INI: the sonar picture's smoothing when the window scales it by a factor
// that is not a whole number, and full screen.
#pragma once

#include <string>

struct WindowOptions {
  bool SmoothScaling = false;  // key SmoothPictureScaling
  bool FullScreen = false;     // key FullScreen
};

// The options in the settings file; a missing file, section or key leaves the
// default (off). A value is on when it reads as a number other than 0.
WindowOptions LoadWindowOptions(const std::string& ini_path);
// Writes them into the file, keeping everything else in it; false and *error on
// failure.
bool SaveWindowOptions(const std::string& ini_path, const WindowOptions& options, std::string* error = nullptr);
