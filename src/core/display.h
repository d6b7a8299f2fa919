// SPDX-License-Identifier: GPL-3.0-or-later
// Display: the one interface through which the core tells the user interface what
// to redraw, show or ask. The Qt program implements it; tests and the command-line
// tool use headless implementations. Each subsystem declares its own calls.
#pragma once

#include "files/file_display.h"
#include "gps/gps_display.h"
#include "imaging/imaging_display.h"
#include "link/link_display.h"
#include "outputs/outputs_display.h"

class Display : public LinkDisplay,
                public FileDisplay,
                public ImagingDisplay,
                public GpsDisplay,
                public OutputsDisplay {
 public:
  ~Display() override = default;
};

// A Display that shows nothing: for batch work and tests that do not watch it.
class NullDisplay final : public Display {};
