// SPDX-License-Identifier: GPL-3.0-or-later
// What the live view sends to a browser, and how: the picture as rectangles of
// palette indices (zlib-compressed), the colour table, and the readouts as JSON.
//
// Binary messages, integers little-endian:
//   'P' picture:  u8 'P', u8 flags (bit 0: the whole picture; bit 1: a change),
//                 u32 sequence, u16 x, u16 y, u16 width, u16 height, then the zlib
//                 stream of width * height bytes, rows top first, each byte a
//                 palette index, or with bit 1 what to add (modulo 256) to the
//                 index the viewer holds: 0 where nothing changed, so that the
//                 message carries little more than the pixels that did.
//   'C' colours:  u8 'C', then 256 entries of red, green, blue.
// Text messages are JSON objects with a "type" member ("readouts").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/color_tables.h"
#include "imaging/ping_image.h"

namespace webview {

inline constexpr std::size_t kPictureHeaderBytes = 14;
inline constexpr std::size_t kPaletteMessageBytes = 1 + 256 * 3;

// Encodes the pixels of `area` taken from a whole picture (kImageWidth wide).
std::string EncodePicture(const uint8_t* picture, const DirtyRect& area, uint32_t sequence, bool whole);
std::string EncodePalette(const PaletteTable& palette);

inline constexpr uint8_t kPictureWhole = 1;
inline constexpr uint8_t kPictureChange = 2;

// The change from `before` to `after` (whole pictures, kImageWidth wide) within
// `area`, cut down to the box of the pixels that differ; empty when none does.
std::string EncodePictureChange(const uint8_t* before, const uint8_t* after, const DirtyRect& area,
                                uint32_t sequence);

// Decodes a picture message into `picture` (kImageBytes); false when the message
// is malformed or its rectangle leaves the picture. For tests and tools.
bool ApplyPicture(const std::string& message, std::vector<uint8_t>& picture, uint32_t* sequence = nullptr);

// The readouts a viewer is shown beside the picture.
struct Readouts {
  std::string source;     // "HEAD" live, "FILE" in playback
  std::string range;      // "10 M"
  std::string gain;       // "6 dB"
  std::string mode;       // "Sector", "Polar", "SS", "Profile"
  std::string speed;
  std::string sector;     // "180 Dg" or "N / A"
  std::string train;      // "0 Dg" or "Port"/"Both"/"Stbd"
  std::string frequency;  // "675 kHz", "1.100 MHz", with " (Auto)" when automatic
  std::string dateTime;   // "07-DEC-2026  13:45:07"
  std::string gps;        // position text, "GPS Lat / Lng Not Available", or empty
  std::string status;     // the status line
  std::string file;       // playback or recording file name, empty without one
  std::string position;   // playback: "42 %"; recording: "1234 kB"
  std::string repRate;    // "120 ms"
  long pings = 0;
  bool operator==(const Readouts&) const = default;
};

// JSON text of the readouts, with the publishing sequence number.
std::string ReadoutsJson(const Readouts& r, uint32_t sequence);

// JSON string escaping (quotes, backslash, control characters, bytes >= 0x80 kept
// only when they form valid UTF-8, otherwise replaced by '?').
std::string JsonEscape(const std::string& text);

}  // namespace webview
