// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the file tests: reply frames of every kind, a recording display that
// keeps what it was told, and files written record by record through the recorder.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "files/file_display.h"
#include "files/recorder.h"
#include "app_state.h"

// A reply frame of `length` bytes and kind `kind`: envelope, head id, status,
// position (7+7 with the direction bit), range, profile range, data count, echo
// data from `seed`, 0xFC.
inline std::vector<uint8_t> MakeReply(char kind, int length, int position = 600, int seed = 1,
                                      bool direction = false, int range = 50) {
  std::vector<uint8_t> r(static_cast<size_t>(length), 0);
  r[0] = 'I';
  r[1] = static_cast<uint8_t>(kind);
  r[2] = 'X';
  if (length > 12) {
    r[3] = 0x10;
    r[4] = 0;
    r[5] = static_cast<uint8_t>(position & 0x7F);
    r[6] = static_cast<uint8_t>(((position >> 7) & 0x3F) | (direction ? 0x40 : 0));
    r[7] = static_cast<uint8_t>(range);
    r[8] = static_cast<uint8_t>(seed & 0x7F);
    r[9] = 0;
    r[10] = static_cast<uint8_t>((length - 13) & 0x7F);
    r[11] = static_cast<uint8_t>(((length - 13) >> 7) & 0x7F);
    for (int i = 12; i < length - 1; ++i) r[static_cast<size_t>(i)] = static_cast<uint8_t>((i * 7 + seed * 13) & 0x7F);
  }
  r[static_cast<size_t>(length - 1)] = 0xFC;
  return r;
}

struct ShownMessage {
  std::string text, caption;
  FileMessageIcon icon;
};

// Keeps every title, message, menu text and call-out.
class RecordingFileDisplay : public FileDisplay {
 public:
  void SetFileTitle(const std::string& title) override { titles.push_back(title); }
  void ShowFileMessage(const std::string& text, const std::string& caption, FileMessageIcon icon) override {
    messages.push_back({text, caption, icon});
  }
  void SetFileMenuText(int id, const std::string& text) override { menus.emplace_back(id, text); }
  void SetPlaybackProgress(int percent) override { progress.push_back(percent); }
  void PlaybackFileOpened(bool opened) override { opens.push_back(opened); }
  void PlaybackRestarted() override { ++restarts; }
  void PlaybackSeeked() override { ++seeks; }
  void CaptureFrameRequested() override { ++captures; }

  std::vector<std::string> titles;
  std::vector<ShownMessage> messages;
  std::vector<std::pair<int, std::string>> menus;
  std::vector<int> progress;
  std::vector<bool> opens;
  int restarts = 0, seeks = 0, captures = 0;
};

inline LocalTime TestTime(int second = 7, int hundredths = 42) { return LocalTime{2026, 12, 7, 13, 45, second, hundredths}; }

inline RecordedPing PingOf(const std::vector<uint8_t>& reply, int type_code, int second = 7) {
  RecordedPing ping;
  ping.reply = reply;
  ping.type_code = type_code;
  ping.time = TestTime(second % 60, 42);
  ping.step_direction = reply.size() > 6 && (reply[6] & 0x40);
  return ping;
}

inline std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Records `count` "G" pings of 513 bytes (type 3, 640-byte records) to `path`,
// positions sweeping so that each record can be told apart by its position.
inline void RecordGFile(const std::string& path, int count, AppState& state) {
  FileDisplay display;
  StartRecording(state, display, path);
  for (int i = 0; i < count; ++i) {
    const std::vector<uint8_t> reply = MakeReply('G', 513, 100 + i, i + 1, (i / 10) % 2 == 1);
    WriteSonarRecord(state, display, PingOf(reply, 3, i));
  }
  StopRecording(state, display);
}
