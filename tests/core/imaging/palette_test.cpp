// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <gtest/gtest.h>

#include "imaging/color_tables.h"

namespace {

TEST(Palette, FixedEntriesAreTheSameInEveryScheme) {
  const Rgb expected[9] = {{0, 179, 0},     {143, 179, 0}, {71, 71, 71},
                           {143, 143, 143}, {215, 215, 215}, {0, 0, 161},
                           {0, 0, 0},       {179, 0, 0},   {255, 0, 0}};
  for (int s = 0; s < kColorTableCount; ++s) {
    const PaletteTable p = BuildPalette(s);
    for (int i = 119; i < 128; ++i) EXPECT_EQ(p[i], expected[i - 119]) << "scheme " << s << " index " << i;
    for (int i = 128; i < 256; ++i) EXPECT_EQ(p[i], (Rgb{127, 0, 0})) << "scheme " << s << " index " << i;
  }
}

struct Entry {
  int scheme;
  int index;
  Rgb rgb;
};

TEST(Palette, CheckValues) {
  const Entry table[] = {
      {0, 106, {255, 255, 255}},  // profile point white in Norm Hi
      {1, 106, {215, 215, 215}},
      {0, 88, {255, 255, 0}},     // dredge line
      {1, 88, {195, 195, 0}},
      {1, 0, {0, 0, 0}},
      {1, 3, {0, 0, 5}},
      {1, 18, {0, 0, 80}},
      {1, 19, {0, 20, 80}},
      {1, 34, {0, 95, 5}},
      {1, 53, {90, 175, 0}},
      {1, 73, {210, 120, 0}},
      {1, 79, {150, 150, 0}},
      {1, 98, {245, 245, 140}},
      {1, 107, {160, 0, 0}},
      {1, 118, {160, 0, 0}},
      {0, 107, {240, 0, 0}},
      {0, 72, {255, 172, 0}},    // 215 x 1.5 saturates, 115 x 1.5 = 172.5
      {2, 101, {0, 252, 0}},
      {2, 102, {0, 255, 0}},
      {3, 0, {0, 0, 0}},
      {3, 102, {255, 255, 255}},
      {3, 118, {255, 255, 255}},
      {4, 0, {212, 212, 212}},
      {4, 113, {9, 9, 9}},       // 5 x 1.8 gives 9 with the double constant
      {4, 118, {0, 0, 0}},
      {5, 0, {0, 0, 0}},
      {5, 59, {215, 88, 0}},     // Ks = 180 x 1.2 gives 215
      {5, 118, {255, 255, 0}},
      {6, 59, {0, 215, 88}},
      {7, 59, {88, 215, 0}},
      {8, 59, {0, 88, 215}},
  };
  for (const Entry& e : table) {
    const PaletteTable p = BuildPalette(e.scheme);
    EXPECT_EQ(p[e.index], e.rgb) << "scheme " << e.scheme << " index " << e.index << " got " << int(p[e.index].Red)
                                 << "," << int(p[e.index].Green) << "," << int(p[e.index].Blue);
  }
}

TEST(Palette, GreyAndGreenReachFullFromIndex102) {
  for (int s : {2, 3}) {
    const auto t = BuildColorTable(s);
    for (int i = 102; i < 119; ++i) EXPECT_EQ(t[i].Green, 255) << s << " " << i;
    EXPECT_EQ(t[101].Green, 252);
  }
}

TEST(Palette, SmallKsUsesTheFactorJustBelow1Point2) {
  // Find an index of scheme 5 whose Ks is 10: red must be 11, not 12.
  bool seen = false;
  for (int i = 0; i < 119; ++i) {
    const double t = i * 0.5 * 3.141592654 / 118;
    if (static_cast<int>(255 * std::sin(t)) == 10) {
      EXPECT_EQ(BuildColorTable(5)[i].Red, 11);
      seen = true;
    }
  }
  EXPECT_TRUE(seen);
}

TEST(Palette, MenuTexts) {
  EXPECT_STREQ(ColorTableMenuText(0), "Norm &Hi");
  EXPECT_STREQ(ColorTableMenuText(4), "&Rev Grey");
  EXPECT_STREQ(ColorTableMenuText(8), "Blu&e");
  EXPECT_EQ(ColorTableMenuText(9), nullptr);
}

TEST(Palette, GridPixelOverEchoShowsGridColourAndClearingShowsEcho) {
  const PaletteTable p = BuildPalette(1);
  const uint8_t echo = 50;
  const uint8_t with_grid = echo + 128;  // 178
  EXPECT_EQ(p[with_grid], (Rgb{127, 0, 0}));
  EXPECT_EQ(p[with_grid - 128], p[50]);
}

}  // namespace
