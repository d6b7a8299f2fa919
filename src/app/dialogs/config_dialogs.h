// SPDX-License-Identifier: GPL-3.0-or-later
// The frequency setup of Head run mode: the "Settings" dialog (Manual or Auto
// frequency setup, head ID, the values in use) and the "User Configuration" dialog
// (frequency, absorption and pulse length for each range, .CFG files). The rules
// and messages come from the core's user configuration; these dialogs show its
// values, hand it the typed texts and show what it reports through Prompts.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <map>
#include <string>

#include "settings/user_config.h"

struct AppState;
class Prompts;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

// "User Configuration" (USERCONFIG1). Ids of row i (0..14): fields 1000 x (i + 1)
// + 1 frequency, 2 absorption, 3 pulse length; spins + 10, 20, 30; "D" buttons
// 20000, 21000, 22000 + 10 x (i + 1).
class UserConfigDialog : public QDialog {
  Q_OBJECT
 public:
  UserConfigDialog(AppState& state, Prompts& prompts, QWidget* parent);

  QLineEdit* Field(int id) const;
  QScrollBar* SpinBar(int id) const;
  QAbstractButton* Button(int id) const;  // "D" buttons
  std::string NameText() const;           // "Current Configuration:" as shown
  std::string RowLabel(int row) const;
  std::string AbsorptionUnitText() const;  // "(dB/m)" or "(dB/ft)"

  void Spin(int spin_id, int direction);  // +1 up arrow, -1 down arrow
  void PressDefaultOf(int d_button_id);   // one "D" button
  void PressLoad();
  void PressSaveAs();
  void PressDefault();
  void PressOk();

 private:
  void ShowRow(int row);
  void ShowName();
  std::array<ConfigRowTexts, kUserConfigRows> FieldTexts() const;

  AppState& state_;
  Prompts& prompts_;
  int units_;
  std::map<int, QLineEdit*> fields_;
  std::map<int, QScrollBar*> spins_;
  std::map<int, QAbstractButton*> d_buttons_;
  std::array<QLabel*, kUserConfigRows> row_labels_{};
  QLabel* unit_label_ = nullptr;
  QLineEdit* name_ = nullptr;
};

// "Settings" of Head run mode (SETSWITCHES): 3100 Manual "Enable", 3101 Auto
// "Enable", 3000 "Edit Configuration..." (Auto only), 200 "Defaults" (Manual only).
class SettingsDialog : public QDialog {
  Q_OBJECT
 public:
  // `run_dialog` runs the User Configuration dialog modally (the main window's
  // runner, which tests replace).
  SettingsDialog(AppState& state, Prompts& prompts, std::function<void(QDialog&)> run_dialog,
                 QWidget* parent);

  void Click(int id);
  void SpinFrequency(int direction);
  void SpinAbsorption(int direction);
  void SpinPulseLength(int direction);
  void PressOk();

  QAbstractButton* Button(int id) const;  // 3100, 3101, 3000, 200
  bool IsChecked(int id) const;
  bool IsEnabled(int id) const;
  bool FieldsEditable() const;
  bool SpinsEnabled() const;
  QLineEdit* FrequencyField() const { return frequency_; }
  QLineEdit* AbsorptionField() const { return absorption_; }
  QLineEdit* PulseLengthField() const { return pulse_; }
  QScrollBar* SpinBar(int which) const { return spins_.at(static_cast<size_t>(which)); }  // 0 freq, 1 abs, 2 pulse
  std::string AbsorptionUnitText() const;
  std::string NameText() const;
  std::string HeadIdText() const;

  // Called whenever the values in use changed while the dialog is open: the main
  // window refreshes its settings panel.
  std::function<void()> on_values_changed;

 private:
  void SelectMode(bool automatic);
  void TakeValuesInUse();  // pending values = the values in use, shown
  void ShowPending();
  void ShowMode();
  void ValuesChanged();

  AppState& state_;
  Prompts& prompts_;
  std::function<void(QDialog&)> run_dialog_;
  int frequency_pending_ = 0, absorption_pending_ = 0, pulse_pending_ = 0;
  QLineEdit* frequency_;
  QLineEdit* absorption_;
  QLineEdit* pulse_;
  QLineEdit* name_;
  QLineEdit* head_id_;
  QLabel* absorption_unit_;
  std::array<QScrollBar*, 3> spins_{};
  std::map<int, QAbstractButton*> buttons_;
};
