// SPDX-License-Identifier: GPL-3.0-or-later
#include "splash.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include "app_images.h"

namespace {

// The logo window; tells when it has painted itself.
class LogoWindow : public QLabel {
 public:
  std::function<void()> painted;

 protected:
  void paintEvent(QPaintEvent* e) override {
    QLabel::paintEvent(e);
    if (painted) painted();
  }
};

// The picture of the logo, else (a build without it) a drawn title card.
QPixmap StartupPicture() {
  QPixmap logo = LogoPicture();
  if (!logo.isNull()) return logo;
  QPixmap pm(280, 120);
  pm.fill(QColor(0, 0, 90));
  QPainter p(&pm);
  p.setPen(Qt::white);
  QFont f("DejaVu Sans");
  f.setPixelSize(26);
  f.setBold(true);
  p.setFont(f);
  p.drawText(pm.rect().adjusted(0, -24, 0, 0), Qt::AlignCenter, "WinQ47V");
  f.setPixelSize(15);
  f.setBold(false);
  p.setFont(f);
  p.drawText(pm.rect().adjusted(0, 36, 0, 0), Qt::AlignCenter, "Digital Sonar");
  return pm;
}
}  // namespace

QPoint LogoPosition(const QRect& window, QSize logo_size) {
  // The centre in integer halves of the rectangle's edges; the picture W x H shown
  // at 1.5 W x 1.5 H with its corner at (cx - 0.75 W, cy - 0.75 H).
  const int cx = (window.left() + window.right() + 1) / 2;
  const int cy = (window.top() + window.bottom() + 1) / 2;
  return {static_cast<int>(cx - logo_size.width() / 2.0), static_cast<int>(cy - logo_size.height() / 2.0)};
}

void ShowLogoWhile(const QRect& window, const std::function<void()>& work) {
  LogoWindow logo;
  logo.setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
  const QPixmap pm = StartupPicture();
  // Enlarged one and a half times, sizes truncated.
  logo.setPixmap(pm.scaled(pm.width() * 3 / 2, pm.height() * 3 / 2, Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation));
  logo.adjustSize();
  logo.move(LogoPosition(window, logo.size()));
  // The calibration keeps the event loop from running, so the logo must be on the
  // screen before it starts: wait until the window has painted (at most a second,
  // for a display that never shows it).
  QEventLoop shown;
  logo.painted = [&shown] { QTimer::singleShot(0, &shown, &QEventLoop::quit); };
  QTimer::singleShot(1000, &shown, &QEventLoop::quit);
  logo.show();
  shown.exec();
  logo.painted = nullptr;
  QGuiApplication::processEvents();
  QGuiApplication::sync();
  work();
  logo.close();
}
