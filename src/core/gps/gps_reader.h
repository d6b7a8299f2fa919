// SPDX-License-Identifier: GPL-3.0-or-later
// The GPS port and its reader thread: open, start and close as the program needs
// them, the 100 ms read cycle, and what one taken sentence does to the GPS state
// and the read-out.
#pragma once

#include <string>
#include <string_view>

#include "gps/gps_display.h"

struct AppState;
class Clock;

// Opens the GPS port at `devicePath` for reading (only when `UseGPS` is 1). Any
// port already open is closed first. Returns whether the port is open.
bool OpenGpsPort(AppState& state, const std::string& devicePath);
// Sets the line (baud by `GPSBaudRate`, 8N1) and starts `GpsThread` (only when
// `UseGPS` is 1 and the port is open). Returns whether the thread runs.
bool StartGpsThread(AppState& state, GpsDisplay& display);
// Stops the thread (waiting for it to leave its loop) and closes the port.
void CloseGpsPort(AppState& state);

// One assembled sentence from the port: a GLL or GGA of the selected `GPSType`
// updates the GPS data, resets `GpsAge` and (hemispheres valid) draws a fresh fix.
void TakeGpsSentence(AppState& state, GpsDisplay& display, std::string_view line);

// Once a second while `UseGPS` is 1: ages the fix; at 10 seconds the read-out
// changes to "not available".
void TickGps(AppState& state, GpsDisplay& display);

// Whether the read-out is in use: in HEAD mode with `UseGPS`, in FILE mode when
// the file played carries GPS data.
bool GpsInUse(const AppState& state, bool fileCarriesGps);
// What the read-out shows now. Showing a position toggles `GpsBlink`.
GpsReadout MakeGpsReadout(AppState& state, bool inUse, bool freshFix);
