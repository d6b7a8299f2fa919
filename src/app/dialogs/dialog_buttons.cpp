// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/dialog_buttons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

QHBoxLayout* OkDefaultsCancelRow(QDialog* dialog, std::function<void()> ok, std::function<void()> defaults) {
  auto* buttons = new QHBoxLayout;
  auto* ok_button = new QPushButton("Ok");
  ok_button->setDefault(true);
  auto* defaults_button = new QPushButton("Defaults");
  auto* cancel_button = new QPushButton("Cancel");
  buttons->addWidget(ok_button);
  buttons->addWidget(defaults_button);
  buttons->addWidget(cancel_button);
  QObject::connect(ok_button, &QPushButton::clicked, dialog, std::move(ok));
  QObject::connect(defaults_button, &QPushButton::clicked, dialog, std::move(defaults));
  QObject::connect(cancel_button, &QPushButton::clicked, dialog, &QDialog::reject);
  return buttons;
}
