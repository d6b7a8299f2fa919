// SPDX-License-Identifier: GPL-3.0-or-later
// Walking a .47V file from the start, record by record, the way forward playback
// does: damaged stretches are passed over by resynchronisation and reported.
#pragma once

#include <cstdint>
#include <span>

#include "files/sonar_file.h"

struct ScannedRecord {
  int64_t offset = 0;          // where the record starts
  int64_t skipped_before = 0;  // damaged bytes passed over just before it
  std::span<const uint8_t> bytes;  // its S bytes (valid until the reader reads again)
};

// Whether the scanner has each record decoded into the reader (record(), fields())
// or only found, its bytes left in the reader's block (for passes that look at a
// few bytes of each record).
enum class ScanDecode { kFields, kBytesOnly };

class SonarFileScanner {
 public:
  explicit SonarFileScanner(SonarFileReader& reader, int64_t start = 0, ScanDecode decode = ScanDecode::kFields)
      : reader_(reader), position_(start), decode_(decode) {}

  // The next whole record (with kFields the reader holds it decoded); false at the
  // end of the file.
  bool Next(ScannedRecord& out);
  // File position after the last record returned.
  int64_t position() const { return position_; }
  // Bytes after the last whole record that start no record (damaged or cut short),
  // known once Next has returned false.
  int64_t trailing_bytes() const { return trailing_; }

 private:
  SonarFileReader& reader_;
  int64_t position_;
  ScanDecode decode_;
  int64_t trailing_ = 0;
};
