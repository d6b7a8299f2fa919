// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers of the .XYZ point lines are formatted without printf: every one must
// come out byte for byte as printf's "% 07.3f" and "% 08.3f" give it, for any value
// the writers can meet: negative and positive, -0, halfway cases in binary and the
// decimal ones that are not, values that overflow the width, huge and tiny values,
// not-a-number and infinities, in metres and converted to feet.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "outputs/xyz_writer.h"

namespace {

std::string Printf(double v, int width) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "% 0*.3f", width, v);
  return buf;
}

std::string Ours(double v, int width) {
  std::string out = "x";  // appended, not assigned
  AppendXyzNumber(out, v, width);
  return out.substr(1);
}

// Every value in both signs, as a double and as the float the writers hold, and in
// feet as the writers convert ranges.
std::vector<double> Variants(double v) {
  std::vector<double> out;
  for (const double s : {v, -v}) {
    out.push_back(s);
    out.push_back(static_cast<float>(s));
    out.push_back(static_cast<float>(static_cast<float>(s) * 3.2808398950131231941));
  }
  return out;
}

TEST(XyzNumber, SameBytesAsPrintfForChosenValues) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> values = {0.0, -0.0, 0.0004, 0.0005, 0.0006, 0.0015, 0.0025, 1.0005, 2.675, 1.2345, 0.125,
                                0.0625, 0.1875, 0.3125, 1.0625, 99.9995, 99.9994999, 999.9995, 9999.9995,
                                123.456, 12.3456, 1.5, 1e6, 1e7 + 0.0005, 123456789.0625, 1e15, 1e17, 1e22,
                                1e300, std::numeric_limits<double>::max(), 1e-300,
                                std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
                                1500.0, 0.085, 0.3, 359.9, 180.0, inf, std::nan(""), 1.0 / 3.0, 2.0 / 3.0};
  // Every halfway case k/16 and k/2048 (exact in binary) in a few ranges.
  for (int k = 0; k < 4096; ++k) values.push_back(k / 2048.0 + (k % 7) * 10);
  for (int k = 0; k < 1000; ++k) values.push_back(k * 0.0005);  // decimal halves, not exact in binary
  for (int width : {1, 7, 8, 12})
    for (double base : values)
      for (double v : Variants(base)) ASSERT_EQ(Ours(v, width), Printf(v, width)) << v << " width " << width;
}

TEST(XyzNumber, SameBytesAsPrintfForRandomValues) {
  std::mt19937_64 rng(4711);
  std::uniform_real_distribution<double> metres(-2000.0, 2000.0);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int i = 0; i < 300000; ++i) {
    double v = 0;
    switch (i % 4) {
      case 0: v = metres(rng); break;
      case 1: v = std::ldexp(metres(rng) / 2000.0, exponent(rng)); break;
      case 2: {  // any float bit pattern
        const uint32_t bits = static_cast<uint32_t>(rng());
        float f;
        std::memcpy(&f, &bits, sizeof f);
        v = f;
        break;
      }
      default:  // near a rounding edge at the third decimal
        v = std::round(metres(rng) * 1000.0) / 1000.0 + 0.0005 + (static_cast<int>(rng() % 3) - 1) * 1e-12;
        break;
    }
    for (double x : Variants(v))
      for (int width : {7, 8}) ASSERT_EQ(Ours(x, width), Printf(x, width)) << x << " width " << width;
  }
}

}  // namespace
