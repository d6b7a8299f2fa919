// SPDX-License-Identifier: GPL-3.0-or-later
// AUTOAZIMUTH "Auto-Azimuth": the run's start, stop and increment angles with spin
// arrows, the estimated scan time, the enable and the .XYZ choice. The angles are
// checked on "Ok" (a warning box each, and the dialog stays open); what the user did
// is reported as an AzimuthAnswer, which the comm thread applies.
#pragma once

#include <QDialog>
#include <map>
#include <string>

#include "outputs/outputs_display.h"

class Prompts;
class QCheckBox;
class QLineEdit;

class AutoAzimuthDialog : public QDialog {
  Q_OBJECT
 public:
  // Control ids: 10 "Auto-Azimuth Enable", fields 100 start, 200 stop, 300
  // increment (spins 1000, 2000, 3000), 401 the estimate, 500 the .XYZ box.
  AutoAzimuthDialog(const AzimuthForm& form, Prompts& prompts, QWidget* parent);

  void Click(int id);                    // 10 or 500, as a mouse click would
  void Spin(int spin_id, int direction); // 1000, 2000, 3000; +1 up, -1 down
  void SetBox(int id, bool on) {
    if (IsChecked(id) != on) Click(id);
  }
  void PressOk();
  void PressDefaults();

  QLineEdit* Field(int id) const;        // 100, 200, 300, 401
  std::string Text(int id) const { return FieldText(id); }
  bool IsChecked(int id) const;
  int PendingSteps(int field_id) const;  // start and stop 0..1199, increment 1..600

  const AzimuthAnswer& Answer() const { return answer_; }

 private:
  std::string FieldText(int id) const;
  void ShowPending();
  void BoxClicked(int id);

  Prompts& prompts_;
  AzimuthForm form_;
  AzimuthAnswer answer_;
  int start_, stop_, inc_;
  std::map<int, QLineEdit*> fields_;
  std::map<int, QCheckBox*> boxes_;
};
