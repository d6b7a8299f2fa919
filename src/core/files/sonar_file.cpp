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
  handle_ = std::move(handle);
  return true;
}

void SonarFileReader::Adopt(FileHandle handle) { handle_ = std::move(handle); }

void SonarFileReader::Close() { handle_.reset(); }

int64_t SonarFileReader::Length() const {
  struct stat st {};
  if (!handle_.valid() || ::fstat(handle_.get(), &st) != 0) return 0;
  return static_cast<int64_t>(st.st_size);
}

RecordRead SonarFileReader::ReadRecordAt(int64_t offset) {
  last_read_ = 0;
  const int64_t got = ReadAt(handle_.get(), offset, std::span(buffer_.data(), kRecordHeaderSize));
  if (got < kRecordHeaderSize) return RecordRead::kEnd;
  last_read_ = kRecordHeaderSize;
  SonarRecordFields fields;
  if (!ParseRecordHeader(std::span(buffer_.data(), kRecordHeaderSize), fields)) return RecordRead::kDamaged;
  const int rest = fields.record_size - kRecordHeaderSize;
  const int64_t more = ReadAt(handle_.get(), offset + kRecordHeaderSize,
                              std::span(buffer_.data() + kRecordHeaderSize, static_cast<size_t>(rest)));
  if (more < rest) return RecordRead::kEnd;
  last_read_ = fields.record_size;
  ParseRecordTail(std::span(buffer_.data(), static_cast<size_t>(fields.record_size)), fields);
  fields_ = std::move(fields);
  return RecordRead::kOk;
}

bool SonarFileReader::ValidRecordAt(int64_t offset) {
  if (offset < 0) return false;
  uint8_t header[kRecordHeaderSize];
  if (ReadAt(handle_.get(), offset, header) < kRecordHeaderSize) return false;
  RecordFrame frame;
  if (CheckRecordHeader(header, frame) != HeaderCheck::kOk) return false;
  return offset + frame.record_size <= Length();
}

std::optional<int64_t> SonarFileReader::FindForward(int64_t from) {
  if (from < 0) from = 0;
  int64_t base = from;
  for (;;) {
    // Holes of a sparse file read as zeros and hold no record: jump over them.
    const off_t data = ::lseek(handle_.get(), static_cast<off_t>(base), SEEK_DATA);
    if (data < 0 && errno == ENXIO) return std::nullopt;
    if (data > base) base = data;
    const int64_t got = ReadAt(handle_.get(), base, scan_);
    if (got < 3) return std::nullopt;
    const uint8_t* p = scan_.data();
    for (int64_t i = 0; i + 3 <= got; ++i) {
      const void* hit = std::memchr(p + i, kRecordMagic[0], static_cast<size_t>(got - 2 - i));
      if (!hit) break;
      i = static_cast<const uint8_t*>(hit) - p;
      if (p[i + 1] == kRecordMagic[1] && p[i + 2] == kRecordMagic[2] && ValidRecordAt(base + i))
        return base + i;
    }
    // The last two bytes may begin a magic that continues in the next chunk.
    base += got - 2;
  }
}

std::optional<int64_t> SonarFileReader::FindBackward(int64_t before, int64_t limit) {
  const int64_t floor = std::max<int64_t>(0, before - limit);
  int64_t end = std::min(before + 2, Length());  // a magic starting at before-1 ends at before+2
  while (end - floor >= 3) {
    const int64_t start = std::max(floor, end - static_cast<int64_t>(scan_.size()));
    const int64_t got = ReadAt(handle_.get(), start, std::span(scan_.data(), static_cast<size_t>(end - start)));
    if (got < 3) return std::nullopt;
    for (int64_t i = got - 3; i >= 0; --i) {
      const int64_t at = start + i;
      if (at >= before) continue;
      if (scan_[i] == kRecordMagic[0] && scan_[i + 1] == kRecordMagic[1] && scan_[i + 2] == kRecordMagic[2] &&
          ValidRecordAt(at))
        return at;
    }
    if (start == floor) break;
    end = start + 2;
  }
  return std::nullopt;
}

std::optional<int64_t> SonarFileReader::LastRecordStart() {
  const int64_t length = Length();
  if (length < kRecordHeaderSize) return ValidRecordAt(0) ? std::optional<int64_t>(0) : std::nullopt;
  uint8_t tail[2];
  if (ReadAt(handle_.get(), length - 2, tail) == 2) {
    // The last back link covers the last two records: go back over it to the one
    // before the last, then forward over that record's size to the last one.
    const int back = (tail[0] << 8) | tail[1];
    const int64_t before_last = length - back;
    uint8_t header[kRecordHeaderSize];
    RecordFrame frame;
    if (back > 0 && before_last >= 0 && ReadAt(handle_.get(), before_last, header) == kRecordHeaderSize &&
        CheckRecordHeader(header, frame) == HeaderCheck::kOk) {
      if (before_last + frame.record_size == length) return before_last;  // a file of one record
      const int64_t last = before_last + frame.record_size;
      if (ReadAt(handle_.get(), last, header) == kRecordHeaderSize &&
          CheckRecordHeader(header, frame) == HeaderCheck::kOk && last + frame.record_size == length)
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
