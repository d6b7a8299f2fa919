// SPDX-License-Identifier: GPL-3.0-or-later
// Running the q47v tool on .47V files made by the recorder.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/file_display.h"
#include "files/recorder.h"
#include "app_state.h"

struct FilesToolRun {
  int status = -1;
  std::string out;  // stdout
  std::string err;  // stderr
};

inline FilesToolRun RunQ47v(const std::string& args) {
  const std::string command = std::string(Q47V_BINARY_DIR) + "/src/cli/q47v " + args + " 2>stderr.txt";
  FilesToolRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err("stderr.txt");
  run.err.assign(std::istreambuf_iterator<char>(err), {});
  return run;
}

inline std::vector<uint8_t> ToolReply(char kind, int length, int position) {
  std::vector<uint8_t> r(static_cast<size_t>(length), 0x11);
  r[0] = 'I';
  r[1] = static_cast<uint8_t>(kind);
  r[2] = 'X';
  r[3] = 0x10;
  r[4] = 0;
  r[5] = static_cast<uint8_t>(position & 0x7F);
  r[6] = static_cast<uint8_t>((position >> 7) & 0x3F);
  r[7] = 20;
  r[8] = r[9] = r[10] = r[11] = 0;
  r.back() = 0xFC;
  return r;
}

// `count` 8-bit Sector "G" records (640 bytes), head positions 300, 301, ...
inline void MakeToolFile(const std::string& path, int count, bool gps = false) {
  AppState state;
  state.GridMode = 0;
  FileDisplay display;
  StartRecording(state, display, path);
  for (int i = 0; i < count; ++i) {
    const auto reply = ToolReply('G', 513, 300 + i);
    RecordedPing ping;
    ping.reply = reply;
    ping.type_code = 3;
    ping.time = LocalTime{2026, 12, 7, 10, 0, i, 5};
    if (gps) ping.gps = RecordGps{"49.16.450 N", "123.11.120 W", "10:00:00.00", 1, 8, 1.0f, 2.0f, 3.0f};
    WriteSonarRecord(state, display, ping);
  }
  StopRecording(state, display);
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
