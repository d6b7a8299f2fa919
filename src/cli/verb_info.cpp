// SPDX-License-Identifier: GPL-3.0-or-later
// q47v info FILE: what a .47V file holds, read the way playback reads it: record
// count, reply kinds, type codes, ranges, display modes, data widths, first and
// last time stamps, GPS, back links and the damaged stretches passed over.
#include <cstdio>
#include <map>
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
    "usage: q47v info FILE\n"
    "\n"
    "Reads a .47V sonar data file from start to end as playback does (replies checked\n"
    "and decoded) and prints: record count, reply kinds, record type codes, ranges,\n"
    "display modes, data bits, first and last time stamps, GPS presence, whether\n"
    "backward playback is available, and every damaged stretch that was passed over\n"
    "to find the next record.\n"
    "\n"
    "Exit status: 0 success, 1 the file cannot be read or is not a .47V file,\n"
    "2 usage error.\n";

const char* ModeName(int mode) {
  static const char* kNames[] = {"Sector", "Polar", "SS", "Profile"};
  return mode >= 0 && mode < 4 ? kNames[mode] : "other";
}

template <typename K>
std::string Counts(const std::map<K, int64_t>& counts, std::string (*name)(K)) {
  std::string text;
  for (const auto& [key, n] : counts) {
    if (!text.empty()) text += ", ";
    text += name(key) + " x" + std::to_string(n);
  }
  return text.empty() ? "none" : text;
}

struct Region {
  int64_t offset, length;
};

}  // namespace

int RunInfoVerb(int argc, char** argv) {
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "q47v info: unknown option '%s' (try --help)\n", arg.c_str());
      return 2;
    }
    if (!path.empty()) {
      std::fprintf(stderr, "q47v info: one file at a time (try --help)\n");
      return 2;
    }
    path = arg;
  }
  if (path.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  AppState state;
  state.RunMode = 1;
  if (!OpenForReading(state, path, "info")) return 1;
  FileDisplay display;

  FakeClock decode_clock;  // playback takes no time stamps from the clock
  const PlaybackHooks hooks = LinkPlaybackHooks(decode_clock, nullptr);
  Clock clock;
  ProgressMeter progress(clock, stderr, "q47v info");
  const int64_t length = state.PlaybackFileLength;

  int64_t records = 0, rejected = 0, gps_records = 0, gps_fixes = 0;
  std::map<char, int64_t> kinds;
  std::map<int, int64_t> types, ranges, modes, bits;
  std::vector<Region> damaged;
  std::string first_time, last_time;
  int64_t first_back_link = -1;
  int64_t end_of_records = 0;
  for (;;) {
    const PlaybackStepResult r = PlaybackStep(state, display, hooks);
    if (r.outcome != PlaybackOutcome::kPlayed) break;
    if (r.skipped_bytes > 0) damaged.push_back({r.record_offset - r.skipped_bytes, r.skipped_bytes});
    const SonarRecordFields& f = state.PlaybackReader.fields();
    const auto reply = state.PlaybackReader.reply();
    ++records;
    ++kinds[static_cast<char>(reply[1])];
    ++types[f.type_code];
    if (reply.size() > 7 && (reply[1] == 'G' || reply[1] == 'M' || reply[1] == 'P')) ++ranges[reply[7]];
    ++modes[f.grid_mode];
    ++bits[f.data_bits_code == 0 ? 4 : f.data_bits_code == 2 ? 16 : 8];
    if (!r.accepted) ++rejected;
    if (f.gps_present) {
      ++gps_records;
      if (f.gps && !f.gps->latitude.empty()) ++gps_fixes;
    }
    const std::string stamp = state.PlaybackDateText.get() + " " + state.PlaybackTimeText.get() +
                              state.PlaybackHundredthsText.get();
    if (records == 1) {
      first_time = stamp;
      first_back_link = f.back_link;
    }
    last_time = stamp;
    end_of_records = r.record_offset + r.record_size;
    progress.Update(end_of_records, length, records);
    if (state.PlaybackPosition <= r.record_offset) break;  // a file of records that wrap: stop at the first pass
  }
  progress.Finish();
  if (end_of_records < length) damaged.push_back({end_of_records, length - end_of_records});

  std::printf("file: %s\n", PrintableText(path).c_str());
  std::printf("length: %lld bytes\n", static_cast<long long>(length));
  std::printf("records: %lld\n", static_cast<long long>(records));
  std::printf("replies rejected by the checks: %lld\n", static_cast<long long>(rejected));
  std::printf("kinds: %s\n", Counts<char>(kinds, [](char k) { return PrintableText(std::string(1, k)); }).c_str());
  std::printf("type codes: %s\n",
              Counts<int>(types, [](int t) { return std::to_string(t) + " (" + std::to_string(RecordSizeForType(t)) + " bytes)"; }).c_str());
  std::printf("ranges: %s\n", Counts<int>(ranges, [](int m) { return std::to_string(m) + " m"; }).c_str());
  std::printf("display modes: %s\n", Counts<int>(modes, [](int m) { return std::string(ModeName(m)); }).c_str());
  std::printf("data bits: %s\n", Counts<int>(bits, [](int b) { return std::to_string(b); }).c_str());
  std::printf("first time: %s\n", records ? first_time.c_str() : "-");
  std::printf("last time: %s\n", records ? last_time.c_str() : "-");
  std::printf("gps: %s\n", gps_records ? (std::to_string(gps_records) + " records, " + std::to_string(gps_fixes) +
                                          " with a position").c_str()
                                       : "none");
  std::printf("backward playback: %s\n",
              first_back_link > 0 ? "available" : records ? "not available (first record has no back link)" : "-");
  int64_t damaged_bytes = 0;
  for (const Region& d : damaged) damaged_bytes += d.length;
  std::printf("damaged regions: %zu (%lld bytes)\n", damaged.size(), static_cast<long long>(damaged_bytes));
  for (const Region& d : damaged)
    std::printf("  at %lld: %lld bytes%s\n", static_cast<long long>(d.offset), static_cast<long long>(d.length),
                d.offset + d.length == length ? " (end of file)" : "");
  return FinishOutput("info") ? 0 : 1;
}

}  // namespace q47v::cli
