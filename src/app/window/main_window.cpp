// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>
#include <QWindowStateChangeEvent>
#include <cstdio>
#include <utility>

#include "app_state.h"
#include "window/client_area.h"
#include "window/control_panels.h"
#include "bridge/core_bridge.h"
#include "tool_windows/diagnostics_window.h"
#include "window/entry_box.h"
#include "gps/gps_reader.h"
#include "imaging/imaging_display.h"
#include "link/azimuth_drive.h"
#include "window/menu_commands.h"
#include "window/overlay_painter.h"
#include "window/panel_paint.h"
#include "window/picture_mouse.h"
#include "window/picture_view.h"
#include "window/playback_strip.h"
#include "bridge/screen_capture.h"
#include "tool_windows/tool_windows.h"
#include "settings/head_copies.h"
#include "window/tool_window_set.h"

namespace {

constexpr int kClientW = 810;
constexpr int kClientH = 569;

}  // namespace

MainWindow::MainWindow(AppState& state, CoreBridge& core, std::unique_ptr<Prompts> prompts)
    : state_(state), core_(core), prompts_(std::move(prompts)) {
  if (!prompts_) prompts_ = std::make_unique<QtPrompts>(this);
  setWindowTitle(kProgramTitle);
  // The fixed layout sits at the top left; a larger (maximised) window shows the
  // panel colour around it.
  surround_ = new QWidget(this);
  surround_->setAutoFillBackground(true);
  client_ = new ClientArea(this, surround_);
  client_->setFixedSize(kClientW, kClientH);
  client_->setFont(PanelFont());
  surround_->setMinimumSize(kClientW, kClientH);
  setCentralWidget(surround_);
  menu_ = new MenuBar(menuBar(), [this](int id) { OnCommand(id); });
  connect(menuBar(), &QMenuBar::hovered, this, [this] { shell_.MenuOpen = 1; });
  // A menu closed with Escape leaves the menu bar holding the keyboard, where H
  // would open the Heads menu and R Com Ports: the picture takes the keys back, so
  // the one-key commands reach the sonar. Alt and a click still open the menus.
  for (QAction* a : menuBar()->actions()) {
    if (QMenu* m = a->menu()) {
      connect(m, &QMenu::aboutToHide, this, [this] {
        QTimer::singleShot(0, this, [this] {
          for (QAction* other : menuBar()->actions())
            if (other->menu() && other->menu()->isVisible()) return;  // another menu opened
          if (menuBar()->hasFocus()) client_->setFocus();
        });
      });
    }
  }

  // Creation: default configuration, settings, menu state, port probe, layout.
  core_.BuildDefaultConfig();
  core_.LoadSettings();
  // The pieces, each given what it uses; the window connects them to each other.
  // The layout is computed below; the pieces keep a reference to it.
  picture_ = std::make_unique<PictureView>(core_, client_);
  Prompts& asks = *prompts_;
  mouse_ = std::make_unique<PictureMouse>(state_, core_, layout_, *picture_, *this);
  overlays_ = std::make_unique<OverlayPainter>(state_, layout_, *picture_);
  entry_ = std::make_unique<EntryBox>(state_, layout_, *picture_, asks, *this,
                                      EntryBox::Links{
                                          .range_changed = [this] { panels_->RangeChanged(); },
                                          .panel_changed = [this](int panel) { panels_->UpdatePanel(panel); },
                                          .readouts_changed = [this] { mouse_->RefreshReadouts(); },
                                      });
  playback_ = std::make_unique<PlaybackStrip>(state_, core_, *picture_, asks, *this,
                                              PlaybackStrip::Links{
                                                  .closed = [this] { return closed_; },
                                                  .redraw_panels = [this] { ForcePanelRedraw(); },
                                                  .panels_changed = [this] { panels_->RefreshChangedPanels(); },
                                                  .paint_arrow = [this](QPainter& p, int b) { panels_->PaintArrow(p, b); },
                                                  .capture_window = [this] { return CaptureWindow(); },
                                              });
  panels_ = std::make_unique<ControlPanels>(state_, core_, layout_, *picture_, *menu_, *entry_, *this,
                                            ControlPanels::Links{
                                                .pointer = [this] { return mouse_->Pointer(); },
                                                .readouts_changed = [this] { mouse_->RefreshReadouts(); },
                                                .stop_measuring = [this] { mouse_->StopMeasuring(); },
                                                .schedule_playback = [this](int ms) { playback_->Schedule(ms); },
                                                .step_plot_speed = [this](bool up) { playback_->StepPlotSpeed(up); },
                                                .command = [this](int id) { OnCommand(id); },
                                            });
  tools_ = std::make_unique<ToolWindowSet>(state_, shell_, *menu_, asks, *this,
                                           ToolWindowSet::Links{
                                               .run_dialog = [this](QDialog& d) { RunDialog(d); },
                                               .command = [this](int id) { OnCommand(id); },
                                               .clear_status = [this] { SetStatusMessage("", 121, 121, 121); },
                                           });
  commands_ = std::make_unique<MenuCommands>(
      state_, core_, *menu_, shell_, asks, layout_, *this, *this,
      MenuCommands::Pieces{*panels_, *mouse_, *playback_, *tools_},
      MenuCommands::Links{
          .run_dialog = [this](QDialog& d) { RunDialog(d); },
          .capture_window = [this] { return CaptureWindow(); },
          .palette_changed = [this] { PaletteChanged(); },
          .refresh_gps = [this] { RefreshGps(); },
          .set_azimuth_notice = [this](bool shown) { SetAzimuthNotice(shown); },
          .set_status_message = [this](const std::string& text, int t, int f, int o) { SetStatusMessage(text, t, f, o); },
      });
  commands_->BuildFromState();
  core_.ProbePorts();
  QFontMetrics fm(PanelFont());
  layout_ = ComputeLayout(fm.horizontalAdvance('X'), fm.height(), 16, 16);

  // The image's colours from the stored colour table, before anything is drawn,
  // captured or served: the menu's tick and the picture agree from the start.
  core_.SelectColorTable(state_.Colors);
  PaletteChanged();

  diagnostics_ = new DiagnosticsWindow(state_, shell_, this);
  tools_->Create(diagnostics_, state_.SettingsPath.get());
  resize(kClientW, kClientH + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow() = default;

QColor MainWindow::Pal(int index) const { return picture_->Pal(index); }
const QImage& MainWindow::Image() const { return picture_->Image(); }

// ---------------------------------------------------------------- life cycle

void MainWindow::Start() {
  panels_->SetScanSectorExtension();
  core_.ClearImage();
  ImageChanged();
  ApplyRunMode();
  if (state_.AzimuthDriveEnable == 1 && state_.AzimuthWindow == 1) tools_->Show(Tool(1));
  if (state_.AzimuthDriveEnable == 0) state_.AzimuthWindow = 0;
  shell_.OrientationShown = state_.EnableOrientationModule == 1 ? 1 : 0;
  state_.OrientationWindowShown = shell_.OrientationShown != 0;
  if (shell_.OrientationShown) tools_->Show(Tool(2));
  client_->setFocus();
}

void MainWindow::ApplyRunMode() {
  // 1. Reverse control, measurement (the ping counters are zeroed once the link is down).
  state_.ReverseAvailable = 0;
  mouse_->StopMeasuring();
  // 2. Files and ports.
  if (core_.Recording()) playback_->ToggleRecording();
  if (core_.Copying()) playback_->ToggleCopy();
  core_.ClosePlayback();
  playback_->DestroySlider();
  playback_->Stop();
  core_.StopHeadLink();
  if (core_.GpsPortAvailable()) core_.StopGps();
  core_.ZeroPingCounters();
  // 3. GPS fix and orientation.
  core_.ClearGpsFix();
  gps_lat_.clear();
  gps_lng_.clear();
  core_.ResetOrientation();

  if (state_.RunMode == 1) {
    // An auto-azimuth run needs the head: it ends here rather than collect nothing.
    core_.EndAutoAzimuthRun();
    SetStatusMessage("", 121, 121, 121);
    SwapHeadCopies(state_, true);
    commands_->SetRunModeMenus();
    if (!core_.PlaybackOpen()) SetTitleText(std::string(kProgramTitle) + " - [No File]");
  } else {
    SwapHeadCopies(state_, false);
    for (int i = 0; i < 5; ++i) menu_->Check(cmd::kProfileMode + i, state_.Profile == i);
    state_.ProfileMenu = state_.Profile.load();
    panels_->RangeChanged();
    commands_->SetRunModeMenus();
    core_.StartHeadLink();
    if (state_.UseGPS == 1 && core_.GpsPortAvailable()) core_.StartGps();
    SetTitleText(kProgramTitle);
  }
  if (state_.RunMode != state_.PreviousRunMode) {
    state_.PreviousRunMode = state_.RunMode.load();
    client_->update();
    core_.ResetEchoLines();
    core_.ClearImage();
    ImageChanged();
  }
  panels_->ForgetDrawnValues();
  client_->update();
  if (state_.RunMode == 1) playback_->OpenWithSlider();
  // 8. The azimuth drive: no position in playback; detected afresh when live.
  if (state_.AzimuthDriveEnable == 1) {
    if (state_.RunMode == 1) state_.AzimuthPosition = 600;
    else RestartAzimuthDetection(state_);
    ToolWindowChanged(1);
  }
}

void MainWindow::OrderlyClose() {
  if (closed_) return;
  closed_ = true;
  playback_->Stop();
  panels_->Stop();
  if (state_.RunMode == 0) {
    core_.StopHeadLink();
    if (core_.GpsPortAvailable()) core_.StopGps();
  }
  core_.CloseSurveyFile();
  if (core_.Recording()) core_.StopRecording();
  if (state_.RunMode == 1) {
    if (core_.Copying()) core_.StopCopy();
    core_.ClosePlayback();
  }
  core_.SaveSettings();
  std::string error;
  if (!tools_->SavePlaces(state_.SettingsPath.get(), &error) && !error.empty())
    std::fprintf(stderr, "winq47v: window positions not saved: %s\n", error.c_str());
}

void MainWindow::closeEvent(QCloseEvent* e) {
  OrderlyClose();
  // The tool windows go with the main window; hidden, not closed, so that their
  // settings (AzimuthWindow, the orientation module) stay as saved.
  for (QWidget* w : tools_->Widgets()) w->hide();
  e->accept();
  emit CloseFinished();
}

void MainWindow::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() != QEvent::WindowStateChange || closed_) return;
  if (state_.OnWhenMinimized == 1 || state_.RunMode != 0) return;
  if (isMinimized()) {
    core_.StopHeadLink();
    if (core_.GpsPortAvailable()) core_.StopGps();
    shell_.MinimizedPortsClosed = 1;
  } else if (shell_.MinimizedPortsClosed == 1) {
    core_.StopHeadLink();
    core_.StartHeadLink();
    if (state_.UseGPS == 1 && core_.GpsPortAvailable()) core_.StartGps();
    shell_.MinimizedPortsClosed = 0;
  }
}

void MainWindow::moveEvent(QMoveEvent* e) { QMainWindow::moveEvent(e); }

// ---------------------------------------------------------------- wiring

void MainWindow::SetStartFile(const std::string& path) { playback_->SetStartFile(path); }
void MainWindow::OnCommand(int id) { commands_->Run(id); }
void MainWindow::RepeatTick() { panels_->RepeatTick(); }
bool MainWindow::RepeatActive() const { return panels_->RepeatActive(); }
int MainWindow::RepeatIntervalMs() const { return panels_->RepeatIntervalMs(); }
void MainWindow::SeekPercent(int percent) { playback_->Seek(percent); }
void MainWindow::SetPlaybackPercent(int percent) { playback_->SetPercent(percent); }
QSlider* MainWindow::Slider() const { return playback_->Slider(); }
void MainWindow::CapturePlaybackFrame() { playback_->CaptureFrame(); }
void MainWindow::RefreshChangedPanels() { panels_->RefreshChangedPanels(); }
void MainWindow::RefreshFrequency() { panels_->RefreshFrequency(); }
std::string MainWindow::PanelText(int panel) const { return panels_->PanelText(panel); }
std::string MainWindow::FrequencyReadout() const { return panels_->FrequencyReadout(); }
std::string MainWindow::EntryBoxText() const { return entry_->Text(); }
std::vector<std::string> MainWindow::ReadoutTexts() const { return mouse_->ReadoutTexts(); }
QRect MainWindow::ReadoutRect() const { return OverlayPlaces(layout_).readouts; }
void MainWindow::RefreshReadouts() { mouse_->RefreshReadouts(); }
void MainWindow::OverlaysChanged(unsigned mask) { mouse_->OverlaysChanged(mask); }
ToolWindow* MainWindow::Tool(int which) const { return tools_->Tool(which); }
void MainWindow::ToolWindowChanged(int which) { tools_->Changed(which); }
void MainWindow::ChangeAzimuth() { tools_->ChangeAzimuth(); }
void MainWindow::ReverseControlChanged() { UpdateRect(361, 533, 441, 551); }

void MainWindow::RunDialog(QDialog& d) {
  if (dialog_hook_) dialog_hook_(d); else d.exec();
}

void MainWindow::ShowMessage(const std::string& caption, const std::string& text, bool warning) {
  if (quiet_close_) return;
  if (warning) prompts_->Warning(caption, text); else prompts_->Info(caption, text);
}

// ---------------------------------------------------------------- keys and mouse

void MainWindow::HandleChar(int ch) {
  if (panels_->Held()) return;  // a held panel button swallows input
  if (entry_->HandleChar(ch)) return;
  const bool head = state_.RunMode == 0;
  const char c = static_cast<char>(ch);
  if (c == 'H' || c == 'h') {
    panels_->ToggleHold();
    return;
  }
  if (c == ' ') {
    if (head) panels_->RevPressed(); else playback_->ToggleReverse();
    return;
  }
  if (c == 'C' || c == 'c') {
    core_.ResetEchoLines();
    core_.ClearImage();
    ImageChanged();
  }
}

void MainWindow::HandleKeyDown(int key) { mouse_->KeyDown(key); }
void MainWindow::HandleKeyUp() { mouse_->KeyUp(); }

void MainWindow::HandleMouseMove(int x, int y) {
  shell_.MenuOpen = 0;
  mouse_->Move(x, y);
  panels_->PointerMoved(x, y);
}

void MainWindow::HandleRightDown(int x, int y) { mouse_->RightDown(x, y); }
void MainWindow::HandleLeftUp(int, int) { panels_->Release(); }

void MainWindow::HandleLeftDown(int x, int y) {
  mouse_->SetPointer(x, y);
  const bool head = state_.RunMode == 0;
  if (mouse_->LeftDown(x, y)) return;
  if (x > 734 && x < 780 && y > 4 && y < 15) {
    panels_->ToggleHold();
    return;
  }
  if (head && x > 734 && x < 780 && y > 22 && y < 33) {
    panels_->RevPressed();
    return;
  }
  if (!head && x > 361 && x < 432 && y > 534 && y < 545) {
    if (state_.ReverseAvailable) playback_->ToggleReverse();
    return;
  }
  if (state_.HoldActive) return;
  if (!head) {
    if (layout_.ButtonRects[kPlayRight].Contains(x, y)) return panels_->Press(kPlayRight);
    if (layout_.ButtonRects[kPlayLeft].Contains(x, y)) return panels_->Press(kPlayLeft);
  }
  if (layout_.FileButtonRect.Contains(x, y)) {
    if (state_.RunMode == 1) {
      playback_->OpenWithSlider();
    } else {
      core_.StopHeadLink();
      state_.RunMode = 1;
      ApplyRunMode();
    }
    return;
  }
  if (layout_.HeadButtonRect.Contains(x, y)) {
    if (state_.RunMode != 0) {
      state_.RunMode = 0;
      ApplyRunMode();
    }
    return;
  }
  if (!head) return;
  if (const int b = panels_->ArrowAt(x, y); b >= 0) panels_->Press(b);
}

// ---------------------------------------------------------------- title and texts

void MainWindow::SetTitleText(const std::string& title) {
  title_ = title;
  setWindowTitle(QString::fromStdString(title));
}

void MainWindow::UpdateTitle() {}

void MainWindow::SetStatusMessage(const std::string& text, int text_color, int fill, int outline) {
  if (text == status_text_ && status_colors_[0] == text_color && status_colors_[1] == fill) return;
  status_text_ = (text_color == fill) ? std::string() : text;
  status_colors_[0] = text_color;
  status_colors_[1] = fill;
  status_colors_[2] = outline;
  UpdateRect(150, 510, 460, 530);
}

void MainWindow::SetAzimuthNotice(bool shown) {
  if (shown == azimuth_notice_) return;
  azimuth_notice_ = shown;
  UpdateRect(201, 532, 401, 536 + layout_.LineH);
}

void MainWindow::SetDateTimeText(const std::string& text) {
  if (text == date_time_) return;
  date_time_ = text;
  UpdateRect(2, 510, 2 + 18 * layout_.CharW, 515 + layout_.LineH);
}

void MainWindow::SetGpsReadout(bool in_use, const std::string& lat, const std::string& lng, bool blink,
                               bool available) {
  gps_in_use_ = in_use;
  gps_lat_ = lat;
  gps_lng_ = lng;
  gps_blink_ = blink;
  gps_available_ = available;
  gps_drawn_pending_ = true;  // the next paint shows these; later ones look again
  UpdateRect(2, 532, 200, 536 + layout_.LineH);
}

void MainWindow::ClockTick(const LocalTime& t) {
  if (state_.RunMode != 0) return;  // in FILE mode the records carry the time
  SetDateTimeText(DateTimeText(t.day, t.month, t.year, t.hour, t.minute, t.second));
  core_.TickGps();
}

std::string MainWindow::GpsReadoutShown() const {
  if (!gps_in_use_) return {};
  return gps_available_ ? gps_lat_ + " " + gps_lng_ : "GPS Lat / Lng Not Available";
}

void MainWindow::RefreshGps() {
  const bool in_use = GpsInUse(state_, state_.RunMode == 1 && state_.PlaybackGpsPresent != 0);
  const GpsReadout r = MakeGpsReadout(state_, in_use, false);
  SetGpsReadout(r.kind != GpsReadout::Kind::Hidden, r.latitudeText, r.longitudeText, r.mark,
                r.kind == GpsReadout::Kind::Position);
}

// ---------------------------------------------------------------- redraws

void MainWindow::UpdateRect(int l, int t, int r, int b) { client_->update(l, t, r - l + 1, b - t + 1); }

void MainWindow::ForcePanelRedraw() {
  panels_->ForgetDrawnValues();
  panels_->ForgetDrawnFrequency();
  ImageChanged();
  client_->update();
}

void MainWindow::PanelsChanged(unsigned mask) {
  if (mask & kPanelDiagnostics) RedrawDiagnostics();
  if (mask & kPanelPerPing) panels_->RefreshChangedPanels();
  if (mask & kPanelFrequency) panels_->RefreshFrequency();
  if (mask & kPanelDateTime) {
    if (state_.RunMode == 1)
      SetDateTimeText(state_.PlaybackDateText.get() + "  " + state_.PlaybackTimeText.get());
  }
  if (mask & kPanelUserText) UpdateRect(619, layout_.TextBase - 37, 777, layout_.TextBase - 19);
  if (mask & kPanelPalette) PaletteChanged();
  if (mask & kPanelHeadMarker) client_->update(OverlayPlaces(layout_).dial);
  if (mask & kPanelGridLabel) client_->update(OverlayPlaces(layout_).grid_label);
  if (mask & kPanelStatusMessage) SetStatusMessage("", 121, 121, 121);
  // The small windows follow played records as they follow live replies.
  if (mask & kPanelOrientationWindow) ToolWindowChanged(2);
  if (mask & kPanelAzimuthWindow) ToolWindowChanged(1);
}

void MainWindow::RedrawDiagnostics() {
  if (shell_.DiagnosticsShown) diagnostics_->update();
}

void MainWindow::PaletteChanged() {
  picture_->SetPalette();
  QPalette surround = surround_->palette();
  surround.setColor(QPalette::Window, Pal(121));
  surround_->setPalette(surround);
  client_->update();
}

void MainWindow::ImageChanged() {
  client_->update(2, 2, 599, 509);
  client_->update(OverlayPlaces(layout_).grid_label);  // the scale follows grid, range and units
}

void MainWindow::QueueImageRepaint(const DirtyRect& area) { picture_->QueueRepaint(area); }
void MainWindow::FlushDirty() { picture_->FlushDirty(); }

QImage MainWindow::Capture() { return client_->grab().toImage(); }

QImage MainWindow::CaptureWindow() {
  // Pending repaints first (also where a closed dialog uncovered the window), so
  // that the capture shows the readouts and the inset.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  FlushDirty();
  client_->repaint();
  return GrabFromScreen(*this, true);
}

// ---------------------------------------------------------------- painting

void MainWindow::Paint(QPainter& p, const QRect& exposed) {
  ++paint_count_;
  last_paint_rect_ = exposed;
  p.setFont(PanelFont());
  p.fillRect(exposed, Pal(121));
  picture_->Paint(p, exposed);
  mouse_->PaintMeasureLine(p);
  if (exposed.right() >= 600) panels_->Paint(p, exposed);
  overlays_->Paint(p, exposed, status_text_.empty());
  mouse_->PaintZoomAndReadouts(p, exposed);
  PaintStatusTexts(p, exposed);
  playback_->PaintCaptureNote(p);
  if (state_.RunMode == 1) playback_->Paint(p);
}

void MainWindow::PaintStatusTexts(QPainter& p, const QRect& exposed) {
  // Date and time.
  {
    const int r = 2 + 18 * layout_.CharW;
    Box(p, 2, 510, r, 515 + layout_.LineH, Pal(125), Pal(122));
    const QString t = QString::fromStdString(date_time_);
    p.setPen(Pal(125));
    const int w = p.fontMetrics().horizontalAdvance(t);
    p.drawText(2 + 9 * layout_.CharW - w / 2, 513 + p.fontMetrics().ascent(), t);
  }
  // Status message under the image.
  if (!status_text_.empty()) {
    const QString t = QString::fromStdString(status_text_);
    const int w = p.fontMetrics().horizontalAdvance(t);
    Box(p, 296 - w / 2, 512, 307 + w / 2, 515 + layout_.LineH, Pal(status_colors_[2]),
        status_colors_[1] == 255 ? QColor(Qt::white) : Pal(status_colors_[1]));
    p.setPen(status_colors_[0] == 255 ? QColor(Qt::white) : Pal(status_colors_[0]));
    p.drawText(301 - w / 2, 513 + p.fontMetrics().ascent(), t);
  }
  // Azimuth notice.
  if (azimuth_notice_) {
    const QString t = "Azimuth Drive Not Found";
    const int w = p.fontMetrics().horizontalAdvance(t);
    ShadowText(p, 301 - w / 2, 534, t, Qt::white, Pal(125));
  }
  // GPS read-out.
  if (!gps_drawn_pending_ && exposed.intersects(QRect(2, 532, 199, 5 + layout_.LineH))) {
    // A repaint of its own looks at the read-out again: the message once five
    // seconds passed without a sentence, the blink of the mark.
    const GpsReadout r =
        MakeGpsReadout(state_, GpsInUse(state_, state_.RunMode == 1 && state_.PlaybackGpsPresent != 0), false);
    gps_in_use_ = r.kind != GpsReadout::Kind::Hidden;
    gps_available_ = r.kind == GpsReadout::Kind::Position;
    gps_lat_ = r.latitudeText;
    gps_lng_ = r.longitudeText;
    gps_blink_ = r.mark;
  }
  gps_drawn_pending_ = false;
  if (gps_in_use_) {
    Box(p, 2, 532, 200, 536 + layout_.LineH, Pal(125), Pal(122));
    p.setPen(Pal(125));
    const int a = p.fontMetrics().ascent();
    if (gps_available_) {
      p.drawText(3, 534 + a, QString::fromStdString(gps_lat_));
      p.drawText(94, 534 + a, QString::fromStdString(gps_lng_));
      if (gps_blink_) p.drawText(189, 534 + a, "*");
    } else {
      p.drawText(8, 534 + a, "GPS Lat / Lng Not Available");
    }
  }
}
