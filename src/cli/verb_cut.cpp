// SPDX-License-Identifier: GPL-3.0-or-later
// q47v cut FILE --from N --to M OUT: copies records N to M of a .47V file into a new
// file, with the back links rebuilt so that backward playback works in it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "clock.h"
#include "files/output_file.h"
#include "files/progress_meter.h"
#include "files/sonar_file.h"
#include "files/sonar_scan.h"

namespace q47v::cli {

namespace {

constexpr const char* kUsage =
    "usage: q47v cut FILE [--from N] [--to M] OUT\n"
    "\n"
    "Copies records N to M (both included, counted from 0 as q47v dump numbers them)\n"
    "of the .47V sonar data file FILE into the new file OUT. Each record is copied as\n"
    "it stands except for its back link, which is rebuilt for OUT so that backward\n"
    "playback works in the new file. Damaged stretches of FILE are left out.\n"
    "\n"
    "  --from N   first record to copy (default 0)\n"
    "  --to M     last record to copy (default the last record of FILE)\n"
    "\n"
    "OUT is replaced if it exists (a link: the file it names); it must not be FILE,\n"
    "a device or a FIFO. If a record cannot be written (disk full ...) the copy\n"
    "stops and OUT keeps the whole records written before.\n"
    "\n"
    "Exit status: 0 success, 1 a file cannot be read or written, or the records asked\n"
    "for are not in FILE (an existing OUT is then left as it was), 2 usage error.\n";

std::optional<int64_t> ParseCount(const char* text) {
  if (!text || !*text) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != 0 || value < 0) return std::nullopt;
  return value;
}

}  // namespace

int RunCutVerb(int argc, char** argv) {
  std::string in_path, out_path;
  int64_t from = 0;
  std::optional<int64_t> to;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--from" || arg == "--to") {
      const std::optional<int64_t> value = i + 1 < argc ? ParseCount(argv[i + 1]) : std::nullopt;
      if (!value) {
        std::fprintf(stderr, "q47v cut: %s needs a record number (0 or more)\n", arg.c_str());
        return 2;
      }
      ++i;
      if (arg == "--from")
        from = *value;
      else
        to = *value;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "q47v cut: unknown option '%s' (try --help)\n", arg.c_str());
      return 2;
    } else if (in_path.empty()) {
      in_path = arg;
    } else if (out_path.empty()) {
      out_path = arg;
    } else {
      std::fprintf(stderr, "q47v cut: too many file names (try --help)\n");
      return 2;
    }
  }
  if (in_path.empty() || out_path.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (to && *to < from) {
    std::fprintf(stderr, "q47v cut: --to %lld comes before --from %lld\n", static_cast<long long>(*to),
                 static_cast<long long>(from));
    return 2;
  }

  SonarFileReader reader;
  std::string error;
  if (!reader.Open(in_path, error)) {
    std::fprintf(stderr, "q47v cut: cannot open %s: %s\n", in_path.c_str(), error.c_str());
    return 1;
  }
  uint8_t magic[3] = {};
  if (ReadAt(reader.fd(), 0, magic) != 3 || std::memcmp(magic, kRecordMagic, 3) != 0) {
    std::fprintf(stderr, "q47v cut: %s: Data type is incorrect --> check file format\n", in_path.c_str());
    return 1;
  }
  struct stat in_stat {}, out_stat {};
  ::fstat(reader.fd(), &in_stat);
  if (::stat(out_path.c_str(), &out_stat) == 0 && out_stat.st_dev == in_stat.st_dev &&
      out_stat.st_ino == in_stat.st_ino) {
    std::fprintf(stderr, "q47v cut: OUT must be another file than FILE\n");
    return 2;
  }
  // The records go to a new file beside OUT (beside the file a link names) that
  // takes OUT's name only when whole: a bad range or a failed write never touches
  // an existing OUT, and a device or a FIFO is never replaced.
  WholeOutputFile out;
  if (!out.Open(out_path, OutputMode::kThroughLinks, &error)) {
    std::fprintf(stderr, "q47v cut: cannot write %s: %s\n", out_path.c_str(), error.c_str());
    return 1;
  }
  Clock clock;
  ProgressMeter progress(clock, stderr, "q47v cut");
  const int64_t length = reader.Length();
  SonarFileScanner scanner(reader);
  ScannedRecord rec;
  int64_t index = 0, written = 0, bytes = 0;
  int previous_size = 0;
  bool failed = false;
  while ((!to || index <= *to) && scanner.Next(rec)) {
    if (index >= from) {
      std::span<uint8_t> record = reader.mutable_record();
      SetRecordBackLink(record, static_cast<int>(record.size()) + previous_size);
      if (!AppendRecord(out.fd(), record, bytes, error)) {
        std::fprintf(stderr, "q47v cut: writing %s failed after %lld records: %s\n", out_path.c_str(),
                     static_cast<long long>(written), error.c_str());
        failed = true;
        break;
      }
      previous_size = static_cast<int>(record.size());
      bytes += static_cast<int64_t>(record.size());
      ++written;
    }
    ++index;
    progress.Update(scanner.position(), length, index);
  }
  progress.Finish();
  if (failed) return 1;
  if (written == 0 || (to && index <= *to)) {
    out.Abandon();
    std::fprintf(stderr, "q47v cut: %s has %lld records (0 to %lld); records %lld to %s are not all in it\n",
                 in_path.c_str(), static_cast<long long>(index), static_cast<long long>(index - 1),
                 static_cast<long long>(from), to ? std::to_string(*to).c_str() : "the end");
    return 1;
  }
  if (!out.Commit(&error)) {
    std::fprintf(stderr, "q47v cut: writing %s failed: %s\n", out_path.c_str(), error.c_str());
    return 1;
  }
  std::fprintf(stderr, "q47v cut: %lld records (%lld bytes) written to %s\n", static_cast<long long>(written),
               static_cast<long long>(bytes), out_path.c_str());
  return 0;
}

}  // namespace q47v::cli
