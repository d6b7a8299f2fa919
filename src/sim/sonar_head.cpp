// SPDX-License-Identifier: GPL-3.0-or-later
#include "sonar_head.h"

#include <algorithm>
#include <cmath>

namespace q47vsim {

std::array<std::uint8_t, 64> HeadMemory::Bytes() const {
  std::array<std::uint8_t, 64> d{};
  auto b7 = [](int v) { return static_cast<std::uint8_t>(v & 0x7F); };
  d[0] = b7(revision_major);
  d[1] = b7(revision_minor);
  d[2] = b7(year);
  d[3] = b7(month);
  d[4] = b7(day);
  d[5] = b7(sensor_type);
  d[6] = b7(serial_number);
  d[7] = b7(serial_number >> 7);
  d[8] = b7(transducer_type);
  d[9] = b7(gear_ratio);
  d[10] = b7(depth_rating);
  d[12] = b7(sample_rate);
  std::uint64_t hundreds = shot_count / 100;
  d[13] = b7(static_cast<int>(hundreds));
  d[14] = b7(static_cast<int>(hundreds >> 7));
  d[15] = b7(static_cast<int>(hundreds >> 14));
  d[16] = b7(static_cast<int>(hundreds >> 21));
  // Factory calibration table: fixed bytes so that the memory dump has content.
  for (int i = 20; i < 64; ++i) d[static_cast<std::size_t>(i)] = b7(i * 37 + 11);
  return d;
}

SonarHead::SonarHead(std::uint8_t id, const Scene& scene, std::uint64_t seed, HeadOptions options)
    : id_(id), scene_(scene), rng_(seed * 0x9E3779B97F4A7C15ull + id), options_(options) {
  memory_.serial_number = 1200 + id;
}

std::uint8_t SonarHead::Status(bool hold) const {
  // Bit 0 and bit 1 select the blanking figures; bit 2 reports hold, bit 3 a
  // calibration in progress.
  std::uint8_t s = 0;
  if (options_.chirp) s |= 0x02;
  if (hold) s |= 0x04;
  if (calibrating_ > 0) s |= 0x08;
  return s;
}

EchoLayout LayoutFor(const Command& c, std::uint8_t status) {
  EchoLayout l;
  const int bits = (c.data_bits == 4 || c.data_bits == 16) ? c.data_bits : 8;
  const bool half = c.data_points == 25;  // 250 points instead of 500
  l.kind = c.points_only ? 'P' : (half ? 'M' : 'G');
  const double range = std::max<int>(c.range_m, 1);
  double points = half ? 250 : 500;
  if (l.kind == 'G') {
    l.data_bytes = bits == 4 ? 252 : 500;
    l.samples = bits == 4 ? 504 : bits == 8 ? 500 : 250;
    if (bits == 16) points = 250;
  } else if (l.kind == 'M') {
    l.data_bytes = bits == 4 ? 128 : bits == 8 ? 252 : 500;
    l.samples = bits == 4 ? 256 : bits == 8 ? 252 : 250;
  }
  l.spacing_m = range / points;
  // The receiver is blanked while the transmitter rings down.
  const int L = (status & 0x02) ? 20 : 5;
  const bool alt = status & 0x01;
  const int pulse = c.PulseMicros();
  const int t = range < L ? (alt ? pulse - 18 : pulse + 112) : (alt ? pulse - 41 : pulse + 202);
  int nb = static_cast<int>(std::max(0, t) * 0.00075 / l.spacing_m);
  l.blank_samples = nb > 99 ? 0 : nb;
  return l;
}

void SonarHead::Step(const Command& c) {
  const int center = (c.train_code % 120) * 10;
  const int step = c.step_code;
  if (c.reverse) dir_ = -dir_;
  if (c.sector_code == 0 || step == 0) {
    position_ = center;  // fixed beam: the head points along the train
    return;
  }
  if (c.sector_code >= 120) {  // continuous rotation
    if (!c.hold) position_ = ((position_ + dir_ * step) % kPositionsPerTurn + kPositionsPerTurn) % kPositionsPerTurn;
    return;
  }
  const int half = c.sector_code * 5;
  int off = ((position_ - center) % kPositionsPerTurn + kPositionsPerTurn + kPositionsPerTurn / 2) %
                kPositionsPerTurn -
            kPositionsPerTurn / 2;
  off = std::clamp(off, -half, half);
  if (!c.hold) {
    // Turn round before stepping when already at an edge, so that every reported
    // step moves the way the direction bit says.
    if (off >= half && dir_ > 0) dir_ = -1;
    if (off <= -half && dir_ < 0) dir_ = 1;
    off = std::clamp(off + dir_ * step, -half, half);
  }
  position_ = ((center + off) % kPositionsPerTurn + kPositionsPerTurn) % kPositionsPerTurn;
}

SonarHead::Answer SonarHead::Handle(const Command& c) {
  Answer a;
  const double switch_s = c.switch_delay * 2e-3;
  if (c.scan) {
    // Head-ID scan: take a new ID and programmed values, then report the memory.
    if (c.new_id & 0x80) {
      std::uint8_t nid = c.new_id & 0x7F;
      if (nid >= 0x10 && nid <= 0x1F) id_ = nid;
    }
    if (c.absorption == 0x80) {
      memory_.serial_number = (c.profile_min & 0x7F) | ((c.byte18 & 0x7F) << 7);
      memory_.depth_rating = c.baud_code & 0x0F;
    }
    SonarReplyHeader h;
    h.kind = 'T';
    h.id = id_;
    h.status = Status(c.hold);
    h.position = position_;
    h.step_up = dir_ > 0;
    h.range_m = c.range_m;
    auto nv = memory_.Bytes();
    a.reply = FormSonarReply(h, nv);
    a.busy_s = switch_s;
    return a;
  }
  if (c.calibrate) {
    calibrating_ = 5;
    position_ = kPositionAhead;
    dir_ = 1;
  }
  Step(c);
  ++pings_;
  ++memory_.shot_count;
  const std::uint8_t status = Status(c.hold);
  if (calibrating_ > 0) --calibrating_;
  const EchoLayout l = LayoutFor(c, status);

  PingSettings ps;
  ps.range_m = std::max<int>(c.range_m, 1);
  ps.gain_db = c.gain_db;
  ps.absorption_db_m = c.absorption * 0.01;
  ps.pulse_us = std::max(c.PulseMicros(), 10);
  ps.frequency_khz = std::clamp(c.FrequencyKhz(), 100, 2000);
  ps.sound_speed = options_.sound_speed;
  const double first_m = l.blank_samples * l.spacing_m;
  const double angle = (position_ - kPositionAhead) * 0.3;
  const std::size_t count = l.kind == 'P' ? static_cast<std::size_t>(ps.range_m / l.spacing_m) : l.samples;
  SynthesiseEcho(scene_, angle, ps, first_m, l.spacing_m, count, c.profile_min * 0.1, rng_, line_);

  SonarReplyHeader h;
  h.kind = l.kind;
  h.id = id_;
  h.status = status;
  h.position = position_;
  h.step_up = dir_ > 0;
  h.range_m = c.range_m;
  if (line_.first_strong_m > 0 && line_.first_strong_m <= ps.range_m) {
    // Counted from the first sample sent, in 2 mm units at short range, else 1 cm.
    const int L = (status & 0x02) ? 20 : 5;
    const double unit = ps.range_m < L ? 0.002 : 0.01;
    h.profile_range = static_cast<unsigned>(std::max(0.0, (line_.first_strong_m - first_m) / unit + 0.5));
  }
  std::vector<std::uint8_t> data(l.data_bytes);
  PackEchoData(line_.s14, c.data_bits == 4 || c.data_bits == 16 ? c.data_bits : 8, data);
  a.reply = FormSonarReply(h, data);
  a.busy_s = switch_s + 2.0 * ps.range_m / options_.sound_speed;
  return a;
}

}  // namespace q47vsim
