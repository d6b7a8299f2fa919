// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/config_dialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>

#include "dialogs/prompts.h"
#include "app_state.h"

namespace {

constexpr const char* kConfigFilter = "Q47V Config File (*.CFG)";
constexpr const char* kConfigExtension = "CFG";

// Steps and limits of the three columns (frequency, absorption, pulse length).
struct ColumnRule {
  int step, low, high;
};
constexpr ColumnRule kColumns[3] = {{5, 280, 1100}, {1, 1, 255}, {10, 10, 1000}};

// A spin control: a vertical scroll bar whose up arrow calls step(+1).
QScrollBar* MakeSpin(QObject* owner, std::function<void(int)> step) {
  auto* spin = new QScrollBar(Qt::Vertical);
  spin->setRange(-1, 1);
  spin->setValue(0);
  spin->setFixedWidth(16);
  QObject::connect(spin, &QScrollBar::valueChanged, owner, [spin, step](int v) {
    if (v == 0) return;
    step(v < 0 ? 1 : -1);  // the up arrow lowers a scroll bar's value: it raises ours
    const QSignalBlocker block(spin);
    spin->setValue(0);
  });
  return spin;
}

// The value a spin starts from: what the field holds when the field would be
// accepted, otherwise the pending value.
int SpinBase(int column, const QLineEdit* field, int units, int pending) {
  const std::string text = field->text().toStdString();
  FieldCheck check = column == 0   ? CheckFrequencyField(text)
                     : column == 1 ? CheckAbsorptionField(text, units)
                                   : CheckPulseLengthField(text);
  return check.ok ? check.value : pending;
}

int Stepped(int column, int value, int direction) {
  const ColumnRule& rule = kColumns[column];
  return std::clamp(value + (direction > 0 ? rule.step : -rule.step), rule.low, rule.high);
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A read-only name field shows the whole name: it grows to fit it (up to half the
// screen's width) and tells the full name when the pointer rests on it.
void ShowWholeName(QLineEdit* field, const QString& name) {
  field->setText(name);
  field->setToolTip(name);
  const int wanted = field->fontMetrics().horizontalAdvance(name) + 16;
  field->setMinimumWidth(std::max(field->minimumWidth(), std::min(wanted, 960)));
  field->setCursorPosition(0);
}

int32_t& Column(UserConfig& row, int column) {
  return column == 0 ? row.Frequency : column == 1 ? row.Absorption : row.PulseLength;
}

}  // namespace

// ---------------------------------------------------------------- USERCONFIG1

UserConfigDialog::UserConfigDialog(AppState& state, Prompts& prompts, QWidget* parent)
    : QDialog(parent), state_(state), prompts_(prompts), units_(state.Units == 1 ? 1 : 0) {
  setWindowTitle("User Configuration");
  // The dialog starts from the configuration in use; a name left pending by an
  // earlier dialog that was cancelled does not carry over to this one's "Ok".
  state_.PendingConfigName = state_.ConfigFile.get();
  state_.EditConfig = state_.ActiveConfig;

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Current Configuration:"), 0, 0, 1, 2);
  name_ = new QLineEdit;
  name_->setReadOnly(true);
  grid->addWidget(name_, 0, 2, 1, 8);

  grid->addWidget(new QLabel("Range"), 1, 0);
  grid->addWidget(new QLabel("Frequency"), 1, 1, 1, 3);
  grid->addWidget(new QLabel("Absorption"), 1, 4, 1, 3);
  grid->addWidget(new QLabel("Pulse Length"), 1, 7, 1, 3);
  grid->addWidget(new QLabel("(kHz)"), 2, 1, 1, 3);
  unit_label_ = new QLabel(units_ == 1 ? "(dB/ft)" : "(dB/m)");
  grid->addWidget(unit_label_, 2, 4, 1, 3);
  grid->addWidget(new QLabel("(usec)"), 2, 7, 1, 3);

  static const int kMaxChars[3] = {4, 7, 4};
  for (int row = 0; row < kUserConfigRows; ++row) {
    const int base = 1000 * (row + 1);
    const int line = 3 + row;
    row_labels_[static_cast<size_t>(row)] = new QLabel(Q(RangeLabel(row, units_)));
    grid->addWidget(row_labels_[static_cast<size_t>(row)], line, 0);
    for (int column = 0; column < 3; ++column) {
      auto* field = new QLineEdit;
      field->setMaxLength(kMaxChars[column]);
      field->setFixedWidth(field->fontMetrics().horizontalAdvance("0.000000") + 12);
      fields_[base + column + 1] = field;
      const int spin_id = base + 10 * (column + 1);
      QScrollBar* spin = MakeSpin(this, [this, spin_id](int dir) { Spin(spin_id, dir); });
      spin->setFixedHeight(field->sizeHint().height());
      spins_[spin_id] = spin;
      const int d_id = 20000 + 1000 * column + 10 * (row + 1);
      auto* d = new QPushButton("D");
      d->setFixedWidth(d->fontMetrics().horizontalAdvance("D") + 16);
      connect(d, &QPushButton::clicked, this, [this, d_id] { PressDefaultOf(d_id); });
      d_buttons_[d_id] = d;
      grid->addWidget(field, line, 1 + 3 * column);
      grid->addWidget(spin, line, 2 + 3 * column);
      grid->addWidget(d, line, 3 + 3 * column);
    }
    ShowRow(row);
  }
  grid->addWidget(new QLabel(kPolarPulseNote), 3 + kUserConfigRows, 0, 1, 10);

  auto* buttons = new QHBoxLayout;
  auto add = [this, buttons](const char* text, void (UserConfigDialog::*press)()) {
    auto* b = new QPushButton(text);
    connect(b, &QPushButton::clicked, this, press);
    buttons->addWidget(b);
    return b;
  };
  add("Load...", &UserConfigDialog::PressLoad);
  add("Save As...", &UserConfigDialog::PressSaveAs);
  add("Default", &UserConfigDialog::PressDefault);
  add("Ok", &UserConfigDialog::PressOk)->setDefault(true);
  auto* cancel = new QPushButton("Cancel");
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addWidget(cancel);
  grid->addLayout(buttons, 4 + kUserConfigRows, 0, 1, 10);
  ShowName();
}

QLineEdit* UserConfigDialog::Field(int id) const {
  auto it = fields_.find(id);
  return it == fields_.end() ? nullptr : it->second;
}

QScrollBar* UserConfigDialog::SpinBar(int id) const {
  auto it = spins_.find(id);
  return it == spins_.end() ? nullptr : it->second;
}

QAbstractButton* UserConfigDialog::Button(int id) const {
  auto it = d_buttons_.find(id);
  return it == d_buttons_.end() ? nullptr : it->second;
}

std::string UserConfigDialog::NameText() const { return name_->text().toStdString(); }
std::string UserConfigDialog::AbsorptionUnitText() const { return unit_label_->text().toStdString(); }

std::string UserConfigDialog::RowLabel(int row) const {
  if (row < 0 || row >= kUserConfigRows) return {};
  return row_labels_[static_cast<size_t>(row)]->text().toStdString();
}

void UserConfigDialog::ShowRow(int row) {
  const UserConfig& r = state_.EditConfig[static_cast<size_t>(row)];
  const int base = 1000 * (row + 1);
  fields_[base + 1]->setText(QString::number(r.Frequency));
  fields_[base + 2]->setText(Q(AbsorptionText(r.Absorption, units_)));
  fields_[base + 3]->setText(QString::number(r.PulseLength));
}

void UserConfigDialog::ShowName() { ShowWholeName(name_, Q(ShortenConfigName(state_.PendingConfigName.get()))); }

std::array<ConfigRowTexts, kUserConfigRows> UserConfigDialog::FieldTexts() const {
  std::array<ConfigRowTexts, kUserConfigRows> texts;
  for (int row = 0; row < kUserConfigRows; ++row) {
    const int base = 1000 * (row + 1);
    auto& t = texts[static_cast<size_t>(row)];
    t.frequency = fields_.at(base + 1)->text().toStdString();
    t.absorption = fields_.at(base + 2)->text().toStdString();
    t.pulse_length = fields_.at(base + 3)->text().toStdString();
  }
  return texts;
}

void UserConfigDialog::Spin(int spin_id, int direction) {
  const int row = spin_id / 1000 - 1;
  const int column = spin_id % 1000 / 10 - 1;
  if (row < 0 || row >= kUserConfigRows || column < 0 || column > 2 || spin_id % 10 != 0) return;
  int32_t& value = Column(state_.EditConfig[static_cast<size_t>(row)], column);
  const QLineEdit* field = fields_.at(1000 * (row + 1) + column + 1);
  value = Stepped(column, SpinBase(column, field, units_, value), direction);
  ShowRow(row);
}

void UserConfigDialog::PressDefaultOf(int d_id) {
  const int column = (d_id - 20000) / 1000;
  const int row = d_id % 1000 / 10 - 1;
  if (column < 0 || column > 2 || row < 0 || row >= kUserConfigRows || d_id % 10 != 0) return;
  const auto r = static_cast<size_t>(row);
  Column(state_.EditConfig[r], column) = Column(state_.DefaultConfig[r], column);
  ShowRow(row);
}

void UserConfigDialog::PressLoad() {
  const std::string path = prompts_.AskFile({kLoadConfigTitle, kConfigFilter, kConfigExtension, false});
  if (path.empty()) return;
  if (!HasConfigExtension(path)) {
    prompts_.Warning(kLoadConfigTitle, kConfigExtensionMessage);
    return;
  }
  // The path is opened as chosen: file names are case-sensitive here.
  const ConfigReadResult read = ReadConfigFile(state_, path);
  if (!read.ok) {
    prompts_.Warning(kLoadConfigTitle, "Can not read the configuration file\n" + path);
    return;
  }
  state_.PendingConfigName = path;
  state_.ConfigDialogPath = path;
  for (int row = 0; row < kUserConfigRows; ++row) ShowRow(row);
  ShowName();
}

void UserConfigDialog::PressSaveAs() {
  const std::string path = prompts_.AskFile({kSaveConfigTitle, kConfigFilter, kConfigExtension, true});
  if (path.empty()) return;
  if (!HasConfigExtension(path)) {
    prompts_.Warning(kSaveConfigTitle, kConfigExtensionMessage);
    return;
  }
  // The valid fields go into the active table and are written; invalid ones are
  // skipped here and reported by "Ok". A file that cannot be written leaves the
  // tables as they were.
  const UserConfigTable active = state_.ActiveConfig, edit = state_.EditConfig;
  ReadConfigDialog(state_, FieldTexts(), units_);
  std::string error;
  if (!WriteConfigFile(state_, path, &error)) {
    state_.ActiveConfig = active;
    state_.EditConfig = edit;
    prompts_.Warning(kSaveConfigTitle, "Can not write the configuration file\n" + path +
                                           (error.empty() ? "" : "\n" + error));
    return;
  }
  state_.PendingConfigName = path;
  state_.ConfigDialogPath = path;
  ShowName();
}

void UserConfigDialog::PressDefault() {
  ResetToDefaultConfig(state_);
  for (int row = 0; row < kUserConfigRows; ++row) ShowRow(row);
  ShowName();
}

void UserConfigDialog::PressOk() {
  state_.ConfigFile = state_.PendingConfigName.get();
  const std::vector<std::string> messages = ReadConfigDialog(state_, FieldTexts(), units_);
  for (const std::string& m : messages) prompts_.Warning(kAutoSetupTitle, m);
  if (messages.empty()) accept();
}

// ---------------------------------------------------------------- SETSWITCHES

SettingsDialog::SettingsDialog(AppState& state, Prompts& prompts, std::function<void(QDialog&)> run_dialog,
                               QWidget* parent)
    : QDialog(parent), state_(state), prompts_(prompts), run_dialog_(std::move(run_dialog)) {
  setWindowTitle("Settings");
  auto* grid = new QGridLayout(this);
  auto radio = [this](int id) {
    auto* b = new QRadioButton("Enable");
    b->setAutoExclusive(false);  // the dialog keeps the mode itself
    connect(b, &QRadioButton::clicked, this, [this, id] { Click(id); });
    buttons_[id] = b;
    return b;
  };
  auto push = [this](int id, const char* text) {
    auto* b = new QPushButton(text);
    connect(b, &QPushButton::clicked, this, [this, id] { Click(id); });
    buttons_[id] = b;
    return b;
  };

  auto* manual = new QGroupBox("Manual Frequency Setup");
  auto* ml = new QGridLayout(manual);
  ml->addWidget(radio(3100), 0, 0, 1, 4);
  auto value_row = [this, ml](int line, const char* label, int max_chars, QLabel* unit, int index,
                              void (SettingsDialog::*spin)(int)) {
    ml->addWidget(new QLabel(label), line, 0);
    auto* field = new QLineEdit;
    field->setMaxLength(max_chars);
    ml->addWidget(field, line, 1);
    QScrollBar* bar = MakeSpin(this, [this, spin](int dir) { (this->*spin)(dir); });
    bar->setFixedHeight(field->sizeHint().height());
    spins_[static_cast<size_t>(index)] = bar;
    ml->addWidget(bar, line, 2);
    ml->addWidget(unit, line, 3);
    return field;
  };
  absorption_unit_ = new QLabel(AbsorptionUnit(state.Units == 1 ? 1 : 0));
  frequency_ = value_row(1, "Frequency:", 4, new QLabel("kHz"), 0, &SettingsDialog::SpinFrequency);
  absorption_ = value_row(2, "Absorption:", 7, absorption_unit_, 1, &SettingsDialog::SpinAbsorption);
  pulse_ = value_row(3, "Pulse Length:", 4, new QLabel("usec"), 2, &SettingsDialog::SpinPulseLength);
  ml->addWidget(push(200, "Defaults"), 4, 1);

  auto* automatic = new QGroupBox("Auto Frequency Setup");
  auto* al = new QGridLayout(automatic);
  al->addWidget(radio(3101), 0, 0, 1, 2);
  al->addWidget(new QLabel("Current Configuration:"), 1, 0, 1, 2);
  name_ = new QLineEdit;
  name_->setReadOnly(true);
  name_->setMinimumWidth(name_->fontMetrics().horizontalAdvance(QString(30, 'M')) / 2);
  al->addWidget(name_, 2, 0, 1, 2);
  al->addWidget(push(3000, "Edit Configuration..."), 3, 0);

  grid->addWidget(manual, 0, 0);
  grid->addWidget(automatic, 0, 1);
  auto* head = new QHBoxLayout;
  head->addWidget(new QLabel("Head ID:"));
  head_id_ = new QLineEdit(QString::number(state.MasterHeadID.load() - 15));
  head_id_->setReadOnly(true);
  head_id_->setFixedWidth(head_id_->fontMetrics().horizontalAdvance("0000") + 12);
  head->addWidget(head_id_);
  head->addStretch();
  auto* ok = new QPushButton("Ok");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &SettingsDialog::PressOk);
  auto* cancel = new QPushButton("Cancel");
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  head->addWidget(ok);
  head->addWidget(cancel);
  grid->addLayout(head, 1, 0, 1, 2);

  ShowWholeName(name_, Q(ShortenConfigName(state_.ConfigFile.get())));
  TakeValuesInUse();
  ShowMode();
}

QAbstractButton* SettingsDialog::Button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

bool SettingsDialog::IsChecked(int id) const {
  auto it = buttons_.find(id);
  return it != buttons_.end() && it->second->isChecked();
}

bool SettingsDialog::IsEnabled(int id) const {
  auto it = buttons_.find(id);
  return it != buttons_.end() && it->second->isEnabled();
}

bool SettingsDialog::FieldsEditable() const { return !frequency_->isReadOnly(); }
bool SettingsDialog::SpinsEnabled() const { return spins_[0]->isEnabled(); }
std::string SettingsDialog::AbsorptionUnitText() const { return absorption_unit_->text().toStdString(); }
std::string SettingsDialog::NameText() const { return name_->text().toStdString(); }
std::string SettingsDialog::HeadIdText() const { return head_id_->text().toStdString(); }

void SettingsDialog::TakeValuesInUse() {
  frequency_pending_ = state_.Frequency;
  absorption_pending_ = state_.Absorption;
  pulse_pending_ = state_.PulseLength;
  ShowPending();
}

void SettingsDialog::ShowPending() {
  const int units = state_.Units == 1 ? 1 : 0;
  frequency_->setText(QString::number(frequency_pending_));
  absorption_->setText(Q(AbsorptionText(absorption_pending_, units)));
  pulse_->setText(QString::number(pulse_pending_));
}

void SettingsDialog::ShowMode() {
  const bool automatic = state_.ConfigType == 1;
  buttons_[3101]->setChecked(automatic);
  buttons_[3100]->setChecked(!automatic);
  for (QLineEdit* f : {frequency_, absorption_, pulse_}) f->setReadOnly(automatic);
  for (QScrollBar* s : spins_) s->setEnabled(!automatic);
  buttons_[200]->setEnabled(!automatic);
  buttons_[3000]->setEnabled(automatic);
}

void SettingsDialog::ValuesChanged() {
  if (on_values_changed) on_values_changed();
}

void SettingsDialog::SelectMode(bool automatic) {
  // Choosing the mode already in force changes nothing: Auto chosen twice would
  // otherwise replace the manual memories with the configuration's values.
  if ((state_.ConfigType == 1) == automatic) {
    ShowMode();
    return;
  }
  if (automatic) SelectAutoSetup(state_);
  else SelectManualSetup(state_);
  ShowMode();
  TakeValuesInUse();
  ValuesChanged();
}

void SettingsDialog::Click(int id) {
  switch (id) {
    case 3100:
      SelectMode(false);
      return;
    case 3101:
      SelectMode(true);
      return;
    case 3000: {
      if (state_.ConfigType != 1) return;
      UserConfigDialog d(state_, prompts_, this);
      run_dialog_(d);
      ShowWholeName(name_, Q(ShortenConfigName(state_.ConfigFile.get())));
      ApplyRangeConfig(state_);
      TakeValuesInUse();
      ValuesChanged();
      return;
    }
    case 200:
      if (state_.ConfigType != 0) return;
      ApplyManualDefaults(state_);
      TakeValuesInUse();
      ValuesChanged();
      return;
    default:
      return;
  }
}

void SettingsDialog::SpinFrequency(int direction) {
  if (state_.ConfigType != 0) return;
  frequency_pending_ = Stepped(0, SpinBase(0, frequency_, state_.Units, frequency_pending_), direction);
  frequency_->setText(QString::number(frequency_pending_));
}

void SettingsDialog::SpinAbsorption(int direction) {
  if (state_.ConfigType != 0) return;
  const int units = state_.Units == 1 ? 1 : 0;
  absorption_pending_ = Stepped(1, SpinBase(1, absorption_, units, absorption_pending_), direction);
  absorption_->setText(Q(AbsorptionText(absorption_pending_, units)));
}

void SettingsDialog::SpinPulseLength(int direction) {
  if (state_.ConfigType != 0) return;
  pulse_pending_ = Stepped(2, SpinBase(2, pulse_, state_.Units, pulse_pending_), direction);
  pulse_->setText(QString::number(pulse_pending_));
}

void SettingsDialog::PressOk() {
  if (state_.ConfigType == 1) {
    accept();
    return;
  }
  const std::vector<std::string> messages = ApplyManualSetup(
      state_, frequency_->text().toStdString(), absorption_->text().toStdString(), pulse_->text().toStdString());
  for (const std::string& m : messages) prompts_.Warning(kManualSetupTitle, m);
  // Accepted fields are in use now; show them as stored (rounded), and leave the
  // rejected ones as typed so that they can be corrected.
  const int units = state_.Units == 1 ? 1 : 0;
  const FieldCheck f = CheckFrequencyField(frequency_->text().toStdString());
  const FieldCheck a = CheckAbsorptionField(absorption_->text().toStdString(), units);
  const FieldCheck p = CheckPulseLengthField(pulse_->text().toStdString());
  if (f.ok) frequency_->setText(QString::number(frequency_pending_ = state_.Frequency));
  if (a.ok) absorption_->setText(Q(AbsorptionText(absorption_pending_ = state_.Absorption, units)));
  if (p.ok) pulse_->setText(QString::number(pulse_pending_ = state_.PulseLength));
  ValuesChanged();
  if (messages.empty()) accept();
}
