// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/control_panels.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "app_state.h"
#include "bridge/core_bridge.h"
#include "window/entry_box.h"
#include "files/file_texts.h"
#include "window/menu_bar.h"
#include "window/overlay_painter.h"
#include "window/panel_paint.h"
#include "window/picture_view.h"
#include "window/window_surface.h"
#include "settings/user_config.h"

ControlPanels::ControlPanels(AppState& state, CoreBridge& core, const Layout& layout, const PictureView& picture,
                             MenuBar& menu, EntryBox& entry, WindowSurface& surface, Links links)
    : state_(state), core_(core), layout_(layout), picture_(picture), menu_(menu), entry_(entry), surface_(surface),
      links_(std::move(links)) {
  train_sector_ = train_polar_ = state_.Train.load();
  repeat_timer_.setSingleShot(true);
  QObject::connect(&repeat_timer_, &QTimer::timeout, &repeat_timer_, [this] { RepeatTick(); });
}

// ---------------------------------------------------------------- painting

void ControlPanels::PaintArrow(QPainter& p, int b) {
  const LayoutRect& r = layout_.ButtonRects[b];
  const bool file = state_.RunMode == 1;
  bool inactive = false;
  if (b < kPlayRight) {
    inactive = file || (state_.GridMode == 2 && (b == kSectorUp || b == kSectorDown || b == kSpeedUp ||
                                                 b == kSpeedDown));
    // The Mode arrows step Sector, Polar and SS live; at either end one does nothing.
    if ((b == kModeUp && state_.GridMode >= 2) || (b == kModeDown && state_.GridMode <= 0)) inactive = true;
  }
  const bool held = button_pressed_[b] == 0;
  QRect box(r.left, r.top, r.Width(), r.Height());
  p.fillRect(box, QColor(192, 192, 192));
  p.setPen(held ? QColor(128, 128, 128) : Qt::white);
  p.drawLine(box.topLeft(), box.topRight());
  p.drawLine(box.topLeft(), box.bottomLeft());
  p.setPen(held ? Qt::white : QColor(64, 64, 64));
  p.drawLine(box.bottomLeft(), box.bottomRight());
  p.drawLine(box.topRight(), box.bottomRight());
  const int off = held ? 1 : 0;
  const int cx = box.center().x() + off, cy = box.center().y() + off;
  QPolygon tri;
  const bool up = b < kPlayRight && (b % 2 == 0);
  const bool right = b == kPlayRight, left = b == kPlayLeft;
  if (up) tri << QPoint(cx, cy - 3) << QPoint(cx - 4, cy + 2) << QPoint(cx + 4, cy + 2);
  else if (right) tri << QPoint(cx + 3, cy) << QPoint(cx - 2, cy - 4) << QPoint(cx - 2, cy + 4);
  else if (left) tri << QPoint(cx - 3, cy) << QPoint(cx + 2, cy - 4) << QPoint(cx + 2, cy + 4);
  else tri << QPoint(cx, cy + 3) << QPoint(cx - 4, cy - 2) << QPoint(cx + 4, cy - 2);
  p.setPen(Qt::NoPen);
  p.setBrush(inactive ? QColor(128, 128, 128) : Qt::black);
  p.drawPolygon(tri);
  p.setBrush(Qt::NoBrush);
}

void ControlPanels::Paint(QPainter& p, const QRect& exposed) {
  const Layout& L = layout_;
  const bool file = state_.RunMode == 1;
  const QColor white = Qt::white;
  const QColor shadow = picture_.Pal(125);
  static const char* const kLabels[] = {"Range", "Mode", "Gain", "Speed", "Sector", "Train"};
  for (int panel = 0; panel < 6; ++panel) {
    const int col = (panel % 2 == 0) ? L.LeftCol : L.RightCol;
    const int top = panel < 2 ? L.Row1 : (panel < 4 ? L.Row2 : L.Row3);
    QRect area(col, top - L.LineH - 2, L.BoxW + L.ArrowW + 2, L.LineH + 2 * L.ArrowH + 6);
    if (!exposed.intersects(area)) continue;
    ShadowText(p, col + 2, top - L.LineH - 2, kLabels[panel], white, shadow);
    Box(p, col, top - 1, col + L.BoxW, top + 2 * L.ArrowH, picture_.Pal(125), picture_.Pal(122));
    const QString value = QString::fromStdString(PanelText(panel));
    const int w = p.fontMetrics().horizontalAdvance(value);
    const int h = p.fontMetrics().height();
    ShadowText(p, (col + col + L.BoxW) / 2 - w / 2 + 1, top + L.ArrowH - h / 2, value, white, shadow);
  }
  for (int b = kRangeUp; b <= kModeDown; ++b) {
    const LayoutRect& r = L.ButtonRects[b];
    if (exposed.intersects(QRect(r.left, r.top, r.Width(), r.Height()))) PaintArrow(p, b);
  }
  // DATA FROM with the HEAD and FILE buttons.
  ShadowText(p, L.LeftCol + 5, 2, "DATA FROM", white, shadow);
  for (int i = 0; i < 2; ++i) {
    const LayoutRect& r = i == 0 ? L.HeadButtonRect : L.FileButtonRect;
    const bool pressed = (i == 0) ? !file : file;
    QRect box(r.left, r.top, r.Width(), r.Height());
    p.fillRect(box, pressed ? QColor(96, 96, 96) : QColor(192, 192, 192));
    p.setPen(pressed ? QColor(64, 64, 64) : Qt::white);
    p.drawLine(box.topLeft(), box.topRight());
    p.drawLine(box.topLeft(), box.bottomLeft());
    p.setPen(pressed ? Qt::white : QColor(64, 64, 64));
    p.drawLine(box.bottomLeft(), box.bottomRight());
    p.drawLine(box.topRight(), box.bottomRight());
    p.setPen(pressed ? QColor(Qt::white) : QColor(Qt::black));
    p.drawText(box.adjusted(pressed ? 1 : 0, pressed ? 1 : 0, 0, 0), Qt::AlignCenter, i == 0 ? "HEAD" : "FILE");
  }
  // Hold and Rev.
  PaintCheckBox(p, 734, 4, state_.HoldActive.load());
  ShadowText(p, 750, 3, "Hold", white, shadow);
  if (!file) {
    PaintCheckBox(p, 734, 22, false);
    ShadowText(p, 750, 21, "Rev", white, shadow);
  }
  // Frequency read-out, unless the keyboard entry box stands in its place.
  EntryBox& entry = entry_;
  if (!entry.Open()) {
    const int x = file ? 718 : 620, y = file ? 21 : 43;
    const int khz = file ? core_.PlaybackFrequency() : state_.Frequency.load();
    const QString f = QString::fromStdString(FrequencyText(khz));
    p.setPen(picture_.Pal(125));
    const int ascent = p.fontMetrics().ascent();
    p.drawText(x + 2, y + 2 + ascent, f);
    p.setPen(picture_.Pal(119));
    p.drawText(x + 1, y + 1 + ascent, f);
    if (!file && state_.ConfigType == 1) {
      const int w = p.fontMetrics().horizontalAdvance(f);
      p.save();
      p.setFont(SmallFont());
      ShadowText(p, x + w + 6, y + 3, "(Auto)", picture_.Pal(120), shadow);
      p.restore();
    }
  }
  entry.Paint(p);
  // User text.
  {
    const int top = L.TextBase - 37, bottom = L.TextBase - 19;
    Box(p, 619, top, 621 + 156, bottom, picture_.Pal(125), picture_.Pal(122));
    p.save();
    p.setClipRect(QRect(620, top, 156 - 5, bottom - top));
    p.setFont(SmallFont());
    p.setPen(picture_.Pal(125));
    // As many whole characters as fit the box: none is cut in half.
    QString text = QString::fromStdString(state_.UserText.get());
    const int room = 620 + 156 - 5 - 623;
    while (!text.isEmpty() && p.fontMetrics().horizontalAdvance(text) > room) text.chop(1);
    p.drawText(623, L.TextBase - p.fontMetrics().height() - 22 + p.fontMetrics().ascent(), text);
    p.restore();
  }
}

// ---------------------------------------------------------------- held arrows

int ControlPanels::ArrowAt(int x, int y) const {
  const Layout& L = layout_;
  const bool ss = state_.GridMode == 2;
  for (int b = kRangeUp; b <= kModeDown; ++b) {
    if (!L.ButtonRects[b].Contains(x, y)) continue;
    if (ss && (b == kSectorUp || b == kSectorDown || b == kSpeedUp || b == kSpeedDown)) return -1;
    return b;
  }
  return -1;
}

void ControlPanels::Press(int b) {
  held_button_ = b;
  button_pressed_[b] = 0;
  StepButton(b);
  if (b == kModeUp || b == kModeDown || ButtonLimitReached(b)) {
    if (b != kModeUp && b != kModeDown) EndHold();
    return;
  }
  repeat_timer_.start(repeat_delay_);
  repeat_delay_ = 50;
}

void ControlPanels::PointerMoved(int x, int y) {
  if (held_button_ >= 0 && !layout_.ButtonRects[held_button_].Contains(x, y)) EndHold();
}

void ControlPanels::Release() {
  if (held_button_ >= 0) EndHold();
}

bool ControlPanels::ButtonLimitReached(int b) const {
  switch (b) {
    case kRangeUp: return state_.Range >= 14;
    case kRangeDown: return state_.Range <= 0;
    case kGainUp: return state_.Gain > 39;
    case kGainDown: return state_.Gain < 1;
    case kPlayRight: return state_.PlotSpeed > 99;
    case kPlayLeft: return state_.PlotSpeed < 1;
    default: return false;
  }
}

void ControlPanels::RepeatTick() {
  // The Mode buttons make one step per press.
  if (held_button_ < 0 || held_button_ == kModeUp || held_button_ == kModeDown) return;
  const QPoint pointer = links_.pointer();
  if (!layout_.ButtonRects[held_button_].Contains(pointer.x(), pointer.y())) {
    EndHold();
    return;
  }
  StepButton(held_button_);
  if (ButtonLimitReached(held_button_)) {
    EndHold();
    return;
  }
  repeat_timer_.start(repeat_delay_);
}

void ControlPanels::EndHold() {
  if (held_button_ < 0) return;
  const int b = held_button_;
  held_button_ = -1;
  button_pressed_[b] = 1;
  repeat_timer_.stop();
  repeat_delay_ = 500;
  const LayoutRect& r = layout_.ButtonRects[b];
  surface_.UpdateRect(r.left, r.top, r.right, r.bottom);
}

// ---------------------------------------------------------------- Hold and Rev

void ControlPanels::ToggleHold() {
  state_.HoldActive = !state_.HoldActive;
  const bool head = state_.RunMode == 0;
  // Grey while held; enabled again only where the data source allows them.
  menu_.Enable(cmd::kXdcrUp, !state_.HoldActive && head);
  menu_.Enable(cmd::kXdcrDown, !state_.HoldActive && head);
  if (head) state_.SendRequest = true;
  surface_.UpdateRect(734, 4, 790, 16);
  if (!state_.HoldActive) links_.schedule_playback(0);
}

void ControlPanels::RevPressed() {
  state_.ReverseRequest = true;
  state_.SendRequest = true;
  surface_.UpdateRect(734, 22, 790, 34);
}

// ---------------------------------------------------------------- steps

int ControlPanels::SectorInUse() const { return state_.SectorSize; }
void ControlPanels::SetSectorInUse(int v) { state_.SectorSize = v; }

void ControlPanels::StepButton(int b) {
  const bool head = state_.RunMode == 0;
  const int mode = state_.GridMode;
  const LayoutRect& r = layout_.ButtonRects[b];
  surface_.UpdateRect(r.left, r.top, r.right, r.bottom);
  switch (b) {
    case kRangeUp:
    case kRangeDown: {
      const int old = state_.Range;
      state_.Range = std::clamp(old + (b == kRangeUp ? 1 : -1), 0, 14);
      if (state_.Range == old) return;
      core_.ResetEchoLines();
      if (mode != 2) core_.ClearImage();
      surface_.ImageChanged();
      RangeChanged();
      state_.ClearRequest = true;
      break;
    }
    case kGainUp:
    case kGainDown: {
      const int old = state_.Gain;
      state_.Gain = std::clamp(old + (b == kGainUp ? 1 : -1), 0, 40);
      if (state_.Gain == old) return;
      UpdatePanel(2);
      break;
    }
    case kSpeedUp:
    case kSpeedDown: {
      const int old = state_.Speed;
      state_.Speed = std::clamp(old + (b == kSpeedUp ? 1 : -1), 0, 4);
      if (state_.Speed == old) return;
      SetScanSectorExtension();
      UpdatePanel(3);
      break;
    }
    case kSectorUp: {
      previous_sector_size_ = SectorInUse();
      const int max = mode == 1 ? 360 : (mode == 2 ? 0 : 180);
      int s = SectorInUse() + 3;
      if (s > max) s = 0;
      SetSectorInUse(s);
      SectorChanged();
      break;
    }
    case kSectorDown: {
      previous_sector_size_ = SectorInUse();
      int s = SectorInUse() - 3;
      if (mode == 2) s = 0;
      else if (s < 0) s = mode == 1 ? 360 : 180;
      SetSectorInUse(s);
      SectorChanged();
      state_.SettingsCheck = true;
      break;
    }
    case kTrainUp:
    case kTrainDown:
      if (mode == 2) {
        const int ss = state_.SSTrain;
        if (b == kTrainUp && ss != 2) state_.SSTrain = 2;
        else if (b == kTrainDown && ss != 0) state_.SSTrain = 0;
        else return;
      } else {
        int t = state_.Train + (b == kTrainUp ? 3 : -3);
        if (t >= 360) t = 0;
        if (t < 0) t = 357;
        state_.Train = t;
        state_.ClearRequest = true;
      }
      TrainChanged();
      break;
    case kModeUp:
      ModeStep(1);
      return;
    case kModeDown:
      ModeStep(-1);
      return;
    case kPlayRight:
      links_.step_plot_speed(true);
      return;
    case kPlayLeft:
      links_.step_plot_speed(false);
      return;
    default:
      return;
  }
  if (head) state_.SendRequest = true;
}

void ControlPanels::ModeStep(int dir) {
  if (state_.RunMode != 0) return;
  const int mode = state_.GridMode;
  if (dir > 0 && mode >= 2) return;
  if (dir < 0 && mode <= 0) return;
  if (dir > 0 && mode == 0) state_.SectorSectorSize = SectorInUse();
  if (mode == 1) state_.PolarSectorSize = SectorInUse();
  if (mode == 0) train_sector_ = state_.Train;
  if (mode == 1) train_polar_ = state_.Train;
  state_.ClearRequest = true;
  const int next = mode + dir;
  state_.GridMode = next;
  if (next == 2 && state_.ProfileGrid == 1) links_.command(cmd::kProfileGrid);
  previous_sector_size_ = SectorInUse();
  if (next == 0) {
    SetSectorInUse(std::min(180, state_.SectorSectorSize.load()));
    state_.Train = train_sector_;
  } else if (next == 1) {
    SetSectorInUse(state_.PolarSectorSize);
    state_.Train = train_polar_;
  } else {
    SetSectorInUse(0);
    state_.Train = state_.SSTrain == 2 ? 90 : 270;
    links_.stop_measuring();
  }
  SectorChanged();
  TrainChanged();
  core_.ClearImage();
  surface_.ImageChanged();
  ModeChanged();
  UpdatePanel(3);
  const Layout& L = layout_;
  surface_.Widget()->update(L.LeftCol, 0, surface_.Widget()->width() - L.LeftCol, L.Row4 + 2 * L.ArrowH);
}

void ControlPanels::SectorChanged() {
  const int mode = state_.GridMode;
  if (mode == 0 || mode == 3) state_.SectorSectorSize = SectorInUse();
  else if (mode == 1) state_.PolarSectorSize = SectorInUse();
  if (mode != 2 && SectorInUse() == 360) state_.Train = 0;
  UpdatePanel(4);
  UpdatePanel(5);
  surface_.Widget()->update(OverlayPlaces(layout_).dial);
}

void ControlPanels::TrainChanged() {
  const int mode = state_.GridMode;
  if (mode == 2) {
    const int side = state_.SSTrain;
    SetSectorInUse(0);
    state_.Train = side == 2 ? 90 : 270;
    state_.SendRequest = true;
    if (side != last_ss_side_ && state_.Grid == 1) {
      core_.RedrawGridLines();
      surface_.ImageChanged();
    }
    last_ss_side_ = side;
  }
  if (mode == 0 || mode == 3) train_sector_ = state_.Train;
  else if (mode == 1) train_polar_ = state_.Train;
  UpdatePanel(5);
  surface_.Widget()->update(OverlayPlaces(layout_).dial);
  links_.readouts_changed();  // bearings in Sector display follow the train
}

void ControlPanels::SetScanSectorExtension() {
  static constexpr int kExtension[5] = {3, 3, 3, 6, 9};
  state_.ScanSectorExtension = kExtension[std::clamp(state_.Speed.load(), 0, 4)];
}

void ControlPanels::ModeChanged() {
  const int mode = state_.GridMode;
  menu_.Enable(cmd::kProfileGrid, mode != 2);
  menu_.Enable(cmd::kZeroDown, mode != 2 && state_.ProfileGrid == 1);
  UpdatePanel(1);
  RangeChanged();
  if (state_.RunMode == 0 && mode != last_sent_grid_mode_) {
    state_.SendRequest = true;
    last_sent_grid_mode_ = mode;
  }
}

void ControlPanels::RangeChanged() {
  // Live with the automatic configuration the range's row sets frequency,
  // absorption and pulse length.
  if (state_.RunMode == 0 && state_.ConfigType == 1 && ApplyRangeConfig(state_)) RefreshFrequency();
  UpdatePanel(0);
  surface_.ImageChanged();  // the grid scale follows the range
}

// ---------------------------------------------------------------- redraws

void ControlPanels::UpdatePanel(int panel) {
  const Layout& L = layout_;
  const int col = (panel % 2 == 0) ? L.LeftCol : L.RightCol;
  const int top = panel < 2 ? L.Row1 : (panel < 4 ? L.Row2 : L.Row3);
  surface_.UpdateRect(col, top - 1, col + L.BoxW + 2, top + 2 * L.ArrowH + 2);
}

std::string ControlPanels::PanelText(int panel) const {
  switch (panel) {
    case 0: return RangeText(state_.Range, state_.Units);
    case 1: return ModeText(state_.GridMode);
    case 2: return GainText(state_.Gain);
    case 3: return SpeedText(state_.Speed, state_.GridMode);
    case 4: return SectorText(state_.SectorSize, state_.GridMode);
    case 5: return TrainText(state_.Train, state_.SSTrain, state_.GridMode);
    default: return {};
  }
}

std::string ControlPanels::FrequencyReadout() const {
  const int khz = state_.RunMode == 1 ? core_.PlaybackFrequency() : state_.Frequency.load();
  std::string s = FrequencyText(khz);
  if (state_.RunMode == 0 && state_.ConfigType == 1) s += " (Auto)";
  return s;
}

void ControlPanels::ForgetDrawnValues() {
  drawn_range_ = drawn_mode_ = drawn_gain_ = drawn_speed_ = drawn_sector_ = drawn_train_ = 1000;
}

void ControlPanels::RefreshChangedPanels() {
  if (state_.Range != drawn_range_ || state_.GridMode != drawn_mode_) {
    UpdatePanel(0);
    UpdatePanel(1);
    UpdatePanel(3);
    drawn_range_ = state_.Range;
    drawn_mode_ = state_.GridMode;
  }
  if (state_.Xdcr != drawn_xdcr_) {
    drawn_xdcr_ = state_.Xdcr;
    surface_.Widget()->update(OverlayPlaces(layout_).transducer);
  }
  auto check = [this](int value, int& drawn, int panel) {
    if (value != drawn) {
      drawn = value;
      UpdatePanel(panel);
    }
  };
  check(state_.Speed, drawn_speed_, 3);
  check(state_.Train * 4 + state_.SSTrain, drawn_train_, 5);
  check(state_.SectorSize, drawn_sector_, 4);
  check(state_.Gain, drawn_gain_, 2);
  RefreshFrequency();
}

void ControlPanels::RefreshFrequency() {
  const int khz = state_.RunMode == 1 ? core_.PlaybackFrequency() : state_.Frequency.load();
  if (khz == drawn_freq_) return;
  drawn_freq_ = khz;
  surface_.UpdateRect(618, 20, 795, 64);
}
