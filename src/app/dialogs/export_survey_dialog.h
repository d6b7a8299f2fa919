// SPDX-License-Identifier: GPL-3.0-or-later
// File > "Export Survey..." and "Export GPS Track...": a chosen recording written
// for GIS and CAD with the code of `q47v export` and `q47v track`, on a worker
// thread, with its progress, a Cancel button and a summary box at the end. The
// survey takes the geometry, the format, the CRS, the heading and the antenna
// offset; the track the format. The dialogs are modeless: the live picture and
// playback go on meanwhile. Settings the recording does not carry are read from
// the window's settings file, as the window reads them.
#pragma once

#include <QDialog>
#include <atomic>
#include <thread>

struct AppState;
class QComboBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QPushButton;

class GeoExportDialog : public QDialog {
  Q_OBJECT
 public:
  enum class Kind { kSurvey, kTrack };
  GeoExportDialog(Kind kind, QWidget* parent);
  ~GeoExportDialog() override;  // cancels a running export and waits for it

  // Starts the export with the fields' values; false (and the reason shown) when
  // a field is wrong or an export runs.
  bool StartExport();
  void CancelExport();
  bool Running() const { return worker_.joinable(); }
  Kind ExportKind() const { return kind_; }
  // Sets the recording and an output name beside it in the chosen format.
  void SetRecording(const QString& path);

  QLineEdit* RecordingField() const { return recording_; }
  QLineEdit* OutputField() const { return output_; }
  QComboBox* GeometryField() const { return geometry_; }  // survey only
  QComboBox* FormatField() const { return format_; }
  QLineEdit* CrsField() const { return crs_; }
  QLineEdit* HeadingField() const { return heading_; }
  QLineEdit* OffsetField() const { return offset_; }
  QProgressBar* Progress() const { return progress_; }
  QLabel* MessageLabel() const { return message_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* CancelButton() const { return cancel_; }
  // The summary box of the last export, while it is open.
  QMessageBox* SummaryBox() const { return summary_; }

 signals:
  void ExportFinished(bool ok, QString message);

 private:
  void Finished(int status, const QString& message, const QString& details);

  Kind kind_;
  QLineEdit* recording_ = nullptr;
  QLineEdit* output_ = nullptr;
  QComboBox* geometry_ = nullptr;
  QComboBox* format_ = nullptr;
  QLineEdit* crs_ = nullptr;
  QLineEdit* heading_ = nullptr;
  QLineEdit* offset_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QMessageBox* summary_ = nullptr;
  std::thread worker_;
  std::atomic<bool> cancel_requested_{false};
};

// Shows the window's one dialog of the kind, making it on first use; the
// recording field is set to the file playing when no export runs.
GeoExportDialog* ShowGeoExportDialog(QWidget* window, const AppState& state, GeoExportDialog::Kind kind);
