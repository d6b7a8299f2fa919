// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/snapshot_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>

#include "outputs/auto_profile.h"
#include "settings/settings_io.h"
#include "dialogs/dialog_buttons.h"
#include "dialogs/spin_arrows.h"

namespace {

// The save confirmation box: a click on it in its inactive (pushed-in) look leaves
// it so; otherwise a click toggles it between checked and unchecked.
class ConfirmBox final : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override {
    if (checkState() == Qt::PartiallyChecked) return;
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
};

std::string Format62(float v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%6.2f", static_cast<double>(v));
  return buf;
}

// A typed field: up to 8 characters, read leniently; what is not a finite number
// counts as 0 (a NaN or an infinity would reach the survey files as text).
float ReadField(const QString& text) {
  const float v = ParseLenientFloat(text.left(8).toStdString());
  return std::isfinite(v) ? v : 0.0f;
}

}  // namespace

SnapshotDialog::SnapshotDialog(const SnapshotForm& form, QWidget* parent) : QDialog(parent) {
  setWindowTitle(form.Vertical ? kVerticalScanTitle : kHorizontalScanTitle);
  setModal(true);
  answer_.Enabled = form.Enabled;
  answer_.Values = form.Values;
  answer_.Xyz = form.Xyz;
  answer_.Bmp = form.Bmp;
  answer_.Prompt = form.Prompt;
  pending_ = form.Values;
  // Neither file chosen: nothing to confirm, the box is pushed in.
  confirm_ = (form.Xyz || form.Bmp) ? (form.Confirm ? 1 : 0) : 2;

  const char* const vertical_labels[4] = {"Chainage:", "Sonar Elevation:", "Sonar Offset:", "Depth Below Sonar:"};
  const char* const horizontal_labels[4] = {"Sonar Y Offset:", "Sonar Elevation:", "Sonar X Offset:",
                                            "Payout Increment:"};
  const char* const* labels = form.Vertical ? vertical_labels : horizontal_labels;
  const char* unit = form.Units == 1 ? "Feet" : "Meters";

  auto* top = new QVBoxLayout(this);
  auto* enable = new QCheckBox("Auto-Profile Enable");
  boxes_[10] = enable;
  top->addWidget(enable);

  auto add_field = [&](QGridLayout* grid, int row, int index) {
    const int id = 100 * (index + 1);
    labels_[static_cast<size_t>(index)] = new QLabel(labels[index]);
    grid->addWidget(labels_[static_cast<size_t>(index)], row, 0);
    auto* field = new QLineEdit;
    field->setMaxLength(8);
    field->setFixedWidth(field->fontMetrics().horizontalAdvance("-00000.00") + 12);
    fields_[static_cast<size_t>(index)] = field;
    grid->addWidget(field, row, 1);
    grid->addWidget(SpinArrows(this, field->sizeHint().height(), [this, id](int dir) { Spin(id, dir); }), row, 2);
    auto* u = new QLabel(unit);
    if (index == 0) unit_ = u;
    grid->addWidget(u, row, 3);
    // Every change of the text, typed or shown, is the pending value.
    connect(field, &QLineEdit::textChanged, this,
            [this, index](const QString& text) { pending_[static_cast<size_t>(index)] = ReadField(text); });
  };
  auto* values = new QGridLayout;
  values_grid_ = values;
  for (int i = 0; i < 3; ++i) add_field(values, i, i);
  values->setColumnStretch(4, 1);
  top->addLayout(values);
  field_group_ = new QGroupBox(form.Vertical ? "Dredge Line" : "Auto-Elevation");
  auto* group_grid = new QGridLayout(field_group_);
  add_field(group_grid, 0, 3);
  group_grid->setColumnStretch(4, 1);
  top->addWidget(field_group_);

  auto* after = new QGroupBox("After each scan...");
  auto* after_layout = new QVBoxLayout(after);
  const char* const box_texts[4] = {"Generate ASCII file (.XYZ)", "Generate screen capture (.BMP)",
                                    "Save scan confirmation", "Prompt for another scan"};
  for (int i = 0; i < 4; ++i) {
    QCheckBox* b = i == 2 ? new ConfirmBox(box_texts[i]) : new QCheckBox(box_texts[i]);
    if (i == 2) b->setTristate(true);
    boxes_[500 + i] = b;
    after_layout->addWidget(b);
  }
  top->addWidget(after);

  top->addLayout(OkDefaultsCancelRow(this, [this] { PressOk(); }, [this] { PressDefaults(); }));

  enable->setChecked(form.Enabled);
  Box(500)->setChecked(form.Xyz);
  Box(501)->setChecked(form.Bmp);
  Box(503)->setChecked(form.Prompt);
  ShowConfirm();
  for (int i = 0; i < 4; ++i) ShowValue(i);
  // The boxes are read back from the controls; a click runs the rules.
  for (int id : {10, 500, 501, 502, 503})
    connect(Box(id), &QCheckBox::clicked, this, [this, id] { BoxClicked(id); });
}

void SnapshotDialog::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (aligned_) return;
  aligned_ = true;
  // The fourth field sits inside its group, further right: the three above move
  // over so that all four line up.
  const int dx = fields_[3]->mapTo(this, QPoint()).x() - fields_[0]->mapTo(this, QPoint()).x();
  if (dx > 0) values_grid_->setColumnMinimumWidth(0, values_grid_->cellRect(0, 0).width() + dx);
}

QCheckBox* SnapshotDialog::Box(int id) const {
  auto it = boxes_.find(id);
  return it == boxes_.end() ? nullptr : it->second;
}

QLineEdit* SnapshotDialog::Field(int id) const {
  const int index = id / 100 - 1;
  return (id % 100 == 0 && index >= 0 && index < 4) ? fields_[static_cast<size_t>(index)] : nullptr;
}

std::string SnapshotDialog::Label(int id) const {
  const int index = id / 100 - 1;
  return (index >= 0 && index < 4) ? labels_[static_cast<size_t>(index)]->text().toStdString() : std::string();
}

std::string SnapshotDialog::UnitText() const { return unit_->text().toStdString(); }
std::string SnapshotDialog::GroupTitle() const { return field_group_->title().toStdString(); }

bool SnapshotDialog::IsChecked(int id) const {
  const QCheckBox* b = Box(id);
  return b && b->checkState() == Qt::Checked;
}

bool SnapshotDialog::IsPushedIn(int id) const {
  const QCheckBox* b = Box(id);
  return b && b->checkState() == Qt::PartiallyChecked;
}

float SnapshotDialog::Pending(int field_id) const {
  const int index = field_id / 100 - 1;
  return (index >= 0 && index < 4) ? pending_[static_cast<size_t>(index)] : 0.0f;
}

void SnapshotDialog::ShowValue(int index) {
  fields_[static_cast<size_t>(index)]->setText(QString::fromStdString(Format62(pending_[static_cast<size_t>(index)])));
}

void SnapshotDialog::ShowConfirm() {
  Box(502)->setCheckState(confirm_ == 2 ? Qt::PartiallyChecked : (confirm_ == 1 ? Qt::Checked : Qt::Unchecked));
}

void SnapshotDialog::Click(int id) {
  if (QCheckBox* b = Box(id)) b->click();
}

void SnapshotDialog::BoxClicked(int id) {
  QCheckBox* b = Box(id);
  const bool xyz = IsChecked(500), bmp = IsChecked(501);
  switch (id) {
    case 500:
    case 501:
      if (b->isChecked()) confirm_ = 1;          // something to save: confirm it
      else if (!xyz && !bmp) confirm_ = 2;       // nothing left: pushed in
      break;
    case 502:
      if (confirm_ != 2) confirm_ = confirm_ == 1 ? 0 : 1;
      break;
    default:
      break;
  }
  ShowConfirm();
}

void SnapshotDialog::Spin(int field_id, int direction) {
  const int index = field_id / 100 - 1;
  if (index < 0 || index > 3) return;
  pending_[static_cast<size_t>(index)] += direction > 0 ? 0.1f : -0.1f;
  ShowValue(index);
}

void SnapshotDialog::PressDefaults() {
  // Takes effect at once (auto-profile off, the four after-scan settings on), even
  // when the dialog is then cancelled.
  answer_.DefaultsPressed = true;
  Box(10)->setChecked(false);
  pending_ = {};
  for (int i = 0; i < 4; ++i) ShowValue(i);
  for (int id : {500, 501, 503}) Box(id)->setChecked(true);
  confirm_ = 1;
  ShowConfirm();
  answer_.Enabled = false;
  answer_.Xyz = answer_.Bmp = answer_.Prompt = true;
  answer_.Confirm = 1;
}

void SnapshotDialog::PressOk() {
  answer_.Accepted = true;
  answer_.Enabled = IsChecked(10);
  answer_.Values = pending_;
  answer_.Xyz = IsChecked(500);
  answer_.Bmp = IsChecked(501);
  answer_.Prompt = IsChecked(503);
  answer_.Confirm = confirm_;
  accept();
}
