// SPDX-License-Identifier: GPL-3.0-or-later
// The auto-profile scan dialogs: SNAPSHOT "Auto-Profile (Vertical Scan)" and
// SNAPSHOT2 "Auto-Profile (Horizontal Scan)". They differ only in their labels, so
// one class builds both from the form the core hands over. The dialog keeps pending
// values while it is open and reports what the user did as a SnapshotAnswer; the
// comm thread applies it.
#pragma once

#include <QDialog>
#include <array>
#include <map>
#include <string>

#include "outputs/outputs_display.h"

class QCheckBox;
class QLineEdit;
class QLabel;

class SnapshotDialog : public QDialog {
  Q_OBJECT
 public:
  // Control ids: 10 "Auto-Profile Enable", fields 100..400 (spins 1000..4000),
  // 500 XYZ, 501 BMP, 502 save confirmation, 503 prompt for another scan.
  SnapshotDialog(const SnapshotForm& form, QWidget* parent);

  void Click(int id);                 // a check box, as a mouse click would
  void Spin(int field_id, int direction);  // +1 up arrow, -1 down arrow
  void SetBox(int id, bool on) {
    if (IsChecked(id) != on) Click(id);
  }
  void PressOk();
  void PressDefaults();

  QLineEdit* Field(int id) const;     // 100, 200, 300, 400
  std::string Label(int id) const;    // the text beside a field
  std::string UnitText() const;       // "Meters" or "Feet"
  std::string GroupTitle() const;     // "Dredge Line" or "Auto-Elevation"
  bool IsChecked(int id) const;
  bool IsPushedIn(int id) const;      // the confirmation box in its inactive look
  float Pending(int field_id) const;

  // What the user did; valid after the dialog closed (Accepted or not).
  const SnapshotAnswer& Answer() const { return answer_; }

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void BoxClicked(int id);  // the rules, after the box took its new state
  void ShowValue(int index);
  void ShowConfirm();
  QCheckBox* Box(int id) const;

  SnapshotAnswer answer_;
  std::array<float, 4> pending_{};
  std::array<QLineEdit*, 4> fields_{};
  std::array<QLabel*, 4> labels_{};
  std::map<int, QCheckBox*> boxes_;
  QLabel* unit_ = nullptr;
  class QGroupBox* field_group_ = nullptr;
  class QGridLayout* values_grid_ = nullptr;
  bool aligned_ = false;
  int confirm_ = 1;  // 0, 1, or 2: inactive (pushed in)
};
