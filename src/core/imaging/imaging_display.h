// SPDX-License-Identifier: GPL-3.0-or-later
// What the core asks the user interface to redraw, show or ask for ping processing (dirty image areas, panels, readouts).
// Every call has a do-nothing default so that headless fakes override only what
// they watch. Calls may come from the comm thread; the GUI forwards them to its
// own thread, in the order they were made (panels, then the image, then the
// measurement overlays drawn over it).
#pragma once

#include "imaging/ping_image.h"

// Panels and windows ping processing asks to redraw (bits of PanelsChanged).
enum ImagingPanel : unsigned {
  kPanelDiagnostics = 1u << 0,        // Diagnostics window, when open
  kPanelActivity = 1u << 1,           // activity indicator in the status bar (alternates per ping)
  kPanelTitle = 1u << 2,              // window title (recording size)
  kPanelDateTime = 1u << 3,           // date-and-time box (playback: from the record)
  kPanelOrientationWindow = 1u << 4,  // orientation window, when open
  kPanelFrequency = 1u << 5,          // frequency read-out
  kPanelGps = 1u << 6,                // GPS line
  kPanelUserText = 1u << 7,           // user-text box
  kPanelAzimuthWindow = 1u << 8,      // azimuth window, when open
  kPanelPerPing = 1u << 9,            // RefreshChangedPanels: panels whose value changed
  kPanelHeadMarker = 1u << 10,        // head-position dot on the sector dial
  kPanelStatusMessage = 1u << 11,     // blank the status message line (sweep start found)
  kPanelGridLabel = 1u << 12,         // grid scale label under the picture
  kPanelPalette = 1u << 13,           // the palette changed: re-blit with the new colours
};

// Overlays drawn over the image after it changed (bits of OverlaysChanged).
enum ImagingOverlay : unsigned {
  kOverlayReadouts = 1u << 0,     // recompute the readouts at the last cursor point
  kOverlayMeasureLine = 1u << 1,  // redraw the measurement line (MeasureMode 1)
  kOverlayZoom = 1u << 2,         // refresh the zoom inset (PixelZoom on, not frozen, no menu open)
};

class ImagingDisplay {
 public:
  virtual ~ImagingDisplay() = default;
  // Pixels of PingImage inside `area` changed: copy them out under the image lock
  // and show them (the blit).
  virtual void ImageChanged(const DirtyRect& area) { (void)area; }
  // Redraw the panels and windows of the ImagingPanel bits in `mask`.
  virtual void PanelsChanged(unsigned mask) { (void)mask; }
  // Redraw the overlays of the ImagingOverlay bits in `mask`, over the new image.
  virtual void OverlaysChanged(unsigned mask) { (void)mask; }
};
