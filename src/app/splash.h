// The start-up logo, shown centred on the screen while the delay is calibrated.
#pragma once

#include <functional>

// Shows the logo, runs `work` and removes the logo again.
void ShowLogoWhile(const std::function<void()>& work);
