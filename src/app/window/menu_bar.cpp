// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/menu_bar.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "files/file_texts.h"

MenuBar::MenuBar(QMenuBar* bar, std::function<void(int)> on_command)
    : QObject(bar), bar_(bar), on_command_(std::move(on_command)) {
  QMenu* file = bar_->addMenu("&File");
  Add(file, cmd::kPlayback, "&Playback...");
  Add(file, cmd::kRecord, kRecordStartText);
  Add(file, cmd::kCopy, kCopyStartText);
  file->addSeparator();
  Add(file, cmd::kSaveScreen, "&Save Screen...");
  Add(file, cmd::kAutoFrameCapture, kCaptureStartText);
  Add(file, cmd::kExportVideo, "Export &Video...");
  Add(file, cmd::kExportSurvey, "Export S&urvey...");
  Add(file, cmd::kExportTrack, "Export &GPS Track...");
  file->addSeparator();
  Add(file, cmd::kExit, "E&xit");

  QMenu* heads = bar_->addMenu("&Heads");
  Add(heads, cmd::kSonarHead, "Enable &Sonar Head");
  Add(heads, cmd::kAzimuthDrive, "Enable &Azimuth Drive");
  Add(heads, cmd::kSimulateAzimuth, "&Simulate Azimuth Drive (no drive connected)");
  Add(heads, cmd::kChangeAzimuth, "&Change Azimuth...");
  Add(heads, cmd::kOrientationModule, "Enable &Orientation Module");
  heads->addSeparator();
  Add(heads, cmd::kCalibrate, "&Calibrate Sonar Head");
  // The head scan has no item of its own in the classic menu; it is offered here,
  // below a separator, with a shortcut.
  heads->addSeparator();
  Add(heads, cmd::kHeadScan, "Scan For Connected &Heads")->setShortcut(QKeySequence("Ctrl+Shift+H"));

  QMenu* colors = bar_->addMenu("&Color Table");
  static const char* const kColorNames[] = {"Norm &Hi", "Norm &Lo", "Gr&een", "&Grey", "&Rev Grey",
                                            "&Brown/Yellow", "Green/Bl&ue", "Green/&Yellow", "Blu&e"};
  for (int i = 0; i < 9; ++i) Add(colors, cmd::kColors + i, kColorNames[i]);

  QMenu* options = bar_->addMenu("&Options");
  QMenu* units = options->addMenu("&Units");
  Add(units, cmd::kMeters, "&Meters");
  Add(units, cmd::kFeet, "&Feet");
  QMenu* xdcr = options->addMenu("&Xdcr Position");
  Add(xdcr, cmd::kXdcrUp, "&Up");
  Add(xdcr, cmd::kXdcrDown, "&Down");
  Add(options, cmd::kSoundVelocity, "&Sound Velocity...");
  Add(options, cmd::kUserText, "User &Text...");
  Add(options, cmd::kPixelZoom, "Pixel &Zoom (x2)");
  Add(options, cmd::kOnWhenMinimized, "&Sonar On When Minimized");
  options->addSeparator();
  // Rotate Sonar Image has no item in the classic menu either; offered here.
  Add(options, cmd::kOffsetAngle, "&Rotate Sonar Image...")->setShortcut(QKeySequence("Ctrl+Shift+R"));
  // How the window shows the layout when it is larger than it.
  options->addSeparator();
  Add(options, cmd::kSmoothScaling, "Smooth Picture Scaling");
  Add(options, cmd::kFullScreen, "&Full Screen")->setShortcut(QKeySequence(Qt::Key_F11));

  AddToBar(cmd::kComPorts, "Com Po&rts");
  AddToBar(cmd::kSettings, "&Settings");

  QMenu* misc = bar_->addMenu("&Misc");
  Add(misc, cmd::kClearScreen, "&Clear Screen Now");
  Add(misc, cmd::kDiagnostics, "&Diagnostics");
  Add(misc, cmd::kLiveView, "&Live View in Browser...");
  // The printed test page has no menu item: Ctrl+Shift+P in the main window.
  AddKeyOnly(cmd::kPrint, "Print Test Page", QKeySequence("Ctrl+Shift+P"));

  QMenu* profile = bar_->addMenu("&Profile");
  QMenu* mode = profile->addMenu("Profile &Mode");
  static const char* const kProfileNames[] = {"&Off", "&Points Only", "&Low Mix", "&Med Mix", "&High Mix"};
  for (int i = 0; i < 5; ++i) Add(mode, cmd::kProfileMode + i, kProfileNames[i]);
  Add(profile, cmd::kProfileGrid, "Profile &Grid");
  Add(profile, cmd::kZeroDown, "&Zero Down");
  Add(profile, cmd::kProfileSetup, "&Profile Setup...");
  QMenu* autop = profile->addMenu("&Auto-Profile");
  Add(autop, cmd::kVerticalScan, "&Vertical Scan (Chainage) ...");
  Add(autop, cmd::kHorizontalScan, "&Horizontal Scan (Borehole) ...");
  Add(profile, cmd::kAutoAzimuth, "Auto-Azimu&th...");

  QMenu* grid = bar_->addMenu("&Grid");
  Add(grid, cmd::kGridOnOff, "&Grid On/Off");

  AddToBar(cmd::kAbout, "&About");

  // Grey in the resource until the profile grid enables it.
  Enable(cmd::kZeroDown, false);
}

QAction* MenuBar::Add(QMenu* menu, int id, const char* text) {
  QAction* a = menu->addAction(QString::fromUtf8(text));
  a->setData(id);
  // The check mark belongs to the state, not to the click: undo Qt's own toggle
  // before the command decides.
  connect(a, &QAction::triggered, this, [this, a, id](bool checked) {
    if (a->isCheckable()) a->setChecked(!checked);
    on_command_(id);
  });
  items_[id] = a;
  return a;
}

QAction* MenuBar::AddKeyOnly(int id, const char* text, const QKeySequence& key) {
  auto* a = new QAction(QString::fromUtf8(text), bar_->window());
  a->setData(id);
  a->setShortcut(key);
  a->setShortcutContext(Qt::WindowShortcut);
  bar_->window()->addAction(a);
  connect(a, &QAction::triggered, this, [this, id] { on_command_(id); });
  items_[id] = a;
  return a;
}

QAction* MenuBar::AddToBar(int id, const char* text) {
  QAction* a = bar_->addAction(QString::fromUtf8(text));
  a->setData(id);
  connect(a, &QAction::triggered, this, [this, id] { on_command_(id); });
  items_[id] = a;
  return a;
}

QAction* MenuBar::Action(int id) const {
  auto it = items_.find(id);
  return it == items_.end() ? nullptr : it->second;
}

void MenuBar::Check(int id, bool on) {
  // Only a checked item shows its mark; an unchecked one shows nothing, not an
  // empty box.
  if (QAction* a = Action(id)) {
    a->setCheckable(on);
    a->setChecked(on);
  }
}
void MenuBar::Enable(int id, bool on) {
  if (QAction* a = Action(id)) a->setEnabled(on);
}
void MenuBar::SetText(int id, const char* text) {
  if (QAction* a = Action(id)) a->setText(QString::fromUtf8(text));
}
bool MenuBar::InAMenu(int id) const {
  const QAction* a = Action(id);
  if (!a) return false;
  for (const QObject* w : a->associatedObjects())
    if (qobject_cast<const QMenu*>(w) || qobject_cast<const QMenuBar*>(w)) return true;
  return false;
}

bool MenuBar::ShowsCheckBox(int id) const {
  const QAction* a = Action(id);
  return a && a->isCheckable();
}

bool MenuBar::IsChecked(int id) const {
  QAction* a = Action(id);
  return a && a->isChecked();
}
bool MenuBar::IsEnabled(int id) const {
  QAction* a = Action(id);
  return a && a->isEnabled();
}
QString MenuBar::Text(int id) const {
  QAction* a = Action(id);
  return a ? a->text() : QString();
}
