// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/sonar_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    reset();
    fd_ = other.release();
  }
  return *this;
}

void FileHandle::reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int64_t ReadAt(int fd, int64_t offset, std::span<uint8_t> out) {
  if (offset < 0) return -1;
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? static_cast<int64_t>(done) : -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

bool AppendRecord(int fd, std::span<const uint8_t> data, int64_t good_length, std::string& error) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? std::strerror(errno) : "nothing could be written";
      // Cut off a partial record so that the file still ends on a whole record.
      if (done > 0 && ::ftruncate(fd, static_cast<off_t>(good_length)) == 0)
        ::lseek(fd, static_cast<off_t>(good_length), SEEK_SET);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool SonarFileReader::Open(const std::string& path, std::string& error) {
  Close();
  // Opened without blocking, so that a FIFO without a writer cannot hang the open;
  // only regular files are read (a device or a FIFO has no length and may never end).
  FileHandle handle(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!handle.valid()) {
    error = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(handle.get(), &st) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? "it is a directory, not a file" : "not a regular file (a device, FIFO or socket)";
    return false;
  }
  ::fcntl(handle.get(), F_SETFL, ::fcntl(handle.get(), F_GETFL) & ~O_NONBLOCK);
  Adopt(std::move(handle));
  return true;
}


int64_t SonarFileReader::Length() const {
  struct stat st {};
  if (!handle_.valid() || ::fstat(handle_.get(), &st) != 0) return 0;
  return static_cast<int64_t>(st.st_size);
}

void SonarFileReader::Adopt(FileHandle handle) {
  handle_ = std::move(handle);
  block_start_ = block_length_ = 0;
  reads_ = 0;
}

void SonarFileReader::Close() {
  handle_.reset();
  block_start_ = block_length_ = 0;
}

int64_t SonarFileReader::FillBlock(int64_t start, int64_t n) {
  block_start_ = start;
  block_length_ = 0;
  ++reads_;
  const int64_t got = ReadAt(handle_.get(), start, std::span(scan_.data(), static_cast<size_t>(n)));
  block_length_ = std::max<int64_t>(got, 0);
  return got;
}

int64_t SonarFileReader::Fetch(int64_t offset, int64_t n, const uint8_t*& p) {
  if (offset < 0 || !handle_.valid()) return -1;
  const int64_t size = static_cast<int64_t>(scan_.size());
  n = std::min(n, size);
  if (offset < block_start_ || offset + n > block_start_ + block_length_) {
    // Backward playback reads each record just before the last one: the new block
    // ends past the record asked for, so the records before it follow from memory.
    const int64_t start = offset < block_start_ ? std::max<int64_t>(0, offset + kMaxRecordSize - size) : offset;
    if (FillBlock(start, size) < 0) return -1;
  }
  p = scan_.data() + (offset - block_start_);
  return std::clamp<int64_t>(block_start_ + block_length_ - offset, 0, n);
}

RecordRead SonarFileReader::ReadRecordAt(int64_t offset) {
  last_read_ = 0;
  const uint8_t* p = nullptr;
  if (Fetch(offset, kRecordHeaderSize, p) < kRecordHeaderSize) return RecordRead::kEnd;
  last_read_ = kRecordHeaderSize;
  SonarRecordFields fields;
  if (!ParseRecordHeader(std::span(p, kRecordHeaderSize), fields)) return RecordRead::kDamaged;
  const int size = fields.record_size;
  if (size < kRecordHeaderSize || size > static_cast<int>(buffer_.size())) return RecordRead::kDamaged;
  if (Fetch(offset, size, p) < size) return RecordRead::kEnd;
  // The record is copied out of the block: callers may change it (the copy command
  // sets its back link) while the block must keep the file's bytes.
  std::memcpy(buffer_.data(), p, static_cast<size_t>(size));
  last_read_ = size;
  ParseRecordTail(std::span(buffer_.data(), static_cast<size_t>(size)), fields);
  fields_ = std::move(fields);
  return RecordRead::kOk;
}

bool SonarFileReader::ValidRecordAt(int64_t offset) {
  if (offset < 0) return false;
  const uint8_t* p = nullptr;
  if (Fetch(offset, kRecordHeaderSize, p) < kRecordHeaderSize) return false;
  RecordFrame frame;
  if (CheckRecordHeader(std::span(p, kRecordHeaderSize), frame) != HeaderCheck::kOk) return false;
  const int64_t end = offset + frame.record_size;
  return end <= block_start_ + block_length_ || end <= Length();
}

namespace {

// True when the `avail` bytes at `p` (file offset `at`) start a header that passes
// the checks and whose record ends by `length`. Works on the scan buffer, so a run
// of magic bytes costs no system call per candidate.
bool StartsRecord(const uint8_t* p, int64_t avail, int64_t at, int64_t length) {
  if (avail < kRecordHeaderSize) return false;
  RecordFrame frame;
  return CheckRecordHeader(std::span(p, static_cast<size_t>(kRecordHeaderSize)), frame) == HeaderCheck::kOk &&
         at + frame.record_size <= length;
}

// Sixteen bytes compared at a time (GCC/Clang vector extensions: SSE2 on x86-64,
// NEON on ARM), so that the search costs the same for any bytes, runs of magic
// bytes included.
using Bytes16 = uint8_t __attribute__((vector_size(16)));

Bytes16 Load16(const uint8_t* p) {
  Bytes16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

bool Candidate(const uint8_t* p) {
  return p[0] == kRecordMagic[0] && p[1] == kRecordMagic[1] && p[2] == kRecordMagic[2] && p[3] < kRecordTypeCount;
}

// First index i < `count` of the `got` bytes at `p` (file offset `base`) where a
// valid record starts; -1 when none. Bytes up to `got` may be read beyond `count`.
int64_t FirstCandidate(const uint8_t* p, int64_t count, int64_t got, int64_t base, int64_t length) {
  const Bytes16 m0 = Bytes16{} + static_cast<uint8_t>(kRecordMagic[0]);
  const Bytes16 m1 = Bytes16{} + static_cast<uint8_t>(kRecordMagic[1]);
  const Bytes16 m2 = Bytes16{} + static_cast<uint8_t>(kRecordMagic[2]);
  const Bytes16 types = Bytes16{} + static_cast<uint8_t>(kRecordTypeCount);
  int64_t i = 0;
  for (; i + 16 <= count && i + 19 <= got; i += 16) {
    // A magic with a type code 0..10 after it at any of the 16 positions?
    const auto hit = (Load16(p + i) == m0) & (Load16(p + i + 1) == m1) & (Load16(p + i + 2) == m2) &
                     (Load16(p + i + 3) < types);
    uint64_t half[2];
    std::memcpy(half, &hit, sizeof half);
    if ((half[0] | half[1]) == 0) continue;
    for (int64_t k = i; k < i + 16; ++k)
      if (Candidate(p + k) && StartsRecord(p + k, got - k, base + k, length)) return k;
  }
  for (; i < count; ++i)
    if (got - i >= kRecordHeaderSize && Candidate(p + i) && StartsRecord(p + i, got - i, base + i, length)) return i;
  return -1;
}

}  // namespace

std::optional<int64_t> SonarFileReader::FindForward(int64_t from) {
  ForwardSearch search = FindForwardWithin(from, 0);
  return search.found;
}

ForwardSearch SonarFileReader::FindForwardWithin(int64_t from, int64_t limit) {
  ForwardSearch result;
  const int64_t length = Length();
  int64_t base = std::max<int64_t>(from, 0);
  const int64_t stop = limit > 0 && base < length - limit ? base + limit : length;
  // Each chunk is read with the header's length less one more, so that every
  // candidate position in it has its whole header in the buffer (unless the file
  // ends first, when no record can start there anyway).
  const int64_t chunk = static_cast<int64_t>(scan_.size()) - kRecordHeaderSize;
  while (base < stop) {
    // Holes of a sparse file read as zeros and hold no record: jump over them.
    const off_t data = ::lseek(handle_.get(), static_cast<off_t>(base), SEEK_DATA);
    if (data < 0 && errno == ENXIO) {
      base = stop;
      break;
    }
    if (data > base) base = std::min<int64_t>(data, stop);
    if (base >= stop) break;
    const int64_t want = std::min(chunk, stop - base);
    const int64_t got = FillBlock(base, want + kRecordHeaderSize - 1);
    if (got <= 0) {
      base = stop;
      break;
    }
    const int64_t scanned = std::min(want, got);
    if (const int64_t i = FirstCandidate(scan_.data(), scanned, got, base, length); i >= 0) {
      result.found = base + i;
      result.searched_to = base + i;
      return result;
    }
    base += scanned;
  }
  result.searched_to = base;
  result.at_end = base >= length;
  return result;
}

std::optional<int64_t> SonarFileReader::FindBackward(int64_t before, int64_t limit) {
  const int64_t length = Length();
  const int64_t floor = std::max<int64_t>(0, before - limit);
  const int64_t chunk = static_cast<int64_t>(scan_.size()) - kRecordHeaderSize;
  int64_t high = std::min(before, length);  // candidates lie in [floor, high)
  while (high > floor) {
    const int64_t low = std::max(floor, high - chunk);
    const int64_t got = FillBlock(low, high - low + kRecordHeaderSize - 1);
    if (got <= 0) return std::nullopt;
    const uint8_t* const start = scan_.data();
    size_t n = static_cast<size_t>(std::min(high - low, got));
    while (n > 0) {
      const void* hit = ::memrchr(start, kRecordMagic[0], n);
      if (!hit) break;
      const int64_t i = static_cast<const uint8_t*>(hit) - start;
      if (got - i >= kRecordHeaderSize && start[i + 1] == kRecordMagic[1] && start[i + 2] == kRecordMagic[2] &&
          StartsRecord(start + i, got - i, low + i, length))
        return low + i;
      n = static_cast<size_t>(i);
    }
    high = low;
  }
  return std::nullopt;
}

std::optional<int64_t> SonarFileReader::LastRecordStart() {
  const int64_t length = Length();
  if (length < kRecordHeaderSize) return ValidRecordAt(0) ? std::optional<int64_t>(0) : std::nullopt;
  // Read from the end backwards: the block then holds the last records.
  const uint8_t* tail = nullptr;
  const int64_t size = static_cast<int64_t>(scan_.size());
  if (length - 2 < block_start_ || length > block_start_ + block_length_)
    FillBlock(std::max<int64_t>(0, length - size), std::min(length, size));
  if (Fetch(length - 2, 2, tail) == 2) {
    // The last back link covers the last two records: go back over it to the one
    // before the last, then forward over that record's size to the last one.
    const int back = (tail[0] << 8) | tail[1];
    const int64_t before_last = length - back;
    const uint8_t* header = nullptr;
    RecordFrame frame;
    if (back > 0 && before_last >= 0 && Fetch(before_last, kRecordHeaderSize, header) == kRecordHeaderSize &&
        CheckRecordHeader(std::span(header, kRecordHeaderSize), frame) == HeaderCheck::kOk) {
      if (before_last + frame.record_size == length) return before_last;  // a file of one record
      const int64_t last = before_last + frame.record_size;
      if (Fetch(last, kRecordHeaderSize, header) == kRecordHeaderSize &&
          CheckRecordHeader(std::span(header, kRecordHeaderSize), frame) == HeaderCheck::kOk &&
          last + frame.record_size == length)
        return last;
    }
  }
  // No sound chain: the nearest record start from the end that fits in the file.
  return FindBackward(length);
}

std::optional<int64_t> SonarFileReader::PreviousRecordStart(int64_t start, int size, int back_link,
                                                            bool& wrapped) {
  wrapped = false;
  if (start > 0) {
    const int64_t target = start + size - back_link;
    if (back_link > 0 && target >= 0 && target < start && ValidRecordAt(target)) return target;
    // A back link of 0, before the file or into garbage: look for the nearest start.
    if (auto found = FindBackward(start)) return found;
  }
  wrapped = true;
  if (auto last = LastRecordStart()) return last;
  return ValidRecordAt(0) ? std::optional<int64_t>(0) : std::nullopt;
}

std::optional<int64_t> SonarFileReader::SeekPercent(int percent) {
  const int64_t length = Length();
  if (percent <= 0 || percent >= 100 || length <= 0) return std::nullopt;
  const int64_t target = length / 100 * percent + (length % 100) * percent / 100;
  if (auto found = FindForward(target)) return found;
  // Nothing starts after the target: stay at the last record start before it.
  if (auto last = LastRecordStart(); last && *last <= target) return last;
  return FindBackward(target + 1);
}
