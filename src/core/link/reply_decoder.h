// SPDX-License-Identifier: GPL-3.0-or-later
// Head replies: the expected kind and length for each command, the four framing
// checks, and the decoders for sonar ("G", "M", "P", "T"), azimuth drive ("A") and
// orientation module ("O") replies. Every routine reads only inside the expected
// length, and never past the span it is given, whatever the bytes hold.
#pragma once

#include <cstdint>
#include <span>

#include "clock.h"
#include "link/link_state.h"

struct AppState;

inline constexpr std::uint8_t kReplyEnvelope = 0x49;     // "I"
inline constexpr std::uint8_t kReplyMarker = 0x58;       // "X"
inline constexpr std::uint8_t kReplyTermination = 0xFC;
inline constexpr int kMaxBlankSamples = 99;

// What a reply is judged against: set when its command was sent (or, in playback,
// from the record).
struct ReplyExpectation {
  char Kind = 'G';
  int Length = 513;
  int SampleCount = 499;   // samples for imaging
  int RecordType = 3;      // record type code of the data file
  int DataBits = 8;        // sample width of the echo data
};

// Length, sample count and record type for a kind and sample width; `previous_samples`
// is kept for kinds that leave the sample count unchanged.
ReplyExpectation ExpectationFor(char kind, int data_bits, int previous_samples);
// The sonar kind the display settings ask for: mode, Points Only, head scan, azimuth.
char ExpectedSonarKind(const AppState& state);
// Sets the expected reply fields for a command to the sonar head / the orientation module.
void SetExpectedSonarReply(AppState& state);
void SetExpectedOrientationReply(AppState& state);
void SetExpectation(AppState& state, const ReplyExpectation& expectation);
// The expectation held in the state.
ReplyExpectation CurrentExpectation(const AppState& state);

// The four checks: "I", kind letter, "X", 0xFC at length - 1. False as well when the
// length is below the kind's minimum or beyond the span.
bool CheckReply(std::span<const std::uint8_t> reply, const ReplyExpectation& expected);

// Decoded azimuth drive reply (pure).
struct AzimuthReading {
  int Position = 600;
  bool TiltPresent = false;
  int PitchRaw = 0, RollRaw = 0, HeadingRaw = 0;
  float Pitch = 0.0f, Roll = 0.0f, Heading = 0.0f;   // degrees, offsets applied
};
AzimuthReading DecodeAzimuthReply(std::span<const std::uint8_t> reply, float pitch_offset,
                                  float roll_offset, float heading_offset);

// Decoded orientation module reply (pure).
struct OrientationReading {
  float Pitch = 0.0f, Roll = 0.0f, Heading = 0.0f;
};
OrientationReading DecodeOrientationReply(std::span<const std::uint8_t> reply,
                                          float pitch_offset, float roll_offset,
                                          float heading_offset);

// Angle helpers of the azimuth drive and orientation module.
float TiltAngle(int raw, float offset);      // (raw - 900) x 0.1, limited, offset, limited
float HeadingAngle(int raw, float offset);   // raw x 0.1 limited to 0..359.9, offset, wrapped

// Blanking of a sonar ping (pure).
struct Blanking {
  int Samples = 0;
  float Distance = 0.0f;
};
Blanking ComputeBlanking(int pulse_length_us, int range_metres, int status, bool polar);
// Sample index of a head-detected profile point (0 when the code is 0).
int ProfileIndexFromCode(int profile_range_code, int blank_samples, int range_metres,
                         int status, bool polar);

// Decodes an accepted sonar reply into state.Ping (steps of the sonar decoder). The
// reply is mutable: "M" 8-bit data get their last four bytes zeroed, and a
// software-detected profile point is written back into bytes 8 and 9.
void DecodeSonarReply(AppState& state, std::span<std::uint8_t> reply,
                      const ReplyExpectation& expected, const Clock& clock);

// Result of processing one reply.
struct ReplyOutcome {
  bool Accepted = false;
  char Kind = 0;
  bool AzimuthFirstFound = false;   // the drive answered for the first time
};

// Checks and decodes the reply in `reply` against `expected`, updates the link state
// and publishes the shown copy. Live mode stamps the ping time from the clock.
ReplyOutcome ProcessReplyBytes(AppState& state, std::span<std::uint8_t> reply,
                               const ReplyExpectation& expected, const Clock& clock);
// The same over AppState::ReplyBuffer and the expectation held in the state.
ReplyOutcome ProcessReply(AppState& state, const Clock& clock);
