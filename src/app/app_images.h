// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own images, compiled in from resources/: the program icon, the
// measurement cursor shown over the sonar picture and the logo.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

// The icon at every rendered size (16 to 256 pixels).
QIcon ProgramIcon();
// Makes it the icon of every window of the program.
void InstallProgramIcon();
// The cross hair over the picture; its hot spot is the centre pixel (15, 15).
QCursor ImageCursor();
// The whole logo with its frame, as the About box shows it (315 x 202).
QPixmap LogoPixmap();
// The picture inside the logo's frame: the rectangle from (7, 30) that is 15
// pixels narrower and 62 lower than the logo, as the start-up logo shows it.
QPixmap LogoPicture();
