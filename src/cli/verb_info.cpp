// SPDX-License-Identifier: GPL-3.0-or-later
// q47v info FILE: what a .47V file holds, read the way playback reads it: record
// count, reply kinds, type codes, ranges, display modes, data widths, first and
// last time stamps, GPS, back links and the damaged stretches passed over.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "clock.h"
#include "files/playback.h"
#include "files/progress_meter.h"
#include "files/sonar_record.h"
#include "files/sonar_scan.h"
#include "open_for_reading.h"
#include "text_output.h"
#include "app_state.h"

namespace q47v::cli {

namespace {

constexpr const char* kUsage =
    "usage: q47v info FILE\n"
    "\n"
    "Reads a .47V sonar data file from start to end as playback does (records found\n"
    "and replies checked) and prints: record count, reply kinds, record type codes,\n"
    "ranges, display modes, data bits, first and last time stamps, GPS presence,\n"
    "whether backward playback is available, and every damaged stretch that was\n"
    "passed over to find the next record.\n"
    "\n"
    "Exit status: 0 success, 1 the file cannot be read or is not a .47V file,\n"
    "2 usage error.\n";

const char* ModeName(int mode) {
  static const char* kNames[] = {"Sector", "Polar", "SS", "Profile"};
  return mode >= 0 && mode < 4 ? kNames[mode] : "other";
}

// Counts by a small key (a byte, a code): an array indexed from the lowest key
// instead of a map, since every record adds to five of them.
template <int kLow, int kHigh>
class Tally {
 public:
  void Add(int key) { ++counts_[static_cast<size_t>(key - kLow)]; }
  // "name x count, ..." in the order of the keys; "none" when nothing was counted.
  template <typename Name>
  std::string Text(Name name) const {
    std::string text;
    for (int key = kLow; key <= kHigh; ++key) {
      const int64_t n = counts_[static_cast<size_t>(key - kLow)];
      if (n == 0) continue;
      if (!text.empty()) text += ", ";
      text += name(key) + " x" + std::to_string(n);
    }
    return text.empty() ? "none" : text;
  }

 private:
  std::array<int64_t, kHigh - kLow + 1> counts_{};
};

struct Region {
  int64_t offset, length;
};

// "07-DEC-2026 13:45:07.25": the time of the record with this header as playback
// shows it; empty for a header that is not one.
std::string Stamp(std::span<const uint8_t> header) {
  SonarRecordFields f;
  if (!ParseRecordHeader(header, f)) return {};
  char tail[8];
  std::snprintf(tail, sizeof tail, ".%02d", f.hundredths);
  return f.date_text + " " + f.time_text + tail;
}

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
  // The records are found, resynchronised and checked as forward playback does it,
  // but neither restored into the settings nor decoded: nothing printed here depends
  // on the decoded ping, and the counts need only a few bytes of each record. The
  // time stamps are decoded from the headers of the first and the last record.
  SonarFileReader& reader = state.PlaybackReader;
  SonarFileScanner scanner(reader, state.PlaybackPosition.load(), ScanDecode::kBytesOnly);
  Clock clock;
  ProgressMeter progress(clock, stderr, "q47v info");
  const int64_t length = state.PlaybackFileLength;

  int64_t records = 0, rejected = 0, gps_records = 0, gps_fixes = 0;
  Tally<CHAR_MIN, CHAR_MAX> kinds;
  Tally<0, kRecordTypeCount - 1> types;
  Tally<0, 255> ranges;
  Tally<0, 7> modes;
  Tally<4, 16> bits;
  std::vector<Region> damaged;
  std::array<uint8_t, kRecordHeaderSize> first_header{}, last_header{};
  int64_t first_back_link = -1;
  int64_t end_of_records = 0;
  ScannedRecord rec;
  RecordSummary f;
  while (scanner.Next(rec)) {
    if (rec.skipped_before > 0) damaged.push_back({rec.offset - rec.skipped_before, rec.skipped_before});
    if (!ParseRecordSummary(rec.bytes, f)) break;  // cannot happen: the scanner checked the header
    const auto reply = rec.bytes.subspan(kRecordHeaderSize, static_cast<size_t>(f.reply_length));
    ++records;
    kinds.Add(static_cast<char>(reply[1]));
    types.Add(f.type_code);
    if (reply.size() > 7 && (reply[1] == 'G' || reply[1] == 'M' || reply[1] == 'P')) ranges.Add(reply[7]);
    modes.Add(f.grid_mode);
    bits.Add(f.data_bits_code == 0 ? 4 : f.data_bits_code == 2 ? 16 : 8);
    if (!StoredReplyAccepted(reply)) ++rejected;
    if (f.gps_present) {
      ++gps_records;
      if (f.gps_position) ++gps_fixes;
    }
    if (records == 1) {
      std::copy_n(rec.bytes.begin(), kRecordHeaderSize, first_header.begin());
      first_back_link = f.back_link;
    }
    std::copy_n(rec.bytes.begin(), kRecordHeaderSize, last_header.begin());
    end_of_records = rec.offset + f.record_size;
    if ((records & 1023) == 0) progress.Update(end_of_records, length, records);
  }
  progress.Finish();
  if (end_of_records < length) damaged.push_back({end_of_records, length - end_of_records});
  const std::string first_time = Stamp(first_header);
  const std::string last_time = Stamp(last_header);

  std::printf("file: %s\n", PrintableText(path).c_str());
  std::printf("length: %lld bytes\n", static_cast<long long>(length));
  std::printf("records: %lld\n", static_cast<long long>(records));
  std::printf("replies rejected by the checks: %lld\n", static_cast<long long>(rejected));
  std::printf("kinds: %s\n",
              kinds.Text([](int k) { return PrintableText(std::string(1, static_cast<char>(k))); }).c_str());
  std::printf("type codes: %s\n", types.Text([](int t) {
                return std::to_string(t) + " (" + std::to_string(RecordSizeForType(t)) + " bytes)";
              }).c_str());
  std::printf("ranges: %s\n", ranges.Text([](int m) { return std::to_string(m) + " m"; }).c_str());
  std::printf("display modes: %s\n", modes.Text([](int m) { return std::string(ModeName(m)); }).c_str());
  std::printf("data bits: %s\n", bits.Text([](int b) { return std::to_string(b); }).c_str());
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
