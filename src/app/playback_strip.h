// SPDX-License-Identifier: GPL-3.0-or-later
// FILE mode's playback: opening a file, the pacing of the next record, the slider
// and its seek, Plot Speed and Reverse in the strip under the picture, the frame
// captures beside the played file; and the start and stop of a recording (live) or
// a copy (playback).
#pragma once

#include <QPointer>
#include <QSlider>
#include <QTimer>
#include <string>

class MainWindow;
class QPainter;
struct AppState;
class CoreBridge;

class PlaybackStrip {
 public:
  explicit PlaybackStrip(MainWindow& window);

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

  void Paint(QPainter& p);             // Plot Speed, the play arrows, Reverse
  void PaintCaptureNote(QPainter& p);  // the name of a frame being written

 private:
  void PlayNext();

  MainWindow& window_;
  AppState& state_;
  CoreBridge& core_;
  QTimer timer_;
  QPointer<QSlider> slider_;
  std::string start_file_;
  std::string capture_note_;
};
