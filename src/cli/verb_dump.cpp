// SPDX-License-Identifier: GPL-3.0-or-later
// q47v dump FILE [--csv | --json]: one row per record of a .47V file, read the way
// playback reads it: offset, header fields and the decoded ping.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "clock.h"
#include "files/file_display.h"
#include "files/playback.h"
#include "files/progress_meter.h"
#include "open_for_reading.h"
#include "text_output.h"
#include "app_state.h"

namespace q47v::cli {

namespace {

constexpr const char* kUsage =
    "usage: q47v dump FILE [--csv | --json]\n"
    "\n"
    "Prints one row per record of a .47V sonar data file, read as playback reads it:\n"
    "record number (from 0, as q47v cut counts), file offset, record size, type code,\n"
    "reply kind, date, time, display mode, data bits, gain, range offset, sound\n"
    "velocity, frequency, whether the reply passed the checks, and the decoded ping:\n"
    "head position, step direction, range, profile range code, blanking samples and\n"
    "distance, and the GPS position and time when the record carries them.\n"
    "\n"
    "  --csv    comma-separated values with a header line\n"
    "  --json   a JSON array with one object per record\n"
    "\n"
    "Exit status: 0 success, 1 the file cannot be read or is not a .47V file,\n"
    "2 usage error.\n";

enum class Format { kText, kCsv, kJson };

struct Column {
  const char* name;
  bool numeric;
};

const Column kColumns[] = {
    {"record", true},       {"offset", true},        {"size", true},        {"type", true},
    {"kind", false},        {"date", false},         {"time", false},       {"mode", false},
    {"bits", true},         {"gain", true},          {"range_offset", true}, {"sound_velocity", true},
    {"frequency", true},    {"accepted", true},      {"head_position", true}, {"direction", true},
    {"range_m", true},      {"profile_range", true}, {"blank_samples", true}, {"blank_m", true},
    {"gps_latitude", false}, {"gps_longitude", false}, {"gps_time", false},
};
constexpr size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];
const int kTextWidths[kColumnCount] = {6, 11, 5, 4, 4, 11, 11, 7, 4, 4, 5, 7, 5, 3, 5, 3, 5, 6, 5, 6, 11, 12, 11};

const char* ModeName(int mode) {
  static const char* kNames[] = {"Sector", "Polar", "SS", "Profile"};
  return mode >= 0 && mode < 4 ? kNames[mode] : "other";
}

std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string CsvText(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

void PrintRow(Format format, const std::vector<std::string>& values, bool first) {
  std::string line;
  for (size_t i = 0; i < kColumnCount; ++i) {
    // Texts from the file may hold any bytes: JSON escapes them itself.
    const std::string v = format == Format::kJson ? values[i] : PrintableText(values[i]);
    switch (format) {
      case Format::kText: {
        std::string cell = v.empty() ? "-" : v;
        if (i > 0) line += ' ';
        const size_t width = std::max(static_cast<size_t>(kTextWidths[i]), std::strlen(kColumns[i].name));
        if (cell.size() < width) {
          const std::string pad(width - cell.size(), ' ');
          cell = kColumns[i].numeric ? pad + cell : cell + pad;
        }
        line += cell;
        break;
      }
      case Format::kCsv:
        if (i > 0) line += ',';
        line += CsvText(v);
        break;
      case Format::kJson:
        line += i == 0 ? (first ? "  {" : ",\n  {") : ", ";
        line += std::string("\"") + kColumns[i].name + "\": ";
        line += v.empty() ? "null" : kColumns[i].numeric ? v : JsonText(v);
        break;
    }
  }
  if (format == Format::kJson) {
    line += "}";
    std::fputs(line.c_str(), stdout);
  } else {
    // Text rows may end in blank padding; keep the lines tidy.
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::printf("%s\n", line.c_str());
  }
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

int RunDumpVerb(int argc, char** argv) {
  std::string path;
  Format format = Format::kText;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--csv" || arg == "--json") {
      if (format != Format::kText) {
        std::fprintf(stderr, "q47v dump: choose one of --csv and --json\n");
        return 2;
      }
      format = arg == "--csv" ? Format::kCsv : Format::kJson;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "q47v dump: unknown option '%s' (try --help)\n", arg.c_str());
      return 2;
    } else if (!path.empty()) {
      std::fprintf(stderr, "q47v dump: one file at a time (try --help)\n");
      return 2;
    } else {
      path = arg;
    }
  }
  if (path.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  AppState state;
  state.RunMode = 1;
  if (!OpenForReading(state, path, "dump")) return 1;
  FileDisplay display;
  FakeClock decode_clock;
  const PlaybackHooks hooks = LinkPlaybackHooks(decode_clock, nullptr);
  Clock clock;
  ProgressMeter progress(clock, stderr, "q47v dump");
  const int64_t length = state.PlaybackFileLength;

  std::vector<std::string> row(kColumnCount);
  if (format == Format::kCsv) {
    for (size_t i = 0; i < kColumnCount; ++i) row[i] = kColumns[i].name;
    PrintRow(Format::kCsv, row, true);
  } else if (format == Format::kText) {
    for (size_t i = 0; i < kColumnCount; ++i) row[i] = kColumns[i].name;
    PrintRow(Format::kText, row, true);
  } else {
    std::fputs("[\n", stdout);
  }
  int64_t records = 0;
  for (;;) {
    const PlaybackStepResult r = PlaybackStep(state, display, hooks);
    if (r.outcome != PlaybackOutcome::kPlayed) break;
    const SonarRecordFields& f = state.PlaybackReader.fields();
    const auto reply = state.PlaybackReader.reply();
    const char kind = static_cast<char>(reply[1]);
    const bool sonar = r.accepted && (kind == 'G' || kind == 'M' || kind == 'P' || kind == 'T');
    const PingData& ping = state.Ping;
    row.assign(kColumnCount, std::string());
    row[0] = std::to_string(records);
    row[1] = std::to_string(r.record_offset);
    row[2] = std::to_string(f.record_size);
    row[3] = std::to_string(f.type_code);
    row[4] = std::string(1, kind >= 0x20 && kind < 0x7F ? kind : '?');
    row[5] = state.PlaybackDateText.get();
    row[6] = state.PlaybackTimeText.get() + state.PlaybackHundredthsText.get();
    row[7] = ModeName(f.grid_mode);
    row[8] = std::to_string(state.DataBits.load());
    row[9] = std::to_string(f.gain);
    row[10] = std::to_string(f.range_offset);
    row[11] = Fixed(state.PlaybackSoundVelocity.load(), 1);
    row[12] = std::to_string(state.PlaybackFrequency.load());
    row[13] = r.accepted ? "1" : "0";
    if (sonar) {
      row[14] = std::to_string(ping.HeadPosition);
      row[15] = std::to_string(ping.StepDirection);
      row[16] = std::to_string(ping.RangeMetres);
      row[17] = std::to_string(ping.ProfileRangeCode);
      row[18] = std::to_string(ping.BlankSamples);
      row[19] = Fixed(ping.BlankDistance, 3);
    }
    if (f.gps) {
      row[20] = f.gps->latitude;
      row[21] = f.gps->longitude;
      row[22] = f.gps->utc_time;
    }
    PrintRow(format, row, records == 0);
    ++records;
    progress.Update(r.record_offset + r.record_size, length, records);
  }
  if (format == Format::kJson) std::fputs(records ? "\n]\n" : "]\n", stdout);
  progress.Finish();
  return FinishOutput("dump") ? 0 : 1;
}

}  // namespace q47v::cli
