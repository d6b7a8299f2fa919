// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_protocol.h"

#include <algorithm>

namespace q47vsim {

bool ParseCommand(std::span<const std::uint8_t> f, Command& c) {
  if (f.size() != kCommandLength || f[0] != kCommandStart || f[1] != kCommandD || f[26] != kCommandEnd)
    return false;
  std::copy(f.begin(), f.end(), c.raw.begin());
  c.id = f[2];
  c.range_m = f[3];
  c.hold = (f[5] & 0x01) != 0;
  c.reverse = (f[5] & 0x40) != 0;
  c.scan = f[7] == 1;
  c.gain_db = f[8];
  c.absorption = f[10];
  c.train_code = f[11];
  c.sector_code = f[12];
  c.step_code = f[13];
  c.pulse_code = f[14];
  c.profile_min = f[15];
  c.new_id = f[16];
  c.byte18 = f[18];
  c.data_points = f[19];
  c.data_bits = f[20];
  c.baud_code = f[21];
  c.points_only = f[22] == 1;
  c.calibrate = f[23] == 1;
  c.switch_delay = f[24];
  c.frequency_code = f[25];
  return true;
}

bool CommandFramer::Feed(std::uint8_t byte, std::array<std::uint8_t, kCommandLength>& frame) {
  if (len_ == 0 && byte != kCommandStart) {
    ++junk_;
    return false;
  }
  if (len_ == 1 && byte != kCommandD) {
    // The FE we held did not start a frame.
    if (byte == kCommandStart) {
      ++junk_;
      return false;  // this FE may start one
    }
    junk_ += 2;
    len_ = 0;
    return false;
  }
  buf_[len_++] = byte;
  if (len_ < kCommandLength) return false;
  if (buf_[kCommandLength - 1] == kCommandEnd) {
    frame = buf_;
    len_ = 0;
    return true;
  }
  // No terminator where it belongs: look for the next FE 44 inside what we hold and
  // start again from there; everything before it is junk.
  std::size_t restart = kCommandLength;
  for (std::size_t i = 1; i < kCommandLength; ++i) {
    if (buf_[i] == kCommandStart && (i + 1 == kCommandLength || buf_[i + 1] == kCommandD)) {
      restart = i;
      break;
    }
  }
  junk_ += restart;
  std::size_t keep = kCommandLength - restart;
  std::copy(buf_.begin() + static_cast<std::ptrdiff_t>(restart), buf_.end(), buf_.begin());
  len_ = keep;
  return false;
}

std::size_t ReplyLength(char kind, int data_bits) {
  switch (kind) {
    case 'G': return data_bits == 4 ? 265 : 513;
    case 'M': return data_bits == 4 ? 141 : data_bits == 8 ? 265 : 513;
    case 'P': return 13;
    case 'T': return 77;
    case 'A': return 13;
    case 'O': return 29;
    default: return 0;
  }
}

std::vector<std::uint8_t> FormSonarReply(const SonarReplyHeader& h, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> r(12 + data.size() + 1);
  r[0] = kReplyStart;
  r[1] = static_cast<std::uint8_t>(h.kind);
  r[2] = kReplyMark;
  r[3] = h.id;
  r[4] = h.status;
  int pos = std::clamp(h.position, 0, kPositionsPerTurn);
  r[5] = static_cast<std::uint8_t>(pos & 0x7F);
  r[6] = static_cast<std::uint8_t>(((pos >> 7) & 0x3F) | (h.step_up ? 0x40 : 0));
  r[7] = h.range_m;
  Put14(&r[8], std::min(h.profile_range, 16383u));
  Put14(&r[10], static_cast<unsigned>(data.size()));
  std::copy(data.begin(), data.end(), r.begin() + 12);
  r.back() = kReplyEnd;
  return r;
}

std::vector<std::uint8_t> FormAzimuthReply(const AzimuthReplyFields& f) {
  std::vector<std::uint8_t> r(13, 0);
  r[0] = kReplyStart;
  r[1] = 'A';
  r[2] = kReplyMark;
  r[3] = f.id;
  r[4] = f.status;
  int pos = std::clamp(f.position, 0, kPositionsPerTurn);
  r[5] = static_cast<std::uint8_t>(pos & 0x7F);
  r[6] = static_cast<std::uint8_t>((pos >> 7) & 0x3F);
  if (f.tilt) {
    unsigned p = std::min(f.pitch_raw, 2047u), ro = std::min(f.roll_raw, 2047u), hd = std::min(f.heading_raw, 4095u);
    r[7] = static_cast<std::uint8_t>(0x40 | (p & 0x3F));
    r[8] = static_cast<std::uint8_t>((((p >> 6) & 0x1F) << 2) | (ro & 0x03));
    r[9] = static_cast<std::uint8_t>((ro >> 2) & 0x7F);
    r[10] = static_cast<std::uint8_t>((((ro >> 9) & 0x03) << 5) | (hd & 0x1F));
    r[11] = static_cast<std::uint8_t>((hd >> 5) & 0x7F);
  }
  r[12] = kReplyEnd;
  return r;
}

std::vector<std::uint8_t> FormOrientationReply(std::uint8_t id, std::uint8_t status, unsigned pitch_raw,
                                               unsigned roll_raw, unsigned heading_raw) {
  std::vector<std::uint8_t> r(29, 0);
  r[0] = kReplyStart;
  r[1] = 'O';
  r[2] = kReplyMark;
  r[3] = id;
  r[4] = status;
  Put14(&r[18], std::min(pitch_raw, 16383u));
  Put14(&r[20], std::min(roll_raw, 16383u));
  Put14(&r[22], std::min(heading_raw, 16383u));
  r[28] = kReplyEnd;
  return r;
}

void PackEchoData(std::span<const std::uint16_t> s14, int data_bits, std::span<std::uint8_t> out) {
  auto level8 = [&](std::size_t i) -> unsigned { return i < s14.size() ? (std::min<unsigned>(s14[i], 16383) >> 6) : 0; };
  if (data_bits == 4) {
    for (std::size_t b = 0; b < out.size(); ++b)
      out[b] = static_cast<std::uint8_t>((level8(2 * b) >> 4) | (level8(2 * b + 1) & 0xF0));
  } else if (data_bits == 16) {
    for (std::size_t w = 0; 2 * w + 1 < out.size(); ++w) {
      unsigned v = w < s14.size() ? std::min<unsigned>(s14[w], 16383) : 0;
      out[2 * w] = static_cast<std::uint8_t>(v & 0xFF);
      out[2 * w + 1] = static_cast<std::uint8_t>(v >> 8);
    }
  } else {
    for (std::size_t b = 0; b < out.size(); ++b) out[b] = static_cast<std::uint8_t>(level8(b));
  }
}

}  // namespace q47vsim
