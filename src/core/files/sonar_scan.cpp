// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/sonar_scan.h"

namespace {

RecordRead Read(SonarFileReader& reader, int64_t offset, ScanDecode decode, std::span<const uint8_t>& bytes) {
  if (decode == ScanDecode::kBytesOnly) return reader.PeekRecordAt(offset, bytes);
  const RecordRead read = reader.ReadRecordAt(offset);
  if (read == RecordRead::kOk) bytes = reader.record();
  return read;
}

}  // namespace

bool SonarFileScanner::Next(ScannedRecord& out) {
  std::span<const uint8_t> bytes;
  RecordRead read = Read(reader_, position_, decode_, bytes);
  int64_t skipped = 0;
  if (read == RecordRead::kDamaged) {
    if (const auto next = reader_.FindForward(position_ + 1)) {
      skipped = *next - position_;
      position_ = *next;
      read = Read(reader_, position_, decode_, bytes);
    } else {
      read = RecordRead::kEnd;
    }
  }
  if (read != RecordRead::kOk) {
    trailing_ = reader_.Length() - position_;
    if (trailing_ < 0) trailing_ = 0;
    return false;
  }
  out.offset = position_;
  out.skipped_before = skipped;
  out.bytes = bytes;
  position_ += static_cast<int64_t>(bytes.size());
  return true;
}
