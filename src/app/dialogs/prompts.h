// SPDX-License-Identifier: GPL-3.0-or-later
// Everything the main window asks the user through modal boxes and file dialogs.
// The program uses the Qt implementation; tests put a recording fake in its place.
#pragma once

#include <string>

struct FileDialogRequest {
  std::string title;        // "Open a Sonar File For Playback"
  std::string filter;       // "Q47V Sonar Files (*.47V)"
  std::string default_ext;  // "47V"
  bool save = false;        // save dialog (overwrite prompt) or open dialog (file must exist)
};

class Prompts {
 public:
  virtual ~Prompts() = default;
  // Warning box with an OK button.
  virtual void Warning(const std::string& title, const std::string& text) = 0;
  // Information box with an OK button.
  virtual void Info(const std::string& title, const std::string& text) = 0;
  // Returns the chosen path, or an empty string when cancelled.
  virtual std::string AskFile(const FileDialogRequest& request) = 0;
};

class QWidget;

// Modal QMessageBox and QFileDialog owned by `parent`.
class QtPrompts final : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent) : parent_(parent) {}
  void Warning(const std::string& title, const std::string& text) override;
  void Info(const std::string& title, const std::string& text) override;
  std::string AskFile(const FileDialogRequest& request) override;

 private:
  QWidget* parent_;
};
