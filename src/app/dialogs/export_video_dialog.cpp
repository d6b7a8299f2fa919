// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/export_video_dialog.h"

#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app_state.h"
#include "video_export.h"

namespace {

QString VideoNameFor(const QString& recording) {
  if (recording.isEmpty()) return {};
  const int dot = recording.lastIndexOf('.');
  const int slash = recording.lastIndexOf('/');
  return (dot > slash ? recording.left(dot) : recording) + ".mp4";
}

}  // namespace

ExportVideoDialog::ExportVideoDialog(const AppState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setObjectName("ExportVideoDialog");
  setWindowTitle("Export Video");
  recording_ = new QLineEdit(this);
  output_ = new QLineEdit(this);
  auto* browse_in = new QPushButton("Browse...", this);
  auto* browse_out = new QPushButton("Browse...", this);
  speed_ = new QDoubleSpinBox(this);
  speed_->setRange(0.1, 100.0);
  speed_->setDecimals(1);
  speed_->setValue(1.0);
  speed_->setSuffix(" x");
  from_ = new QLineEdit(this);
  to_ = new QLineEdit(this);
  from_->setPlaceholderText("HH:MM:SS (start of file)");
  to_->setPlaceholderText("HH:MM:SS (end of file)");
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  message_ = new QLabel(this);
  message_->setWordWrap(true);
  start_ = new QPushButton("Export", this);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setEnabled(false);
  auto* close = new QPushButton("Close", this);

  auto row = [this](QLineEdit* field, QPushButton* button) {
    auto* box = new QHBoxLayout;
    box->addWidget(field, 1);
    box->addWidget(button);
    return box;
  };
  auto* form = new QFormLayout;
  form->addRow("Recording (.47V):", row(recording_, browse_in));
  form->addRow("Video (.mp4, .mkv, .webm):", row(output_, browse_out));
  form->addRow("Speed:", speed_);
  form->addRow("From:", from_);
  form->addRow("To:", to_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(start_);
  buttons->addWidget(cancel_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(progress_);
  layout->addWidget(message_);
  layout->addLayout(buttons);
  resize(520, sizeHint().height());

  connect(browse_in, &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getOpenFileName(this, "Recording to Export", recording_->text(),
                                                   "Q47V Sonar Files (*.47V *.47v)");
    if (f.isEmpty()) return;
    recording_->setText(f);
    output_->setText(VideoNameFor(f));
  });
  connect(browse_out, &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getSaveFileName(this, "Export Video", output_->text(),
                                                   "Videos (*.mp4 *.mkv *.webm)");
    if (!f.isEmpty()) output_->setText(f);
  });
  connect(start_, &QPushButton::clicked, this, [this] { StartExport(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { CancelExport(); });
  connect(close, &QPushButton::clicked, this, &QDialog::hide);
}

ExportVideoDialog::~ExportVideoDialog() {
  cancel_requested_ = true;
  if (worker_.joinable()) worker_.join();
}

bool ExportVideoDialog::StartExport() {
  if (Running()) return false;
  q47v::video::VideoRequest req;
  req.input = recording_->text().trimmed().toStdString();
  req.output = output_->text().trimmed().toStdString();
  req.speed = speed_->value();
  q47v::video::Container container;
  QString problem;
  if (req.input.empty()) problem = "Choose the recording to export.";
  else if (!q47v::video::ContainerForPath(req.output, container))
    problem = "The video name must end in .mp4, .mkv or .webm.";
  for (QLineEdit* field : {from_, to_}) {
    const std::string text = field->text().trimmed().toStdString();
    if (text.empty() || !problem.isEmpty()) continue;
    const auto t = q47v::video::ParseClockTime(text);
    if (!t) problem = "Times are HH:MM:SS (or HH:MM:SS.hh).";
    else (field == from_ ? req.from : req.to) = t;
  }
  if (problem.isEmpty() && req.from && req.to && *req.to < *req.from) problem = "\"To\" lies before \"From\".";
  if (!problem.isEmpty()) {
    message_->setText(problem);
    return false;
  }
  // The worker's own state: the window's colour table, units and GPS display.
  auto worker_state = std::make_shared<AppState>();
  worker_state->Colors = state_.Colors.load();
  worker_state->Units = state_.Units.load();
  worker_state->UseGPS = state_.UseGPS.load();
  cancel_requested_ = false;
  progress_->setValue(0);
  message_->setText("Exporting...");
  start_->setEnabled(false);
  cancel_->setEnabled(true);
  worker_ = std::thread([this, req, worker_state] {
    const q47v::video::VideoOutcome out = q47v::video::MakeVideo(
        *worker_state, req,
        [this](const q47v::video::VideoProgress& p) {
          const int percent = p.percent;
          QMetaObject::invokeMethod(this, [this, percent] { progress_->setValue(percent); }, Qt::QueuedConnection);
          return !cancel_requested_.load();
        },
        100);
    QString text;
    if (out.status == 0)
      text = QString("%1: %2 frames, %3 s of video, made %4 times faster than real time.")
                 .arg(QString::fromStdString(req.output))
                 .arg(out.frames)
                 .arg(out.video_seconds, 0, 'f', 2)
                 .arg(out.wall_seconds > 0 ? out.recording_seconds / out.wall_seconds : 0.0, 0, 'f', 1);
    else if (out.status == 3)
      text = "Cancelled; no video written.";
    else
      text = QString::fromStdString(out.error) + "; no video written.";
    const bool ok = out.status == 0;
    QMetaObject::invokeMethod(this, [this, ok, text] { Finished(ok, text); }, Qt::QueuedConnection);
  });
  return true;
}

void ExportVideoDialog::CancelExport() { cancel_requested_ = true; }

void ExportVideoDialog::Finished(bool ok, const QString& message) {
  if (worker_.joinable()) worker_.join();
  if (ok) progress_->setValue(100);
  message_->setText(message);
  start_->setEnabled(true);
  cancel_->setEnabled(false);
  emit ExportFinished(ok, message);
}

ExportVideoDialog* ShowExportVideoDialog(QWidget* window, const AppState& state) {
  auto* dialog = window->findChild<ExportVideoDialog*>("ExportVideoDialog", Qt::FindDirectChildrenOnly);
  if (!dialog) dialog = new ExportVideoDialog(state, window);
  if (!dialog->Running() && state.RunMode.load() == 1 && state.PlaybackFileOpen.load()) {
    const QString playing = QString::fromStdString(state.PlaybackFileName.get());
    dialog->RecordingField()->setText(playing);
    dialog->OutputField()->setText(VideoNameFor(playing));
  }
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  return dialog;
}
