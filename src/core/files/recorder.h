// SPDX-License-Identifier: GPL-3.0-or-later
// Recording live pings to a .47V file: the Record Start/Stop command logic and the
// record writer called after each accepted reply. Writing happens on the comm
// thread; starting and stopping on the GUI thread; the file is guarded by
// FileState::RecordMutex.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "clock.h"
#include "files/sonar_file.h"
#include "files/sonar_record.h"

struct AppState;
struct GpsData;
class FileDisplay;

// The facts of one accepted reply that a record stores besides the settings.
struct RecordedPing {
  std::span<const uint8_t> reply;      // the reply frame, N bytes
  int type_code = -1;                  // record type code of the reply (-1: the smallest that fits)
  LocalTime time;                      // clock at acceptance
  bool step_direction = false;         // step direction bit of the ping
  std::optional<int> azimuth_position; // when the azimuth drive is enabled and found
  std::optional<RecordGps> gps;        // when GPS is in use
};

// Header, floats and GPS fields of a record from the settings in `state` and the
// ping; S from the type code (+128 with GPS), the back link from `previous_size`.
SonarRecordFields RecordFieldsFor(const AppState& state, const RecordedPing& ping, int previous_size);

// Creates (truncates) the .47V file at `path` for writing records; `lower` gets the
// lower-cased path. A name without the .47V extension shows the extension message
// under `caption`; a file that cannot be created gives no message. Invalid on failure.
FileHandle CreateSonarFile(FileDisplay& display, const std::string& path, const char* caption,
                           std::string& lower);

// Start recording to `path` (the save dialog's choice). The extension is checked on
// the lower-cased path; a refused name shows the extension message. A file that
// cannot be created leaves recording off without a message. True when recording.
bool StartRecording(AppState& state, FileDisplay& display, const std::string& path);

// Stop recording: message box with the path ("Close Record File"), close, title.
void StopRecording(AppState& state, FileDisplay& display);

// Writes one record when a recording file is open (called after each accepted live
// reply other than "T"). A failed or short write stops recording with a message;
// the records written before stay a whole file. True when a record was written.
bool WriteSonarRecord(AppState& state, FileDisplay& display, const RecordedPing& ping);

// The same, with the ping taken from the link state: the reply of
// `ExpectedReplyLength` bytes in the reply buffer, its type code, the ping time and
// step direction, the azimuth drive and the GPS data when in use.
// `gps`: the fix of this ping as its other outputs take it (default: the fix now).
bool RecordAcceptedReply(AppState& state, FileDisplay& display, const GpsData* gps = nullptr);
// Keeps the orientation module's reply now in the reply buffer (comm thread).
void RememberOrientationReply(AppState& state);
// Writes the last orientation reply kept, if any, as the next record: a recording
// that begins in the middle of a run starts with the head's attitude.
bool RecordLastOrientationReply(AppState& state, FileDisplay& display);
