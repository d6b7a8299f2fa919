// SPDX-License-Identifier: GPL-3.0-or-later
// What the core asks the user interface to redraw, show or ask for the GPS read-out.
// Every call has a do-nothing default so that headless fakes override only what
// they watch. Calls may come from the GPS and comm threads; the GUI forwards them
// to its own thread.
#pragma once

#include <string>

// What the read-out under the image shows (the painting is the GUI's).
struct GpsReadout {
  enum class Kind {
    Hidden,        // GPS not in use: the box disappears
    Position,      // latitude text at (3, 534), longitude at (94, 534), "*" at (189, 534)
    NotAvailable,  // "GPS Lat / Lng Not Available" at (8, 534)
  };
  Kind kind = Kind::Hidden;
  std::string latitudeText;   // the first 12 characters of the position text and ","
  std::string longitudeText;  // the last 12 characters
  bool mark = false;          // draw the blinking "*"
};

inline constexpr const char* kGpsNotAvailableText = "GPS Lat / Lng Not Available";

class GpsDisplay {
 public:
  virtual ~GpsDisplay() = default;
  // The read-out is to be redrawn as given.
  virtual void DrawGpsReadout(const GpsReadout&) {}
};
