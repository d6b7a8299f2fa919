// SPDX-License-Identifier: GPL-3.0-or-later
#include "azimuth_drive.h"

#include <algorithm>
#include <cmath>

namespace q47vsim {
namespace {
constexpr double kTwoPi = 6.283185307179586;
unsigned TiltRaw(double deg) { return static_cast<unsigned>(std::clamp(std::lround(deg * 10 + 900), 0L, 2047L)); }
unsigned HeadingRaw(double deg) {
  double h = std::fmod(std::fmod(deg, 360.0) + 360.0, 360.0);
  return static_cast<unsigned>(std::lround(h * 10)) % 3600;
}
}  // namespace

AzimuthDrive::AzimuthDrive(double rate_deg_s, bool tilt) : rate_steps_s_(rate_deg_s / 0.3), tilt_(tilt) {
  memory_.sensor_type = 1;
  memory_.gear_ratio = 2;
  memory_.serial_number = 3071;
  memory_.transducer_type = 0;
}

void AzimuthDrive::Advance(double now_s) {
  if (last_s_ >= 0 && now_s > last_s_) {
    // The drive turns the short way without crossing its cable stop at 0 / 1200.
    double room = rate_steps_s_ * (now_s - last_s_);
    double diff = target_ - position_;
    position_ += std::clamp(diff, -room, room);
  }
  last_s_ = std::max(now_s, last_s_);
}

std::vector<std::uint8_t> AzimuthDrive::Handle(const Command& c, double now_s) {
  Advance(now_s);
  if (c.scan) {
    SonarReplyHeader h;
    h.kind = 'T';
    h.id = kAzimuthDriveId;
    h.position = static_cast<int>(position_ + 0.5);
    h.range_m = c.range_m;
    return FormSonarReply(h, memory_.Bytes());
  }
  target_ = std::min(c.AzimuthTarget(), kPositionsPerTurn - 1);
  AzimuthReplyFields f;
  f.position = static_cast<int>(position_ + 0.5);
  f.status = Moving() ? 0x01 : 0x00;  // bit 0: turning
  f.tilt = tilt_;
  if (tilt_) {
    double p, r, hd;
    OrientationModule::AnglesAt(now_s, p, r, hd);
    f.pitch_raw = TiltRaw(p * 0.5 - 2.0);  // the drive's own sensor sits tilted slightly
    f.roll_raw = TiltRaw(r * 0.5 + 1.0);
    f.heading_raw = HeadingRaw(hd + (position_ - kPositionAhead) * 0.3);
  }
  return FormAzimuthReply(f);
}

void OrientationModule::AnglesAt(double t, double& pitch, double& roll, double& heading) {
  pitch = 3.0 * std::sin(kTwoPi * t / 17.0) + 0.8 * std::sin(kTwoPi * t / 5.3);
  roll = 2.0 * std::sin(kTwoPi * t / 11.0 + 1.0) + 0.5 * std::sin(kTwoPi * t / 3.7);
  heading = 124.0 + 8.0 * std::sin(kTwoPi * t / 60.0) + 0.02 * t;
}

std::vector<std::uint8_t> OrientationModule::Handle(const Command&, double now_s) const {
  double p, r, h;
  AnglesAt(now_s, p, r, h);
  return FormOrientationReply(kOrientationId, 0, TiltRaw(p), TiltRaw(r), HeadingRaw(h));
}

}  // namespace q47vsim
