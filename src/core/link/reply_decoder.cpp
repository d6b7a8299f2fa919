// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/reply_decoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "imaging/surface_point.h"
#include "link/command_packet.h"
#include "app_state.h"

namespace {

constexpr double kPi = 3.141592654;
constexpr int kModeSector = 0;
constexpr int kModePolar = 1;
constexpr int kModeSs = 2;
constexpr int kModeProfile = 3;
constexpr int kMaxLevel = 107;
constexpr int kDataOffset = 12;
constexpr int kRepRateReplies = 10;

int SevenSeven(std::uint8_t low, std::uint8_t high) { return ((high & 0x7F) << 7) | (low & 0x7F); }

int NormalBits(int data_bits) { return (data_bits == 4 || data_bits == 16) ? data_bits : 8; }

int MinimumLength(char kind) { return kind == 'O' ? 29 : 13; }

std::uint8_t Level(int value) { return static_cast<std::uint8_t>(std::min(value, kMaxLevel)); }

// Writes one sample at `index` when it fits the array.
void PutSample(PingData& ping, int index, int value) {
  if (index >= 0 && index < kPingSampleCapacity) ping.Samples[static_cast<std::size_t>(index)] = Level(value);
}

void UpdateRepRate(AppState& state, const Clock& clock) {
  const auto now = clock.Monotonic();
  if (state.HaveLastReplyTime) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - state.LastReplyTime).count();
    state.RepRateSumMs += static_cast<int>(std::clamp<long long>(ms, 0, 1'000'000));
    if (++state.RepRateCount >= kRepRateReplies) {
      char text[32];
      std::snprintf(text, sizeof text, "%d ms", state.RepRateSumMs / kRepRateReplies);
      state.Ping.RepRateText = text;
      state.RepRateSumMs = 0;
      state.RepRateCount = 0;
    }
  }
  state.LastReplyTime = now;
  state.HaveLastReplyTime = true;
}

// Echo data of one reply into Samples from BlankSamples onward.
void UnpackSamples(AppState& state, std::span<std::uint8_t> reply, const ReplyExpectation& expected) {
  PingData& ping = state.Ping;
  const int length = expected.Length;
  const int data_count = length - 13;
  if (data_count <= 0) return;
  const std::span<std::uint8_t> data = reply.subspan(kDataOffset, static_cast<std::size_t>(data_count));
  const int profile = state.Profile;
  const int bits = NormalBits(expected.DataBits);
  const bool polar = state.GridMode == kModePolar;
  int out = ping.BlankSamples;

  if (bits == 4) {
    const int m = profile == 2 ? 2 : 0;
    for (std::uint8_t b : data) {
      PutSample(ping, out++, ((b & 0x0F) * 16) >> m);
      PutSample(ping, out++, (b & 0xF0) >> m);
    }
    return;
  }
  if (bits == 16) {
    const int m = profile == 2 ? 2 : 0;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
      const unsigned w = data[i] | (static_cast<unsigned>(data[i + 1]) << 8);
      PutSample(ping, out++, static_cast<int>(((w >> 6) >> m) & 0xFF));
    }
    return;
  }

  // 8 bits.
  const int m = profile == 2 ? 2 : (profile == 3 ? 1 : 0);
  if (expected.Kind == 'M') {
    // The last four data bytes of an "M" reply carry no echo.
    const int first = std::max(length - 5, kDataOffset);
    for (int i = first; i <= length - 2; ++i) reply[static_cast<std::size_t>(i)] = 0;
  }
  const bool software = state.ProfileDigitizationSource == 1;
  if (polar && expected.Kind == 'G' && !software) {
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
      PutSample(ping, out++, std::max(data[i] >> m, data[i + 1] >> m));
    }
  } else {
    for (std::uint8_t b : data) PutSample(ping, out++, b >> m);
  }
  if (!software) return;

  SurfacePointInput in;
  in.Raw = data;
  in.BlankSamples = ping.BlankSamples;
  in.SampleCount = expected.SampleCount;
  in.RangeMetres = static_cast<float>(ping.RangeMetres > 0 && state.RunMode == 1 ? ping.RangeMetres
                                                                                  : state.RangeInUseMetres.load());
  in.RangeByte = ping.RangeMetres;
  in.Units = state.Units;
  in.Polar = polar;
  in.Profile = profile;
  in.HasSamples = expected.Kind != 'P';
  in.ProfileMinimumRange = state.ProfileMinimumRange;
  in.ProfileMinimumLevel = state.ProfileMinimumLevel;
  in.ProfileDetectionType = state.ProfileDetectionType;
  const SurfacePointResult found = DetectSurfacePoint(in);
  if (found.SetIndex) ping.ProfileSampleIndex = found.SampleIndex;
  if (found.Searched) {
    ping.ProfileRangeCode = found.RangeCode;
    reply[8] = static_cast<std::uint8_t>(found.RangeCode & 0x7F);
    reply[9] = static_cast<std::uint8_t>((found.RangeCode >> 7) & 0x7F);
  }
}

}  // namespace

ReplyExpectation ExpectationFor(char kind, int data_bits, int previous_samples) {
  const int bits = NormalBits(data_bits);
  ReplyExpectation e;
  e.Kind = kind;
  e.DataBits = bits;
  e.SampleCount = previous_samples;
  switch (kind) {
    case 'G':
      e.Length = bits == 4 ? 265 : 513;
      e.SampleCount = bits == 16 ? 250 : 499;
      e.RecordType = bits == 4 ? 2 : 3;
      break;
    case 'M':
      e.Length = bits == 4 ? 141 : (bits == 8 ? 265 : 513);
      e.SampleCount = 250;
      e.RecordType = bits == 4 ? 1 : (bits == 8 ? 2 : 3);
      break;
    case 'P': e.Length = 13; e.RecordType = 0; break;
    case 'T': e.Length = kScanReplyLength; e.RecordType = 1; break;
    case 'A': e.Length = 13; e.RecordType = 1; break;
    case 'O': e.Length = 29; e.RecordType = 1; break;
    default: e.Length = 13; e.RecordType = 0; break;
  }
  return e;
}

char ExpectedSonarKind(const AppState& state) {
  char kind = 'G';
  switch (state.GridMode.load()) {
    case kModePolar: kind = 'M'; break;
    case kModeSs: kind = state.SSTrain == 1 ? 'M' : 'G'; break;
    case kModeProfile: kind = 'P'; break;
    default: kind = 'G'; break;
  }
  if (state.Profile == 1) kind = 'P';
  if (state.HeadScanActive) kind = 'T';
  if (state.AzimuthPositioning) kind = 'A';
  return kind;
}

void SetExpectation(AppState& state, const ReplyExpectation& e) {
  state.ExpectedReplyType = e.Kind;
  state.ExpectedReplyLength = e.Length;
  state.ExpectedSampleCount = e.SampleCount;
  state.RecordTypeCode = e.RecordType;
  state.ExpectedDataBits = e.DataBits;
}

void SetExpectedSonarReply(AppState& state) {
  SetExpectation(state, ExpectationFor(ExpectedSonarKind(state), state.DataBits, state.ExpectedSampleCount));
}

void SetExpectedOrientationReply(AppState& state) {
  SetExpectation(state, ExpectationFor('O', state.DataBits, state.ExpectedSampleCount));
}

ReplyExpectation CurrentExpectation(const AppState& state) {
  ReplyExpectation e;
  e.Kind = state.ExpectedReplyType;
  e.Length = state.ExpectedReplyLength;
  e.SampleCount = state.ExpectedSampleCount;
  e.RecordType = state.RecordTypeCode;
  e.DataBits = state.ExpectedDataBits;
  return e;
}

bool CheckReply(std::span<const std::uint8_t> reply, const ReplyExpectation& expected) {
  const int n = expected.Length;
  if (n < MinimumLength(expected.Kind) || static_cast<std::size_t>(n) > reply.size()) return false;
  return reply[0] == kReplyEnvelope && reply[1] == static_cast<std::uint8_t>(expected.Kind) &&
         reply[2] == kReplyMarker && reply[static_cast<std::size_t>(n - 1)] == kReplyTermination;
}

float TiltAngle(int raw, float offset) {
  double a = std::clamp((raw - 900) * 0.1, -90.0, 90.0);
  a = std::clamp(a + offset, -90.0, 90.0);
  if (a != a) a = 0.0;  // an offset that is not a number
  return static_cast<float>(a);
}

float HeadingAngle(int raw, float offset) {
  double h = std::clamp(raw * 0.1, 0.0, 359.9) + offset;
  if (h >= 360.0) h -= 360.0;
  if (h < 0.0) h += 360.0;
  if (!(h >= 0.0 && h < 360.0)) h = 0.0;  // an offset outside its range, or NaN
  return static_cast<float>(h);
}

AzimuthReading DecodeAzimuthReply(std::span<const std::uint8_t> r, float pitch_offset,
                                  float roll_offset, float heading_offset) {
  AzimuthReading a;
  if (r.size() < 13) return a;
  a.Position = ((r[6] & 0x3F) << 7) | (r[5] & 0x7F);
  a.TiltPresent = (r[7] & 0x40) != 0;
  if (a.TiltPresent) {
    a.PitchRaw = (r[7] & 0x3F) | (((r[8] >> 2) & 0x1F) << 6);
    a.RollRaw = (r[8] & 0x03) | ((r[9] & 0x7F) << 2) | (((r[10] >> 5) & 0x03) << 9);
    a.HeadingRaw = (r[10] & 0x1F) | ((r[11] & 0x7F) << 5);
    a.Pitch = TiltAngle(a.PitchRaw, pitch_offset);
    a.Roll = TiltAngle(a.RollRaw, roll_offset);
    a.Heading = HeadingAngle(a.HeadingRaw, heading_offset);
  }
  return a;
}

OrientationReading DecodeOrientationReply(std::span<const std::uint8_t> r, float pitch_offset,
                                          float roll_offset, float heading_offset) {
  OrientationReading o;
  if (r.size() < 29) return o;
  o.Pitch = TiltAngle(SevenSeven(r[18], r[19]), pitch_offset);
  o.Roll = TiltAngle(SevenSeven(r[20], r[21]), roll_offset);
  o.Heading = HeadingAngle(SevenSeven(r[22], r[23]), heading_offset);
  return o;
}

Blanking ComputeBlanking(int pulse_length_us, int range_metres, int status, bool polar) {
  const int fine_limit = (status & 0x02) ? 20 : 5;
  const bool bit0 = (status & 0x01) != 0;
  const int t = range_metres < fine_limit ? (bit0 ? pulse_length_us - 18 : pulse_length_us + 112)
                                          : (bit0 ? pulse_length_us - 41 : pulse_length_us + 202);
  Blanking b;
  b.Distance = static_cast<float>(std::max(t * 0.00075, 0.0));
  if (range_metres > 0) {
    const double s = range_metres / 500.0;
    const double v = t * 0.00075 / s * (polar ? 0.5 : 1.0);
    b.Samples = v > 0.0 ? static_cast<int>(std::min(v, 1e6)) : 0;
    if (b.Samples > kMaxBlankSamples) b.Samples = 0;
  }
  return b;
}

int ProfileIndexFromCode(int code, int blank_samples, int range_metres, int status, bool polar) {
  if (code == 0 || range_metres <= 0) return 0;
  const int fine_limit = (status & 0x02) ? 20 : 5;
  const double s = range_metres / 500.0;
  double a = code * (range_metres < fine_limit ? 0.002 : 0.01) / s;
  if (polar) a *= 0.5;
  return static_cast<int>(blank_samples + a);
}

void DecodeSonarReply(AppState& state, std::span<std::uint8_t> reply, const ReplyExpectation& expected,
                      const Clock& clock) {
  if (expected.Length < 13 || reply.size() < static_cast<std::size_t>(expected.Length)) return;
  PingData& ping = state.Ping;
  const char kind = expected.Kind;
  const bool playback = state.RunMode == 1;
  const bool polar = state.GridMode == kModePolar;
  const bool points_only = state.Profile == 1;

  if (kind == 'T') state.ScanReplySeen = true;

  std::copy_n(reply.begin(), kReplyHeaderLength, ping.ReplyHeader.begin());
  ping.ReplyType = kind;
  ping.ReplyHeadId = reply[3];
  state.AnsweredHeadId = reply[3];
  ping.HeadStatus = reply[4];
  ping.Termination = reply[static_cast<std::size_t>(expected.Length - 1)];
  ping.SampleCount = expected.SampleCount;
  UpdateRepRate(state, clock);

  int position = ((reply[6] & 0x3F) << 7) | (reply[5] & 0x7F);
  if (position > 1200) position = state.LastRawHeadPosition;
  state.LastRawHeadPosition = position;
  ping.StepDirection = (reply[6] >> 6) & 0x01;
  ping.RangeMetres = reply[7];
  ping.ProfileRangeCode = SevenSeven(reply[8], reply[9]);
  ping.DataByteCount = SevenSeven(reply[10], reply[11]);

  // Range in use: the last command's range live; the record's own range in playback.
  const int range = playback && ping.RangeMetres > 0 ? ping.RangeMetres : state.RangeInUseMetres.load();
  const Blanking blank = ComputeBlanking(state.PulseLength, range, ping.HeadStatus, polar);
  ping.BlankSamples = blank.Samples;
  ping.BlankDistance = blank.Distance;
  std::fill_n(ping.Samples.begin(), ping.BlankSamples, std::uint8_t{0});

  if (ping.ProfileRangeCode == 0) {
    ping.ProfileSampleIndex = 0;
    if (points_only) ping.BlankSamples = 0;
  } else {
    ping.ProfileSampleIndex =
        ProfileIndexFromCode(ping.ProfileRangeCode, ping.BlankSamples, range, ping.HeadStatus, polar);
  }
  state.NewDataReady = true;

  // Image flip and mirrored position.
  const bool xdcr_up = state.Xdcr == 1;
  const bool zero_down = state.ZeroDown != 0;
  const bool mirror = state.ProfileGrid != 0 ? ((!xdcr_up && !zero_down) || (xdcr_up && zero_down)) : xdcr_up;
  ping.ImageFlip = ping.StepDirection;
  if (mirror) {
    ping.ImageFlip ^= 1;
    position = 1200 - position;
    if (position == 1200) position = 0;
  }
  ping.HeadPosition = position;

  // Beam angle.
  double rad = (position - 600) * kPi / 600.0;
  double deg = (position - 600) * 0.3;
  if (state.GridMode == kModeProfile) {
    rad += kPi;
    deg += 180.0;
  } else if (state.GridMode == kModeSector && state.ProfileGrid == 0) {
    rad -= state.Train * kPi / 180.0;
  }
  const double rotate = state.RotateAngle.load();
  rad += rotate * kPi / 180.0;
  deg += rotate;
  if (deg < 0.0) deg += 360.0;
  ping.BeamAngleRad = static_cast<float>(rad);
  ping.BeamAngleDeg = static_cast<float>(deg);

  if (!points_only && kind != 'T' && !state.HeadScanActive) UnpackSamples(state, reply, expected);

  if (playback) {
    const int index = RangeIndexForMetres(ping.RangeMetres);
    if (index >= 0) state.Range = index;
  }
  state.SpeedInUse = state.Speed.load();
  ping.Decoded = true;
}

ReplyOutcome ProcessReplyBytes(AppState& state, std::span<std::uint8_t> reply, const ReplyExpectation& expected,
                               const Clock& clock) {
  ReplyOutcome outcome;
  if (!CheckReply(reply, expected)) return outcome;
  outcome.Accepted = true;
  outcome.Kind = expected.Kind;
  if (state.RunMode == 0) state.Ping.PingTime = clock.Now();
  state.ReplyReceived = true;

  switch (expected.Kind) {
    case 'A': {
      outcome.AzimuthFirstFound = !state.AzimuthDriveFound.exchange(true);
      state.AzimuthPositioning = false;
      const AzimuthReading a = DecodeAzimuthReply(reply.first(static_cast<std::size_t>(expected.Length)),
                                                  state.AzimuthPitchOffset, state.AzimuthRollOffset,
                                                  state.AzimuthHeadingOffset);
      state.AzimuthPosition = a.Position;
      state.AzimuthTiltPresent = a.TiltPresent;
      if (a.TiltPresent) {
        state.AzimuthPitch = a.Pitch;
        state.AzimuthRoll = a.Roll;
        state.AzimuthHeading = a.Heading;
      }
      state.UpdateShown([&](LinkShown& shown) {
        AzimuthReplyCopy& c = shown.Azimuth;
        c.Decoded = true;
        std::copy_n(reply.begin(), kReplyHeaderLength, c.Header.begin());
        c.Id = reply[3];
        c.Status = reply[4];
        c.Position = a.Position;
        c.Termination = reply[static_cast<std::size_t>(expected.Length - 1)];
        c.TiltPresent = a.TiltPresent;
        c.Pitch = state.AzimuthPitch;
        c.Roll = state.AzimuthRoll;
        c.Heading = state.AzimuthHeading;
      });
      break;
    }
    case 'O': {
      const OrientationReading o = DecodeOrientationReply(
          reply.first(static_cast<std::size_t>(expected.Length)), state.OrientationPitchOffset,
          state.OrientationRollOffset, state.OrientationHeadingOffset);
      state.OrientationPitch = o.Pitch;
      state.OrientationRoll = o.Roll;
      state.OrientationHeading = o.Heading;
      state.OrientationUnanswered = 0;
      break;
    }
    default: {
      DecodeSonarReply(state, reply, expected, clock);
      state.UpdateShown([&](LinkShown& shown) {
        shown.Ping = state.Ping;
        if (expected.Kind == 'T') {
          shown.ScanReplyValid = true;
          shown.ScanReply.fill(0);
          const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(expected.Length), kScanReplyLength);
          std::copy_n(reply.begin(), n, shown.ScanReply.begin());
        }
      });
      break;
    }
  }
  return outcome;
}

ReplyOutcome ProcessReply(AppState& state, const Clock& clock) {
  return ProcessReplyBytes(state, std::span<std::uint8_t>(state.ReplyBuffer), CurrentExpectation(state), clock);
}
