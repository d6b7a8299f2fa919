// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/sonar_scan.h"

bool SonarFileScanner::Next(ScannedRecord& out) {
  RecordRead read = reader_.ReadRecordAt(position_);
  int64_t skipped = 0;
  if (read == RecordRead::kDamaged) {
    if (const auto next = reader_.FindForward(position_ + 1)) {
      skipped = *next - position_;
      position_ = *next;
      read = reader_.ReadRecordAt(position_);
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
  position_ += reader_.fields().record_size;
  return true;
}
