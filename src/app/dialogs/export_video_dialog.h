// SPDX-License-Identifier: GPL-3.0-or-later
// File > "Export Video...": asks for the recording (the one playing, by default),
// the video file, the speed and the time span, and makes the video on a worker
// thread with the code of `q47v video`, showing its progress with a Cancel button.
// The worker plays the file with its own state; only the colour table, the units
// and the GPS display are taken from the window's settings.
#pragma once

#include "dialogs/export_dialog_base.h"

struct AppState;
class QDoubleSpinBox;

class ExportVideoDialog : public ExportDialogBase {
  Q_OBJECT
 public:
  ExportVideoDialog(const AppState& state, QWidget* parent);

  bool StartExport() override;

  QDoubleSpinBox* SpeedField() const { return speed_; }
  QLineEdit* FromField() const { return from_; }
  QLineEdit* ToField() const { return to_; }

 private:
  const AppState& state_;
  QDoubleSpinBox* speed_ = nullptr;
  QLineEdit* from_ = nullptr;
  QLineEdit* to_ = nullptr;
};

// Shows the one dialog of the window, making it on first use; the recording field
// is set to the file playing when no export runs.
ExportVideoDialog* ShowExportVideoDialog(QWidget* window, const AppState& state);
