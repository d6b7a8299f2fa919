// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/ping_pipeline.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "display.h"
#include "files/playback.h"
#include "files/recorder.h"
#include "files/sonar_record.h"
#include "app_state.h"

namespace {

constexpr std::chrono::microseconds kIdleWait{100000};

const char* const kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                 "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// Shows the pixels drawn since the last blit and empties the dirty box.
void Blit(PingImage& image, ImagingDisplay& display) {
  DirtyRect area;
  {
    std::lock_guard lock(image.Lock());
    area = image.Dirty;
    image.Dirty.Reset();
  }
  if (!area.Empty()) display.ImageChanged(area);
}

// Draws the grid with the current parameters when it is switched on, remembers what
// was drawn so it can be erased later, and marks the whole picture for showing.
// Caller holds the image lock.
void ShowGridLocked(AppState& state) {
  state.GridShown = false;
  // A player that paints no echoes makes no picture: no grid is drawn into it.
  if (state.Grid.load() && state.PaintEchoes) {
    state.GridShownParams = CurrentGridParams(state);
    DrawGrid(state.Image, state.GridShownParams, true);
    state.GridShown = true;
  }
  state.Image.Dirty = DirtyRect::Whole();
}

// Caller holds the image lock.
void ClearImageLocked(AppState& state) {
  if (state.PaintEchoes) std::memset(state.Image.Pixels(), 0, kImageBytes);
  ShowGridLocked(state);
}

void ResetEchoLinesLocked(AppState& state, bool keep_point_table) {
  state.Echo.Clear();
  if (!keep_point_table) state.PointTable.fill(PixelPos{});
  state.RecentPoints.Clear();
}

// The per-position point table survives while a playback file is open in playback mode.
bool KeepPointTable(const AppState& state) {
  return state.RunMode.load() == 1 && state.PlaybackFileOpen.load() != 0;
}

// Empties the echo lines and the picture together and shows the result.
void ResetAndClearImage(AppState& state, ImagingDisplay& display) {
  {
    std::lock_guard lock(state.Image.Lock());
    ResetEchoLinesLocked(state, KeepPointTable(state));
    ClearImageLocked(state);
  }
  Blit(state.Image, display);
}

ProfilePointInputs PointInputs(AppState& state, const PingData& ping, const PingInput& in, const GpsData& gps) {
  ProfilePointInputs p;
  char buf[32];
  if (in.Record) {
    p.DateText = in.Record->date_text;
    std::snprintf(buf, sizeof buf, "%.8s.%02d", in.Record->time_text.c_str(), in.Record->hundredths % 100);
    p.TimeText = buf;
  } else {
    const LocalTime& t = ping.PingTime;
    const int m = (t.month >= 1 && t.month <= 12) ? t.month - 1 : 0;
    std::snprintf(buf, sizeof buf, "%02d-%s-%04d", t.day % 100, kMonths[m], t.year % 10000);
    p.DateText = buf;
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%02d", t.hour % 100, t.minute % 100, t.second % 100,
                  t.hundredths % 100);
    p.TimeText = buf;
  }
  p.GpsText.assign(gps.GpsPositionText.data(), strnlen(gps.GpsPositionText.data(), gps.GpsPositionText.size()));
  p.Elevation = gps.GpsAltitude;
  p.ProfileRangeCode = ping.ProfileRangeCode;
  p.RangeMetres = ping.RangeMetres;
  p.BlankDistance = ping.BlankDistance;
  p.BeamAngleDeg = ping.BeamAngleDeg;
  p.VerticalAngleOffset = state.VerticalAngleOffset.load();
  p.Direction = ping.StepDirection;
  p.Pitch = state.OrientationPitch.load();
  p.Roll = state.OrientationRoll.load();
  p.Heading = state.OrientationHeading.load();
  return p;
}

}  // namespace

GridParams CurrentGridParams(const AppState& state) {
  GridParams g;
  g.GridMode = state.GridMode.load();
  g.ProfileGrid = state.ProfileGrid.load() != 0;
  g.ZeroDown = state.ZeroDown.load() != 0;
  g.SSTrain = state.SSTrain.load();
  g.Units = state.Units.load();
  g.SoundVelocity = state.SoundVelocityMeters.load();
  return g;
}

int PlaybackDelay(int d) { return PlaybackDelayMilliseconds(std::min(d, 100)); }

void ClearImage(AppState& state, ImagingDisplay& display) {
  {
    std::lock_guard lock(state.Image.Lock());
    ClearImageLocked(state);
  }
  Blit(state.Image, display);
}

void ResetEchoLines(AppState& state, bool keep_point_table) {
  std::lock_guard lock(state.Image.Lock());
  ResetEchoLinesLocked(state, keep_point_table);
}

void RedrawGrid(AppState& state, ImagingDisplay& display) {
  {
    std::lock_guard lock(state.Image.Lock());
    if (state.GridShown) DrawGrid(state.Image, state.GridShownParams, false);
    ShowGridLocked(state);
  }
  Blit(state.Image, display);
}

int SelectColorTable(AppState& state, ImagingDisplay& display, int scheme) {
  if (scheme < 0 || scheme >= kColorTableCount) scheme = 0;
  state.Colors = scheme;
  state.SetPalette(BuildPalette(scheme));
  display.PanelsChanged(kPanelPalette);
  return 1;
}

PingInput PlaybackPingInput(const AppState& state) {
  PingInput in;
  in.Valid = true;
  in.Kind = state.ExpectedReplyType.load();
  in.Reverse = state.ReversePlayback.load() != 0;
  in.Record = state.PlaybackReader.is_open() ? &state.PlaybackReader.fields() : nullptr;
  return in;
}

void ProcessPlaybackPing(AppState& state, Display& display) {
  ProcessPing(state, display, PlaybackPingInput(state));
}

PingResult ProcessPing(AppState& state, Display& display, const PingInput& in) {
  PingResult result;
  const bool playback = state.RunMode.load() == 1;
  const PingData& ping = state.Ping;

  // 1-3: diagnostics, validity, activity indicator.
  display.PanelsChanged(kPanelDiagnostics | kPanelActivity);
  state.ActivityToggle = !state.ActivityToggle;

  // 4: scan replies are never drawn.
  if (in.Kind == 'T') {
    result.Wait = kIdleWait;
    return result;
  }
  // 5
  if (state.AzimuthDriveEnable.load() && in.Kind == 'A') display.PanelsChanged(kPanelDiagnostics);
  // 6: an invalid reply draws nothing; live it costs a wait so a silent head does not spin.
  if (!in.Valid) {
    if (!playback) result.Wait = kIdleWait;
    return result;
  }
  // 7
  const bool flip = (ping.ImageFlip != 0) != in.Reverse;

  // One GPS fix for the ping: its record and its profile point carry the same,
  // whatever the GPS thread reads meanwhile.
  const GpsData gps = state.GpsSnapshot();

  // 8: recording precedes any drawing.
  if (!playback && state.RecordFileOpen.load()) {
    if (RecordAcceptedReply(state, display, &gps)) display.PanelsChanged(kPanelTitle);
  }
  if (!playback && (in.Kind == 'O' || (in.Kind != 'A' && ping.ReplyHeadId == 24))) RememberOrientationReply(state);

  // 9: settings re-check.
  bool cleared = false;
  if (playback) state.SettingsCheck = true;
  if (state.SettingsCheck.exchange(false)) {
    const int bits = state.DataBits.load();
    const int profile = state.Profile.load();
    const int sector = state.SectorSize.load();
    const bool changed = bits != state.LastDataBits || profile != state.LastProfileMode;
    const bool shrunk = state.LastSectorSize >= 0 && sector < state.LastSectorSize;
    state.LastDataBits = bits;
    state.LastProfileMode = profile;
    state.LastSectorSize = sector;
    if (changed || shrunk) {
      ResetAndClearImage(state, display);
      cleared = true;
    }
  }

  // 10: playback status that comes from the file.
  if (playback && in.Record) {
    const SonarRecordFields& rec = *in.Record;
    unsigned panels = 0;
    if (rec.seconds != state.LastRecordSecond) {
      state.LastRecordSecond = rec.seconds;
      panels |= kPanelDateTime;
      if (state.EnableOrientationModule.load() && ++state.DateRedrawCount >= 5)
        panels |= kPanelOrientationWindow;
    }
    if (rec.frequency != state.FrequencyShown) {
      state.FrequencyShown = rec.frequency;
      panels |= kPanelFrequency;
    }
    if (state.UseGPS.load()) panels |= kPanelGps;
    if (panels) display.PanelsChanged(panels);

    const int mode = state.GridMode.load();
    if ((mode != state.LastGridModeDrawn || ping.RangeMetres != state.LastRangeDrawn) && !cleared)
      ClearImage(state, display);
    state.LastGridModeDrawn = mode;
    state.LastRangeDrawn = ping.RangeMetres;

    if (rec.sound_velocity_tenths) {
      const float sv = *rec.sound_velocity_tenths / 10.0f;
      if (sv != state.AdoptedSoundVelocity) {
        state.AdoptedSoundVelocity = sv;
        state.SoundVelocityMeters = sv;
        // The grid drawn last is erased with its own geometry and drawn anew.
        if (state.Grid.load()) RedrawGrid(state, display);
        display.OverlaysChanged(kOverlayReadouts);
      }
    }
    if (rec.user_text != state.UserTextShown) {
      state.UserTextShown = rec.user_text;
      state.UserText = rec.user_text;
      display.PanelsChanged(kPanelUserText);
    }
    if (state.AzimuthDriveEnable.load() && rec.azimuth_position &&
        *rec.azimuth_position != state.LastAzimuthShown) {
      state.LastAzimuthShown = *rec.azimuth_position;
      display.PanelsChanged(kPanelAzimuthWindow);
    }
  }

  // 11: a reply of the orientation module carries no echoes.
  const bool orientation_only = in.Kind == 'O' || (in.Kind != 'A' && ping.ReplyHeadId == 24);
  if (state.EnableOrientationModule.load() && orientation_only) {
    display.PanelsChanged(kPanelOrientationWindow);
    display.OverlaysChanged(kOverlayReadouts);
  } else if (in.Kind == 'G' || in.Kind == 'M' || in.Kind == 'P') {
    // 12: imaging. Azimuth and orientation replies carry no echoes and draw nothing.
    display.PanelsChanged(kPanelPerPing | kPanelHeadMarker);
    const int mode = state.GridMode.load();
    const bool grid_on = state.Grid.load() != 0;
    const bool profile_grid = state.ProfileGrid.load() != 0;
    const bool zero_down = state.ZeroDown.load() != 0;
    const int profile = state.Profile.load();
    unsigned status = 0;
    if (state.SweepDirectionPending.exchange(false)) state.PreviousSweepDirection = ping.StepDirection;
    if (state.ClearRequest.exchange(false)) {
      ResetAndClearImage(state, display);
    } else if (mode != kGridSS) {
      const bool scanning = state.AutoProfileScanActive.load();
      const bool waiting = state.AutoProfileWaitSweepStart.load();
      // Sweep-start watch of auto-profile: while the head is awaited, a position
      // above the previous ping's and at or beyond the scan's start position
      // starts the sweep (the previous position is 1200 when not waiting, so the
      // first ping of a wait never starts it). The picture of the scan starts
      // afresh with it.
      const bool sweep_starts = waiting && ping.HeadPosition > state.PreviousSweepPosition &&
                                ping.HeadPosition >= state.AutoProfileStartPosition.load();
      if (sweep_starts) ResetAndClearImage(state, display);
      // The return sweep of a sector is collected but not drawn.
      if (!(scanning && !waiting && ping.StepDirection != state.SweepStartDirection)) {
        if (state.PaintEchoes) {
          std::lock_guard lock(state.Image.Lock());
          PointParams pp;
          pp.GridMode = mode;
          pp.ProfileGrid = profile_grid;
          pp.ZeroDown = zero_down;
          pp.BeamAngleRad = ping.BeamAngleRad;
          pp.HeadPosition = ping.HeadPosition;
          pp.ImageFlip = flip;
          pp.ProfileSampleIndex = ping.ProfileSampleIndex;
          pp.GridOn = grid_on;
          if (profile == 1 || in.Kind == 'P') {
            DrawPointsOnly(state.Image, state.PointTable, pp);
          } else {
            bool first = state.FirstPing.load();
            state.Echo.Shift(ping.Samples.data(), ping.SampleCount, first);
            state.FirstPing = first;
            WedgeParams wp;
            wp.Speed = state.SpeedInUse.load();
            wp.GridMode = mode;
            wp.ProfileGrid = profile_grid;
            wp.ZeroDown = zero_down;
            wp.SectorSize = state.SectorSize.load();
            wp.BeamAngleRad = ping.BeamAngleRad;
            wp.ImageFlip = flip;
            wp.SampleCount = ping.SampleCount;
            wp.GridOn = grid_on;
            DrawWedge(state.Image, state.Echo, wp, &state.WedgePlanCache);
            if (profile >= 2) DrawRecentPoints(state.Image, state.RecentPoints, pp);
          }
          DredgeParams dp;
          dp.GridMode = mode;
          dp.ProfileGrid = profile_grid;
          dp.ZeroDown = zero_down;
          dp.Depth = state.ProfileDredgeDepth.load();
          dp.RangeMetres = ping.RangeMetres;
          dp.Units = state.Units.load();
          dp.SoundVelocity = state.SoundVelocityMeters.load();
          dp.GridOn = grid_on;
          DrawDredgeLine(state.Image, state.Dredge, dp);
        }
        if (state.PaintEchoes) {
          Blit(state.Image, display);
          result.Drawn = true;
        }
      }
      if (waiting) {
        if (sweep_starts) {
          state.AutoProfileWaitSweepStart = false;
          state.SweepStartDirection = ping.StepDirection;
          status |= kPanelStatusMessage;
        }
        state.PreviousSweepPosition = sweep_starts ? 1200 : ping.HeadPosition;
      } else {
        state.PreviousSweepPosition = 1200;
      }
      // Every ping of an active scan is a point of it, waiting or not, drawn or not.
      if (scanning) StoreProfilePoint(state.ProfilePoints, PointInputs(state, ping, in, gps));
    } else if (state.PaintEchoes) {
      {
        std::lock_guard lock(state.Image.Lock());
        DrawWaterfallLine(state.Image, ping.Samples.data(), ping.SampleCount, state.SSTrain.load(),
                          in.Reverse, grid_on);
      }
      Blit(state.Image, display);
      result.Drawn = true;
    }
    if (status) display.PanelsChanged(status);
    // 12.4: the measurement line goes over the new image (the GUI draws it in MeasureMode 1).
    display.OverlaysChanged(kOverlayMeasureLine);
  }

  // 13: the zoom inset follows the new image.
  if (state.PixelZoom.load()) display.OverlaysChanged(kOverlayZoom);

  // 14: playback pacing.
  const int plot = state.PlotSpeed.load();
  if (playback && plot < 100) result.Wait = std::chrono::milliseconds(PlaybackDelay(100 - plot));
  return result;
}
