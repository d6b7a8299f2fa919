// SPDX-License-Identifier: GPL-3.0-or-later
// Walking a .47V file from the start, record by record, the way forward playback
// does: damaged stretches are passed over by resynchronisation and reported.
#pragma once

#include <cstdint>

#include "files/sonar_file.h"

struct ScannedRecord {
  int64_t offset = 0;          // where the record starts
  int64_t skipped_before = 0;  // damaged bytes passed over just before it
};

class SonarFileScanner {
 public:
  explicit SonarFileScanner(SonarFileReader& reader, int64_t start = 0) : reader_(reader), position_(start) {}

  // The next whole record (the reader holds it); false at the end of the file.
  bool Next(ScannedRecord& out);
  // File position after the last record returned.
  int64_t position() const { return position_; }
  // Bytes after the last whole record that start no record (damaged or cut short),
  // known once Next has returned false.
  int64_t trailing_bytes() const { return trailing_; }

 private:
  SonarFileReader& reader_;
  int64_t position_;
  int64_t trailing_ = 0;
};
