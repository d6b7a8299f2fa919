// SPDX-License-Identifier: GPL-3.0-or-later
// Spin arrows beside a dialog's number field.
#pragma once

#include <functional>

class QObject;
class QScrollBar;

// A vertical scroll bar of three positions that snaps back to the middle and calls
// `step` with +1 for the up arrow, -1 for the down arrow (the up arrow lowers a
// scroll bar's value).
QScrollBar* SpinArrows(QObject* owner, int height, std::function<void(int)> step);
