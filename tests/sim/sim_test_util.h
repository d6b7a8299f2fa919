// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the simulator's tests: hand-built command frames, as a program would
// send them, without using the program's own encoder.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace simtest {

struct Frame {
  std::array<std::uint8_t, 27> b{};
  Frame(std::uint8_t id = 0x10) {
    // A normal ping: 10 m, gain 6, absorption 20, train ahead, 90-degree sector,
    // step "Slow", 100 us, 500 points, 8 bits, 115200, switch delay 10 ms, 675 kHz.
    const std::uint8_t init[27] = {0xFE, 0x44, id, 10, 0, 0, 0x43, 0, 6, 1, 20, 60, 30, 1,
                                   10, 0, 0, 0, 0, 50, 8, 6, 0, 0, 5, 100, 0xFD};
    for (int i = 0; i < 27; ++i) b[static_cast<std::size_t>(i)] = init[i];
  }
  Frame& Set(int index, int value) {
    b[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
    return *this;
  }
  std::vector<std::uint8_t> Bytes() const { return {b.begin(), b.end()}; }
};

// Azimuth drive command to `target` (0..1199), orientation module query.
inline Frame AzimuthFrame(int target) {
  Frame f(0x1F);
  for (int i = 3; i <= 25; ++i) f.Set(i, 0);
  f.Set(6, 0x43).Set(11, target & 0x7F).Set(12, (target >> 7) & 0x0F).Set(21, 6).Set(24, 5);
  return f;
}
inline Frame OrientationFrame() {
  Frame f(0x18);
  for (int i = 3; i <= 25; ++i) f.Set(i, 0);
  f.Set(24, 5);
  return f;
}
inline int Position(const std::vector<std::uint8_t>& r) { return ((r[6] & 0x3F) << 7) | (r[5] & 0x7F); }
inline bool DirectionUp(const std::vector<std::uint8_t>& r) { return (r[6] & 0x40) != 0; }
inline unsigned Seven(const std::vector<std::uint8_t>& r, std::size_t at) {
  return (r[at] & 0x7Fu) | ((r[at + 1] & 0x7Fu) << 7);
}

}  // namespace simtest
