// SPDX-License-Identifier: GPL-3.0-or-later
// File > "Export Video...": asks for the recording (the one playing, by default),
// the video file, the speed and the time span, and makes the video on a worker
// thread with the code of `q47v video`, showing its progress with a Cancel button.
// The dialog is modeless: the live picture and playback go on meanwhile. The
// worker plays the file with its own state; only the colour table, the units and
// the GPS display are taken from the window's settings.
#pragma once

#include <QDialog>
#include <atomic>
#include <memory>
#include <thread>

struct AppState;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class ExportVideoDialog : public QDialog {
  Q_OBJECT
 public:
  ExportVideoDialog(const AppState& state, QWidget* parent);
  ~ExportVideoDialog() override;  // cancels a running export and waits for it

  // Starts the export with the fields' values; false (and the reason shown) when
  // a field is wrong or an export runs.
  bool StartExport();
  void CancelExport();
  bool Running() const { return worker_.joinable(); }

  QLineEdit* RecordingField() const { return recording_; }
  QLineEdit* OutputField() const { return output_; }
  QDoubleSpinBox* SpeedField() const { return speed_; }
  QLineEdit* FromField() const { return from_; }
  QLineEdit* ToField() const { return to_; }
  QProgressBar* Progress() const { return progress_; }
  QLabel* MessageLabel() const { return message_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* CancelButton() const { return cancel_; }

 signals:
  void ExportFinished(bool ok, QString message);

 private:
  void Finished(bool ok, const QString& message);

  const AppState& state_;
  QLineEdit* recording_ = nullptr;
  QLineEdit* output_ = nullptr;
  QDoubleSpinBox* speed_ = nullptr;
  QLineEdit* from_ = nullptr;
  QLineEdit* to_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::thread worker_;
  std::atomic<bool> cancel_requested_{false};
};

// Shows the one dialog of the window, making it on first use; the recording field
// is set to the file playing when no export runs.
ExportVideoDialog* ShowExportVideoDialog(QWidget* window, const AppState& state);
