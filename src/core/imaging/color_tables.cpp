// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/color_tables.h"

#include <algorithm>
#include <cmath>

namespace {

// Norm Lo: the base of the two "Norm" schemes, 119 entries.
constexpr std::array<Rgb, 119> MakeEchoColorBase() {
  std::array<Rgb, 119> t{};
  auto set = [&t](int i, int r, int g, int b) {
    t[i] = Rgb{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
  };
  set(0, 0, 0, 0);
  set(1, 0, 0, 1);
  set(2, 0, 0, 3);
  set(3, 0, 0, 5);
  for (int i = 4; i <= 18; ++i) set(i, 0, 0, 5 * (i - 2));
  for (int i = 19; i <= 34; ++i) set(i, 0, 5 * (i - 15), 175 - 5 * i);
  for (int i = 35; i <= 39; ++i) set(i, 0, 5 * (i - 15), 0);
  set(40, 5, 125, 0);
  set(41, 10, 130, 0);
  for (int i = 42; i <= 48; ++i) set(i, 20, 135 + 5 * (i - 42), 0);
  set(49, 40, 170, 0);
  set(50, 60, 175, 0);
  set(51, 70, 180, 0);
  set(52, 80, 185, 0);
  for (int i = 53; i <= 58; ++i) set(i, 90 + 10 * (i - 53), 175 - 10 * (i - 53), 0);
  set(59, 150, 110, 0);
  set(60, 155, 105, 0);
  for (int i = 61; i <= 69; ++i) set(i, 160 + 5 * (i - 61), 100, 0);
  set(70, 205, 105, 0);
  set(71, 210, 110, 0);
  set(72, 215, 115, 0);
  set(73, 210, 120, 0);
  for (int i = 74; i <= 79; ++i) set(i, 200 - 10 * (i - 74), 125 + 5 * (i - 74), 0);
  for (int i = 80; i <= 88; ++i) set(i, 155 + 5 * (i - 80), 155 + 5 * (i - 80), 0);
  for (int i = 89; i <= 98; ++i) set(i, 200 + 5 * (i - 89), 200 + 5 * (i - 89), 50 + 10 * (i - 89));
  for (int i = 99; i <= 106; ++i) set(i, 180 + 5 * (i - 99), 180 + 5 * (i - 99), 180 + 5 * (i - 99));
  for (int i = 107; i <= 118; ++i) set(i, 160, 0, 0);
  return t;
}

constexpr std::array<Rgb, 119> kEchoColorBase = MakeEchoColorBase();

// Interface colours behind indices 119..255 before their factors.
Rgb UiColorBase(int index) {
  static constexpr Rgb kFirst[9] = {{0, 100, 0},   {80, 100, 0},  {40, 40, 40},
                                    {80, 80, 80},  {120, 120, 120}, {0, 0, 90},
                                    {0, 0, 0},     {100, 0, 0},   {148, 0, 0}};
  return index < 128 ? kFirst[index - 119] : Rgb{150, 0, 0};
}

uint8_t Channel(long double v) {
  // Truncate toward zero, then limit to 0..255.
  long double t = std::trunc(v);
  return static_cast<uint8_t>(std::clamp<long double>(t, 0, 255));
}

// Single-precision factor widened exactly: 1.8f lies just below 1.8, so 100 x 1.8f
// truncates to 179 and 150 x 0.85f to 127.
uint8_t FixedChannel(int base, float factor) {
  return Channel(static_cast<long double>(static_cast<double>(factor) * base));
}

}  // namespace

const char* ColorTableMenuText(int scheme) {
  static constexpr const char* kNames[kColorTableCount] = {
      "Norm &Hi", "Norm &Lo", "Gr&een", "&Grey", "&Rev Grey",
      "&Brown/Yellow", "Green/Bl&ue", "Green/&Yellow", "Blu&e"};
  if (scheme < 0 || scheme >= kColorTableCount) return nullptr;
  return kNames[scheme];
}

std::array<Rgb, 119> BuildColorTable(int scheme) {
  if (scheme < 0 || scheme >= kColorTableCount) scheme = 0;
  std::array<Rgb, 119> t{};
  // The double constants are multiplied in extended precision: 1.8 lies just
  // above 1.8 (5 x 1.8 gives 9), 1.2 just below (180 x 1.2 gives 215).
  const long double k18 = static_cast<long double>(1.8);
  const long double k12 = static_cast<long double>(1.2);
  for (int i = 0; i < 119; ++i) {
    const Rgb b = kEchoColorBase[i];
    const double angle = i * 0.5 * 3.141592654 / 118;
    const int ks = static_cast<int>(255 * std::sin(angle));
    const int kc = static_cast<int>(255 - 255 * std::cos(angle));
    Rgb& e = t[i];
    switch (scheme) {
      case 0:
        e = {Channel(1.5L * b.Red), Channel(1.5L * b.Green), Channel(1.5L * b.Blue)};
        break;
      case 1:
        e = b;
        break;
      case 2:
        e = {0, Channel(2.5L * i), 0};
        break;
      case 3:
        e = {Channel(2.5L * i), Channel(2.5L * i), Channel(2.5L * i)};
        break;
      case 4: {
        const uint8_t v = Channel(k18 * (118 - i));
        e = {v, v, v};
        break;
      }
      case 5:
        e = {Channel(k12 * ks), Channel(k12 * kc), 0};
        break;
      case 6:
        e = {0, Channel(k12 * ks), Channel(k12 * kc)};
        break;
      case 7:
        e = {Channel(k12 * kc), Channel(k12 * ks), 0};
        break;
      case 8:
        e = {0, Channel(k12 * kc), Channel(k12 * ks)};
        break;
    }
  }
  return t;
}

PaletteTable BuildPalette(int scheme) {
  PaletteTable p{};
  const auto echo = BuildColorTable(scheme);
  std::copy(echo.begin(), echo.end(), p.begin());
  for (int i = 119; i < 256; ++i) {
    const float f = i < 128 ? 1.8f : 0.85f;
    const Rgb b = UiColorBase(i);
    p[i] = {FixedChannel(b.Red, f), FixedChannel(b.Green, f), FixedChannel(b.Blue, f)};
  }
  return p;
}
