// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program works when started from the desktop: a folder of its own in the
// home folder, where WINQ47V.INI, recordings, captures and .XYZ files land, instead
// of the home folder itself. A start from a terminal keeps its working directory.
#pragma once

#include <string>

inline constexpr const char* kDesktopWorkFolder = "WinQ47V";

// Creates $HOME/WinQ47V when needed and makes it the working directory. False,
// with the reason in *error, when that cannot be done (the directory is then
// unchanged).
bool EnterDesktopWorkFolder(std::string* error);
