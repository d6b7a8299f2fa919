#include "setup_dialogs.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "prompts.h"
#include "settings/app_state.h"
#include "settings/settings_io.h"

namespace {

constexpr double kFeetPerMetre = 3.2808398950131231941;

std::string Fmt(const char* f, double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, f, v);
  return buf;
}

}  // namespace

ValueDialog::ValueDialog(const Spec& spec, QWidget* parent) : QDialog(parent) {
  setWindowTitle(spec.title);
  setModal(true);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(spec.label), 0, 0);
  field_ = new QLineEdit;
  field_->setMaxLength(spec.max_chars);
  grid->addWidget(field_, 0, 1);
  if (!spec.unit.empty()) grid->addWidget(new QLabel(QString::fromStdString(spec.unit)), 0, 2);
  if (spec.spin) {
    auto* spin = new QScrollBar(Qt::Vertical);
    spin->setRange(-1, 1);
    spin->setValue(0);
    spin->setFixedHeight(field_->sizeHint().height());
    connect(spin, &QScrollBar::valueChanged, this, [this, spin](int v) {
      if (v == 0) return;
      Spin(v < 0 ? 1 : -1);  // the up arrow lowers a scroll bar's value: it raises ours
      const QSignalBlocker block(spin);
      spin->setValue(0);
    });
    grid->addWidget(spin, 0, 3);
  }
  auto* ok = new QPushButton("Ok");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &ValueDialog::PressOk);
  auto* cancel = new QPushButton("Cancel");
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  int col = 0;
  grid->addWidget(ok, 1, col++);
  if (spec.spin) {
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
  d->Field()->setText(QString::fromStdString(state.UserText.get()));
  d->on_ok = [&state](const std::string& text) {
    state.UserText = text.substr(0, 29);
    return true;
  };
  return d;
}
