// What the core asks the user interface to redraw, show or ask for the head link (status line, diagnostics, scan window, azimuth and orientation windows).
// Every call has a do-nothing default so that headless fakes override only what
// they watch. Calls may come from the comm thread; the GUI forwards them to its
// own thread.
#pragma once

class LinkDisplay {
 public:
  virtual ~LinkDisplay() = default;
};
