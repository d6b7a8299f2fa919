// SPDX-License-Identifier: GPL-3.0-or-later
// The program's Display: every call from the core is carried to the GUI thread
// (queued when it comes from another thread) and handed to the main window.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "display.h"
#include "bridge/qt_outputs_display.h"

class MainWindow;

class QtDisplay final : public QObject, public Display {
  Q_OBJECT
 public:
  QtDisplay() = default;
  void SetWindow(MainWindow* window);
  // The survey dialogs and messages (their test hook is set there).
  QtOutputsDisplay& Outputs() { return outputs_; }

  // LinkDisplay
  void ShowStatus(const std::string& text, const StatusColours& colours) override;
  void EraseStatus() override;
  void ShowAzimuthNotFound(bool shown) override;
  void DiagnosticsChanged() override;
  void ScanWindowChanged() override;
  void AzimuthWindowChanged() override;
  void OrientationWindowChanged() override;
  void ClockTick(const LocalTime& now) override;
  void LinkError(const std::string& text, const std::string& caption) override;

  // FileDisplay
  void SetFileTitle(const std::string& title) override;
  void ShowFileMessage(const std::string& text, const std::string& caption, FileMessageIcon icon) override;
  void SetFileMenuText(int command_id, const std::string& text) override;
  void SetPlaybackProgress(int percent) override;
  void PlaybackFileOpened(bool opened) override;
  void PlaybackRestarted() override;
  void PlaybackSeeked() override;
  void ReverseControlChanged() override;
  void PlaybackGpsChanged() override;
  void CaptureFrameRequested() override;

  // ImagingDisplay
  void ImageChanged(const DirtyRect& area) override;
  void PanelsChanged(unsigned mask) override;
  void OverlaysChanged(unsigned mask) override;

  // GpsDisplay
  void DrawGpsReadout(const GpsReadout& readout) override;

  // OutputsDisplay: asked on the GUI thread by QtOutputsDisplay.
  SnapshotAnswer AskSnapshot(const SnapshotForm& f) override { return outputs_.AskSnapshot(f); }
  AzimuthAnswer AskAutoAzimuth(const AzimuthForm& f) override { return outputs_.AskAutoAzimuth(f); }
  bool AskSaveProfile() override { return outputs_.AskSaveProfile(); }
  bool CaptureScan(const std::string& path) override { return outputs_.CaptureScan(path); }
  void ShowScanComplete() override { outputs_.ShowScanComplete(); }
  void ShowOutputFailure(const std::string& t, const std::string& c) override { outputs_.ShowOutputFailure(t, c); }
  void SetVerticalScanMenu(bool enabled) override { outputs_.SetVerticalScanMenu(enabled); }

 private:
  // Runs `fn` with the window on the GUI thread: at once when called there, else queued.
  void OnGui(std::function<void(MainWindow&)> fn);

  QPointer<MainWindow> window_;
  QtOutputsDisplay outputs_;
};
