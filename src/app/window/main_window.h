// SPDX-License-Identifier: GPL-3.0-or-later
// The main window "WinQ47V Digital Sonar": fixed client layout with the sonar image,
// the control panels and the playback strip. The window starts up, switches the data
// source (ApplyRunMode), closes in order (settings saved), keeps the title and the
// texts under the picture, and wires the pieces the user touches together: the
// control panels, the keyboard entry box, the playback strip, the mouse on the
// picture, the overlays, the menu commands and the tool windows.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QSlider>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "clock.h"
#include "files/file_texts.h"
#include "imaging/ping_image.h"
#include "window/client_area.h"
#include "window/layout.h"
#include "window/menu_bar.h"
#include "dialogs/prompts.h"
#include "window/shell_state.h"
#include "window/window_surface.h"

struct AppState;
class CoreBridge;
class ControlPanels;
class DiagnosticsWindow;
class EntryBox;
class MenuCommands;
class OverlayPainter;
class PictureMouse;
class PictureView;
class PlaybackStrip;
class QDialog;
class QPainter;
class ToolWindow;
class ToolWindowSet;

class MainWindow : public QMainWindow, public WindowSurface, public ClientAreaInput {
  Q_OBJECT
 public:
  MainWindow(AppState& state, CoreBridge& core, std::unique_ptr<Prompts> prompts);
  ~MainWindow() override;

  // Start-up after the window is shown: clear the image and bring up the data source.
  void Start();
  void ApplyRunMode();
  void SetStartFile(const std::string& path);  // played at start instead of asking
  void OnCommand(int id);
  // The orderly close: link stopped, files closed, settings saved. Runs once.
  void OrderlyClose();
  bool Closed() const { return closed_; }
  // A close for a signal (logout, kill) shows no message boxes.
  void SetQuietClose(bool quiet) { quiet_close_ = quiet; }

  // Input, in client coordinates (also driven by tests through real events).
  void HandleChar(int ch) override;
  void HandleKeyDown(int key) override;
  void HandleKeyUp() override;
  void HandleLeftDown(int x, int y) override;
  void HandleLeftUp(int x, int y) override;
  void HandleRightDown(int x, int y) override;
  void HandleMouseMove(int x, int y) override;

  // Held-button repetition: the repeat timer's tick (public so tests can drive it
  // without waiting).
  void RepeatTick();
  bool RepeatActive() const;
  int RepeatIntervalMs() const;

  // Slider seek (position 0..100).
  void SeekPercent(int percent);

  // Calls from the core, already on the GUI thread.
  void SetStatusMessage(const std::string& text, int text_color, int fill_color, int outline_color);
  void SetAzimuthNotice(bool shown);
  void SetDateTimeText(const std::string& text);
  void ClockTick(const LocalTime& now);
  void RefreshGps();  // the GPS read-out as the state has it now
  void SetGpsReadout(bool in_use, const std::string& lat, const std::string& lng, bool blink,
                     bool available);
  void RefreshChangedPanels();
  void RefreshFrequency();
  void UpdateTitle();
  void SetTitleText(const std::string& title);
  void SetMenuText(int id, const char* text) { menu_->SetText(id, text); }
  void SetPlaybackPercent(int percent);
  void RedrawDiagnostics();
  void ShowMessage(const std::string& caption, const std::string& text, bool warning);
  void ForcePanelRedraw();
  void ReverseControlChanged();
  void PanelsChanged(unsigned mask);
  void ToolWindowChanged(int which);  // 0 scan, 1 azimuth, 2 orientation
  ToolWindow* Tool(int which) const;
  void ChangeAzimuth();  // the azimuth window's "Change Azimuth"
  void ImageChanged() override;  // whole-image change (clear, grid)
  void PaletteChanged();  // the colour table of the image follows the palette
  void FlushDirty();    // coalesced repaint of what pings drew
  // What pings drew since the last repaint; called from any thread (the comm thread
  // live, the GUI thread in playback). The refresh timer turns it into repaints.
  void QueueImageRepaint(const DirtyRect& area);
  void OverlaysChanged(unsigned mask);  // zoom inset and readouts follow new pixels
  void RefreshReadouts();  // repaint the readouts after a change of what they read

  // Painting, called by the client area.
  void Paint(QPainter& p, const QRect& exposed) override;

  // Modal dialogs run through here; tests put a hook in place of exec().
  void SetDialogHook(std::function<void(QDialog&)> hook) { dialog_hook_ = std::move(hook); }
  void RunDialog(QDialog& d);

  // The pieces of the window, for each other and for tests.
  ControlPanels& Panels() { return *panels_; }
  EntryBox& Entry() { return *entry_; }
  PlaybackStrip& Playback() { return *playback_; }
  PictureMouse& Mouse() { return *mouse_; }
  ToolWindowSet& Tools() { return *tools_; }
  CoreBridge& Core() { return core_; }
  ShellState& Shell() { return shell_; }
  AppState& State() { return state_; }
  Prompts& GetPrompts() { return *prompts_; }
  const Layout& GetLayout() const { return layout_; }
  MenuBar& Menu() { return *menu_; }
  ClientArea* Client() const { return client_; }
  QSlider* Slider() const;
  DiagnosticsWindow* Diagnostics() const { return diagnostics_; }
  const QImage& Image() const;  // wraps the picture's pixels
  QColor Pal(int index) const;  // a colour of the palette
  QRgb ImageColour(int index) const { return Image().color(index); }  // colour table of the image
  void UpdateRect(int l, int t, int r, int b) override;  // repaint, right and bottom included
  QWidget* Widget() const override { return client_; }

  // For tests and the demo capture.
  std::string StatusText() const { return status_text_; }
  std::string PanelText(int panel) const;  // 0 Range 1 Mode 2 Gain 3 Speed 4 Sector 5 Train
  std::string FrequencyReadout() const;
  std::string GpsReadoutShown() const;  // the GPS read-out as last painted; empty when hidden
  std::string EntryBoxText() const;
  std::vector<std::string> ReadoutTexts() const;  // the three lines as shown; empty before any
  QRect ReadoutRect() const;  // where the three readout lines are painted
  QImage Capture();  // the client area as shown
  QImage CaptureWindow();  // the whole window (menu bar and client) as shown
  void CapturePlaybackFrame();  // auto frame capture: the next numbered BMP beside the played file

  int PaintCount() const { return paint_count_; }
  QRect LastPaintRect() const { return last_paint_rect_; }

 signals:
  void CloseFinished();  // the window was closed: the program ends

 protected:
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  void moveEvent(QMoveEvent* e) override;

 private:
  void PaintStatusTexts(QPainter& p, const QRect& exposed);

  AppState& state_;
  CoreBridge& core_;
  std::unique_ptr<Prompts> prompts_;
  ShellState shell_;
  Layout layout_;
  MenuBar* menu_ = nullptr;
  QWidget* surround_ = nullptr;  // holds the client area, panel colour around it
  ClientArea* client_ = nullptr;
  DiagnosticsWindow* diagnostics_ = nullptr;

  std::unique_ptr<PictureView> picture_;
  std::unique_ptr<ControlPanels> panels_;
  std::unique_ptr<EntryBox> entry_;
  std::unique_ptr<PlaybackStrip> playback_;
  std::unique_ptr<PictureMouse> mouse_;
  std::unique_ptr<OverlayPainter> overlays_;
  std::unique_ptr<MenuCommands> commands_;
  std::unique_ptr<ToolWindowSet> tools_;

  bool closed_ = false;
  bool quiet_close_ = false;
  std::string status_text_;
  int status_colors_[3] = {0, 0, 0};
  bool azimuth_notice_ = false;
  std::string date_time_;
  bool gps_in_use_ = false, gps_available_ = false, gps_blink_ = false, gps_drawn_pending_ = false;
  std::string gps_lat_, gps_lng_;
  int paint_count_ = 0;
  QRect last_paint_rect_;
  std::string title_;
  std::function<void(QDialog&)> dialog_hook_;
};
