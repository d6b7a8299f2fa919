// The small setup dialogs the main window opens: "Sound Velocity", "Rotate Sonar
// Image" and "User Text". Each keeps a pending value while it is open, checks it on
// "Ok" (a warning box through Prompts, and the dialog stays open), and stores it
// only when it passes.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

struct AppState;
class Prompts;
class QLineEdit;

// One value with a text field, an optional spin (up raises), "Default", "Ok" and "Cancel".
class ValueDialog : public QDialog {
  Q_OBJECT
 public:
  struct Spec {
    const char* title;
    const char* label;
    std::string unit;
    int max_chars;
    bool spin;
  };
  ValueDialog(const Spec& spec, QWidget* parent);

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
