// What the core asks the user interface to redraw, show or ask for recording, playback and copying (titles, messages, progress).
// Every call has a do-nothing default so that headless fakes override only what
// they watch. Calls may come from the comm thread; the GUI forwards them to its
// own thread.
#pragma once

class FileDisplay {
 public:
  virtual ~FileDisplay() = default;
};
