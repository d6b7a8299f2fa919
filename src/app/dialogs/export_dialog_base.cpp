// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/export_dialog_base.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QHBoxLayout* FieldRow(QLineEdit* field, QPushButton* button) {
  auto* box = new QHBoxLayout;
  box->addWidget(field, 1);
  box->addWidget(button);
  return box;
}

}  // namespace

ExportDialogBase::ExportDialogBase(QWidget* parent) : QDialog(parent) {
  recording_ = new QLineEdit(this);
  output_ = new QLineEdit(this);
  browse_recording_ = new QPushButton("Browse...", this);
  browse_output_ = new QPushButton("Browse...", this);
  recording_row_ = FieldRow(recording_, browse_recording_);
  output_row_ = FieldRow(output_, browse_output_);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  message_ = new QLabel(this);
  message_->setWordWrap(true);
  start_ = new QPushButton("Export", this);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setEnabled(false);
  close_ = new QPushButton("Close", this);
  connect(start_, &QPushButton::clicked, this, [this] { StartExport(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { CancelExport(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::hide);
}

ExportDialogBase::~ExportDialogBase() {
  cancel_requested_ = true;
  if (worker_.joinable()) worker_.join();
}

void ExportDialogBase::Present() {
  show();
  raise();
  activateWindow();
}

void ExportDialogBase::LayOut(QFormLayout* form, int width) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(start_);
  buttons->addWidget(cancel_);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(progress_);
  layout->addWidget(message_);
  layout->addLayout(buttons);
  resize(width, sizeHint().height());
}

void ExportDialogBase::Run(std::function<void()> work) {
  cancel_requested_ = false;
  progress_->setValue(0);
  message_->setText("Exporting...");
  start_->setEnabled(false);
  cancel_->setEnabled(true);
  worker_ = std::thread(std::move(work));
}

bool ExportDialogBase::ReportProgress(int percent) {
  QMetaObject::invokeMethod(this, [this, percent] { progress_->setValue(percent); }, Qt::QueuedConnection);
  return !cancel_requested_.load();
}

void ExportDialogBase::EndRun(bool ok, const QString& message) {
  if (worker_.joinable()) worker_.join();
  if (ok) progress_->setValue(100);
  message_->setText(message);
  start_->setEnabled(true);
  cancel_->setEnabled(false);
}
