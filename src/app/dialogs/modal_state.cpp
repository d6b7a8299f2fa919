// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/modal_state.h"

#include <QApplication>
#include <QWidget>

bool ModalDialogOpen() { return QApplication::activeModalWidget() != nullptr; }

void CloseModalDialogs() {
  // Closing one may reveal another below it; a bounded number of rounds.
  for (int i = 0; i < 16; ++i) {
    QWidget* w = QApplication::activeModalWidget();
    if (!w) return;
    w->close();
  }
}
