// SPDX-License-Identifier: GPL-3.0-or-later
// AppState: the one application-state object, created by the program and passed by
// reference to every part of the system. Each subsystem keeps its own fields in its
// own part; fields are named as the system names them (INI keys for settings).
#pragma once

#include "files/file_state.h"
#include "gps/gps_state.h"
#include "imaging/imaging_state.h"
#include "link/comm_state.h"
#include "link/link_state.h"
#include "outputs/outputs_state.h"
#include "settings/settings_state.h"

struct AppState : SettingsState, LinkState, CommState, FileState, ImagingState, GpsState, OutputsState {
  AppState() = default;
  AppState(const AppState&) = delete;
  AppState& operator=(const AppState&) = delete;
};
