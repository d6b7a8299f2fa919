// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/spin_arrows.h"

#include <QScrollBar>

QScrollBar* SpinArrows(QObject* owner, int height, std::function<void(int)> step) {
  auto* bar = new QScrollBar(Qt::Vertical);
  bar->setRange(-1, 1);
  bar->setValue(0);
  bar->setFixedHeight(height);
  QObject::connect(bar, &QScrollBar::valueChanged, owner, [bar, step = std::move(step)](int v) {
    if (v == 0) return;
    step(v < 0 ? 1 : -1);
    const QSignalBlocker block(bar);
    bar->setValue(0);
  });
  return bar;
}
