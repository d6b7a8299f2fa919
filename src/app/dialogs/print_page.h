// SPDX-License-Identifier: GPL-3.0-or-later
// The printed test page (command 20): the print dialog, then one page with the line
// "Printer Test Page", while a small dialog lets the user cancel the job.
#pragma once

#include <functional>

class QDialog;
class QWidget;
class Prompts;

// Runs the whole job on the GUI thread. `run_dialog` runs a modal dialog (exec, or a
// test's script). Returns true when a page was sent to the printer.
bool PrintScreen(QWidget* owner, Prompts& prompts, const std::function<void(QDialog&)>& run_dialog);
