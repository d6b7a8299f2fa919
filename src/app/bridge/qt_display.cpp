// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/qt_display.h"

#include <QThread>

#include "window/main_window.h"
#include "app_state.h"

void QtDisplay::SetWindow(MainWindow* window) {
  window_ = window;
  outputs_.SetWindow(window, window ? &window->State().CommThreadRunning : nullptr);
}

void QtDisplay::OnGui(std::function<void(MainWindow&)> fn) {
  if (QThread::currentThread() == thread()) {
    if (window_) fn(*window_);
    return;
  }
  QMetaObject::invokeMethod(
      this, [this, fn = std::move(fn)] {
        if (window_) fn(*window_);
      },
      Qt::QueuedConnection);
}

void QtDisplay::ShowStatus(const std::string& text, const StatusColours& c) {
  OnGui([text, c](MainWindow& w) { w.SetStatusMessage(text, c.text, c.fill, c.frame); });
}

void QtDisplay::EraseStatus() {
  OnGui([](MainWindow& w) { w.SetStatusMessage("", 121, 121, 121); });
}

void QtDisplay::ShowAzimuthNotFound(bool shown) {
  OnGui([shown](MainWindow& w) { w.SetAzimuthNotice(shown); });
}

void QtDisplay::DiagnosticsChanged() {
  OnGui([](MainWindow& w) { w.RedrawDiagnostics(); });
}

void QtDisplay::ScanWindowChanged() {
  OnGui([](MainWindow& w) { w.ToolWindowChanged(0); });
}

void QtDisplay::AzimuthWindowChanged() {
  OnGui([](MainWindow& w) { w.ToolWindowChanged(1); });
}

void QtDisplay::OrientationWindowChanged() {
  OnGui([](MainWindow& w) { w.ToolWindowChanged(2); });
}

void QtDisplay::ClockTick(const LocalTime& t) {
  OnGui([t](MainWindow& w) { w.ClockTick(t); });
}

void QtDisplay::LinkError(const std::string& text, const std::string& caption) {
  OnGui([=](MainWindow& w) { w.ShowMessage(caption, text, true); });
}

void QtDisplay::SetFileTitle(const std::string& title) {
  OnGui([title](MainWindow& w) { w.SetTitleText(title); });
}

void QtDisplay::ShowFileMessage(const std::string& text, const std::string& caption, FileMessageIcon icon) {
  OnGui([=](MainWindow& w) { w.ShowMessage(caption, text, icon == FileMessageIcon::kWarning); });
}

void QtDisplay::SetFileMenuText(int id, const std::string& text) {
  OnGui([id, text](MainWindow& w) { w.SetMenuText(id, text.c_str()); });
}

void QtDisplay::SetPlaybackProgress(int percent) {
  OnGui([percent](MainWindow& w) { w.SetPlaybackPercent(percent); });
}

void QtDisplay::PlaybackFileOpened(bool) {
  OnGui([](MainWindow& w) { w.ForcePanelRedraw(); });
}

void QtDisplay::PlaybackRestarted() {
  OnGui([](MainWindow& w) { w.ImageChanged(); });
}

void QtDisplay::PlaybackSeeked() {
  OnGui([](MainWindow& w) { w.ImageChanged(); });
}

void QtDisplay::ReverseControlChanged() {
  OnGui([](MainWindow& w) { w.ReverseControlChanged(); });
}

void QtDisplay::PlaybackGpsChanged() {
  OnGui([](MainWindow& w) { w.RefreshGps(); });
}

void QtDisplay::CaptureFrameRequested() {
  OnGui([](MainWindow& w) { w.CapturePlaybackFrame(); });
}

void QtDisplay::ImageChanged(const DirtyRect& area) {
  // Collected for the window's refresh timer, which repaints at most once a frame;
  // safe from the comm thread, so no queued call per ping.
  if (window_) window_->QueueImageRepaint(area);
}

void QtDisplay::PanelsChanged(unsigned mask) {
  OnGui([mask](MainWindow& w) { w.PanelsChanged(mask); });
}

void QtDisplay::OverlaysChanged(unsigned mask) {
  OnGui([mask](MainWindow& w) { w.OverlaysChanged(mask); });
}

void QtDisplay::DrawGpsReadout(const GpsReadout& r) {
  OnGui([r](MainWindow& w) {
    w.SetGpsReadout(r.kind != GpsReadout::Kind::Hidden, r.latitudeText, r.longitudeText, r.mark,
                    r.kind == GpsReadout::Kind::Position);
  });
}
