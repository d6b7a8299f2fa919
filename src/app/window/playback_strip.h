// SPDX-License-Identifier: GPL-3.0-or-later
// FILE mode's playback: opening a file, the pacing of the next record, the slider
// and its seek, Plot Speed and Reverse in the strip under the picture, the frame
// captures beside the played file; and the start and stop of a recording (live) or
// a copy (playback).
#pragma once

#include <QPointer>
#include <QSlider>
#include <QTimer>
#include <functional>
#include <string>

class CoreBridge;
class PictureView;
class Prompts;
class QImage;
class QPainter;
class WindowSurface;
struct AppState;

class PlaybackStrip {
 public:
  // What the strip asks of the window around it, connected by the window.
  struct Links {
    std::function<bool()> closed;                 // the window closed: nothing plays on
    std::function<void()> redraw_panels;          // every panel and the picture drawn anew
    std::function<void()> panels_changed;         // the panels follow the played record
    std::function<void(QPainter&, int button)> paint_arrow;  // the play arrows of the panels
    std::function<QImage()> capture_window;       // the whole window as shown
  };

  PlaybackStrip(AppState& state, CoreBridge& core, const PictureView& picture, Prompts& prompts,
                WindowSurface& surface, Links links);

  void SetStartFile(const std::string& path) { start_file_ = path; }  // played at start instead of asking
  void Open();                // asks for a file (or takes the start file) and plays it
  void OpenWithSlider();      // the same, and the slider once a file is open
  void ToggleRecording();
  void ToggleCopy();
  void Schedule(int delay_ms);  // the next record after this delay, unless held or closed
  void Stop() { timer_.stop(); }
  void SetPercent(int percent);  // the slider follows the played position
  void Seek(int percent);        // slider position 0..100
  void CreateSlider();
  void DestroySlider();
  QSlider* Slider() const { return slider_; }
  void ToggleReverse();
  void StepPlotSpeed(bool up);
  void CaptureFrame();  // auto frame capture: the next numbered BMP beside the played file
  bool CapturePending() const { return !capture_path_.empty(); }  // its name is shown, playback paused
  static constexpr int kCaptureNoteMs = 1500;  // how long the name is shown before the frame is written

  void Paint(QPainter& p);             // Plot Speed, the play arrows, Reverse
  void PaintCaptureNote(QPainter& p);  // the name of a frame being written

 private:
  void PlayNext();
  void WriteCapturedFrame();

  AppState& state_;
  CoreBridge& core_;
  const PictureView& picture_;
  Prompts& prompts_;
  WindowSurface& surface_;
  Links links_;
  QTimer timer_;
  QPointer<QSlider> slider_;
  std::string start_file_;
  std::string capture_note_;
  std::string capture_path_;  // the frame capture waiting to be written
};
