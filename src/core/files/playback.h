// SPDX-License-Identifier: GPL-3.0-or-later
// Playing .47V files back and copying them: open with its checks, one playback step
// per record (restore the settings, load and process the reply, step forward or
// backward, end of file), seek by percentage, the copy file, auto frame capture
// and the pacing delay. Everything here runs on the thread that plays the file;
// nothing waits: the step returns the pacing delay for the caller to schedule.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "link/reply_decoder.h"

struct AppState;
class FileDisplay;
class Clock;

// What playback hands to the rest of the system for each record. The program wires
// `process_reply` to the reply checks and decoder and `process_ping` to ProcessPing
// (LinkPlaybackHooks below); tests and tools may plug in their own.
struct PlaybackHooks {
  // Checks and decodes the reply loaded in the reply buffer; true when accepted.
  std::function<bool(AppState&, std::span<uint8_t> reply, const ReplyExpectation& expected)> process_reply;
  // Ping processing of an accepted reply (not called for "T" replies).
  std::function<void(AppState&)> process_ping;
  // The most bytes one step searches for the next record after damage (0: until one
  // is found or the file ends). The window sets a bound so that a long damaged
  // stretch is passed over in many short steps between which it stays responsive.
  int64_t search_limit = 0;
};

// The hooks of the program: the link's reply processing with `clock`, then
// `process_ping` (may be empty) for accepted replies other than "T".
PlaybackHooks LinkPlaybackHooks(const Clock& clock, std::function<void(AppState&)> process_ping);

enum class PlaybackOutcome {
  kNotOpen,     // no playback file
  kPlayed,      // one record read (processed or skipped)
  kEndOfFile,   // a short read: rewound to the start
  kSearching,   // damage passed over without reaching a record yet (search_limit)
};

struct PlaybackStepResult {
  PlaybackOutcome outcome = PlaybackOutcome::kNotOpen;
  int64_t record_offset = -1;    // where the record read starts
  int record_size = 0;
  bool processed = false;        // the reply went to processing (not skipped)
  bool accepted = false;         // processing accepted it
  int64_t skipped_bytes = 0;     // damaged bytes passed over before this record
  // How long to wait before the next step (PlotSpeed pacing); zero when the ping
  // was not drawn or PlotSpeed is 100.
  std::chrono::milliseconds delay{0};
};

// Open a file for playback (the open dialog's choice): extension check on the
// lower-cased path, magic check, titles and messages. True when open.
bool OpenPlayback(AppState& state, FileDisplay& display, const std::string& path);
// The same after the extension check (tools open files of any name).
bool OpenPlaybackFile(AppState& state, FileDisplay& display, const std::string& path);
// Close the playback file (switching to live mode, closing the window).
void ClosePlayback(AppState& state);

// One playback step: reads the record at the playback position and handles it.
PlaybackStepResult PlaybackStep(AppState& state, FileDisplay& display, const PlaybackHooks& hooks);

// Seek by percentage (the position slider): 1..99 moves to the first record that
// starts at or after that share of the file, or stays at the last record start when
// none follows; 0 and 100 do nothing. True when the position moved.
bool SeekPlayback(AppState& state, FileDisplay& display, int percent);

// Toggle backward stepping (space bar, "Reverse" box).
void ToggleReversePlayback(AppState& state, FileDisplay& display);

// Copying the records played forward to a second file.
bool StartCopy(AppState& state, FileDisplay& display, const std::string& path);
void StopCopy(AppState& state, FileDisplay& display);

// Menu command 208: toggle auto frame capture with its messages.
void ToggleAutoFrameCapture(AppState& state, FileDisplay& display);

// The playback speed arrows: +10 while PlotSpeed is 90 or less, -10 while 10 or more.
void PlotSpeedUp(AppState& state);
void PlotSpeedDown(AppState& state);

// PlaybackDelay: milliseconds waited for d = 1..100 (truncated); 0 outside.
int PlaybackDelayMilliseconds(int d);
// The wait after a drawn ping at `plot_speed`: PlaybackDelay(100 - PlotSpeed) below 100.
std::chrono::milliseconds PlaybackPacing(int plot_speed);

// Position as a percentage of the length, rounded; 0 when above 100 or no length.
int PlaybackPercentOf(int64_t position, int64_t length);
