// SPDX-License-Identifier: GPL-3.0-or-later
// What the window's export dialogs (File > "Export Survey...", "Export GPS
// Track...", "Export Video...") share: the recording and output fields with their
// "Browse..." buttons, a progress bar, a message line and the buttons "Export",
// "Cancel" and "Close"; the export runs on a worker thread, so the dialogs are
// modeless and the live picture and playback go on meanwhile.
#pragma once

#include <QDialog>
#include <atomic>
#include <functional>
#include <thread>

class QFormLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class ExportDialogBase : public QDialog {
  Q_OBJECT
 public:
  ~ExportDialogBase() override;  // cancels a running export and waits for it

  // Starts the export with the fields' values; false (and the reason shown) when
  // a field is wrong or an export runs.
  virtual bool StartExport() = 0;
  void CancelExport() { cancel_requested_ = true; }
  bool Running() const { return worker_.joinable(); }
  // Shows the dialog, raised and active.
  void Present();

  QLineEdit* RecordingField() const { return recording_; }
  QLineEdit* OutputField() const { return output_; }
  QProgressBar* Progress() const { return progress_; }
  QLabel* MessageLabel() const { return message_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* CancelButton() const { return cancel_; }

 signals:
  void ExportFinished(bool ok, QString message);

 protected:
  explicit ExportDialogBase(QWidget* parent);

  // The recording and the output field, each in a row with its "Browse..." button
  // (connected by the dialog).
  QHBoxLayout* RecordingRow() const { return recording_row_; }
  QHBoxLayout* OutputRow() const { return output_row_; }
  QPushButton* BrowseRecordingButton() const { return browse_recording_; }
  QPushButton* BrowseOutputButton() const { return browse_output_; }
  // Puts the dialog's form above the progress bar, the message and the buttons.
  void LayOut(QFormLayout* form, int width);
  // Runs `work` on the worker thread, the controls set for a running export.
  void Run(std::function<void()> work);
  // From the worker: shows `percent` on the dialog's thread; false once cancelled.
  bool ReportProgress(int percent);
  // On the dialog's thread when the worker is done: joins it, shows `message` and
  // sets the controls for the next export.
  void EndRun(bool ok, const QString& message);

 private:
  QLineEdit* recording_ = nullptr;
  QLineEdit* output_ = nullptr;
  QPushButton* browse_recording_ = nullptr;
  QPushButton* browse_output_ = nullptr;
  QHBoxLayout* recording_row_ = nullptr;
  QHBoxLayout* output_row_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* close_ = nullptr;
  std::thread worker_;
  std::atomic<bool> cancel_requested_{false};
};
