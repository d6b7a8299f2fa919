// SPDX-License-Identifier: GPL-3.0-or-later
// The small setup dialogs the main window opens: "Sound Velocity", "Rotate Sonar
// Image" and "User Text". Each keeps a pending value while it is open, checks it on
// "Ok" (a warning box through Prompts, and the dialog stays open), and stores it
// only when it passes.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct AppState;
class Prompts;
class QLineEdit;

// One value with a text field, an optional spin (up raises), "Default", "Ok" and "Cancel".
class ValueDialog : public QDialog {
  Q_OBJECT
 public:
  struct Form {
    const char* title;
    const char* label;
    std::string unit;
    int max_chars;
    bool spin;
  };
  ValueDialog(const Form& request, QWidget* parent);

  QLineEdit* Field() const { return field_; }
  // "Ok": runs the check; closes with Accepted when it passes.
  void PressOk();
  void PressDefault();
  void Spin(int direction);  // +1 up, -1 down

  std::function<bool(const std::string& text)> on_ok;   // true: stored, close
  std::function<void()> on_default;
  std::function<void(int)> on_spin;

 private:
  QLineEdit* field_;
};

// The dialogs, wired to the state; `prompts` shows their warnings.
// Sound velocity: returns the dialog; after Accepted `SoundVelocityMeters` holds the new value.
ValueDialog* MakeSoundVelocityDialog(AppState& state, Prompts& prompts, QWidget* parent);
ValueDialog* MakeRotateDialog(AppState& state, Prompts& prompts, QWidget* parent);
ValueDialog* MakeUserTextDialog(AppState& state, QWidget* parent);

// "Settings" in File run mode (DISPLAYSWITCHES): the head settings of the file being
// played, read-only. The four lines: head ID, absorption, pulse length, frequency.
std::vector<std::string> DisplaySwitchesLines(const AppState& state);
QDialog* MakeDisplaySwitchesDialog(const AppState& state, QWidget* parent);

// "Profile Setup" (PROFILESETUP): digitization source and detection type (stored at
// once), minimum range and level (checked and stored on "Ok").
class ProfileSetupDialog : public QDialog {
  Q_OBJECT
 public:
  ProfileSetupDialog(AppState& state, Prompts& prompts, QWidget* parent);
  void Click(int id);  // 3100 Sonar Head, 3101 Surface, 300 Start, 301 Center, 20 Defaults
  void SpinRange(int direction);
  void SpinLevel(int direction);
  void PressOk();
  QLineEdit* RangeField() const { return range_; }
  QLineEdit* LevelField() const { return level_; }
  class QScrollBar* RangeSpin() const { return range_spin_; }
  class QScrollBar* LevelSpin() const { return level_spin_; }
  bool LevelEditable() const;

 private:
  void Refresh();
  AppState& state_;
  Prompts& prompts_;
  bool feet_;
  float range_pending_;
  int level_pending_;
  QLineEdit* range_;
  QLineEdit* level_;
  class QScrollBar* range_spin_ = nullptr;
  class QScrollBar* level_spin_ = nullptr;
  std::map<int, class QAbstractButton*> buttons_;
};

// "Change Azimuth" (AZIMUTHSETUP): the angle in degrees, one drive step per spin.
ValueDialog* MakeAzimuthDialog(AppState& state, Prompts& prompts, QWidget* parent);

// "About WINQ47V" (ABOUTBOX): the logo, the program line, version and build date, the link rate.
QDialog* MakeAboutDialog(QWidget* parent);

// "Set New Head ID" (SETNEWHEADID) and "Program Sonar Head" (PROGRAMHEAD), opened from
// the scan window: the head ID combo "1".."16", and for programming the serial number
// and depth rating; "Ok" sets or clears the requests the head scan sends.
class HeadIdDialog : public QDialog {
  Q_OBJECT
 public:
  HeadIdDialog(AppState& state, bool program, QWidget* parent);
  class QComboBox* IdBox() const { return id_; }
  QLineEdit* SerialField() const { return serial_; }
  class QComboBox* DepthBox() const { return depth_; }
  void PressOk();

 private:
  AppState& state_;
  bool program_;
  class QComboBox* id_;
  QLineEdit* serial_ = nullptr;
  class QComboBox* depth_ = nullptr;
};
