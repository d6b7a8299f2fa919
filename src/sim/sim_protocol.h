// SPDX-License-Identifier: GPL-3.0-or-later
// The wire protocol as the devices on the head line see it: command frames in,
// reply frames out. Written from the device's side on purpose, separately from the
// program's encoder and decoder, so that a mistake there is not mirrored here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace q47vsim {

inline constexpr std::size_t kCommandLength = 27;
inline constexpr std::uint8_t kCommandStart = 0xFE;
inline constexpr std::uint8_t kCommandD = 0x44;
inline constexpr std::uint8_t kCommandEnd = 0xFD;
inline constexpr std::uint8_t kReplyStart = 0x49;  // "I"
inline constexpr std::uint8_t kReplyMark = 0x58;   // "X"
inline constexpr std::uint8_t kReplyEnd = 0xFC;
inline constexpr std::uint8_t kDefaultHeadId = 0x10;
inline constexpr std::uint8_t kOrientationId = 0x18;
inline constexpr std::uint8_t kAzimuthDriveId = 0x1F;
inline constexpr int kPositionsPerTurn = 1200;  // 0.3-degree steps
inline constexpr int kPositionAhead = 600;

// One command frame, byte by byte, named by what a device does with each byte.
struct Command {
  std::array<std::uint8_t, kCommandLength> raw{};
  std::uint8_t id = 0;              // byte 2
  std::uint8_t range_m = 0;         // byte 3
  bool hold = false;                // byte 5 bit 0
  bool reverse = false;             // byte 5 bit 6
  bool scan = false;                // byte 7 == 1: head-ID scan / programming
  std::uint8_t gain_db = 0;         // byte 8
  std::uint8_t absorption = 0;      // byte 10, 0.01 dB/m (0x80 = programming in a scan)
  std::uint8_t train_code = 0;      // byte 11, 3-degree units, 0 aft, 60 ahead
  std::uint8_t sector_code = 0;     // byte 12, 3-degree units
  std::uint8_t step_code = 0;       // byte 13
  std::uint8_t pulse_code = 0;      // byte 14, pulse length / 10 us
  std::uint8_t profile_min = 0;     // byte 15, 0.1 m (low 7 bits of a programmed value)
  std::uint8_t new_id = 0;          // byte 16 (bit 7 = take a new ID)
  std::uint8_t byte18 = 0;          // byte 18 (bits 7..13 of a programmed value)
  std::uint8_t data_points = 0;     // byte 19: 50 or 25
  std::uint8_t data_bits = 0;       // byte 20: 4, 8, 16
  std::uint8_t baud_code = 0;       // byte 21 (programmed parameter in a scan)
  bool points_only = false;         // byte 22
  bool calibrate = false;           // byte 23
  std::uint8_t switch_delay = 0;    // byte 24, 2 ms units
  std::uint8_t frequency_code = 0;  // byte 25: (kHz - 675) / 5 + 100

  int FrequencyKhz() const { return (static_cast<int>(frequency_code) - 100) * 5 + 675; }
  int PulseMicros() const { return pulse_code * 10; }
  // Azimuth drive target (bytes 11 and 12), 0..2047 as sent.
  int AzimuthTarget() const { return (raw[11] & 0x7F) | ((raw[12] & 0x0F) << 7); }
};

// Parses exactly one 27-byte frame: FE 44 ... FD. Returns false for anything else.
bool ParseCommand(std::span<const std::uint8_t> frame, Command& out);

// Finds command frames in a byte stream; anything between frames is counted as junk.
class CommandFramer {
 public:
  // Feeds one byte; returns true when `frame` now holds a complete 27-byte frame.
  bool Feed(std::uint8_t byte, std::array<std::uint8_t, kCommandLength>& frame);
  std::uint64_t JunkBytes() const { return junk_; }
  std::size_t Pending() const { return len_; }
  void Reset() { len_ = 0; }

 private:
  std::array<std::uint8_t, kCommandLength> buf_{};
  std::size_t len_ = 0;
  std::uint64_t junk_ = 0;
};

// Reply lengths by kind letter and data width.
std::size_t ReplyLength(char kind, int data_bits);

// 7+7 coding: low 7 bits first, then bits 7..13.
inline void Put14(std::uint8_t* p, unsigned value) {
  p[0] = static_cast<std::uint8_t>(value & 0x7F);
  p[1] = static_cast<std::uint8_t>((value >> 7) & 0x7F);
}
inline unsigned Get14(const std::uint8_t* p) { return (p[0] & 0x7Fu) | ((p[1] & 0x7Fu) << 7); }

// The 12-byte header of a sonar head reply ("G", "M", "P", "T").
struct SonarReplyHeader {
  char kind = 'G';
  std::uint8_t id = kDefaultHeadId;
  std::uint8_t status = 0;
  int position = kPositionAhead;  // 0..1200
  bool step_up = true;            // direction bit: position grows from ping to ping
  std::uint8_t range_m = 0;
  unsigned profile_range = 0;     // 14 bits
};

// Builds a sonar reply: header, `data` as the echo bytes, terminator.
std::vector<std::uint8_t> FormSonarReply(const SonarReplyHeader& h, std::span<const std::uint8_t> data);

// Builds the 13-byte "A" reply of the azimuth drive. Tilt raw values are the 11, 11
// and 12-bit codes (pitch and roll: degrees x 10 + 900; heading: degrees x 10).
struct AzimuthReplyFields {
  std::uint8_t id = kAzimuthDriveId;
  std::uint8_t status = 0;
  int position = kPositionAhead;
  bool tilt = false;
  unsigned pitch_raw = 900, roll_raw = 900, heading_raw = 0;
};
std::vector<std::uint8_t> FormAzimuthReply(const AzimuthReplyFields& f);

// Builds the 29-byte "O" reply of the orientation module.
std::vector<std::uint8_t> FormOrientationReply(std::uint8_t id, std::uint8_t status, unsigned pitch_raw,
                                               unsigned roll_raw, unsigned heading_raw);

// Packs 8-bit echo levels (0..255) into reply data of the given width:
// 4 bits: two levels per byte, the first in the low nibble; 8 bits: one per byte;
// 16 bits: a little-endian word per level holding the 14-bit sample (level << 6).
void PackEchoData(std::span<const std::uint16_t> levels14, int data_bits, std::span<std::uint8_t> out);

}  // namespace q47vsim
