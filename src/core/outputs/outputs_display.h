// What the core asks the user interface to redraw, show or ask for auto-profile, auto-azimuth and capture.
// Every call has a do-nothing default so that headless fakes override only what
// they watch. Calls may come from the comm thread; the GUI forwards them to its
// own thread.
#pragma once

class OutputsDisplay {
 public:
  virtual ~OutputsDisplay() = default;
};
