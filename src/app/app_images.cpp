// SPDX-License-Identifier: GPL-3.0-or-later
#include "app_images.h"

#include <QGuiApplication>

// The images live in a static library, whose resource initialiser the linker would
// drop; registering them by hand on first use keeps them in. (At global scope: the
// registration names a global function.)
static void RegisterImages() {
  static const bool done = [] {
    Q_INIT_RESOURCE(winq47v);
    return true;
  }();
  (void)done;
}

QIcon ProgramIcon() {
  RegisterImages();
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
    icon.addFile(QString(":/winq47v-%1.png").arg(size), QSize(size, size));
  return icon;
}

void InstallProgramIcon() { QGuiApplication::setWindowIcon(ProgramIcon()); }

QCursor ImageCursor() {
  RegisterImages();
  const QPixmap pm(":/newcur.png");
  if (pm.isNull()) return QCursor(Qt::CrossCursor);
  return QCursor(pm, 15, 15);
}

QPixmap LogoPixmap() {
  RegisterImages();
  return QPixmap(":/logo.png");
}

QPixmap LogoPicture() {
  const QPixmap logo = LogoPixmap();
  if (logo.width() <= 15 || logo.height() <= 62) return logo;
  return logo.copy(7, 30, logo.width() - 15, logo.height() - 62);
}
