// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up logo, shown centred on the main window's place while the delay is
// calibrated.
#pragma once

#include <QRect>
#include <functional>

// Where the logo goes: the picture of `logo_size` (already enlarged) centred on
// `window`, positions truncated toward zero.
QPoint LogoPosition(const QRect& window, QSize logo_size);

// Shows the logo centred on `window` (the main window's rectangle), runs `work`
// and removes the logo again.
void ShowLogoWhile(const QRect& window, const std::function<void()>& work);
