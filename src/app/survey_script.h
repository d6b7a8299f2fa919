// SPDX-License-Identifier: GPL-3.0-or-later
// A scripted survey for the demo session (winq47v-demo --survey): the first scan
// dialog is answered as a surveyor starting a run would, every later one is left
// to the user (it stays open until answered or the program closes).
#pragma once

#include <functional>
#include <string>

class QDialog;

// `survey`: "vertical", "horizontal" or "azimuth". The vertical and horizontal
// scans write .XYZ files and prompt for another scan; the azimuth run goes from
// 0.0 to 330.0 degrees by 30.0 into one .XYZ file.
std::function<void(QDialog&)> ScriptedSurveyHook(const std::string& survey);

// The menu command that opens the survey's dialog.
int SurveyCommand(const std::string& survey);
