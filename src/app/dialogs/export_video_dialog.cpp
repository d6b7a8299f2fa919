// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/export_video_dialog.h"

#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

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

ExportVideoDialog::ExportVideoDialog(const AppState& state, QWidget* parent)
    : ExportDialogBase(parent), state_(state) {
  setObjectName("ExportVideoDialog");
  setWindowTitle("Export Video");
  speed_ = new QDoubleSpinBox(this);
  speed_->setRange(0.1, 100.0);
  speed_->setDecimals(1);
  speed_->setValue(1.0);
  speed_->setSuffix(" x");
  from_ = new QLineEdit(this);
  to_ = new QLineEdit(this);
  from_->setPlaceholderText("HH:MM:SS (start of file)");
  to_->setPlaceholderText("HH:MM:SS (end of file)");

  auto* form = new QFormLayout;
  form->addRow("Recording (.47V):", RecordingRow());
  form->addRow("Video (.mp4, .mkv, .webm):", OutputRow());
  form->addRow("Speed:", speed_);
  form->addRow("From:", from_);
  form->addRow("To:", to_);
  LayOut(form, 520);

  connect(BrowseRecordingButton(), &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getOpenFileName(this, "Recording to Export", RecordingField()->text(),
                                                   "Q47V Sonar Files (*.47V *.47v)");
    if (f.isEmpty()) return;
    RecordingField()->setText(f);
    OutputField()->setText(VideoNameFor(f));
  });
  connect(BrowseOutputButton(), &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getSaveFileName(this, "Export Video", OutputField()->text(),
                                                   "Videos (*.mp4 *.mkv *.webm)");
    if (!f.isEmpty()) OutputField()->setText(f);
  });
}

bool ExportVideoDialog::StartExport() {
  if (Running()) return false;
  q47v::video::VideoRequest req;
  req.input = RecordingField()->text().trimmed().toStdString();
  req.output = OutputField()->text().trimmed().toStdString();
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
    MessageLabel()->setText(problem);
    return false;
  }
  // The worker's own state: the window's colour table, units and GPS display.
  auto worker_state = std::make_shared<AppState>();
  worker_state->Colors = state_.Colors.load();
  worker_state->Units = state_.Units.load();
  worker_state->UseGPS = state_.UseGPS.load();
  Run([this, req, worker_state] {
    const q47v::video::VideoOutcome out = q47v::video::MakeVideo(
        *worker_state, req, [this](const q47v::video::VideoProgress& p) { return ReportProgress(p.percent); }, 100);
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
    QMetaObject::invokeMethod(
        this,
        [this, ok, text] {
          EndRun(ok, text);
          emit ExportFinished(ok, text);
        },
        Qt::QueuedConnection);
  });
  return true;
}

ExportVideoDialog* ShowExportVideoDialog(QWidget* window, const AppState& state) {
  auto* dialog = window->findChild<ExportVideoDialog*>("ExportVideoDialog", Qt::FindDirectChildrenOnly);
  if (!dialog) dialog = new ExportVideoDialog(state, window);
  if (!dialog->Running() && state.RunMode.load() == 1 && state.PlaybackFileOpen.load()) {
    const QString playing = QString::fromStdString(state.PlaybackFileName.get());
    dialog->RecordingField()->setText(playing);
    dialog->OutputField()->setText(VideoNameFor(playing));
  }
  dialog->Present();
  return dialog;
}
