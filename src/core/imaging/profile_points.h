// SPDX-License-Identifier: GPL-3.0-or-later
// Profile points: the one range per ping where the echo first rises above a level,
// drawn as single pixels (colour 106) alone or over the echo image, the dredge
// line, and the ProfilePoint records stored during an auto-profile scan.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/ping_image.h"

constexpr int kProfilePointTableSize = 2801;  // storage; positions 0..1199 are used
constexpr int kRecentProfilePointCount = 5;
constexpr int kMaxProfilePoints = 1200;

struct PixelPos {
  int X = 0;
  int Y = 0;
  bool Empty() const { return X == 0 || Y == 0; }
  bool operator==(const PixelPos&) const = default;
};

// The pixel of the last point drawn at each head position; (0, 0) is empty.
using ProfilePointTable = std::array<PixelPos, kProfilePointTableSize>;

// Circular list of the five latest points of the Mix modes.
struct RecentProfilePoints {
  std::array<PixelPos, kRecentProfilePointCount> Points{};
  int WriteIndex = 0;
  void Clear() { *this = RecentProfilePoints{}; }
};

// The 98-byte record of one ping of an auto-profile scan, laid out as exported.
// Packed: copy a field out (`float r = p.Range;`) rather than bind a reference to it.
#pragma pack(push, 1)
struct ProfilePoint {
  char DateTime[40];   // date at 0 (11 chars), time at 13 (11 chars), zero-terminated
  char Gps[30];        // presence flag, latitude (11), longitude (12); 25 bytes used
  float Elevation;     // GPS elevation
  float Range;         // metres
  float BeamAngle;     // degrees, 0 to below 360
  int32_t Direction;   // direction bit of the reply
  float Pitch;
  float Roll;
  float Heading;
};
#pragma pack(pop)
static_assert(sizeof(ProfilePoint) == 98);
static_assert(offsetof(ProfilePoint, Elevation) == 70);
static_assert(offsetof(ProfilePoint, Heading) == 94);

// The records of one scan: at most 1200 counted; a point beyond that overwrites
// the spare slot and is not counted.
struct ProfilePointStore {
  std::array<ProfilePoint, kMaxProfilePoints + 1> Records{};
  int Count = 0;
  void Reset() { Count = 0; }
};

// What a ProfilePoint is made from.
struct ProfilePointInputs {
  std::string DateText;   // "07-DEC-2026"
  std::string TimeText;   // "13:45:07.25" (up to 11 characters)
  std::string GpsText;    // presence flag, latitude, longitude
  float Elevation = 0;
  int ProfileRangeCode = 0;
  int RangeMetres = 0;    // the range in use for the ping, in metres
  float BlankDistance = 0;
  float BeamAngleDeg = 0;
  float VerticalAngleOffset = 0;
  int Direction = 0;
  float Pitch = 0, Roll = 0, Heading = 0;
};

// Range of a point in metres from its code: 0 for codes 0 and >= 10000, else
// k x 0.01 m plus the blanking distance; at ranges below 5 m the code counts
// 2 mm units (k x 0.2 x 0.01 m), as the head and the surface detection encode it.
float ProfilePointRange(int code, float blank_distance, int range_metres);
ProfilePoint MakeProfilePoint(const ProfilePointInputs& in);
void StoreProfilePoint(ProfilePointStore& store, const ProfilePointInputs& in);

// Where and how a point is drawn.
struct PointParams {
  int GridMode = 0;
  bool ProfileGrid = false;
  bool ZeroDown = true;
  float BeamAngleRad = 0;
  int HeadPosition = 600;
  bool ImageFlip = false;
  int ProfileSampleIndex = 0;
  bool GridOn = true;
};
int PointOriginY(int grid_mode, bool profile_grid, bool zero_down);

// Points Only and Profile display. Erases the nine table positions ahead of the
// head, draws the new point and records it. Caller holds the image lock; the
// changed pixels go into image.Dirty.
void DrawPointsOnly(PingImage& image, ProfilePointTable& table, const PointParams& p);

// Mix modes, after the wedge: repaints the recent points and adds the new one.
void DrawRecentPoints(PingImage& image, RecentProfilePoints& recent, const PointParams& p);

// The dredge line's state between pings.
struct DredgeLineState {
  float LastDepth = 0;
  int Row = 0;  // image row of the line last drawn, 0: none
};
struct DredgeParams {
  int GridMode = 0;
  bool ProfileGrid = false;
  bool ZeroDown = true;
  float Depth = 0;          // ProfileDredgeDepth
  int RangeMetres = 50;
  int Units = 0;
  float SoundVelocity = 1500.0f;
  bool GridOn = true;
};
// Row of the dredge line for a depth, or -1 when it is off the picture.
int DredgeLineRow(const DredgeParams& p);
// Draws or moves the dredge line; true when pixels changed.
bool DrawDredgeLine(PingImage& image, DredgeLineState& state, const DredgeParams& p);
