// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness for the NMEA GLL and GGA parsers: any line parses or is
// refused, and what is parsed keeps its texts terminated inside their fields.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "gps/nmea_sentence.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

template <std::size_t N>
void CheckTerminated(const std::array<char, N>& text) {
  Check(std::memchr(text.data(), 0, N) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const NmeaSentenceType type = SentenceTypeOf(line);
  GpsData gll, gga;
  const bool is_gll = ParseGll(line, gll);
  const bool is_gga = ParseGga(line, gga);
  Check(is_gll == (type == NmeaSentenceType::Gll));
  Check(is_gga == (type == NmeaSentenceType::Gga));
  for (const GpsData* d : {&gll, &gga}) {
    CheckTerminated(d->GpsPositionText);
    CheckTerminated(d->GpsTimeText);
    (void)HemispheresValid(*d);
  }
  return 0;
}
