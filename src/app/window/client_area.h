// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's client area: paints the fixed layout and passes keys and mouse
// to its owner (the main window) in layout coordinates. When the window is larger
// than the layout, the whole layout is drawn uniformly scaled to fit, aspect kept
// and centred; everything inside still speaks layout coordinates.
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

class QPainter;
class QRect;

// The size of the fixed layout, in its own pixels.
constexpr int kLayoutWidth = 810;
constexpr int kLayoutHeight = 569;

// What the client area hands on: its painting, and keys and mouse in layout
// coordinates.
class ClientAreaInput {
 public:
  virtual void Paint(QPainter& p, const QRect& exposed) = 0;
  virtual void HandleChar(int ch) = 0;
  virtual void HandleKeyDown(int key) = 0;
  virtual void HandleKeyUp() = 0;
  virtual void HandleLeftDown(int x, int y) = 0;
  virtual void HandleLeftUp(int x, int y) = 0;
  virtual void HandleRightDown(int x, int y) = 0;
  virtual void HandleMouseMove(int x, int y) = 0;

 protected:
  ~ClientAreaInput() = default;
};

class ClientArea : public QWidget {
  Q_OBJECT
 public:
  ClientArea(ClientAreaInput* owner, QWidget* parent);

  // Places the layout inside `available` (the widget around it): scaled to fit
  // with its aspect kept, never below scale 1, centred.
  void FitInto(QSize available);
  double Scale() const { return scale_; }  // widget pixels per layout pixel

  // Layout and widget coordinates. A widget point belongs to the layout pixel
  // whose scaled square holds it; a layout rectangle covers every widget pixel it
  // touches.
  QPoint ToLayout(QPointF widget_point) const;
  QPointF ToWidget(QPointF layout_point) const { return layout_point * scale_; }
  QRect ToWidget(const QRect& layout_rect) const;
  QRect ToLayout(const QRect& widget_rect) const;

  // Repaints take layout coordinates; these hide QWidget's, so that every piece
  // holding the client area asks for the layout rectangle it changed.
  using QWidget::repaint;
  using QWidget::update;
  void update(const QRect& layout_rect) { QWidget::update(ToWidget(layout_rect)); }
  void update(int x, int y, int w, int h) { update(QRect(x, y, w, h)); }
  void repaint(const QRect& layout_rect) { QWidget::repaint(ToWidget(layout_rect)); }
  void repaint(int x, int y, int w, int h) { repaint(QRect(x, y, w, h)); }

  // A child widget (the playback slider) kept at a layout rectangle as the scale
  // changes.
  void PlaceChild(QWidget* child, const QRect& layout_rect);

  // The layout painted at scale 1, whatever the scale on the screen: its children
  // drawn at their layout places.
  QImage RenderAtLayoutScale();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  bool focusNextPrevChild(bool) override { return false; }

 private:
  struct PlacedChild {
    QPointer<QWidget> widget;
    QRect layout_rect;
  };
  void PlaceChildren();

  ClientAreaInput* owner_;
  double scale_ = 1.0;
  std::vector<PlacedChild> children_;
};

// The widget around the client area, in the panel colour: it keeps the client
// area fitted into itself as it is resized (maximised, full screen).
class ClientSurround : public QWidget {
  Q_OBJECT
 public:
  explicit ClientSurround(QWidget* parent) : QWidget(parent) {}
  void SetClient(ClientArea* client) { client_ = client; }

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  ClientArea* client_ = nullptr;
};
