// SPDX-License-Identifier: GPL-3.0-or-later
// PingImage: the 596 x 506 palette-indexed sonar picture. Low 7 bits of a pixel
// are a colour index, bit 7 is the grid bit. One lock guards the pixels and the
// dirty rectangle: ping drawing, clears and grid passes hold it while they write,
// the user interface holds it while it copies pixels out to show them.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

constexpr int kImageWidth = 596;
constexpr int kImageHeight = 506;
constexpr int kImageBytes = kImageWidth * kImageHeight;
// Window position of the image's top-left pixel.
constexpr int kImageWindowX = 3;
constexpr int kImageWindowY = 3;

// Bounding box of pixels written since the last blit; empty is (2000, 0, 2000, 0).
struct DirtyRect {
  int MinX = 2000;
  int MaxX = 0;
  int MinY = 2000;
  int MaxY = 0;

  bool Empty() const { return MinX > MaxX || MinY > MaxY; }
  void Add(int x, int y) {
    if (x < MinX) MinX = x;
    if (x > MaxX) MaxX = x;
    if (y < MinY) MinY = y;
    if (y > MaxY) MaxY = y;
  }
  void Merge(const DirtyRect& o) {
    if (o.Empty()) return;
    Add(o.MinX, o.MinY);
    Add(o.MaxX, o.MaxY);
  }
  void Reset() { *this = DirtyRect{}; }
  static DirtyRect Whole() { return {0, kImageWidth - 1, 0, kImageHeight - 1}; }
  bool operator==(const DirtyRect&) const = default;
};

// Pixel rules shared by every drawer.
namespace pixel {
// Echo (or overlay) value written over an existing pixel: over a grid pixel with
// the grid on it keeps the grid bit (value + 128, at most 245).
inline uint8_t OverGrid(uint8_t existing, int value, bool grid_on) {
  if (grid_on && existing >= 128) {
    value += 128;
    if (value > 245) value = 245;
  }
  return static_cast<uint8_t>(value);
}
inline uint8_t SetGrid(uint8_t v) { return v < 128 ? static_cast<uint8_t>(v + 128 > 245 ? 245 : v + 128) : v; }
inline uint8_t ClearGrid(uint8_t v) { return v >= 128 ? static_cast<uint8_t>(v - 128) : v; }
inline bool Inside(int x, int y) { return x >= 0 && x < kImageWidth && y >= 0 && y < kImageHeight; }
}  // namespace pixel

// The dirty rectangle of the window's blit, with a second accumulator that every
// Add, Merge and assignment also feeds. The blit takes and resets the first; the
// live view takes the second on its own schedule (TakeViewDirty), so neither
// consumer steals the other's changes.
class DirtyTracker : public DirtyRect {
 public:
  DirtyTracker& operator=(const DirtyRect& r) {
    DirtyRect::operator=(r);
    view_.Merge(r);
    return *this;
  }
  void Add(int x, int y) {
    DirtyRect::Add(x, y);
    view_.Add(x, y);
  }
  void Merge(const DirtyRect& o) {
    DirtyRect::Merge(o);
    view_.Merge(o);
  }
  // The second accumulator: what changed since the last TakeView.
  DirtyRect TakeView() {
    const DirtyRect d = view_;
    view_.Reset();
    return d;
  }

 private:
  DirtyRect view_;
};

class PingImage {
 public:
  PingImage() : pixels_(kImageBytes, 0) {}
  PingImage(const PingImage&) = delete;
  PingImage& operator=(const PingImage&) = delete;

  // The lock that guards the pixels and Dirty; drawers take it for a whole
  // operation (one ping, one clear, one grid pass).
  std::mutex& Lock() const { return mutex_; }

  // Unlocked access: the caller holds Lock().
  uint8_t* Pixels() { return pixels_.data(); }
  const uint8_t* Pixels() const { return pixels_.data(); }
  uint8_t& At(int x, int y) { return pixels_[static_cast<size_t>(y) * kImageWidth + x]; }
  uint8_t At(int x, int y) const { return pixels_[static_cast<size_t>(y) * kImageWidth + x]; }
  DirtyTracker Dirty;

  // Locked copy of the pixels for the user interface or a capture; returns and
  // resets the dirty rectangle when `take_dirty` is set.
  DirtyRect CopyOut(std::vector<uint8_t>& out, bool take_dirty = false) {
    std::lock_guard lock(mutex_);
    out.assign(pixels_.begin(), pixels_.end());
    DirtyRect d = Dirty;
    if (take_dirty) Dirty.Reset();
    return d;
  }

  // The live view's own record of what changed since it last looked; the window's
  // Dirty is left as it is.
  DirtyRect TakeViewDirty() {
    std::lock_guard lock(mutex_);
    return Dirty.TakeView();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<uint8_t> pixels_;
};
