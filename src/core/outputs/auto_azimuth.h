// SPDX-License-Identifier: GPL-3.0-or-later
// Auto-azimuth: the angles as the user sees them, the checks and estimate of the
// Auto-Azimuth dialog, and the stepping of the drive between sweeps.
#pragma once

#include <string>
#include <vector>

struct AppState;
class Display;

inline constexpr const char* kAutoAzimuthTitle = "Auto-Azimuth";
inline constexpr const char* kScanCompleteText = "Scan complete.";
inline constexpr const char* kStartAngleMessage = "Start Angle is out of range!\nUse 0 to 359.7 Degrees.";
inline constexpr const char* kStopAngleMessage = "Stop Angle is out of range!\nUse 0 to 359.7 Degrees.";
inline constexpr const char* kIncrementAngleMessage = "Increment Angle is out of range!\nUse 0.3 to 180.0 Degrees.";

// A drive position in steps shown as degrees 0 to below 360 (600 is 0.0).
double ShownAzimuth(int steps);
std::string ShownAzimuthText(int steps);     // "%5.1f"
std::string IncrementText(int steps);        // steps x 0.3, "%5.1f"
// A typed angle back to steps (180 or more counts as negative), 0..1199.
int AzimuthSteps(double degrees);
// A typed increment to steps, 1..600 (below 0.3 counts as 0.3, above 180 as 180).
int IncrementSteps(double degrees);
// Steps from start to stop clockwise; a full circle when they are equal.
int TotalSweep(int start_steps, int stop_steps);
// The dialog's checks on Ok, in order; empty when all three are accepted.
std::vector<std::string> CheckAzimuthAngles(double start, double stop, double increment);

// Seconds one 360-degree sweep takes at a range index and speed; `points_only`
// picks the table of the short points-only replies.
double SweepSeconds(int range_index, int speed, bool points_only);
// "%d sec", "%d min", "%d hr %d min" or "%d hrs %d min" for a run from `start`
// to `stop` by `increment` degrees, `sector` degrees wide at `sweep_seconds`.
std::string EstimateScanTime(double start, double stop, double increment, double sweep_seconds, int sector);

// Moves the drive to the next angle of the run (the start angle first).
void StepAzimuth(AppState& state, Display& display);
// Counts one increment; false (the run and auto-profile disabled) past the stop.
bool AdvanceAzimuth(AppState& state);
