// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputs/auto_profile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

#include "clock.h"
#include "display.h"
#include "imaging/grid.h"
#include "outputs/auto_azimuth.h"
#include "outputs/xyz_writer.h"
#include "app_state.h"

namespace {

constexpr const char* kMonthNames[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                         "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

std::span<const ProfilePoint> ScanPoints(const AppState& state) {
  const ProfilePointStore& store = state.ProfilePoints;
  return std::span<const ProfilePoint>(store.Records.data(), static_cast<std::size_t>(store.Count));
}

// The date of the sweep's last ping, or the clock's when there is none.
std::string ScanDate(const AppState& state, const Clock& clock) {
  const auto points = ScanPoints(state);
  if (!points.empty()) {
    const ProfilePoint& last = points.back();
    const std::string date(last.DateTime, strnlen(last.DateTime, 11));
    if (date.size() == 11) return date;
  }
  return DateText(clock);
}

// A write that did not reach the file is told once per scan; pinging goes on.
void ReportFailure(AppState& state, Display& display, const char* caption) {
  if (state.XyzFailureShown) return;
  state.XyzFailureShown = true;
  ++state.XyzWriteFailures;  // files, not writes: one file fails once
  const std::string path = state.Xyz.Path();
  const std::string why = state.Xyz.Error().empty() ? std::string("unknown error") : state.Xyz.Error();
  display.ShowOutputFailure("The survey points of this scan could not be saved to " + path + ":\n" + why + ".\n" +
                                kPingingGoesOnText,
                            caption);
}

// A survey file's name in the survey directory (bare in the working directory).
std::string SurveyPath(const AppState& state, const std::string& name) {
  const std::string& dir = state.SurveyDirectory;
  if (dir.empty() || dir == ".") return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

void WriteXyz(AppState& state, Display& display, const std::string& text, const char* caption) {
  if (!state.Xyz.Write(text)) ReportFailure(state, display, caption);
}

// The end of an auto-azimuth run: the vertical scan may be chosen again, the run's
// file is closed whole and the user told.
void EndRun(AppState& state, Display& display) {
  state.AutoProfileWaitSweepStart = false;
  state.VerticalScanMenuEnabled = 1;
  display.SetVerticalScanMenu(true);
  if (state.AzimuthWindow.load() == 1) display.AzimuthWindowChanged();
  CloseXyzFile(state, display, kAutoAzimuthTitle);
  display.ShowScanComplete();
}

}  // namespace

std::string DateText(const Clock& clock) {
  const LocalTime t = clock.Now();
  const int m = (t.month >= 1 && t.month <= 12) ? t.month - 1 : 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d-%s-%04d", t.day % 100, kMonthNames[m], t.year % 10000);
  return buf;
}

bool OpenXyzFile(AppState& state, Display& display, const std::string& date_text, const char* caption) {
  const std::string base = state.XyzNames.Next(state.SurveyDirectory, date_text, "xyz");
  const std::string name = SurveyPath(state, base);
  // A survey file is made new, never over something that is there. Only the last
  // number of a date, once taken, is given again.
  OutputMode mode = OutputMode::kNewName;
  struct stat st {};
  if (base.size() >= 8 && base.compare(base.size() - 8, 4, "9999") == 0 && ::lstat(name.c_str(), &st) == 0) {
    const std::string stem = base.substr(0, base.size() - 9);
    if (!state.ReplaceLastNumber) {
      ++state.XyzSweepsNotNumbered;
      state.XyzFileOpen = 0;
      if (!state.LastNumberShown) {
        state.LastNumberShown = true;
        display.ShowOutputFailure("The numbering of " + stem + " is used up: " + name +
                                      " exists, and no survey file is written over it.",
                                  caption);
      }
      return false;
    }
    mode = OutputMode::kReplaceName;
    if (!state.LastNumberShown) {
      state.LastNumberShown = true;
      display.ShowStatus("Numbering of " + stem + " used up: " + base + " is replaced", kStatusScanColours);
    }
  }
  if (!state.Xyz.Create(name, mode, state.SurveyFilesInPlace)) {
    state.XyzFileOpen = 0;
    ReportFailure(state, display, caption);
    return false;
  }
  state.XyzFileOpen = 1;
  state.LastXyzPath = name;
  return true;
}

void CloseXyzFile(AppState& state, Display& display, const char* caption) {
  if (!state.Xyz.IsOpen()) {
    state.XyzFileOpen = 0;
    return;
  }
  // Counted only when whole under its name.
  const bool whole = state.Xyz.Close();
  state.XyzFileOpen = 0;
  if (!whole) {
    ReportFailure(state, display, caption);
    return;
  }
  ++state.XyzFilesWritten;
}

int ScanStartPosition(const AppState& state) {
  const bool half_turn =
      DialHalfTurn(state.GridMode.load(), state.ProfileGrid.load() != 0, state.ZeroDown.load() != 0);
  return ComputeSectorDial(0, 0, 1, state.SectorSize.load(), state.Train.load(), 0.0, half_turn).LimitStartPosition;
}

void StartFreshScan(AppState& state, Display& display) {
  state.ProfilePoints.Reset();
  state.AutoProfileStartPosition = ScanStartPosition(state);
  state.AutoProfileWaitSweepStart = true;
  state.SendRequest = true;
  state.ClearRequest = true;
  // The head's current direction: the bit of the first ping after the start, the
  // reply to the command sent at once (the last ping before may be older than a
  // turn at the sector edge, and a replay has none).
  state.PreviousSweepDirection = state.Ping.StepDirection;
  state.SweepDirectionPending = true;
  state.StatusText = std::string(kAdjustingTransducerText);
  state.StatusFill = kStatusScanColours.fill;
  display.ShowStatus(kAdjustingTransducerText, kStatusScanColours);
}

void OutputsTurn(AppState& state, Display& display, const Clock& clock, bool accepted) {
  if (state.RunMode.load() != 0) return;
  if (accepted && state.AutoProfileScanActive.load()) CheckScanComplete(state, display, clock);
  if (state.AutoProfileRequest.exchange(0) != 0)
    RunSnapshotDialog(state, display, state.AutoProfileVertical.load() != 0);
  if (state.AutoAzimuthRequest.exchange(0) != 0 && state.AzimuthDriveEnable.load() != 0) {
    RunAutoAzimuthDialog(state, display, clock);
    if (state.AzimuthWindow.load() == 1) display.AzimuthWindowChanged();
  }
}

void CheckScanComplete(AppState& state, Display& display, const Clock& clock) {
  if (state.AutoProfileWaitSweepStart.load()) return;
  const int position = state.Ping.HeadPosition;
  const int direction = state.Ping.StepDirection;
  bool complete;
  if (state.SectorSize.load() == 360) {
    const bool half_turn =
        DialHalfTurn(state.GridMode.load(), state.ProfileGrid.load() != 0, state.ZeroDown.load() != 0);
    const int upper = ComputeSectorDial(0, 0, 1, 360, state.Train.load(), 0.0, half_turn).LimitEndPosition;
    complete = position >= 0 && position <= 8 && state.PreviousHeadPosition.load() >= upper - 8 &&
               state.ProfilePoints.Count > 100;
    state.PreviousHeadPosition = position;
  } else {
    complete = direction != state.PreviousSweepDirection.load();
  }
  state.PreviousSweepDirection = direction;
  if (complete) AfterScanActions(state, display, clock);
}

void AfterScanActions(AppState& state, Display& display, const Clock& clock) {
  ++state.SweepsCompleted;
  state.AutoProfileEnabledBefore = 0;
  bool save = true;
  if (state.AutoProfileSaveConfirmation.load() == 1) save = display.AskSaveProfile();
  if (save) {
    const std::span<const ProfilePoint> points = ScanPoints(state);
    const XyzSettings settings = XyzSettingsFrom(state);
    if (state.AutoProfileXYZ.load() == 1) {
      state.XyzFailureShown = false;
      if (OpenXyzFile(state, display, ScanDate(state, clock), kAutoProfileTitle)) {
        const bool vertical = state.AutoProfileVertical.load() != 0;
        WriteXyz(state, display, vertical ? VerticalXyzText(points, settings) : HorizontalXyzText(points, settings),
                 kAutoProfileTitle);
        CloseXyzFile(state, display, kAutoProfileTitle);
      }
    }
    if (state.AutoAzimuthXYZ.load() == 1 && state.Xyz.IsOpen())
      WriteXyz(state, display, AzimuthXyzText(points, settings, state.AzimuthPosition.load()), kAutoAzimuthTitle);
    if (state.AutoProfileBMP.load() == 1) {
      const std::string name =
          SurveyPath(state, state.CaptureNames.Next(state.SurveyDirectory, ScanDate(state, clock), "bmp"));
      if (display.CaptureScan(name)) state.LastCapturePath = name;
    }
  }
  if (state.AutoProfilePromptForScan.load() == 1)
    RunSnapshotDialog(state, display, state.AutoProfileVertical.load() != 0);
  const bool active = state.AutoProfileScanActive.load();
  state.AutoProfileEnabledBefore = active ? 1 : 0;
  state.ProfilePoints.Reset();
  if (state.AutoAzimuthEnabled.load() != 0 && active) {
    if (AdvanceAzimuth(state)) {
      StepAzimuth(state, display);
    } else {
      EndRun(state, display);
    }
  }
}

void EndAutoAzimuthRun(AppState& state, Display& display) {
  if (state.AutoAzimuthEnabled.exchange(0) == 0) return;
  state.AutoProfileScanActive = false;
  state.AutoProfileEnabledBefore = 0;
  EndRun(state, display);
}

void CloseSurveyFile(AppState& state, Display& display) {
  if (state.Xyz.IsOpen()) CloseXyzFile(state, display, kAutoAzimuthTitle);
}

SnapshotForm MakeSnapshotForm(AppState& state, bool vertical) {
  SnapshotForm f;
  f.Vertical = vertical;
  f.Enabled = state.AutoProfileScanActive.load();
  f.Units = state.Units.load();
  const float elevation = state.ProfileElevation.load();
  if (vertical) {
    f.Values = {state.ProfileChainage.load(), elevation, state.ProfileXOffset.load(),
                state.ProfileDredgeDepth.load()};
  } else {
    const float payout = state.PayoutIncrement.load();
    f.Values = {state.ProfileChainage.load(), elevation - payout, state.ProfileXOffset.load(), payout};
  }
  f.Xyz = state.AutoProfileXYZ.load() == 1;
  f.Bmp = state.AutoProfileBMP.load() == 1;
  f.Prompt = state.AutoProfilePromptForScan.load() == 1;
  if (!f.Xyz && !f.Bmp) state.AutoProfileSaveConfirmation = 0;
  f.Confirm = state.AutoProfileSaveConfirmation.load() == 1;
  return f;
}

void ApplySnapshotAnswer(AppState& state, Display& display, const SnapshotAnswer& a, bool vertical) {
  if (a.DefaultsPressed) {
    state.AutoProfileScanActive = false;
    state.AutoProfileXYZ = 1;
    state.AutoProfileBMP = 1;
    state.AutoProfileSaveConfirmation = 1;
    state.AutoProfilePromptForScan = 1;
  }
  if (!a.Accepted) return;
  state.AutoProfileScanActive = a.Enabled;
  state.ProfileChainage = a.Values[0];
  state.ProfileElevation = a.Values[1];
  state.ProfileXOffset = a.Values[2];
  if (vertical) state.ProfileDredgeDepth = a.Values[3];
  else state.PayoutIncrement = a.Values[3];
  state.AutoProfileXYZ = a.Xyz ? 1 : 0;
  state.AutoProfileBMP = a.Bmp ? 1 : 0;
  state.AutoProfilePromptForScan = a.Prompt ? 1 : 0;
  state.AutoProfileSaveConfirmation = ((a.Xyz || a.Bmp) && a.Confirm == 1) ? 1 : 0;
  if (state.RunMode.load() == 0 && a.Enabled && state.AutoProfileEnabledBefore.load() == 0)
    StartFreshScan(state, display);
  if (!a.Enabled) state.AutoProfileWaitSweepStart = false;
  state.AutoProfileEnabledBefore = a.Enabled ? 1 : 0;
}

void RunSnapshotDialog(AppState& state, Display& display, bool vertical) {
  const SnapshotForm form = MakeSnapshotForm(state, vertical);
  const SnapshotAnswer answer = display.AskSnapshot(form);
  ApplySnapshotAnswer(state, display, answer, vertical);
}

AzimuthForm MakeAzimuthForm(const AppState& state) {
  AzimuthForm f;
  f.Enabled = state.AutoAzimuthEnabled.load() != 0;
  f.StartSteps = state.AutoAzimuthStartAngle.load();
  f.StopSteps = state.AutoAzimuthStopAngle.load();
  f.IncSteps = std::clamp(state.AutoAzimuthIncAngle.load(), 1, 600);
  f.Xyz = state.AutoAzimuthXYZ.load() == 1;
  const bool points_only = state.Profile.load() == 1 || state.GridMode.load() == 3;
  f.SweepSeconds = SweepSeconds(state.Range.load(), state.Speed.load(), points_only);
  f.Sector = state.SectorSize.load();
  return f;
}

void ApplyAzimuthAnswer(AppState& state, Display& display, const Clock& clock, const AzimuthAnswer& a) {
  if (a.DefaultsPressed) {
    const bool was_running = state.AutoAzimuthEnabled.exchange(0) != 0;
    state.AutoProfileScanActive = false;
    state.AutoProfileWaitSweepStart = false;
    state.AutoAzimuthXYZ = 1;
    if (was_running) {
      // The run ends here: its file is closed whole, and the vertical scan, greyed
      // for the run, may be chosen again.
      state.VerticalScanMenuEnabled = 1;
      display.SetVerticalScanMenu(true);
      CloseXyzFile(state, display, kAutoAzimuthTitle);
    }
  }
  if (a.XyzBoxClicked) CloseXyzFile(state, display, kAutoAzimuthTitle);
  if (!a.Accepted) return;
  state.AutoAzimuthEnabled = a.Enabled ? 1 : 0;
  state.AutoProfileScanActive = a.Enabled;
  state.AutoAzimuthStartAngle = AzimuthSteps(a.Start);
  state.AutoAzimuthStopAngle = AzimuthSteps(a.Stop);
  state.AutoAzimuthIncAngle = IncrementSteps(a.Increment);
  state.AutoAzimuthXYZ = a.Xyz ? 1 : 0;
  state.AutoProfileEnabledBefore = 0;
  state.AutoProfileXYZ = 0;
  state.AutoProfileBMP = 0;
  state.AutoProfileSaveConfirmation = 0;
  state.AutoProfilePromptForScan = 0;
  state.VerticalScanMenuEnabled = 1;
  display.SetVerticalScanMenu(true);
  if (state.RunMode.load() == 0 && a.Enabled) {
    state.VerticalScanMenuEnabled = 0;
    display.SetVerticalScanMenu(false);
    CloseXyzFile(state, display, kAutoAzimuthTitle);
    if (state.AutoAzimuthXYZ.load() == 1) {
      state.XyzFailureShown = false;
      OpenXyzFile(state, display, DateText(clock), kAutoAzimuthTitle);
    }
    state.AutoAzimuthTotalSweep = TotalSweep(state.AutoAzimuthStartAngle.load(), state.AutoAzimuthStopAngle.load());
    state.AutoAzimuthAccumulated = 0;
    state.AutoAzimuthFirstStep = 1;
    StartFreshScan(state, display);
    StepAzimuth(state, display);
  } else {
    state.AutoProfileWaitSweepStart = false;
    CloseXyzFile(state, display, kAutoAzimuthTitle);
  }
  state.AutoProfileEnabledBefore = state.AutoProfileScanActive.load() ? 1 : 0;
}

void RunAutoAzimuthDialog(AppState& state, Display& display, const Clock& clock) {
  const AzimuthForm form = MakeAzimuthForm(state);
  const AzimuthAnswer answer = display.AskAutoAzimuth(form);
  ApplyAzimuthAnswer(state, display, clock, answer);
}

void StartReplayProfile(AppState& state, Display& display, bool vertical, bool prompt) {
  state.ReplayPromptsForScan = prompt;
  state.AutoProfileVertical = vertical ? 1 : 0;
  state.AutoAzimuthEnabled = 0;
  state.AutoAzimuthXYZ = 0;
  state.AutoProfileXYZ = 1;
  state.AutoProfileBMP = 0;
  state.AutoProfileSaveConfirmation = 0;
  state.AutoProfilePromptForScan = 0;
  state.AutoProfileScanActive = true;
  StartFreshScan(state, display);
  state.ReplayStartPending = true;
  state.AutoProfileEnabledBefore = 1;
}

bool StartReplayAzimuth(AppState& state, Display& display, const std::string& date_text) {
  state.ReplayPromptsForScan = false;
  state.AutoProfileVertical = 1;
  state.AutoAzimuthEnabled = 0;
  state.AutoAzimuthXYZ = 1;
  state.AutoProfileXYZ = 0;
  state.AutoProfileBMP = 0;
  state.AutoProfileSaveConfirmation = 0;
  state.AutoProfilePromptForScan = 0;
  CloseXyzFile(state, display, kAutoAzimuthTitle);
  state.XyzFailureShown = false;
  const bool open = OpenXyzFile(state, display, date_text, kAutoAzimuthTitle);
  state.AutoProfileScanActive = true;
  StartFreshScan(state, display);
  state.ReplayStartPending = true;
  state.AutoProfileEnabledBefore = 1;
  return open;
}

void AdoptRecordedSurveySettings(AppState& state) {
  state.Units = state.PlaybackUnits.load();
  if (state.PlaybackAzimuthStored.load()) state.AzimuthPosition = state.PlaybackAzimuthPosition.load();
}

void ReplaySurveyTurn(AppState& state, Display& display, const Clock& clock) {
  // The scan began with the recording's first sonar ping: its sector and train,
  // restored from its record, are those the scan started with.
  const char kind = state.ExpectedReplyType.load();
  if (state.ReplayStartPending && (kind == 'G' || kind == 'M' || kind == 'P')) {
    state.ReplayStartPending = false;
    state.AutoProfileStartPosition = ScanStartPosition(state);
  }
  if (!state.AutoProfileScanActive.load()) return;
  const int sweeps = state.SweepsCompleted.load();
  CheckScanComplete(state, display, clock);
  // The prompt's Ok in the head run mode starts the next scan afresh.
  if (state.ReplayPromptsForScan && state.SweepsCompleted.load() != sweeps && state.AutoProfileScanActive.load())
    StartFreshScan(state, display);
}

void FinishReplaySurvey(AppState& state, Display& display) {
  if (state.Xyz.IsOpen()) CloseXyzFile(state, display, kAutoAzimuthTitle);
}
