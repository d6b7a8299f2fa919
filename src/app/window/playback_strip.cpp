// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/playback_strip.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QWidget>
#include <utility>

#include "app_state.h"
#include "bridge/core_bridge.h"
#include "files/file_texts.h"
#include "window/layout.h"
#include "dialogs/modal_state.h"
#include "window/panel_paint.h"
#include "window/picture_view.h"
#include "window/window_surface.h"
#include "dialogs/prompts.h"
#include "bridge/screen_capture.h"

PlaybackStrip::PlaybackStrip(AppState& state, CoreBridge& core, const PictureView& picture, Prompts& prompts,
                             WindowSurface& surface, Links links)
    : state_(state), core_(core), picture_(picture), prompts_(prompts), surface_(surface), links_(std::move(links)) {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { PlayNext(); });
}

void PlaybackStrip::Open() {
  FileDialogRequest request{kPlaybackDialogTitle, kSonarFileFilter, kSonarFileExtension, false};
  // A file named on the command line is opened instead of asking, once.
  const std::string chosen =
      start_file_.empty() ? prompts_.AskFile(request) : std::exchange(start_file_, {});
  if (chosen.empty()) return;
  if (core_.OpenPlayback(chosen)) {
    // A new file starts on a clear picture: nothing of the last one stays.
    core_.ResetEchoLines();
    core_.ClearImage();
    links_.redraw_panels();
    if (slider_) slider_->setValue(0);
  }
  surface_.ImageChanged();
  surface_.Widget()->update();
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
  const std::string chosen = prompts_.AskFile(request);
  if (!chosen.empty()) core_.StartRecording(chosen);
}

void PlaybackStrip::ToggleCopy() {
  if (core_.Copying()) {
    core_.StopCopy();
    return;
  }
  FileDialogRequest request{kCopyDialogTitle, kSonarFileFilter, kSonarFileExtension, true};
  const std::string chosen = prompts_.AskFile(request);
  if (!chosen.empty()) core_.StartCopy(chosen);
}

// ---------------------------------------------------------------- pacing

void PlaybackStrip::Schedule(int delay_ms) {
  if (links_.closed() || state_.RunMode != 1 || state_.HoldActive || !core_.PlaybackOpen()) return;
  if (!capture_path_.empty()) return;  // a frame capture pauses playback; it goes on after
  timer_.start(delay_ms);
}

void PlaybackStrip::PlayNext() {
  if (links_.closed() || state_.RunMode != 1 || state_.HoldActive || !core_.PlaybackOpen()) return;
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
  } while (delay == 0 && budget.elapsed() < 4 && capture_path_.empty());
  links_.panels_changed();
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
  surface_.ImageChanged();
}

void PlaybackStrip::CreateSlider() {
  if (slider_ || !core_.PlaybackOpen()) return;
  QSlider* s = new QSlider(Qt::Horizontal, surface_.Widget());
  s->setObjectName("Trackbar Control");
  s->setRange(0, 100);
  s->setPageStep(10);
  s->setTickInterval(10);
  s->setTickPosition(QSlider::TicksBelow);
  s->setValue(0);
  s->setFocusPolicy(Qt::NoFocus);
  s->setGeometry(620, 43, 154, 20);
  QObject::connect(s, &QSlider::valueChanged, surface_.Widget(), [this](int v) {
    Seek(v);
    surface_.Widget()->setFocus();
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
  surface_.UpdateRect(361, 533, 441, 551);
}

void PlaybackStrip::StepPlotSpeed(bool up) {
  if (up) core_.PlotSpeedUp(); else core_.PlotSpeedDown();
  surface_.UpdateRect(251, 533, 353, 551);
}

void PlaybackStrip::Paint(QPainter& p) {
  const int len = PlotSpeedBarLength(state_.PlotSpeed);
  Box(p, 266, 533, 336, 550, picture_.Pal(125), picture_.Pal(122));
  if (len > 0) p.fillRect(QRect(267, 534, len, 15), picture_.Pal(123));
  p.save();
  p.setFont(SmallFont());
  p.setPen(picture_.Pal(125));
  p.drawText(275, 535 + p.fontMetrics().ascent(), "Plot Speed");
  p.restore();
  links_.paint_arrow(p, kPlayRight);
  links_.paint_arrow(p, kPlayLeft);
  if (state_.ReverseAvailable) {
    PaintCheckBox(p, 361, 534, state_.ReversePlayback != 0);
    ShadowText(p, 377, 533, "Reverse", Qt::white, picture_.Pal(125));
  }
}

// ---------------------------------------------------------------- frame captures

void PlaybackStrip::CaptureFrame() {
  if (!core_.PlaybackOpen() || !capture_path_.empty()) return;
  // The name is shown in the strip over the image's foot for a second and a half,
  // playback paused, then the frame is written with the name on it; the wait
  // cursor shows meanwhile.
  capture_path_ = NextPlaybackCaptureName(state_.PlaybackFilePath.get());
  capture_note_ = capture_path_;
  timer_.stop();
  ShowCaptureCursor(true);
  surface_.Widget()->repaint(3, 492, 597, 18);
  QTimer::singleShot(kCaptureNoteMs, &timer_, [this] { WriteCapturedFrame(); });
}

void PlaybackStrip::WriteCapturedFrame() {
  if (!links_.closed() && state_.RunMode == 1 && core_.PlaybackOpen())
    WriteBmp24(capture_path_, links_.capture_window());
  capture_path_.clear();
  capture_note_.clear();
  surface_.Widget()->update(3, 492, 597, 18);
  ShowCaptureCursor(false);
  Schedule(0);
}

void PlaybackStrip::PaintCaptureNote(QPainter& p) {
  if (capture_note_.empty()) return;
  p.fillRect(QRect(3, 492, 597, 18), picture_.Pal(126));
  p.setPen(Qt::white);
  p.drawText(5, 494 + p.fontMetrics().ascent(), QString::fromStdString(capture_note_));
}
