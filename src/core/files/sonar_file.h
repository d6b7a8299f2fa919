// SPDX-License-Identifier: GPL-3.0-or-later
// Reading .47V files at 64-bit offsets: one record at a given offset, the search for
// the next or previous record start (resynchronisation), the backward step along the
// back links with the wrap to the end, and the seek by percentage. Every search ends
// at the file's ends or after a bounded distance; nothing trusts a length field.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "files/sonar_record.h"

// How far a backward search for a record start looks before it gives up.
inline constexpr int64_t kBackwardSearchLimit = 1 << 20;

// An open file descriptor that closes itself.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { reset(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset();  // closes

 private:
  int fd_ = -1;
};

// Reads up to out.size() bytes at `offset`, retrying short and interrupted reads;
// returns the count read (less at the end of the file), -1 on an error.
int64_t ReadAt(int fd, int64_t offset, std::span<uint8_t> out);

// Writes all of `data` at the end of the file in one write call (continuing a short
// write). On failure the file is cut back to `good_length` so that it ends on a
// whole record, and errno-style text is returned in `error`.
bool AppendRecord(int fd, std::span<const uint8_t> data, int64_t good_length, std::string& error);

// Where a bounded forward search ended.
struct ForwardSearch {
  std::optional<int64_t> found;  // the first valid record start, when one was found
  int64_t searched_to = 0;       // no record starts in [from, searched_to)
  bool at_end = false;           // the search reached the end of the file
};

// Result of reading one record.
enum class RecordRead {
  kOk,
  kEnd,       // fewer bytes than the header or the record size before the end of the file
  kDamaged,   // no valid header at the offset (no magic, bad sizes)
};

// A .47V file opened for reading. Owns its descriptor, one block of the file (1 MiB,
// read with one system call and parsed from memory, forwards and backwards) and one
// record buffer of the largest record size, so memory does not grow with the file.
// Bytes past the end of the block are read anew, so a file that grows while it is
// read is seen as it grows.
class SonarFileReader {
 public:
  // Opens for reading; false with `error` set when the file cannot be opened.
  bool Open(const std::string& path, std::string& error);
  // Takes an already open descriptor (for tests and the fuzz harness).
  void Adopt(FileHandle handle);
  void Close();
  bool is_open() const { return handle_.valid(); }
  int fd() const { return handle_.get(); }
  // File length now (the file may grow while it is read).
  int64_t Length() const;

  // Reads the record at `offset` into the buffer; on kOk `record()` holds S bytes
  // and `fields()` the decoded header and tail.
  RecordRead ReadRecordAt(int64_t offset);
  std::span<const uint8_t> record() const { return {buffer_.data(), static_cast<size_t>(fields_.record_size)}; }
  std::span<uint8_t> mutable_record() { return {buffer_.data(), static_cast<size_t>(fields_.record_size)}; }
  std::span<const uint8_t> reply() const {
    return {buffer_.data() + kRecordHeaderSize, static_cast<size_t>(fields_.reply_length)};
  }
  const SonarRecordFields& fields() const { return fields_; }
  // Bytes read by the last ReadRecordAt before it decided (for the header-first copy).
  int last_read_bytes() const { return last_read_; }

  // True when a header that passes the checks starts at `offset` and the record fits
  // before the end of the file.
  bool ValidRecordAt(int64_t offset);

  // First offset >= `from` where the magic starts a valid record; nullopt at the end.
  std::optional<int64_t> FindForward(int64_t from);
  // The same, looking at no more than `limit` positions (0: no limit), so that a
  // caller that must stay responsive can go on with the next call where it stopped.
  ForwardSearch FindForwardWithin(int64_t from, int64_t limit);
  // Nearest offset < `before` (and >= before - limit) where a valid record starts.
  std::optional<int64_t> FindBackward(int64_t before, int64_t limit = kBackwardSearchLimit);

  // Start of the last record of the file: by the last record's back link when the
  // chain checks out, else by a backward search from the end.
  std::optional<int64_t> LastRecordStart();

  // Where a backward step goes from the record [start, start + size) with back link
  // `back_link`: the previous record's start, or the last record's start (the wrap)
  // when `start` is the first record. `wrapped` tells which.
  std::optional<int64_t> PreviousRecordStart(int64_t start, int size, int back_link, bool& wrapped);

  // Seek by percentage 1..99: the first record that starts at or after
  // trunc(p x length / 100); when none follows, the last record start before it.
  std::optional<int64_t> SeekPercent(int percent);

  // System calls that read the file since it was opened (for tests and benchmarks).
  int64_t reads() const { return reads_; }

 private:
  // Makes [offset, offset + n) available from the block when the file holds it; returns
  // the bytes available at `offset` (fewer at the end of the file, -1 on an error) and
  // points `p` at them. A miss reads a new block starting at `offset`, or, when the
  // reads go backwards, ending one largest record after it.
  int64_t Fetch(int64_t offset, int64_t n, const uint8_t*& p);
  // Reads the block at `start` with `n` bytes (at most the block size).
  int64_t FillBlock(int64_t start, int64_t n);

  FileHandle handle_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(kMaxRecordSize);
  std::vector<uint8_t> scan_ = std::vector<uint8_t>(1 << 20);
  int64_t block_start_ = 0;  // file offset of scan_[0]
  int64_t block_length_ = 0; // bytes of the file in scan_
  int64_t reads_ = 0;
  SonarRecordFields fields_;
  int last_read_ = 0;
};
