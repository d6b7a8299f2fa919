#include "main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QWindow>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <cmath>
#include <utility>
#include <cstdio>
#include <cstdlib>

#include "app_images.h"
#include "client_area.h"
#include "config_dialogs.h"
#include "core_bridge.h"
#include "diagnostics_window.h"
#include "live_view_dialog.h"
#include "print_page.h"
#include "modal_state.h"
#include "display.h"
#include "gps/gps_reader.h"
#include "link/azimuth_drive.h"
#include "link/head_scan.h"
#include "link/orientation_module.h"
#include "screen_capture.h"
#include "setup_dialogs.h"
#include "tool_windows.h"
#include "window_places.h"
#include "prompts.h"
#include "imaging/imaging_display.h"
#include "app_state.h"
#include "settings/head_copies.h"
#include "settings/user_config.h"

namespace {

constexpr int kClientW = 810;
constexpr int kClientH = 569;

const char* const kRangeWarningMeters =
    "Please use one of the following ranges:\n 1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 60, 80, 100, 150, or 200 Meters    ";
const char* const kRangeWarningFeet =
    "Please use one of the following ranges:\n 3, 6, 9, 12, 15, 30, 60, 90, 120, 150, 180, 240, 300, 450, or 600 Feet    ";

QFont PanelFont() {
  QFont f("DejaVu Sans");
  f.setPixelSize(12);
  return f;
}
QFont SmallFont() {
  QFont f("DejaVu Sans");
  f.setPixelSize(11);
  return f;
}

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

  // Creation: default configuration, settings, menu state, port probe, layout.
  core_.BuildDefaultConfig();
  core_.LoadSettings();
  BuildMenuFromState();
  core_.ProbePorts();
  QFontMetrics fm(PanelFont());
  layout_ = ComputeLayout(fm.horizontalAdvance('X'), fm.height(), 16, 16);
  train_sector_ = train_polar_ = state_.Train.load();

  image_ = QImage(core_.Image().Pixels(), kImageWidth, kImageHeight, kImageWidth, QImage::Format_Indexed8);
  PaletteChanged();

  repeat_timer_.setSingleShot(true);
  connect(&repeat_timer_, &QTimer::timeout, this, &MainWindow::RepeatTick);
  playback_timer_.setSingleShot(true);
  connect(&playback_timer_, &QTimer::timeout, this, &MainWindow::PlayNext);
  refresh_timer_.setInterval(16);
  connect(&refresh_timer_, &QTimer::timeout, this, &MainWindow::FlushDirty);
  refresh_timer_.start();

  diagnostics_ = new DiagnosticsWindow(state_, shell_, this);
  CreateToolWindows();
  places_ = new WindowPlaces(this);
  places_->Load(state_.SettingsPath.get());
  for (QWidget* w : ToolWidgets()) places_->Track(w);
  resize(kClientW, kClientH + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow() = default;

QColor MainWindow::Pal(int index) const {
  if (index < 0 || index >= image_.colorCount()) return Qt::black;
  return QColor(image_.color(index));
}

// ---------------------------------------------------------------- menus

void MainWindow::BuildMenuFromState() {
  MenuBar& m = *menu_;
  for (int i = 0; i < 9; ++i) m.Check(cmd::kColors + i, state_.Colors == i);
  m.Check(cmd::kXdcrUp, state_.Xdcr == 1);
  m.Check(cmd::kXdcrDown, state_.Xdcr == 0);
  m.Check(cmd::kGridOnOff, state_.Grid == 1);
  m.Check(cmd::kMeters, state_.Units == 0);
  m.Check(cmd::kFeet, state_.Units == 1);
  m.Check(cmd::kPixelZoom, state_.PixelZoom == 1);
  if (state_.ProfileGrid == 1) {
    m.Check(cmd::kProfileGrid, true);
    m.Enable(cmd::kZeroDown, true);
    m.SetText(cmd::kXdcrUp, "&Aft");
    m.SetText(cmd::kXdcrDown, "&Fwd");
  }
  m.Check(cmd::kZeroDown, state_.ZeroDown == 0);
  m.Check(cmd::kOnWhenMinimized, state_.OnWhenMinimized == 1);
  for (int i = 0; i < 5; ++i) m.Check(cmd::kProfileMode + i, state_.Profile == i);
  state_.ProfileMenu = state_.Profile.load();
  m.SetText(cmd::kSonarHead, "Disable &Sonar Head");
  m.Enable(cmd::kSonarHead, false);
  const bool az = state_.AzimuthDriveEnable == 1;
  m.SetText(cmd::kAzimuthDrive, az ? "Disable &Azimuth Drive" : "Enable &Azimuth Drive");
  const bool az_head = az && state_.RunMode == 0;
  m.Enable(cmd::kChangeAzimuth, az_head);
  m.Enable(cmd::kSimulateAzimuth, az_head);
  m.Enable(cmd::kAutoAzimuth, az_head);
  m.Check(cmd::kSimulateAzimuth, state_.SimulateAzimuthDrive == 1);
  m.SetText(cmd::kOrientationModule,
            state_.EnableOrientationModule == 1 ? "Disable &Orientation Module" : "Enable &Orientation Module");
  if (state_.GridMode == 2) {
    m.Enable(cmd::kProfileGrid, false);
    m.Enable(cmd::kZeroDown, false);
  }
}

void MainWindow::SetRunModeMenus() {
  MenuBar& m = *menu_;
  const bool file = state_.RunMode == 1;
  for (int id : {cmd::kPlayback, cmd::kCopy, cmd::kAutoFrameCapture}) m.Enable(id, file);
  for (int id : {cmd::kRecord, cmd::kXdcrUp, cmd::kXdcrDown, cmd::kComPorts, cmd::kOnWhenMinimized,
                 cmd::kCalibrate, cmd::kVerticalScan, cmd::kChangeAzimuth, cmd::kSimulateAzimuth})
    m.Enable(id, !file);
  m.Enable(cmd::kVerticalScan, !file && state_.VerticalScanMenuEnabled != 0);  // greyed during an auto-azimuth run
  m.Enable(cmd::kAutoAzimuth, !file && state_.AzimuthDriveEnable == 1);
  if (!file) {
    // The azimuth items stay grey while the drive is disabled.
    m.Enable(cmd::kChangeAzimuth, state_.AzimuthDriveEnable == 1);
    m.Enable(cmd::kSimulateAzimuth, state_.AzimuthDriveEnable == 1);
    if (state_.HoldActive) {
      m.Enable(cmd::kXdcrUp, false);
      m.Enable(cmd::kXdcrDown, false);
    }
  }
}

// ---------------------------------------------------------------- tool windows

void MainWindow::CreateToolWindows() {
  // The scan window: its size from the character metrics, its two buttons at the
  // right, each drawn pressed while its dialog is open.
  const QSize scan_size = ScanWindowSize(QFontMetrics(ToolWindowFont()));
  const int buttons_left = scan_size.width() - 136;
  scan_window_ = new ToolWindow(
      "Scan For Connected Heads", QRect(QPoint(10, 10), scan_size),
      [this, buttons_left](QPainter& p, const QRect& r) { PaintScanWindow(p, r, state_, buttons_left); },
      [this] {
        StopHeadScan(state_);
        state_.ScanWindowShown = false;
        shell_.HeadScanShown = 0;
        menu_->Check(cmd::kHeadScan, false);
        SetStatusMessage("", 121, 121, 121);
      },
      this);
  auto add_scan_button = [this, buttons_left](const char* text, int y, bool program) {
    auto* b = new QPushButton(text, scan_window_);
    b->setGeometry(buttons_left, y, 128, 24);
    connect(b, &QPushButton::clicked, this, [this, b, program] {
      b->setDown(true);
      HeadIdDialog d(state_, program, this);
      RunDialog(d);
      b->setDown(false);
    });
  };
  add_scan_button("Change Head ID", 40, false);
  add_scan_button("Program Head", 72, true);
  azimuth_window_ = new ToolWindow(
      "Azimuth", QRect(450, 399, 170, 170),
      [this](QPainter& p, const QRect& r) { PaintAzimuthWindow(p, r, state_); },
      [this] { state_.AzimuthWindow = 0; }, this);
  auto* change = new QPushButton("Change Azimuth", azimuth_window_);
  change->setGeometry(4, 4, 162, 20);
  connect(change, &QPushButton::clicked, this, [this] { ChangeAzimuth(); });
  auto* auto_azimuth = new QPushButton("Auto-Azimuth", azimuth_window_);
  auto_azimuth->setGeometry(4, 26, 162, 20);
  connect(auto_azimuth, &QPushButton::clicked, this, [this] { OnCommand(cmd::kAutoAzimuth); });
  orientation_window_ = new ToolWindow(
      "Orientation", QRect(10, 399, 170, 170),
      [this](QPainter& p, const QRect& r) { PaintOrientationWindow(p, r, state_); },
      [this] {
        state_.EnableOrientationModule = 0;
        shell_.OrientationShown = 0;
        state_.OrientationWindowShown = false;
        menu_->SetText(cmd::kOrientationModule, "Enable &Orientation Module");
      },
      this);
}

void MainWindow::ChangeAzimuth() {
  std::unique_ptr<ValueDialog> d(MakeAzimuthDialog(state_, *prompts_, this));
  RunDialog(*d);
  if (d->result() == QDialog::Accepted && state_.RunMode == 0) state_.AzimuthMoveRequest = true;
  ToolWindowChanged(1);
}

ToolWindow* MainWindow::Tool(int which) const {
  return which == 0 ? scan_window_ : (which == 1 ? azimuth_window_ : orientation_window_);
}

void MainWindow::ToolWindowChanged(int which) {
  if (ToolWindow* w = Tool(which); w && w->isVisible()) w->update();
}

std::vector<QWidget*> MainWindow::ToolWidgets() const {
  return {diagnostics_, scan_window_, azimuth_window_, orientation_window_};
}

void MainWindow::ShowTool(QWidget* w) {
  if (!w->isVisible()) {
    // Beside the main window needs to know where the window system put it: until
    // the main window is on the screen, tool windows wait for it (a few seconds at
    // most, then they open anyway).
    QWindow* handle = windowHandle();
    const bool placed_by_system = WindowPlaces::SystemPlacesWindows();
    if (placed_by_system && isVisible() && handle && !handle->isExposed() && tool_wait_ticks_ < 200) {
      const bool first = waiting_tools_.empty();
      if (std::find(waiting_tools_.begin(), waiting_tools_.end(), w) == waiting_tools_.end())
        waiting_tools_.push_back(w);
      if (first) {
        ++tool_wait_ticks_;
        QTimer::singleShot(100, this, &MainWindow::ShowWaitingTools);
      }
      return;
    }
    places_->Place(w, this);
  }
  w->show();
  w->raise();
  w->update();
}

void MainWindow::ShowWaitingTools() {
  std::vector<QWidget*> waiting;
  waiting.swap(waiting_tools_);
  for (QWidget* w : waiting) ShowTool(w);
}

// ---------------------------------------------------------------- life cycle

void MainWindow::Start() {
  SetScanSectorExtension();
  core_.ClearImage();
  ImageChanged();
  ApplyRunMode();
  if (state_.AzimuthDriveEnable == 1 && state_.AzimuthWindow == 1) ShowTool(azimuth_window_);
  if (state_.AzimuthDriveEnable == 0) state_.AzimuthWindow = 0;
  shell_.OrientationShown = state_.EnableOrientationModule == 1 ? 1 : 0;
  state_.OrientationWindowShown = shell_.OrientationShown != 0;
  if (shell_.OrientationShown) ShowTool(orientation_window_);
  client_->setFocus();
}

void MainWindow::ApplyRunMode() {
  // 1. Reverse control, measurement (the ping counters are zeroed once the link is down).
  state_.ReverseAvailable = 0;
  shell_.MeasureMode = 0;
  // 2. Files and ports.
  if (core_.Recording()) ToggleRecording();
  if (core_.Copying()) ToggleCopy();
  core_.ClosePlayback();
  DestroySlider();
  playback_timer_.stop();
  core_.StopHeadLink();
  if (core_.GpsPortAvailable()) core_.StopGps();
  core_.ZeroPingCounters();
  // 3. GPS fix and orientation.
  core_.ClearGpsFix();
  gps_lat_.clear();
  gps_lng_.clear();
  core_.ResetOrientation();

  if (state_.RunMode == 1) {
    SetStatusMessage("", 121, 121, 121);
    SwapHeadCopies(state_, true);
    SetRunModeMenus();
    if (!core_.PlaybackOpen()) SetTitleText(std::string(kProgramTitle) + " - [No File]");
  } else {
    SwapHeadCopies(state_, false);
    for (int i = 0; i < 5; ++i) menu_->Check(cmd::kProfileMode + i, state_.Profile == i);
    state_.ProfileMenu = state_.Profile.load();
    DrawRangeChanged();
    SetRunModeMenus();
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
  drawn_range_ = drawn_mode_ = drawn_gain_ = drawn_speed_ = drawn_sector_ = drawn_train_ = 1000;
  client_->update();
  if (state_.RunMode == 1) {
    OpenPlayback();
    CreateSlider();
  }
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
  playback_timer_.stop();
  repeat_timer_.stop();
  if (state_.RunMode == 0) {
    core_.StopHeadLink();
    if (core_.GpsPortAvailable()) core_.StopGps();
  }
  if (core_.Recording()) core_.StopRecording();
  if (state_.RunMode == 1) {
    if (core_.Copying()) core_.StopCopy();
    core_.ClosePlayback();
  }
  core_.SaveSettings();
  std::string error;
  if (!places_->Save(state_.SettingsPath.get(), &error) && !error.empty())
    std::fprintf(stderr, "winq47v: window positions not saved: %s\n", error.c_str());
}

void MainWindow::closeEvent(QCloseEvent* e) {
  OrderlyClose();
  // The tool windows go with the main window; hidden, not closed, so that their
  // settings (AzimuthWindow, the orientation module) stay as saved.
  for (QWidget* w : ToolWidgets()) w->hide();
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

// ---------------------------------------------------------------- titles and files

void MainWindow::SetTitleText(const std::string& title) {
  title_ = title;
  setWindowTitle(QString::fromStdString(title));
}

void MainWindow::UpdateTitle() {}

void MainWindow::RunDialog(QDialog& d) {
  if (dialog_hook_) dialog_hook_(d); else d.exec();
}

void MainWindow::ShowMessage(const std::string& caption, const std::string& text, bool warning) {
  if (quiet_close_) return;
  if (warning) prompts_->Warning(caption, text); else prompts_->Info(caption, text);
}

void MainWindow::ForcePanelRedraw() {
  drawn_range_ = drawn_mode_ = drawn_gain_ = drawn_speed_ = drawn_sector_ = drawn_train_ = 1000;
  drawn_freq_ = -1;
  ImageChanged();
  client_->update();
}

void MainWindow::ReverseControlChanged() { UpdateRect(361, 533, 441, 551); }

void MainWindow::PanelsChanged(unsigned mask) {
  if (mask & kPanelDiagnostics) RedrawDiagnostics();
  if (mask & kPanelPerPing) RefreshChangedPanels();
  if (mask & kPanelFrequency) RefreshFrequency();
  if (mask & kPanelDateTime) {
    if (state_.RunMode == 1)
      SetDateTimeText(state_.PlaybackDateText.get() + "  " + state_.PlaybackTimeText.get());
  }
  if (mask & kPanelUserText) UpdateRect(619, layout_.TextBase - 37, 777, layout_.TextBase - 19);
  if (mask & kPanelPalette) PaletteChanged();
  if (mask & kPanelHeadMarker) client_->update(Overlays().dial);
  if (mask & kPanelGridLabel) client_->update(Overlays().grid_label);
  if (mask & kPanelStatusMessage) SetStatusMessage("", 121, 121, 121);
}

void MainWindow::OpenPlayback() {
  FileDialogRequest request{kPlaybackDialogTitle, kSonarFileFilter, kSonarFileExtension, false};
  // A file named on the command line is opened instead of asking, once.
  const std::string chosen = start_file_.empty() ? prompts_->AskFile(request) : std::exchange(start_file_, {});
  if (chosen.empty()) return;
  if (core_.OpenPlayback(chosen)) {
    // A new file starts on a clear picture: nothing of the last one stays.
    core_.ResetEchoLines();
    core_.ClearImage();
    ForcePanelRedraw();
    if (slider_) slider_->setValue(0);
  }
  ImageChanged();
  client_->update();
  SchedulePlayback(0);
}

void MainWindow::ToggleRecording() {
  if (core_.Recording()) {
    core_.StopRecording();
    return;
  }
  FileDialogRequest request{kRecordDialogTitle, kSonarFileFilter, kSonarFileExtension, true};
  const std::string chosen = prompts_->AskFile(request);
  if (!chosen.empty()) core_.StartRecording(chosen);
}

void MainWindow::ToggleCopy() {
  if (core_.Copying()) {
    core_.StopCopy();
    return;
  }
  FileDialogRequest request{kCopyDialogTitle, kSonarFileFilter, kSonarFileExtension, true};
  const std::string chosen = prompts_->AskFile(request);
  if (!chosen.empty()) core_.StartCopy(chosen);
}

// ---------------------------------------------------------------- playback

void MainWindow::SchedulePlayback(int delay_ms) {
  if (closed_ || state_.RunMode != 1 || state_.HoldActive || !core_.PlaybackOpen()) return;
  playback_timer_.start(delay_ms);
}

void MainWindow::PlayNext() {
  if (closed_ || state_.RunMode != 1 || state_.HoldActive || !core_.PlaybackOpen()) return;
  if (ModalDialogOpen()) {
    SchedulePlayback(50);  // resumes once the box or dialog is answered
    return;
  }
  // Play records for up to a few milliseconds, then give the event loop its turn;
  // a paced record schedules the next one instead of waiting here.
  QElapsedTimer budget;
  budget.start();
  int delay = 0;
  do {
    delay = core_.PlayNextRecord();
    if (!core_.PlaybackOpen()) return;
  } while (delay == 0 && budget.elapsed() < 4);
  RefreshChangedPanels();
  SetPlaybackPercent(core_.PlaybackPercent());
  SchedulePlayback(delay);
}

void MainWindow::SetPlaybackPercent(int percent) {
  if (slider_ && !slider_->isSliderDown() && slider_->value() != percent) {
    const QSignalBlocker block(slider_.data());
    slider_->setValue(percent);
  }
}

void MainWindow::SeekPercent(int p) {
  if (state_.RunMode != 1 || !core_.PlaybackOpen()) return;
  if (p <= 0 || p >= 100) return;
  core_.SeekPercent(p);
  core_.ResetEchoLines();
  core_.ClearImage();
  core_.ResetOrientation();
  ImageChanged();
}

void MainWindow::CreateSlider() {
  if (slider_ || !core_.PlaybackOpen()) return;
  QSlider* s = new QSlider(Qt::Horizontal, client_);
  s->setObjectName("Trackbar Control");
  s->setRange(0, 100);
  s->setPageStep(10);
  s->setTickInterval(10);
  s->setTickPosition(QSlider::TicksBelow);
  s->setValue(0);
  s->setFocusPolicy(Qt::NoFocus);
  s->setGeometry(620, 43, 154, 20);
  connect(s, &QSlider::valueChanged, this, [this](int v) {
    SeekPercent(v);
    client_->setFocus();
  });
  s->show();
  slider_ = s;
}

void MainWindow::DestroySlider() {
  if (slider_) slider_->deleteLater();
  slider_ = nullptr;
}

// ---------------------------------------------------------------- commands

void MainWindow::OnCommand(int id) {
  const bool head = state_.RunMode == 0;
  MenuBar& m = *menu_;
  if (id >= cmd::kColors && id <= cmd::kColors + 8) {
    m.Check(cmd::kColors + state_.Colors, false);
    state_.Colors = id - cmd::kColors;
    m.Check(id, true);
    core_.SelectColorTable(state_.Colors);
    PaletteChanged();
    return;
  }
  if (id >= cmd::kProfileMode && id <= cmd::kProfileMode + 4) {
    m.Check(cmd::kProfileMode + state_.ProfileMenu, false);
    state_.ProfileMenu = id - cmd::kProfileMode;
    if (!head) state_.Profile = id - cmd::kProfileMode;
    m.Check(id, true);
    if (id - cmd::kProfileMode == 1) {
      core_.ClearImage();
      ImageChanged();
      state_.SettingsCheck = true;
    }
    return;
  }
  switch (id) {
    case cmd::kRecord:
      if (!head) return;
      ToggleRecording();
      state_.SendRequest = true;
      return;
    case cmd::kPlayback:
      if (head) return;
      OpenPlayback();
      CreateSlider();
      return;
    case cmd::kCopy:
      if (head) return;
      ToggleCopy();
      return;
    case cmd::kAutoFrameCapture:
      if (head) return;
      core_.ToggleAutoFrameCapture();
      return;
    case cmd::kExit:
      close();
      return;
    case cmd::kXdcrUp:
    case cmd::kXdcrDown:
      if (!head) return;
      m.Check(cmd::kXdcrUp, id == cmd::kXdcrUp);
      m.Check(cmd::kXdcrDown, id == cmd::kXdcrDown);
      state_.Xdcr = id == cmd::kXdcrUp ? 1 : 0;
      state_.SendRequest = true;
      client_->update(Overlays().transducer);
      core_.ClearImage();
      ImageChanged();
      return;
    case cmd::kMeters:
    case cmd::kFeet:
      m.Check(cmd::kMeters + state_.Units, false);
      state_.Units = id - cmd::kMeters;
      m.Check(id, true);
      if (state_.Grid == 1) core_.RedrawGridLines();
      DrawRangeChanged();
      ImageChanged();
      return;
    case cmd::kCalibrate:
      if (head) state_.CalibrateRequest = true;
      return;
    case cmd::kComPorts: {
      if (!head) return;
      ComPortDialog d(state_, *prompts_, this, core_.PortPaths());
      RunDialog(d);
      if (d.Stored()) {
        core_.SetPortPaths(d.Paths());
        // The ports are reopened on the new choice.
        core_.StopHeadLink();
        core_.StopGps();
        core_.StartHeadLink();
        state_.GpsAge = 5;  // no sentence yet on the new choice
        if (state_.UseGPS == 1 && core_.GpsPortAvailable()) core_.StartGps();
        RefreshGps();
      }
      state_.SendRequest = true;
      return;
    }
    case cmd::kSettings:
      if (head) {
        SettingsDialog d(state_, *prompts_, [this](QDialog& inner) { RunDialog(inner); }, this);
        d.on_values_changed = [this] {
          drawn_freq_ = -1;  // "(Auto)" may come or go with the same frequency
          RefreshFrequency();
        };
        RunDialog(d);
        drawn_freq_ = -1;
        RefreshFrequency();
        state_.SendRequest = true;
      } else {
        std::unique_ptr<QDialog> d(MakeDisplaySwitchesDialog(state_, this));
        RunDialog(*d);
      }
      return;
    case cmd::kPixelZoom:
      state_.PixelZoom = state_.PixelZoom == 1 ? 0 : 1;
      m.Check(id, state_.PixelZoom == 1);
      shell_.ZoomFrozen = 0;
      client_->update();
      return;
    case cmd::kClearScreen:
      core_.ResetEchoLines();
      core_.ClearImage();
      ImageChanged();
      return;
    case cmd::kDiagnostics:
      shell_.DiagnosticsShown = 1;
      diagnostics_->FitWidth();
      ShowTool(diagnostics_);
      return;
    case cmd::kOnWhenMinimized:
      if (!head) return;
      state_.OnWhenMinimized = state_.OnWhenMinimized == 1 ? 0 : 1;
      m.Check(id, state_.OnWhenMinimized == 1);
      return;
    case cmd::kProfileGrid: {
      state_.ProfileGrid = state_.ProfileGrid == 1 ? 0 : 1;
      const bool on = state_.ProfileGrid == 1;
      m.Check(id, on);
      m.Enable(cmd::kZeroDown, on);
      m.SetText(cmd::kXdcrUp, on ? "&Aft" : "&Up");
      m.SetText(cmd::kXdcrDown, on ? "&Fwd" : "&Down");
      m.Check(cmd::kXdcrUp, state_.Xdcr == 1);
      m.Check(cmd::kXdcrDown, state_.Xdcr != 1);
      if (!head) {
        m.Enable(cmd::kXdcrUp, false);
        m.Enable(cmd::kXdcrDown, false);
      }
      core_.ClearImage();
      ImageChanged();
      client_->update(Overlays().transducer);
      client_->update(Overlays().dial);
      return;
    }
    case cmd::kZeroDown:
      state_.ZeroDown = state_.ZeroDown == 1 ? 0 : 1;
      m.Check(id, state_.ZeroDown == 0);
      core_.ResetEchoLines();
      core_.ClearImage();
      ImageChanged();
      client_->update(Overlays().transducer);
      client_->update(Overlays().dial);
      return;
    case cmd::kVerticalScan:
    case cmd::kHorizontalScan:
      if (head && !state_.AutoProfileScanActive) {
        state_.AutoProfileVertical = id == cmd::kVerticalScan ? 1 : 0;
        state_.AutoProfileRequest = 1;
      }
      return;
    case cmd::kAutoAzimuth:
      if (head) state_.AutoAzimuthRequest = 1;
      return;
    case cmd::kGridOnOff:
      state_.Grid = state_.Grid == 1 ? 0 : 1;
      m.Check(id, state_.Grid == 1);
      core_.RedrawGridLines();
      ImageChanged();
      return;
    case cmd::kAbout:
    {
      std::unique_ptr<QDialog> d(MakeAboutDialog(this));
      RunDialog(*d);
    }
      if (head) state_.SendRequest = true;
      return;
    case cmd::kAzimuthDrive:
      if (state_.AzimuthDriveEnable == 0) {
        EnableAzimuthDrive(state_, head);
        state_.AzimuthDriveEnable = 1;
        m.SetText(id, "Disable &Azimuth Drive");
        for (int i : {cmd::kChangeAzimuth, cmd::kSimulateAzimuth, cmd::kAutoAzimuth}) m.Enable(i, head);
        state_.AzimuthWindow = 1;
        if (!azimuth_window_->isVisible()) ShowTool(azimuth_window_);
      } else {
        DisableAzimuthDrive(state_, core_.GetDisplay());
        state_.AzimuthDriveEnable = 0;
        m.SetText(id, "Enable &Azimuth Drive");
        for (int i : {cmd::kChangeAzimuth, cmd::kSimulateAzimuth, cmd::kAutoAzimuth}) m.Enable(i, false);
        if (azimuth_window_->isVisible()) azimuth_window_->close();
        state_.AzimuthWindow = 0;
        SetAzimuthNotice(false);
      }
      diagnostics_->FitWidth();
      return;
    case cmd::kChangeAzimuth:
      if (state_.AzimuthDriveEnable == 1 && state_.AzimuthWindow == 0) {
        state_.AzimuthWindow = 1;
        ShowTool(azimuth_window_);
      }
      return;
    case cmd::kSimulateAzimuth:
      if (state_.AzimuthDriveEnable != 1) return;
      SetSimulateAzimuthDrive(state_, state_.SimulateAzimuthDrive != 1);
      state_.SimulateAzimuthDrive = state_.SimulateAzimuthDrive == 1 ? 1 : 0;
      m.Check(id, state_.SimulateAzimuthDrive == 1);
      return;
    case cmd::kOrientationModule: {
      const bool on = state_.EnableOrientationModule != 1;
      SetOrientationModuleEnabled(state_, core_.GetDisplay(), on);
      state_.EnableOrientationModule = on ? 1 : 0;
      m.SetText(id, on ? "Disable &Orientation Module" : "Enable &Orientation Module");
      shell_.OrientationShown = on ? 1 : 0;
      state_.OrientationWindowShown = on;
      if (on) ShowTool(orientation_window_); else orientation_window_->hide();
      return;
    }
    case cmd::kHeadScan:
      if (!state_.HeadScanActive) {
        m.Check(id, true);
        shell_.HeadScanShown = 1;
        state_.ScanWindowShown = true;
        StartHeadScan(state_, core_.GetClock().Now().second);
        SetStatusMessage(kScanningStatusText, 255, 124, 123);
        ShowTool(scan_window_);
      } else {
        scan_window_->close();  // stops the scan and removes the mark
      }
      return;
    case cmd::kSaveScreen: {
      FileDialogRequest request{"Save Screen As", "BITMAP File    (*.BMP)", "BMP", true};
      const std::string chosen = prompts_->AskFile(request);
      if (chosen.empty()) return;
      if (!HasBmpExtension(chosen)) {
        prompts_->Warning("Save Screen As", "File extension must be .BMP");
        return;
      }
      WriteBmp24(chosen, CaptureWindow());
      return;
    }
    case cmd::kOffsetAngle: {
      std::unique_ptr<ValueDialog> d(MakeRotateDialog(state_, *prompts_, this));
      RunDialog(*d);
      core_.ClearImage();
      ImageChanged();
      client_->update(Overlays().dial);
      return;
    }
    case cmd::kProfileSetup: {
      ProfileSetupDialog d(state_, *prompts_, this);
      RunDialog(d);
      return;
    }
    case cmd::kSoundVelocity: {
      const float before = state_.SoundVelocityMeters;
      std::unique_ptr<ValueDialog> d(MakeSoundVelocityDialog(state_, *prompts_, this));
      RunDialog(*d);
      if (state_.SoundVelocityMeters != before && state_.Grid == 1) {
        core_.RedrawGridLines();  // erased with the old velocity, drawn with the new
        ImageChanged();
      }
      if (state_.SoundVelocityMeters != before) RefreshReadouts();
      return;
    }
    case cmd::kUserText: {
      std::unique_ptr<ValueDialog> d(MakeUserTextDialog(state_, this));
      RunDialog(*d);
      UpdateRect(619, layout_.TextBase - 37, 777, layout_.TextBase - 19);
      return;
    }
    case cmd::kLiveView:
      ShowLiveViewDialog(this, state_, core_.GetClock(), [this](bool on) { menu_->Check(cmd::kLiveView, on); });
      return;
    case cmd::kPrint:
      PrintScreen(this, *prompts_, [this](QDialog& d) { RunDialog(d); });
      return;
    default:
      // 207, 820, 830, 970, 2000: their dialogs and outputs are not part of this
      // window; see the tool windows that carry them.
      return;
  }
}

// ---------------------------------------------------------------- keys

void MainWindow::HandleChar(int ch) {
  if (held_button_ >= 0) return;  // a held panel button swallows input
  const bool head = state_.RunMode == 0;
  const char c = static_cast<char>(ch);
  if ((c == 'R' || c == 'r' || c == 'G' || c == 'g') && head) {
    if (shell_.KeyEntryMode != 0) CloseEntry();
    shell_.KeyEntryMode = (c == 'R' || c == 'r') ? 1 : 2;
    UpdateRect(layout_.EntryX, layout_.EntryY, layout_.EntryX + 160, layout_.EntryY + layout_.LineH + 2);
    return;
  }
  if (((c >= '0' && c <= '9') || c == '.') && shell_.KeyEntryMode != 0 && head) {
    if (shell_.KeyEntryText.size() < 3) shell_.KeyEntryText.push_back(c);
    UpdateRect(layout_.EntryX, layout_.EntryY, layout_.EntryX + 160, layout_.EntryY + layout_.LineH + 2);
    return;
  }
  if (ch == 13 && shell_.KeyEntryMode != 0 && head) {
    if (!shell_.KeyEntryText.empty()) ApplyEntry();
    CloseEntry();
    return;
  }
  if (ch == 27 && shell_.KeyEntryMode != 0 && head) {
    CloseEntry();
    return;
  }
  if (c == 'H' || c == 'h') {
    ToggleHold();
    return;
  }
  if (c == ' ') {
    if (head) RevPressed(); else ToggleReversePlayback();
    return;
  }
  if (c == 'C' || c == 'c') {
    core_.ResetEchoLines();
    core_.ClearImage();
    ImageChanged();
  }
}

void MainWindow::ApplyEntry() {
  const int value = static_cast<int>(std::strtod(shell_.KeyEntryText.c_str(), nullptr));
  if (shell_.KeyEntryMode == 1) {
    const int idx = RangeIndexForEntry(value, state_.Units);
    if (idx < 0)
      prompts_->Warning("Keyboard Range", state_.Units == 1 ? kRangeWarningFeet : kRangeWarningMeters);
    else
      state_.Range = idx;
    DrawRangeChanged();
    state_.ClearRequest = true;
    state_.SendRequest = true;
    RefreshReadouts();  // the same pointer reads another distance at the new range
  } else if (shell_.KeyEntryMode == 2) {
    if (value < 0 || value > 40) {
      prompts_->Warning("Keyboard Gain", "Entered Gain is out of range!\nUse 0 to 40 dB");
    } else {
      state_.Gain = value;
      UpdatePanel(2);
      state_.SendRequest = true;
    }
  }
}

void MainWindow::CloseEntry() {
  shell_.KeyEntryText.clear();
  shell_.KeyEntryMode = 0;
  UpdateRect(layout_.EntryX, layout_.EntryY, layout_.EntryX + 160, layout_.EntryY + layout_.LineH + 2);
}

std::string MainWindow::EntryBoxText() const {
  if (shell_.KeyEntryMode == 0) return {};
  std::string s = shell_.KeyEntryMode == 1 ? "Range: " : "Gain: ";
  s += shell_.KeyEntryText.empty() ? "?" : shell_.KeyEntryText;
  if (shell_.KeyEntryMode == 1) s += state_.Units == 1 ? " FT" : " M";
  else s += " dB";
  return s;
}

void MainWindow::HandleKeyDown(int key) {
  const int step = static_cast<int>(shell_.ArrowStep);
  QPoint d;
  switch (key) {
    case Qt::Key_Left: d = {-step, 0}; break;
    case Qt::Key_Right: d = {step, 0}; break;
    case Qt::Key_Up: d = {0, -step}; break;
    case Qt::Key_Down: d = {0, step}; break;
    default: break;
  }
  if (!d.isNull()) {
    pointer_ += d;
    QCursor::setPos(QCursor::pos() + d);
  }
  shell_.ArrowStep = std::min(16.0f, shell_.ArrowStep + 0.5f);
}

void MainWindow::HandleKeyUp() { shell_.ArrowStep = 1.0f; }

void MainWindow::ToggleHold() {
  state_.HoldActive = !state_.HoldActive;
  const bool head = state_.RunMode == 0;
  // Grey while held; enabled again only where the data source allows them.
  menu_->Enable(cmd::kXdcrUp, !state_.HoldActive && head);
  menu_->Enable(cmd::kXdcrDown, !state_.HoldActive && head);
  if (head) state_.SendRequest = true;
  UpdateRect(734, 4, 790, 16);
  if (!state_.HoldActive) SchedulePlayback(0);
}

void MainWindow::RevPressed() {
  state_.ReverseRequest = true;
  state_.SendRequest = true;
  UpdateRect(734, 22, 790, 34);
}

void MainWindow::ToggleReversePlayback() {
  core_.ToggleReversePlayback();
  UpdateRect(361, 533, 441, 551);
}

// ---------------------------------------------------------------- mouse

void MainWindow::HandleMouseMove(int x, int y) {
  pointer_ = {x, y};
  shell_.MenuOpen = 0;
  const bool inside = x > 2 && x < 599 && y > 2 && y < 509;
  if (inside) {
    client_->setCursor(ImageCursor());
    CursorMoved(x, y, true);
    shell_.ReadoutPending = 1;
  } else {
    client_->setCursor(Qt::ArrowCursor);
    if (shell_.ReadoutPending == 1) {
      shell_.ReadoutPending = 0;
      CursorMoved(x, y, false);  // the readout follows the pointer off the picture once
    }
  }
  if (held_button_ >= 0 && !layout_.ButtonRects[held_button_].Contains(x, y)) EndHold();
}

void MainWindow::HandleRightDown(int x, int y) {
  if (x > 2 && x < 599 && y > 2 && y <= 508) {
    shell_.MeasureMode ^= 1;
    shell_.ZoomFrozen = 0;
    if (shell_.MeasureMode) {
      origin_ = cursor_ = {x, y};
      client_->setCursor(Qt::BlankCursor);
    } else {
      client_->setCursor(ImageCursor());
    }
    client_->update(0, 0, 602, 512);
    CursorMoved(x, y, true);
  }
}

void MainWindow::HandleLeftUp(int, int) {
  if (held_button_ >= 0) EndHold();
}

void MainWindow::HandleLeftDown(int x, int y) {
  pointer_ = {x, y};
  const bool head = state_.RunMode == 0;
  if (x > 2 && x < 599 && y > 2 && y < 509) {
    if (state_.PixelZoom == 1) shell_.ZoomFrozen ^= 1;
    if (!shell_.ZoomFrozen) CursorMoved(x, y, true);
    return;
  }
  if (x > 734 && x < 780 && y > 4 && y < 15) {
    ToggleHold();
    return;
  }
  if (head && x > 734 && x < 780 && y > 22 && y < 33) {
    RevPressed();
    return;
  }
  if (!head && x > 361 && x < 432 && y > 534 && y < 545) {
    if (state_.ReverseAvailable) ToggleReversePlayback();
    return;
  }
  if (state_.HoldActive) return;
  auto press = [&](int b) {
    held_button_ = b;
    shell_.ButtonPressed[b] = 0;
    StepButton(b);
    if (b == kModeUp || b == kModeDown || ButtonLimitReached(b)) {
      if (b != kModeUp && b != kModeDown) EndHold();
      return;
    }
    repeat_timer_.start(shell_.RepeatDelay);
    shell_.RepeatDelay = 50;
  };
  if (!head) {
    if (layout_.ButtonRects[kPlayRight].Contains(x, y)) return press(kPlayRight);
    if (layout_.ButtonRects[kPlayLeft].Contains(x, y)) return press(kPlayLeft);
  }
  if (layout_.FileButtonRect.Contains(x, y)) {
    if (state_.RunMode == 1) {
      OpenPlayback();
      CreateSlider();
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
  const bool ss = state_.GridMode == 2;
  for (int b = kRangeUp; b <= kModeDown; ++b) {
    if (!layout_.ButtonRects[b].Contains(x, y)) continue;
    if (ss && (b == kSectorUp || b == kSectorDown || b == kSpeedUp || b == kSpeedDown)) return;
    return press(b);
  }
}

bool MainWindow::ButtonLimitReached(int b) const {
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

void MainWindow::RepeatTick() {
  // The Mode buttons make one step per press.
  if (held_button_ < 0 || held_button_ == kModeUp || held_button_ == kModeDown) return;
  if (!layout_.ButtonRects[held_button_].Contains(pointer_.x(), pointer_.y())) {
    EndHold();
    return;
  }
  StepButton(held_button_);
  if (ButtonLimitReached(held_button_)) {
    EndHold();
    return;
  }
  repeat_timer_.start(shell_.RepeatDelay);
}

void MainWindow::EndHold() {
  if (held_button_ < 0) return;
  const int b = held_button_;
  held_button_ = -1;
  shell_.ButtonPressed[b] = 1;
  repeat_timer_.stop();
  shell_.RepeatDelay = 500;
  const LayoutRect& r = layout_.ButtonRects[b];
  UpdateRect(r.left, r.top, r.right, r.bottom);
}

int MainWindow::SectorInUse() const { return state_.SectorSize; }
void MainWindow::SetSectorInUse(int v) { state_.SectorSize = v; }

void MainWindow::StepButton(int b) {
  const bool head = state_.RunMode == 0;
  const int mode = state_.GridMode;
  const LayoutRect& r = layout_.ButtonRects[b];
  UpdateRect(r.left, r.top, r.right, r.bottom);
  switch (b) {
    case kRangeUp:
    case kRangeDown: {
      const int old = state_.Range;
      state_.Range = std::clamp(old + (b == kRangeUp ? 1 : -1), 0, 14);
      if (state_.Range == old) return;
      core_.ResetEchoLines();
      if (mode != 2) core_.ClearImage();
      ImageChanged();
      DrawRangeChanged();
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
      shell_.PreviousSectorSize = SectorInUse();
      const int max = mode == 1 ? 360 : (mode == 2 ? 0 : 180);
      int s = SectorInUse() + 3;
      if (s > max) s = 0;
      SetSectorInUse(s);
      DrawSectorChanged();
      break;
    }
    case kSectorDown: {
      shell_.PreviousSectorSize = SectorInUse();
      int s = SectorInUse() - 3;
      if (mode == 2) s = 0;
      else if (s < 0) s = mode == 1 ? 360 : 180;
      SetSectorInUse(s);
      DrawSectorChanged();
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
      DrawTrainChanged();
      break;
    case kModeUp:
      ModeStep(1);
      return;
    case kModeDown:
      ModeStep(-1);
      return;
    case kPlayRight:
      core_.PlotSpeedUp();
      UpdateRect(251, 533, 353, 551);
      return;
    case kPlayLeft:
      core_.PlotSpeedDown();
      UpdateRect(251, 533, 353, 551);
      return;
    default:
      return;
  }
  if (head) state_.SendRequest = true;
}

void MainWindow::ModeStep(int dir) {
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
  if (next == 2 && state_.ProfileGrid == 1) OnCommand(cmd::kProfileGrid);
  shell_.PreviousSectorSize = SectorInUse();
  if (next == 0) {
    SetSectorInUse(std::min(180, state_.SectorSectorSize.load()));
    state_.Train = train_sector_;
  } else if (next == 1) {
    SetSectorInUse(state_.PolarSectorSize);
    state_.Train = train_polar_;
  } else {
    SetSectorInUse(0);
    state_.Train = state_.SSTrain == 2 ? 90 : 270;
    shell_.MeasureMode = 0;
  }
  DrawSectorChanged();
  DrawTrainChanged();
  core_.ClearImage();
  ImageChanged();
  DrawModeChanged();
  UpdatePanel(3);
  client_->update(layout_.LeftCol, 0, kClientW - layout_.LeftCol, layout_.Row4 + 2 * layout_.ArrowH);
}

void MainWindow::DrawSectorChanged() {
  const int mode = state_.GridMode;
  if (mode == 0 || mode == 3) state_.SectorSectorSize = SectorInUse();
  else if (mode == 1) state_.PolarSectorSize = SectorInUse();
  if (mode != 2 && SectorInUse() == 360) state_.Train = 0;
  UpdatePanel(4);
  UpdatePanel(5);
  client_->update(Overlays().dial);
}

void MainWindow::DrawTrainChanged() {
  const int mode = state_.GridMode;
  if (mode == 2) {
    const int side = state_.SSTrain;
    SetSectorInUse(0);
    state_.Train = side == 2 ? 90 : 270;
    state_.SendRequest = true;
    if (side != last_ss_side_ && state_.Grid == 1) {
      core_.RedrawGridLines();
      ImageChanged();
    }
    last_ss_side_ = side;
  }
  if (mode == 0 || mode == 3) train_sector_ = state_.Train;
  else if (mode == 1) train_polar_ = state_.Train;
  UpdatePanel(5);
  client_->update(Overlays().dial);
  RefreshReadouts();  // bearings in Sector display follow the train
}

QRect MainWindow::ReadoutRect() const { return Overlays().readouts; }

void MainWindow::RefreshReadouts() {
  if (readouts_shown_) client_->update(Overlays().readouts);
}

void MainWindow::SetScanSectorExtension() {
  static constexpr int kExtension[5] = {3, 3, 3, 6, 9};
  state_.ScanSectorExtension = kExtension[std::clamp(state_.Speed.load(), 0, 4)];
}

void MainWindow::DrawModeChanged() {
  const int mode = state_.GridMode;
  menu_->Enable(cmd::kProfileGrid, mode != 2);
  menu_->Enable(cmd::kZeroDown, mode != 2 && state_.ProfileGrid == 1);
  UpdatePanel(1);
  DrawRangeChanged();
  if (state_.RunMode == 0 && mode != shell_.LastSentGridMode) {
    state_.SendRequest = true;
    shell_.LastSentGridMode = mode;
  }
}

void MainWindow::DrawRangeChanged() {
  // Live with the automatic configuration the range's row sets frequency,
  // absorption and pulse length.
  if (state_.RunMode == 0 && state_.ConfigType == 1 && ApplyRangeConfig(state_)) RefreshFrequency();
  UpdatePanel(0);
  ImageChanged();  // the grid scale follows the range
}

// ---------------------------------------------------------------- redraws

void MainWindow::UpdateRect(int l, int t, int r, int b) { client_->update(l, t, r - l + 1, b - t + 1); }

void MainWindow::UpdatePanel(int panel) {
  const int col = (panel % 2 == 0) ? layout_.LeftCol : layout_.RightCol;
  const int top = panel < 2 ? layout_.Row1 : (panel < 4 ? layout_.Row2 : layout_.Row3);
  UpdateRect(col, top - 1, col + layout_.BoxW + 2, top + 2 * layout_.ArrowH + 2);
}

std::string MainWindow::PanelText(int panel) const {
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

std::string MainWindow::FrequencyReadout() const {
  const int khz = state_.RunMode == 1 ? core_.PlaybackFrequency() : state_.Frequency.load();
  std::string s = FrequencyText(khz);
  if (state_.RunMode == 0 && state_.ConfigType == 1) s += " (Auto)";
  return s;
}

void MainWindow::RefreshChangedPanels() {
  if (state_.Range != drawn_range_ || state_.GridMode != drawn_mode_) {
    UpdatePanel(0);
    UpdatePanel(1);
    UpdatePanel(3);
    drawn_range_ = state_.Range;
    drawn_mode_ = state_.GridMode;
  }
  if (state_.Xdcr != drawn_xdcr_) {
    drawn_xdcr_ = state_.Xdcr;
    client_->update(Overlays().transducer);
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

void MainWindow::RefreshFrequency() {
  const int khz = state_.RunMode == 1 ? core_.PlaybackFrequency() : state_.Frequency.load();
  if (khz == drawn_freq_) return;
  drawn_freq_ = khz;
  UpdateRect(618, 20, 795, 64);
}

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

void MainWindow::RedrawDiagnostics() {
  if (shell_.DiagnosticsShown) diagnostics_->update();
}

void MainWindow::PaletteChanged() {
  const PaletteTable pal = core_.Palette();
  QList<QRgb> table;
  table.reserve(256);
  for (const Rgb& c : pal) table.push_back(qRgb(c.Red, c.Green, c.Blue));
  image_.setColorTable(table);
  QPalette surround = surround_->palette();
  surround.setColor(QPalette::Window, Pal(121));
  surround_->setPalette(surround);
  client_->update();
}

void MainWindow::ImageChanged() {
  client_->update(2, 2, 599, 509);
  client_->update(Overlays().grid_label);  // the scale follows grid, range and units
}

void MainWindow::QueueImageRepaint(const DirtyRect& area) {
  std::lock_guard lock(repaint_mutex_);
  pending_repaint_.Merge(area);
}

void MainWindow::FlushDirty() {
  DirtyRect d;
  {
    // Pixels the ping pipeline already handed over, and any drawn since that it
    // has not handed over yet.
    std::lock_guard lock(repaint_mutex_);
    d = pending_repaint_;
    pending_repaint_.Reset();
  }
  {
    PingImage& img = core_.Image();
    std::lock_guard lock(img.Lock());
    d.Merge(img.Dirty);
    img.Dirty.Reset();
  }
  if (d.Empty()) return;
  client_->update(kImageWindowX + d.MinX, kImageWindowY + d.MinY, d.MaxX - d.MinX + 1, d.MaxY - d.MinY + 1);
}

void MainWindow::OverlaysChanged(unsigned mask) {
  const OverlayRects r = Overlays();
  if ((mask & kOverlayReadouts) && readouts_shown_) client_->update(r.readouts);
  if ((mask & kOverlayZoom) && zoom_shown_) client_->update(r.zoom);
  if ((mask & kOverlayMeasureLine) && shell_.MeasureMode)
    client_->update(QRect(origin_, cursor_).normalized().adjusted(-12, -12, 12, 12));
}

QImage MainWindow::Capture() { return client_->grab().toImage(); }

QImage MainWindow::CaptureWindow() {
  // Pending repaints first (also where a closed dialog uncovered the window), so
  // that the capture shows the readouts and the inset.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  FlushDirty();
  client_->repaint();
  return GrabFromScreen(*this, true);
}

void MainWindow::CapturePlaybackFrame() {
  if (!core_.PlaybackOpen()) return;
  const std::string path = NextPlaybackCaptureName(state_.PlaybackFilePath.get());
  // The name is shown in the strip over the image's foot while the frame is written.
  capture_note_ = path;
  client_->repaint(3, 492, 597, 18);
  WriteBmp24(path, CaptureWindow());
  capture_note_.clear();
  client_->update(3, 492, 597, 18);
}

// ---------------------------------------------------------------- painting

void MainWindow::ShadowText(QPainter& p, int x, int y, const QString& s, QColor c) {
  // Win32 text positions are the top of the cell; Qt draws at the baseline.
  const int ascent = p.fontMetrics().ascent();
  p.setPen(Pal(125));
  p.drawText(x + 1, y + 1 + ascent, s);
  p.setPen(c);
  p.drawText(x, y + ascent, s);
}

static void Box(QPainter& p, int l, int t, int r, int b, QColor outline, QColor fill) {
  p.fillRect(QRect(l, t, r - l, b - t), fill);
  p.setPen(outline);
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRect(l, t, r - l - 1, b - t - 1));
}

void MainWindow::PaintArrow(QPainter& p, int b) {
  const LayoutRect& r = layout_.ButtonRects[b];
  const bool file = state_.RunMode == 1;
  bool inactive = false;
  if (b < kPlayRight) {
    inactive = file || (state_.GridMode == 2 && (b == kSectorUp || b == kSectorDown || b == kSpeedUp ||
                                                 b == kSpeedDown));
    // The Mode arrows step Sector, Polar and SS live; at either end one does nothing.
    if ((b == kModeUp && state_.GridMode >= 2) || (b == kModeDown && state_.GridMode <= 0)) inactive = true;
  }
  const bool held = shell_.ButtonPressed[b] == 0;
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

void MainWindow::PaintCheckBox(QPainter& p, int x, int y, bool on) {
  QRect box(x, y, 12, 12);
  p.fillRect(box, Qt::white);
  p.setPen(QColor(64, 64, 64));
  p.drawRect(box.adjusted(0, 0, -1, -1));
  if (on) {
    QPen pen(Qt::black, 2);
    p.setPen(pen);
    p.drawLine(x + 3, y + 6, x + 5, y + 9);
    p.drawLine(x + 5, y + 9, x + 9, y + 3);
  }
}

void MainWindow::PaintPanels(QPainter& p, const QRect& exposed) {
  const Layout& L = layout_;
  const bool file = state_.RunMode == 1;
  const QColor white = Qt::white;
  static const char* const kLabels[] = {"Range", "Mode", "Gain", "Speed", "Sector", "Train"};
  for (int panel = 0; panel < 6; ++panel) {
    const int col = (panel % 2 == 0) ? L.LeftCol : L.RightCol;
    const int top = panel < 2 ? L.Row1 : (panel < 4 ? L.Row2 : L.Row3);
    QRect area(col, top - L.LineH - 2, L.BoxW + L.ArrowW + 2, L.LineH + 2 * L.ArrowH + 6);
    if (!exposed.intersects(area)) continue;
    ShadowText(p, col + 2, top - L.LineH - 2, kLabels[panel], white);
    Box(p, col, top - 1, col + L.BoxW, top + 2 * L.ArrowH, Pal(125), Pal(122));
    const QString value = QString::fromStdString(PanelText(panel));
    const int w = p.fontMetrics().horizontalAdvance(value);
    const int h = p.fontMetrics().height();
    ShadowText(p, (col + col + L.BoxW) / 2 - w / 2 + 1, top + L.ArrowH - h / 2, value, white);
  }
  for (int b = kRangeUp; b <= kModeDown; ++b) {
    const LayoutRect& r = L.ButtonRects[b];
    if (exposed.intersects(QRect(r.left, r.top, r.Width(), r.Height()))) PaintArrow(p, b);
  }
  // DATA FROM with the HEAD and FILE buttons.
  ShadowText(p, L.LeftCol + 5, 2, "DATA FROM", white);
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
  ShadowText(p, 750, 3, "Hold", white);
  if (!file) {
    PaintCheckBox(p, 734, 22, false);
    ShadowText(p, 750, 21, "Rev", white);
  }
  // Frequency read-out, unless the keyboard entry box stands in its place.
  if (shell_.KeyEntryMode == 0) {
    const int x = file ? 718 : 620, y = file ? 21 : 43;
    const int khz = file ? core_.PlaybackFrequency() : state_.Frequency.load();
    const QString f = QString::fromStdString(FrequencyText(khz));
    p.setPen(Pal(125));
    const int ascent = p.fontMetrics().ascent();
    p.drawText(x + 2, y + 2 + ascent, f);
    p.setPen(Pal(119));
    p.drawText(x + 1, y + 1 + ascent, f);
    if (!file && state_.ConfigType == 1) {
      const int w = p.fontMetrics().horizontalAdvance(f);
      p.save();
      p.setFont(SmallFont());
      ShadowText(p, x + w + 6, y + 3, "(Auto)", Pal(120));
      p.restore();
    }
  }
  // Keyboard entry box over the frequency read-out.
  if (shell_.KeyEntryMode != 0) {
    const QString t = QString::fromStdString(EntryBoxText());
    const int w = p.fontMetrics().horizontalAdvance(t) + 5;
    p.fillRect(QRect(L.EntryX, L.EntryY, w, L.LineH), Pal(123));
    p.setPen(Qt::black);
    p.drawText(L.EntryX + 2, L.EntryY + 1 + p.fontMetrics().ascent(), t);
  }
  // User text.
  {
    const int top = L.TextBase - 37, bottom = L.TextBase - 19;
    Box(p, 619, top, 621 + 156, bottom, Pal(125), Pal(122));
    p.save();
    p.setClipRect(QRect(620, top, 156 - 5, bottom - top));
    p.setFont(SmallFont());
    p.setPen(Pal(125));
    // As many whole characters as fit the box: none is cut in half.
    QString text = QString::fromStdString(state_.UserText.get());
    const int room = 620 + 156 - 5 - 623;
    while (!text.isEmpty() && p.fontMetrics().horizontalAdvance(text) > room) text.chop(1);
    p.drawText(623, L.TextBase - p.fontMetrics().height() - 22 + p.fontMetrics().ascent(), text);
    p.restore();
  }
}

void MainWindow::Paint(QPainter& p, const QRect& exposed) {
  ++paint_count_;
  last_paint_rect_ = exposed;
  const bool file = state_.RunMode == 1;
  p.setFont(PanelFont());
  p.fillRect(exposed, Pal(121));
  // Image frame and the image itself.
  const QRect image_rect(kImageWindowX, kImageWindowY, kImageWidth, kImageHeight);
  if (exposed.intersects(QRect(2, 2, 598, 508))) {
    Box(p, 2, 2, 600, 510, Pal(123), Qt::black);
    const QRect part = exposed & image_rect;
    if (!part.isEmpty()) {
      PingImage& img = core_.Image();
      std::lock_guard lock(img.Lock());
      p.drawImage(part, image_, part.translated(-kImageWindowX, -kImageWindowY));
    }
  }
  PaintMeasureLine(p);
  if (exposed.right() >= 600) PaintPanels(p, exposed);
  PaintOverlays(p, exposed);
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
    ShadowText(p, 301 - w / 2, 534, t, Qt::white);
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
  // The name of a playback frame capture, over the foot of the image.
  if (!capture_note_.empty()) {
    p.fillRect(QRect(3, 492, 597, 18), Pal(126));
    p.setPen(Qt::white);
    p.drawText(5, 494 + p.fontMetrics().ascent(), QString::fromStdString(capture_note_));
  }
  // Playback strip.
  if (file) {
    const int len = PlotSpeedBarLength(state_.PlotSpeed);
    Box(p, 266, 533, 336, 550, Pal(125), Pal(122));
    if (len > 0) p.fillRect(QRect(267, 534, len, 15), Pal(123));
    p.save();
    p.setFont(SmallFont());
    p.setPen(Pal(125));
    p.drawText(275, 535 + p.fontMetrics().ascent(), "Plot Speed");
    p.restore();
    PaintArrow(p, kPlayRight);
    PaintArrow(p, kPlayLeft);
    if (state_.ReverseAvailable) {
      PaintCheckBox(p, 361, 534, state_.ReversePlayback != 0);
      ShadowText(p, 377, 533, "Reverse", Qt::white);
    }
  }
}
