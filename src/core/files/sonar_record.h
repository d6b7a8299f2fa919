// SPDX-License-Identifier: GPL-3.0-or-later
// The .47V record format: one ping per record, a 100-byte header with the time and
// the settings of the ping, the raw reply frame, three floats by reply kind, an
// optional 128-byte GPS block and a two-byte back link at the end. These functions
// are pure: they fill or read plain structs over byte spans and do no I/O.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

inline constexpr int kRecordHeaderSize = 100;
inline constexpr int kRecordGpsBlockSize = 128;
inline constexpr int kRecordFloatsSize = 12;
inline constexpr int kRecordBackLinkSize = 2;
inline constexpr int kRecordTypeCount = 11;
inline constexpr int kMaxRecordSize = 8192 + kRecordGpsBlockSize;
// The longest reply frame a record may carry (the largest record without GPS less
// header, floats and back link).
inline constexpr int kMaxRecordReplyLength =
    8192 - kRecordHeaderSize - kRecordFloatsSize - kRecordBackLinkSize;
inline constexpr char kRecordMagic[3] = {'4', '7', 'V'};

// Record size S by type code 0..10, without the GPS block; -1 for another code.
int RecordSizeForType(int type_code);

// Smallest type code whose record holds a reply of `reply_length` bytes with its
// floats and back link; -1 when none does.
int SmallestTypeCodeFor(int reply_length);

// The GPS data stored with a ping (the GPS reader's texts and values).
struct RecordGps {
  std::string latitude;    // up to 11 characters; empty: no fix text
  std::string longitude;   // up to 12 characters
  std::string utc_time;    // up to 11 characters, "hh:mm:ss.hh"
  int fix_quality = 0;     // low byte stored
  int satellites = 0;      // low byte stored
  float hdop = 0.0f;
  float altitude = 0.0f;
  float geoid_separation = 0.0f;
  bool operator==(const RecordGps&) const = default;
};

// Every field of a record in plain form. The writer encodes it; the reader fills it
// back (with the date rebuilt and the numbers decoded as stored).
struct SonarRecordFields {
  int type_code = 0;
  int record_size = 0;     // S, including the GPS block when present
  int reply_length = 0;    // N
  std::string date_text;   // "07-DEC-2026"
  std::string time_text;   // "13:45:07"
  int seconds = 0;         // seconds of the time text as a number
  int hundredths = 0;      // 0..99
  bool units_feet = false;
  bool gps_present = false;
  bool step_direction = false;
  int xdcr = 0;            // 0..1
  int grid_mode = 0;       // 0..7
  int speed = 0;           // 0..7
  int gain = 0;            // dB, byte
  int sector_code = 0;     // sector size / 3
  int train_code = 0;      // train / 3
  int range_offset = 0;
  int absorption = 0;
  int data_bits_code = 1;  // 0: 4 bits, 1: 8 bits, 2: 16 bits
  int log_f = 0;           // 0..7
  bool profile_grid = false;
  bool profile_grid_zero_up = false;  // ProfileGrid on and ZeroDown off
  int pulse_code = 0;      // pulse length / 10
  int profile_mode = 0;
  std::optional<int> sound_velocity_tenths;  // 15 bits; absent when the flag bit is clear
  std::string user_text;   // up to 31 characters stored (32 bytes, zero padded)
  int frequency = 0;       // kHz as stored; 0 when absent
  std::optional<int> azimuth_position;  // 15 bits; absent when the flag bit is clear
  int vertical_angle_code = 0;  // (offset + 180) x 10
  std::array<float, 3> floats{};
  std::optional<RecordGps> gps;
  int back_link = 0;
};

// Header facts the reader needs before it reads the rest of a record.
struct RecordFrame {
  int type_code = 0;
  int record_size = 0;
  int reply_length = 0;
};

// Why a header cannot start a record.
enum class HeaderCheck {
  kOk,
  kNoMagic,          // the first three bytes are not "47V"
  kBadSize,          // S is 0, below 100 + N + 14 or above the largest record
  kBadReplyLength,   // N is 0 or longer than any record can hold
  kBadType,          // the type code is not one of 0 to 10
};

// Checks the magic and the sizes of a header; fills `frame` when they are sound.
HeaderCheck CheckRecordHeader(std::span<const uint8_t> header, RecordFrame& frame);

// Decodes the 100 header bytes into `out` (date rebuilt, texts terminated inside
// their fields). Returns false when the header fails CheckRecordHeader.
bool ParseRecordHeader(std::span<const uint8_t> header, SonarRecordFields& out);

// Decodes the parts after the reply (floats, GPS block when flagged and room for it,
// back link) from a whole record of out.record_size bytes.
bool ParseRecordTail(std::span<const uint8_t> record, SonarRecordFields& out);

// Encodes a record: zero-filled, header, reply, floats, GPS block, back link.
// `fields.record_size` must hold the reply (see CheckRecordHeader); returns false and
// leaves `out` empty otherwise.
bool EncodeSonarRecord(const SonarRecordFields& fields, std::span<const uint8_t> reply,
                       std::span<uint8_t> out);

// Date text "%02d-%s-%04d" with the month as "JAN" to "DEC".
std::string RecordDateText(int day, int month, int year);

// Reads the big-endian back link at the end of a record of `size` bytes.
int RecordBackLink(std::span<const uint8_t> record);
void SetRecordBackLink(std::span<uint8_t> record, int back_link);
