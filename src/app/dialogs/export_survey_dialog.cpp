// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/export_survey_dialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app_state.h"
#include "settings/settings_io.h"
#include "survey_export.h"

namespace {

using q47v::survey::ExportProgress;

QString NameFor(const QString& recording, const QString& format, GeoExportDialog::Kind kind) {
  if (recording.isEmpty()) return {};
  const int dot = recording.lastIndexOf('.');
  const int slash = recording.lastIndexOf('/');
  const QString stem = dot > slash ? recording.left(dot) : recording;
  return stem + (kind == GeoExportDialog::Kind::kTrack ? "-track." : ".") + format;
}

// The output's name with the extension of `format` in place of a known one.
QString WithExtension(const QString& path, const QString& format, const std::vector<std::string>& formats) {
  const int dot = path.lastIndexOf('.');
  const int slash = path.lastIndexOf('/');
  if (dot > slash) {
    const std::string ext = path.mid(dot + 1).toLower().toStdString();
    for (const std::string& f : formats)
      if (f == ext) return path.left(dot + 1) + format;
  }
  return path;
}

QString Lines(const std::vector<std::string>& lines) {
  QStringList list;
  for (const std::string& l : lines) list << QString::fromStdString(l);
  return list.join('\n');
}

}  // namespace

GeoExportDialog::GeoExportDialog(Kind kind, QWidget* parent) : ExportDialogBase(parent), kind_(kind) {
  const bool survey = kind == Kind::kSurvey;
  setObjectName(survey ? "ExportSurveyDialog" : "ExportTrackDialog");
  setWindowTitle(survey ? "Export Survey" : "Export GPS Track");
  const std::vector<std::string>& formats =
      survey ? q47v::survey::SurveyExportFormats() : q47v::survey::TrackExportFormats();
  format_ = new QComboBox(this);
  for (const std::string& f : formats) format_->addItem(QString::fromStdString(f));
  if (survey) {
    geometry_ = new QComboBox(this);
    geometry_->addItems({"vertical", "horizontal", "azimuth"});
    crs_ = new QLineEdit(this);
    crs_->setPlaceholderText("UTM zone of the first fix; EPSG:NNNN; local");
    heading_ = new QLineEdit(this);
    heading_->setPlaceholderText("degrees (for pings without the orientation module's)");
    offset_ = new QLineEdit(this);
    offset_->setPlaceholderText("0,0,0");
  }

  auto* form = new QFormLayout;
  form->addRow("Recording (.47V):", RecordingRow());
  if (survey) form->addRow("Geometry:", geometry_);
  form->addRow("Format:", format_);
  form->addRow("Output file:", OutputRow());
  if (survey) {
    form->addRow("CRS:", crs_);
    form->addRow("Heading:", heading_);
    form->addRow("Antenna offset (m, right,forward,up):", offset_);
  }
  LayOut(form, 560);

  connect(BrowseRecordingButton(), &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getOpenFileName(this, "Recording to Export", RecordingField()->text(),
                                                   "Q47V Sonar Files (*.47V *.47v)");
    if (!f.isEmpty()) SetRecording(f);
  });
  connect(BrowseOutputButton(), &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getSaveFileName(this, windowTitle(), OutputField()->text(),
                                                   QString("%1 files (*.%1)").arg(format_->currentText()));
    if (!f.isEmpty()) OutputField()->setText(f);
  });
  connect(format_, &QComboBox::currentTextChanged, this, [this, formats](const QString& f) {
    OutputField()->setText(WithExtension(OutputField()->text(), f, formats));
  });
}

void GeoExportDialog::SetRecording(const QString& path) {
  RecordingField()->setText(path);
  OutputField()->setText(NameFor(path, format_->currentText(), kind_));
}

bool GeoExportDialog::StartExport() {
  if (Running()) return false;
  const std::string recording = RecordingField()->text().trimmed().toStdString();
  const std::string output = OutputField()->text().trimmed().toStdString();
  QString problem;
  if (recording.empty()) problem = "Choose the recording to export.";
  else if (output.empty()) problem = "Choose the file to write.";
  q47v::survey::SurveyExportRequest survey;
  if (problem.isEmpty() && kind_ == Kind::kSurvey) {
    survey.Recording = recording;
    survey.Out = output;
    survey.Format = format_->currentText().toStdString();
    const QString g = geometry_->currentText();
    survey.Geometry = g == "horizontal" ? SurveyGeometry::kHorizontal
                      : g == "azimuth"  ? SurveyGeometry::kAzimuth
                                        : SurveyGeometry::kVertical;
    survey.Crs = crs_->text().trimmed().toStdString();
    survey.HeadingName = "the heading";
    const QString heading = heading_->text().trimmed();
    if (!heading.isEmpty()) {
      bool ok = false;
      const double h = heading.toDouble(&ok);
      if (ok) survey.Heading = h;
      else problem = "The heading is in degrees clockwise from north.";
    }
    const QString offset = offset_->text().trimmed();
    if (!offset.isEmpty() && problem.isEmpty()) {
      const QStringList parts = offset.split(',');
      bool ok = parts.size() == 3;
      double v[3] = {0, 0, 0};
      for (int i = 0; ok && i < 3; ++i) v[i] = parts[i].trimmed().toDouble(&ok);
      if (ok) {
        survey.Dx = v[0];
        survey.Dy = v[1];
        survey.Dz = v[2];
      } else {
        problem = "The antenna offset is DX,DY,DZ in metres (right, forward, up).";
      }
    }
    // The settings the recording does not carry, as the window reads them.
    std::error_code ec;
    if (std::filesystem::is_regular_file(kSettingsFileName, ec)) survey.Ini = kSettingsFileName;
  }
  if (!problem.isEmpty()) {
    MessageLabel()->setText(problem);
    return false;
  }
  const q47v::survey::TrackExportRequest track{recording, output, format_->currentText().toStdString()};
  const Kind kind = kind_;
  Run([this, kind, survey, track] {
    auto progress = [this](const ExportProgress& p) { return ReportProgress(p.Percent()); };
    auto notes = std::make_shared<std::vector<std::string>>();
    int status;
    std::string error;
    std::vector<std::string> files, summary;
    if (kind == Kind::kSurvey) {
      q47v::survey::SurveyExportRequest request = survey;
      request.Message = [notes](const std::string& m) { notes->push_back(m); };
      const q47v::survey::SurveyExportOutcome out = q47v::survey::ExportSurvey(request, progress);
      status = out.Status;
      error = out.Error;
      files = out.Files;
      summary = out.Summary;
    } else {
      const q47v::survey::TrackExportOutcome out = q47v::survey::ExportTrack(track, progress);
      status = out.Status;
      error = out.Error;
      files = out.Files;
      summary = out.Summary;
    }
    QString text, details;
    if (status == 0) {
      text = files.empty() ? Lines(summary) : Lines(files) + "\n" + Lines(summary);
    } else if (status == 3) {
      text = "Cancelled; nothing written.";
    } else {
      text = QString::fromStdString(error.empty() && !notes->empty() ? notes->back() : error) +
             "\nNothing written.";
    }
    if (!notes->empty()) details = Lines(*notes);
    QMetaObject::invokeMethod(this, [this, status, text, details] { Finished(status, text, details); },
                              Qt::QueuedConnection);
  });
  return true;
}

void GeoExportDialog::Finished(int status, const QString& message, const QString& details) {
  EndRun(status == 0, message);
  if (status != 3) {
    if (summary_) summary_->close();
    summary_ = new QMessageBox(status == 0 ? QMessageBox::Information : QMessageBox::Warning, windowTitle(),
                               message, QMessageBox::Ok, this);
    summary_->setObjectName("ExportSummary");
    summary_->setAttribute(Qt::WA_DeleteOnClose);
    if (!details.isEmpty()) summary_->setDetailedText(details);
    summary_->open();
  }
  emit ExportFinished(status == 0, message);
}

GeoExportDialog* ShowGeoExportDialog(QWidget* window, const AppState& state, GeoExportDialog::Kind kind) {
  const char* name = kind == GeoExportDialog::Kind::kSurvey ? "ExportSurveyDialog" : "ExportTrackDialog";
  auto* dialog = window->findChild<GeoExportDialog*>(name, Qt::FindDirectChildrenOnly);
  if (!dialog) dialog = new GeoExportDialog(kind, window);
  if (!dialog->Running() && state.RunMode.load() == 1 && state.PlaybackFileOpen.load())
    dialog->SetRecording(QString::fromStdString(state.PlaybackFileName.get()));
  dialog->Present();
  return dialog;
}
