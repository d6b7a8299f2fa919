// SPDX-License-Identifier: GPL-3.0-or-later
// What `q47v xyz` and the survey runs of `q47v record` share: the scan geometry
// named on the command line, the settings from an INI file with KEY=VALUE
// overrides, the auto-azimuth angles as the Auto-Azimuth dialog takes them, and
// the answers a survey without a user gives to the scan dialogs.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "outputs/outputs_display.h"
#include "outputs/survey_plots.h"

struct AppState;

namespace q47v::survey {

// "vertical", "horizontal" or "azimuth"; false for anything else.
bool ParseGeometry(const std::string& text, SurveyGeometry& geometry);

// Loads `ini` (none: the defaults of the settings model) with each "KEY=VALUE" of
// `sets` put in its place first, so that every value gets the checks and
// fallbacks of loading the file. An unknown key, a number that cannot be read or
// an unreadable file is an error; `notes` tells the fallbacks taken.
bool LoadSurveySettings(AppState& state, const std::string& ini, const std::vector<std::string>& sets,
                        std::string& error, std::vector<std::string>& notes);

// "START:STOP:INC" in degrees as the Auto-Azimuth dialog shows them, checked with
// the dialog's messages (all of them in `error`).
struct AzimuthRunAngles {
  double Start = 0, Stop = 0, Increment = 30;
};
bool ParseAzimuthRun(const std::string& text, AzimuthRunAngles& angles, std::string& error);

// The scan dialogs answered for a headless survey run: auto-profile switched on
// with the settings' values, XYZ files on, captures, the save question and the
// prompt off. With a payout increment (horizontal scans) the prompt stays on and
// is answered with the values it shows, so that the elevation is lowered after
// every sweep as the dialog's Ok does. `on_start` runs on the comm thread when the
// first dialog is answered, just before the scan starts.
class SurveyAnswers {
 public:
  float Payout = 0;  // display unit
  AzimuthRunAngles Angles;
  std::atomic<bool> Stopping{false};  // answer the next prompt with auto-profile off

  SnapshotAnswer Snapshot(const SnapshotForm& form);
  AzimuthAnswer Azimuth(const AzimuthForm& form);
};

}  // namespace q47v::survey
