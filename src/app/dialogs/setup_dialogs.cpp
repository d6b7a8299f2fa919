// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/setup_dialogs.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "app_images.h"
#include "dialogs/prompts.h"
#include "dialogs/spin_arrows.h"
#include "app_state.h"
#include "link/head_scan.h"
#include "settings/settings_io.h"

namespace {

constexpr double kFeetPerMetre = 3.2808398950131231941;

std::string Fmt(const char* f, double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, f, v);
  return buf;
}

}  // namespace

ValueDialog::ValueDialog(const Form& request, QWidget* parent) : QDialog(parent) {
  setWindowTitle(request.title);
  setModal(true);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(request.label), 0, 0);
  field_ = new QLineEdit;
  field_->setMaxLength(request.max_chars);
  grid->addWidget(field_, 0, 1);
  if (!request.unit.empty()) grid->addWidget(new QLabel(QString::fromStdString(request.unit)), 0, 2);
  if (request.spin) {
    grid->addWidget(SpinArrows(this, field_->sizeHint().height(), [this](int dir) { Spin(dir); }), 0, 3);
  }
  auto* ok = new QPushButton("Ok");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &ValueDialog::PressOk);
  auto* cancel = new QPushButton("Cancel");
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  int col = 0;
  grid->addWidget(ok, 1, col++);
  if (request.spin) {
    auto* def = new QPushButton("Default");
    connect(def, &QPushButton::clicked, this, &ValueDialog::PressDefault);
    grid->addWidget(def, 1, col++);
  }
  grid->addWidget(cancel, 1, col);
}

void ValueDialog::PressOk() {
  if (on_ok && on_ok(field_->text().toStdString())) accept();
}
void ValueDialog::PressDefault() {
  if (on_default) on_default();
}
void ValueDialog::Spin(int direction) {
  if (on_spin) on_spin(direction);
}

ValueDialog* MakeSoundVelocityDialog(AppState& state, Prompts& prompts, QWidget* parent) {
  const bool feet = state.Units == 1;
  auto* d = new ValueDialog({"Sound Velocity", "Sound Velocity:", feet ? "ft/s" : "m/s", 6, true}, parent);
  const double lo = feet ? 2460.6299212598424 : 750.0, hi = feet ? 7381.889763779527 : 2250.0;
  auto pending = std::make_shared<float>(static_cast<float>(state.SoundVelocityMeters * (feet ? kFeetPerMetre : 1.0)));
  auto show = [d, pending] { d->Field()->setText(QString::fromStdString(Fmt("%06.1f", *pending))); };
  show();
  d->on_spin = [=](int dir) {
    *pending = ParseLenientFloat(d->Field()->text().toStdString());
    const float flo = feet ? 2460.6299f : 750.0f, fhi = feet ? 7381.8896f : 2250.0f;
    *pending = std::clamp(*pending + (dir > 0 ? 0.1f : -0.1f), flo, fhi);
    show();
  };
  d->on_default = [=] {
    *pending = feet ? static_cast<float>(1500.0 * kFeetPerMetre) : 1500.0f;
    show();
  };
  d->on_ok = [=, &state, &prompts](const std::string& text) {
    const float v = ParseLenientFloat(text);
    if (!(v >= lo && v <= hi)) {
      prompts.Warning("Sound Velocity", feet ? "Speed of Sound is out of range!\nUse 2460.7 to 7381.8 ft/s."
                                             : "Speed of Sound is out of range!\nUse 750.0 to 2250.0 m/s.");
      *pending = static_cast<float>(state.SoundVelocityMeters * (feet ? kFeetPerMetre : 1.0));
      show();
      return false;
    }
    state.SoundVelocityMeters = feet ? static_cast<float>(v * 0.3048) : v;
    return true;
  };
  return d;
}

ValueDialog* MakeRotateDialog(AppState& state, Prompts& prompts, QWidget* parent) {
  auto* d = new ValueDialog({"Rotate Sonar Image", "Rotate Angle:", "Deg", 5, true}, parent);
  auto pending = std::make_shared<float>(state.RotateAngle.load());
  auto show = [d, pending] { d->Field()->setText(QString::fromStdString(Fmt("%5.1f", *pending))); };
  show();
  d->on_spin = [=](int dir) {
    *pending = std::clamp(ParseLenientFloat(d->Field()->text().toStdString()) + (dir > 0 ? 0.1f : -0.1f), -180.0f,
                          180.0f);
    show();
  };
  d->on_default = [=] {
    *pending = 0.0f;
    show();
  };
  d->on_ok = [=, &state, &prompts](const std::string& text) {
    const float v = ParseLenientFloat(text);
    if (!(v >= -180.0f && v <= 180.0f)) {
      prompts.Warning("Rotate Sonar Image", "Angle is out of range!\nUse -180.0 to 180.0 Deg");
      *pending = state.RotateAngle.load();
      show();
      return false;
    }
    state.RotateAngle = v;
    return true;
  };
  return d;
}

ValueDialog* MakeUserTextDialog(AppState& state, QWidget* parent) {
  auto* d = new ValueDialog({"User Text", "Enter Text:", "", 79, false}, parent);
  QLineEdit* field = d->Field();
  field->setText(QString::fromStdString(state.UserText.get()));
  // Wide enough for the whole text kept (29 characters): none of it scrolled out
  // of sight at the start.
  const QFontMetrics fm = field->fontMetrics();
  field->setMinimumWidth(std::max(fm.horizontalAdvance(field->text()), fm.averageCharWidth() * 32) + 16);
  d->on_ok = [&state](const std::string& text) {
    state.UserText = text.substr(0, 29);
    return true;
  };
  return d;
}

std::vector<std::string> DisplaySwitchesLines(const AppState& s) {
  char buf[64];
  std::vector<std::string> lines;
  // The ID the head answered with (16 to 31), shown as the list shows it: 1 to 16.
  std::snprintf(buf, sizeof buf, "Head ID: %d", s.AnsweredHeadId.load() - 15);
  lines.push_back(buf);
  if (s.Units == 1)
    std::snprintf(buf, sizeof buf, "Absorption: %06.5f", s.Absorption * 0.01 * 0.3048);
  else
    std::snprintf(buf, sizeof buf, "Absorption: %04.2f dB/m", s.Absorption * 0.01);
  lines.push_back(buf);
  std::snprintf(buf, sizeof buf, "Pulse Length: %d usec", s.PulseLength.load());
  lines.push_back(buf);
  const int khz = s.RunMode == 1 ? s.PlaybackFrequency.load() : s.Frequency.load();
  std::snprintf(buf, sizeof buf, "Frequency: %d kHz", khz);
  lines.push_back(buf);
  return lines;
}

QDialog* MakeDisplaySwitchesDialog(const AppState& state, QWidget* parent) {
  auto* d = new QDialog(parent);
  d->setWindowTitle("Settings");
  auto* grid = new QGridLayout(d);
  int row = 0;
  for (const std::string& line : DisplaySwitchesLines(state)) grid->addWidget(new QLabel(QString::fromStdString(line)), row++, 0);
  auto* ok = new QPushButton("Ok");
  QObject::connect(ok, &QPushButton::clicked, d, &QDialog::accept);
  grid->addWidget(ok, row, 0);
  return d;
}

// ---------------------------------------------------------------- PROFILESETUP

ProfileSetupDialog::ProfileSetupDialog(AppState& state, Prompts& prompts, QWidget* parent)
    : QDialog(parent), state_(state), prompts_(prompts), feet_(state.Units == 1) {
  setWindowTitle("Profile Setup");
  // A minimum range left from the other units is reset first.
  if (state.ProfileMinimumRange > (feet_ ? 82.0f : 25.0f)) state.ProfileMinimumRange = 0.0f;
  range_pending_ = state.ProfileMinimumRange;
  level_pending_ = state.ProfileMinimumLevel;
  auto* grid = new QGridLayout(this);
  auto add = [this](QGridLayout* l, int id, const char* text, int row, int col) {
    auto* b = new QRadioButton(text);
    b->setAutoExclusive(false);
    connect(b, &QRadioButton::clicked, this, [this, id] { Click(id); });
    l->addWidget(b, row, col);
    buttons_[id] = b;
  };
  auto* source = new QGroupBox("Profile Point Digitization Source");
  auto* sl = new QGridLayout(source);
  add(sl, 3100, "Sonar Head", 0, 0);
  add(sl, 3101, "Surface", 0, 1);
  auto* detect = new QGroupBox("Detection Type");
  auto* dl = new QGridLayout(detect);
  add(dl, 300, "Start of Pulse", 0, 0);
  add(dl, 301, "Center of Pulse", 0, 1);
  grid->addWidget(source, 0, 0, 1, 4);
  grid->addWidget(detect, 1, 0, 1, 4);
  grid->addWidget(new QLabel("Minimum Range:"), 2, 0);
  range_ = new QLineEdit;
  range_->setMaxLength(8);
  grid->addWidget(range_, 2, 1);
  grid->addWidget(new QLabel(feet_ ? "Feet" : "Meters"), 2, 3);
  // Spin arrows beside each field (1000 the range, 2000 the level).
  auto spin = [this, grid](int row, std::function<void(int)> step) {
    QScrollBar* bar = SpinArrows(this, range_->sizeHint().height(), std::move(step));
    grid->addWidget(bar, row, 2);
    return bar;
  };
  range_spin_ = spin(2, [this](int dir) { SpinRange(dir); });
  grid->addWidget(new QLabel("Minimum Level:"), 3, 0);
  level_ = new QLineEdit;
  level_->setMaxLength(3);
  grid->addWidget(level_, 3, 1);
  level_spin_ = spin(3, [this](int dir) { SpinLevel(dir); });
  grid->addWidget(new QLabel("Percent"), 3, 3);
  auto* ok = new QPushButton("Ok");
  connect(ok, &QPushButton::clicked, this, &ProfileSetupDialog::PressOk);
  auto* defaults = new QPushButton("Defaults");
  connect(defaults, &QPushButton::clicked, this, [this] { Click(20); });
  auto* cancel = new QPushButton("Cancel");
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  grid->addWidget(ok, 4, 0);
  grid->addWidget(defaults, 4, 1);
  grid->addWidget(cancel, 4, 2);
  range_->setText(QString::fromStdString(Fmt("%4.1f", range_pending_)));
  level_->setText(QString::number(level_pending_));
  Refresh();
}

bool ProfileSetupDialog::LevelEditable() const { return !level_->isReadOnly(); }

void ProfileSetupDialog::Refresh() {
  const bool surface = state_.ProfileDigitizationSource == 1;
  const bool file = state_.RunMode == 1;
  buttons_[3100]->setChecked(!surface);
  buttons_[3101]->setChecked(surface);
  buttons_[300]->setEnabled(surface);
  buttons_[301]->setEnabled(surface);
  buttons_[300]->setChecked(surface && state_.ProfileDetectionType == 0);
  buttons_[301]->setChecked(surface && state_.ProfileDetectionType == 1);
  level_->setReadOnly(!surface);
  range_->setReadOnly(file && !surface);
  level_spin_->setEnabled(!level_->isReadOnly());
  range_spin_->setEnabled(!range_->isReadOnly());
}

void ProfileSetupDialog::Click(int id) {
  if (id == 3100 || id == 3101) state_.ProfileDigitizationSource = id - 3100;
  if ((id == 300 || id == 301) && state_.ProfileDigitizationSource == 1) state_.ProfileDetectionType = id - 300;
  if (id == 20) {
    range_pending_ = 0.0f;
    level_pending_ = 70;
    state_.ProfileDetectionType = 0;
    range_->setText(QString::fromStdString(Fmt("%4.1f", range_pending_)));
    level_->setText(QString::number(level_pending_));
  }
  Refresh();
}

void ProfileSetupDialog::SpinRange(int dir) {
  if (range_->isReadOnly()) return;
  range_pending_ = std::clamp(ParseLenientFloat(range_->text().toStdString()) + (dir > 0 ? 0.1f : -0.1f), 0.0f,
                              feet_ ? 82.0f : 25.0f);
  range_->setText(QString::fromStdString(Fmt("%4.1f", range_pending_)));
}

void ProfileSetupDialog::SpinLevel(int dir) {
  if (level_->isReadOnly()) return;
  level_pending_ = std::clamp(ParseLenientInt(level_->text().toStdString()) + (dir > 0 ? 1 : -1), 10, 90);
  level_->setText(QString::number(level_pending_));
}

void ProfileSetupDialog::PressOk() {
  const float range = ParseLenientFloat(range_->text().toStdString());
  const int level = ParseLenientInt(level_->text().toStdString());
  bool ok = true;
  if (!(range >= 0.0f && range <= (feet_ ? 82.0f : 25.0f))) {
    prompts_.Warning("Profile Setup", feet_ ? "Minimum Range is out of range!\nUse 0 to 82 Feet."
                                            : "Minimum Range is out of range!\nUse 0 to 25 Meters.");
    ok = false;
  }
  if (level < 10 || level > 90) {  // its own box, even after a range box
    prompts_.Warning("Profile Setup", "Minimum Level is out of range!\nUse 10 to 90 Percent.");
    ok = false;
  }
  if (!ok) {
    range_->setText(QString::fromStdString(Fmt("%4.1f", range_pending_)));
    level_->setText(QString::number(level_pending_));
    return;
  }
  state_.ProfileMinimumRange = range;
  state_.ProfileMinimumLevel = level;
  accept();
}

// ---------------------------------------------------------------- AZIMUTHSETUP

ValueDialog* MakeAzimuthDialog(AppState& state, Prompts& prompts, QWidget* parent) {
  auto* d = new ValueDialog({"Change Azimuth", "Azimuth Angle:", "Degrees", 6, true}, parent);
  auto steps = std::make_shared<int>(state.AzimuthAngle.load());
  auto show = [d, steps] {
    double deg = *steps * 0.3 - 180.0;
    if (deg < 0) deg += 360.0;
    if (deg >= 360.0) deg = 0.0;
    d->Field()->setText(QString::fromStdString(Fmt("%5.1f", deg)));
  };
  show();
  d->on_spin = [=](int dir) {
    *steps += dir > 0 ? 1 : -1;
    if (*steps > 1199) *steps = 0;
    if (*steps < 0) *steps = 1199;
    show();
  };
  d->on_default = [=] {
    *steps = 600;
    show();
  };
  d->on_ok = [=, &state, &prompts](const std::string& text) {
    double v = ParseLenientFloat(text);
    if (!(v >= 0.0 && v < 359.8)) {
      prompts.Warning("Azimuth Drive Setup", "Azimuth Angle is out of range!\nUse 0 to 359.7 Degrees.");
      show();
      return false;
    }
    if (v >= 180.0) v -= 360.0;
    state.AzimuthAngle = std::clamp(static_cast<int>((v + 180.0) * 3.3333333333333334566 + 0.5), 0, 1199);
    return true;
  };
  return d;
}

// ---------------------------------------------------------------- ABOUTBOX

QDialog* MakeAboutDialog(QWidget* parent) {
  auto* d = new QDialog(parent);
  d->setWindowTitle("About WINQ47V");
  auto* grid = new QGridLayout(d);
  auto* logo = new QLabel;
  const QPixmap pm = LogoPixmap();
  if (pm.isNull()) {
    logo->setText("WinQ47V");
    QFont f = logo->font();
    f.setPixelSize(24);
    f.setBold(true);
    logo->setFont(f);
  } else {
    logo->setPixmap(pm);
  }
  logo->setObjectName("logo");
  grid->addWidget(logo, 0, 0);
  grid->addWidget(new QLabel("WINQ47V For Linux"), 1, 0);
  grid->addWidget(new QLabel(QString("Version " Q47V_VERSION ", built ") + __DATE__), 2, 0);
  grid->addWidget(new QLabel("115,200 bps"), 3, 0);
  auto* ok = new QPushButton("OK");
  QObject::connect(ok, &QPushButton::clicked, d, &QDialog::accept);
  grid->addWidget(ok, 4, 0);
  return d;
}

// ---------------------------------------------------------------- SETNEWHEADID, PROGRAMHEAD

HeadIdDialog::HeadIdDialog(AppState& state, bool program, QWidget* parent)
    : QDialog(parent), state_(state), program_(program) {
  setWindowTitle(program ? "Program Sonar Head" : "Set New Head ID");
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Head ID:"), 0, 0);
  id_ = new QComboBox;
  for (int i = 1; i <= 16; ++i) id_->addItem(QString::number(i));
  // The list opens on the master head ID, the head the program talks to.
  const int current = state.MasterHeadID;
  id_->setCurrentIndex(current >= 16 && current <= 31 ? current - 16 : -1);
  grid->addWidget(id_, 0, 1);
  int row = 1;
  if (program) {
    grid->addWidget(new QLabel("Serial Number:"), row, 0);
    // What the head reported in the scan, when it answered with its fields: its
    // serial number and depth rating to start from; else the number last
    // programmed and no rating.
    std::string serial = Fmt("%04.0f", state.ProgramSerialNumber.load());
    int depth = -1;
    const LinkShown shown = state.Shown();
    if (shown.ScanReplyValid) {
      const HeadInfoTexts head = DecodeHeadInfo(std::span<const std::uint8_t, 64>(shown.ScanReply.data() + 12, 64));
      if (head.hasFields) {
        serial = head.SerialNumber;
        if (head.DepthRating == "1000 Meters") depth = 0;
        if (head.DepthRating == "3000 Meters") depth = 1;
      }
    }
    serial_ = new QLineEdit(QString::fromStdString(serial));
    grid->addWidget(serial_, row++, 1);
    grid->addWidget(new QLabel("Depth Rating:"), row, 0);
    depth_ = new QComboBox;
    depth_->addItem("1000 Meters");
    depth_->addItem("3000 Meters");
    depth_->setCurrentIndex(depth);
    grid->addWidget(depth_, row++, 1);
  }
  auto* ok = new QPushButton("Ok");
  connect(ok, &QPushButton::clicked, this, &HeadIdDialog::PressOk);
  auto* cancel = new QPushButton("Cancel");
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  grid->addWidget(ok, row, 0);
  grid->addWidget(cancel, row, 1);
  if (program) grid->addWidget(new QPushButton("Default"), row, 2);  // does nothing, as the dialog always had
}

void HeadIdDialog::PressOk() {
  const int index = id_->currentIndex();
  const bool id_taken = index >= 0;
  if (id_taken) state_.NewHeadId = index + 16;
  // Both dialogs raise the new-ID request for a chosen ID: it addresses the frame
  // to the head that answered and carries the ID part, so that programming goes to
  // that head and to no other.
  state_.NewIdRequest = id_taken;
  if (!program_) {
    accept();
    return;
  }
  bool digits = false;
  const int serial = ParseLenientInt(serial_->text().toStdString(), &digits);
  const bool serial_taken = digits && serial >= 0 && serial <= 9999;
  if (serial_taken) state_.ProgramSerialNumber = serial;
  const bool depth_taken = depth_->currentIndex() >= 0;
  if (depth_taken) state_.ProgramDepthRating = depth_->currentIndex();
  state_.ProgramHeadRequest = id_taken && serial_taken && depth_taken;
  accept();
}
