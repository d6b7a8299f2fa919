// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/client_area.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>


ClientArea::ClientArea(ClientAreaInput* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ClientArea::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  owner_->Paint(p, e->rect());
}

void ClientArea::mousePressEvent(QMouseEvent* e) {
  setFocus();
  const QPoint pos = e->position().toPoint();
  if (e->button() == Qt::LeftButton) owner_->HandleLeftDown(pos.x(), pos.y());
  if (e->button() == Qt::RightButton) owner_->HandleRightDown(pos.x(), pos.y());
}

void ClientArea::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (e->button() == Qt::LeftButton) owner_->HandleLeftUp(pos.x(), pos.y());
}

void ClientArea::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  owner_->HandleMouseMove(pos.x(), pos.y());
}

void ClientArea::keyPressEvent(QKeyEvent* e) {
  owner_->HandleKeyDown(e->key());
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: owner_->HandleChar(13); return;
    case Qt::Key_Escape: owner_->HandleChar(27); return;
    default: break;
  }
  const QString text = e->text();
  if (text.size() == 1 && text[0].unicode() < 128) owner_->HandleChar(text[0].toLatin1());
}

void ClientArea::keyReleaseEvent(QKeyEvent* e) {
  if (!e->isAutoRepeat()) owner_->HandleKeyUp();
}
