// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/survey_messages.h"

#include <QMessageBox>
#include <QPushButton>

#include "outputs/auto_azimuth.h"
#include "outputs/auto_profile.h"

QMessageBox* MakeSaveProfileBox(QWidget* parent) {
  auto* box = new QMessageBox(QMessageBox::NoIcon, kAutoProfileTitle, kSaveProfileText,
                              QMessageBox::Yes | QMessageBox::No, parent);
  box->setDefaultButton(QMessageBox::Yes);
  // Closing the box without an answer (Escape, the window's close button, the
  // program closing) counts as "Yes": the scan is kept.
  box->setEscapeButton(QMessageBox::Yes);
  return box;
}

bool SaveProfileAnswered(const QMessageBox& box) {
  return box.clickedButton() == nullptr || box.clickedButton() == box.button(QMessageBox::Yes);
}

QMessageBox* MakeScanCompleteBox(QWidget* parent) {
  return new QMessageBox(QMessageBox::NoIcon, kAutoAzimuthTitle, kScanCompleteText, QMessageBox::Ok, parent);
}
