// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/auto_azimuth_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "outputs/auto_azimuth.h"
#include "dialogs/prompts.h"
#include "dialogs/dialog_buttons.h"
#include "dialogs/spin_arrows.h"

namespace {

// A typed angle (up to 6 characters): leading blanks, an optional sign, a decimal
// number up to the first other character; no number reads as 0. Read in double
// precision, so that 359.8 is refused as typed. What is not a finite number reads
// as out of range: it must fail the checks, not reach the drive.
double ReadAngle(const QString& text) {
  const std::string s = text.left(6).toStdString();
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  double v = 0.0;
  const auto [ptr, ec] = std::from_chars(s.data() + i, s.data() + s.size(), v, std::chars_format::fixed);
  if (ec != std::errc()) return 0.0;
  if (!std::isfinite(v)) return std::numeric_limits<double>::max();
  return negative ? -v : v;
}

}  // namespace

AutoAzimuthDialog::AutoAzimuthDialog(const AzimuthForm& form, Prompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts), form_(form) {
  setWindowTitle(kAutoAzimuthTitle);
  setModal(true);
  answer_.Enabled = form.Enabled;
  answer_.Xyz = form.Xyz;
  start_ = std::clamp(form.StartSteps, 0, 1199);
  stop_ = std::clamp(form.StopSteps, 0, 1199);
  inc_ = std::clamp(form.IncSteps, 1, 600);

  auto* top = new QVBoxLayout(this);
  auto* enable = new QCheckBox("Auto-Azimuth Enable");
  boxes_[10] = enable;
  top->addWidget(enable);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Estimated Scan Time:"), 0, 0);
  auto* estimate = new QLineEdit;
  estimate->setReadOnly(true);
  estimate->setFocusPolicy(Qt::NoFocus);
  fields_[401] = estimate;
  grid->addWidget(estimate, 0, 1, 1, 3);
  const char* const labels[3] = {"Azimuth Start:", "Azimuth Stop:  (CW)", "Azimuth Increment:"};
  for (int i = 0; i < 3; ++i) {
    const int id = 100 * (i + 1);
    grid->addWidget(new QLabel(labels[i]), i + 1, 0);
    auto* field = new QLineEdit;
    field->setMaxLength(6);
    field->setFixedWidth(field->fontMetrics().horizontalAdvance("-000.00") + 12);
    fields_[id] = field;
    grid->addWidget(field, i + 1, 1);
    grid->addWidget(SpinArrows(this, field->sizeHint().height(), [this, id](int dir) { Spin(id * 10, dir); }), i + 1,
                    2);
    grid->addWidget(new QLabel("Degrees"), i + 1, 3);
  }
  grid->setColumnStretch(4, 1);
  top->addLayout(grid);
  auto* after = new QGroupBox("After each scan...");
  auto* after_layout = new QVBoxLayout(after);
  auto* xyz = new QCheckBox("Generate ASCII file (.XYZ)");
  boxes_[500] = xyz;
  after_layout->addWidget(xyz);
  top->addWidget(after);

  top->addLayout(OkDefaultsCancelRow(this, [this] { PressOk(); }, [this] { PressDefaults(); }));

  enable->setChecked(form.Enabled);
  xyz->setChecked(form.Xyz);
  for (int id : {10, 500}) connect(boxes_[id], &QCheckBox::clicked, this, [this, id] { BoxClicked(id); });
  ShowPending();
}

QLineEdit* AutoAzimuthDialog::Field(int id) const {
  auto it = fields_.find(id);
  return it == fields_.end() ? nullptr : it->second;
}

std::string AutoAzimuthDialog::FieldText(int id) const {
  const QLineEdit* f = Field(id);
  return f ? f->text().toStdString() : std::string();
}

bool AutoAzimuthDialog::IsChecked(int id) const {
  auto it = boxes_.find(id);
  return it != boxes_.end() && it->second->isChecked();
}

int AutoAzimuthDialog::PendingSteps(int field_id) const {
  return field_id == 100 ? start_ : field_id == 200 ? stop_ : inc_;
}

void AutoAzimuthDialog::ShowPending() {
  fields_[100]->setText(QString::fromStdString(ShownAzimuthText(start_)));
  fields_[200]->setText(QString::fromStdString(ShownAzimuthText(stop_)));
  fields_[300]->setText(QString::fromStdString(IncrementText(inc_)));
  fields_[401]->setText(QString::fromStdString(
      EstimateScanTime(ShownAzimuth(start_), ShownAzimuth(stop_), inc_ * 0.3, form_.SweepSeconds, form_.Sector)));
}

void AutoAzimuthDialog::Click(int id) {
  auto it = boxes_.find(id);
  if (it != boxes_.end()) it->second->click();
}

void AutoAzimuthDialog::BoxClicked(int id) {
  if (id == 10) answer_.Enabled = IsChecked(10);
  if (id == 500) {
    answer_.Xyz = IsChecked(500);
    answer_.XyzBoxClicked = true;  // an open .XYZ file is closed
  }
}

void AutoAzimuthDialog::Spin(int spin_id, int direction) {
  const int d = direction > 0 ? 1 : -1;
  auto wrap = [d](int steps) {
    steps += d;
    if (steps > 1199) steps = 0;
    if (steps < 0) steps = 1199;
    return steps;
  };
  if (spin_id == 1000) start_ = wrap(start_);
  else if (spin_id == 2000) stop_ = wrap(stop_);
  else if (spin_id == 3000) inc_ = std::clamp(inc_ + d, 1, 600);
  else return;
  ShowPending();
}

void AutoAzimuthDialog::PressDefaults() {
  // Stops a run at once, even when the dialog is then cancelled.
  answer_.DefaultsPressed = true;
  answer_.Enabled = false;
  answer_.Xyz = true;
  boxes_[10]->setChecked(false);
  boxes_[500]->setChecked(true);
  start_ = 600;
  stop_ = 500;
  inc_ = 100;
  ShowPending();
}

void AutoAzimuthDialog::PressOk() {
  const double start = ReadAngle(fields_[100]->text());
  const double stop = ReadAngle(fields_[200]->text());
  const double increment = ReadAngle(fields_[300]->text());
  const std::vector<std::string> messages = CheckAzimuthAngles(start, stop, increment);
  if (!messages.empty()) {
    for (const std::string& m : messages) prompts_.Warning(kAutoAzimuthTitle, m);
    ShowPending();
    return;
  }
  answer_.Accepted = true;
  answer_.Enabled = IsChecked(10);
  answer_.Xyz = IsChecked(500);
  answer_.Start = start;
  answer_.Stop = stop;
  answer_.Increment = increment;
  accept();
}
