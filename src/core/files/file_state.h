// SPDX-License-Identifier: GPL-3.0-or-later
// Run-time fields of recording, playback and copying of .47V files, part of AppState.
// Recording runs on the comm thread while the GUI thread starts and stops it, so the
// recording file is guarded by RecordMutex and its counters are atomic. Playback and
// copying run on the thread that plays the file (the GUI thread).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "files/sonar_file.h"
#include "files/sonar_record.h"
#include "settings/shared_text.h"

struct FileState {
  // Recording (live mode): one record per accepted reply.
  std::mutex RecordMutex;                  // guards RecordFile and the title counter
  FileHandle RecordFile;                   // under RecordMutex
  std::atomic<int> RecordFileOpen{0};
  SharedText RecordFileName;               // the path as chosen, as shown
  // Sonar pings (G, M, P replies) written since recording started, and a limit
  // after which nothing more is written (0: none), for runs of a set length.
  std::atomic<long> RecordedSonarPings{0};
  std::atomic<long> RecordPingLimit{0};
  std::atomic<int64_t> RecordBytes{0};
  std::atomic<int> LastRecordSize{0};      // size of the last record written (back link)
  int64_t RecordKbShown = -1;              // kB value last put in the title; under RecordMutex

  // Playback (file mode).
  SonarFileReader PlaybackReader;
  std::atomic<int> PlaybackFileOpen{0};
  SharedText PlaybackFileName;             // lower-cased path, as shown
  SharedText PlaybackFilePath;             // the path as chosen (opened)
  std::atomic<int64_t> PlaybackFileLength{0};
  std::atomic<int64_t> PlaybackPosition{0};  // file offset of the next record to read
  std::atomic<int64_t> PlayedBytes{0};
  std::atomic<int> PlaybackPercent{0};
  std::atomic<int> SkipNextRecord{0};
  std::atomic<int> ReversePlayback{0};
  std::atomic<int> ReverseAvailable{0};
  std::atomic<int> FirstRecordPending{0};
  std::atomic<int64_t> DamagedBytesSkipped{0};  // bytes passed over by resynchronisation
  std::atomic<int64_t> LeadingBytesSkipped{0};  // bytes before the first record of the file

  // Copying (file mode): the records played forward go to a second file.
  FileHandle CopyFile;
  std::atomic<int> CopyFileOpen{0};
  SharedText CopyFileName;                 // lower-cased path, as shown
  std::atomic<int64_t> CopiedBytes{0};
  int CopyPreviousSize = 0;                // size of the last record copied (back link)
  int64_t CopyKbShown = -1;

  // Auto frame capture during playback (menu "&Auto Frame Capture Start...").
  std::atomic<int> AutoFrameCaptureOn{0};
  int CaptureLastPosition = -1;            // head position of the last record (full-turn test)
  int CaptureLastDirection = -1;           // step direction bit of the last record

  // What the record in play brought besides the settings it restores; the panels
  // show these in file mode.
  SharedText PlaybackDateText;             // "07-DEC-2026"
  SharedText PlaybackTimeText;             // "13:45:07"
  SharedText PlaybackHundredthsText;       // ".42"
  std::atomic<int> PlaybackSeconds{0};
  std::atomic<int> PlaybackUnits{0};       // 1 feet, 0 metres
  std::atomic<int> PlaybackGpsPresent{0};  // the file carries GPS data
  std::atomic<int> PlaybackStepDirection{0};
  std::atomic<int> PlaybackFrequency{675};  // kHz
  std::atomic<int> PlaybackAzimuthPosition{600};
  std::atomic<int> PlaybackAzimuthStored{0};  // the record carried an azimuth position
  std::atomic<float> PlaybackSoundVelocity{1500.0f};  // velocity in use for this record
  std::atomic<int> PlaybackGpsAge{5};      // records since the last GPS fix text (0..10)
  std::mutex PlaybackGpsMutex;
  RecordGps PlaybackGps;                   // under PlaybackGpsMutex
};
