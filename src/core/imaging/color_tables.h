// SPDX-License-Identifier: GPL-3.0-or-later
// The 256 colours of the sonar picture: nine echo colour schemes for indices
// 0..118, fixed interface colours 119..127 and the grid colour 128..255.
#pragma once

#include <array>
#include <cstdint>

struct Rgb {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  bool operator==(const Rgb&) const = default;
};

using PaletteTable = std::array<Rgb, 256>;

constexpr int kColorTableCount = 9;

// Indices the interface and overlays draw with.
constexpr int kDredgeLineColor = 88;
constexpr int kProfilePointColor = 106;
constexpr int kMaxEchoLevel = 107;

// Menu text of scheme 0..8 ("Norm &Hi" ...); nullptr outside the range.
const char* ColorTableMenuText(int scheme);

// The echo entries 0..118 of one scheme (schemes outside 0..8 give scheme 0).
std::array<Rgb, 119> BuildColorTable(int scheme);

// The whole 256-entry palette: the scheme's entries and the fixed entries.
PaletteTable BuildPalette(int scheme);
