// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/client_area.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

ClientArea::ClientArea(ClientAreaInput* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(kLayoutWidth, kLayoutHeight);
}

void ClientArea::FitInto(QSize available) {
  const double fit = std::min(available.width() / double(kLayoutWidth), available.height() / double(kLayoutHeight));
  const double scale = std::max(1.0, fit);
  // The widget ends where the last scaled layout pixel ends, so that every one of
  // its pixels shows a layout pixel.
  const QSize size(static_cast<int>(std::floor(kLayoutWidth * scale)),
                   static_cast<int>(std::floor(kLayoutHeight * scale)));
  const QPoint at(std::max(0, (available.width() - size.width()) / 2),
                  std::max(0, (available.height() - size.height()) / 2));
  const bool rescaled = scale != scale_;
  scale_ = scale;
  setGeometry(QRect(at, size));
  if (rescaled) {
    PlaceChildren();
    QWidget::update();
  }
}

QPoint ClientArea::ToLayout(QPointF widget_point) const {
  return {static_cast<int>(std::floor(widget_point.x() / scale_)),
          static_cast<int>(std::floor(widget_point.y() / scale_))};
}

QRect ClientArea::ToWidget(const QRect& layout_rect) const {
  if (scale_ == 1.0) return layout_rect;
  const QRectF r(layout_rect.x() * scale_, layout_rect.y() * scale_, layout_rect.width() * scale_,
                 layout_rect.height() * scale_);
  return r.toAlignedRect();
}

QRect ClientArea::ToLayout(const QRect& widget_rect) const {
  if (scale_ == 1.0) return widget_rect;
  const int l = static_cast<int>(std::floor(widget_rect.x() / scale_));
  const int t = static_cast<int>(std::floor(widget_rect.y() / scale_));
  const int r = static_cast<int>(std::ceil((widget_rect.x() + widget_rect.width()) / scale_));
  const int b = static_cast<int>(std::ceil((widget_rect.y() + widget_rect.height()) / scale_));
  return QRect(l, t, r - l, b - t);
}

void ClientArea::PlaceChild(QWidget* child, const QRect& layout_rect) {
  auto it = std::find_if(children_.begin(), children_.end(), [&](const PlacedChild& c) { return c.widget == child; });
  if (it == children_.end()) it = children_.insert(children_.end(), PlacedChild{child, layout_rect});
  it->layout_rect = layout_rect;
  child->setGeometry(ToWidget(layout_rect));
}

void ClientArea::PlaceChildren() {
  std::erase_if(children_, [](const PlacedChild& c) { return c.widget.isNull(); });
  for (const PlacedChild& c : children_) c.widget->setGeometry(ToWidget(c.layout_rect));
}

QImage ClientArea::RenderAtLayoutScale() {
  QImage image(kLayoutWidth, kLayoutHeight, QImage::Format_RGB32);
  QPainter p(&image);
  owner_->Paint(p, QRect(0, 0, kLayoutWidth, kLayoutHeight));
  std::erase_if(children_, [](const PlacedChild& c) { return c.widget.isNull(); });
  for (const PlacedChild& c : children_) {
    if (!c.widget->isVisible()) continue;
    // Drawn at its layout size, then given its scaled size back.
    const QRect shown = c.widget->geometry();
    c.widget->resize(c.layout_rect.size());
    c.widget->render(&p, c.layout_rect.topLeft());
    c.widget->setGeometry(shown);
  }
  return image;
}

void ClientArea::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  if (scale_ == 1.0) {
    owner_->Paint(p, e->rect());
    return;
  }
  // The painter draws layout coordinates at the scale, so text and lines are drawn
  // at the scaled size; the paint event's region clips to what changed.
  p.scale(scale_, scale_);
  owner_->Paint(p, ToLayout(e->rect()) & QRect(0, 0, kLayoutWidth, kLayoutHeight));
}

void ClientArea::mousePressEvent(QMouseEvent* e) {
  setFocus();
  const QPoint pos = ToLayout(e->position());
  if (e->button() == Qt::LeftButton) owner_->HandleLeftDown(pos.x(), pos.y());
  if (e->button() == Qt::RightButton) owner_->HandleRightDown(pos.x(), pos.y());
}

void ClientArea::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint pos = ToLayout(e->position());
  if (e->button() == Qt::LeftButton) owner_->HandleLeftUp(pos.x(), pos.y());
}

void ClientArea::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = ToLayout(e->position());
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

void ClientSurround::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (client_) client_->FitInto(size());
}
