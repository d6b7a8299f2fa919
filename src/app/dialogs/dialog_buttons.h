// SPDX-License-Identifier: GPL-3.0-or-later
// The row of buttons "Ok", "Defaults" and "Cancel" under a setup dialog.
#pragma once

#include <functional>

class QDialog;
class QHBoxLayout;

// "Ok" (the default button) calls `ok`, "Defaults" calls `defaults`, "Cancel"
// rejects the dialog.
QHBoxLayout* OkDefaultsCancelRow(QDialog* dialog, std::function<void()> ok, std::function<void()> defaults);
