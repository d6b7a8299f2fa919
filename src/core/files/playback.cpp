// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/playback.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "files/file_display.h"
#include "files/file_texts.h"
#include "files/recorder.h"
#include "app_state.h"

namespace {

int DataBitsFromCode(int code) {
  if (code == 0) return 4;
  if (code == 2) return 16;
  return 8;
}

// Orientation values and the azimuth tilt state start afresh with a file, after its
// end and after a seek.
void ResetOrientation(AppState& state) {
  state.OrientationPitch = 0.0f;
  state.OrientationRoll = 0.0f;
  state.OrientationHeading = 0.0f;
}

// Step 4 to 11: what the header restores into the working settings (never into the
// head copies, which keep the live values for the return to live mode).
void RestoreHeader(AppState& s, const SonarRecordFields& f) {
  s.PlaybackDateText = f.date_text;
  s.PlaybackTimeText = f.time_text;
  char hundredths[8];
  std::snprintf(hundredths, sizeof hundredths, ".%02d", f.hundredths);
  s.PlaybackHundredthsText = std::string(hundredths);
  s.PlaybackSeconds = f.seconds;
  s.PlaybackUnits = f.units_feet ? 1 : 0;
  s.PlaybackGpsPresent = f.gps_present ? 1 : 0;
  s.PlaybackStepDirection = f.step_direction ? 1 : 0;
  s.Xdcr = f.xdcr;
  s.GridMode = f.grid_mode;
  s.Speed = f.speed;
  s.Gain = f.gain;
  s.SectorSize = f.sector_code * 3;
  const int train = f.train_code * 3;
  s.Train = train;
  if (f.grid_mode == 2) {
    if (train == 90) s.SSTrain = 2;   // "Stbd"
    if (train == 270) s.SSTrain = 0;  // "Port"
  }
  s.RangeOffset = f.range_offset;
  s.Absorption = f.absorption;
  s.DataBits = DataBitsFromCode(f.data_bits_code);
  s.LogF = f.log_f;
  s.PulseLength = f.pulse_code * 10;

  float velocity = s.SoundVelocityMetersHead.load();
  if (f.sound_velocity_tenths) {
    const float v = static_cast<float>(*f.sound_velocity_tenths) * 0.1f;
    if (v >= 750.0f && v <= 2250.0f) velocity = v;
  }
  s.SoundVelocityMeters = velocity;
  s.PlaybackSoundVelocity = velocity;

  if (!f.user_text.empty()) s.UserText = f.user_text;
  s.PlaybackFrequency = f.frequency == 0 ? 675 : f.frequency;

  if (f.azimuth_position) {
    s.PlaybackAzimuthPosition = *f.azimuth_position;
    s.PlaybackAzimuthStored = 1;
    // The diagnostics window shows an azimuth header for a stored position, unless it
    // already holds a drive reply with tilt data.
    s.UpdateShown([](LinkShown& shown) {
      if (shown.Azimuth.Decoded && shown.Azimuth.TiltPresent) return;
      shown.Azimuth.Header = {};
      const uint8_t header[6] = {'I', 'A', 'X', 31, 64, 0xFC};
      std::copy(std::begin(header), std::end(header), shown.Azimuth.Header.begin());
      shown.Azimuth.Id = 31;
      shown.Azimuth.Status = 64;
      shown.Azimuth.Termination = 0xFC;
    });
  } else {
    s.PlaybackAzimuthPosition = 600;
    s.PlaybackAzimuthStored = 0;
    s.UpdateShown([](LinkShown& shown) { shown.Azimuth.Header = {}; });
  }
  const float vao = (static_cast<float>(f.vertical_angle_code) - 1800.0f) * 0.1f;
  s.VerticalAngleOffset = (vao > -180.0f && vao < 180.0f) ? vao : 0.0f;
}

// Steps 13 and 14: the floats by kind and the GPS block.
void RestoreTail(AppState& s, FileDisplay& display, const SonarRecordFields& f, char kind) {
  if (kind == 'O') {
    s.OrientationPitchOffset = f.floats[0];
    s.OrientationRollOffset = f.floats[1];
    s.OrientationHeadingOffset = f.floats[2];
  } else if (kind == 'A') {
    s.AzimuthPitchOffset = f.floats[0];
    s.AzimuthRollOffset = f.floats[1];
    s.AzimuthHeadingOffset = f.floats[2];
  } else if (kind == 'G' || kind == 'M' || kind == 'P') {
    s.ProfileXOffset = f.floats[0];
    s.ProfileChainage = f.floats[1];
    s.ProfileElevation = f.floats[2];
  }
  if (!f.gps_present) return;
  GpsData gps = s.GpsSnapshot();
  if (f.gps) {
    const RecordGps& g = *f.gps;
    if (!g.latitude.empty()) {
      // Back into the 24-character position text: blank, latitude, longitude.
      gps.GpsPositionText.fill(0);
      gps.GpsPositionText[0] = ' ';
      std::memcpy(gps.GpsPositionText.data() + 1, g.latitude.data(), std::min<size_t>(g.latitude.size(), 11));
      std::memcpy(gps.GpsPositionText.data() + 12, g.longitude.data(), std::min<size_t>(g.longitude.size(), 12));
      s.PlaybackGpsAge = 0;
    } else {
      s.PlaybackGpsAge = std::min(s.PlaybackGpsAge.load() + 1, 10);
    }
    gps.GpsTimeText.fill(0);
    std::memcpy(gps.GpsTimeText.data(), g.utc_time.data(), std::min<size_t>(g.utc_time.size(), 11));
    gps.GpsFixQuality = g.fix_quality;
    gps.GpsSatellites = g.satellites;
    gps.GpsHdop = g.hdop;
    gps.GpsAltitude = g.altitude;
    gps.GpsAfterAltitude = g.geoid_separation;
    {
      std::lock_guard lock(s.PlaybackGpsMutex);
      s.PlaybackGps = g;
    }
  } else {
    s.PlaybackGpsAge = std::min(s.PlaybackGpsAge.load() + 1, 10);
  }
  s.GpsAge = s.PlaybackGpsAge.load();
  s.SetGpsData(gps);
  display.PlaybackGpsChanged();
}

void EndOfFile(AppState& s, FileDisplay& display) {
  s.PlaybackPosition = 0;
  s.SkipNextRecord = 1;
  const bool backwards = s.ReversePlayback && s.ReverseAvailable;
  s.PlayedBytes = backwards ? s.PlaybackFileLength.load() : 0;
  s.PlaybackPercent = backwards ? 100 : 0;
  display.SetPlaybackProgress(s.PlaybackPercent);
  ResetOrientation(s);
  display.PlaybackRestarted();
  if (s.AutoFrameCaptureOn) {
    s.AutoFrameCaptureOn = 0;
    display.SetFileMenuText(kMenuAutoFrameCapture, kCaptureStartText);
    display.ShowFileMessage(kCaptureEndOfFileMessage, kCaptureCaption, FileMessageIcon::kInformation);
  }
}

void StopCopyAfterFailure(AppState& s, FileDisplay& display, const std::string& error) {
  s.CopyFile.reset();
  s.CopyFileOpen = 0;
  display.SetFileTitle(PlaybackTitle(s.PlaybackFileName.get()));
  display.SetFileMenuText(kMenuCopy, kCopyStartText);
  display.ShowFileMessage("Copying stopped: the record could not be written to " + s.CopyFileName.get() + " (" +
                              error + ").\nThe " + std::to_string(s.CopiedBytes.load()) +
                              " bytes copied before remain in the file.",
                          kCopyErrorCaption, FileMessageIcon::kWarning);
}

// Step 20: the record as played, with the profile range after processing and a back
// link that fits the copy file, in one write.
void CopyRecord(AppState& s, FileDisplay& display, std::span<uint8_t> record, int reply_length) {
  if (reply_length >= 10) {
    record[kRecordHeaderSize + 8] = s.ReplyBuffer[8];
    record[kRecordHeaderSize + 9] = s.ReplyBuffer[9];
  }
  SetRecordBackLink(record, static_cast<int>(record.size()) + s.CopyPreviousSize);
  std::string error;
  if (!AppendRecord(s.CopyFile.get(), record, s.CopiedBytes.load(), error)) {
    StopCopyAfterFailure(s, display, error);
    return;
  }
  s.CopyPreviousSize = static_cast<int>(record.size());
  s.CopiedBytes += static_cast<int64_t>(record.size());
  const int64_t kb = s.CopiedBytes.load() / 1024;
  if (kb != s.CopyKbShown) {
    s.CopyKbShown = kb;
    display.SetFileTitle(CopyingTitleWithSize(s.CopyFileName.get(), s.CopiedBytes.load()));
  }
}

// Auto frame capture: in Sector and Polar display, a full turn (360-degree sector)
// or the end of a sweep (the direction bit changed) captures the frame.
void CheckFrameCapture(AppState& s, FileDisplay& display) {
  const int position = s.Ping.HeadPosition;
  const int direction = s.PlaybackStepDirection.load();
  const int mode = s.GridMode.load();
  if (s.AutoFrameCaptureOn && (mode == 0 || mode == 1) && s.CaptureLastPosition >= 0) {
    const bool capture = s.SectorSize.load() == 360 ? std::abs(position - s.CaptureLastPosition) > 1100
                                                    : direction != s.CaptureLastDirection;
    if (capture) display.CaptureFrameRequested();
  }
  s.CaptureLastPosition = position;
  s.CaptureLastDirection = direction;
}

}  // namespace

int PlaybackDelayMilliseconds(int d) {
  if (d < 1 || d > 100) return 0;
  static constexpr double kFactor[10] = {0.25, 0.5, 0.75, 1, 2, 4, 6, 8, 10, 12};
  return static_cast<int>(d * kFactor[(d - 1) / 10]);
}

std::chrono::milliseconds PlaybackPacing(int plot_speed) {
  if (plot_speed >= 100) return std::chrono::milliseconds(0);
  return std::chrono::milliseconds(PlaybackDelayMilliseconds(100 - std::max(plot_speed, 0)));
}

int PlaybackPercentOf(int64_t position, int64_t length) {
  if (length <= 0 || position < 0) return 0;
  const int percent = static_cast<int>(std::llround(static_cast<double>(position) * 100.0 / static_cast<double>(length)));
  return percent > 100 ? 0 : percent;
}

bool OpenPlayback(AppState& s, FileDisplay& display, const std::string& path) {
  const std::string lower = LowerCasePath(path);
  if (!HasSonarExtension(lower)) {
    display.ShowFileMessage(kExtensionMessage, kPlaybackDialogTitle, FileMessageIcon::kWarning);
    return false;
  }
  return OpenPlaybackFile(s, display, path);
}

bool OpenPlaybackFile(AppState& s, FileDisplay& display, const std::string& path) {
  ClosePlayback(s);
  std::string error;
  bool opened = s.PlaybackReader.Open(path, error);
  uint8_t magic[3] = {};
  bool has_magic = opened && ReadAt(s.PlaybackReader.fd(), 0, magic) == 3 &&
                   std::memcmp(magic, kRecordMagic, 3) == 0;
  // A file cut off at the front (an interrupted download) starts inside a record:
  // it is played from the first whole record, as after damage in the middle.
  int64_t leading = 0;
  if (opened && !has_magic) {
    if (const std::optional<int64_t> first = s.PlaybackReader.FindForward(0)) {
      leading = *first;
      has_magic = true;
    }
  }
  if (!has_magic) {
    // An empty file (a recording that never got its first record) says so, by name.
    const bool empty = opened && s.PlaybackReader.Length() == 0;
    s.PlaybackReader.Close();
    display.ShowFileMessage(!opened ? "Cannot open " + path + ": " + error
                            : empty ? std::string(kWrongMagicMessage) + "\n" + path + " is empty: it holds no records."
                                    : std::string(kWrongMagicMessage),
                            kPlaybackDialogTitle, FileMessageIcon::kWarning);
    display.SetFileTitle(NoFileTitle());
    display.PlaybackFileOpened(false);
    return false;
  }
  s.PlayedBytes = 0;
  s.PlaybackPercent = 0;
  s.PlaybackFileLength = s.PlaybackReader.Length();
  s.UserText = std::string();
  s.PlaybackFileOpen = 1;
  s.PlaybackFileName = path;
  s.PlaybackFilePath = path;
  s.PlaybackPosition = 0;
  s.FirstRecordPending = 1;
  s.ReverseAvailable = 0;
  s.SkipNextRecord = 0;
  s.DamagedBytesSkipped = 0;
  s.LeadingBytesSkipped = leading;
  s.CaptureLastPosition = -1;
  s.CaptureLastDirection = -1;
  s.AzimuthTiltPresent = false;
  ResetOrientation(s);
  s.OrientationUnanswered = 5;
  s.PlaybackGpsAge = 5;
  s.GpsAge = 5;
  display.SetFileTitle(PlaybackTitle(path));
  display.SetPlaybackProgress(0);
  display.PlaybackFileOpened(true);
  display.PlaybackGpsChanged();
  return true;
}

void ClosePlayback(AppState& s) {
  s.PlaybackReader.Close();
  s.PlaybackFileOpen = 0;
}

PlaybackStepResult PlaybackStep(AppState& s, FileDisplay& display, const PlaybackHooks& hooks) {
  PlaybackStepResult result;
  SonarFileReader& reader = s.PlaybackReader;
  if (!s.PlaybackFileOpen || !reader.is_open()) return result;
  result.outcome = PlaybackOutcome::kPlayed;

  // Steps 1 and 12: read the record; a damaged header is passed over by looking for
  // the next record start, a short read is the end of the file.
  int64_t offset = s.PlaybackPosition;
  RecordRead read = reader.ReadRecordAt(offset);
  if (read == RecordRead::kDamaged) {
    const ForwardSearch search = reader.FindForwardWithin(offset + 1, hooks.search_limit);
    if (search.found) {
      result.skipped_bytes = *search.found - offset;
      s.DamagedBytesSkipped += *search.found - offset;
      offset = *search.found;
      read = reader.ReadRecordAt(offset);
    } else if (!search.at_end) {
      // The bound was reached: go on from there with the next step.
      result.outcome = PlaybackOutcome::kSearching;
      result.skipped_bytes = search.searched_to - offset;
      s.DamagedBytesSkipped += search.searched_to - offset;
      s.PlaybackPosition = search.searched_to;
      s.PlaybackPercent = PlaybackPercentOf(s.PlaybackPosition, s.PlaybackFileLength);
      display.SetPlaybackProgress(s.PlaybackPercent);
      return result;
    } else {
      read = RecordRead::kEnd;
    }
  }
  if (read != RecordRead::kOk) {
    EndOfFile(s, display);
    result.outcome = PlaybackOutcome::kEndOfFile;
    return result;
  }
  const SonarRecordFields& f = reader.fields();
  result.record_offset = offset;
  result.record_size = f.record_size;
  s.PlayedBytes += f.record_size;  // step 3
  RestoreHeader(s, f);             // steps 4 to 11

  // Step 13: the reply into the reply buffer; one longer than the buffer cannot be
  // a reply this program takes and is not processed.
  const std::span<const uint8_t> stored = reader.reply();
  const size_t loaded = std::min(stored.size(), s.ReplyBuffer.size());
  std::copy_n(stored.begin(), loaded, s.ReplyBuffer.begin());
  const bool fits = loaded == stored.size();
  const char kind = static_cast<char>(stored[1]);
  RestoreTail(s, display, f, kind);  // steps 13 and 14

  // Step 15: the first record tells whether the file can be played backwards.
  if (s.FirstRecordPending.exchange(0)) {
    s.ReverseAvailable = f.back_link != 0 ? 1 : 0;
    if (!s.ReverseAvailable) s.ReversePlayback = 0;
    display.ReverseControlChanged();
  }

  // Step 16: the next position, forward or backward along the back links.
  const bool backwards = s.ReversePlayback != 0;
  if (backwards) {
    bool wrapped = false;
    const std::optional<int64_t> previous = reader.PreviousRecordStart(offset, f.record_size, f.back_link, wrapped);
    s.PlaybackPosition = previous.value_or(0);
  } else {
    s.PlaybackPosition = offset + f.record_size;
  }

  // Step 17: what the reply is judged against.
  ReplyExpectation expected;
  expected.Kind = kind;
  expected.Length = f.reply_length;
  expected.DataBits = s.DataBits.load();
  expected.RecordType = f.type_code;
  expected.SampleCount = s.ExpectedSampleCount.load();
  if (kind == 'G') expected.SampleCount = (expected.DataBits == 16 || s.GridMode.load() == 1) ? 250 : 499;
  if (kind == 'M') expected.SampleCount = 250;
  s.ExpectedReplyType = kind;
  s.ExpectedReplyLength = f.reply_length;
  s.ExpectedSampleCount = expected.SampleCount;
  s.RecordTypeCode = f.type_code;
  s.ExpectedDataBits = expected.DataBits;

  // Step 18: progress.
  s.PlaybackPercent = PlaybackPercentOf(s.PlaybackPosition, s.PlaybackFileLength);
  display.SetPlaybackProgress(s.PlaybackPercent);

  // Step 19: process unless the record follows an end of file.
  if (!s.SkipNextRecord.exchange(0) && fits) {
    result.processed = true;
    const std::span<uint8_t> reply(s.ReplyBuffer.data(), loaded);
    result.accepted = hooks.process_reply ? hooks.process_reply(s, reply, expected) : false;
    if (result.accepted && kind != 'T') {
      if (hooks.process_ping) hooks.process_ping(s);
      result.delay = PlaybackPacing(s.PlotSpeed.load());
      CheckFrameCapture(s, display);
    }
  }

  // Step 20: the copy of a record played forward.
  if (s.CopyFileOpen && !backwards && s.CopyFile.valid())
    CopyRecord(s, display, reader.mutable_record(), f.reply_length);
  return result;
}

bool SeekPlayback(AppState& s, FileDisplay& display, int percent) {
  if (!s.PlaybackFileOpen || percent <= 0 || percent >= 100) return false;
  const std::optional<int64_t> target = s.PlaybackReader.SeekPercent(percent);
  if (!target) return false;
  s.PlaybackPosition = *target;
  s.PlaybackPercent = PlaybackPercentOf(*target, s.PlaybackFileLength);
  ResetOrientation(s);
  display.PlaybackSeeked();
  return true;
}

void ToggleReversePlayback(AppState& s, FileDisplay& display) {
  s.ReversePlayback = s.ReversePlayback ? 0 : 1;
  display.ReverseControlChanged();
}

bool StartCopy(AppState& s, FileDisplay& display, const std::string& path) {
  std::string lower;
  FileHandle file = CreateSonarFile(display, path, kCopyExtensionCaption, lower);
  if (!file.valid()) return false;
  s.CopyFile = std::move(file);
  s.CopyFileName = path;
  s.CopiedBytes = 0;
  s.LastRecordSize = 0;
  s.CopyPreviousSize = 0;
  s.CopyKbShown = 0;
  s.CopyFileOpen = 1;
  display.SetFileTitle(CopyingTitle(path));
  display.SetFileMenuText(kMenuCopy, kCopyStopText);
  return true;
}

void StopCopy(AppState& s, FileDisplay& display) {
  if (!s.CopyFileOpen) return;
  display.ShowFileMessage(s.CopyFileName.get(), kCloseCopyCaption, FileMessageIcon::kInformation);
  s.CopyFile.reset();
  s.CopyFileOpen = 0;
  display.SetFileTitle(PlaybackTitle(s.PlaybackFileName.get()));
  display.SetFileMenuText(kMenuCopy, kCopyStartText);
}

void ToggleAutoFrameCapture(AppState& s, FileDisplay& display) {
  if (s.AutoFrameCaptureOn) {
    s.AutoFrameCaptureOn = 0;
    display.SetFileMenuText(kMenuAutoFrameCapture, kCaptureStartText);
    display.ShowFileMessage("Capture Stopped!", kCaptureCaption, FileMessageIcon::kInformation);
  } else {
    s.AutoFrameCaptureOn = 1;
    s.CaptureLastPosition = -1;
    s.CaptureLastDirection = -1;
    display.SetFileMenuText(kMenuAutoFrameCapture, kCaptureStopText);
    display.ShowFileMessage("Capture Started...", kCaptureCaption, FileMessageIcon::kInformation);
  }
}

void PlotSpeedUp(AppState& s) {
  if (s.PlotSpeed.load() <= 90) s.PlotSpeed += 10;
}

void PlotSpeedDown(AppState& s) {
  if (s.PlotSpeed.load() >= 10) s.PlotSpeed -= 10;
}
