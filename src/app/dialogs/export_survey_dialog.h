// SPDX-License-Identifier: GPL-3.0-or-later
// File > "Export Survey..." and "Export GPS Track...": a chosen recording written
// for GIS and CAD with the code of `q47v export` and `q47v track`, on a worker
// thread, with its progress, a Cancel button and a summary box at the end. The
// survey takes the geometry, the format, the CRS, the heading and the antenna
// offset; the track the format. The dialogs are modeless: the live picture and
// playback go on meanwhile. Settings the recording does not carry are read from
// the window's settings file, as the window reads them.
#pragma once

#include <QMessageBox>
#include <QPointer>

#include "dialogs/export_dialog_base.h"

struct AppState;
class QComboBox;

class GeoExportDialog : public ExportDialogBase {
  Q_OBJECT
 public:
  enum class Kind { kSurvey, kTrack };
  GeoExportDialog(Kind kind, QWidget* parent);

  bool StartExport() override;
  Kind ExportKind() const { return kind_; }
  // Sets the recording and an output name beside it in the chosen format.
  void SetRecording(const QString& path);

  QComboBox* GeometryField() const { return geometry_; }  // survey only
  QComboBox* FormatField() const { return format_; }
  QLineEdit* CrsField() const { return crs_; }
  QLineEdit* HeadingField() const { return heading_; }
  QLineEdit* OffsetField() const { return offset_; }
  // The summary box of the last export, while it is open.
  QMessageBox* SummaryBox() const { return summary_; }

 private:
  void Finished(int status, const QString& message, const QString& details);

  Kind kind_;
  QComboBox* geometry_ = nullptr;
  QComboBox* format_ = nullptr;
  QLineEdit* crs_ = nullptr;
  QLineEdit* heading_ = nullptr;
  QLineEdit* offset_ = nullptr;
  QPointer<QMessageBox> summary_;  // null once the box is closed (it deletes itself)
};

// Shows the window's one dialog of the kind, making it on first use; the
// recording field is set to the file playing when no export runs.
GeoExportDialog* ShowGeoExportDialog(QWidget* window, const AppState& state, GeoExportDialog::Kind kind);
