// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of the .47V reader: records per second read and decoded, opening and
// seeking in a 5 GiB (sparse) file, and resident memory while reading, which must
// not grow with the file size. Files go to a temporary folder removed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "clock.h"
#include "files/file_display.h"
#include "files/playback.h"
#include "files/recorder.h"
#include "files/sonar_scan.h"
#include "app_state.h"

namespace {

const std::string& TempDir() {
  static const std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "q47v-bench-files-XXXXXX").string();
    const char* made = ::mkdtemp(pattern.data());
    std::atexit([] { std::filesystem::remove_all(TempDir()); });
    return std::string(made ? made : ".");
  }();
  return dir;
}

std::vector<uint8_t> Reply(int position, int seed) {
  std::vector<uint8_t> r(513);
  r[0] = 'I';
  r[1] = 'G';
  r[2] = 'X';
  r[3] = 0x10;
  r[5] = static_cast<uint8_t>(position & 0x7F);
  r[6] = static_cast<uint8_t>((position >> 7) & 0x3F);
  r[7] = 20;
  r[10] = 500 & 0x7F;
  r[11] = 500 >> 7;
  for (int i = 12; i < 512; ++i) r[static_cast<size_t>(i)] = static_cast<uint8_t>((i * 31 + seed) & 0xFF);
  r[512] = 0xFC;
  return r;
}

// A file of `count` 8-bit Sector "G" records (640 bytes each), made once.
std::string RecordsFile(int count) {
  const std::string path = TempDir() + "/records-" + std::to_string(count) + ".47v";
  if (std::filesystem::exists(path)) return path;
  AppState state;
  state.GridMode = 0;
  FileDisplay display;
  StartRecording(state, display, path);
  for (int i = 0; i < count; ++i) {
    const auto reply = Reply(100 + i % 1000, i);
    RecordedPing ping;
    ping.reply = reply;
    ping.type_code = 3;
    ping.time = LocalTime{2026, 12, 7, 10, 0, i % 60, i % 100};
    WriteSonarRecord(state, display, ping);
  }
  StopRecording(state, display);
  return path;
}

// A sparse 5 GiB file: real records at the start, a few hundred bytes after 10, 50
// and 90 % (as a record boundary lies within one record of any point of a real
// file) and at the end.
std::string SparseFile() {
  const std::string path = TempDir() + "/sparse-5g.47v";
  if (std::filesystem::exists(path)) return path;
  const int64_t length = 5LL << 30;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || ::ftruncate(fd, length) != 0) std::abort();
  AppState state;
  auto put = [&](int64_t at, int n) {
    for (int i = 0; i < n; ++i) {
      const auto reply = Reply(600, i);
      RecordedPing ping;
      ping.reply = reply;
      ping.type_code = 3;
      SonarRecordFields f = RecordFieldsFor(state, ping, 640);
      std::vector<uint8_t> rec(static_cast<size_t>(f.record_size));
      EncodeSonarRecord(f, reply, rec);
      if (::pwrite(fd, rec.data(), rec.size(), at + i * 640) != 640) std::abort();
    }
  };
  put(0, 4);
  for (int percent : {10, 50, 90}) put(length / 100 * percent + 300, 4);
  put(length - 4 * 640, 4);
  ::close(fd);
  return path;
}

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Records read from the file, settings restored and replies checked and decoded,
// as playback does (ping drawing excluded).
void BM_PlaybackReadAndDecode(benchmark::State& bench) {
  const std::string path = RecordsFile(20000);
  AppState state;
  state.RunMode = 1;
  FileDisplay display;
  FakeClock clock;
  const PlaybackHooks hooks = LinkPlaybackHooks(clock, nullptr);
  if (!OpenPlaybackFile(state, display, path)) bench.SkipWithError("open failed");
  int64_t records = 0;
  for (auto _ : bench) {
    const PlaybackStepResult r = PlaybackStep(state, display, hooks);
    if (r.outcome == PlaybackOutcome::kPlayed) ++records;
    if (r.processed && !r.accepted) bench.SkipWithError("reply rejected");
  }
  bench.SetItemsProcessed(records);
  bench.SetBytesProcessed(records * 640);
}
BENCHMARK(BM_PlaybackReadAndDecode);

// Records read and header-parsed only (the scanner of q47v info and cut).
void BM_ScanRecords(benchmark::State& bench) {
  const std::string path = RecordsFile(20000);
  SonarFileReader reader;
  std::string error;
  reader.Open(path, error);
  int64_t records = 0;
  for (auto _ : bench) {
    SonarFileScanner scanner(reader);
    ScannedRecord rec;
    while (scanner.Next(rec)) ++records;
  }
  bench.SetItemsProcessed(records);
}
BENCHMARK(BM_ScanRecords)->Unit(benchmark::kMillisecond);

void BM_OpenSparse5GiB(benchmark::State& bench) {
  const std::string path = SparseFile();
  AppState state;
  FileDisplay display;
  for (auto _ : bench) {
    if (!OpenPlaybackFile(state, display, path)) bench.SkipWithError("open failed");
    ClosePlayback(state);
  }
}
BENCHMARK(BM_OpenSparse5GiB)->Unit(benchmark::kMicrosecond);

void BM_SeekSparse5GiB(benchmark::State& bench) {
  const std::string path = SparseFile();
  AppState state;
  FileDisplay display;
  OpenPlaybackFile(state, display, path);
  const int percent = static_cast<int>(bench.range(0));
  for (auto _ : bench) {
    if (!SeekPlayback(state, display, percent)) bench.SkipWithError("seek failed");
  }
  bench.counters["offset"] = static_cast<double>(state.PlaybackPosition.load());
}
BENCHMARK(BM_SeekSparse5GiB)->Arg(10)->Arg(50)->Arg(90)->Unit(benchmark::kMicrosecond);

// Resident memory after reading a whole file forward (once per size): it stays the
// same from 20 000 to 200 000 records and over the 5 GiB sparse file.
void BM_ResidentWhileReading(benchmark::State& bench) {
  const int count = static_cast<int>(bench.range(0));
  const std::string path = count > 0 ? RecordsFile(count) : SparseFile();
  AppState state;
  state.RunMode = 1;
  FileDisplay display;
  FakeClock clock;
  const PlaybackHooks hooks = LinkPlaybackHooks(clock, nullptr);
  long before = 0, peak = 0;
  int64_t records = 0;
  for (auto _ : bench) {
    OpenPlaybackFile(state, display, path);
    before = ResidentKb();
    for (;;) {
      const PlaybackStepResult r = PlaybackStep(state, display, hooks);
      if (r.outcome != PlaybackOutcome::kPlayed) break;
      if (++records % 4096 == 0) peak = std::max(peak, ResidentKb());
    }
    peak = std::max(peak, ResidentKb());
    ClosePlayback(state);
  }
  bench.counters["records"] = static_cast<double>(records);
  bench.counters["rss_start_kB"] = static_cast<double>(before);
  bench.counters["rss_peak_kB"] = static_cast<double>(peak);
  bench.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_ResidentWhileReading)->Arg(20000)->Arg(200000)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

// Kinds of junk for the resynchronisation benchmark.
enum JunkKind { kRandomJunk, kZeroJunk, kMagicJunk, kHeaderJunk };
const char* const kJunkNames[] = {"random", "zeros", "repeated 47V", "47V with plausible headers"};

// 10 records, 1 GiB of junk of one kind, 10 records; made afresh for each kind and
// removed after it, so that only one such file is on the disk at a time.
std::string JunkFile(JunkKind kind) {
  const std::string path = TempDir() + "/junk.47v";
  const std::string records = RecordsFile(10);
  std::filesystem::copy_file(records, path, std::filesystem::copy_options::overwrite_existing);
  std::ofstream out(path, std::ios::binary | std::ios::app);
  std::vector<uint8_t> block(1 << 20);
  uint64_t x = 0x9E3779B97F4A7C15ULL;
  for (int n = 0; n < 1024; ++n) {
    switch (kind) {
      case kRandomJunk:
        for (size_t i = 0; i < block.size(); i += 8) {
          x ^= x << 13, x ^= x >> 7, x ^= x << 17;
          std::memcpy(&block[i], &x, 8);
        }
        break;
      case kZeroJunk:
        break;
      case kMagicJunk:
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(kRecordMagic[(n * block.size() + i) % 3]);
        break;
      case kHeaderJunk:
        // Every 128 bytes a header that passes all checks but one: a type code out
        // of range, a reply length of 0, or a size too small for its reply.
        for (size_t i = 0; i < block.size(); i += 128) {
          uint8_t* h = &block[i];
          std::memset(h, 0, 128);
          std::memcpy(h, kRecordMagic, 3);
          const int fault = static_cast<int>((i / 128) % 3);
          h[3] = fault == 0 ? 200 : 3;
          const int size = fault == 2 ? 200 : 640, length = fault == 1 ? 0 : 513;
          h[4] = static_cast<uint8_t>(size >> 8), h[5] = static_cast<uint8_t>(size);
          h[6] = static_cast<uint8_t>(length >> 8), h[7] = static_cast<uint8_t>(length);
          std::memcpy(h + 8, "07-DEC-2026", 11);
          std::memcpy(h + 20, "10:00:00", 8);
        }
        break;
    }
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
  }
  std::ifstream in(records, std::ios::binary);
  out << in.rdbuf();
  return path;
}

// Reading a file with 1 GiB of junk between records from end to end, as q47v info
// and playback do: the time is the resynchronisation over the junk (the 20 records
// take microseconds). The file is read once before timing, so it comes from the
// page cache.
void BM_ResyncOverJunk(benchmark::State& bench) {
  const auto kind = static_cast<JunkKind>(bench.range(0));
  const std::string path = JunkFile(kind);
  SonarFileReader reader;
  std::string error;
  if (!reader.Open(path, error)) bench.SkipWithError("open failed");
  int64_t records = 0, skipped = 0;
  for (auto _ : bench) {
    SonarFileScanner scanner(reader);
    ScannedRecord rec;
    records = skipped = 0;
    while (scanner.Next(rec)) {
      ++records;
      skipped += rec.skipped_before;
    }
  }
  if (records != 20 || skipped != (1LL << 30)) bench.SkipWithError("records lost in the junk");
  bench.SetLabel(kJunkNames[kind]);
  bench.SetBytesProcessed(bench.iterations() * (1LL << 30));
  reader.Close();
  std::filesystem::remove(path);
}
BENCHMARK(BM_ResyncOverJunk)->DenseRange(kRandomJunk, kHeaderJunk)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
