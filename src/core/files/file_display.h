// SPDX-License-Identifier: GPL-3.0-or-later
// What the core asks the user interface to redraw, show or ask for recording, playback and copying (titles, messages, progress).
// Every call has a do-nothing default so that headless fakes override only what
// they watch. Calls may come from the comm thread; the GUI forwards them to its
// own thread.
#pragma once

#include <string>

// Icons of the message boxes the file commands show.
enum class FileMessageIcon { kWarning, kInformation };

class FileDisplay {
 public:
  virtual ~FileDisplay() = default;

  // The main window title (program title, file, kB counter).
  virtual void SetFileTitle(const std::string& /*title*/) {}
  // A modal message box: text, caption, icon, OK button.
  virtual void ShowFileMessage(const std::string& /*text*/, const std::string& /*caption*/,
                               FileMessageIcon /*icon*/) {}
  // A File-menu item text changed: 15 record, 16 copy, 208 auto frame capture.
  virtual void SetFileMenuText(int /*command_id*/, const std::string& /*text*/) {}
  // Playback position 0..100 for the progress slider.
  virtual void SetPlaybackProgress(int /*percent*/) {}
  // A playback file was opened (or refused): clear the picture, redraw every panel
  // value; `opened` tells which. The program also resets the orientation values,
  // the azimuth tilt state and marks the GPS data stale here.
  virtual void PlaybackFileOpened(bool /*opened*/) {}
  // Playback went back to the start of the file (end of file): imaging restarts its
  // echo lines, the orientation values are reset.
  virtual void PlaybackRestarted() {}
  // The slider moved playback: reset the echo lines, clear the image, reset the
  // orientation values.
  virtual void PlaybackSeeked() {}
  // `ReverseAvailable` or `ReversePlayback` changed: redraw the "Reverse" box.
  virtual void ReverseControlChanged() {}
  // The record in play carried GPS data (fix or not): redraw the GPS read-out.
  virtual void PlaybackGpsChanged() {}
  // Auto frame capture: capture the displayed frame to the next BMP now.
  virtual void CaptureFrameRequested() {}
};
