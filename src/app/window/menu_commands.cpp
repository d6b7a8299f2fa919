// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/menu_commands.h"

#include <QDialog>
#include <QImage>
#include <QWidget>
#include <memory>
#include <utility>

#include "app_state.h"
#include "dialogs/config_dialogs.h"
#include "window/control_panels.h"
#include "bridge/core_bridge.h"
#include "tool_windows/diagnostics_window.h"
#include "files/file_texts.h"
#include "files/output_file.h"
#include "link/azimuth_drive.h"
#include "link/head_scan.h"
#include "link/orientation_module.h"
#include "dialogs/export_survey_dialog.h"
#include "dialogs/export_video_dialog.h"
#include "dialogs/live_view_dialog.h"
#include "display.h"
#include "window/menu_bar.h"
#include "window/overlay_painter.h"
#include "window/picture_mouse.h"
#include "window/playback_strip.h"
#include "dialogs/print_page.h"
#include "bridge/screen_capture.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/setup_dialogs.h"
#include "window/shell_state.h"
#include "window/tool_window_set.h"
#include "window/window_surface.h"
#include "dialogs/prompts.h"
#include "tool_windows/tool_windows.h"

MenuCommands::MenuCommands(AppState& state, CoreBridge& core, MenuBar& menu, ShellState& shell, Prompts& prompts,
                           const Layout& layout, WindowSurface& surface, QWidget& window, Pieces pieces,
                           Links links)
    : state_(state), core_(core), menu_(menu), shell_(shell), prompts_(prompts), layout_(layout), surface_(surface),
      window_(window), pieces_(pieces), links_(std::move(links)) {
  for (int i = 0; i < 9; ++i) table_[cmd::kColors + i] = &MenuCommands::Colors;
  for (int i = 0; i < 5; ++i) table_[cmd::kProfileMode + i] = &MenuCommands::ProfileMode;
  table_[cmd::kRecord] = &MenuCommands::Record;
  table_[cmd::kPlayback] = &MenuCommands::Playback;
  table_[cmd::kCopy] = &MenuCommands::Copy;
  table_[cmd::kAutoFrameCapture] = &MenuCommands::AutoFrameCapture;
  table_[cmd::kExit] = &MenuCommands::Exit;
  table_[cmd::kXdcrUp] = &MenuCommands::Transducer;
  table_[cmd::kXdcrDown] = &MenuCommands::Transducer;
  table_[cmd::kMeters] = &MenuCommands::Units;
  table_[cmd::kFeet] = &MenuCommands::Units;
  table_[cmd::kCalibrate] = &MenuCommands::Calibrate;
  table_[cmd::kComPorts] = &MenuCommands::ComPorts;
  table_[cmd::kSettings] = &MenuCommands::Settings;
  table_[cmd::kPixelZoom] = &MenuCommands::PixelZoom;
  table_[cmd::kClearScreen] = &MenuCommands::ClearScreen;
  table_[cmd::kDiagnostics] = &MenuCommands::Diagnostics;
  table_[cmd::kOnWhenMinimized] = &MenuCommands::OnWhenMinimized;
  table_[cmd::kProfileGrid] = &MenuCommands::ProfileGrid;
  table_[cmd::kZeroDown] = &MenuCommands::ZeroDown;
  table_[cmd::kVerticalScan] = &MenuCommands::AutoProfile;
  table_[cmd::kHorizontalScan] = &MenuCommands::AutoProfile;
  table_[cmd::kAutoAzimuth] = &MenuCommands::AutoAzimuth;
  table_[cmd::kGridOnOff] = &MenuCommands::GridOnOff;
  table_[cmd::kAbout] = &MenuCommands::About;
  table_[cmd::kAzimuthDrive] = &MenuCommands::AzimuthDrive;
  table_[cmd::kChangeAzimuth] = &MenuCommands::ChangeAzimuth;
  table_[cmd::kSimulateAzimuth] = &MenuCommands::SimulateAzimuth;
  table_[cmd::kOrientationModule] = &MenuCommands::OrientationModule;
  table_[cmd::kHeadScan] = &MenuCommands::HeadScan;
  table_[cmd::kSaveScreen] = &MenuCommands::SaveScreen;
  table_[cmd::kOffsetAngle] = &MenuCommands::OffsetAngle;
  table_[cmd::kProfileSetup] = &MenuCommands::ProfileSetup;
  table_[cmd::kSoundVelocity] = &MenuCommands::SoundVelocity;
  table_[cmd::kUserText] = &MenuCommands::UserText;
  table_[cmd::kLiveView] = &MenuCommands::LiveView;
  table_[cmd::kExportVideo] = &MenuCommands::ExportVideo;
  table_[cmd::kExportSurvey] = &MenuCommands::ExportSurvey;
  table_[cmd::kExportTrack] = &MenuCommands::ExportTrack;
  table_[cmd::kPrint] = &MenuCommands::Print;
  // Ids with no entry (the "Sonar Head" item among them) do nothing here.
}

void MenuCommands::Run(int id) {
  const auto it = table_.find(id);
  if (it != table_.end()) (this->*(it->second))(id);
}

bool MenuCommands::Head() const { return state_.RunMode == 0; }

// ---------------------------------------------------------------- menu states

void MenuCommands::BuildFromState() {
  MenuBar& m = menu_;
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

void MenuCommands::SetRunModeMenus() {
  MenuBar& m = menu_;
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

// ---------------------------------------------------------------- File

void MenuCommands::Record(int) {
  if (!Head()) return;
  pieces_.playback.ToggleRecording();
  state_.SendRequest = true;
}

void MenuCommands::Playback(int) {
  if (Head()) return;
  pieces_.playback.OpenWithSlider();
}

void MenuCommands::Copy(int) {
  if (Head()) return;
  pieces_.playback.ToggleCopy();
}

void MenuCommands::AutoFrameCapture(int) {
  if (Head()) return;
  core_.ToggleAutoFrameCapture();
}

void MenuCommands::Exit(int) { window_.close(); }

void MenuCommands::SaveScreen(int) {
  Prompts& prompts = prompts_;
  FileDialogRequest request{"Save Screen As", "BITMAP File    (*.BMP)", "BMP", true};
  const std::string chosen = prompts.AskFile(request);
  if (chosen.empty()) return;
  if (!HasBmpExtension(chosen)) {
    prompts.Warning("Save Screen As", "File extension must be .BMP");
    return;
  }
  const std::string refused = RefusedOutputReason(OutputTarget(chosen));
  if (!refused.empty()) {
    prompts.Warning("Save Screen As", refused);
    return;
  }
  WriteBmp24(chosen, links_.capture_window());
}

void MenuCommands::Print(int) {
  PrintScreen(&window_, prompts_, [this](QDialog& d) { links_.run_dialog(d); });
}

// ---------------------------------------------------------------- picture

void MenuCommands::Colors(int id) {
  menu_.Check(cmd::kColors + state_.Colors, false);
  state_.Colors = id - cmd::kColors;
  menu_.Check(id, true);
  core_.SelectColorTable(state_.Colors);
  links_.palette_changed();
}

void MenuCommands::ProfileMode(int id) {
  menu_.Check(cmd::kProfileMode + state_.ProfileMenu, false);
  state_.ProfileMenu = id - cmd::kProfileMode;
  if (!Head()) state_.Profile = id - cmd::kProfileMode;
  menu_.Check(id, true);
  if (id - cmd::kProfileMode == 1) {
    core_.ClearImage();
    surface_.ImageChanged();
    state_.SettingsCheck = true;
  }
}

void MenuCommands::Transducer(int id) {
  if (!Head()) return;
  menu_.Check(cmd::kXdcrUp, id == cmd::kXdcrUp);
  menu_.Check(cmd::kXdcrDown, id == cmd::kXdcrDown);
  state_.Xdcr = id == cmd::kXdcrUp ? 1 : 0;
  state_.SendRequest = true;
  surface_.Widget()->update(OverlayPlaces(layout_).transducer);
  core_.ClearImage();
  surface_.ImageChanged();
}

void MenuCommands::Units(int id) {
  menu_.Check(cmd::kMeters + state_.Units, false);
  state_.Units = id - cmd::kMeters;
  menu_.Check(id, true);
  if (state_.Grid == 1) core_.RedrawGridLines();
  pieces_.panels.RangeChanged();
  surface_.ImageChanged();
}

void MenuCommands::PixelZoom(int id) {
  state_.PixelZoom = state_.PixelZoom == 1 ? 0 : 1;
  menu_.Check(id, state_.PixelZoom == 1);
  pieces_.mouse.ThawZoom();
  surface_.Widget()->update();
}

void MenuCommands::ClearScreen(int) {
  core_.ResetEchoLines();
  core_.ClearImage();
  surface_.ImageChanged();
}

void MenuCommands::ProfileGrid(int id) {
  state_.ProfileGrid = state_.ProfileGrid == 1 ? 0 : 1;
  const bool on = state_.ProfileGrid == 1;
  menu_.Check(id, on);
  menu_.Enable(cmd::kZeroDown, on);
  menu_.SetText(cmd::kXdcrUp, on ? "&Aft" : "&Up");
  menu_.SetText(cmd::kXdcrDown, on ? "&Fwd" : "&Down");
  menu_.Check(cmd::kXdcrUp, state_.Xdcr == 1);
  menu_.Check(cmd::kXdcrDown, state_.Xdcr != 1);
  if (!Head()) {
    menu_.Enable(cmd::kXdcrUp, false);
    menu_.Enable(cmd::kXdcrDown, false);
  }
  core_.ClearImage();
  surface_.ImageChanged();
  const OverlayRects r = OverlayPlaces(layout_);
  surface_.Widget()->update(r.transducer);
  surface_.Widget()->update(r.dial);
}

void MenuCommands::ZeroDown(int id) {
  state_.ZeroDown = state_.ZeroDown == 1 ? 0 : 1;
  menu_.Check(id, state_.ZeroDown == 0);
  core_.ResetEchoLines();
  core_.ClearImage();
  surface_.ImageChanged();
  const OverlayRects r = OverlayPlaces(layout_);
  surface_.Widget()->update(r.transducer);
  surface_.Widget()->update(r.dial);
}

void MenuCommands::GridOnOff(int id) {
  state_.Grid = state_.Grid == 1 ? 0 : 1;
  menu_.Check(id, state_.Grid == 1);
  core_.RedrawGridLines();
  surface_.ImageChanged();
}

void MenuCommands::OffsetAngle(int) {
  std::unique_ptr<ValueDialog> d(MakeRotateDialog(state_, prompts_, &window_));
  links_.run_dialog(*d);
  core_.ClearImage();
  surface_.ImageChanged();
  surface_.Widget()->update(OverlayPlaces(layout_).dial);
}

void MenuCommands::SoundVelocity(int) {
  const float before = state_.SoundVelocityMeters;
  std::unique_ptr<ValueDialog> d(MakeSoundVelocityDialog(state_, prompts_, &window_));
  links_.run_dialog(*d);
  if (state_.SoundVelocityMeters != before && state_.Grid == 1) {
    core_.RedrawGridLines();  // erased with the old velocity, drawn with the new
    surface_.ImageChanged();
  }
  if (state_.SoundVelocityMeters != before) pieces_.mouse.RefreshReadouts();
}

void MenuCommands::UserText(int) {
  std::unique_ptr<ValueDialog> d(MakeUserTextDialog(state_, &window_));
  links_.run_dialog(*d);
  const Layout& L = layout_;
  surface_.UpdateRect(619, L.TextBase - 37, 777, L.TextBase - 19);
}

// ---------------------------------------------------------------- head and ports

void MenuCommands::Calibrate(int) {
  if (Head()) state_.CalibrateRequest = true;
}

void MenuCommands::ComPorts(int) {
  if (!Head()) return;
  ComPortDialog d(state_, prompts_, &window_, core_.PortPaths());
  links_.run_dialog(d);
  if (d.Stored()) {
    core_.SetPortPaths(d.Paths());
    // The ports are reopened on the new choice.
    core_.StopHeadLink();
    core_.StopGps();
    core_.StartHeadLink();
    state_.GpsAge = 5;  // no sentence yet on the new choice
    if (state_.UseGPS == 1 && core_.GpsPortAvailable()) core_.StartGps();
    links_.refresh_gps();
  }
  state_.SendRequest = true;
}

void MenuCommands::Settings(int) {
  if (Head()) {
    ControlPanels& panels = pieces_.panels;
    SettingsDialog d(state_, prompts_, [this](QDialog& inner) { links_.run_dialog(inner); }, &window_);
    d.on_values_changed = [&panels] {
      panels.ForgetDrawnFrequency();  // "(Auto)" may come or go with the same frequency
      panels.RefreshFrequency();
    };
    links_.run_dialog(d);
    panels.ForgetDrawnFrequency();
    panels.RefreshFrequency();
    state_.SendRequest = true;
  } else {
    std::unique_ptr<QDialog> d(MakeDisplaySwitchesDialog(state_, &window_));
    links_.run_dialog(*d);
  }
}

void MenuCommands::OnWhenMinimized(int id) {
  if (!Head()) return;
  state_.OnWhenMinimized = state_.OnWhenMinimized == 1 ? 0 : 1;
  menu_.Check(id, state_.OnWhenMinimized == 1);
}

void MenuCommands::ProfileSetup(int) {
  ProfileSetupDialog d(state_, prompts_, &window_);
  links_.run_dialog(d);
}

void MenuCommands::AutoProfile(int id) {
  if (Head() && !state_.AutoProfileScanActive) {
    state_.AutoProfileVertical = id == cmd::kVerticalScan ? 1 : 0;
    state_.AutoProfileRequest = 1;
  }
}

void MenuCommands::About(int) {
  const bool head = Head();
  {
    std::unique_ptr<QDialog> d(MakeAboutDialog(&window_));
    links_.run_dialog(*d);
  }
  if (head) state_.SendRequest = true;
}

void MenuCommands::LiveView(int) {
  ShowLiveViewDialog(&window_, state_, core_.GetClock(), [this](bool on) { menu_.Check(cmd::kLiveView, on); });
}

void MenuCommands::ExportVideo(int) { ShowExportVideoDialog(&window_, state_); }

void MenuCommands::ExportSurvey(int) { ShowGeoExportDialog(&window_, state_, GeoExportDialog::Kind::kSurvey); }

void MenuCommands::ExportTrack(int) { ShowGeoExportDialog(&window_, state_, GeoExportDialog::Kind::kTrack); }

// ---------------------------------------------------------------- tool windows

void MenuCommands::Diagnostics(int) {
  shell_.DiagnosticsShown = 1;
  pieces_.tools.Diagnostics()->FitWidth();
  pieces_.tools.Show(pieces_.tools.Diagnostics());
}

void MenuCommands::AutoAzimuth(int) {
  if (Head()) state_.AutoAzimuthRequest = 1;
}

void MenuCommands::AzimuthDrive(int id) {
  const bool head = Head();
  ToolWindow* azimuth = pieces_.tools.Tool(1);
  if (state_.AzimuthDriveEnable == 0) {
    EnableAzimuthDrive(state_, head);
    state_.AzimuthDriveEnable = 1;
    menu_.SetText(id, "Disable &Azimuth Drive");
    for (int i : {cmd::kChangeAzimuth, cmd::kSimulateAzimuth, cmd::kAutoAzimuth}) menu_.Enable(i, head);
    state_.AzimuthWindow = 1;
    if (!azimuth->isVisible()) pieces_.tools.Show(azimuth);
  } else {
    DisableAzimuthDrive(state_, core_.GetDisplay());
    state_.AzimuthDriveEnable = 0;
    menu_.SetText(id, "Enable &Azimuth Drive");
    for (int i : {cmd::kChangeAzimuth, cmd::kSimulateAzimuth, cmd::kAutoAzimuth}) menu_.Enable(i, false);
    if (azimuth->isVisible()) azimuth->close();
    state_.AzimuthWindow = 0;
    links_.set_azimuth_notice(false);
  }
  pieces_.tools.Diagnostics()->FitWidth();
}

void MenuCommands::ChangeAzimuth(int) {
  if (state_.AzimuthDriveEnable == 1 && state_.AzimuthWindow == 0) {
    state_.AzimuthWindow = 1;
    pieces_.tools.Show(pieces_.tools.Tool(1));
  }
}

void MenuCommands::SimulateAzimuth(int id) {
  if (state_.AzimuthDriveEnable != 1) return;
  SetSimulateAzimuthDrive(state_, state_.SimulateAzimuthDrive != 1);
  state_.SimulateAzimuthDrive = state_.SimulateAzimuthDrive == 1 ? 1 : 0;
  menu_.Check(id, state_.SimulateAzimuthDrive == 1);
}

void MenuCommands::OrientationModule(int id) {
  const bool on = state_.EnableOrientationModule != 1;
  SetOrientationModuleEnabled(state_, core_.GetDisplay(), on);
  state_.EnableOrientationModule = on ? 1 : 0;
  menu_.SetText(id, on ? "Disable &Orientation Module" : "Enable &Orientation Module");
  shell_.OrientationShown = on ? 1 : 0;
  state_.OrientationWindowShown = on;
  if (on) pieces_.tools.Show(pieces_.tools.Tool(2)); else pieces_.tools.Tool(2)->hide();
}

void MenuCommands::HeadScan(int id) {
  if (!state_.HeadScanActive) {
    menu_.Check(id, true);
    shell_.HeadScanShown = 1;
    state_.ScanWindowShown = true;
    StartHeadScan(state_, core_.GetClock().Now().second);
    links_.set_status_message(kScanningStatusText, 255, 124, 123);
    pieces_.tools.Show(pieces_.tools.Tool(0));
  } else {
    pieces_.tools.Tool(0)->close();  // stops the scan and removes the mark
  }
}
