// SPDX-License-Identifier: GPL-3.0-or-later
// Reply decoder under arbitrary bytes. The first bytes choose the expected kind, the
// sample width, the display and profile modes and the other settings that steer the
// decoder; the rest is the reply, copied into a buffer of exactly its own size so that
// any read beyond it is caught.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "clock.h"
#include "link/reply_decoder.h"
#include "app_state.h"

namespace {
constexpr char kKinds[] = {'G', 'M', 'P', 'T', 'A', 'O', 'Q'};
constexpr int kWidths[] = {4, 8, 16, 7};
constexpr int kControlBytes = 8;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kControlBytes) return 0;
  static FakeClock clock;
  static AppState* state = new AppState();  // kept across inputs, as the link keeps it
  AppState& s = *state;

  const std::uint8_t c0 = data[0], c1 = data[1], c2 = data[2], c3 = data[3];
  const char kind = kKinds[c0 % 7];
  const int bits = kWidths[(c0 >> 3) % 4];
  s.GridMode = c1 % 4;
  s.Profile = (c1 >> 2) % 5;
  s.ProfileDigitizationSource = (c1 >> 5) & 1;
  s.RunMode = (c1 >> 6) & 1;
  s.Xdcr = (c1 >> 7) & 1;
  s.ProfileGrid = c2 & 1;
  s.ZeroDown = (c2 >> 1) & 1;
  s.Units = (c2 >> 2) & 1;
  s.HeadScanActive = ((c2 >> 3) & 7) == 0;
  s.ProfileDetectionType = (c2 >> 6) & 1;
  s.SSTrain = c3 % 3;
  s.PulseLength = 10 + (data[4] % 100) * 10;
  s.RangeInUseMetres = data[5];
  s.ProfileMinimumRange = static_cast<float>(data[6]) * 0.25f;
  s.ProfileMinimumLevel = data[7] % 108;
  s.Train = c3 % 2 ? 90 : 0;
  s.RotateAngle = static_cast<float>(static_cast<int>(c3) - 128);

  std::vector<std::uint8_t> reply(data + kControlBytes, data + size);
  ReplyExpectation e = ExpectationFor(kind, bits, 499);
  // Now and then a length that does not match the frame at all.
  if ((c3 >> 4) == 0) e.Length = static_cast<int>(reply.size());
  if ((c3 >> 4) == 1) e.SampleCount = static_cast<int>(data[5]) * 3;
  ProcessReplyBytes(s, reply, e, clock);
  clock.Advance(std::chrono::milliseconds(data[4]));
  return 0;
}
