// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "files/file_display.h"
#include "files/file_texts.h"
#include "files/output_file.h"
#include "app_state.h"

namespace {

int DataBitsCode(int data_bits) {
  if (data_bits == 4) return 0;
  if (data_bits == 16) return 2;
  return 1;
}

// Latitude as stored: the 11 characters after the constant leading blank of the
// 12-character latitude text, so that the hemisphere letter is kept.
std::string LatitudeForRecord(const GpsData& gps) {
  const char* text = gps.GpsPositionText.data();
  if (text[0] == 0) return {};
  std::string lat(text + 1, strnlen(text + 1, 11));
  return lat;
}

std::string LongitudeForRecord(const GpsData& gps) {
  const char* text = gps.GpsPositionText.data() + 12;
  return std::string(text, strnlen(text, 12));
}

}  // namespace

SonarRecordFields RecordFieldsFor(const AppState& s, const RecordedPing& ping, int previous_size) {
  SonarRecordFields f;
  const int length = static_cast<int>(ping.reply.size());
  const int gps_room = ping.gps ? kRecordGpsBlockSize : 0;
  // The type code decides the size; one too small for the reply would overrun the
  // record, so the smallest code that holds it is taken instead.
  int code = ping.type_code;
  const int need = kRecordHeaderSize + length + kRecordFloatsSize + kRecordBackLinkSize;
  if (RecordSizeForType(code) < need) code = SmallestTypeCodeFor(length);
  f.type_code = code;
  f.record_size = RecordSizeForType(code) + gps_room;
  f.reply_length = length;

  f.date_text = RecordDateText(ping.time.day, ping.time.month, ping.time.year);
  char time[32];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", ping.time.hour % 100, ping.time.minute % 100,
                ping.time.second % 100);
  f.time_text = time;
  f.seconds = ping.time.second;
  f.hundredths = ping.time.hundredths;

  f.units_feet = s.Units.load() == 1;
  f.step_direction = ping.step_direction;
  f.xdcr = s.Xdcr.load();
  f.grid_mode = s.GridMode.load();
  f.speed = s.Speed.load();
  f.gain = s.Gain.load();
  f.sector_code = s.SectorSize.load() / 3;
  f.train_code = s.Train.load() / 3;
  f.range_offset = s.RangeOffset.load();
  f.absorption = s.Absorption.load();
  f.data_bits_code = DataBitsCode(s.DataBits.load());
  f.log_f = s.LogF.load();
  f.profile_grid = s.ProfileGrid.load() != 0;
  f.profile_grid_zero_up = s.ProfileGrid.load() != 0 && s.ZeroDown.load() == 0;
  f.pulse_code = s.PulseLength.load() / 10;
  f.profile_mode = s.Profile.load();
  f.sound_velocity_tenths = static_cast<int>(s.SoundVelocityMeters.load() * 10.0f) & 0x7FFF;
  f.user_text = s.UserText.get();
  f.frequency = s.Frequency.load();
  f.azimuth_position = ping.azimuth_position;
  f.vertical_angle_code = std::max(0, static_cast<int>((s.VerticalAngleOffset.load() + 180.0f) * 10.0f));

  const char kind = length > 1 ? static_cast<char>(ping.reply[1]) : 0;
  if (kind == 'O')
    f.floats = {s.OrientationPitchOffset.load(), s.OrientationRollOffset.load(), s.OrientationHeadingOffset.load()};
  else if (kind == 'A')
    f.floats = {s.AzimuthPitchOffset.load(), s.AzimuthRollOffset.load(), s.AzimuthHeadingOffset.load()};
  else if (kind == 'G' || kind == 'M' || kind == 'P')
    f.floats = {s.ProfileXOffset.load(), s.ProfileChainage.load(), s.ProfileElevation.load()};
  f.gps_present = ping.gps.has_value();
  f.gps = ping.gps;
  f.back_link = f.record_size + previous_size;
  return f;
}

FileHandle CreateSonarFile(FileDisplay& display, const std::string& path, const char* caption,
                           std::string& lower) {
  lower = LowerCasePath(path);
  if (!HasSonarExtension(lower)) {
    display.ShowFileMessage(kExtensionMessage, caption, FileMessageIcon::kWarning);
    return FileHandle();
  }
  // The path is opened and shown as chosen: lower-casing it would name another
  // file on a case-sensitive file system. A device or a FIFO under the name is
  // refused (and said so) before it is opened; a link is recorded through.
  const std::string refused = RefusedOutputReason(OutputTarget(path));
  if (!refused.empty()) {
    display.ShowFileMessage(refused, caption, FileMessageIcon::kWarning);
    errno = 0;
    return FileHandle();
  }
  return FileHandle(OpenRegularOutput(path, nullptr));
}

bool StartRecording(AppState& state, FileDisplay& display, const std::string& path) {
  std::string lower;
  FileHandle file = CreateSonarFile(display, path, kRecordDialogTitle, lower);
  if (!file.valid()) return false;
  {
    std::lock_guard lock(state.RecordMutex);
    state.RecordFile = std::move(file);
    state.RecordFileName = path;
    state.RecordBytes = 0;
    state.LastRecordSize = 0;
    state.RecordKbShown = 0;
    state.RecordedSonarPings = 0;
    state.RecordFileOpen = 1;
  }
  display.SetFileTitle(RecordingTitle(path));
  display.SetFileMenuText(kMenuRecord, kRecordStopText);
  return true;
}

void StopRecording(AppState& state, FileDisplay& display) {
  if (!state.RecordFileOpen) return;
  display.ShowFileMessage(state.RecordFileName.get(), kCloseRecordCaption, FileMessageIcon::kInformation);
  {
    std::lock_guard lock(state.RecordMutex);
    state.RecordFile.reset();
    state.RecordFileOpen = 0;
  }
  display.SetFileTitle(kProgramTitle);
  display.SetFileMenuText(kMenuRecord, kRecordStartText);
}

bool WriteSonarRecord(AppState& state, FileDisplay& display, const RecordedPing& ping) {
  if (!state.RecordFileOpen || ping.reply.empty()) return false;
  std::string title;
  std::string failure;
  {
    std::lock_guard lock(state.RecordMutex);
    if (!state.RecordFile.valid()) return false;
    const SonarRecordFields fields = RecordFieldsFor(state, ping, state.LastRecordSize.load());
    if (fields.type_code < 0) return false;  // a reply no record can hold
    uint8_t record[kMaxRecordSize];
    if (!EncodeSonarRecord(fields, ping.reply, record)) return false;
    std::string error;
    if (AppendRecord(state.RecordFile.get(), std::span(record, static_cast<size_t>(fields.record_size)),
                     state.RecordBytes.load(), error)) {
      state.LastRecordSize = fields.record_size;
      state.RecordBytes += fields.record_size;
      const int64_t kb = state.RecordBytes.load() / 1024;
      if (kb != state.RecordKbShown) {
        state.RecordKbShown = kb;
        title = RecordingTitleWithSize(state.RecordFileName.get(), state.RecordBytes.load());
      }
    } else {
      // Stop at once: the records written so far stay a whole, playable file.
      state.RecordFile.reset();
      state.RecordFileOpen = 0;
      failure = "Recording stopped: the record could not be written to " + state.RecordFileName.get() +
                " (" + error + ").\nThe " + std::to_string(state.RecordBytes.load()) +
                " bytes recorded before remain in the file.";
    }
  }
  if (!failure.empty()) {
    display.SetFileTitle(kProgramTitle);
    display.SetFileMenuText(kMenuRecord, kRecordStartText);
    display.ShowFileMessage(failure, kRecordErrorCaption, FileMessageIcon::kWarning);
    return false;
  }
  if (!title.empty()) display.SetFileTitle(title);
  return true;
}

namespace {

// The azimuth position and the GPS block a record carries with the settings now.
void AddDriveAndGps(const AppState& state, const GpsData* ping_gps, RecordedPing& ping) {
  if (state.AzimuthDriveEnable.load() && state.AzimuthDriveFound.load())
    ping.azimuth_position = state.AzimuthPosition.load();
  if (state.UseGPS.load()) {
    const GpsData gps = ping_gps ? *ping_gps : state.GpsSnapshot();
    RecordGps g;
    g.latitude = LatitudeForRecord(gps);
    g.longitude = LongitudeForRecord(gps);
    g.utc_time = std::string(gps.GpsTimeText.data(), strnlen(gps.GpsTimeText.data(), 11));
    g.fix_quality = gps.GpsFixQuality & 0xFF;
    g.satellites = gps.GpsSatellites & 0xFF;
    g.hdop = gps.GpsHdop;
    g.altitude = gps.GpsAltitude;
    g.geoid_separation = gps.GpsAfterAltitude;
    ping.gps = g;
  }
}

}  // namespace

bool RecordAcceptedReply(AppState& state, FileDisplay& display, const GpsData* ping_gps) {
  if (!state.RecordFileOpen) return false;
  const long limit = state.RecordPingLimit.load();
  if (limit > 0 && state.RecordedSonarPings.load() >= limit) return false;  // the run has its pings
  const int length = std::clamp(state.ExpectedReplyLength.load(), 0, kReplyBufferSize);
  RecordedPing ping;
  ping.reply = std::span<const uint8_t>(state.ReplyBuffer.data(), static_cast<size_t>(length));
  ping.type_code = state.RecordTypeCode.load();
  ping.time = state.Ping.PingTime;
  ping.step_direction = state.Ping.StepDirection != 0;
  AddDriveAndGps(state, ping_gps, ping);
  const uint8_t kind = length > 1 ? state.ReplyBuffer[1] : 0;
  const bool written = WriteSonarRecord(state, display, ping);
  if (written && (kind == 'G' || kind == 'M' || kind == 'P')) ++state.RecordedSonarPings;
  return written;
}

void RememberOrientationReply(AppState& state) {
  const int length = std::clamp(state.ExpectedReplyLength.load(), 0, kReplyBufferSize);
  std::copy_n(state.ReplyBuffer.begin(), length, state.LastOrientationReply.begin());
  state.LastOrientationLength = length;
  state.LastOrientationTypeCode = state.RecordTypeCode.load();
  state.LastOrientationTime = state.Ping.PingTime;
}

bool RecordLastOrientationReply(AppState& state, FileDisplay& display) {
  if (!state.RecordFileOpen || state.LastOrientationLength <= 0) return false;
  RecordedPing ping;
  ping.reply = std::span<const uint8_t>(state.LastOrientationReply.data(),
                                        static_cast<size_t>(state.LastOrientationLength));
  ping.type_code = state.LastOrientationTypeCode;
  ping.time = state.LastOrientationTime;
  AddDriveAndGps(state, nullptr, ping);
  return WriteSonarRecord(state, display, ping);
}
