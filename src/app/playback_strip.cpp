// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback_strip.h"

#include <QElapsedTimer>
#include <QPainter>
#include <utility>

#include "app_state.h"
#include "client_area.h"
#include "control_panels.h"
#include "core_bridge.h"
#include "files/file_texts.h"
#include "layout.h"
#include "main_window.h"
#include "modal_state.h"
#include "panel_paint.h"
#include "prompts.h"
#include "screen_capture.h"

PlaybackStrip::PlaybackStrip(MainWindow& window)
    : window_(window), state_(window.State()), core_(window.Core()) {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { PlayNext(); });
}

void PlaybackStrip::Open() {
  FileDialogRequest request{kPlaybackDialogTitle, kSonarFileFilter, kSonarFileExtension, false};
  // A file named on the command line is opened instead of asking, once.
  const std::string chosen =
      start_file_.empty() ? window_.GetPrompts().AskFile(request) : std::exchange(start_file_, {});
  if (chosen.empty()) return;
  if (core_.OpenPlayback(chosen)) {
    // A new file starts on a clear picture: nothing of the last one stays.
    core_.ResetEchoLines();
    core_.ClearImage();
    window_.ForcePanelRedraw();
    if (slider_) slider_->setValue(0);
  }
  window_.ImageChanged();
  window_.Client()->update();
  Schedule(0);
}

void PlaybackStrip::OpenWithSlider() {
  Open();
  CreateSlider();
}

void PlaybackStrip::ToggleRecording() {
  if (core_.Recording()) {
    core_.StopRecording();
    return;
  }
  FileDialogRequest request{kRecordDialogTitle, kSonarFileFilter, kSonarFileExtension, true};
  const std::string chosen = window_.GetPrompts().AskFile(request);
  if (!chosen.empty()) core_.StartRecording(chosen);
}

void PlaybackStrip::ToggleCopy() {
  if (core_.Copying()) {
    core_.StopCopy();
    return;
  }
  FileDialogRequest request{kCopyDialogTitle, kSonarFileFilter, kSonarFileExtension, true};
  const std::string chosen = window_.GetPrompts().AskFile(request);
  if (!chosen.empty()) core_.StartCopy(chosen);
}

// ---------------------------------------------------------------- pacing

void PlaybackStrip::Schedule(int delay_ms) {
  if (window_.Closed() || state_.RunMode != 1 || state_.HoldActive || !core_.PlaybackOpen()) return;
  timer_.start(delay_ms);
}

void PlaybackStrip::PlayNext() {
  if (window_.Closed() || state_.RunMode != 1 || state_.HoldActive || !core_.PlaybackOpen()) return;
  if (ModalDialogOpen()) {
    Schedule(50);  // resumes once the box or dialog is answered
    return;
  }
  // Play records for up to a few milliseconds, then give the event loop its turn;
  // a paced record schedules the next one instead of waiting here.
  QElapsedTimer budget;
  budget.start();
  int delay = 0;
  do {
    delay = core_.PlayNextRecord();
    if (!core_.PlaybackOpen()) return;
  } while (delay == 0 && budget.elapsed() < 4);
  window_.Panels().RefreshChangedPanels();
  SetPercent(core_.PlaybackPercent());
  Schedule(delay);
}

// ---------------------------------------------------------------- slider

void PlaybackStrip::SetPercent(int percent) {
  if (slider_ && !slider_->isSliderDown() && slider_->value() != percent) {
    const QSignalBlocker block(slider_.data());
    slider_->setValue(percent);
  }
}

void PlaybackStrip::Seek(int p) {
  if (state_.RunMode != 1 || !core_.PlaybackOpen()) return;
  if (p <= 0 || p >= 100) return;
  core_.SeekPercent(p);
  core_.ResetEchoLines();
  core_.ClearImage();
  core_.ResetOrientation();
  window_.ImageChanged();
}

void PlaybackStrip::CreateSlider() {
  if (slider_ || !core_.PlaybackOpen()) return;
  QSlider* s = new QSlider(Qt::Horizontal, window_.Client());
  s->setObjectName("Trackbar Control");
  s->setRange(0, 100);
  s->setPageStep(10);
  s->setTickInterval(10);
  s->setTickPosition(QSlider::TicksBelow);
  s->setValue(0);
  s->setFocusPolicy(Qt::NoFocus);
  s->setGeometry(620, 43, 154, 20);
  QObject::connect(s, &QSlider::valueChanged, &window_, [this](int v) {
    Seek(v);
    window_.Client()->setFocus();
  });
  s->show();
  slider_ = s;
}

void PlaybackStrip::DestroySlider() {
  if (slider_) slider_->deleteLater();
  slider_ = nullptr;
}

// ---------------------------------------------------------------- Plot Speed and Reverse

void PlaybackStrip::ToggleReverse() {
  core_.ToggleReversePlayback();
  window_.UpdateRect(361, 533, 441, 551);
}

void PlaybackStrip::StepPlotSpeed(bool up) {
  if (up) core_.PlotSpeedUp(); else core_.PlotSpeedDown();
  window_.UpdateRect(251, 533, 353, 551);
}

void PlaybackStrip::Paint(QPainter& p) {
  const int len = PlotSpeedBarLength(state_.PlotSpeed);
  Box(p, 266, 533, 336, 550, window_.Pal(125), window_.Pal(122));
  if (len > 0) p.fillRect(QRect(267, 534, len, 15), window_.Pal(123));
  p.save();
  p.setFont(SmallFont());
  p.setPen(window_.Pal(125));
  p.drawText(275, 535 + p.fontMetrics().ascent(), "Plot Speed");
  p.restore();
  window_.Panels().PaintArrow(p, kPlayRight);
  window_.Panels().PaintArrow(p, kPlayLeft);
  if (state_.ReverseAvailable) {
    PaintCheckBox(p, 361, 534, state_.ReversePlayback != 0);
    ShadowText(p, 377, 533, "Reverse", Qt::white, window_.Pal(125));
  }
}

// ---------------------------------------------------------------- frame captures

void PlaybackStrip::CaptureFrame() {
  if (!core_.PlaybackOpen()) return;
  const std::string path = NextPlaybackCaptureName(state_.PlaybackFilePath.get());
  // The name is shown in the strip over the image's foot while the frame is written.
  capture_note_ = path;
  window_.Client()->repaint(3, 492, 597, 18);
  WriteBmp24(path, window_.CaptureWindow());
  capture_note_.clear();
  window_.Client()->update(3, 492, 597, 18);
}

void PlaybackStrip::PaintCaptureNote(QPainter& p) {
  if (capture_note_.empty()) return;
  p.fillRect(QRect(3, 492, 597, 18), window_.Pal(126));
  p.setPen(Qt::white);
  p.drawText(5, 494 + p.fontMetrics().ascent(), QString::fromStdString(capture_note_));
}
