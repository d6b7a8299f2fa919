// SPDX-License-Identifier: GPL-3.0-or-later
// The control panels right of the picture: Range, Mode, Gain, Speed, Sector and
// Train with their step arrows (held down they repeat), the HEAD and FILE buttons,
// the Hold and Rev boxes, the frequency read-out and the user text. Steps stop at
// the limits of each value.
#pragma once

#include <QTimer>
#include <QPoint>
#include <array>
#include <functional>
#include <string>

#include "window/layout.h"

class CoreBridge;
class EntryBox;
class MenuBar;
class PictureView;
class QPainter;
class QRect;
class WindowSurface;
struct AppState;

class ControlPanels {
 public:
  // What the panels ask of the other pieces, connected by the window.
  struct Links {
    std::function<QPoint()> pointer;              // where the mouse is on the client area
    std::function<void()> readouts_changed;       // the pointer's readouts read again
    std::function<void()> stop_measuring;         // the measurement line goes
    std::function<void(int delay_ms)> schedule_playback;  // the next played record
    std::function<void(bool up)> step_plot_speed;  // the play arrows
    std::function<void(int id)> command;          // a menu command
  };

  // The frequency read-out gives way to `entry` while it is open.
  ControlPanels(AppState& state, CoreBridge& core, const Layout& layout, const PictureView& picture, MenuBar& menu,
                EntryBox& entry, WindowSurface& surface, Links links);

  void Paint(QPainter& p, const QRect& exposed);
  void PaintArrow(QPainter& p, int button);  // drawn pressed while held

  // A press on a step arrow: one step now, more while held (not the Mode arrows).
  void Press(int button);
  int ArrowAt(int x, int y) const;  // the panel arrow under (x, y), or -1
  void PointerMoved(int x, int y);  // a held arrow is let go once the pointer leaves it
  void Release();
  void RepeatTick();
  bool Held() const { return held_button_ >= 0; }
  bool RepeatActive() const { return held_button_ >= 0 && repeat_timer_.isActive(); }
  int RepeatIntervalMs() const { return repeat_timer_.interval(); }
  int ButtonPressed(int button) const { return button_pressed_[button]; }  // 0 while held down
  int RepeatDelay() const { return repeat_delay_; }
  void Stop() { repeat_timer_.stop(); }

  void ToggleHold();
  void RevPressed();

  // The panels follow a change of their values.
  void RangeChanged();
  void ModeChanged();
  void SetScanSectorExtension();
  void UpdatePanel(int panel);
  void RefreshChangedPanels();
  void RefreshFrequency();
  void ForgetDrawnValues();  // the next refresh redraws every panel
  void ForgetDrawnFrequency() { drawn_freq_ = -1; }
  // Values and texts as shown.
  std::string PanelText(int panel) const;  // 0 Range 1 Mode 2 Gain 3 Speed 4 Sector 5 Train
  std::string FrequencyReadout() const;

 private:
  void StepButton(int button);
  bool ButtonLimitReached(int button) const;
  void EndHold();
  void ModeStep(int dir);
  void SectorChanged();
  void TrainChanged();
  int SectorInUse() const;
  void SetSectorInUse(int v);

  AppState& state_;
  CoreBridge& core_;
  const Layout& layout_;
  const PictureView& picture_;
  MenuBar& menu_;
  EntryBox& entry_;
  WindowSurface& surface_;
  Links links_;
  QTimer repeat_timer_;
  int held_button_ = -1;
  int repeat_delay_ = 500;
  std::array<int, kArrowButtonCount> button_pressed_{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  int previous_sector_size_ = 0;
  int last_sent_grid_mode_ = -1;
  int train_sector_ = 0, train_polar_ = 0;
  int last_ss_side_ = -1;
  // Values last drawn by RefreshChangedPanels (1000 forces a redraw).
  int drawn_range_ = 1000, drawn_mode_ = 1000, drawn_gain_ = 1000, drawn_speed_ = 1000;
  int drawn_sector_ = 1000, drawn_train_ = 1000, drawn_xdcr_ = 1000, drawn_freq_ = -1;
};
