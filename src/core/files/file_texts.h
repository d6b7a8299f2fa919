// SPDX-License-Identifier: GPL-3.0-or-later
// The titles, menu texts and messages of recording, playback and copying, exactly as
// the program shows them.
#pragma once

#include <cstdint>
#include <string>

inline constexpr const char* kProgramTitle = "WinQ47V Digital Sonar";

// File-menu command ids whose texts follow the state.
inline constexpr int kMenuPlayback = 10;
inline constexpr int kMenuRecord = 15;
inline constexpr int kMenuCopy = 16;
inline constexpr int kMenuAutoFrameCapture = 208;

inline constexpr const char* kRecordStartText = "&Record Start...";
inline constexpr const char* kRecordStopText = "&Record Stop...";
inline constexpr const char* kCopyStartText = "&Copy Start...";
inline constexpr const char* kCopyStopText = "&Copy Stop...";
inline constexpr const char* kCaptureStartText = "&Auto Frame Capture Start...";
inline constexpr const char* kCaptureStopText = "&Auto Frame Capture Stop...";

// Dialog titles (also the captions of their messages) and filter.
inline constexpr const char* kPlaybackDialogTitle = "Open a Sonar File For Playback";
inline constexpr const char* kRecordDialogTitle = "Open a Sonar File For Recording";
inline constexpr const char* kCopyDialogTitle = "Open a Sonar File For Copying";
inline constexpr const char* kCopyExtensionCaption = "Copy a Sonar File";
inline constexpr const char* kSonarFileFilter = "Q47V Sonar Files (*.47V)";
inline constexpr const char* kSonarFilePattern = "*.47V";
inline constexpr const char* kSonarFileExtension = "47V";

inline constexpr const char* kExtensionMessage = "File extension must be .47V";
inline constexpr const char* kWrongMagicMessage = "Data type is incorrect --> check file format";
inline constexpr const char* kCloseRecordCaption = "Close Record File";
inline constexpr const char* kCloseCopyCaption = "Close Copy File";
inline constexpr const char* kCaptureCaption = "Auto Frame Capture";
inline constexpr const char* kCaptureEndOfFileMessage = "End of File, Capture Stopped!";
inline constexpr const char* kRecordErrorCaption = "Record File Error";
inline constexpr const char* kCopyErrorCaption = "Copy File Error";

// "%s - Playback of %s", "%s - [%s]" with "No File", "%s - Recording to %s" ...
std::string PlaybackTitle(const std::string& path);
std::string NoFileTitle();
std::string RecordingTitle(const std::string& path);
std::string RecordingTitleWithSize(const std::string& path, int64_t bytes);
std::string CopyingTitle(const std::string& path);
std::string CopyingTitleWithSize(const std::string& path, int64_t bytes);

// The path lower-cased (ASCII), as the file fields and titles hold it.
std::string LowerCasePath(const std::string& path);
// True when the lower-cased path has the extension "47v".
bool HasSonarExtension(const std::string& path);
