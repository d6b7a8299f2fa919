// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/prompts.h"

#include <QFileDialog>
#include <QMessageBox>

void QtPrompts::Warning(const std::string& title, const std::string& text) {
  QMessageBox::warning(parent_, QString::fromStdString(title), QString::fromStdString(text));
}

void QtPrompts::Info(const std::string& title, const std::string& text) {
  QMessageBox::information(parent_, QString::fromStdString(title), QString::fromStdString(text));
}

std::string QtPrompts::AskFile(const FileDialogRequest& request) {
  QFileDialog dialog(parent_, QString::fromStdString(request.title));
  dialog.setNameFilter(QString::fromStdString(request.filter));
  dialog.setDefaultSuffix(QString::fromStdString(request.default_ext));
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (request.save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);  // overwrite is confirmed by the dialog
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front().toStdString();
}
