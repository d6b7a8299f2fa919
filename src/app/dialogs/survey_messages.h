// SPDX-License-Identifier: GPL-3.0-or-later
// The two small boxes of a survey run: the SAVEPROFILE question "Save This
// Profile?" (titled "Auto-Profile", "Yes" and "No") after each auto-profile scan,
// and "Scan complete." (titled "Auto-Azimuth", "OK") at the end of an auto-azimuth
// run. Built here, run by whoever shows them (exec, or a test's hook).
#pragma once

class QMessageBox;
class QWidget;

QMessageBox* MakeSaveProfileBox(QWidget* parent);
// True when the box was answered "Yes".
bool SaveProfileAnswered(const QMessageBox& box);

QMessageBox* MakeScanCompleteBox(QWidget* parent);
