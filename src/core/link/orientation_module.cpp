// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/orientation_module.h"

#include "link/link_display.h"
#include "app_state.h"

void ResetOrientation(AppState& state, LinkDisplay& display) {
  state.OrientationPitch = 0.0f;
  state.OrientationRoll = 0.0f;
  state.OrientationHeading = 0.0f;
  state.OrientationUnanswered = 5;
  if (state.OrientationWindowShown.load()) display.OrientationWindowChanged();
}

void SetOrientationModuleEnabled(AppState& state, LinkDisplay& display, bool on) {
  ResetOrientation(state, display);
  state.EnableOrientationModule = on ? 1 : 0;
  state.OrientationWindowShown = on;
  display.OrientationWindowChanged();
}

bool OrientationNotAvailable(const AppState& state) {
  return state.OrientationUnanswered.load() > 4;
}
